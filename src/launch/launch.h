// Launch entries after an install and before an uninstall, and the final launch.
#pragma once
#include <windows.h>

// [Go2] prefix0, prefix1, ... up to the first missing or empty one: programs and
// documents started through the shell, library functions called, libraries checked.
// Failures to start warn at once (owner: dialog); failures of libraries are collected
// and shown at the end, one box per kind. A bare library name is taken from the system
// folder only, a complete path as it stands with its dependencies found beside it or in
// the system folder; any other name is refused. The folder Setup.exe was started from
// is never searched.
void RunLaunchEntries(HWND dialog, const char* prefix);

// At the end of an install: opens the [LastGo] shortcuts of the Start-menu folder in
// order, and the startup and desktop shortcuts when asked; deletes the one-time
// ("$") shortcuts after opening them.
void FinalLaunch();
