// The final launch: the [LastGo] shortcuts opened at the end of an install.
#include "launch/launch.h"
#include <shellapi.h>
#include "run/run_state.h"
#include "base/text.h"
#include "script/created.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/link_owner.h"
#include "shell/shell_folders.h"
#include "shell/shortcut_text.h"
#include "uninstall/removal.h"
#include "uninstall/removal_plan.h"

namespace {

void Open(const char* path) { ShellExecuteA(GetDesktopWindow(), nullptr, path, nullptr, nullptr, SW_SHOW); }

// The [MenuN] entry of the script named name (section: 64 bytes); false when none is.
bool FindMenuEntry(const char* script, const char* name, char* section) {
    if (!IsUsableLinkName(name)) return false;
    bool found = false;
    ForEachNumberedSection(script, "Menu%d", "Name", [&](int, const char* entry, const char* menuName) {
        found = lstrcmpiA(menuName, name) == 0;
        if (found) CopyBounded(section, 64, entry);
        return !found;
    });
    return found;
}

// Whether this install made the link from the entry and it still holds what was written:
// only such a link is thrown away after its one start.
bool MadeHere(const CreatedFacts& facts, LinkStep step, const char* section, const char* path) {
    return facts.MayOwn(LinkFactKind(step), path) && PathExists(path) &&
           LinkHoldsEntry(path, section, facts.path(), step != LinkStep::Menu);
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
    if (LastComponent(path)[0] != '$' || !IsRecordedFolderShortcut(script, word, path)) return;
    CreatedFacts facts(script);
    if (MadeHere(facts, lstrcmpiA(word, "Desktop") == 0 ? LinkStep::Desktop : LinkStep::Startup, word, path))
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
    CreatedFacts facts(script);
    bool anyEntry = false;
    ForEachNumberedKey(script, "LastGo", 0, [&](int, const char* entry) {
        anyEntry = true;
        char link[kPathSize], section[64];
        CopyBounded(link, sizeof link, startMenu);
        if (!JoinPath(link, entry) || !AppendBounded(link, sizeof link, ".lnk")) return true;  // a cut path is another file
        Open(link);
        if (entry[0] == '$' && FindMenuEntry(script, entry, section) && MadeHere(facts, LinkStep::Menu, section, link))
            ShellDeleteFile(link);
        return true;
    });
    // Empty once its one-time shortcuts are gone, when the install made it; never the
    // Programs folder itself nor another shell folder.
    if (anyEntry && !SameFolder(startMenu, programs) && facts.MayOwn(FolderFactKind(LinkStep::Menu), startMenu) &&
        RemovalGuards(script, nullptr).MayRemoveFolder(startMenu))
        RemoveDirectoryA(startMenu);
    OpenFolderShortcut(script, "Startup");
    OpenFolderShortcut(script, "Desktop");
}
