// The main dialog's set-up: labels, caption, icon, install folder, earlier install,
// installed state, option boxes in their modes and the rows they leave out.
#include "ui/main_dialog.h"
#include <shellapi.h>
#include <string.h>
#include "run/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "res/resource.h"
#include "script/paths.h"
#include "script/script.h"
#include "install/choices.h"
#include "ui/dialog_items.h"

using namespace dialog_items;

namespace {

const int kLeftColumn[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO};

void MoveBy(HWND dialog, int id, int dy, bool repaint) {
    RECT r = ClientRectOf(dialog, id);
    MoveWindow(Item(dialog, id), r.left, r.top + dy, r.right - r.left, r.bottom - r.top, repaint);
}

// parent: the dialog for a control, null for the dialog itself.
void ShortenBy(HWND window, int dy, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top - dy, FALSE);
}

void SetEnglishLabels(HWND dialog) {
    static const struct {
        int id;
        const char* text;
    } labels[] = {
        {IDC_HEADING, "&Folder to install..."}, {IDC_MENU, "&Menu"},
        {IDC_SHORTCUT, "Short&Cut"},            {IDC_STARTUP, "&Startup"},
        {IDC_EXT, "Relate to &Ext."},           {IDC_SENDTO, "Send &To"},
        {IDC_COPY, "Co&py"},                    {IDC_DELETE_AFTER, "&Delete after..."},
        {IDC_RUN, "OK"},                        {IDC_CANCEL, "Cancel"},
        {IDC_README, "Readme"},
    };
    for (const auto& label : labels) SetDlgItemTextA(dialog, label.id, label.text);
}

// A handle the system really made: some systems answer a missing file with a count of
// -1 and leave garbage in the handles.
bool IsIcon(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return false;
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return true;
}

void SetUpIcon(HWND dialog) {
    char iconFile[kValueSize];
    if (!ReadText("Desktop", "Icon", iconFile, sizeof iconFile, Script())) return;
    int index = ReadNumber("Check", "IconNo", 0, Script());
    HICON large = nullptr, small = nullptr;
    UINT found = PathExists(iconFile) ? ExtractIconExA(iconFile, index, &large, &small, 1) : 0;
    if (found == 0 || found == (UINT)-1 || !IsIcon(large)) {
        // An icon named but not found is the program's own: the dialog's class must never
        // be given a handle that is none.
        large = LoadIconA(Run().instance, MAKEINTRESOURCEA(IDI_SETUP));
        small = nullptr;
        if (!large) return;
    }
    if (!IsIcon(small)) small = large;
    Run().largeIcon = large;
    Run().smallIcon = small;
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)large);
}

// The mode of an option box; returns whether its row was removed.
bool ApplyBoxMode(HWND dialog, int id, int mode) {
    switch (mode) {
    case 0: Show(dialog, id, false); return true;
    case 1: Show(dialog, id, true); return false;
    case 2: Show(dialog, id, true); Check(dialog, id); return false;
    case 3: Check(dialog, id); Show(dialog, id, false); return true;
    }
    return false;
}

struct SetUpState {
    bool versionUp = false;
    char earlierRecord[kPathSize] = "";
    int rowPitch = 0;
    int rowsRemoved = 0;
    int shrinkLimit = 2;
    bool groupUsed = false;
};

void SetUpInstalledState(HWND dialog, SetUpState& s) {
    const char* script = Script();
    Run().stage = Stage::Installed;
    WriteText("Check", "Copy", "1", script);
    WriteText("Check", "Del", "0", script);
    Show(dialog, IDC_BROWSE, false);
    Run().readmeStartPage = -3;
    SetDlgItemTextA(dialog, IDC_HEADING, Msg("Installed", "インストール済です．"));
    RECT copy = ClientRectOf(dialog, IDC_COPY);
    RECT menu = ClientRectOf(dialog, IDC_MENU);
    MoveWindow(Item(dialog, IDC_COPY), copy.left, menu.top, copy.right - copy.left,
               menu.bottom - menu.top, FALSE);
    Show(dialog, IDC_FILE_GROUP, false);
    SetDlgItemTextA(dialog, IDC_COPY, Msg("Uninstall", "アンインストール"));
    if (ReadNumber("Del", "Auto", 0, script) == 0 && ReadNumber("Del", "Checked", 0, script) != 0) {
        Check(dialog, IDC_COPY);
        PostCommand(dialog, IDC_COPY);
    }
    SendDlgItemMessageA(dialog, IDC_FOLDER, EM_SETREADONLY, TRUE, 0);
    s.shrinkLimit = 4;
    WriteText("Setup", "Auto", "0", script);
}

void SetUpScriptState(HWND dialog, const SetUpState& s) {
    char self[kValueSize];
    if (ReadText("CopyFile", "Self", self, sizeof self, Script())) {
        SetDlgItemTextA(dialog, IDC_FILE_GROUP, LastComponent(self));
    } else {
        SetDlgItemTextA(dialog, IDC_FILE_GROUP, Msg("Installer", "インストーラー"));
    }
    if (s.versionUp) {
        Run().readmeStartPage = -2;
        SetDlgItemTextA(dialog, IDC_HEADING, Msg("&Folder to version up", "(&F)バージョンアップ先"));
    }
}

