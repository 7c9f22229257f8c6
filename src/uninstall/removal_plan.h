// What the removal of installed files acts on, read before anything goes, and what it
// must never touch. Shared by the uninstall run and by anything that predicts it.
#pragma once
#include <windows.h>
#include <string.h>
#include "base/growable_text.h"
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"

// The full form of path (".." and "." resolved; 260 bytes); false when it cannot be had whole.
bool FullPath(const char* path, char* out);

// What the removal must never touch, whatever the record or the script says: its own
// record, executable and original script (they go last, with the self-removal), and the
// folders that belong to the system or the user as a whole. Folders and files are known
// by their names and by their identity on disk, so that another spelling (a short 8.3
// name, a junction, a share of this computer) names nothing else; paths past the
// system's normalisation (\\?\, \\.\) and shares of this computer are refused outright.
class RemovalGuards {
public:
    // record: the uninstall's own record; executable: its own Setup.exe (null: the
    // running program).
    RemovalGuards(const char* record, const char* executable);
    RemovalGuards(const RemovalGuards&) = delete;
    RemovalGuards& operator=(const RemovalGuards&) = delete;

    // A file the removal may delete: not the record, not the uninstaller. found: what an
    // attribute call told of path just now, or null (then asked here).
    bool MayDeleteFile(const char* path, const WIN32_FILE_ATTRIBUTE_DATA* found = nullptr) const;
    // A folder the removal may remove (when empty) or list: no drive root, no system
    // or shell folder itself.
    bool MayRemoveFolder(const char* path) const;
    // A wildcard pattern may not sweep a protected folder nor anything in the Windows
    // folder; a single named file there stays allowed.
    bool MayApplyPattern(const char* folder, const char* name) const;

    // Volume and index of a file or folder: two paths name the same one when these agree.
    struct Identity {
        DWORD volume, high, low;
    };

private:
    struct Own {
        char path[kPathSize];
        Identity id;
        bool identified;
    };
    void AddOwn(const char* path);
    void AddProtected(const char* path);
    void AddRegistryFolders(HKEY root, const char* subkey);
    void AddLocalName(const char* name);
    bool IsRefused(const char* path) const;
    bool MayBeOwn(const WIN32_FILE_ATTRIBUTE_DATA& found) const;
    void TakeIdentities() const;
    bool IsProtectedIdentity(const Identity& id) const;
    bool UnderWindowsFolder(const char* full) const;

    Own own_[3];
    int ownCount_ = 0;
    char windows_[kPathSize] = "";
    // Taken with the identities: the Windows folder's long, final form, where the system
    // tells it, and its identity.
    mutable char windowsFinal_[kPathSize] = "";
    mutable Identity windowsId_{};
    mutable bool windowsIdentified_ = false;
    GrowableText protected_;             // zero-separated full paths
    mutable GrowableText protectedIds_;  // the Identity of each that exists, one after another
    mutable bool identitiesTaken_ = false;
    GrowableText localNames_;            // zero-separated names of this computer
};

// Everything the removal acts on, read before the first file goes: on Windows the
// profile calls reread the file, so whatever a step deletes must not change what
// the next step reads.
struct RemovalPlan {
    // script: the install record; executable: the uninstaller (null: the running program).
    RemovalPlan(const char* script, const char* executable);
    RemovalPlan(const RemovalPlan&) = delete;
    RemovalPlan& operator=(const RemovalPlan&) = delete;

    const char* script;
    char installFolder[kPathSize] = "";
    bool force;
    bool reboot;
    SectionIndex patterns;
    SectionIndex copied;
    SectionIndex removeFolders;
    SectionIndex made;
    // A "Count" beyond the highest key present walks nothing more.
    int copiedCount;
    int madeCount;
    RemovalGuards guards;
};

// Whether the folder holds anything but the uninstaller's own files and dot names.
bool HoldsForeignFiles(const char* folder);

// How a list entry reaches the walk: a path to act on, a path that did not fit (the text
// given is what fitted: never acted on), or a pattern the guards refuse to apply.
enum class Entry { Whole, Cut, Refused };

