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
// Copies source to an "RBT" temporary file beside destination and has it replace the
// destination at the next restart; None (and no temporary file left) when that failed.
RestartRoute CopyViaTemporaryFile(const char* source, char* destination);
