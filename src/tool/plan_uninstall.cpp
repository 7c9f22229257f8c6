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
#include "run/run_state.h"
#include "shell/shortcuts.h"
#include "tool/plan.h"
#include "tool/plan_launch.h"
#include "tool/plan_output.h"
#include "tool/plan_run.h"
#include "ui/main_dialog.h"
#include "uninstall/removal_plan.h"

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
    void Associations();
    void ProductKeys();
    void RegistryEntries();
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

void UninstallPlanner::Files() {
    plan_.Heading("Files and folders");
    RemovalPlan removal(script(), exe_.c_str());
    std::vector<std::string> left;
    auto deleteOne = [&](const char* path, bool whole, const char* why) {
        if (!whole || sim_.FileRemoved(path) || !removal.guards.MayDeleteFile(path)) return;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
        if (!removal.force && (attributes & FILE_ATTRIBUTE_READONLY)) {
            plan_.Item("stays", path, "(read-only, and [Del] \"Force\" is 0)");
            return;
        }
        plan_.Item("remove", path, why);
        sim_.RemoveFile(path);
    };
    ForEachPatternMatch(removal, [&](const char* path, bool whole) { deleteOne(path, whole, "([Del] pattern)"); });
    ForEachRecordedFile(removal, [&](const char* path, bool whole) { deleteOne(path, whole, ""); });
    auto removeFolder = [&](const char* path, bool whole, const char* why) {
        if (whole && removal.guards.MayRemoveFolder(path)) RemoveFolderIfEmpty(path, why);
    };
    ForEachRemoveFolder(removal, [&](const char* path, bool whole) { removeFolder(path, whole, "([DirRemove])"); });
    ForEachMadeFolder(removal, [&](const char* path, bool whole) { removeFolder(path, whole, ""); });

    // What the leftover report lists, in its order.
    auto stillThere = [&](const char* path, bool whole, bool file) {
        if (!whole) {
            left.push_back(std::string(path) + "...");
        } else if (file && IsFolder(path)) {
            if (removal.guards.MayRemoveFolder(path)) left.push_back(path);
        } else if (PathExists(path) && !sim_.FileRemoved(path) &&
                   (file ? removal.guards.MayDeleteFile(path) : removal.guards.MayRemoveFolder(path))) {
            left.push_back(path);
        }
    };
    ForEachPatternMatch(removal, [&](const char* path, bool whole) { stillThere(path, whole, true); });
    ForEachRecordedFile(removal, [&](const char* path, bool whole) { stillThere(path, whole, true); });
    ForEachRemoveFolder(removal, [&](const char* path, bool whole) { stillThere(path, whole, false); });
    ForEachMadeFolder(removal, [&](const char* path, bool whole) { stillThere(path, whole, false); });
    char first[kPathSize];
    if (const char* value = removal.made.Get(0)) {
        if (PathValue(value, first) && removal.guards.MayRemoveFolder(first) && !sim_.ForeignNameAfter(first).empty())
            left.push_back(first);
    }
    const bool shown = !left.empty() && (removal.reboot || ReadNumber("Del", "ShowError", 0, script()) != 0);
    leftAtRestart_ = !left.empty() && removal.reboot;
    if (!left.empty()) {
        plan_.Heading(std::string("Left over") +
                      (removal.reboot ? ": deleted at the next restart, and listed in \"These will delete after reboot.\""
                                      : shown ? ": listed in \"Could not delete these...\""
                                              : " (not shown: [Del] \"ShowError\" is 0)"));
        for (const std::string& path : left) plan_.Item("left", path);
    }
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
    // The steps themselves run on a private copy of the record, which is their script
    // and the record they remove by.
    DryRun dry(record_, plan_);
    if (dry.script().empty()) {
        plan_.Note("no private copy of the record could be made: nothing more is planned");
        return;
    }
    CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, Script());
    PlanLaunchEntries(plan_, script(), "Erase", install_);
    RemoveStartMenuShortcuts(Script());
    SetFolderShortcut(nullptr, Script(), false, "Desktop");
    SetFolderShortcut(nullptr, Script(), false, "Startup");
    Associations();
    ProductKeys();
    SetSendToShortcuts(nullptr, Script(), false);
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
