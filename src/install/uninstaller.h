// Placing the uninstaller and its record into the install folder.
#pragma once
#include <windows.h>

void PlaceUninstaller(HWND dialog);
// Once the install folder exists, the run goes on with its record there, beside the
// uninstaller: an install ended at any moment leaves an uninstaller whose record lists
// every file copied so far. The record of an earlier install there is kept aside in the
// run's private folder (Run().earlierRecord), for the steps and for the merge at the end.
// Only a run on a private copy moves; false when it stays where it is.
bool MoveRecordIntoInstallFolder(const char* installFolder);
// Appends the entries of section in the older record that the current one lacks.
void MergeRecordList(const char* olderRecord, const char* currentRecord, const char* section);
