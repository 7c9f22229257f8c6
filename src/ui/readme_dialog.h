// The ReadMe and agreement dialog (resource 102).
#pragma once
#include <windows.h>

INT_PTR CALLBACK ReadmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
