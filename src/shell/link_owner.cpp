#include "shell/link_owner.h"
#include <string.h>
#include "base/handles.h"
#include "base/text.h"
#include "run/channel.h"
#include "run/machine.h"
#include "run/report.h"
#include "run/run_state.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shell_folders.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"

namespace {

struct StepInfo {
    const char* linkKind;
    const char* folderKind;  // null: the step makes no folders
    const char* checkKey;
    bool hotkey;
};

const StepInfo& Info(LinkStep step) {
    static const StepInfo kSteps[] = {
        {"MenuLink", "MenuFolder", "Menu", false},
        {"DesktopLink", nullptr, "Desktop", true},
        {"StartupLink", nullptr, "Startup", true},
        {"SendLink", "SendFolder", "Send", false},
    };
    return kSteps[(int)step];
}

// Calls visit(section, linkPath) for every entry of the record with a usable link path,
// placed as the step places it; visit returns false to stop.
template <typename Visit>
void ForEachRecordLink(LinkStep step, const char* record, Visit visit) {
    char folder[kPathSize], programs[kPathSize], linkPath[kPathSize];
    if (step == LinkStep::Menu) {
        FindStartMenuFolder(record, folder, programs);
        if (!folder[0]) return;
        ForEachNumberedSection(record, "Menu%d", "Name", [&](int, const char* section, const char* name) {
            return !StartMenuLinkPath(folder, programs, name, linkPath) || visit(section, linkPath);
        });
    } else if (step == LinkStep::Send) {
        if (!ReadShellFolder("SendTo", folder)) return;
        ForEachNumberedSection(record, "Send%d", "Name", [&](int, const char* section, const char* name) {
            return !BuildLinkPath(linkPath, sizeof linkPath, folder, name) || visit(section, linkPath);
        });
    } else {
        const char* word = Info(step).checkKey;
        char name[kValueSize];
        if (ReadShellFolder(word, folder) && ReadText(word, "Name", name, sizeof name, record) &&
            BuildLinkPath(linkPath, sizeof linkPath, folder, name))
            visit(word, linkPath);
    }
}

bool ContainsPath(const GrowableText& list, const char* path) {
    for (const char* p = list.data(); p && *p; p += strlen(p) + 1)
        if (lstrcmpiA(p, path) == 0) return true;
    return false;
}

}  // namespace

const char* LinkFactKind(LinkStep step) { return Info(step).linkKind; }
const char* FolderFactKind(LinkStep step) { return Info(step).folderKind; }

