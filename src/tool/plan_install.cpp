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
#include "install/choices.h"
#include "shell/shortcuts.h"
#include "tool/plan.h"
#include "tool/plan_launch.h"
#include "tool/plan_output.h"
#include "tool/plan_run.h"
#include "install/uninstaller.h"
#include "launch/launch.h"
#include "run/run_state.h"
#include "script/created.h"

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
    void BeginRun();
    void Files();
    void Associations();
    void Registration();
    void RegistryEntries();

    std::string folder_, script_;
    PlanText& plan_;
    DialogChoices c_;
    unsigned long long copiedBytes_ = 0;
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

void InstallPlanner::Associations() {
    char first[256];
    if (!ReadText("Ext0", "Ext", first, sizeof first, script())) return;
    const bool make = c_.boxes[kBoxExt].checked();
    plan_.Heading(make ? "File associations" : "File associations (the box is off: what an earlier install made is removed; "
                                               "\"plan --uninstall\" shows such removals)");
    if (!make) return;
    const RegPath classes{RootKind::ClassesRoot, ""};
    // The record the step asks what the earlier install made: the one in the install folder.
    const std::string record = JoinText(install(), "Setup.ini");
    ForEachNumberedSection(script(), "Ext%d", "Ext", [&](int, const char* section, const char* ext) {
        char kind[kValueSize], icon[kPathSize], iconNo[kValueSize], verb[256], current[kValueSize];
        ReadText(section, "Kind", kind, sizeof kind, script());
        ReadText(section, "Icon", icon, sizeof icon, script());
        ReadText(section, "IconNo", iconNo, sizeof iconNo, script());
        ReadText(section, "Verb", verb, sizeof verb, script());
        if (!IsAcceptedAssociation(ext, kind)) {
            plan_.Item("refused", std::string(ext) + " -> " + kind, "(the association step refuses this extension or type)");
            return true;
        }
        char command[kValueSize], line[kExpandedSize];
        const bool hasCommand = ReadText(section, "Command", command, sizeof command, script()) != 0;
        const bool lineFits = hasCommand && AssociationCommandLine(command, install(), line);
        const bool force = ReadNumber(section, "Force", 0, script()) != 0;
        ExtensionOwner owner = FindExtensionOwner(ext, kind, current);
        // Force never takes an extension from one of the system's types.
        const bool takes = force && owner == ExtensionOwner::Other && !IsSystemFileType(current);
        std::string type = kind;
        if (owner == ExtensionOwner::Other && !takes) {
            type = current;
            ReadText(section, "Verb2", verb, sizeof verb, script());
            std::string note = std::string(ext) + " belongs to " + current + (force ? ", a system type (\"Force\" is refused)" : "") +
                               ": it stays there";
            if (!IsSingleKeyName(verb)) {
                plan_.Note(note + "; without \"Verb2\" nothing is written");
                return true;
            }
            const RegPath verbKey = classes.Child(current).Child("shell").Child(verb);
            if (IsRefusedFileType(current) || !IsSingleKeyName(current)) {
                plan_.Note(note);
                plan_.Item("refused", verbKey.Display(), "(a system type takes no verb of another program)");
                return true;
            }
            if (!KeyExists(classes.Child(current))) {
                plan_.Note(note + "; its type has no key, so no verb is added to it");
                return true;
            }
            if (KeyExists(verbKey) && !EarlierMadeAssociationKey(record.c_str(), "VerbKey", verbKey.path,
                                                                  lineFits ? line : "")) {
                plan_.Note(note);
                plan_.Item("keep", verbKey.Display(), "(another program's verb: it is not overwritten)");
                return true;
            }
            plan_.Note(note + ", and the verb \"" + verb + "\" is added to that type");
        } else {
            plan_.Note(std::string(ext) + (owner == ExtensionOwner::Other ? " is taken over from " + std::string(current) +
                                                                                 ", which is kept as \"Old Name\""
                                           : owner == ExtensionOwner::Kind ? " already belongs to " + std::string(kind)
                                                                            : " is new") +
                       ": its type is " + kind);
            RegPath extKey = classes.Child(ext), typeKey = classes.Child(kind);
            PlanCreateKeys(plan_, extKey);
            if (owner == ExtensionOwner::Other) PlanSetValue(plan_, extKey, "Old Name", current);
            PlanSetValue(plan_, extKey, "", kind);
            // Another program's type is named, never written into.
            if (KeyExists(typeKey) && !plan_.Made(typeKey.Display()) &&
                !EarlierMadeAssociationKey(record.c_str(), "TypeKey", kind, nullptr)) {
                plan_.Item("keep", typeKey.Display(), "(another program's type: no description, icon or verb is written)");
                return true;
            }
            PlanCreateKeys(plan_, typeKey);
            PlanSetValue(plan_, typeKey, "", kind);
            char value[kExpandedSize];
            if (icon[0]) {
                RegPath iconKey = typeKey.Child("DefaultIcon");
                if (AssociationIconValue(icon, iconNo, install(), value)) {
                    PlanCreateKeys(plan_, iconKey);
                    PlanSetValue(plan_, iconKey, "", value);
                } else {
                    plan_.Item("refused", iconKey.Display(), "(the icon does not fit once expanded)");
                }
            }
        }
        if (!IsSingleKeyName(verb)) return true;
        RegPath commandKey = classes.Child(type).Child("shell").Child(verb).Child("command");
        if (!hasCommand) {
            plan_.Item("nothing", commandKey.Display(), "(no \"Command\": the verb is not written)");
        } else if (!lineFits) {
            plan_.Item("refused", commandKey.Display(), "(the command does not fit once expanded)");
        } else {
            PlanCreateKeys(plan_, commandKey);
            PlanSetValue(plan_, commandKey, "", line);
        }
        return true;
    });
}

