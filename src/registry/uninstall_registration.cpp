// The product's entry in the list of installed programs and, on uninstall, its
// removal together with the product's settings keys.
#include <initializer_list>
#include "run/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "registry/registry_parse.h"
#include "registry/registry_report.h"
#include "run/machine.h"
#include "run/report.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

constexpr char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A key of the product's registration as it writes into it, named as told.
struct ToldKey {
    RegKey key;
    char text[kKeyTextSize];
    void SetText(const char* name, const char* data) {
        if (WriteTextTold(key.get(), text, name, data) == ERROR_SUCCESS) key.Changed();
    }
    void SetNumber(const char* name, DWORD value) {
        if (WriteNumberTold(key.get(), text, name, value) == ERROR_SUCCESS) key.Changed();
    }
    void DeleteValue(const char* name) {
        if (DeleteValueTold(key.get(), text, name, false) == ERROR_SUCCESS) key.Changed();
    }
};

// The values beyond name and command are removed when this install has none, so
// that a version-up never keeps the text of the one before.
void SetOrClear(ToldKey& key, const char* name, const char* text) {
    if (text && text[0])
        key.SetText(name, text);
    else
        key.DeleteValue(name);
}

// The product's icon: [Desktop] "Icon" expanded, with its index when not 0, or the
// installed uninstaller itself. Empty when the path had to be cut.
void DisplayIcon(const char* script, const char* installFolder, const char* uninstaller, char* icon) {
    if (!ReadText("Desktop", "Icon", icon, kPathSize, script)) {
        CopyBounded(icon, kPathSize, uninstaller);
        return;
    }
    if (!ExpandProgramPath(icon, installFolder, icon)) {
        icon[0] = 0;
        return;
    }
    int index = ReadNumber("Desktop", "IconNo", 0, script);
    if (index == 0) return;
    char suffix[16];
    FormatBounded(suffix, sizeof suffix, ",%d", index);
    if (!AppendBounded(icon, kPathSize, suffix)) icon[0] = 0;
}

void WriteProductValues(ToldKey& product, const ProductRegistration& r) {
    if (r.displayName[0]) product.SetText("DisplayName", r.displayName);
    if (r.command[0]) product.SetText("UninstallString", r.command);
    if (r.quietCommand[0]) product.SetText("QuietUninstallString", r.quietCommand);
    SetOrClear(product, "InstallLocation", r.location);
    SetOrClear(product, "DisplayIcon", r.icon);
    // The uninstaller offers neither a change nor a repair of the install.
    product.SetNumber("NoModify", 1);
    product.SetNumber("NoRepair", 1);
    if (r.sizeKnown)
        product.SetNumber("EstimatedSize", r.sizeKiB);
    else
        product.DeleteValue("EstimatedSize");
    SetOrClear(product, "Publisher", r.publisher);
    SetOrClear(product, "DisplayVersion", r.version);
}

const RootKind kSettingsRoots[] = {RootKind::CurrentUser, RootKind::LocalMachine};


// Which of the settings keys the uninstall may later remove were there before the
// product's first install: the earlier install's record tells when it looked at the same
// keys; otherwise the machine as it is now (before the make entries run).
void RecordExistingSettingsKeys(const char* script) {
    CreatedList existed(kSettingsExistedFact);
    SettingsKeys keys, earlierKeys;
    if (ReadSettingsKeys(script, &keys)) {
        CreatedFacts earlier(Run().earlierRecord);
        const bool carry = earlier.source() == CreatedFacts::Source::Facts && ReadSettingsKeys(earlier.path(), &earlierKeys);
        for (bool company : {false, true}) {
            char path[kPathSize], earlierProduct[kPathSize] = "", earlierCompany[kPathSize] = "";
            if (!SettingsKeyPath(keys, company, path, sizeof path)) continue;
            bool known = carry && SettingsKeyPath(earlierKeys, false, earlierProduct, sizeof earlierProduct) &&
                         SettingsKeyPath(earlierKeys, true, earlierCompany, sizeof earlierCompany) &&
                         (lstrcmpiA(path, earlierProduct) == 0 || lstrcmpiA(path, earlierCompany) == 0);
            for (RootKind root : kSettingsRoots) {
                char fact[kPathSize];
                if (!RegistryFactText(root, path, nullptr, fact, sizeof fact)) continue;
                if (known ? earlier.Holds(kSettingsExistedFact, fact) : KeyIsThere(RootKeyOf(root), path)) existed.Add(fact);
            }
        }
    }
    existed.Write(script);
}

