// Removal of the installed files and folders, and the list of what is left.
#pragma once
#include <windows.h>
#include <stddef.h>

void ShellDeleteFile(const char* path);
void RemoveInstalledFiles();
// Total length of what is still there (each path + 1); with a buffer, appends each
// path and "\n" to its text and schedules it when [Del] "Reboot" is set.
size_t ListRemainingFiles(char* buffer, size_t cap);
