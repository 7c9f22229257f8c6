// Copying the product's files into the install folder, with the install record.
#pragma once
#include <windows.h>
#include "install/restart.h"

void CopyInstallFiles(HWND dialog);
class RecordList;
// Makes folder and its missing parents, recording each in list; returns the next number.
int MakeFolderTree(char* folder, int next, RecordList& list);
// 2 when either file cannot be opened, else CompareFileTime(source, destination).
int CompareFileAge(const char* destination, const char* source);
// The destination of a copy-list path (its token expanded against the install folder)
// and its source (the source folder joined with the path as written), 260 bytes each;
// false when either had to be cut.
bool CopyEntryPaths(const char* path, const char* installFolder, const char* sourceFolder, char* destination,
                    char* source);
// A [MakeDirectory] folder below the install folder (260 bytes); false when it had to be
// cut or climbs out of the install folder.
bool ExtraFolderPath(const char* installFolder, const char* name, char* folder);
// Where the [CopyFile] "Self" file goes: the install folder joined with its file name.
bool SelfDestination(const char* installFolder, const char* self, char* destination);
// Copies source to an "RBT" temporary file beside destination and has it replace the
// destination at the next restart; None (and no temporary file left) when that failed.
RestartRoute CopyViaTemporaryFile(const char* source, char* destination);
