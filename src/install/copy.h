// Copying the product's files into the install folder, with the install record.
#pragma once
#include <windows.h>
#include "run/restart.h"

// The install folder's folders and the copy list into it, recorded as they go; the Copy
// and Delete-after boxes as the dialog had them. owner: the dialog, repainted at the end.
void CopyInstallFiles(HWND owner, const char* installFolder, bool copyBox, bool deleteBox);
class RecordList;
// Makes folder and its missing parents, recording each in list; returns the next number.
int MakeFolderTree(char* folder, int next, RecordList& list);
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
