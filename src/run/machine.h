// Everything the steps do to the machine, and everything they ask of it while they decide,
// through one object. Setup.exe's machine carries each call out as the system call of the
// same name. SetupTool's plan runs the very same steps on a machine of its own: it answers
// from this computer as it is plus what the plan has done so far, and changes nothing, so
// that a plan is what the run would do.
//
// Queries that only read the system's own settings (the shell folders, ProgramFilesDir,
// the program registered for a document) go to the system directly in both programs.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "run/restart.h"

// A shell link's values as a shortcut step sets them.
struct LinkValues {
    int show;
    const char* arguments;
    bool hasHotkey;
    uint16_t hotkey;
    const char* target;
    bool hasIcon;
    const char* icon;
    int iconIndex;
    const char* workFolder;
};

class FindVisitor {
public:
    // Returns false to stop.
    virtual bool Found(const WIN32_FIND_DATAA& found) = 0;

protected:
    ~FindVisitor() = default;
};

class Machine {
public:
    // ---- files and folders (the ANSI calls of the same names) ----
    virtual DWORD Attributes(const char* path) = 0;  // INVALID_FILE_ATTRIBUTES when there is nothing
    virtual bool AttributeData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) = 0;
    // Last-write times of both, each file opened for reading as a copy would: 2 when either
    // cannot be opened, else CompareFileTime(source, destination).
    virtual int CompareAge(const char* destination, const char* source) = 0;
    virtual bool MakeFolder(const char* path) = 0;    // CreateDirectoryA
    virtual bool RemoveFolder(const char* path) = 0;  // RemoveDirectoryA: only an empty one
    virtual bool Copy(const char* from, const char* to, bool failIfExists) = 0;
    virtual bool SetAttributes(const char* path, DWORD attributes) = 0;
    virtual bool Delete(const char* path) = 0;
    // One file into the recycle bin, silently (a folder is refused by the caller): 0 when
    // it went, else the shell's code.
    virtual DWORD Recycle(const char* path) = 0;
    // Replacement or deletion at the next restart (both buffers may be rewritten to short form).
    virtual RestartRoute ReplaceAtRestart(char* path, char* target) = 0;
    // source copied beside destination (a temporary file) and moved over it at the restart.
    virtual RestartRoute CopyAtRestart(const char* source, char* destination) = 0;
    // Each entry a wildcard pattern finds, "." and ".." included as the system gives them.
    virtual void FindFiles(const char* pattern, FindVisitor& visit) = 0;
    // Volume and file index of a file or folder; false when it cannot be opened.
    virtual bool Identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) = 0;

    // ---- registry (the calls of the same names; keys are the machine's own handles) ----
    virtual LONG OpenKey(HKEY parent, const char* name, REGSAM rights, HKEY* key) = 0;
    // created: whether the key was made (not merely opened); may be null.
    virtual LONG CreateKey(HKEY parent, const char* name, REGSAM rights, HKEY* key, bool* created) = 0;
    virtual void CloseKey(HKEY key) = 0;
    virtual void FlushKey(HKEY key) = 0;
    virtual LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    virtual LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) = 0;
    virtual LONG DeleteValue(HKEY key, const char* name) = 0;
    virtual LONG DeleteKey(HKEY parent, const char* name) = 0;  // one key without subkeys
    virtual LONG EnumKey(HKEY key, DWORD index, char* name, DWORD cap) = 0;
    virtual LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize) = 0;

    // ---- the shell ----
    // Saves a shell link (false when the link object could not be made; a failed save is
    // not told, as the shell does not tell it either).
    virtual bool SaveLink(const char* path, const LinkValues& values) = 0;
    // A link's target and arguments as stored (targetCap and argumentsCap bytes).
    virtual bool ReadLink(const char* path, char* target, size_t targetCap, char* arguments,
                          size_t argumentsCap) = 0;
    // The target of a link as the shell stores a path that was set: what ReadLink gives back.
    virtual bool StoredLinkTarget(const char* target, char* out, size_t cap) = 0;
    // ShellExecuteA with the default verb (or "open" for a folder) and the given show state.
    virtual void Open(HWND owner, const char* verb, const char* path, const char* folder, int show) = 0;
    // ShellExecuteExA of a launch entry; false when it did not start.
    virtual bool Start(HWND owner, const char* program, const char* parameters, const char* folder, int show,
                       DWORD* error) = 0;
    // The program that opens name, looked for in folder first (FindExecutableA), into
    // found (260 bytes); "" when there is none or it is not there.
    virtual void FindProgram(const char* name, const char* folder, char* found) = 0;
    // Explorer is told that file associations changed.
    virtual void AssociationsChanged() = 0;
    // A second process that outlives this one (run/handover.h); false when not started.
    virtual bool HandOver(const char* commandLine, int showWindow) = 0;

    // ---- libraries ----
    // LoadLibraryExA of a full path with the given search flags; null when it does not load.
    virtual HMODULE OpenLibrary(const char* path, DWORD flags) = 0;
    // GetProcAddress by name; null when the library exports no such function.
    virtual FARPROC LibraryFunction(HMODULE library, const char* name) = 0;
    // Calls a function whose arguments are unknown with none: it finds zeroes, and the
    // caller's stack stays as it was whatever the function pops.
    virtual void CallFunction(FARPROC function) = 0;
    virtual void CloseLibrary(HMODULE library) = 0;  // FreeLibrary

    // ---- shortcuts ----
    // The wait before a step tries again (Sleep); a plan does not wait.
    virtual void Pause(DWORD milliseconds) = 0;

protected:
    ~Machine() = default;
};

// The run's machine (Run().machine), or the system itself.
Machine& M();
// A script's path expanded as ExpandPath does, a plain name looked up as a program on the
// run's machine: where the run finds it once its own files are in place.
bool ExpandProgramPath(const char* text, const char* installFolder, char* result);
// The system itself.
Machine& SystemMachine();
