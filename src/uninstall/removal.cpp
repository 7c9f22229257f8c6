#include "uninstall/removal.h"
#include <shellapi.h>
#include <string.h>
#include "app/handover.h"
#include "app/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "install/restart.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "uninstall/removal_rules.h"

void ShellDeleteFile(const char* path) {
    // Never a folder: the shell would take it with everything in it.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    char from[kPathSize + 2] = {};  // zero-filled: the list ends in a double zero
    if (!CopyBounded(from, kPathSize, path)) return;  // a cut path names another file
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    SHFileOperationA(&op);
}

namespace {

// The full form of path (".." and "." resolved); false when it cannot be had whole.
bool FullPath(const char* path, char* out) {
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, kPathSize, out, &name);
    if (n == 0 || n >= kPathSize) return false;
    size_t len = strlen(out);
    if (len > 3 && out[len - 1] == '\\') out[len - 1] = 0;  // "C:\x\" is "C:\x"
    return true;
}

// Volume and index of a file or folder: two paths name the same one when these agree.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), info);
}

// What the removal must never touch, whatever the record or the script says: its own
// record and executable (they go last, with the self-removal), and the folders that
// belong to the system or the user as a whole.
class Guards {
public:
    Guards() {
        AddOwn(Script());
        char exe[kPathSize];
        if (OwnExecutablePath(exe, sizeof exe)) AddOwn(exe);
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

    // A file the removal may delete: not the record, not the running executable.
    bool MayDeleteFile(const char* path) const {
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

    // A folder the removal may remove (when empty) or list: no drive root, no system
    // or shell folder itself.
    bool MayRemoveFolder(const char* path) const {
        char full[kPathSize];
        if (!FullPath(path, full) || IsRootPath(full)) return false;
        for (size_t off = 0; off < protected_.size(); off += strlen(protected_.data() + off) + 1)
            if (lstrcmpiA(full, protected_.data() + off) == 0) return false;
        return true;
    }

    // A wildcard pattern may not sweep a protected folder nor anything in the Windows
    // folder; a single named file there stays allowed.
    bool MayApplyPattern(const char* folder, const char* name) const {
        if (!HasWildcard(name)) return true;
        char full[kPathSize];
        if (!FullPath(folder[0] ? folder : ".", full) || !MayRemoveFolder(full)) return false;
        size_t n = strlen(windows_);
        return !(n && _strnicmp(full, windows_, n) == 0 && (full[n] == 0 || full[n] == '\\'));
    }

private:
    struct Own {
        char path[kPathSize];
        BY_HANDLE_FILE_INFORMATION info;
        bool identified;
    };
    static bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
        return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
               a.nFileIndexLow == b.nFileIndexLow && (a.nFileIndexHigh | a.nFileIndexLow) != 0;
    }
    void AddOwn(const char* path) {
        if (ownCount_ == 2 || !FullPath(path, own_[ownCount_].path)) return;
        own_[ownCount_].identified = FileIdentity(own_[ownCount_].path, &own_[ownCount_].info);
        ++ownCount_;
    }
    void AddProtected(const char* path) {
        char full[kPathSize];
        if (path[0] && FullPath(path, full)) protected_.Append(full, strlen(full) + 1);
    }
    // Every folder a key names: the shell folders, Program Files and its kin.
    void AddRegistryFolders(HKEY root, const char* subkey) {
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

    Own own_[2];
    int ownCount_ = 0;
    char windows_[kPathSize] = "";
    GrowableText protected_;  // zero-separated full paths
};

// Everything the removal acts on, read before the first file goes: on Windows the
// profile calls reread the file, so whatever a step deletes must not change what
// the next step reads.
struct Plan {
    const char* script = Script();
    char installFolder[kPathSize] = "";
    bool force = ReadNumber("Del", "Force", 0, script) != 0;
    bool reboot = ReadNumber("Del", "Reboot", 0, script) != 0;
    SectionIndex patterns{"Del", script};
    SectionIndex copied{"CopiedFile", script};
    SectionIndex removeFolders{"DirRemove", script};
    SectionIndex made{"MakedDirectory", script};
    // A "Count" beyond the highest key present walks nothing more.
    int copiedCount = Bounded(ReadCount("CopiedFile", script), copied);
    int madeCount = Bounded(ReadCount("MakedDirectory", script), made);
    Guards guards;

    Plan() { ReadText("Root", "Named", installFolder, sizeof installFolder, script); }
    // Negative counts walk nothing ("2147483648" reads as the most negative number).
    static int Bounded(int count, const SectionIndex& list) {
        return count <= 0 ? 0 : count < list.Size() ? count : list.Size();
    }
};

// A value of a list as a path: false when it is too long to be one (it would be cut
// into the name of something else).
bool PathValue(const char* value, char* out) { return CopyBounded(out, kPathSize, value); }

// Calls visit(path, whole) for every non-folder match of each [Del] pattern whose long
// name really matches (the search also matches short 8.3 names), and visit(pattern,
// false) for a pattern that does not fit a path.
template <typename Visit>
void ForEachPatternMatch(const Plan& plan, Visit visit) {
    for (int k = 0;; ++k) {
        const char* pattern = plan.patterns.Get(k);
        if (!pattern) break;
        char expanded[kPathSize];
        if (!ExpandPath(pattern, plan.installFolder, expanded, false)) {
            visit(expanded, false);
            continue;
        }
        char folder[kPathSize];
        FolderPart(expanded, folder, sizeof folder);
        const char* name = expanded + strlen(folder);
        if (!plan.guards.MayApplyPattern(folder, name)) continue;
        WIN32_FIND_DATAA found;
        UniqueFind find(FindFirstFileA(expanded, &found));
        if (!find) continue;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (!MatchesPattern(found.cFileName, name)) continue;  // matched by its short name only
            char path[kPathSize];
            CopyBounded(path, sizeof path, folder);
            if (!AppendBounded(path, sizeof path, found.cFileName)) continue;  // never act on a cut path
            visit(path, true);
        } while (FindNextFileA(find.get(), &found));
    }
}

// Recorded files, newest first: visit(path, whole).
template <typename Visit>
void ForEachRecordedFile(const Plan& plan, Visit visit) {
    for (int k = plan.copiedCount - 1; k >= 0; --k) {
        const char* value = plan.copied.Get(k);
        if (!value) continue;
        char path[kPathSize];
        visit(path, PathValue(value, path));
    }
}

template <typename Visit>
void ForEachRemoveFolder(const Plan& plan, Visit visit) {
    for (int k = 1;; ++k) {
        const char* value = plan.removeFolders.Get(k);
        if (!value) break;
        char expanded[kPathSize];
        bool whole = ExpandPath(value, plan.installFolder, expanded, false);
        visit(expanded, whole);
    }
}

// Made folders, children first, entry 0 (the install folder) left out.
template <typename Visit>
void ForEachMadeFolder(const Plan& plan, Visit visit) {
    for (int k = plan.madeCount - 1; k >= 1; --k) {
        const char* value = plan.made.Get(k);
        if (!value) continue;
        char path[kPathSize];
        visit(path, PathValue(value, path));
    }
}

// A read-only file goes only with "Force"; the shell itself would delete it anyway.
void DeleteOne(const Plan& plan, const char* path) {
    if (!plan.guards.MayDeleteFile(path)) return;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (plan.force) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        return;
    }
    ShellDeleteFile(path);
}

