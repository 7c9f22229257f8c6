// The main "Setup" dialog: set-up, commands and the install and uninstall runs.
#pragma once
#include <windows.h>
#include <stddef.h>

// What the Run command carries out: the install and uninstall runs of the program that
// opens the dialog, handed over as the dialog's parameter (DialogBoxParam), so that the
// dialog knows nothing of the steps.
struct MainDialogRuns {
    void (*install)(HWND dialog);
    void (*uninstall)(HWND dialog);
};
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void SetUpMainDialog(HWND dialog);
void BrowseInstallFolder(HWND dialog);
void ChooseMenuLocation(HWND dialog);
int CALLBACK SelectInitialFolder(HWND browser, UINT message, LPARAM lParam, LPARAM data);


// Joins name to path (260 bytes) unless the path's last component already is name.
void AppendFolderName(char* path, const char* name);
// The Start-menu location browser's title (260 bytes).
void FormatMenuLocationTitle(char* out, size_t cap, const char* menuName);
