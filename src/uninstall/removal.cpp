#include "uninstall/removal.h"
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include "app/run_state.h"
#include "install/restart.h"
#include "base/handles.h"
#include "script/paths.h"
#include "script/script.h"
#include "base/text.h"

void ShellDeleteFile(const char* path) {
    char from[kPathSize + 2] = {};  // zero-filled: the list ends in a double zero
    if (!CopyBounded(from, kPathSize, path)) return;  // a cut path names another file
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    SHFileOperationA(&op);
}

namespace {

// Calls visit(path) for every non-folder match of each [Del] pattern.
template <typename Visit>
void ForEachDeletePatternMatch(const char* script, const char* installFolder, Visit visit) {
    ForEachNumberedKey(script, "Del", 0, [&](int, const char* pattern) {
        char expanded[kPathSize];
        ExpandPath(pattern, installFolder, expanded, false);
        char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(expanded, drive, dir, name, ext);
        WIN32_FIND_DATAA found;
        UniqueFind find(FindFirstFileA(expanded, &found));
        if (!find) return true;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            char path[kPathSize];
            CopyBounded(path, sizeof path, drive);
            AppendBounded(path, sizeof path, dir);
            if (!AppendBounded(path, sizeof path, found.cFileName)) continue;  // never act on a cut path
            visit(path);
        } while (FindNextFileA(find.get(), &found));
        return true;
    });
}

template <typename Visit>
void ForEachRemoveFolder(const char* script, const char* installFolder, Visit visit) {
    ForEachNumberedKey(script, "DirRemove", 1, [&](int, const char* value) {
        char expanded[kPathSize];
        ExpandPath(value, installFolder, expanded, false);
        visit(expanded);
        return true;
    });
}

// A read-only file goes only with "Force"; the shell itself would delete it anyway.
void DeleteOne(const char* path, bool force) {
    if (force) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    } else {
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;
    }
    ShellDeleteFile(path);
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
    char* buffer;
    size_t cap;
    bool reboot;
    size_t total = 0;

    void Found(const char* path) {
        total += strlen(path) + 1;
        if (!buffer) return;
        if (reboot) {
            char scheduled[kPathSize];
            CopyBounded(scheduled, sizeof scheduled, path);
            ReplaceAtRestart(scheduled, nullptr);
        }
        AppendBounded(buffer, cap, path);
        AppendBounded(buffer, cap, "\n");
    }
};

}  // namespace

void RemoveInstalledFiles() {
    const char* script = Script();
    bool force = ReadNumber("Del", "Force", 0, script) != 0;
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    ForEachDeletePatternMatch(script, installFolder, [&](const char* path) { DeleteOne(path, force); });
    ForEachCountedKey(script, "CopiedFile", true, [&](int, const char* path) {
        DeleteOne(path, force);
        return true;
    });
    ForEachRemoveFolder(script, installFolder, [](const char* folder) { RemoveDirectoryA(folder); });
    ForEachCountedKey(script, "MakedDirectory", true, [](int k, const char* folder) {
        if (k >= 1) RemoveDirectoryA(folder);  // entry 0 goes with the uninstaller
        return true;
    });
}

size_t ListRemainingFiles(char* buffer, size_t cap) {
    const char* script = Script();
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    Leftovers left{buffer, cap, ReadNumber("Del", "Reboot", 0, script) != 0};
    ForEachDeletePatternMatch(script, installFolder, [&](const char* path) { left.Found(path); });
    ForEachCountedKey(script, "CopiedFile", true, [&](int, const char* path) {
        if (PathExists(path)) left.Found(path);
        return true;
    });
    ForEachRemoveFolder(script, installFolder, [&](const char* folder) {
        if (PathExists(folder)) left.Found(folder);
    });
    ForEachCountedKey(script, "MakedDirectory", true, [&](int k, const char* folder) {
        if (k >= 1 && PathExists(folder)) left.Found(folder);
        return true;
    });
    char first[kValueSize];
    if (ReadText("MakedDirectory", "0", first, sizeof first, script) && HoldsForeignFiles(first)) left.Found(first);
    if (left.total != 0 && left.reboot) Run().removalAtRestart = true;
    return left.total;
}
