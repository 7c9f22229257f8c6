// The install and uninstall runs: every step in its fixed order. The dialog's runs give
// them its progress texts and pauses; SetupTool's plan (and an unattended run) give none.
#pragma once
#include <windows.h>
#include <string.h>
#include "install/choices.h"
#include "script/script.h"

// What an install run was asked for: the folder and the option boxes.
// Cleared by the constructor: member initialisers would keep an initialised copy in the program.
struct InstallRequest {
    InstallRequest() {
        memset(this, 0, sizeof *this);
        finalLaunch = true;
    }
    char installFolder[kPathSize];
    bool menu, desktop, startup, ext, send, copy, del;
    bool finalLaunch;  // an unattended run opens nothing for a user who is not there
};

// The dialog's side of a run: its label shows the progress, its controls go one by one
// with a pause after each step. A run without the dialog does none of it.
class RunPace {
public:
    virtual void Begin() {}  // the folder and the boxes are disabled
    virtual void Progress(const char*, const char*) {}
    virtual void Hide(int, bool) {}  // a control goes (with the pause after a step)
    virtual void Finish(const char*, const char*) {}  // the last text stays a second

protected:
    ~RunPace() = default;
};

// A run without the dialog: no progress texts, no pauses.
class NoPace final : public RunPace {};

// The request of a run without the dialog: the folder given, the boxes as the dialog
// offers them checked.
InstallRequest RequestFromChoices(const DialogChoices& choices, const char* installFolder);

// owner: the dialog, or none.
// False when a sealed setup's files are not as sealed (told; nothing done).
bool RunInstallSteps(HWND owner, const InstallRequest& request, RunPace& pace);
void RunUninstallSteps(HWND owner, const char* installFolder, RunPace& pace);

// The dialog's runs (its Run command).
void RunInstall(HWND dialog);
void RunUninstall(HWND dialog);
// The Start-menu shortcuts of the record in that folder (an earlier install).
void RemoveRecordedMenuShortcuts(const char* installFolder);
