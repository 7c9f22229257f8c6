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

void WriteProductValues(RegKey& product, const char* script) {
    char text[kPathSize];
    if (ReadText("Setup", "Name", text, sizeof text, script)) product.SetText("DisplayName", text);
    char folder[kPathSize], uninstaller[kPathSize] = "";
    if (ReadText("Root", "Named", folder, sizeof folder, script)) {
        CopyBounded(uninstaller, sizeof uninstaller, folder);
        if (!JoinPath(uninstaller, "Setup.exe")) uninstaller[0] = 0;  // a cut path names another program
    }
    if (uninstaller[0]) {
        // Never quoted: the earlier-install lookup takes the folder before the last backslash.
        char command[kPathSize];
        CopyBounded(command, sizeof command, uninstaller);
        if (ReadNumber("Del", "Auto", 0, script) == 0 || AppendBounded(command, sizeof command, " uninstall"))
            product.SetText("UninstallString", command);
    }
    SetOrClear(product, "InstallLocation", folder);
    DisplayIcon(script, folder, uninstaller, text);
    SetOrClear(product, "DisplayIcon", text);
    // The uninstaller offers neither a change nor a repair of the install.
    product.SetNumber("NoModify", 1);
    product.SetNumber("NoRepair", 1);
    if (ReadCount("CopiedFile", script) > 0)
        product.SetNumber("EstimatedSize", RecordedFilesKiB(script));
    else
        product.DeleteValue("EstimatedSize");
    ReadText("Setup", "Publisher", text, sizeof text, script);
    SetOrClear(product, "Publisher", text);
    ReadText("Setup", "Version", text, sizeof text, script);
    SetOrClear(product, "DisplayVersion", text);
}

}  // namespace

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
    char name[kValueSize];
    ReadText("Root", "Name", name, sizeof name, script);
    // The dialog leaves the last component of the folder here; anything else would
    // name the Uninstall key itself or a key below another product.
    if (!IsSingleKeyName(name)) return;
    RegKey product;
    if (!product.Create(uninstall.get(), name, KEY_SET_VALUE)) return;
    uninstall.Changed();
    WriteProductValues(product, script);
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
    char company[kValueSize], product[kValueSize];
    if (!ReadText("Registry", "Company", company, sizeof company, script)) return;
    ReadText("Registry", "Name", product, sizeof product, script);
    if (!MayRemoveSettingsKeys(company, product)) return;
    char path[kPathSize] = "SOFTWARE";
    const char* leaf = company;
    if (product[0]) {
        if (!JoinPath(path, company)) return;
        leaf = product;
    }
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (HKEY root : roots) {
        {
            RegKey settings;
            if (settings.Open(root, path, kTreeRights) && DeleteKeyTree(settings.get(), leaf)) settings.Changed();
        }
        RegKey software;
        if (software.Open(root, "SOFTWARE", kTreeRights) && DeleteKeyIfEmpty(software.get(), company))
            software.Changed();
    }
}