bool MachineHas(const char* path) { return M().Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool MachineHasFolder(const char* path) {
    DWORD attributes = M().Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool UninstallRun() { return lstrcmpiA(Run().earlierRecord, Script()) == 0; }

bool LinkHoldsEntry(const char* linkPath, const char* section, const char* record, bool hotkeyAllowed) {
    ShortcutFields written;
    if (!ReadLinkEntry(section, linkPath, record, hotkeyAllowed, &written)) return false;
    // The target compared as a link stores it: the same setter the making used, read
    // back, so that the comparison sees what the shell made of the path.
    char target[kPathSize], expected[kPathSize];
    HeapBuffer arguments(kLongValueSize);
    if (!arguments || !M().ReadLink(linkPath, target, sizeof target, arguments.data(), kLongValueSize) ||
        !M().StoredLinkTarget(written.target, expected, sizeof expected))
        return false;
    return lstrcmpiA(target, expected) == 0 && strcmp(arguments.data(), written.arguments) == 0;
}

LinkOwnership::LinkOwnership(LinkStep step, const char* earlierRecord)
    : step_(step),
      earlier_(earlierRecord),
      earlierCheck_(earlier_.source() == CreatedFacts::Source::NoRecord
                        ? 0
                        : ReadNumber("Check", Info(step).checkKey, 0, earlier_.path())),
      links_(Info(step).linkKind),
      guards_(Script(), nullptr) {}

const char* LinkOwnership::folderKind() const { return Info(step_).folderKind; }

bool LinkOwnership::FindEarlierEntry(const char* linkPath, char* section) {
    // Read once: a version-up may meet many links that are there already.
    if (!earlierEntriesRead_) {
        earlierEntriesRead_ = true;
        ForEachRecordLink(step_, earlier_.path(), [&](const char* entry, const char* path) {
            return earlierEntries_.Append(entry, strlen(entry) + 1) && earlierEntries_.Append(path, strlen(path) + 1);
        });
    }
    for (const char* entry = earlierEntries_.data(); entry && *entry;) {
        const char* path = entry + strlen(entry) + 1;
        if (lstrcmpiA(path, linkPath) == 0) return CopyBounded(section, kSectionSize, entry);
        entry = path + strlen(path) + 1;
    }
    return false;
}

bool LinkOwnership::EarlierMadeLink(const char* section, const char* linkPath, bool removing) const {
    const StepInfo& info = Info(step_);
    switch (earlier_.source()) {
    case CreatedFacts::Source::NoRecord: return false;
    case CreatedFacts::Source::Facts:
        if (!earlier_.Holds(info.linkKind, linkPath)) return false;
        break;
    case CreatedFacts::Source::Older:
        if (removing && earlierCheck_ <= 1) return false;
        break;
    }
    return LinkHoldsEntry(linkPath, section, earlier_.path(), info.hotkey);
}

bool LinkOwnership::EarlierMadeFolder(const char* folder, bool removing) const {
    const char* kind = folderKind();
    if (!kind) return false;
    switch (earlier_.source()) {
    case CreatedFacts::Source::NoRecord: return false;
    case CreatedFacts::Source::Facts: return earlier_.Holds(kind, folder);
    case CreatedFacts::Source::Older: return removing || earlierCheck_ > 1;
    }
    return false;
}

bool LinkOwnership::Make(const char* section, const char* linkPath, const char* script) {
    const bool there = MachineHas(linkPath);
    if (there) {
        char earlierSection[kSectionSize];
        if (!FindEarlierEntry(linkPath, earlierSection) || !EarlierMadeLink(earlierSection, linkPath, false)) {
            if (refused_.size()) refused_.Append("\n", 1);
            refused_.Append(linkPath, strlen(linkPath));
            Tell(Outcome::Kept, "keep", linkPath,
                 "(another program's shortcut, or one changed since: it stays, and the warning lists it)");
            return false;
        }
    }
    ShortcutFields f;
    if (!ReadLinkEntry(section, linkPath, script, Info(step_).hotkey, &f)) {
        Tell(Outcome::Kept, "refused", linkPath, "(a value does not fit once expanded: not made)");
        return false;
    }
    if (!SaveShortcut(linkPath, f)) {
        Tell(Outcome::Failed, "fails", linkPath, "(no shell link object could be made)");
        return false;
    }
    char detail[3 * kPathSize + kLongValueSize + 96];
    DescribeShortcut(f, detail, sizeof detail);
    if (MachineHas(linkPath)) {
        links_.Add(linkPath);
        Tell(there ? Outcome::Replaced : Outcome::Made, there ? "replace" : "new", linkPath, detail);
    } else {
        AppendBounded(detail, sizeof detail, "  (not saved: its folder is not there)");
        Tell(Outcome::Failed, "fails", linkPath, detail);
    }
    return true;
}

void LinkOwnership::Remove(const char* section, const char* linkPath) {
    if (!EarlierMadeLink(section, linkPath, true)) {
        if (MachineHas(linkPath))
            Tell(Outcome::Kept, "keep", linkPath, "(the earlier install did not make it, or it was changed since: it stays)");
        return;
    }
    DWORD error = DeleteLinkFile(linkPath);
    if (MachineHas(linkPath)) {
        links_.Add(linkPath);
        Tell(Outcome::Failed, "fails", linkPath, "(could not be deleted: it stays recorded)", error);
    } else {
        Tell(Outcome::Removed, "remove", linkPath);
    }
}

void LinkOwnership::KeepFolder(const char* folder) {
    if (!ContainsPath(folders_, folder)) folders_.Append(folder, strlen(folder) + 1);
}

void LinkOwnership::DropFolder(const char* folder) {
    GrowableText kept;
    for (const char* p = folders_.data(); p && *p; p += strlen(p) + 1)
        if (lstrcmpiA(p, folder) != 0) kept.Append(p, strlen(p) + 1);
    folders_.Release();
    for (const char* p = kept.data(); p && *p; p += strlen(p) + 1) folders_.Append(p, strlen(p) + 1);
}

bool LinkOwnership::MakeFolder(const char* folder, DWORD* error) {
    if (M().MakeFolder(folder)) {
        KeepFolder(folder);
        Tell(Outcome::Made, "make", folder);
        return true;
    }
    DWORD failure = GetLastError();
    if (!MachineHasFolder(folder)) {
        if (error) *error = failure;
        return false;
    }
    if (EarlierMadeFolder(folder, false)) KeepFolder(folder);
    return true;
}

void LinkOwnership::MakeNameFolders(const char* base, const char* name) {
    int depth = LinkFolderDepth(name);
    for (int parts = 1; parts <= depth; ++parts) {
        char folder[kPathSize];
        DWORD error = 0;
        if (!JoinNameParts(folder, sizeof folder, base, name, parts)) return;
        if (!MakeFolder(folder, &error)) {
            Tell(Outcome::Failed, "fails", folder, "(the folder could not be made)", error);
            return;
        }
    }
}

bool LinkOwnership::RemoveFolder(const char* folder, const char* why, bool tellStays) {
    bool madeNow = ContainsPath(folders_, folder);
    if (!madeNow && !EarlierMadeFolder(folder, true)) {
        if (tellStays && MachineHasFolder(folder)) Tell(Outcome::Kept, "stays", folder, "(not made by this product)");
        return false;
    }
    if (!guards_.MayRemoveFolder(folder)) {
        if (tellStays && MachineHasFolder(folder))
            Tell(Outcome::Kept, "stays", folder, "(a drive root, a system or a shell folder: never removed)");
    } else if (M().RemoveFolder(folder)) {
        DropFolder(folder);
        Tell(Outcome::Removed, "remove-folder", folder, why);
        return true;
    } else if (tellStays && MachineHasFolder(folder)) {
        Tell(Outcome::Kept, "stays", folder, "(not empty)");
    }
    if (MachineHasFolder(folder) && (madeNow || EarlierMadeFolder(folder, false))) KeepFolder(folder);
    return false;
}

void LinkOwnership::RemoveNameFolders(const char* base, const char* name) {
    for (int parts = LinkFolderDepth(name); parts >= 1; --parts) {
        char folder[kPathSize];
        if (JoinNameParts(folder, sizeof folder, base, name, parts)) RemoveFolder(folder);
    }
}

void LinkOwnership::Finish(const char* script) {
    links_.Write(script);
    if (const char* kind = folderKind()) {
        CreatedList folders(kind);
        for (const char* p = folders_.data(); p && *p; p += strlen(p) + 1) folders.Add(p);
        folders.Write(script);
    }
    if (!refused_.size()) return;
    const char* header = Msg("These shortcuts belong to another program and were left as they are:\n\n",
                             "次のショートカットは他のプログラムのものなので，そのままにしました．\n\n");
    GrowableText text;
    if (!text.Append(header, strlen(header)) || !text.Append(refused_.data(), refused_.size())) return;
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, script);
    Ask(Message{Message::Warning, caption, text.data()});
}
