#include "uninstall/removal_plan.h"
#include "run/handover.h"
#include "run/machine.h"
#include "run/run_state.h"
#include "script/path_rules.h"

bool FullPath(const char* path, char* out) {
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, kPathSize, out, &name);
    if (n == 0 || n >= kPathSize) return false;
    // "C:\x\" is "C:\x"; the last character, not the last byte: a trail byte 0x5C is none.
    char* last = FindLastBackslash(out);
    if (last && last[1] == 0 && strlen(out) > 3) *last = 0;
    return true;
}

namespace {

using Identity = RemovalGuards::Identity;

bool SameFile(const Identity& a, const Identity& b) {
    return a.volume == b.volume && a.high == b.high && a.low == b.low && (a.high | a.low) != 0;
}

using FinalPathCall = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The long, final form of an open file's path (short names lengthened, junctions
// followed), where the system can tell it; "" elsewhere.
void FinalPathOf(HANDLE file, char* out) {
    out[0] = 0;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto call =
        reinterpret_cast<FinalPathCall>(kernel ? GetProcAddress(kernel, "GetFinalPathNameByHandleA") : nullptr);
    char raw[kPathSize + 8];
    DWORD n = call ? call(file, raw, sizeof raw, 0) : 0;
    if (n == 0 || n >= sizeof raw) return;
    const char* rest = raw;
    if (StartsWithAsciiNoCase(raw, "\\\\?\\UNC\\")) {
        CopyBounded(out, kPathSize, "\\\\");
        rest = raw + 8;
    } else if (StartsWithAsciiNoCase(raw, "\\\\?\\")) {
        rest = raw + 4;
    }
    if (!AppendBounded(out, kPathSize, rest)) out[0] = 0;
    if (IsDevicePath(out)) out[0] = 0;  // a volume without a drive letter: nothing to compare
}

// The identity of what path names (a folder too), as the run's machine tells it, and,
// when finalPath is given, its final path; false when it does not exist or cannot be
// opened.
bool Examine(const char* path, Identity* id, char* finalPath) {
    if (finalPath) finalPath[0] = 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (!M().Identity(path, &info)) return false;
    *id = Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    if (!finalPath) return true;
    // Only a name that is there is opened again, and only to read where it leads.
    UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) FinalPathOf(file.get(), finalPath);
    return true;
}

using ComputerNameExCall = BOOL(WINAPI*)(int, LPSTR, LPDWORD);

// Negative counts walk nothing ("2147483648" reads as the most negative number).
int Bounded(int count, const SectionIndex& list) { return count <= 0 ? 0 : count < list.Size() ? count : list.Size(); }

}  // namespace

RemovalGuards::RemovalGuards(const char* record, const char* executable) {
    AddOwn(record);
    char exe[kPathSize];
    if (executable) AddOwn(executable);
    else if (ProgramPath(exe, sizeof exe)) AddOwn(exe);
    if (Run().originalScript[0]) AddOwn(Run().originalScript);
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
    // The names under which a share path reaches this computer's own volumes.
    DWORD size = sizeof folder;
    if (GetComputerNameA(folder, &size)) AddLocalName(folder);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto nameEx =
        reinterpret_cast<ComputerNameExCall>(kernel ? GetProcAddress(kernel, "GetComputerNameExA") : nullptr);
    static const int kNameFormats[] = {1, 3, 4, 5, 7};  // host names, DNS and NetBIOS, as set and in effect
    for (int format : kNameFormats) {
        size = sizeof folder;
        if (nameEx && nameEx(format, folder, &size)) AddLocalName(folder);
    }
}

bool RemovalGuards::IsRefused(const char* path) const {
    if (IsDevicePath(path)) return true;
    size_t length = 0;
    const char* server = UncServerName(path, &length);
    if (!server) return false;
    if (IsLoopbackServer(server, length)) return true;
    if (length > 1 && server[length - 1] == '.') --length;
    for (const char* name = localNames_.data(); name && *name; name += strlen(name) + 1) {
        int n = (int)length;
        if (strlen(name) == length && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name, n, server, n) == CSTR_EQUAL)
            return true;
    }
    return false;
}

bool RemovalGuards::IsProtectedIdentity(const Identity& id) const {
    TakeIdentities();
    const Identity* ids = reinterpret_cast<const Identity*>(protectedIds_.data());
    size_t count = protectedIds_.size() / sizeof(Identity);
    for (size_t i = 0; i < count; ++i)
        if (SameFile(id, ids[i])) return true;
    return false;
}

// By name, by the final path, and by the identity of the folder and each folder above
// it (a short name or a junction on the way may be the Windows folder); each is opened
// once a pattern.
bool RemovalGuards::UnderWindowsFolder(const char* full) const {
    if (!windows_[0]) return false;
    if (IsPathUnder(full, windows_)) return true;
    TakeIdentities();
    char walk[kPathSize], finalPath[kPathSize];
    CopyBounded(walk, sizeof walk, full);
    Identity id;
    for (bool first = true;; first = false) {
        if (Examine(walk, &id, first ? finalPath : nullptr)) {
            if (windowsIdentified_ && SameFile(id, windowsId_)) return true;
            if (first && finalPath[0] &&
                (IsPathUnder(finalPath, windows_) || (windowsFinal_[0] && IsPathUnder(finalPath, windowsFinal_))))
                return true;
        }
        char* bs = FindLastBackslash(walk);
        if (!bs || IsRootPath(walk)) return false;
        bool driveRoot = bs == walk + 2 && walk[1] == ':';
        bs[driveRoot ? 1 : 0] = 0;  // "C:\x" goes up to "C:\", never to "C:"
    }
}

