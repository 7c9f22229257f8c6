// Launch entries after an install and before an uninstall, and the final launch.
#pragma once
#include <windows.h>
#include <stddef.h>

// [Go2] prefix0, prefix1, ... up to the first missing or empty one: programs and
// documents started through the shell (owner: dialog), library functions called,
// libraries checked, all through the run's machine. Failures to start warn at once;
// failures of libraries are collected and shown at the end, one message per kind. Each
// entry's outcome is told: "start", "check", "call", "fails", "refused". Programs are
// found as LaunchProgramPath says and start in the install folder ([Root] "Named"; the
// system folder when it is not there), which is also the current folder while the
// entries run. A bare library name is taken from the system folder only, a complete path
// as it stands with its dependencies found beside it or in the system folder; any other
// name is refused. The folder Setup.exe was started from is never searched.
void RunLaunchEntries(HWND dialog, const char* prefix);

// At the end of an install: opens the [LastGo] shortcuts of the Start-menu folder in
// order, and the startup and desktop shortcuts when asked; deletes the one-time
// ("$") shortcuts after opening them.
void FinalLaunch();

struct LaunchFields;
// A [Go2] value (read into kLaunchValueSize + 1 bytes, so that a longer one shows) as
// the step takes it: split into its fields, the target's folder tokens expanded, %root%
// to installFolder or, when that is null, to [Root] "Named" of the script.
void ReadLaunchEntry(const char* value, const char* script, const char* installFolder, LaunchFields* fields);
// The file or URL a shell-form program (as SplitProgram gives it, quotes and all) is
// started from, its environment variables replaced: a bare name from the system folder,
// then the Windows folder (ClassifyProgramName, FindBareProgram); a relative path with a
// folder below installFolder; a complete path or a URL as it stands. False, with path
// empty, for any other name and for a bare name found in neither folder: such a program
// is never started.
bool LaunchProgramPath(const char* program, const char* installFolder, char* path, size_t cap);
// The file a library name is loaded from: a bare name from the system folder, a complete
// path as it stands; false for any other name, which is refused.
bool LaunchLibraryPath(const char* name, char* path, size_t cap);

// The folders a bare program name is looked for in: the system folder and the Windows
// folder all users share (each kPathSize bytes; "" when it cannot be read).
void LaunchSearchFolders(char* system, char* windows);
// A shell-form program (as SplitProgram gives it) as the step looks for it: without its
// quotes, its environment variables replaced. False when it does not fit in cap.
bool LaunchProgramName(const char* program, char* name, size_t cap);
