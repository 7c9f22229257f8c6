// Registry entries, the uninstall registration and file associations.
#pragma once
#include <windows.h>

void ApplyRegistryEntries(const char* scriptPath, bool make);
void RegisterUninstall();
void RemoveProductKeys();
void SetFileAssociations(HWND owner, bool make);
