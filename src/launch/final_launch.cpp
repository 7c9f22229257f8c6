// The final launch: the [LastGo] shortcuts opened at the end of an install.
#include "launch/launch.h"
#include <shellapi.h>
#include "app/run_state.h"
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shell_folders.h"
#include "shell/shortcut_text.h"
#include "uninstall/removal.h"

namespace {

void Open(const char* path) { ShellExecuteA(GetDesktopWindow(), nullptr, path, nullptr, nullptr, SW_SHOW); }

// Whether name is that of a [MenuN] shortcut of the script: only links the install
// itself made in the Start-menu folder are thrown away after their one start.
bool IsMenuShortcutName(const char* script, const char* name) {
    if (!IsUsableLinkName(name)) return false;
    bool found = false;
    ForEachNumberedSection(script, "Menu%d", "Name", [&](int, const char*, const char* menuName) {
        found = lstrcmpiA(menuName, name) == 0;
        return !found;
    });
    return found;
}

// Whether path is the shortcut that [word] describes in the special folder of that
// name, the one the install made and recorded there.
bool IsRecordedFolderShortcut(const char* script, const char* word, const char* path) {
    char folder[kPathSize], name[kValueSize], linkPath[kPathSize];
    return ReadShellFolder(word, folder) && ReadText(word, "Name", name, sizeof name, script) &&
           BuildLinkPath(linkPath, sizeof linkPath, folder, name) && lstrcmpiA(linkPath, path) == 0;
}

// The startup or desktop shortcut recorded in [LastGo] word, when [LastGo] wordAndGo asks.
void OpenFolderShortcut(const char* script, const char* word) {
    char key[32];
    FormatBounded(key, sizeof key, "%sAndGo", word);
    if (ReadNumber("LastGo", key, 0, script) == 0) return;
    char path[kPathSize];
    DWORD length = ReadText("LastGo", word, path, sizeof path, script);
    if (length == 0 || length >= kPathSize - 1) return;  // a value that fills the buffer may have been cut
    Open(path);
    if (LastComponent(path)[0] == '$' && IsRecordedFolderShortcut(script, word, path) && PathExists(path))
        ShellDeleteFile(path);
}

}  // namespace

void FinalLaunch() {
    const char* script = Script();
    char named[kPathSize], name[kValueSize];
    if (!ReadText("Menu", "Named", named, sizeof named, script) && !ReadText("Menu", "Name", name, sizeof name, script))
        return;
    char startMenu[kPathSize], programs[kPathSize];
    FindStartMenuFolder(script, startMenu, programs);
    if (!programs[0] || !startMenu[0]) return;
    bool anyEntry = false;
    ForEachNumberedKey(script, "LastGo", 0, [&](int, const char* entry) {
        anyEntry = true;
        char link[kPathSize];
        CopyBounded(link, sizeof link, startMenu);
        if (!JoinPath(link, entry) || !AppendBounded(link, sizeof link, ".lnk")) return true;  // a cut path is another file
        Open(link);
        if (entry[0] == '$' && IsMenuShortcutName(script, entry) && PathExists(link)) ShellDeleteFile(link);
        return true;
    });
    // Empty once its one-time shortcuts are gone; the Programs folder itself always stays.
    if (anyEntry && !SameFolder(startMenu, programs)) RemoveDirectoryA(startMenu);
    OpenFolderShortcut(script, "Startup");
    OpenFolderShortcut(script, "Desktop");
}
