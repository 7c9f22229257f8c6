#include "shell/shortcuts.h"

// Shortcut steps are not built yet; the run sequence already calls them in place.
void SetStartMenuShortcuts(HWND, const char*, bool) {}
void SetFolderShortcut(HWND, const char*, bool, const char*) {}
void SetSendToShortcuts(HWND, const char*, bool) {}
void RemoveStartMenuShortcuts(const char*) {}
