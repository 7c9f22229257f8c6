// Placing the uninstaller and its record into the install folder.
#pragma once
#include <windows.h>

void PlaceUninstaller(HWND dialog);
// Appends the entries of section in the older record that the current one lacks.
void MergeRecordList(const char* olderRecord, const char* currentRecord, const char* section);
