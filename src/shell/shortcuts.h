// Start-menu, Send To, desktop and startup shortcuts: the steps the install and
// uninstall runs call. Each step makes its shortcuts with make on and removes them
// with make off, and records the option's state in [Check].
#pragma once
#include <windows.h>
#include "shell/shell_folders.h"

// [Menu0], [Menu1], ... in the Start-menu folder. The dialog owns the one warning
// box (the folder could not be made).
void SetStartMenuShortcuts(HWND dialog, const char* scriptPath, bool make);
// The one shortcut of section [Desktop] or [Startup] (word) in the special folder of
// that name, with its hotkey; [LastGo] word holds its path while it exists.
void SetFolderShortcut(HWND owner, const char* scriptPath, bool make, const char* word);
// [Send0], [Send1], ... in the Send To folder, sub-folders included.
void SetSendToShortcuts(HWND owner, const char* scriptPath, bool make);
// Deletes the Start-menu links listed in the record at recordPath, then the
// Start-menu folder if it is empty; folders named inside the entries stay.
void RemoveStartMenuShortcuts(const char* recordPath);