// Registers into a key that is absent, empty or this install's, never into another
// program's; a registration without a command could never be told from one.
void RegisterProduct(const char* script, CreatedList* registered) {
    RegKey version, uninstall;
    char text[kKeyTextSize];
    bool created = false;
    KeyText(RootKind::LocalMachine, kVersionKey, text);
    if (!version.Create(HKEY_LOCAL_MACHINE, kVersionKey, KEY_CREATE_SUB_KEY, &created)) return;
    if (created) TellNewKey(text);
    ChildKeyText(text, "Uninstall", text);
    if (!uninstall.Create(version.get(), "Uninstall", KEY_CREATE_SUB_KEY, &created)) return;
    if (created) TellNewKey(text);
    version.Changed();
    char name[kValueSize], folder[kPathSize];
    ReadText("Root", "Name", name, sizeof name, script);
    ReadText("Root", "Named", folder, sizeof folder, script);
    ProductRegistration values;
    if (!ReadProductRegistration(script, name, folder, &values)) {
        TellNote("[Root] \"Name\" cannot name a key: the product is not registered");
        return;
    }
    ToldKey product;
    ChildKeyText(text, values.keyName, product.text);
    if (!values.command[0]) {
        Tell(Outcome::Kept, "refused", product.text, "(the uninstall command does not fit: the product is not registered)");
        return;
    }
    if (RegistrationOwnerOf(values.keyName, folder) == RegistrationOwner::Other) {
        Tell(Outcome::Kept, "refused", product.text, "(another program's key: the product is not registered)");
        return;
    }
    if (!product.key.Create(uninstall.get(), values.keyName, KEY_SET_VALUE, &created)) {
        Tell(Outcome::Failed, "fails", product.text, "(the key could not be made)");
        return;
    }
    if (created) TellNewKey(product.text);
    uninstall.Changed();
    WriteProductValues(product, values);
    registered->Add(values.keyName);
}

}  // namespace

bool ReadProductRegistration(const char* script, const char* keyName, const char* installFolder,
                             ProductRegistration* r) {
    *r = ProductRegistration();
    // The dialog leaves the last component of the folder in [Root] "Name"; anything else
    // would name the Uninstall key itself or a key below another product.
    if (!IsSingleKeyName(keyName)) return false;
    CopyBounded(r->keyName, sizeof r->keyName, keyName);
    ReadText("Setup", "Name", r->displayName, sizeof r->displayName, script);
    char uninstaller[kPathSize] = "";
    if (installFolder[0]) {
        CopyBounded(r->location, sizeof r->location, installFolder);
        CopyBounded(uninstaller, sizeof uninstaller, installFolder);
        if (!JoinPath(uninstaller, "Setup.exe")) uninstaller[0] = 0;  // a cut path names another program
    }
    if (uninstaller[0]) {
        // Quoted, so that a blank in the folder never starts another program (C:\Program.exe).
        bool whole = CopyBounded(r->command, sizeof r->command, "\"") &&
                     AppendBounded(r->command, sizeof r->command, uninstaller) &&
                     AppendBounded(r->command, sizeof r->command, "\"");
        if (whole && ReadNumber("Del", "Auto", 0, script) != 0)
            whole = AppendBounded(r->command, sizeof r->command, " uninstall");
        // What package managers and management tools run to remove the product unattended.
        if (whole)
            whole = FormatBounded(r->quietCommand, sizeof r->quietCommand, "\"%s\" uninstall /S", uninstaller);
        if (!whole) r->command[0] = r->quietCommand[0] = 0;
    }
    DisplayIcon(script, installFolder, uninstaller, r->icon);
    r->sizeKnown = ReadCount("CopiedFile", script) > 0;
    if (r->sizeKnown) r->sizeKiB = RecordedFilesKiB(script);
    ReadText("Setup", "Publisher", r->publisher, sizeof r->publisher, script);
    ReadText("Setup", "Version", r->version, sizeof r->version, script);
    return true;
}