// Calls visit(path, Entry::Whole) for every non-folder match of each [Del] pattern whose
// long name really matches (the search also matches short 8.3 names), visit(pattern,
// Entry::Cut) for a pattern that does not fit a path, and visit(pattern,
// Entry::Refused) for one the guards do not apply.
template <typename Visit>
void ForEachPatternMatch(const RemovalPlan& plan, Visit visit);
// Recorded files, newest first: visit(path, Entry).
template <typename Visit>
void ForEachRecordedFile(const RemovalPlan& plan, Visit visit);
// [DirRemove] folders, expanded: visit(path, Entry).
template <typename Visit>
void ForEachRemoveFolder(const RemovalPlan& plan, Visit visit);
// Made folders, children first, entry 0 (the install folder) left out.
template <typename Visit>
void ForEachMadeFolder(const RemovalPlan& plan, Visit visit);

// ---- implementation of the templates ------------------------------------------
#include "base/handles.h"
#include "run/machine.h"
#include "uninstall/removal_rules.h"

// A value of a list as a path: false when it is too long to be one (it would be cut
// into the name of something else).
inline bool PathValue(const char* value, char* out) { return CopyBounded(out, kPathSize, value); }

// A lambda as the machine's visitor of a file search.
template <typename Call>
class FindCall : public FindVisitor {
public:
    explicit FindCall(Call& call) : call_(call) {}
    bool Found(const WIN32_FIND_DATAA& data) override { return call_(data); }

private:
    Call& call_;
};

// Each entry the pattern finds, on the run's machine; call returns false to stop.
template <typename Call>
void FindEach(const char* pattern, Call call) {
    FindCall<Call> visitor(call);
    M().FindFiles(pattern, visitor);
}

template <typename Visit>
void ForEachPatternMatch(const RemovalPlan& plan, Visit visit) {
    for (int k = 0;; ++k) {
        const char* pattern = plan.patterns.Get(k);
        if (!pattern) break;
        char expanded[kPathSize];
        if (!ExpandPath(pattern, plan.installFolder, expanded, false)) {
            visit(expanded, Entry::Cut);
            continue;
        }
        char folder[kPathSize];
        FolderPart(expanded, folder, sizeof folder);
        const char* name = expanded + strlen(folder);
        if (!plan.guards.MayApplyPattern(folder, name)) {
            visit(expanded, Entry::Refused);
            continue;
        }
        FindEach(expanded, [&](const WIN32_FIND_DATAA& found) {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;
            if (!MatchesPattern(found.cFileName, name)) return true;  // matched by its short name only
            char path[kPathSize];
            CopyBounded(path, sizeof path, folder);
            if (!AppendBounded(path, sizeof path, found.cFileName)) return true;  // never act on a cut path
            visit(path, Entry::Whole);
            return true;
        });
    }
}

// A record list's entries from its last counted one down to lowest, missing keys skipped.
template <typename Visit>
void ForEachRecordedPath(const SectionIndex& list, int count, int lowest, Visit visit) {
    for (int k = count - 1; k >= lowest; --k) {
        const char* value = list.Get(k);
        if (!value) continue;
        char path[kPathSize];
        visit(path, PathValue(value, path) ? Entry::Whole : Entry::Cut);
    }
}

template <typename Visit>
void ForEachRecordedFile(const RemovalPlan& plan, Visit visit) {
    ForEachRecordedPath(plan.copied, plan.copiedCount, 0, visit);
}

template <typename Visit>
void ForEachRemoveFolder(const RemovalPlan& plan, Visit visit) {
    for (int k = 1;; ++k) {
        const char* value = plan.removeFolders.Get(k);
        if (!value) break;
        char expanded[kPathSize];
        bool whole = ExpandPath(value, plan.installFolder, expanded, false);
        visit(expanded, whole ? Entry::Whole : Entry::Cut);
    }
}

template <typename Visit>
void ForEachMadeFolder(const RemovalPlan& plan, Visit visit) {
    ForEachRecordedPath(plan.made, plan.madeCount, 1, visit);
}
