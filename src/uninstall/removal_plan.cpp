#include "uninstall/removal_plan.h"
#include "app/handover.h"
#include "app/run_state.h"
#include "script/path_rules.h"

bool FullPath(const char* path, char* out) {
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, kPathSize, out, &name);
    if (n == 0 || n >= kPathSize) return false;
    size_t len = strlen(out);
    if (len > 3 && out[len - 1] == '\\') out[len - 1] = 0;  // "C:\x\" is "C:\x"
    return true;
}

namespace {

// Volume and index of a file or folder: two paths name the same one when these agree.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), info);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && (a.nFileIndexHigh | a.nFileIndexLow) != 0;
}

// Negative counts walk nothing ("2147483648" reads as the most negative number).
int Bounded(int count, const SectionIndex& list) { return count <= 0 ? 0 : count < list.Size() ? count : list.Size(); }

}  // namespace

RemovalGuards::RemovalGuards(const char* record, const char* executable) {
    AddOwn(record);
    char exe[kPathSize];
    if (executable) AddOwn(executable);
    else if (OwnExecutablePath(exe, sizeof exe)) AddOwn(exe);
    char folder[kPathSize];
    if (GetWindowsDirectoryA(folder, sizeof folder)) {
        AddProtected(folder);
        FullPath(folder, windows_);
    }
    if (GetSystemDirectoryA(folder, sizeof folder)) AddProtected(folder);
    if (ReadProgramFilesDir(folder)) AddProtected(folder);
    AddRegistryFolders(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    AddRegistryFolders(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    AddRegistryFolders(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    // The profiles and the folders the system names in its environment.
    static const char* const kVariables[] = {"USERPROFILE", "ALLUSERSPROFILE", "PUBLIC", "ProgramData",
                                             "APPDATA", "LOCALAPPDATA", "SystemRoot", "ProgramFiles",
                                             "ProgramFiles(x86)", "ProgramW6432", "CommonProgramFiles",
                                             "CommonProgramFiles(x86)", "CommonProgramW6432"};
    for (const char* variable : kVariables) {
        DWORD n = GetEnvironmentVariableA(variable, folder, sizeof folder);
        if (n == 0 || n >= sizeof folder) continue;
        AddProtected(folder);
        if (variable == kVariables[0]) {  // the folder that holds every user's profile
            char* bs = FindLastBackslash(folder);
            if (bs) *bs = 0;
            AddProtected(folder);
        }
    }
}

bool RemovalGuards::MayDeleteFile(const char* path) const {
    char full[kPathSize];
    if (!FullPath(path, full)) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool identified = FileIdentity(full, &info);
    for (int i = 0; i < ownCount_; ++i) {
        if (lstrcmpiA(full, own_[i].path) == 0) return false;
        if (identified && own_[i].identified && SameFile(info, own_[i].info)) return false;
    }
    return true;
}

bool RemovalGuards::MayRemoveFolder(const char* path) const {
    char full[kPathSize];
    if (!FullPath(path, full) || IsRootPath(full)) return false;
    for (size_t off = 0; off < protected_.size(); off += strlen(protected_.data() + off) + 1)
        if (lstrcmpiA(full, protected_.data() + off) == 0) return false;
    return true;
}

bool RemovalGuards::MayApplyPattern(const char* folder, const char* name) const {
    if (!HasWildcard(name)) return true;
    char full[kPathSize];
    if (!FullPath(folder[0] ? folder : ".", full) || !MayRemoveFolder(full)) return false;
    size_t n = strlen(windows_);
    return !(n && _strnicmp(full, windows_, n) == 0 && (full[n] == 0 || full[n] == '\\'));
}

void RemovalGuards::AddOwn(const char* path) {
    if (ownCount_ == 2 || !FullPath(path, own_[ownCount_].path)) return;
    own_[ownCount_].identified = FileIdentity(own_[ownCount_].path, &own_[ownCount_].info);
    ++ownCount_;
}

void RemovalGuards::AddProtected(const char* path) {
    char full[kPathSize];
    if (path[0] && FullPath(path, full)) protected_.Append(full, strlen(full) + 1);
}

// Every folder a key names: the shell folders, Program Files and its kin.
void RemovalGuards::AddRegistryFolders(HKEY root, const char* subkey) {
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        char name[kValueSize], value[kPathSize];
        DWORD nameSize = sizeof name, valueSize = sizeof value - 1, type = 0;
        LONG rc = RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, (BYTE*)value, &valueSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        value[valueSize < sizeof value ? valueSize : sizeof value - 1] = 0;
        if (value[0] && value[1] == ':') AddProtected(value);  // folder values only
    }
}

RemovalPlan::RemovalPlan(const char* scriptPath, const char* executable)
    : script(scriptPath),
      force(ReadNumber("Del", "Force", 0, scriptPath) != 0),
      reboot(ReadNumber("Del", "Reboot", 0, scriptPath) != 0),
      patterns("Del", scriptPath),
      copied("CopiedFile", scriptPath),
      removeFolders("DirRemove", scriptPath),
      made("MakedDirectory", scriptPath),
      copiedCount(Bounded(ReadCount("CopiedFile", scriptPath), copied)),
      madeCount(Bounded(ReadCount("MakedDirectory", scriptPath), made)),
      guards(scriptPath, executable) {
    ReadText("Root", "Named", installFolder, sizeof installFolder, scriptPath);
}

bool HoldsForeignFiles(const char* folder) {
    char pattern[kPathSize];
    CopyBounded(pattern, sizeof pattern, folder);
    size_t len = strlen(pattern);
    if (len == 0 || pattern[len - 1] != '\\') AppendBounded(pattern, sizeof pattern, "\\");
    if (!AppendBounded(pattern, sizeof pattern, "*.*")) return false;
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(pattern, &found));
    if (!find) return false;
    do {
        const char* name = found.cFileName;
        if (name[0] == '.' || lstrcmpiA(name, "setup.exe") == 0 || lstrcmpiA(name, "setup.ini") == 0) continue;
        return true;
    } while (FindNextFileA(find.get(), &found));
    return false;
}

