// Folder tokens (%system%, %windows%, %desktop%, %programs%, %root%, leading "!")
// and the path join every step uses.
#pragma once
#include <windows.h>
#include <stddef.h>
#include "script/script.h"


// Joins name to folder in place: adds a backslash unless the folder's last character is one.
// Cuts what does not fit in cap bytes and then returns false: a cut path names another
// file, so callers that act on the result must refuse it.
bool JoinPath(char* folder, const char* name, size_t cap = kPathSize);

// The program that opens name, looked for in folder first, into found (260 bytes); ""
// when there is none or it is not there.
typedef void (*ProgramFinder)(const char* name, const char* folder, char* found);
// FindExecutableA's answer, kept only when that file exists.
void FindProgramOnDisk(const char* name, const char* folder, char* found);

// Expands one path whose only token stands at its start. result (260 bytes) may be text.
// With programLookup, a plain name is resolved to the program that opens it (by finder,
// the files on disk without one). Returns false when the expanded path had to be cut.
bool ExpandPath(const char* text, const char* installFolder, char* result, bool programLookup,
                ProgramFinder finder = nullptr);

// Expands every %name% token inside text (cap bytes, normally 520); unknown tokens stay.
// %root% comes from [Root] "Named" of the script at scriptPath. False when the result
// had to be cut to fit.
bool ExpandFolderTokens(char* text, size_t cap, const char* scriptPath);
// The same with the install folder given for %root% (an empty one leaves the token).
bool ExpandFolderTokensFor(char* text, size_t cap, const char* installFolder);

// The program registered to open files with the extension of name (result 260 bytes).
void FindOpenCommandProgram(const char* name, const char* installFolder, char* result);

// The default install folder derived from [Root] "Name" (result 260 bytes).
void DefaultInstallFolder(const char* name, HWND owner, char* result);

// Well-known folders (260-byte buffers). Desktop: trailing backslash kept or removed.
void GetDesktopFolder(HWND owner, char* out, bool keepTrailingBackslash);
bool ReadProgramFilesDir(char* out);  // false when unreadable or empty
bool PathExists(const char* path);
bool IsFolder(const char* path);
// Whether path, once "." and ".." are resolved, lies inside folder (or is folder itself).
bool IsInsideFolder(const char* path, const char* folder);
// The same for two full paths, by their texts alone: folder (a trailing backslash
// ignored) starts path, character by character without regard to case, and path ends
// there or goes on with a backslash.
bool IsPathUnder(const char* fullPath, const char* fullFolder);
// The folder part of path, up to and including its last backslash (multibyte-aware; a
// path without one gives its drive, "X:", or ""). False when it does not fit cap.
bool FolderPart(const char* path, char* out, size_t cap);
// Reads a registry value as text into cap bytes, always terminated; false when unreadable.
bool QueryText(HKEY key, const char* valueName, char* out, size_t cap, DWORD* type);