DWORD RecordedFilesKiB(const char* scriptPath) {
    unsigned long long bytes = 0;
    ForEachCountedKey(scriptPath, "CopiedFile", false, [&](int, const char* path) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (M().AttributeData(path, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            bytes += ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
        return true;
    });
    unsigned long long kib = (bytes + 1023) / 1024;
    return kib > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)kib;
}

bool IsOwnUninstallCommand(const char* command, const char* installFolder) {
    char text[kPathSize], own[kPathSize];
    if (!command || !installFolder || !installFolder[0] || !CopyBounded(text, sizeof text, command)) return false;
    const char* program = UninstallCommandProgram(text);
    if (!program || !CopyBounded(own, sizeof own, installFolder) || !JoinPath(own, "Setup.exe")) return false;
    return lstrcmpiA(program, own) == 0;
}

RegistrationOwner RegistrationOwnerOf(const char* keyName, const char* installFolder) {
    char path[kPathSize];
    if (!IsSingleKeyName(keyName) || !CopyBounded(path, sizeof path, kUninstallKey) || !JoinPath(path, keyName))
        return RegistrationOwner::Other;
    if (!KeyIsThere(HKEY_LOCAL_MACHINE, path)) return RegistrationOwner::Absent;
    RegKey product;
    if (!product.Open(HKEY_LOCAL_MACHINE, path, KEY_READ)) return RegistrationOwner::Other;  // may hold anything
    char command[kPathSize];
    if (product.ReadText("UninstallString", command, sizeof command, nullptr))
        return IsOwnUninstallCommand(command, installFolder) ? RegistrationOwner::Own : RegistrationOwner::Other;
    char name[kPathSize];
    DWORD size = sizeof name;
    if (product.SubkeyName(0, name, sizeof name) == ERROR_NO_MORE_ITEMS &&
        product.ValueName(0, name, &size) == ERROR_NO_MORE_ITEMS)
        return RegistrationOwner::Empty;
    return RegistrationOwner::Other;
}

bool RecordedRegistration(const char* script, const CreatedFacts& facts, char* keyName, size_t cap) {
    keyName[0] = 0;
    switch (facts.source()) {
    case CreatedFacts::Source::NoRecord: return false;
    case CreatedFacts::Source::Older: ReadText("Root", "Name", keyName, cap, script); break;
    case CreatedFacts::Source::Facts:
        // A record with facts and none of this kind registered nothing.
        facts.ForEach(kUninstallFact, [&](const char* name) {
            if (!keyName[0]) CopyBounded(keyName, cap, name);
        });
        break;
    }
    return IsSingleKeyName(keyName);
}

bool MayRemoveSettingsKey(const CreatedFacts& facts, RootKind root, const char* path) {
    switch (facts.source()) {
    case CreatedFacts::Source::NoRecord: return false;
    case CreatedFacts::Source::Older: return true;
    case CreatedFacts::Source::Facts: break;
    }
    char fact[kPathSize];
    return RegistryFactText(root, path, nullptr, fact, sizeof fact) && !facts.Holds(kSettingsExistedFact, fact);
}

void RegisterUninstall() {
    const char* script = Script();
    TellSection("Uninstall registration (the list of installed programs)");
    RecordExistingSettingsKeys(script);
    CreatedList registered(kUninstallFact);
    RegisterProduct(script, &registered);
    registered.Write(script);
}

