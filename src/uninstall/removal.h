// Removal of the installed files and folders, and the list of what is left. Both act
// through the run's machine and tell each decision to the run's report.
#pragma once
#include <windows.h>
#include <stddef.h>

// One file into the recycle bin, never a folder nor a path longer than a path: 0 when it
// went, else why not (the shell's code).
DWORD ShellDeleteFile(const char* path);
void RemoveInstalledFiles();
// Total length of what is still there (each path + 1). Without a buffer each path is
// told ("left"; the run counts once, then lists); with one, appends each path and "\n"
// to its text and schedules it when [Del] "Reboot" is set.
size_t ListRemainingFiles(char* buffer, size_t cap);
