// The plan of an install: every step of the install run in its order, each predicted
// from the same readers and path rules the step itself uses.
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "base/handles.h"
#include "base/text.h"
#include "install/copy.h"
#include "install/copy_entry.h"
#include "registry/registry.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "shell/shell_folders.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"
#include "install/choices.h"
#include "tool/plan.h"
#include "tool/plan_output.h"
#include "tool/plan_run.h"
#include "install/uninstaller.h"
#include "launch/launch.h"
#include "run/run_state.h"

namespace {

std::string OnOff(const BoxChoice& box) {
    std::string text = std::string(box.label) + (box.checked() ? " on" : " off");
    if (!box.offered()) text += box.mode == 0 || box.mode == 3 ? " (hidden)" : " (mode " + std::to_string(box.mode) + ")";
    return text;
}

class InstallPlanner {
public:
    InstallPlanner(const std::string& folder, PlanText& plan) : folder_(folder), plan_(plan) {
        script_ = JoinText(folder, "Setup.ini");
    }
    void Run();

private:
    const char* script() const { return script_.c_str(); }
    const char* install() const { return c_.installFolder; }
    void Header();
    void EarlierMenuShortcuts();
    void Files();
    void StartMenu();
    void FolderShortcut(const char* word, bool make);
    void SendTo();
    void FinalLaunchPlan();
    bool Link(const char* section, const std::string& linkPath, bool hotkey);
    void RemoveLink(const std::string& linkPath);
    void MakeFolder(const std::string& folder) {
        if (PathExists(folder.c_str()) || plan_.Made(folder)) return;
        plan_.Item("make", folder);
        plan_.Make(folder);
    }

