// The product's Start-menu folder and its shortcuts [Menu0], [Menu1], ...
#include "shell/shortcuts.h"
#include "base/text.h"
#include "run/channel.h"
#include "run/machine.h"
#include "run/report.h"
#include "run/run_state.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/link_owner.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"

namespace {

constexpr int kMakeAttempts = 7;
constexpr DWORD kRetryWait = 500;

struct MenuFolders {
    char startMenu[kPathSize];
    char programs[kPathSize];
};

// A name starting with a backslash places its link beside the product's folder.
bool BesideProductFolder(const char* name) { return name[0] == '\\'; }

bool MenuLinkPath(const MenuFolders& folders, const char* name, char* linkPath) {
    return StartMenuLinkPath(folders.startMenu, folders.programs, name, linkPath);
}

// The folder may sit on a drive or share that is slow to answer; give it about three seconds.
bool MakeMenuFolder(LinkOwnership& own, const char* folder, DWORD* error) {
    for (int attempt = 1;; ++attempt) {
        if (own.MakeFolder(folder, error)) return true;
        if (attempt == kMakeAttempts) return false;
        M().Pause(kRetryWait);
    }
}

// Removes the Start-menu folder when it is empty and the product made it. The Programs
// folder itself (no product folder named) is never removed.
bool RemoveMenuFolder(LinkOwnership& own, const MenuFolders& folders, const char* why, bool tellStays) {
    if (SameFolder(folders.startMenu, folders.programs)) return false;
    return own.RemoveFolder(folders.startMenu, why, tellStays);
}

void MakeMenuShortcuts(const char* script, const MenuFolders& folders) {
    LinkOwnership own(LinkStep::Menu, Run().earlierRecord);
    DWORD error = 0;
    if (!MakeMenuFolder(own, folders.startMenu, &error)) {
        Tell(Outcome::Failed, "fails", folders.startMenu,
             "(the Start-menu folder could not be made: no shortcut is made, and \"Could not make menu.\" is shown)",
             error);
        Ask(Message{Message::Warning, Msg("Could not make menu.", "メニューを作成できませんでした"), folders.startMenu});
        own.Finish(script);
        return;
    }
    RecordOptionMade("Menu", script);
    bool any = false;
    ForEachNumberedSection(script, "Menu%d", "Name", [&](int, const char* section, const char* name) {
        any = true;
        char linkPath[kPathSize];
        if (!MenuLinkPath(folders, name, linkPath)) {
            Tell(Outcome::Kept, "refused", name, "(an unusable name or a path over 259 bytes)");
            return true;
        }
        if (!BesideProductFolder(name)) own.MakeNameFolders(folders.startMenu, name);
        own.Make(section, linkPath, script);
        return true;
    });
    if (!any) TellNote("no [Menu0] \"Name\": no shortcut is made");
    // Removing succeeds only when nothing was placed in the folder.
    bool removed = RemoveMenuFolder(own, folders, "(left empty)", false);
    own.Finish(script);
    if (!removed && ReadNumber("Menu", "Open", 0, script) != 0) {
        M().Open(nullptr, "open", folders.startMenu, folders.startMenu, SW_SHOWNORMAL);
        Tell(Outcome::Told, "open", folders.startMenu, "([Menu] \"Open\": the folder is shown)");
    }
}

// Deletes the links of the record's [MenuN] entries that the product made and nobody
// changed since; with nestedFolders also the folders their names made, as far as they
// are empty and the product's.
void DeleteMenuShortcuts(LinkOwnership& own, const char* record, const MenuFolders& folders, bool nestedFolders) {
    ForEachNumberedSection(record, "Menu%d", "Name", [&](int, const char* section, const char* name) {
        char linkPath[kPathSize];
        if (!MenuLinkPath(folders, name, linkPath)) return true;
        own.Remove(section, linkPath);
        if (nestedFolders && !BesideProductFolder(name)) own.RemoveNameFolders(folders.startMenu, name);
        return true;
    });
    RemoveMenuFolder(own, folders, "(the Start-menu folder)", true);
}

}  // namespace

bool StartMenuLinkPath(const char* startMenu, const char* programs, const char* name, char* linkPath) {
    if (BesideProductFolder(name)) return programs[0] && BuildLinkPath(linkPath, kPathSize, programs, name);
    return BuildLinkPath(linkPath, kPathSize, startMenu, name);
}

void SetStartMenuShortcuts(HWND, const char* scriptPath, bool make) {
    TellSection("Start-menu shortcuts");
    MenuFolders folders;
    FindStartMenuFolder(scriptPath, folders.startMenu, folders.programs);
    if (!folders.startMenu[0]) {
        TellNote("no Start-menu folder (the Programs folder cannot be read, or the path does not fit): nothing is done");
        return;
    }
    if (make) {
        MakeMenuShortcuts(scriptPath, folders);
        return;
    }
    // What the earlier install made, where its record put it.
    LinkOwnership own(LinkStep::Menu, Run().earlierRecord);
    if (own.earlier().source() != CreatedFacts::Source::NoRecord) {
        TellNote("the Start-menu box is off: what the earlier install in this folder made is removed");
        MenuFolders earlier;
        FindStartMenuFolder(own.earlier().path(), earlier.startMenu, earlier.programs);
        if (earlier.startMenu[0]) DeleteMenuShortcuts(own, own.earlier().path(), earlier, true);
    }
    RecordOptionRemoved("Menu", scriptPath);
    own.Finish(scriptPath);
}

void RemoveStartMenuShortcuts(const char* recordPath) {
    LinkOwnership own(LinkStep::Menu, recordPath);
    if (own.earlier().source() == CreatedFacts::Source::NoRecord) return;
    // The uninstall removes its own; an install first removes those of the install
    // already in the chosen folder.
    TellSection(UninstallRun() ? "Start-menu shortcuts" : "Earlier Start-menu shortcuts");
    MenuFolders folders;
    FindStartMenuFolder(recordPath, folders.startMenu, folders.programs);
    if (folders.startMenu[0])
        DeleteMenuShortcuts(own, recordPath, folders, false);
    else
        TellNote("no Start-menu folder: nothing is removed");
}