void SetUpReadmeButton(HWND dialog) {
    const char* script = Script();
    int done = ReadNumber("Readme", "Done", 0, script);
    bool agreement = ReadNumber("Go", "Agree", 0, script) != 0;
    // An automatic run skips the read-me, but never an agreement the script asks for:
    // the run only starts once the user has agreed.
    bool automatic = ReadNumber("Setup", "Auto", 0, script) != 0;
    if (done == 0) {
        Show(dialog, IDC_README, false);
    } else if (done == 2 && (!automatic || agreement) && !Run().uninstallMode) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_README, 0), 0);
    }
    if (agreement) {
        WriteText("Readme", "Done", "1", script);
        Show(dialog, IDC_README, false);
    }
}

void SetUpLeftColumn(HWND dialog, SetUpState& s, const DialogChoices& c) {
    const char* script = Script();
    const int count = (int)(sizeof kLeftColumn / sizeof kLeftColumn[0]);
    for (int i = 0; i < count; ++i) {
        int id = kLeftColumn[i];
        if (id == IDC_MENU && s.versionUp) {
            char named[kValueSize];
            if (ReadText("Menu", "Named", named, sizeof named, s.earlierRecord))
                WriteText("Menu", "Change", named, script);
        }
        int mode = c.boxes[kBoxMenu + i].mode;
        bool removed = ApplyBoxMode(dialog, id, mode);
        if (id == IDC_MENU && mode >= 0 && mode <= 3) Show(dialog, IDC_LOCATION, mode == 2);
        if (removed) {
            ++s.rowsRemoved;
            for (int below = i + 1; below < count; ++below)
                MoveBy(dialog, kLeftColumn[below], -s.rowPitch, false);
        }
    }
}

void SetUpFileGroup(HWND dialog, SetUpState& s) {
    const char* script = Script();
    bool installed = Run().stage == Stage::Installed;
    HWND group = Item(dialog, IDC_FILE_GROUP);
    int copyMode = ReadNumber("Check", "Copy", 0, script);
    ApplyBoxMode(dialog, IDC_COPY, copyMode);
    if (copyMode == 1 || copyMode == 2) s.groupUsed = true;
    if ((copyMode == 0 || copyMode == 3) && !installed) {
        ++s.shrinkLimit;
        MoveBy(dialog, IDC_DELETE_AFTER, -s.rowPitch, false);
        ShortenBy(group, s.rowPitch, dialog);
    }
    if (Run().uninstallMode) {
        Check(dialog, IDC_COPY);
        PostCommand(dialog, IDC_COPY);
    }
    int delMode = ReadNumber("Check", "Del", 0, script);
    ApplyBoxMode(dialog, IDC_DELETE_AFTER, delMode);
    if (delMode == 1 || delMode == 2) s.groupUsed = true;
    if ((delMode == 0 || delMode == 3) && !installed) {
        ++s.shrinkLimit;
        ShortenBy(group, s.rowPitch, dialog);
    }
    if (!s.groupUsed) {
        Show(dialog, IDC_FILE_GROUP, false);
        s.shrinkLimit = 5;
    }
}

void SetUpFinalSize(HWND dialog, const SetUpState& s) {
    int n = s.rowsRemoved < s.shrinkLimit ? s.rowsRemoved : s.shrinkLimit;
    static const int buttons[] = {IDC_RUN, IDC_CANCEL, IDC_README, IDC_ICON_FRAME};
    if (ReadNumber("Setup", "Auto", 0, Script()) != 0) {
        for (int id : buttons) Show(dialog, id, false);
        Show(dialog, IDC_BROWSE, false);
        ShortenBy(dialog, (n + 1) * s.rowPitch, nullptr);
        PostCommand(dialog, IDC_RUN);
    } else {
        for (int id : buttons) MoveBy(dialog, id, -n * s.rowPitch, false);
        ShortenBy(dialog, n * s.rowPitch, nullptr);
    }
}

}  // namespace

void SetUpMainDialog(HWND dialog) {
    const char* script = Script();
    if (!UseJapanese()) SetEnglishLabels(dialog);
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    char name[kValueSize];
    if (!ReadText("Setup", "Name", name, sizeof name, script)) CopyBounded(name, sizeof name, "Install");
    SetWindowTextA(dialog, name);
    SetUpIcon(dialog);

    // The folder, an earlier install and the box modes, as SetupTool's plan takes them too.
    DialogChoices c;
    ReadDialogChoices(script, &c);
    SetUpState s;
    s.versionUp = c.versionUp;
    CopyBounded(s.earlierRecord, sizeof s.earlierRecord, c.earlierRecord);
    // [Root] "Name" names the product's key in the list of installed programs: an install
    // record keeps the name its install registered, and a version-up the name its earlier
    // install was found by, whatever its folder is called.
    if (c.rootNameWritten) WriteText("Root", "Name", c.rootName, script);
    // A folder given on the command line replaces the offered one (not an install's own).
    const char* folder = Run().givenFolder[0] && !c.record ? Run().givenFolder : c.installFolder;
    SetDlgItemTextA(dialog, IDC_FOLDER, folder);

    if (c.record) {
        SetUpInstalledState(dialog, s);
    } else {
        SetUpScriptState(dialog, s);
    }
    SetUpReadmeButton(dialog);
    RECT menu{}, shortcut{};
    GetWindowRect(Item(dialog, IDC_MENU), &menu);
    GetWindowRect(Item(dialog, IDC_SHORTCUT), &shortcut);
    s.rowPitch = shortcut.top - menu.top;
    SetUpLeftColumn(dialog, s, c);
    SetUpFileGroup(dialog, s);
    SetUpFinalSize(dialog, s);
    SetFocus(Item(dialog, IDC_RUN));
}