void InstallPlanner::Registration() {
    plan_.Heading("Uninstall registration (the list of installed programs)");
    // The run gives the script the folder and the root name before this step reads them.
    char folder[kPathSize];
    CopyBounded(folder, sizeof folder, install());
    ProductRegistration r;
    if (!ReadProductRegistration(script(), c_.rootName, folder, &r)) {
        plan_.Note("[Root] \"Name\" cannot name a key: the product is not registered");
        return;
    }
    RegPath key{RootKind::LocalMachine, std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + r.keyName};
    if (!r.command[0]) {
        plan_.Item("refused", key.Display(), "(the uninstall command does not fit: the product is not registered)");
        return;
    }
    if (RegistrationOwnerOf(r.keyName, folder) == RegistrationOwner::Other) {
        plan_.Item("refused", key.Display(), "(another program's key: the product is not registered)");
        return;
    }
    PlanCreateKeys(plan_, key);
    if (r.displayName[0]) PlanSetValue(plan_, key, "DisplayName", r.displayName);
    if (r.command[0]) PlanSetValue(plan_, key, "UninstallString", r.command);
    auto setOrClear = [&](const char* name, const char* text) {
        std::string old;
        bool isText;
        if (text[0])
            PlanSetValue(plan_, key, name, text);
        else if (ReadRegValue(key, name, &old, &isText))
            plan_.Item("remove-value", key.Display(), "\"" + std::string(name) + "\"");
    };
    setOrClear("InstallLocation", r.location);
    setOrClear("DisplayIcon", r.icon);
    PlanSetNumber(plan_, key, "NoModify", 1);
    PlanSetNumber(plan_, key, "NoRepair", 1);
    // The script carries a record by now: the size is that of the files recorded.
    PlanSetNumber(plan_, key, "EstimatedSize", (unsigned long)((copiedBytes_ + 1023) / 1024));
    setOrClear("Publisher", r.publisher);
    setOrClear("DisplayVersion", r.version);
}

void InstallPlanner::RegistryEntries() {
    bool any = false;
    ForEachPrefixedKey(script(), "Reg", "Make", kLongValueSize, [&](int, char* entry) {
        if (!any) plan_.Heading("Registry entries ([Reg] \"Make\")");
        any = true;
        std::string written = entry;
        MakeEntryParts parts;
        if (!SplitMakeEntry(entry, &parts)) {
            plan_.Item("nothing", written, "(no backslash after the root)");
            return true;
        }
        RegPath key{RootKindFromName(parts.root), ""};
        // The keys are made one component at a time, as the step makes them.
        for (char* component = parts.keyPath; component && *component;) {
            char* rest = SplitAtFirstBackslash(component);
            key = key.Child(component);
            component = rest;
        }
        PlanCreateKeys(plan_, key);
        if (!parts.valueName) return true;
        char data[kPathSize];
        if (!RegistryDataText(parts.data, install(), data))
            plan_.Item("refused", key.Display(), ValueText(parts.valueName, parts.data) + " (longer than 259 bytes expanded)");
        else
            PlanSetValue(plan_, key, parts.valueName, data);
        return true;
    });
}

// The copy step itself, on the plan's machine: its folders and files, then the size of
// what it recorded for the registration.
void InstallPlanner::Files() {
    if (c_.record) {
        plan_.Heading("Folders (each is recorded; the uninstall removes those it finds empty)");
        plan_.Note("none: an install record copies nothing");
        plan_.Heading("Files");
        plan_.Note("none: an install record copies nothing");
        return;
    }
    CopyInstallFiles(nullptr, install(), c_.boxes[kBoxCopy].checked(), c_.boxes[kBoxDel].checked());
    ForEachCountedKey(Script(), "CopiedFile", false, [&](int, const char* path) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (dry_->machine().AttributeData(path, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            copiedBytes_ += ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
        return true;
    });
}

// As the run begins: the record in the chosen folder is the earlier install's, the facts
// begin afresh, that install's Start-menu shortcuts go first, and the Start-menu location
// the dialog offers is taken.
void InstallPlanner::BeginRun() {
    std::string record = JoinText(install(), "Setup.ini");
    // A cut path would read another file as the record (and an empty folder one in the Windows folder).
    const bool whole = install()[0] && CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, record.c_str());
    if (!whole) ::Run().earlierRecord[0] = 0;
    if (ReadNumber("CopiedFile", "Count", 0, Script()) == 0) StartCreatedFacts(Script());
    if (whole) RemoveStartMenuShortcuts(::Run().earlierRecord);
    WriteText("Menu", "Named", c_.menuNamedSet ? c_.menuNamed : "", Script());
    WriteText("Menu", "Change", "", Script());
}

void InstallPlanner::Run() {
    ReadDialogChoices(script(), &c_);
    SetCurrentDirectoryA(folder_.c_str());
    Header();
    DryRun dry(script_, plan_);
    if (dry.script().empty()) {
        plan_.Note("no private copy of the script could be made: nothing more is planned");
        return;
    }
    dry_ = &dry;
    WriteText("Root", "Name", c_.rootName, Script());
    BeginRun();
    Files();
    SetStartMenuShortcuts(nullptr, Script(), c_.boxes[kBoxMenu].checked());
    SetFolderShortcut(nullptr, Script(), c_.boxes[kBoxDesktop].checked(), "Desktop");
    SetFolderShortcut(nullptr, Script(), c_.boxes[kBoxStartup].checked(), "Startup");
    Associations();
    SetSendToShortcuts(nullptr, Script(), c_.boxes[kBoxSend].checked());
    Registration();
    RegistryEntries();
    PlaceUninstaller(nullptr);
    FinalLaunch();
    PlanLaunchEntries(plan_, script(), "Make", install());
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
