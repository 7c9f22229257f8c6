#include "uninstall/removal.h"
#include <string.h>
#include "base/text.h"
#include "run/machine.h"
#include "run/progress.h"
#include "run/report.h"
#include "run/restart.h"
#include "run/run_state.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "uninstall/removal_plan.h"
#include "uninstall/removal_rules.h"

DWORD ShellDeleteFile(const char* path) {
    // Never a folder: the shell would take it with everything in it.
    DWORD attributes = M().Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ACCESS_DENIED;
    if (strlen(path) >= kPathSize) return ERROR_FILENAME_EXCED_RANGE;  // a cut path names another file
    return M().Recycle(path);
}

namespace {

bool IsFolderThere(const char* path) {
    DWORD attributes = M().Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsThere(const char* path) { return M().Attributes(path) != INVALID_FILE_ATTRIBUTES; }

// An entry that did not fit is told by what fitted, marked as cut.
void TellCut(const char* path) {
    char shown[kPathSize + 4];
    FormatBounded(shown, sizeof shown, "%s...", path);
    Tell(Outcome::Kept, "refused", shown, "(longer than 259 bytes: never removed)");
}

// A read-only file goes only with "Force"; the shell itself would delete it anyway.
void DeleteOne(const RemovalPlan& plan, const char* path, Entry entry, const char* why) {
    if (entry == Entry::Cut) {
        TellCut(path);
        return;
    }
    if (entry == Entry::Refused) {
        Tell(Outcome::Kept, "refused", path, "(a wildcard over a protected folder or in the Windows folder: never applied)");
        return;
    }
    WIN32_FILE_ATTRIBUTE_DATA found;
    const bool there = M().AttributeData(path, &found);
    if (!plan.guards.MayDeleteFile(path, there ? &found : nullptr)) {
        Tell(Outcome::Kept, "refused", path, "(the uninstall's own file, or a path it never acts on)");
        return;
    }
    if (!there) return;  // gone already
    DWORD attributes = found.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        Tell(Outcome::Kept, "stays", path, "(a folder recorded as a file: never removed)");
        return;
    }
    if (plan.force) {
        M().SetAttributes(path, FILE_ATTRIBUTE_NORMAL);
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        Tell(Outcome::Kept, "stays", path, "(read-only, and [Del] \"Force\" is 0)");
        return;
    }
    DWORD error = ShellDeleteFile(path);
    if (error == 0)
        Tell(Outcome::Removed, "remove", path, why);
    else
        Tell(Outcome::Failed, "fails", path, "(not deleted: left over)", error);
}

// Only an empty folder goes; what keeps one is told.
void RemoveFolder(const RemovalPlan& plan, const char* path, Entry entry, const char* why) {
    if (entry != Entry::Whole) {
        TellCut(path);
        return;
    }
    if (!plan.guards.MayRemoveFolder(path)) {
        Tell(Outcome::Kept, "refused", path, "(a drive root, or a folder of the system or of all users: never removed)");
        return;
    }
    if (M().RemoveFolder(path)) {
        Tell(Outcome::Removed, "remove-folder", path, why);
        return;
    }
    DWORD error = GetLastError();
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: break;  // gone already
    case ERROR_DIR_NOT_EMPTY: Tell(Outcome::Kept, "stays", path, "(not empty)"); break;
    case ERROR_DIRECTORY: Tell(Outcome::Kept, "stays", path, "(a file, not a folder: never removed)"); break;
    default: Tell(Outcome::Failed, "fails", path, "(not removed: left over)", error); break;
    }
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
        if (!buffer) {
            char shown[kPathSize + 4];
            FormatBounded(shown, sizeof shown, cut ? "%s..." : "%s", path);
            Tell(plan.reboot && schedule ? Outcome::Restart : Outcome::Told, "left", shown);
            return;
        }
        if (plan.reboot && schedule) {
            char scheduled[kPathSize];
            CopyBounded(scheduled, sizeof scheduled, path);
            M().ReplaceAtRestart(scheduled, nullptr);
        }
        text.Append(path);
        text.Append(mark);
    }
    void FoundFile(const char* path, Entry entry) {
        if (entry == Entry::Refused) return;
        if (entry == Entry::Cut) {
            Found(path, false, true);
        } else if (IsFolderThere(path)) {
            if (plan.guards.MayRemoveFolder(path)) Found(path, false);  // a recorded "file" that is a folder: told, never removed
        } else if (IsThere(path) && plan.guards.MayDeleteFile(path)) {
            Found(path, true);
        }
    }
    void FoundFolder(const char* path, Entry entry) {
        if (entry == Entry::Cut) {
            Found(path, false, true);
        } else if (IsThere(path) && plan.guards.MayRemoveFolder(path)) {
            Found(path, IsFolderThere(path));  // a "folder" that is a file is told, never scheduled
        }
    }
};

// The heading of the leftovers: what becomes of them.
const char* LeftoverHeading(const RemovalPlan& plan) {
    if (plan.reboot) return "Left over: deleted at the next restart, and listed in \"These will delete after reboot.\"";
    if (ReadNumber("Del", "ShowError", 0, plan.script) != 0) return "Left over: listed in \"Could not delete these...\"";
    return "Left over (not shown: [Del] \"ShowError\" is 0)";
}

}  // namespace

void RemoveInstalledFiles() {
    RemovalPlan plan(Script(), nullptr);
    TellSection("Files and folders");
    ForEachPatternMatch(plan, [&](const char* path, Entry entry) { DeleteOne(plan, path, entry, "([Del] pattern)"); });
    // The bar moves over the recorded files, the bulk of any uninstall.
    RunProgress().Begin(plan.copiedCount > 0 ? (size_t)plan.copiedCount : 0);
    ForEachRecordedFile(plan, [&](const char* path, Entry entry) {
        RunProgress().Advance(path);
        DeleteOne(plan, path, entry, "");
    });
    RunProgress().End();
    ForEachRemoveFolder(plan, [&](const char* folder, Entry entry) { RemoveFolder(plan, folder, entry, "([DirRemove])"); });
    ForEachMadeFolder(plan, [&](const char* folder, Entry entry) {
        RemoveFolder(plan, folder, entry, "");  // entry 0 goes with the uninstaller
    });
}

size_t ListRemainingFiles(char* buffer, size_t cap) {
    RemovalPlan plan(Script(), nullptr);
    if (!buffer) TellSection(LeftoverHeading(plan));
    Leftovers left(plan, buffer, cap);
    ForEachPatternMatch(plan, [&](const char* path, Entry entry) { left.FoundFile(path, entry); });
    ForEachRecordedFile(plan, [&](const char* path, Entry entry) { left.FoundFile(path, entry); });
    ForEachRemoveFolder(plan, [&](const char* folder, Entry entry) { left.FoundFolder(folder, entry); });
    ForEachMadeFolder(plan, [&](const char* folder, Entry entry) { left.FoundFolder(folder, entry); });
    char first[kPathSize];
    if (const char* value = plan.made.Get(0)) {
        if (PathValue(value, first) && plan.guards.MayRemoveFolder(first) && HoldsForeignFiles(first))
            left.Found(first, true);
    }
    if (left.total != 0 && plan.reboot) Run().removalAtRestart = true;
    return left.total;
}
