// The user's special folders from the Shell Folders key, and the Start-menu folder.
#pragma once
#include <windows.h>
#include <stddef.h>

// Reads one value of HKCU "...\Explorer\Shell Folders" ("Programs", "SendTo",
// "Desktop", "Startup", ...) into out (260 bytes). False, with out empty, when the
// key or the value cannot be read or the value is empty.
bool ReadShellFolder(const char* valueName, char* out);

// The Start-menu folder of a script or record: [Menu] "Named" when set, else the
// Programs folder joined with [Menu] "Name". Both outputs (260 bytes) are emptied
// first; startMenu stays empty when it cannot be determined (or would not fit),
// programs when the Programs folder cannot be read.
void FindStartMenuFolder(const char* scriptPath, char* startMenu, char* programs);
// The same from the values themselves: named is [Menu] "Named" (null when absent: a
// present but empty value counts as absent), menuName [Menu] "Name".
void StartMenuFolderOf(const char* named, const char* menuName, char* startMenu, char* programs);
// The link of a [MenuN] "Name": in the Start-menu folder, or beside the product's folder
// in the Programs folder for a name starting with a backslash (260 bytes); false when
// the name is not usable or the path does not fit.
bool StartMenuLinkPath(const char* startMenu, const char* programs, const char* name, char* linkPath);

// Whether two folder paths are the same, ignoring letter case and one trailing backslash.
bool SameFolder(const char* a, const char* b);