void RemoveProductKeys() {
    const char* script = Script();
    TellSection("Uninstall registration and the product's settings keys");
    char name[kValueSize];
    ReadText("Root", "Name", name, sizeof name, script);
    if (!IsSingleKeyName(name)) {  // empty or unusable: not even the settings keys
        TellNote("[Root] \"Name\" cannot name a key: nothing is removed");
        return;
    }
    CreatedFacts facts(script);
    char registered[kValueSize], folder[kPathSize], text[kKeyTextSize];
    ReadText("Root", "Named", folder, sizeof folder, script);
    // Only while the key still starts this install's uninstaller: another program may
    // have taken the name since.
    if (RecordedRegistration(script, facts, registered, sizeof registered)) {
        KeyText(RootKind::LocalMachine, kUninstallKey, text);
        ChildKeyText(text, registered, text);
        RegKey uninstall;
        const RegistrationOwner owner = RegistrationOwnerOf(registered, folder);
        if (owner == RegistrationOwner::Own) {
            if (uninstall.Open(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_CREATE_SUB_KEY) &&
                DeleteKeyTreeTold(uninstall.get(), registered, text))
                uninstall.Changed();
        } else if (owner != RegistrationOwner::Absent) {
            Tell(Outcome::Kept, "stays", text, "(its command does not start this install's Setup.exe)");
        }
    } else {
        TellNote("the record names no registration of its own: none is removed");
    }
    SettingsKeys keys;
    if (!ReadSettingsKeys(script, &keys)) return;
    char product[kPathSize], company[kPathSize];
    if (!SettingsKeyPath(keys, false, product, sizeof product) || !SettingsKeyPath(keys, true, company, sizeof company))
        return;
    for (RootKind kind : kSettingsRoots) {
        HKEY root = RootKeyOf(kind);
        KeyText(kind, product, text);
        if (MayRemoveSettingsKey(facts, kind, product)) {
            RegKey settings;
            if (settings.Open(root, keys.path, kTreeRights) && DeleteKeyTreeTold(settings.get(), keys.leaf, text))
                settings.Changed();
        } else if (KeyIsThere(root, product)) {
            Tell(Outcome::Kept, "stays", text, "(it was there before the product's first install)");
        }
        KeyText(kind, company, text);
        RegKey software;
        if (MayRemoveSettingsKey(facts, kind, company) && software.Open(root, "SOFTWARE", kTreeRights) &&
            DeleteKeyIfEmptyTold(software.get(), keys.company, text, "(left empty)"))
            software.Changed();
    }
}

bool ReadSettingsKeys(const char* script, SettingsKeys* keys) {
    *keys = SettingsKeys();
    char product[kValueSize];
    if (!ReadText("Registry", "Company", keys->company, sizeof keys->company, script)) return false;
    ReadText("Registry", "Name", product, sizeof product, script);
    if (!MayRemoveSettingsKeys(keys->company, product)) return false;
    CopyBounded(keys->path, sizeof keys->path, "SOFTWARE");
    CopyBounded(keys->leaf, sizeof keys->leaf, keys->company);
    if (product[0]) {
        if (!JoinPath(keys->path, keys->company)) return false;
        CopyBounded(keys->leaf, sizeof keys->leaf, product);
    }
    return true;
}

bool SettingsKeyPath(const SettingsKeys& keys, bool company, char* out, size_t cap) {
    bool whole = company ? CopyBounded(out, cap, "SOFTWARE") && JoinPath(out, keys.company, cap)
                         : CopyBounded(out, cap, keys.path) && JoinPath(out, keys.leaf, cap);
    if (!whole) out[0] = 0;
    return whole;
}

void WithdrawRegistration() {
    const char* script = Script();
    char name[kValueSize], folder[kPathSize];
    ReadText("Root", "Name", name, sizeof name, script);
    ReadText("Root", "Named", folder, sizeof folder, script);
    // Only a key that starts this install's uninstaller is this product's to take back.
    if (RegistrationOwnerOf(name, folder) != RegistrationOwner::Own) return;
    char text[kKeyTextSize];
    KeyText(RootKind::LocalMachine, kUninstallKey, text);
    ChildKeyText(text, name, text);
    RegKey uninstall;
    if (uninstall.Open(HKEY_LOCAL_MACHINE, kUninstallKey, kTreeRights) && DeleteKeyTreeTold(uninstall.get(), name, text))
        uninstall.Changed();
}
