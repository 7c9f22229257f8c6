// What the main dialog offers on this machine before the user changes anything: the
// install folder, an earlier install, the option boxes, the Start-menu location. Read
// only: it looks at the registry and the script, and writes nowhere. The dialog's set-up
// and SetupTool's plan both take their choices from here.
#pragma once
#include <windows.h>
#include "script/script.h"

struct BoxChoice {
    const char* key;    // the [Check] key
    const char* label;  // how the plan names it
    int mode;           // as the dialog applies it (a version-up may change 1 and 2)
    bool checked() const { return mode == 2 || mode == 3; }
    bool offered() const { return mode == 1 || mode == 2; }
};

enum BoxIndex { kBoxMenu, kBoxDesktop, kBoxStartup, kBoxExt, kBoxSend, kBoxCopy, kBoxDel, kBoxCount };

struct DialogChoices {
    bool record = false;     // the script is an install record (installed state)
    bool versionUp = false;  // an earlier install of the product is registered
    char earlierFolder[kPathSize] = "";
    char earlierRecord[kPathSize] = "";
    char installFolder[kPathSize] = "";  // the folder field
    char rootName[kValueSize] = "";      // [Root] "Name" once the dialog has set it
    bool rootNameWritten = false;        // the set-up writes rootName into the script
    bool folderUsable = false;           // Run accepts the folder
    bool menuNamedSet = false;           // [Menu] "Named" after Run takes the location
    char menuNamed[kPathSize] = "";
    BoxChoice boxes[kBoxCount] = {};
};

// The choices for the script at scriptPath, as the dialog's set-up makes them (it then
// applies them to its controls and writes what it writes).
void ReadDialogChoices(const char* scriptPath, DialogChoices* choices);

// The folder of an earlier install of productName registered under ...\Uninstall (260
// bytes): its "UninstallString" up to the last backslash, when that names this
// installer's Setup.exe beside an install record. Reads only; false when there is none.
bool FindEarlierInstall(const char* productName, char* folder);
// The mode of an option box's [Check] key as the dialog applies it: on a version-up a
// box offered (1 or 2) is checked when the earlier install had it made (above 1).
int OfferedBoxMode(const char* script, const char* key, bool versionUp, const char* earlierRecord);

// What the dialog's set-up writes into the script before Run, for a run without the
// dialog (an unattended run, SetupTool's plan): the product key's name and, on a
// version-up, the earlier Start-menu location.
void ApplyDialogChoices(const DialogChoices& choices, const char* script);

// The folder an install may use, as the dialog's Run and an unattended run check it: a
// complete folder that is not a drive root, with room for the uninstaller's name beside
// the product. full (kPathSize bytes) gets the folder in its complete form.
bool AcceptableInstallFolder(const char* folder, char* full);
