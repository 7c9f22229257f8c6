// The product's entry in the list of installed programs and, on uninstall, its
// removal together with the product's settings keys.
#include "app/run_state.h"
#include "base/text.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

constexpr char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The values beyond name and command are removed when this install has none, so
// that a version-up never keeps the text of the one before.
void SetOrClear(RegKey& key, const char* name, const char* text) {
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
    if (!ExpandPath(icon, installFolder, icon, true)) {
        icon[0] = 0;
        return;
    }
    int index = ReadNumber("Desktop", "IconNo", 0, script);
    if (index == 0) return;
    char suffix[16];
    FormatBounded(suffix, sizeof suffix, ",%d", index);
    if (!AppendBounded(icon, kPathSize, suffix)) icon[0] = 0;
}

void WriteProductValues(RegKey& product, const ProductRegistration& r) {
    if (r.displayName[0]) product.SetText("DisplayName", r.displayName);
    if (r.command[0]) product.SetText("UninstallString", r.command);
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
        // Never quoted: the earlier-install lookup takes the folder before the last backslash.
        CopyBounded(r->command, sizeof r->command, uninstaller);
        if (ReadNumber("Del", "Auto", 0, script) != 0 && !AppendBounded(r->command, sizeof r->command, " uninstall"))
            r->command[0] = 0;
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
        if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            bytes += ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
        return true;
    });
    unsigned long long kib = (bytes + 1023) / 1024;
    return kib > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)kib;
}

void RegisterUninstall() {
    const char* script = Script();
    RegKey version, uninstall;
    if (!version.Create(HKEY_LOCAL_MACHINE, kVersionKey, KEY_CREATE_SUB_KEY)) return;
    if (!uninstall.Create(version.get(), "Uninstall", KEY_CREATE_SUB_KEY)) return;
    version.Changed();
    char name[kValueSize], folder[kPathSize];
    ReadText("Root", "Name", name, sizeof name, script);
    ReadText("Root", "Named", folder, sizeof folder, script);
    ProductRegistration values;
    if (!ReadProductRegistration(script, name, folder, &values)) return;
    RegKey product;
    if (!product.Create(uninstall.get(), values.keyName, KEY_SET_VALUE)) return;
    uninstall.Changed();
    WriteProductValues(product, values);
}

void RemoveProductKeys() {
    const char* script = Script();
    char name[kValueSize];
    ReadText("Root", "Name", name, sizeof name, script);
    if (!IsSingleKeyName(name)) return;  // empty or unusable: not even the settings keys
    {
        RegKey uninstall;
        if (uninstall.Open(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_CREATE_SUB_KEY) &&
            DeleteKeyTree(uninstall.get(), name))
            uninstall.Changed();
    }
    SettingsKeys keys;
    if (!ReadSettingsKeys(script, &keys)) return;
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (HKEY root : roots) {
        {
            RegKey settings;
            if (settings.Open(root, keys.path, kTreeRights) && DeleteKeyTree(settings.get(), keys.leaf))
                settings.Changed();
        }
        RegKey software;
        if (software.Open(root, "SOFTWARE", kTreeRights) && DeleteKeyIfEmpty(software.get(), keys.company))
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
