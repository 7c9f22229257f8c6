#include "tool/choices.h"
#include "base/text.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "ui/main_dialog.h"

void ReadDialogChoices(const char* script, DialogChoices* c) {
    *c = DialogChoices();
    c->record = ReadNumber("CopiedFile", "Count", 0, script) != 0;
    char rootName[kValueSize];
    if (ReadText("Root", "Name", rootName, sizeof rootName, script)) {
        c->versionUp = FindEarlierInstall(LastComponent(rootName), c->earlierFolder);
        CopyBounded(c->installFolder, sizeof c->installFolder, c->earlierFolder);
    }
    if (!c->installFolder[0]) DefaultInstallFolder(rootName, nullptr, c->installFolder);
    // As the dialog rewrites [Root] "Name": never in a record, the found name on a version-up.
    const char* name = rootName;
    if (!c->record && FindLastBackslash(c->installFolder))
        name = c->versionUp ? LastComponent(rootName) : LastComponent(c->installFolder);
    CopyBounded(c->rootName, sizeof c->rootName, name);
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