// Another name of an own file (a hard link, a short name, a junction on the way) shows
// that file's size and last-write time; they are read afresh, since the record may have
// been written since the guards were made.
bool RemovalGuards::MayBeOwn(const WIN32_FILE_ATTRIBUTE_DATA& found) const {
    for (int i = 0; i < ownCount_; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA own;
        if (!own_[i].identified) continue;
        if (!M().AttributeData(own_[i].path, &own)) return true;  // cannot tell: the file is opened
        if (own.nFileSizeLow == found.nFileSizeLow && own.nFileSizeHigh == found.nFileSizeHigh &&
            CompareFileTime(&own.ftLastWriteTime, &found.ftLastWriteTime) == 0)
            return true;
    }
    return false;
}

bool RemovalGuards::MayDeleteFile(const char* path, const WIN32_FILE_ATTRIBUTE_DATA* found) const {
    char full[kPathSize];
    if (IsRefused(path) || !FullPath(path, full) || IsRefused(full)) return false;
    for (int i = 0; i < ownCount_; ++i)
        if (lstrcmpiA(full, own_[i].path) == 0) return false;
    // Opening a file for its identity costs far more than an attribute call: only a file
    // that may be an own one is opened.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!found && M().AttributeData(full, &data)) found = &data;
    if (found && !(found->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !MayBeOwn(*found)) return true;
    Identity id;
    if (!Examine(full, &id, nullptr)) return true;
    for (int i = 0; i < ownCount_; ++i)
        if (own_[i].identified && SameFile(id, own_[i].id)) return false;
    return true;
}

bool RemovalGuards::MayRemoveFolder(const char* path) const {
    char full[kPathSize];
    if (IsRefused(path) || !FullPath(path, full) || IsRootPath(full) || IsRefused(full)) return false;
    for (size_t off = 0; off < protected_.size(); off += strlen(protected_.data() + off) + 1)
        if (lstrcmpiA(full, protected_.data() + off) == 0) return false;
    Identity id;
    char finalPath[kPathSize];
    // A junction may name a protected folder, or a drive root, under a name of its own.
    bool existing = Examine(full, &id, finalPath);
    return !(existing && (IsProtectedIdentity(id) || (finalPath[0] && IsRootPath(finalPath))));
}

bool RemovalGuards::MayApplyPattern(const char* folder, const char* name) const {
    if (IsRefused(folder)) return false;
    if (!HasWildcard(name)) return true;
    char full[kPathSize];
    if (!FullPath(folder[0] ? folder : ".", full) || !MayRemoveFolder(full)) return false;
    return !UnderWindowsFolder(full);
}

void RemovalGuards::AddOwn(const char* path) {
    const int capacity = sizeof own_ / sizeof own_[0];
    if (ownCount_ == capacity || !path[0] || !FullPath(path, own_[ownCount_].path)) return;
    own_[ownCount_].identified = Examine(own_[ownCount_].path, &own_[ownCount_].id, nullptr);
    ++ownCount_;
}

void RemovalGuards::AddProtected(const char* path) {
    char full[kPathSize];
    if (!path[0] || !FullPath(path, full)) return;
    // The environment and the registry name many folders twice; each is opened once.
    for (size_t off = 0; off < protected_.size(); off += strlen(protected_.data() + off) + 1)
        if (lstrcmpiA(full, protected_.data() + off) == 0) return;
    protected_.Append(full, strlen(full) + 1);
}

// Opening some fifty folders costs tens of milliseconds under Wine: done once, and only
// for guards that are asked about a folder that exists.
void RemovalGuards::TakeIdentities() const {
    if (identitiesTaken_) return;
    identitiesTaken_ = true;
    windowsIdentified_ = windows_[0] && Examine(windows_, &windowsId_, windowsFinal_);
    for (size_t off = 0; off < protected_.size(); off += strlen(protected_.data() + off) + 1) {
        Identity id;
        if (Examine(protected_.data() + off, &id, nullptr))
            protectedIds_.Append(reinterpret_cast<const char*>(&id), sizeof id);
    }
}

void RemovalGuards::AddLocalName(const char* name) {
    if (name[0]) localNames_.Append(name, strlen(name) + 1);
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
    if (!folder[0] || !CopyBounded(pattern, sizeof pattern, folder) || !JoinPath(pattern, "*.*")) return false;
    bool foreign = false;
    FindEach(pattern, [&](const WIN32_FIND_DATAA& found) {
        const char* name = found.cFileName;
        foreign = !(name[0] == '.' || lstrcmpiA(name, "setup.exe") == 0 || lstrcmpiA(name, "setup.ini") == 0);
        return !foreign;
    });
    return foreign;
}
