// Shortcuts in the user's Send To, desktop and startup folders.
#include "shell/shortcuts.h"
#include "run/run_state.h"
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/link_owner.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"

namespace {

bool HasEarlierRecord(const LinkOwnership& own) {
    return own.earlier().source() != CreatedFacts::Source::NoRecord;
}

}  // namespace

void SetSendToShortcuts(HWND owner, const char* scriptPath, bool make) {
    char sendTo[kPathSize];
    if (!ReadShellFolder("SendTo", sendTo)) return;
    LinkOwnership own(LinkStep::Send, Run().earlierRecord);
    if (!make) {
        // The earlier install's entries: its record says what it made.
        const char* record = own.earlier().path();
        if (HasEarlierRecord(own))
            ForEachNumberedSection(record, "Send%d", "Name", [&](int, const char* section, const char* name) {
                char linkPath[kPathSize];
                if (!BuildLinkPath(linkPath, sizeof linkPath, sendTo, name)) return true;
                own.Remove(section, linkPath);
                own.RemoveNameFolders(sendTo, name);
                return true;
            });
        RecordOptionRemoved("Send", scriptPath);
        own.Finish(owner, scriptPath);
        return;
    }
    if (!CreateDirectoryA(sendTo, nullptr) && !PathExists(sendTo)) return;
    RecordOptionMade("Send", scriptPath);
    ForEachNumberedSection(scriptPath, "Send%d", "Name", [&](int, const char* section, const char* name) {
        char linkPath[kPathSize];
        if (!BuildLinkPath(linkPath, sizeof linkPath, sendTo, name)) return true;
        own.MakeNameFolders(sendTo, name);
        own.Make(section, linkPath, scriptPath);
        return true;
    });
    own.Finish(owner, scriptPath);
}

void SetFolderShortcut(HWND owner, const char* scriptPath, bool make, const char* word) {
    char folder[kPathSize];
    if (!ReadShellFolder(word, folder)) return;
    char name[kValueSize];
    if (!ReadText(word, "Name", name, sizeof name, scriptPath)) return;
    char linkPath[kPathSize];
    if (!BuildLinkPath(linkPath, sizeof linkPath, folder, name)) return;
    LinkOwnership own(lstrcmpiA(word, "Desktop") == 0 ? LinkStep::Desktop : LinkStep::Startup, Run().earlierRecord);
    if (!make) {
        WriteText("LastGo", word, "", scriptPath);
        RecordOptionRemoved(word, scriptPath);
        // The link the earlier install made, where its record named it.
        char earlierName[kValueSize], earlierLink[kPathSize];
        if (HasEarlierRecord(own) && ReadText(word, "Name", earlierName, sizeof earlierName, own.earlier().path()) &&
            BuildLinkPath(earlierLink, sizeof earlierLink, folder, earlierName))
            own.Remove(word, earlierLink);
        own.Finish(owner, scriptPath);
        return;
    }
    bool created = own.Make(word, linkPath, scriptPath);
    own.Finish(owner, scriptPath);
    if (!created) return;
    WriteText("LastGo", word, linkPath, scriptPath);
    RecordOptionMade(word, scriptPath);
}
