// Start-menu, Send To, desktop and startup shortcuts: the steps the install and
// uninstall runs call. Each step makes its shortcuts with make on and removes them
// with make off, and records the option's state in [Check]. Only the product's own
// links are written over or removed: those the record of the earlier install
// (Run().earlierRecord) lists and that still hold what its entries wrote. Each step
// writes what it made into the script's facts, tells each decision to the run's report
// and asks through the run's channel; the window parameter is kept for the callers.
#pragma once
#include <windows.h>
#include "shell/shell_folders.h"

// [Menu0], [Menu1], ... in the Start-menu folder. Warnings: the folder could not be
// made; links left to another program (one a step).
void SetStartMenuShortcuts(HWND dialog, const char* scriptPath, bool make);
// The one shortcut of section [Desktop] or [Startup] (word) in the special folder of
// that name, with its hotkey; [LastGo] word holds its path while it exists.
void SetFolderShortcut(HWND owner, const char* scriptPath, bool make, const char* word);
// [Send0], [Send1], ... in the Send To folder, sub-folders included.
void SetSendToShortcuts(HWND owner, const char* scriptPath, bool make);
// Deletes the Start-menu links that the record at recordPath says its install made,
// then the Start-menu folder if that install made it and it is empty; folders named
// inside the entries stay. Told as the uninstall's own when the record is the run's
// script, else as the earlier install's, removed before an install.
void RemoveStartMenuShortcuts(const char* recordPath);
