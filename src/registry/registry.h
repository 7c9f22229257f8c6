// Registry entries, the uninstall registration and file associations.
#pragma once
#include <windows.h>

// [Reg] "Make0", "Make1", ... (make) or "Erase0", "Erase1", ... of the script.
void ApplyRegistryEntries(const char* scriptPath, bool make);
// One entry each, cut in place while it is parsed; [Root] "Named" of the run's script
// is the install folder of the data.
void MakeRegistryEntry(char* entry);
void EraseRegistryEntry(char* entry);

// The product's key under ...\CurrentVersion\Uninstall, and its removal together
// with the settings keys SOFTWARE\<[Registry] Company>\<[Registry] Name>.
void RegisterUninstall();
void RemoveProductKeys();
// KiB of the files recorded in [CopiedFile] of the script, rounded up.
DWORD RecordedFilesKiB(const char* scriptPath);

// [Ext0], [Ext1], ... under HKEY_CLASSES_ROOT; the owner window is not used.
void SetFileAssociations(HWND owner, bool make);
