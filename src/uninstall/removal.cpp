#include "uninstall/removal.h"
#include <shellapi.h>
#include <string.h>
#include "run/handover.h"
#include "run/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "run/restart.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "uninstall/removal_plan.h"
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

// A read-only file goes only with "Force"; the shell itself would delete it anyway.
void DeleteOne(const RemovalPlan& plan, const char* path) {
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

void RemoveFolder(const RemovalPlan& plan, const char* path) {
    if (plan.guards.MayRemoveFolder(path)) RemoveDirectoryA(path);
}

struct Leftovers {
    const RemovalPlan& plan;
    char* buffer;
    BoundedWriter text;  // after the caller's header
    size_t total = 0;

    Leftovers(const RemovalPlan& p, char* b, size_t cap) : plan(p), buffer(b), text(b, b ? cap : 0) {}

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
    RemovalPlan plan(Script(), nullptr);
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
    RemovalPlan plan(Script(), nullptr);
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