    std::string folder_, script_;
    PlanText& plan_;
    DialogChoices c_;
    char programs_[kPathSize] = "";
    char startMenu_[kPathSize] = "";
    char menuName_[kValueSize] = "";
    std::vector<std::string> folderLinks_[2];  // the startup and desktop links made
    std::vector<std::string> menuLinks_;        // the Start-menu links made in the folder
    std::vector<std::string> deletedLinks_;     // those the final launch deletes
    bool madeMenuSubfolder_ = false;
    DryRun* dry_ = nullptr;
};

void InstallPlanner::Header() {
    char name[kValueSize];
    ReadText("Setup", "Name", name, sizeof name, script());
    plan_.Title("Plan of an install of \"" + std::string(name) + "\" from " + script_ +
                " on this machine, with the dialog's default choices.");
    plan_.Title("Nothing has been changed. Files are taken from " + folder_ + " (Setup.exe started from its folder).");
    plan_.Heading("Install folder");
    plan_.Note(std::string(install()) + (PathExists(install()) ? " (exists)" : " (new)"));
    if (c_.record) plan_.Note("the script is an install record: the run copies no files, and its uninstall is "
                              "\"plan --uninstall\"");
    if (c_.versionUp)
        plan_.Note(std::string("version-up of the install registered in ") + c_.earlierFolder +
                   ": its choices are offered again");
    else
        plan_.Note("no earlier install of this product is registered");
    if (!c_.folderUsable) plan_.Note("the dialog refuses this folder (a drive root or no complete path): OK does nothing");
    std::string boxes;
    for (int i = 0; i < kBoxCount; ++i) boxes += (i ? ", " : "") + OnOff(c_.boxes[i]);
    plan_.Heading("Options");
    plan_.Note(boxes);
    if (ReadNumber("Setup", "Auto", 0, script()) != 0) plan_.Note("[Setup] \"Auto\": the run starts by itself");
}

void InstallPlanner::RemoveLink(const std::string& linkPath) {
    if (PathExists(linkPath.c_str())) plan_.Item("remove", linkPath);
}

void InstallPlanner::EarlierMenuShortcuts() {
    std::string record = JoinText(install(), "Setup.ini");
    if (record.empty() || !PathExists(record.c_str())) return;
    char startMenu[kPathSize], programs[kPathSize];
    FindStartMenuFolder(record.c_str(), startMenu, programs);
    if (!startMenu[0]) return;
    plan_.Heading("Start-menu shortcuts of the install already in this folder (removed first)");
    ForEachNumberedSection(record.c_str(), "Menu%d", "Name", [&](int, const char*, const char* name) {
        char link[kPathSize];
        if (StartMenuLinkPath(startMenu, programs, name, link)) RemoveLink(link);
        return true;
    });
}

bool InstallPlanner::Link(const char* section, const std::string& linkPath, bool hotkey) {
    ShortcutFields f;
    if (!ReadShortcutFields(section, script(), install(), hotkey, &f)) {
        plan_.Item("refused", linkPath, "(a value does not fit once expanded: not made)");
        return false;
    }
    std::string detail = "-> " + std::string(f.target);
    if (f.arguments[0]) detail += " " + std::string(f.arguments);
    detail += "  (in " + std::string(f.workFolder) + ")";
    plan_.Item(PathExists(linkPath.c_str()) ? "replace" : "new", linkPath, detail);
    return true;
}

void InstallPlanner::StartMenu() {
    plan_.Heading("Start-menu shortcuts");
    ReadText("Menu", "Name", menuName_, sizeof menuName_, script());
    StartMenuFolderOf(c_.menuNamedSet ? c_.menuNamed : nullptr, menuName_, startMenu_, programs_);
    if (!startMenu_[0]) {
        plan_.Note("no Start-menu folder (the Programs folder cannot be read): nothing is done");
        return;
    }
    const bool make = c_.boxes[kBoxMenu].checked();
    if (!make) plan_.Note("the Start-menu box is off: shortcuts of these names are removed");
    bool any = false;
    ForEachNumberedSection(script(), "Menu%d", "Name", [&](int, const char* section, const char* name) {
        char link[kPathSize];
        if (!StartMenuLinkPath(startMenu_, programs_, name, link)) {
            plan_.Item("refused", name, "(an unusable name or a path over 259 bytes)");
            return true;
        }
        if (!make) {
            RemoveLink(link);
            return true;
        }
        if (!any) MakeFolder(startMenu_);
        any = true;
        if (name[0] != '\\') {
            for (int parts = 1; parts <= LinkFolderDepth(name); ++parts) {
                char sub[kPathSize];
                if (JoinNameParts(sub, sizeof sub, startMenu_, name, parts)) MakeFolder(sub);
                madeMenuSubfolder_ = true;
            }
            menuLinks_.push_back(link);
        }
        if (Link(section, link, false)) plan_.Make(link);
        return true;
    });
    if (make && !any) plan_.Note("no [Menu0] \"Name\": no shortcut is made");
}

void InstallPlanner::FolderShortcut(const char* word, bool make) {
    char folder[kPathSize], name[kValueSize], link[kPathSize];
    if (!ReadText(word, "Name", name, sizeof name, script())) return;
    plan_.Heading(std::string(word) + " shortcut");
    if (!ReadShellFolder(word, folder)) {
        plan_.Note(std::string("the ") + word + " folder cannot be read: nothing is done");
        return;
    }
    if (!BuildLinkPath(link, sizeof link, folder, name)) {
        plan_.Item("refused", name, "(an unusable name or a path over 259 bytes)");
        return;
    }
    if (!make) {
        plan_.Note(std::string("the box is off: a shortcut of this name is removed"));
        RemoveLink(link);
        return;
    }
    if (Link(word, link, true)) folderLinks_[word[0] == 'D' ? 1 : 0].push_back(link);
}

void InstallPlanner::SendTo() {
    char sendTo[kPathSize];
    char first[kValueSize];
    if (!ReadText("Send0", "Name", first, sizeof first, script())) return;
    plan_.Heading("Send To shortcuts");
    if (!ReadShellFolder("SendTo", sendTo)) {
        plan_.Note("the Send To folder cannot be read: nothing is done");
        return;
    }
    const bool make = c_.boxes[kBoxSend].checked();
    if (!make) plan_.Note("the Send To box is off: shortcuts of these names are removed");
    ForEachNumberedSection(script(), "Send%d", "Name", [&](int, const char* section, const char* name) {
        char link[kPathSize];
        if (!BuildLinkPath(link, sizeof link, sendTo, name)) {
            plan_.Item("refused", name, "(an unusable name or a path over 259 bytes)");
            return true;
        }
        if (!make) {
            RemoveLink(link);
            return true;
        }
        for (int parts = 1; parts <= LinkFolderDepth(name); ++parts) {
            char sub[kPathSize];
            if (JoinNameParts(sub, sizeof sub, sendTo, name, parts)) MakeFolder(sub);
        }
        if (Link(section, link, false)) plan_.Make(link);
        return true;
    });
}

void InstallPlanner::FinalLaunchPlan() {
    std::vector<std::string> opened;
    char first[kValueSize];
    bool entries = ReadText("LastGo", "0", first, sizeof first, script()) != 0;
    bool startup = ReadNumber("LastGo", "StartupAndGo", 0, script()) != 0;
    bool desktop = ReadNumber("LastGo", "DesktopAndGo", 0, script()) != 0;
    if (!entries && !startup && !desktop) return;
    plan_.Heading("Final launch ([LastGo])");
    if (!programs_[0] || !startMenu_[0] || (!c_.menuNamedSet && !menuName_[0])) {
        plan_.Note("no Start-menu folder ([Menu] \"Name\"): nothing is opened");
        return;
    }
    // Only links of the script's own [MenuN] entries are thrown away after their start.
    std::vector<std::string> menuNames;
    ForEachNumberedSection(script(), "Menu%d", "Name", [&](int, const char*, const char* name) {
        if (IsUsableLinkName(name)) menuNames.push_back(name);
        return true;
    });
    bool anyEntry = false;
    ForEachNumberedKey(script(), "LastGo", 0, [&](int, const char* value) {
        anyEntry = true;
        char link[kPathSize];
        CopyBounded(link, sizeof link, startMenu_);
        if (!JoinPath(link, value) || !AppendBounded(link, sizeof link, ".lnk")) {
            plan_.Item("nothing", value, "(the shortcut's path does not fit: not opened)");
            return true;
        }
        bool own = false;
        for (const std::string& m : menuNames) own |= lstrcmpiA(m.c_str(), value) == 0;
        const bool there = PathExists(link) || plan_.Made(link);
        if (value[0] == '$' && own && there) {
            plan_.Item("open", link, "(then deleted)");
            deletedLinks_.push_back(link);
        } else {
            plan_.Item("open", link, there ? "" : "(not there: nothing opens)");
        }
        return true;
    });
    // The Start-menu folder goes when its one-time shortcuts were all it held.
    if (anyEntry && !SameFolder(startMenu_, programs_) && plan_.Made(startMenu_)) {
        size_t made = 0;
        for (const std::string& link : menuLinks_) made += plan_.Made(link);
        if (made > 0 && made == deletedLinks_.size() && !madeMenuSubfolder_) plan_.Item("remove-folder", startMenu_, "(left empty)");
    }
    auto openMade = [&](bool asked, const std::vector<std::string>& links, const char* word) {
        if (!asked) return;
        if (links.empty()) {
            plan_.Note(std::string("no ") + word + " shortcut is made: none is opened");
            return;
        }
        char stem[kPathSize];
        CopyBounded(stem, sizeof stem, LastComponent(links[0].c_str()));
        plan_.Item("open", links[0], stem[0] == '$' ? "(then deleted)" : "");
    };
    openMade(startup, folderLinks_[0], "startup");
    openMade(desktop, folderLinks_[1], "desktop");
}

// The copy step itself, on the plan's machine.
void InstallPlanner::Files() {
    if (c_.record) {
        plan_.Heading("Folders (each is recorded; the uninstall removes those it finds empty)");
        plan_.Note("none: an install record copies nothing");
        plan_.Heading("Files");
        plan_.Note("none: an install record copies nothing");
        return;
    }
    CopyInstallFiles(nullptr, install(), c_.boxes[kBoxCopy].checked(), c_.boxes[kBoxDel].checked());
}

void InstallPlanner::Run() {
    ReadDialogChoices(script(), &c_);
    SetCurrentDirectoryA(folder_.c_str());
    Header();
    EarlierMenuShortcuts();
    DryRun dry(script_, plan_);
    if (dry.script().empty()) {
        plan_.Note("no private copy of the script could be made: nothing more is planned");
        return;
    }
    dry_ = &dry;
    // As the run: the record in the chosen folder tells the steps what an earlier install made.
    std::string earlier = JoinText(install(), "Setup.ini");
    CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, earlier.c_str());
    WriteText("Root", "Name", c_.rootName, Script());
    Files();
    StartMenu();
    FolderShortcut("Desktop", c_.boxes[kBoxDesktop].checked());
    FolderShortcut("Startup", c_.boxes[kBoxStartup].checked());
    SetFileAssociations(nullptr, c_.boxes[kBoxExt].checked());
    SendTo();
    RegisterUninstall();
    ApplyRegistryEntries(Script(), true);
    PlaceUninstaller(nullptr);
    FinalLaunchPlan();
    RunLaunchEntries(nullptr, "Make");
}

}  // namespace

bool PlanInstall(const std::string& folder, std::string* out, std::string* errors) {
    std::string script = JoinText(folder, "Setup.ini");
    if (script.empty() || !PathExists(script.c_str())) {
        *errors += script + ": no such file\n";
        return false;
    }
    PlanText plan;
    InstallPlanner(folder, plan).Run();
    *out = plan.text();
    return true;
}
