// The plan of an uninstall: every removal of the uninstall run in its order, from the
// record the uninstaller reads, with what each removal leaves behind.
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "base/handles.h"
#include "base/text.h"
#include "install/choices.h"
#include "registry/registry.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shell_folders.h"
#include "shell/shortcut_text.h"
#include "tool/plan.h"
#include "launch/launch.h"
#include "tool/plan_output.h"
#include "tool/plan_run.h"
#include "ui/main_dialog.h"
#include "uninstall/removal.h"

namespace {

bool IsRecord(const std::string& script) { return ReadNumber("CopiedFile", "Count", 0, script.c_str()) != 0; }

class UninstallPlanner {
public:
    UninstallPlanner(const std::string& record, PlanText& plan) : record_(record), plan_(plan) {
        const char* bs = FindLastBackslash(record.c_str());
        recordFolder_ = bs ? record.substr(0, (size_t)(bs - record.c_str())) : ".";
        exe_ = JoinText(recordFolder_, "Setup.exe");
        ReadText("Root", "Named", install_, sizeof install_, script());
    }
    void Run();

private:
    const char* script() const { return record_.c_str(); }
    void RemoveLink(const std::string& link);
    void RemoveLinkFolders(const char* base, const char* name);
    void StartMenu();
    void FolderShortcut(const char* word);
    void Associations();
    void ProductKeys();
    void SendTo();
    void RegistryEntries();
    void LaunchEntries();
    void Files();
    void SelfRemoval();

