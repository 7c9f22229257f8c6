#include "ui/readme_dialog.h"

// Until the read-me pages are built the dialog shows its template and closes
// with 1 (setup may go on) on Enter, Escape or the close box.
INT_PTR CALLBACK ReadmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}
