// The uninstaller's removal of its own executable and folder.
#pragma once
#include <windows.h>

void StartSelfRemoval();
void RemoveSelf();
// The batch file that deletes exe, then its folder, then itself; false when cut.
bool FormatRemovalBatch(char* out, size_t cap, const char* exePath, const char* folder,
                        const char* batchPath);
