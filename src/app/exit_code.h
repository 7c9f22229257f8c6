// How a run that was started with switches ends: its exit code, and the texts of its log.
//
// Pure code without a Windows header, so that it can be tested and fuzzed on any host.
#pragma once
#include <stddef.h>

// The codes package managers and management tools know.
enum ExitCode {
    kExitSuccess = 0,
    kExitRestarting = 1641,   // a restart was started to finish
    kExitCancelled = 1602,    // the Cancel button or a refused agreement
    kExitFailed = 1603,       // fatal or incomplete
    kExitBadArguments = 1639, // an unknown switch
    kExitRestartNeeded = 3010 // done, but a restart must finish it
};

// What a run came to.
struct RunEnd {
    bool cancelled = false;   // nothing was run: cancelled or refused
    bool fatal = false;       // the run could not start or could not finish
    int failed = 0;           // actions that failed
    bool restartPending = false;  // replacements or removals wait for the restart
    bool forceRestart = false;    // /FORCERESTART: the program restarts the system
};

int ChooseExitCode(const RunEnd& end);

// The default log's file name for a product: "Setup <name>.log", with the characters a
// file name may not hold replaced by '_' (and control characters dropped). Cut names stay
// valid: the result always ends in ".log". False only when cap is too small for that.
bool DefaultLogName(const char* productName, char* out, size_t cap);

// One log line of an action: "WORD  OBJECT  DETAIL" (the parts that are not empty), and
// for a failure "  (error N: TEXT)". Cut to cap, never past it.
void FormatActionLine(char* out, size_t cap, const char* word, const char* object, const char* detail,
                      unsigned long error, const char* errorText);
