// Replacement and deletion of files at the next restart of Windows.
#pragma once
#include <windows.h>
#include <stddef.h>

// With a target: path replaces target at restart; without: path is deleted at restart.
// On the WinInit.Ini route both buffers (260 bytes) are rewritten to their short form.
BOOL ReplaceAtRestart(char* path, char* target);
// The WinInit.Ini route alone, against the given instruction file.
void WriteRenameInstruction(const char* iniPath, char* path, char* target);
bool IsDirectory(const char* path);
