// The product's Start-menu folder and its shortcuts [Menu0], [Menu1], ...
#include "shell/shortcuts.h"
#include <shellapi.h>
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"
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

bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder may sit on a drive or share that is slow to answer; give it about three seconds.
bool MakeMenuFolder(const char* folder) {
    for (int attempt = 1;; ++attempt) {
        if (CreateDirectoryA(folder, nullptr) || IsFolder(folder)) return true;
        if (attempt == kMakeAttempts) return false;
        Sleep(kRetryWait);
    }
}

// Removes the Start-menu folder when it is empty. When it is the Programs folder
// itself (no product folder named), it is never removed: the install did not make it.
bool RemoveMenuFolder(const MenuFolders& folders) {
    if (SameFolder(folders.startMenu, folders.programs)) return false;
    return RemoveDirectoryA(folders.startMenu) != FALSE;
}

void MakeMenuShortcuts(HWND owner, const char* script, const MenuFolders& folders) {
    if (!MakeMenuFolder(folders.startMenu)) {
        MessageBoxA(owner, folders.startMenu, Msg("Could not make menu.", "メニューを作成できませんでした"),
                    MB_OK | MB_ICONWARNING);
        return;
    }
    RecordOptionMade("Menu", script);
    ForEachNumberedSection(script, "Menu%d", "Name", [&](int, const char* section, const char* name) {
        char linkPath[kPathSize];
        if (!MenuLinkPath(folders, name, linkPath)) return true;  // unusable or too long: skipped
        if (!BesideProductFolder(name)) MakeLinkFolders(folders.startMenu, name);
        WriteShortcut(section, linkPath, script, false);
        return true;
    });
    // Removing succeeds only when nothing was placed in the folder.
    if (!RemoveMenuFolder(folders) && ReadNumber("Menu", "Open", 0, script) != 0)
        ShellExecuteA(nullptr, "open", folders.startMenu, nullptr, folders.startMenu, SW_SHOWNORMAL);
}

// Deletes the links of every [MenuN] entry of the script or record; with
// nestedFolders also the folders their names made, as far as they are empty.
void DeleteMenuShortcuts(const char* script, const MenuFolders& folders, bool nestedFolders) {
    ForEachNumberedSection(script, "Menu%d", "Name", [&](int, const char*, const char* name) {
        char linkPath[kPathSize];
        if (!MenuLinkPath(folders, name, linkPath)) return true;
        DeleteLinkFile(linkPath);
        if (nestedFolders && !BesideProductFolder(name)) RemoveLinkFolders(folders.startMenu, name);
        return true;
    });
    RemoveMenuFolder(folders);
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
    } else {
        DeleteMenuShortcuts(scriptPath, folders, true);
        RecordOptionRemoved("Menu", scriptPath);
    }
}

void RemoveStartMenuShortcuts(const char* recordPath) {
    MenuFolders folders;
    FindStartMenuFolder(recordPath, folders.startMenu, folders.programs);
    if (folders.startMenu[0]) DeleteMenuShortcuts(recordPath, folders, false);
}
