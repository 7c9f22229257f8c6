// The final launch: the [LastGo] shortcuts opened at the end of an install.
#include "launch/launch.h"
#include "base/text.h"
#include "run/machine.h"
#include "run/report.h"
#include "run/run_state.h"
#include "script/created.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/link_owner.h"
#include "shell/shell_folders.h"
#include "shell/shortcut_text.h"
#include "uninstall/removal_plan.h"

namespace {

// Opens path as the shell would on a double click; whether it was there before is told.
bool Open(const char* path) {
    bool there = MachineHas(path);
    M().Open(GetDesktopWindow(), nullptr, path, nullptr, SW_SHOW);
    return there;
}

// A one-time shortcut goes to the recycle bin after its start (never a folder).
void ThrowAway(const char* path) {
    if (!MachineHasFolder(path)) M().Recycle(path);
}

void TellOpened(const char* path, bool there, bool thrownAway) {
    Tell(Outcome::Told, "open", path, thrownAway ? "(then deleted)" : there ? "" : "(not there: nothing opens)");
}

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
    return facts.MayOwn(LinkFactKind(step), path) && MachineHas(path) &&
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
    const bool desktop = lstrcmpiA(word, "Desktop") == 0;
    char path[kPathSize];
    DWORD length = ReadText("LastGo", word, path, sizeof path, script);
    if (length == 0) {
        TellNote(desktop ? "no desktop shortcut is made: none is opened" : "no startup shortcut is made: none is opened");
        return;
    }
    if (length >= kPathSize - 1) {  // a value that fills the buffer may have been cut
        Tell(Outcome::Told, "nothing", path, "(the recorded path may have been cut: not opened)");
        return;
    }
    bool there = Open(path);
    bool thrownAway = false;
    if (LastComponent(path)[0] == '$' && IsRecordedFolderShortcut(script, word, path)) {
        CreatedFacts facts(script);
        thrownAway = MadeHere(facts, desktop ? LinkStep::Desktop : LinkStep::Startup, word, path);
        if (thrownAway) ThrowAway(path);
    }
    TellOpened(path, there, thrownAway);
}

// Whether [LastGo] asks for anything to be opened.
bool AnythingAsked(const char* script) {
    char first[kValueSize];
    return ReadText("LastGo", "0", first, sizeof first, script) || ReadNumber("LastGo", "StartupAndGo", 0, script) ||
           ReadNumber("LastGo", "DesktopAndGo", 0, script);
}

}  // namespace

void FinalLaunch() {
    const char* script = Script();
    TellSection("Final launch ([LastGo])");
    char named[kPathSize], name[kValueSize];
    char startMenu[kPathSize], programs[kPathSize];
    bool menuFolder = ReadText("Menu", "Named", named, sizeof named, script) || ReadText("Menu", "Name", name, sizeof name, script);
    if (menuFolder) {
        FindStartMenuFolder(script, startMenu, programs);
        menuFolder = programs[0] && startMenu[0];
    }
    // Without a Start-menu folder nothing is opened, the startup and desktop shortcuts neither.
    if (!menuFolder) {
        if (AnythingAsked(script)) TellNote("no Start-menu folder ([Menu] \"Name\"): nothing is opened");
        return;
    }
    CreatedFacts facts(script);
    bool anyEntry = false;
    ForEachNumberedKey(script, "LastGo", 0, [&](int, const char* entry) {
        anyEntry = true;
        char link[kPathSize], section[64];
        CopyBounded(link, sizeof link, startMenu);
        if (!JoinPath(link, entry) || !AppendBounded(link, sizeof link, ".lnk")) {  // a cut path is another file
            Tell(Outcome::Told, "nothing", entry, "(the shortcut's path does not fit: not opened)");
            return true;
        }
        bool there = Open(link);
        bool thrownAway =
            entry[0] == '$' && FindMenuEntry(script, entry, section) && MadeHere(facts, LinkStep::Menu, section, link);
        if (thrownAway) ThrowAway(link);
        TellOpened(link, there, thrownAway);
        return true;
    });
    // Empty once its one-time shortcuts are gone, when the install made it; never the
    // Programs folder itself nor another shell folder.
    if (anyEntry && !SameFolder(startMenu, programs) && facts.MayOwn(FolderFactKind(LinkStep::Menu), startMenu) &&
        RemovalGuards(script, nullptr).MayRemoveFolder(startMenu) && M().RemoveFolder(startMenu))
        Tell(Outcome::Removed, "remove-folder", startMenu, "(left empty)");
    OpenFolderShortcut(script, "Startup");
    OpenFolderShortcut(script, "Desktop");
}
