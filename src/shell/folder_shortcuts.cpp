// Shortcuts in the user's Send To, desktop and startup folders.
#include "shell/shortcuts.h"
#include "base/text.h"
#include "run/machine.h"
#include "run/report.h"
#include "run/run_state.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/link_owner.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"

namespace {

bool HasEarlierRecord(const LinkOwnership& own) {
    return own.earlier().source() != CreatedFacts::Source::NoRecord;
}

// A box switched off in an install says what it removes; the uninstall needs no word.
bool SaysBoxOff(const LinkOwnership& own) { return HasEarlierRecord(own) && !UninstallRun(); }

void TellUnreadableFolder(const char* folderName) {
    char note[96];
    FormatBounded(note, sizeof note, "the %s folder cannot be read: nothing is done", folderName);
    TellNote(note);
}

}  // namespace

void SetSendToShortcuts(HWND, const char* scriptPath, bool make) {
    TellSection("Send To shortcuts");
    char sendTo[kPathSize];
    if (!ReadShellFolder("SendTo", sendTo)) {
        char first[kValueSize];
        if (ReadText("Send0", "Name", first, sizeof first, scriptPath)) TellUnreadableFolder("Send To");
        return;
    }
    LinkOwnership own(LinkStep::Send, Run().earlierRecord);
    if (!make) {
        // The earlier install's entries: its record says what it made.
        const char* record = own.earlier().path();
        if (SaysBoxOff(own)) TellNote("the Send To box is off: what the earlier install in this folder made is removed");
        if (HasEarlierRecord(own))
            ForEachNumberedSection(record, "Send%d", "Name", [&](int, const char* section, const char* name) {
                char linkPath[kPathSize];
                if (!BuildLinkPath(linkPath, sizeof linkPath, sendTo, name)) return true;
                own.Remove(section, linkPath);
                own.RemoveNameFolders(sendTo, name);
                return true;
            });
        RecordOptionRemoved("Send", scriptPath);
        own.Finish(scriptPath);
        return;
    }
    if (M().MakeFolder(sendTo)) {
        Tell(Outcome::Made, "make", sendTo);
    } else if (DWORD error = GetLastError(); !MachineHas(sendTo)) {
        Tell(Outcome::Failed, "fails", sendTo, "(the Send To folder could not be made: nothing is done)", error);
        return;
    }
    RecordOptionMade("Send", scriptPath);
    ForEachNumberedSection(scriptPath, "Send%d", "Name", [&](int, const char* section, const char* name) {
        char linkPath[kPathSize];
        if (!BuildLinkPath(linkPath, sizeof linkPath, sendTo, name)) {
            Tell(Outcome::Kept, "refused", name, "(an unusable name or a path over 259 bytes)");
            return true;
        }
        own.MakeNameFolders(sendTo, name);
        own.Make(section, linkPath, scriptPath);
        return true;
    });
    own.Finish(scriptPath);
}

void SetFolderShortcut(HWND, const char* scriptPath, bool make, const char* word) {
    const bool desktop = lstrcmpiA(word, "Desktop") == 0;
    TellSection(desktop ? "Desktop shortcut" : "Startup shortcut");
    char folder[kPathSize];
    char name[kValueSize];
    if (!ReadShellFolder(word, folder)) {
        if (ReadText(word, "Name", name, sizeof name, scriptPath)) TellUnreadableFolder(word);
        return;
    }
    if (!ReadText(word, "Name", name, sizeof name, scriptPath)) return;
    char linkPath[kPathSize];
    if (!BuildLinkPath(linkPath, sizeof linkPath, folder, name)) {
        Tell(Outcome::Kept, "refused", name, "(an unusable name or a path over 259 bytes)");
        return;
    }
    LinkOwnership own(desktop ? LinkStep::Desktop : LinkStep::Startup, Run().earlierRecord);
    if (!make) {
        WriteText("LastGo", word, "", scriptPath);
        RecordOptionRemoved(word, scriptPath);
        if (SaysBoxOff(own)) TellNote("the box is off: the shortcut the earlier install in this folder made is removed");
        // The link the earlier install made, where its record named it.
        char earlierName[kValueSize], earlierLink[kPathSize];
        if (HasEarlierRecord(own) && ReadText(word, "Name", earlierName, sizeof earlierName, own.earlier().path()) &&
            BuildLinkPath(earlierLink, sizeof earlierLink, folder, earlierName))
            own.Remove(word, earlierLink);
        own.Finish(scriptPath);
        return;
    }
    bool created = own.Make(word, linkPath, scriptPath);
    own.Finish(scriptPath);
    if (!created) return;
    WriteText("LastGo", word, linkPath, scriptPath);
    RecordOptionMade(word, scriptPath);
}
