// The uninstaller's removal of its own executable and folder.
#pragma once
#include <windows.h>

void StartSelfRemoval();
void RemoveSelf();
// The batch file that deletes exe, then its folder, then itself; false when cut. The
// paths are in the command processor's (OEM) code page; every "%" is doubled so that
// it is not taken for a variable.
bool FormatRemovalBatch(char* out, size_t cap, const char* exePath, const char* folder,
                        const char* batchPath);
// ANSI text converted to the code page the command processor reads batch files in;
// false when it does not fit or holds a character that page cannot express.
bool ToOemText(const char* ansi, char* out, size_t cap, UINT ansiCodePage, UINT oemCodePage);
