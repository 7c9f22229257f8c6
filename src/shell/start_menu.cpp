// The product's Start-menu folder and its shortcuts [Menu0], [Menu1], ...
#include "shell/shortcuts.h"
#include <shellapi.h>
#include "run/run_state.h"
#include "base/text.h"
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
bool MakeMenuFolder(LinkOwnership& own, const char* folder) {
    for (int attempt = 1;; ++attempt) {
        if (own.MakeFolder(folder)) return true;
        if (attempt == kMakeAttempts) return false;
        Sleep(kRetryWait);
    }
}

// Removes the Start-menu folder when it is empty and the product made it. The Programs
// folder itself (no product folder named) is never removed.
bool RemoveMenuFolder(LinkOwnership& own, const MenuFolders& folders) {
    if (SameFolder(folders.startMenu, folders.programs)) return false;
    return own.RemoveFolder(folders.startMenu);
}

void MakeMenuShortcuts(HWND owner, const char* script, const MenuFolders& folders) {
    LinkOwnership own(LinkStep::Menu, Run().earlierRecord);
    if (!MakeMenuFolder(own, folders.startMenu)) {
        MessageBoxA(owner, folders.startMenu, Msg("Could not make menu.", "メニューを作成できませんでした"),
                    MB_OK | MB_ICONWARNING);
        own.Finish(owner, script);
        return;
    }
    RecordOptionMade("Menu", script);
    ForEachNumberedSection(script, "Menu%d", "Name", [&](int, const char* section, const char* name) {
        char linkPath[kPathSize];
        if (!MenuLinkPath(folders, name, linkPath)) return true;  // unusable or too long: skipped
        if (!BesideProductFolder(name)) own.MakeNameFolders(folders.startMenu, name);
        own.Make(section, linkPath, script);
        return true;
    });
    // Removing succeeds only when nothing was placed in the folder.
    bool removed = RemoveMenuFolder(own, folders);
    own.Finish(owner, script);
    if (!removed && ReadNumber("Menu", "Open", 0, script) != 0)
        ShellExecuteA(nullptr, "open", folders.startMenu, nullptr, folders.startMenu, SW_SHOWNORMAL);
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
    RemoveMenuFolder(own, folders);
}

}  // namespace

bool StartMenuLinkPath(const char* startMenu, const char* programs, const char* name, char* linkPath) {
    if (BesideProductFolder(name)) return programs[0] && BuildLinkPath(linkPath, kPathSize, programs, name);
    return BuildLinkPath(linkPath, kPathSize, startMenu, name);
}

void SetStartMenuShortcuts(HWND owner, const char* scriptPath, bool make) {
    MenuFolders folders;
    FindStartMenuFolder(scriptPath, folders.startMenu, folders.programs);
    if (!folders.startMenu[0]) return;
    if (make) {
        MakeMenuShortcuts(owner, scriptPath, folders);
        return;
    }
    // What the earlier install made, where its record put it.
    LinkOwnership own(LinkStep::Menu, Run().earlierRecord);
    if (own.earlier().source() != CreatedFacts::Source::NoRecord) {
        MenuFolders earlier;
        FindStartMenuFolder(own.earlier().path(), earlier.startMenu, earlier.programs);
        if (earlier.startMenu[0]) DeleteMenuShortcuts(own, own.earlier().path(), earlier, true);
    }
    RecordOptionRemoved("Menu", scriptPath);
    own.Finish(owner, scriptPath);
}

void RemoveStartMenuShortcuts(const char* recordPath) {
    LinkOwnership own(LinkStep::Menu, recordPath);
    if (own.earlier().source() == CreatedFacts::Source::NoRecord) return;
    MenuFolders folders;
    FindStartMenuFolder(recordPath, folders.startMenu, folders.programs);
    if (folders.startMenu[0]) DeleteMenuShortcuts(own, recordPath, folders, false);
}
