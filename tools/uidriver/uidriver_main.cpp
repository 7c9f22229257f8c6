// Command-line UI driver for scripts: waits for, reads and clicks dialogs by caption,
// and takes screenshots.
//   uidriver wait CAPTION MS [ID]     exit 0 when a dialog with that caption (and control) shows
//   uidriver click CAPTION ID         press a button of the dialog with that caption and control
//   uidriver text CAPTION ID          print a control's text (UTF-8)
//   uidriver screenshot FILE.bmp      save the screen
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "ui_driver.h"

struct Wanted {
    std::wstring caption;
    int id;  // a control the dialog must have; 0: any dialog
    HWND found;
};

static BOOL CALLBACK Visit(HWND window, LPARAM param) {
    Wanted* w = reinterpret_cast<Wanted*>(param);
    wchar_t cls[16];
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(window) || ui::Text(window) != w->caption) return TRUE;
    if (w->id && !GetDlgItem(window, w->id)) return TRUE;
    w->found = window;
    return FALSE;
}

// A visible dialog with that caption; with id, one that has that control (the main
// dialog and the read-me share their caption).
static HWND FindByCaption(const char* caption, int id = 0) {
    Wanted w{ui::Widen(caption, CP_UTF8), id, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&w));
    return w.found;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: uidriver wait|click|text|screenshot ...\n");
        return 2;
    }
    const char* verb = argv[1];
    if (lstrcmpA(verb, "screenshot") == 0) return ui::SaveScreenshot(argv[2]) ? 0 : 1;
    if (argc < 4) return 2;
    if (lstrcmpA(verb, "wait") == 0) {
        HWND found = nullptr;
        int id = argc > 4 ? atoi(argv[4]) : 0;
        bool ok = ui::WaitUntil([&] { return (found = FindByCaption(argv[2], id)) != nullptr; }, (DWORD)atoi(argv[3]));
        return ok ? 0 : 1;
    }
    HWND dialog = FindByCaption(argv[2], atoi(argv[3]));
    if (!dialog) return 1;
    if (lstrcmpA(verb, "click") == 0) {
        ui::Click(dialog, atoi(argv[3]));
        return 0;
    }
    if (lstrcmpA(verb, "text") == 0) {
        printf("%s\n", ui::Narrow(ui::ItemText(dialog, atoi(argv[3]))).c_str());
        return 0;
    }
    return 2;
}
