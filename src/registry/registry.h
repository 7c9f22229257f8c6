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

// Paths below HKEY_CLASSES_ROOT (or base) as texts: the last component names a value
// ("" the default value, so a trailing backslash), the ones before it keys.
// Each returns 1 on success, 0 otherwise.
int SetClassesValue(const char* path, const char* data, HKEY base = nullptr);
// These cut path in place: DeleteClassesValue at its last backslash, DeleteClassesKey
// at its first; a path without one is emptied on success.
int DeleteClassesValue(char* path);
int DeleteClassesKey(char* path);
// Deletes the value, then the key that held it and its parents up to the top-level
// key, stopping at the first that cannot go. keepTopKey stops below the top-level key.
int DeleteClassesValueAndKeys(char* path, bool keepTopKey = false);
