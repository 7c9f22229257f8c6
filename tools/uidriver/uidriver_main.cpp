// Command-line UI driver for scripts: waits for, reads and clicks dialogs by caption,
// and takes screenshots.
//   uidriver wait CAPTION MS          exit 0 when a dialog with that caption shows
//   uidriver click CAPTION ID         press a button of that dialog
//   uidriver text CAPTION ID          print a control's text (UTF-8)
//   uidriver screenshot FILE.bmp      save the screen
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "ui_driver.h"

static HWND FindByCaption(const char* caption) {
    return FindWindowW(L"#32770", ui::Widen(caption, CP_UTF8).c_str());
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
        bool ok = ui::WaitUntil([&] { return (found = FindByCaption(argv[2])) && IsWindowVisible(found); },
                                (DWORD)atoi(argv[3]));
        return ok ? 0 : 1;
    }
    HWND dialog = FindByCaption(argv[2]);
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
