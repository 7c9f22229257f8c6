// The one process-wide record through which the entry, the dialog and the steps talk.
#pragma once
#include <windows.h>
#include <string.h>
#include "script/script.h"

enum class Stage { Install, Installed, Uninstalled };

class Machine;
class Channel;
class Report;
class FileProgress;

// Cleared by the constructor: member initialisers would keep the whole record, buffers
// and all, as initialised data in the program.
struct RunState {
    RunState() {
        memset(this, 0, sizeof *this);
        readmeStartPage = -1;
    }
    char scriptPath[kPathSize];
    Stage stage;
    bool uninstallMode;
    bool restartNeeded;     // set by file copying, read by uninstaller placement
    bool removalAtRestart;  // set by the leftover listing
    int readmeStartPage;  // -1 install, -2 versionup, -3 uninstall
    HICON largeIcon;
    HICON smallIcon;
    RECT screenRect;
    HDC backdropDC;
    // The folder of a writable copy of the script, when the script itself could not be
    // written (read-only media); empty otherwise.
    char scriptCopyFolder[kPathSize];
    // The script beside the executable when the run works on a copy of it (empty when it
    // works on that script itself): as much the run's own as the copy, never removed by a
    // step, and the one the end of an uninstall deletes.
    char originalScript[kPathSize];
    // The Setup.exe the run places as the uninstaller (empty: this process's own).
    char program[kPathSize];
    bool readOnlySource;  // the script could not be written where it lies (a disc)
    // The executable runs from the install folder that its record names: only then does
    // the end of an uninstall remove the uninstaller and its record.
    bool selfRemovable;
    HINSTANCE instance;
    // The record of what an earlier install made in the chosen folder: during an install
    // the Setup.ini there (the script itself in the installed state), during an uninstall
    // the script. An option switched off removes only what this record says was made.
    char earlierRecord[kPathSize];
    // The restart questions are not asked (/NORESTART, and every unattended run).
    bool noRestartQuestion;
    // The run's steps began (a run with switches that never got there was cancelled).
    bool stepsStarted;
    // The sealed list of a Setup.exe that checks its folder before the install's first
    // step (null: no check); it stays in the program's resources.
    const char* seal;
    size_t sealSize;
    // The folder given on the command line, for the dialog's folder field.
    char givenFolder[kPathSize];
    // Where the steps act, ask and tell (null: the system, message boxes, sums only):
    // SetupTool's plan and the tests give their own.
    Machine* machine;
    Channel* channel;
    Report* report;
    FileProgress* progress;  // the dialog's bar or the progress-only window
};

RunState& Run();

// Shorthands for the script of this run.
inline const char* Script() { return Run().scriptPath; }
// The script beside the executable, whether the run works on it or on a copy.
inline const char* OriginalScript() { return Run().originalScript[0] ? Run().originalScript : Run().scriptPath; }
