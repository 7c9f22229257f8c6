// The machine a plan runs the steps on: it answers from this computer as it is plus what
// the plan has done so far, and changes nothing on it.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>
#include "base/handles.h"
#include "run/machine.h"

class PlanMachine : public Machine {
public:
    PlanMachine() = default;
    PlanMachine(const PlanMachine&) = delete;
    PlanMachine& operator=(const PlanMachine&) = delete;

    DWORD Attributes(const char* path) override;
    bool AttributeData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) override;
    int CompareAge(const char* destination, const char* source) override;
    bool MakeFolder(const char* path) override;
    bool RemoveFolder(const char* path) override;
    bool Copy(const char* from, const char* to, bool failIfExists) override;
    bool SetAttributes(const char* path, DWORD attributes) override;
    bool Delete(const char* path) override;
    DWORD Recycle(const char* path) override;
    RestartRoute ReplaceAtRestart(char* path, char* target) override;
    RestartRoute CopyAtRestart(const char* source, char* destination) override;
    void FindFiles(const char* pattern, FindVisitor& visit) override;
    bool Identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) override;

    LONG OpenKey(HKEY parent, const char* name, REGSAM rights, HKEY* key) override;
    LONG CreateKey(HKEY parent, const char* name, REGSAM rights, HKEY* key, bool* created) override;
    void CloseKey(HKEY) override {}
    void FlushKey(HKEY) override {}
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override;
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(HKEY key, const char* name) override;
    LONG DeleteKey(HKEY parent, const char* name) override;
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD cap) override;
    LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize) override;

    bool SaveLink(const char* path, const LinkValues& values) override;
    bool ReadLink(const char* path, char* target, size_t targetCap, char* arguments, size_t argumentsCap) override;
    bool StoredLinkTarget(const char* target, char* out, size_t cap) override;
    // A file the plan copied into folder is found there, as the run finds it once copied.
    void FindProgram(const char* name, const char* folder, char* found) override;
    void Open(HWND, const char*, const char*, const char*, int) override {}
    bool Start(HWND, const char*, const char*, const char*, int, DWORD* error) override;
    void AssociationsChanged() override {}
    bool HandOver(const char*, int) override { return true; }

    // ---- libraries: nothing is loaded; a library is there and a PE image, and exports
    // what its export table names (a file the plan copied is read at its source) ----
    HMODULE OpenLibrary(const char* path, DWORD flags) override;
    FARPROC LibraryFunction(HMODULE library, const char* name) override;
    void CallFunction(FARPROC) override {}
    void CloseLibrary(HMODULE) override {}

    // ---- shortcuts ----
    void Pause(DWORD) override {}

    // A file the plan made (or removed) so far: for the leftovers and the notes of a plan.
    bool Made(const std::string& path) const;
    // The files and folders the plan removed, as the steps named them.
    std::vector<std::string> Removed() const;

private:
    struct FileState {
        bool exists = false;
        bool folder = false;
        DWORD attributes = FILE_ATTRIBUTE_NORMAL;
        FILETIME written{};
        unsigned long long size = 0;
        std::string linkTarget, linkArguments;
        bool isLink = false;
        std::string origin;  // the file a plan's copy holds the bytes of ("": itself)
    };
    struct ValueState {
        bool exists = false;
        DWORD type = REG_SZ;
        std::string data;
    };
    static std::string Fold(const std::string& text);
    static std::string Parent(const std::string& path);
    // The state of a path: the plan's, else the computer's (exists false when neither).
    FileState File(const std::string& path) const;
    bool FolderEmpty(const std::string& folder) const;

    // Keys are named "ROOT\path"; a handle is an index into keys_ plus a base no system
    // handle has.
    HKEY Handle(const std::string& path);
    std::string PathOf(HKEY key) const;
    bool IsSystemHandle(HKEY key) const;
    bool KeyExists(const std::string& path) const;
    bool RealKeyExists(const std::string& path) const;
    // The key as it is on this computer, opened for reading; false when it is not there.
    bool OpenRealKey(const std::string& path, UniqueKey* key) const;
    std::vector<std::string> Subkeys(const std::string& path) const;
    std::vector<std::string> ValueNames(const std::string& path) const;
    bool RealValue(const std::string& path, const std::string& name, ValueState* value) const;

    std::map<std::string, FileState> files_;     // folded path -> state (created or removed)
    std::map<std::string, std::string> names_;   // folded path -> path as written
    std::map<std::string, bool> keys_;           // folded key path -> exists
    std::map<std::string, std::string> keyNames_;
    std::map<std::string, ValueState> values_;   // folded key path + "\\\\" + folded name
    std::map<std::string, std::string> valueNames_;
    std::vector<std::string> handles_;
    // The libraries "loaded": whether their exports are known, and their names.
    struct Library {
        bool known;
        std::vector<std::string> exports;
    };
    std::vector<Library> libraries_;
};

// The names a PE image exports, read from its bytes as data (the headers, the section
// table and the export directory, every offset checked against the size); false when
// the bytes are no PE image.
bool ExportNamesOf(const std::string& image, std::vector<std::string>* names);
