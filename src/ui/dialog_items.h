// Small helpers over the main dialog's controls, shared by its set-up, commands and runs.
#pragma once
#include <windows.h>

namespace dialog_items {

inline HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

inline bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

inline void Check(HWND dialog, int id) { CheckDlgButton(dialog, id, BST_CHECKED); }

inline void Show(HWND dialog, int id, bool visible) {
    ShowWindow(Item(dialog, id), visible ? SW_SHOW : SW_HIDE);
}

inline void PostCommand(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// A control's rectangle in the dialog's client coordinates.
inline RECT ClientRectOf(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(Item(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline void RepaintNow(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

}  // namespace dialog_items