    // A key with all below it; told once, with its size.
    void RemoveTree(const RegPath& key) {
        if (!KeyExists(key) || sim_.KeyRemoved(key)) return;
        plan_.Item("remove-key", key.Display(), sim_.TreeSize(key));
        sim_.RemoveKey(key);
    }
    void RemoveValue(const RegPath& key, const std::string& name) {
        std::string old;
        bool isText;
        if (sim_.KeyRemoved(key) || !ReadRegValue(key, name.c_str(), &old, &isText)) return;
        plan_.Item("remove-value", key.Display(), ValueText(name, old));
        sim_.RemoveValue(key, name);
    }
    // A key without subkeys goes with its values (RegDeleteKey); one with subkeys stays.
    bool RemoveLeafKey(const RegPath& key) {
        if (!KeyExists(key) || sim_.KeyRemoved(key)) return false;
        UniqueKey opened;
        char sub[kValueSize];
        DWORD size = sizeof sub;
        if (RegOpenKeyExA(RootHandle(key.root), key.path.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS &&
            RegEnumKeyExA(opened.get(), 0, sub, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            plan_.Item("stays", key.Display(), "(it holds keys of its own)");
            return false;
        }
        plan_.Item("remove-key", key.Display());
        sim_.RemoveKey(key);
        return true;
    }
    void RemoveIfEmpty(const RegPath& key) {
        if (KeyExists(key) && !sim_.KeyRemoved(key) && sim_.KeyEmptyAfter(key)) {
            plan_.Item("remove-key", key.Display(), "(left empty)");
            sim_.RemoveKey(key);
        }
    }
    void RemoveFolderIfEmpty(const std::string& folder, const char* why) {
        if (!IsFolder(folder.c_str()) || sim_.FileRemoved(folder)) return;
        if (sim_.FolderEmptyAfter(folder)) {
            plan_.Item("remove-folder", folder, why);
            sim_.RemoveFile(folder);
        } else {
            plan_.Item("stays", folder, "(not empty)");
        }
    }

    std::string record_, recordFolder_, exe_;
    char install_[kPathSize] = "";
    PlanText& plan_;
    RemovalSimulation sim_;
    bool leftAtRestart_ = false;
};

void UninstallPlanner::RemoveLink(const std::string& link) {
    if (!PathExists(link.c_str())) return;
    plan_.Item("remove", link);
    sim_.RemoveFile(link);
}

void UninstallPlanner::RemoveLinkFolders(const char* base, const char* name) {
    for (int parts = LinkFolderDepth(name); parts >= 1; --parts) {
        char folder[kPathSize];
        if (JoinNameParts(folder, sizeof folder, base, name, parts)) RemoveFolderIfEmpty(folder, "");
    }
}

void UninstallPlanner::StartMenu() {
    plan_.Heading("Start-menu shortcuts");
    char startMenu[kPathSize], programs[kPathSize];
    FindStartMenuFolder(script(), startMenu, programs);
    if (!startMenu[0]) {
        plan_.Note("no Start-menu folder: nothing is removed");
        return;
    }
    ForEachNumberedSection(script(), "Menu%d", "Name", [&](int, const char*, const char* name) {
        char link[kPathSize];
        if (StartMenuLinkPath(startMenu, programs, name, link)) RemoveLink(link);
        return true;
    });
    // Folders named inside the entries stay; the Programs folder itself is never removed.
    if (!SameFolder(startMenu, programs)) RemoveFolderIfEmpty(startMenu, "(the Start-menu folder)");
}

void UninstallPlanner::FolderShortcut(const char* word) {
    char folder[kPathSize], name[kValueSize], link[kPathSize];
    if (!ReadShellFolder(word, folder) || !ReadText(word, "Name", name, sizeof name, script()) ||
        !BuildLinkPath(link, sizeof link, folder, name))
        return;
    plan_.Heading(std::string(word) + " shortcut");
    RemoveLink(link);
}

void UninstallPlanner::SendTo() {
    char sendTo[kPathSize], first[kValueSize];
    if (!ReadText("Send0", "Name", first, sizeof first, script()) || !ReadShellFolder("SendTo", sendTo)) return;
    plan_.Heading("Send To shortcuts");
    ForEachNumberedSection(script(), "Send%d", "Name", [&](int, const char*, const char* name) {
        char link[kPathSize];
        if (!BuildLinkPath(link, sizeof link, sendTo, name)) return true;
        RemoveLink(link);
        RemoveLinkFolders(sendTo, name);
        return true;
    });
}

void UninstallPlanner::Associations() {
    char first[256];
    if (!ReadText("Ext0", "Ext", first, sizeof first, script())) return;
    plan_.Heading("File associations");
    const RegPath classes{RootKind::ClassesRoot, ""};
    ForEachNumberedSection(script(), "Ext%d", "Ext", [&](int, const char* section, const char* ext) {
        char kind[kValueSize], icon[kPathSize], verb[256], current[kValueSize];
        ReadText(section, "Kind", kind, sizeof kind, script());
        ReadText(section, "Icon", icon, sizeof icon, script());
        ReadText(section, "Verb", verb, sizeof verb, script());
        if (!IsAcceptedAssociation(ext, kind)) return true;
        const bool force = ReadNumber(section, "Force", 0, script()) != 0;
        ExtensionOwner owner = FindExtensionOwner(ext, kind, current);
        RegPath extKey = classes.Child(ext);
        if (owner == ExtensionOwner::Other && !force) {
            // Another type's extension: only the second verb this entry added goes.
            ReadText(section, "Verb2", verb, sizeof verb, script());
            if (IsSingleKeyName(verb)) RemoveTree(classes.Child(current).Child("shell").Child(verb));
            return true;
        }
        std::string old;
        bool isText = false;
        bool hasOld = ReadRegValue(extKey, "Old Name", &old, &isText);
        if (owner == ExtensionOwner::Other) {
            old = current;  // the uninstall keeps the type that took the extension since
            hasOld = true;
        }
        if (hasOld) {
            plan_.Item("restore", extKey.Display(), ValueText("", old));
            RemoveValue(extKey, "Old Name");
        } else if (KeyExists(extKey)) {
            RemoveValue(extKey, "");
            RemoveLeafKey(extKey);
        }
        RegPath typeKey = classes.Child(kind);
        const bool owned = OwnsFileType(kind);
        if (icon[0] && KeyExists(typeKey.Child("DefaultIcon"))) {
            RemoveValue(typeKey.Child("DefaultIcon"), "");
            if (RemoveLeafKey(typeKey.Child("DefaultIcon")) && owned && !IsSingleKeyName(verb)) RemoveIfEmpty(typeKey);
        }
        if (!IsSingleKeyName(verb)) return true;
        if (owned)
            RemoveTree(typeKey);
        else
            RemoveTree(typeKey.Child("shell").Child(verb));
        return true;
    });
}

void UninstallPlanner::ProductKeys() {
    plan_.Heading("Uninstall registration and the product's settings keys");
    char name[kValueSize];
    ReadText("Root", "Name", name, sizeof name, script());
    if (!IsSingleKeyName(name)) {
        plan_.Note("[Root] \"Name\" cannot name a key: nothing is removed");
        return;
    }
    CreatedFacts facts(script());
    char registered[kValueSize];
    if (RecordedRegistration(script(), facts, registered, sizeof registered)) {
        RegPath key{RootKind::LocalMachine, std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + registered};
        if (RegistrationOwnerOf(registered, install_) == RegistrationOwner::Own)
            RemoveTree(key);
        else if (KeyExists(key))
            plan_.Item("stays", key.Display(), "(its command does not start this install's Setup.exe)");
    } else {
        plan_.Note("the record names no registration of its own: none is removed");
    }
    SettingsKeys keys;
    if (!ReadSettingsKeys(script(), &keys)) return;
    char product[kPathSize], company[kPathSize];
    if (!SettingsKeyPath(keys, false, product, sizeof product) || !SettingsKeyPath(keys, true, company, sizeof company))
        return;
    for (RootKind root : {RootKind::CurrentUser, RootKind::LocalMachine}) {
        RegPath productKey = RegPath{root, keys.path}.Child(keys.leaf);
        if (MayRemoveSettingsKey(facts, root, product))
            RemoveTree(productKey);
        else if (KeyExists(productKey))
            plan_.Item("stays", productKey.Display(), "(it was there before the product's first install)");
        if (MayRemoveSettingsKey(facts, root, company)) RemoveIfEmpty(RegPath{root, "SOFTWARE"}.Child(keys.company));
    }
}

void UninstallPlanner::RegistryEntries() {
    bool any = false;
    CreatedFacts facts(script());
    ForEachPrefixedKey(script(), "Reg", "Erase", kLongValueSize, [&](int, char* entry) {
        if (!any) plan_.Heading("Registry entries ([Reg] \"Erase\")");
        any = true;
        std::string written = entry;
        char* path = SplitAtFirstBackslash(entry);
        if (!path) return true;
        const RootKind root = RootKindFromName(entry);
        const KeyProtection protection = ProtectionOf(root, path);
        if (protection == KeyProtection::Structural) {
            plan_.Item("refused", written, "(the uninstall never erases this key)");
            return true;
        }
        RegPath whole{root, path};
        const bool isKey = protection == KeyProtection::None && KeyExists(whole);
        char* name = SplitAtLastBackslash(path);
        if (!name) return true;
        RegPath parent{root, path};
        if (protection == KeyProtection::System && !MayEraseProtectedValue(facts, root, path, name)) {
            plan_.Item("refused", written, "(in the system's keys only a value this product's make entries wrote goes)");
            return true;
        }
        if (isKey) RemoveTree(whole);
        RemoveValue(parent, name);
        // Emptied parents go from the deepest up, when the record shows this product made them.
        for (;;) {
            if (MayPruneRegistryKey(facts, root, parent.path.c_str())) RemoveIfEmpty(parent);
            const char* bs = FindLastBackslash(parent.path.c_str());
            if (!bs) break;
            parent.path.resize((size_t)(bs - parent.path.c_str()));
        }
        return true;
    });
}

// The run's own launch step, on a machine that starts and loads nothing.
void UninstallPlanner::LaunchEntries() {
    DryRun dry(record_, plan_);
    if (!dry.script().empty()) RunLaunchEntries(nullptr, "Erase");
}

// The run's own removal and leftover listing on the plan's machine. The run works on the
// record itself; the plan on a copy, with the record beside it as the script the guards
// keep, and the uninstaller beside it as the program.
void UninstallPlanner::Files() {
    DryRun dry(record_, plan_);
    if (dry.script().empty()) {
        plan_.Heading("Files and folders");
        plan_.Note("no private copy of the record could be made: nothing more is planned");
        return;
    }
    CopyBounded(::Run().originalScript, sizeof ::Run().originalScript, record_.c_str());
    RemoveInstalledFiles();
    ListRemainingFiles(nullptr, 0);
    leftAtRestart_ = ::Run().removalAtRestart;
    for (const std::string& path : dry.machine().Removed()) sim_.RemoveFile(path);
}

void UninstallPlanner::SelfRemoval() {
    plan_.Heading("The uninstaller itself (after the uninstall ends)");
    if (leftAtRestart_) {
        plan_.Item("remove", record_, "(at the next restart)");
        plan_.Item("remove", exe_, "(at the next restart)");
        plan_.Note("the user is asked whether to restart now");
        return;
    }
    plan_.Item("remove", record_, "(the install record)");
    sim_.RemoveFile(record_);
    plan_.Item("remove", exe_, "(by the self-removal, once the program has ended)");
    sim_.RemoveFile(exe_);
    RemoveFolderIfEmpty(recordFolder_, "(the install folder)");
}

void UninstallPlanner::Run() {
    char name[kValueSize];
    ReadText("Setup", "Name", name, sizeof name, script());
    plan_.Title("Plan of the uninstall of \"" + std::string(name) + "\" from its record " + record_ + ".");
    plan_.Title("Nothing has been changed. The install folder is " + std::string(install_) + ".");
    LaunchEntries();
    StartMenu();
    FolderShortcut("Desktop");
    FolderShortcut("Startup");
    Associations();
    ProductKeys();
    SendTo();
    RegistryEntries();
    Files();
    SelfRemoval();
}

}  // namespace

bool PlanUninstall(const std::string& folder, std::string* out, std::string* errors) {
    std::string script = JoinText(folder, "Setup.ini");
    if (script.empty() || !PathExists(script.c_str())) {
        *errors += script + ": no such file\n";
        return false;
    }
    std::string record = script;
    if (IsRecord(script)) {
        // The script that ran an install is a record too; the uninstall is run from the
        // copy placed in the install folder.
        char named[kPathSize];
        std::string placed;
        if (ReadText("Root", "Named", named, sizeof named, script.c_str()))
            placed = JoinText(named, "Setup.ini");
        if (!placed.empty() && PathExists(placed.c_str()) && IsRecord(placed)) record = placed;
    } else {
        // A setup script: the uninstall is that of the install its product registered.
        char rootName[kValueSize], earlier[kPathSize];
        if (!ReadText("Root", "Name", rootName, sizeof rootName, script.c_str()) ||
            !FindEarlierInstall(LastComponent(rootName), earlier)) {
            *errors += script + ": a setup script, and no install of its product is registered\n";
            return false;
        }
        record = JoinText(earlier, "Setup.ini");
        if (record.empty() || !PathExists(record.c_str()) || !IsRecord(record)) {
            *errors += std::string("the registered install in ") + earlier + " has no install record\n";
            return false;
        }
    }
    PlanText plan;
    UninstallPlanner(record, plan).Run();
    *out = plan.text();
    return true;
}
