#include "install/choices.h"
#include "base/handles.h"
#include "base/text.h"
#include "registry/registry_parse.h"
#include "script/path_rules.h"
#include "script/paths.h"

namespace {
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
}  // namespace

bool FindEarlierInstall(const char* productName, char* folder) {
    folder[0] = 0;
    UniqueKey uninstall;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, uninstall.put()) != ERROR_SUCCESS)
        return false;
    UniqueKey product;
    // Opened, not created: a cancelled set-up must not leave an empty key behind.
    if (RegOpenKeyExA(uninstall.get(), productName, 0, KEY_READ, product.put()) != ERROR_SUCCESS)
        return false;
    char command[kPathSize];
    if (!QueryText(product.get(), "UninstallString", command, sizeof command, nullptr)) return false;
    // Quoted or not (registrations of before were not): only the uninstaller of this
    // installer beside an install record is an earlier install; a key of the same name
    // may be another program's.
    char* program = UninstallCommandProgram(command);
    char* bs = program ? FindLastBackslash(program) : nullptr;
    if (!bs || bs == program || lstrcmpiA(bs + 1, "Setup.exe") != 0) return false;
    *bs = 0;
    char record[kPathSize];
    if (!CopyBounded(record, sizeof record, program) || !JoinPath(record, "Setup.ini") ||
        ReadNumber("CopiedFile", "Count", 0, record) == 0)
        return false;
    return CopyBounded(folder, kPathSize, program);
}

int OfferedBoxMode(const char* script, const char* key, bool versionUp, const char* earlierRecord) {
    int mode = ReadNumber("Check", key, 0, script);
    if (versionUp && (mode == 1 || mode == 2)) mode = ReadNumber("Check", key, 0, earlierRecord) > 1 ? 2 : 1;
    return mode;
}

void ReadDialogChoices(const char* script, DialogChoices* c) {
    *c = DialogChoices();
    c->record = ReadNumber("CopiedFile", "Count", 0, script) != 0;
    char rootName[kValueSize];
    if (ReadText("Root", "Name", rootName, sizeof rootName, script)) {
        c->versionUp = FindEarlierInstall(LastComponent(rootName), c->earlierFolder);
        CopyBounded(c->installFolder, sizeof c->installFolder, c->earlierFolder);
    }
    if (!c->installFolder[0]) DefaultInstallFolder(rootName, nullptr, c->installFolder);
    // A record knows its folder itself: without a registration (taken back, or another
    // program's under the same name) the lookup above would name some other folder.
    char recordFolderNamed[kPathSize];
    DWORD n = c->record ? ReadText("Root", "Named", recordFolderNamed, sizeof recordFolderNamed, script) : 0;
    if (n > 0 && n < sizeof recordFolderNamed - 1)
        CopyBounded(c->installFolder, sizeof c->installFolder, recordFolderNamed);
    // As the dialog rewrites [Root] "Name": never in a record, the found name on a version-up.
    const char* name = rootName;
    if (!c->record && FindLastBackslash(c->installFolder))
        name = c->versionUp ? LastComponent(rootName) : LastComponent(c->installFolder);
    CopyBounded(c->rootName, sizeof c->rootName, name);
    c->rootNameWritten = !c->record && FindLastBackslash(c->installFolder);
    c->folderUsable = IsUsableInstallFolder(c->installFolder);
    // The record the dialog compares with: the earlier install's, or its own folder's.
    const char* recordFolder = c->record ? c->installFolder : c->versionUp ? c->earlierFolder : "";
    if (recordFolder[0]) {
        CopyBounded(c->earlierRecord, sizeof c->earlierRecord, recordFolder);
        JoinPath(c->earlierRecord, "Setup.ini");
    }
    // Run takes [Menu] "Change" as the location: on a version-up the earlier one.
    char named[kPathSize] = "";
    ReadText("Menu", "Change", named, sizeof named, script);
    char earlier[kPathSize];
    if (c->versionUp && ReadText("Menu", "Named", earlier, sizeof earlier, c->earlierRecord))
        CopyBounded(named, sizeof named, earlier);
    c->menuNamedSet = named[0] != 0;
    CopyBounded(c->menuNamed, sizeof c->menuNamed, named);

    static const char* const kKeys[kBoxCount] = {"Menu", "Desktop", "Startup", "Ext", "Send", "Copy", "Del"};
    static const char* const kLabels[kBoxCount] = {"Start menu", "desktop shortcut", "startup shortcut",
                                                   "file associations", "Send To", "copy of the Self file",
                                                   "delete after"};
    for (int i = 0; i < kBoxCount; ++i) {
        BoxChoice& box = c->boxes[i];
        box.key = kKeys[i];
        box.label = kLabels[i];
        bool leftColumn = i <= kBoxSend;
        box.mode = leftColumn ? OfferedBoxMode(script, box.key, c->versionUp, c->earlierRecord)
                              : ReadNumber("Check", box.key, 0, script);
    }
    if (c->record) {  // the installed state writes these before the boxes are set up
        c->boxes[kBoxCopy].mode = 1;
        c->boxes[kBoxDel].mode = 0;
    }
}

void ApplyDialogChoices(const DialogChoices& c, const char* script) {
    if (c.rootNameWritten) WriteText("Root", "Name", c.rootName, script);
    if (!c.versionUp) return;
    char named[kValueSize];
    if (ReadText("Menu", "Named", named, sizeof named, c.earlierRecord)) WriteText("Menu", "Change", named, script);
}

bool AcceptableInstallFolder(const char* folder, char* full) {
    full[0] = 0;
    char* name = nullptr;
    DWORD n = IsAbsolutePath(folder) ? GetFullPathNameA(folder, kPathSize, full, &name) : 0;
    if (n == 0 || n >= kPathSize) {
        full[0] = 0;
        return false;
    }
    char uninstaller[kPathSize];
    CopyBounded(uninstaller, sizeof uninstaller, full);
    return IsUsableInstallFolder(full) && JoinPath(uninstaller, "Setup.exe");
}