void RemoveFolder(const Plan& plan, const char* path) {
    if (plan.guards.MayRemoveFolder(path)) RemoveDirectoryA(path);
}

// Whether the folder holds anything but the uninstaller's own files and dot names.
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

struct Leftovers {
    const Plan& plan;
    char* buffer;
    BoundedWriter text;  // after the caller's header
    size_t total = 0;

    Leftovers(const Plan& p, char* b, size_t cap) : plan(p), buffer(b), text(b, b ? cap : 0) {}

    // Only a path that is really ours is scheduled; a cut one is listed with "..." after
    // it, since it is not the name of anything the install made.
    void Found(const char* path, bool schedule, bool cut = false) {
        const char* mark = cut ? "...\n" : "\n";
        total += strlen(path) + strlen(mark);
        if (!buffer) return;
        if (plan.reboot && schedule) {
            char scheduled[kPathSize];
            CopyBounded(scheduled, sizeof scheduled, path);
            ReplaceAtRestart(scheduled, nullptr);
        }
        text.Append(path);
        text.Append(mark);
    }
    void FoundFile(const char* path, bool whole) {
        if (!whole) {
            Found(path, false, true);
        } else if (IsFolder(path)) {
            if (plan.guards.MayRemoveFolder(path)) Found(path, false);  // a recorded "file" that is a folder: told, never removed
        } else if (PathExists(path) && plan.guards.MayDeleteFile(path)) {
            Found(path, true);
        }
    }
    void FoundFolder(const char* path, bool whole) {
        if (!whole) {
            Found(path, false, true);
        } else if (PathExists(path) && plan.guards.MayRemoveFolder(path)) {
            Found(path, IsFolder(path));  // a "folder" that is a file is told, never scheduled
        }
    }
    static bool IsFolder(const char* path) {
        DWORD attributes = GetFileAttributesA(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
};

}  // namespace

void RemoveInstalledFiles() {
    Plan plan;
    ForEachPatternMatch(plan, [&](const char* path, bool whole) {
        if (whole) DeleteOne(plan, path);
    });
    ForEachRecordedFile(plan, [&](const char* path, bool whole) {
        if (whole) DeleteOne(plan, path);
    });
    ForEachRemoveFolder(plan, [&](const char* folder, bool whole) {
        if (whole) RemoveFolder(plan, folder);
    });
    ForEachMadeFolder(plan, [&](const char* folder, bool whole) {
        if (whole) RemoveFolder(plan, folder);  // entry 0 goes with the uninstaller
    });
}

size_t ListRemainingFiles(char* buffer, size_t cap) {
    Plan plan;
    Leftovers left(plan, buffer, cap);
    ForEachPatternMatch(plan, [&](const char* path, bool whole) { left.FoundFile(path, whole); });
    ForEachRecordedFile(plan, [&](const char* path, bool whole) { left.FoundFile(path, whole); });
    ForEachRemoveFolder(plan, [&](const char* folder, bool whole) { left.FoundFolder(folder, whole); });
    ForEachMadeFolder(plan, [&](const char* folder, bool whole) { left.FoundFolder(folder, whole); });
    char first[kPathSize];
    if (const char* value = plan.made.Get(0)) {
        if (PathValue(value, first) && plan.guards.MayRemoveFolder(first) && HoldsForeignFiles(first))
            left.Found(first, true);
    }
    if (left.total != 0 && plan.reboot) Run().removalAtRestart = true;
    return left.total;
}
