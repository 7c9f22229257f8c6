#include "app/backdrop.h"
#include "run/run_state.h"
#include "res/resource.h"
#include "base/handles.h"
#include "app/run_sequence.h"
#include "ui/main_dialog.h"

constexpr UINT_PTR kOpenDialogTimer = 1;

static void OnBackdropInit(HWND window) {
    const RunState& run = Run();
    SetTimer(window, kOpenDialogTimer, 2000, nullptr);
    if (run.backdropDC) {
        const RECT& r = run.screenRect;
        SetWindowPos(window, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_SHOWWINDOW);
        ShowWindow(window, SW_SHOW);
    }
}

static void OnBackdropTimer(HWND window, UINT_PTR id) {
    if (id != kOpenDialogTimer) return;
    KillTimer(window, kOpenDialogTimer);  // the dialog opens once
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    static const MainDialogRuns kRuns = {RunInstall, RunUninstall};
    INT_PTR result = DialogBoxParamA(Run().instance, MAKEINTRESOURCEA(IDD_SETUP), window, MainDialogProc,
                                     reinterpret_cast<LPARAM>(&kRuns));
    // Without a dialog nothing could ever end the loop.
    if (result == -1) PostQuitMessage(0);
}

static void OnBackdropPaint(HWND window) {
    RECT update;
    if (!GetUpdateRect(window, &update, FALSE) || IsRectEmpty(&update)) return;
    PaintScope paint(window);
    if (Run().backdropDC) {
        BitBlt(paint.dc(), update.left, update.top, update.right - update.left,
               update.bottom - update.top, Run().backdropDC, update.left, update.top, SRCCOPY);
    }
}

INT_PTR CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: OnBackdropInit(window); break;
    case WM_TIMER: OnBackdropTimer(window, wParam); break;
    case WM_PAINT: OnBackdropPaint(window); break;
    }
    return 0;
}

HWND CreateBackdropWindow(HINSTANCE instance) {
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_BACKDROP), nullptr, BackdropProc, 0);
}
