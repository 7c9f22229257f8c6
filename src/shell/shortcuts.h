// Start-menu, Send To, desktop and startup shortcuts.
#pragma once
#include <windows.h>

void SetStartMenuShortcuts(HWND dialog, const char* scriptPath, bool make);
void SetFolderShortcut(HWND owner, const char* scriptPath, bool make, const char* section);
void SetSendToShortcuts(HWND owner, const char* scriptPath, bool make);
// Removes the Start-menu shortcuts recorded in the record at recordPath.
void RemoveStartMenuShortcuts(const char* recordPath);
