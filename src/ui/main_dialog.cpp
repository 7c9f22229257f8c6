#include "ui/main_dialog.h"
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>
#include "app/run_state.h"
#include "install/copy.h"
#include "install/restart.h"
#include "install/uninstaller.h"
#include "launch/launch.h"
#include "registry/registry.h"
#include "res/resource.h"
#include "script/handles.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/text.h"
#include "shell/shortcuts.h"
#include "ui/readme_dialog.h"
#include "uninstall/removal.h"

namespace {

// Posted instead of ending at once, so that commands already posted go first.
constexpr UINT kCloseMessage = WM_APP + 1;
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

const int kLeftColumn[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO};
const char* const kLeftColumnKeys[] = {"Menu", "Desktop", "Startup", "Ext", "Send"};
const int kOptionControls[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO, IDC_LOCATION};

bool g_runStarted = false;

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Check(HWND dialog, int id) { CheckDlgButton(dialog, id, BST_CHECKED); }

void Show(HWND dialog, int id, bool visible) {
    ShowWindow(Item(dialog, id), visible ? SW_SHOW : SW_HIDE);
}

void PostCommand(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// A control's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(Item(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

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

void Pause() { Sleep(500); }

void SetProgress(HWND dialog, const char* english, const char* japanese) {
    SetDlgItemTextA(dialog, IDC_HEADING, Msg(english, japanese));
    UpdateWindow(dialog);
}

void HideAndPause(HWND dialog, int id) {
    Show(dialog, id, false);
    UpdateWindow(dialog);
    Pause();
}

void RepaintNow(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

void Close(HWND dialog) { PostMessageA(dialog, kCloseMessage, 0, 0); }

// ---- set-up -------------------------------------------------------------------

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

void SetUpIcon(HWND dialog) {
    char iconFile[kValueSize];
    if (!ReadText("Desktop", "Icon", iconFile, sizeof iconFile, Script())) return;
    int index = ReadNumber("Check", "IconNo", 0, Script());
    HICON large = nullptr, small = nullptr;
    if (ExtractIconExA(iconFile, index, &large, &small, 1) == 0 || !large) return;
    Run().largeIcon = large;
    Run().smallIcon = small;
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)large);
}

// The folder of an earlier registered install; false when there is none.
bool FindEarlierInstall(const char* productName, char* folder) {
    folder[0] = 0;
    UniqueKey uninstall;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, uninstall.put()) != ERROR_SUCCESS)
        return false;
    UniqueKey product;
    // Opened, not created: a cancelled set-up must not leave an empty key behind.
    if (RegOpenKeyExA(uninstall.get(), productName, 0, KEY_READ, product.put()) != ERROR_SUCCESS)
        return false;
    if (!QueryText(product.get(), "UninstallString", folder, kPathSize, nullptr)) return false;
    char* bs = FindLastBackslash(folder);
    if (!bs) {
        folder[0] = 0;
        return false;
    }
    *bs = 0;
    return true;
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

void SetUpInstalledState(HWND dialog, SetUpState& s, const char* folder) {
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
    CopyBounded(s.earlierRecord, sizeof s.earlierRecord, folder);
    JoinPath(s.earlierRecord, "Setup.ini");
    WriteText("Setup", "Auto", "0", script);
}

void SetUpScriptState(HWND dialog, SetUpState& s, const char* earlierFolder) {
    char self[kValueSize];
    if (ReadText("CopyFile", "Self", self, sizeof self, Script())) {
        SetDlgItemTextA(dialog, IDC_FILE_GROUP, LastComponent(self));
    } else {
        SetDlgItemTextA(dialog, IDC_FILE_GROUP, Msg("Installer", "インストーラー"));
    }
    if (s.versionUp) {
        Run().readmeStartPage = -2;
        SetDlgItemTextA(dialog, IDC_HEADING, Msg("&Folder to version up", "(&F)バージョンアップ先"));
        CopyBounded(s.earlierRecord, sizeof s.earlierRecord, earlierFolder);
        JoinPath(s.earlierRecord, "Setup.ini");
    }
}

void SetUpReadmeButton(HWND dialog) {
    const char* script = Script();
    int done = ReadNumber("Readme", "Done", 0, script);
    if (done == 0) {
        Show(dialog, IDC_README, false);
    } else if (done == 2 && ReadNumber("Setup", "Auto", 0, script) == 0 && !Run().uninstallMode) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_README, 0), 0);
    }
    if (ReadNumber("Go", "Agree", 0, script) != 0) {
        WriteText("Readme", "Done", "1", script);
        Show(dialog, IDC_README, false);
    }
}

void SetUpLeftColumn(HWND dialog, SetUpState& s) {
    const char* script = Script();
    const int count = (int)(sizeof kLeftColumn / sizeof kLeftColumn[0]);
    for (int i = 0; i < count; ++i) {
        int id = kLeftColumn[i];
        int mode = ReadNumber("Check", kLeftColumnKeys[i], 0, script);
        if (id == IDC_MENU && s.versionUp) {
            char named[kValueSize];
            if (ReadText("Menu", "Named", named, sizeof named, s.earlierRecord))
                WriteText("Menu", "Change", named, script);
        }
        if (s.versionUp && (mode == 1 || mode == 2))
            mode = ReadNumber("Check", kLeftColumnKeys[i], 0, s.earlierRecord) > 1 ? 2 : 1;
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

    SetUpState s;
    char folder[kPathSize] = "";
    char earlierFolder[kPathSize] = "";
    char rootName[kValueSize];
    if (ReadText("Root", "Name", rootName, sizeof rootName, script)) {
        s.versionUp = FindEarlierInstall(LastComponent(rootName), earlierFolder);
        CopyBounded(folder, sizeof folder, earlierFolder);
    }
    if (!folder[0]) DefaultInstallFolder(rootName, dialog, folder);
    if (FindLastBackslash(folder)) WriteText("Root", "Name", LastComponent(folder), script);
    SetDlgItemTextA(dialog, IDC_FOLDER, folder);

    if (ReadNumber("CopiedFile", "Count", 0, script) != 0) {
        SetUpInstalledState(dialog, s, folder);
    } else {
        SetUpScriptState(dialog, s, earlierFolder);
    }
    SetUpReadmeButton(dialog);
    RECT menu{}, shortcut{};
    GetWindowRect(Item(dialog, IDC_MENU), &menu);
    GetWindowRect(Item(dialog, IDC_SHORTCUT), &shortcut);
    s.rowPitch = shortcut.top - menu.top;
    SetUpLeftColumn(dialog, s);
    SetUpFileGroup(dialog, s);
    SetUpFinalSize(dialog, s);
    SetFocus(Item(dialog, IDC_RUN));
}

// ---- folder browsers ------------------------------------------------------------

int CALLBACK SelectInitialFolder(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) return 0;
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 1;
}

void AppendFolderName(char* path, const char* name) {
    if (!name || !name[0]) return;
    if (lstrcmpiA(LastComponent(path), name) == 0) return;
    JoinPath(path, name);
}

void FormatMenuLocationTitle(char* out, size_t cap, const char* menuName) {
    CopyBounded(out, cap, Msg("Where \"", "ﾒﾆｭｰ \""));
    AppendBounded(out, cap, menuName);
    AppendBounded(out, cap, Msg("\" is ?", "\" の作成位置"));
}

// Shows a folder browser; false when the user cancelled. path gets the choice.
static bool BrowseForFolder(HWND dialog, LPCITEMIDLIST root, const char* title, const char* initial,
                            char* path) {
    char displayName[kPathSize] = "";
    BROWSEINFOA info{};
    info.hwndOwner = dialog;
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = SelectInitialFolder;
    info.lParam = (LPARAM)initial;
    UniqueItemIdList chosen(SHBrowseForFolderA(&info));
    if (!chosen) return false;
    path[0] = 0;
    return SHGetPathFromIDListA(chosen.get(), path) != FALSE;
}

void BrowseInstallFolder(HWND dialog) {
    char initial[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, initial, sizeof initial);
    char path[kPathSize];
    if (!BrowseForFolder(dialog, nullptr, Msg("Install to...", "ｲﾝｽﾄｰﾙ先の指定"), initial, path)) return;
    char name[kValueSize];
    if (ReadText("Root", "Name", name, sizeof name, Script())) AppendFolderName(path, name);
    SetDlgItemTextA(dialog, IDC_FOLDER, path);
}

void ChooseMenuLocation(HWND dialog) {
    const char* script = Script();
    char menuName[kValueSize];
    if (!ReadText("Menu", "Name", menuName, sizeof menuName, script)) return;
    char record[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, record, sizeof record);
    JoinPath(record, "Setup.ini");
    UniqueItemIdList programs;
    SHGetSpecialFolderLocation(dialog, CSIDL_PROGRAMS, programs.put());
    char title[kPathSize];
    FormatMenuLocationTitle(title, sizeof title, menuName);
    char initial[kValueSize];
    if (!ReadText("Menu", "Named", initial, sizeof initial, record))
        ReadText("Menu", "Named", initial, sizeof initial, script);
    char path[kPathSize];
    if (!BrowseForFolder(dialog, programs.get(), title, initial, path)) return;
    if (!ReadText("Menu", "Name", menuName, sizeof menuName, script)) return;
    AppendFolderName(path, menuName);
    WriteText("Menu", "Change", path, script);
}

// ---- runs -----------------------------------------------------------------------

void RemoveRecordedMenuShortcuts(HWND dialog) {
    char record[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, record, sizeof record);
    JoinPath(record, "Setup.ini");
    RemoveStartMenuShortcuts(record);
}

void RunInstall(HWND dialog) {
    const char* script = Script();
    RemoveRecordedMenuShortcuts(dialog);
    char change[kValueSize];
    ReadText("Menu", "Change", change, sizeof change, script);
    WriteText("Menu", "Named", change, script);
    WriteText("Menu", "Change", "", script);
    static const int disabled[] = {IDC_FOLDER, IDC_MENU,       IDC_SHORTCUT, IDC_STARTUP, IDC_EXT,
                                   IDC_SENDTO, IDC_FILE_GROUP, IDC_COPY,     IDC_DELETE_AFTER};
    for (int id : disabled) EnableWindow(Item(dialog, id), FALSE);
    UpdateWindow(dialog);
    if (ReadNumber("CopiedFile", "Count", 0, script) == 0) {
        SetProgress(dialog, "Copying files...", "ファイルをコピーしています．");
        CopyInstallFiles(dialog);
    }
    HideAndPause(dialog, IDC_FOLDER);
    SetProgress(dialog, "System setup...", "システムの設定をしています．");
    SetStartMenuShortcuts(dialog, script, IsChecked(dialog, IDC_MENU));
    HideAndPause(dialog, IDC_MENU);
    SetFolderShortcut(dialog, script, IsChecked(dialog, IDC_SHORTCUT), "Desktop");
    HideAndPause(dialog, IDC_SHORTCUT);
    SetFolderShortcut(dialog, script, IsChecked(dialog, IDC_STARTUP), "Startup");
    HideAndPause(dialog, IDC_STARTUP);
    SetFileAssociations(dialog, IsChecked(dialog, IDC_EXT));
    HideAndPause(dialog, IDC_EXT);
    SetSendToShortcuts(dialog, script, IsChecked(dialog, IDC_SENDTO));
    HideAndPause(dialog, IDC_SENDTO);
    RegisterUninstall();
    ApplyRegistryEntries(script, true);
    PlaceUninstaller(dialog);
    Show(dialog, IDC_COPY, false);
    Show(dialog, IDC_DELETE_AFTER, false);
    HideAndPause(dialog, IDC_FILE_GROUP);
    FinalLaunch();
    RunLaunchEntries(dialog, "Make");
    SetProgress(dialog, "Completed.", "終了しました．");
    Sleep(1000);
}

static void ReportLeftovers(HWND dialog) {
    RunState& run = Run();
    size_t total = ListRemainingFiles(nullptr, 0);
    if (total == 0) return;
    if (ReadNumber("Del", "ShowError", 0, Script()) == 0 && !run.removalAtRestart) return;
    HeapBuffer text(total + 128);
    if (!text) return;
    const char* header;
    if (run.removalAtRestart) {
        char exe[kPathSize] = "";
        GetModuleFileNameA(nullptr, exe, sizeof exe);
        ReplaceAtRestart(exe, nullptr);
        char script[kPathSize];
        CopyBounded(script, sizeof script, Script());
        ReplaceAtRestart(script, nullptr);
        header = Msg("These will delete after reboot.\n\n", "次のものは再起動後に削除されます．\n\n");
    } else {
        header = Msg("Could not delete these...\n\n", "次のものは削除されませんでした．\n\n");
    }
    CopyBounded(text.data(), text.size(), header);
    ListRemainingFiles(text.data(), text.size());
    MessageBoxA(dialog, text.data(), Msg("Delete files and folders", "ファイル・フォルダの削除"),
                MB_OK | MB_ICONWARNING);
    RepaintNow(GetWindow(dialog, GW_OWNER));
}

void RunUninstall(HWND dialog) {
    const char* script = Script();
    SetProgress(dialog, "Unsetup system...", "システムの設定を削除しています．");
    RunLaunchEntries(dialog, "Erase");
    RemoveRecordedMenuShortcuts(dialog);
    HideAndPause(dialog, IDC_MENU);
    SetFolderShortcut(nullptr, script, false, "Desktop");
    HideAndPause(dialog, IDC_SHORTCUT);
    SetFolderShortcut(nullptr, script, false, "Startup");
    Show(dialog, IDC_STARTUP, false);
    UpdateWindow(dialog);
    SetFileAssociations(nullptr, false);
    RemoveProductKeys();
    HideAndPause(dialog, IDC_EXT);
    SetSendToShortcuts(nullptr, script, false);
    HideAndPause(dialog, IDC_SENDTO);
    ApplyRegistryEntries(script, false);
    SetProgress(dialog, "Deleting files...", "ファイルを削除しています．");
    RemoveInstalledFiles();
    HideAndPause(dialog, IDC_FOLDER);
    ReportLeftovers(dialog);
    FlushScript(script);
    SetProgress(dialog, "Uninstall completed.", "アンインストールは終了しました");
    Sleep(1000);
    Run().stage = Stage::Uninstalled;
}

// ---- the dialog procedure ---------------------------------------------------------

static void OnRun(HWND dialog) {
    if (g_runStarted) return;  // the dialog runs at most once
    g_runStarted = true;
    static const int hidden[] = {IDC_RUN, IDC_CANCEL, IDC_README, IDC_LOCATION, IDC_BROWSE};
    for (int id : hidden) Show(dialog, id, false);
    UpdateWindow(dialog);
    if (Run().stage == Stage::Installed && IsChecked(dialog, IDC_COPY)) {
        RunUninstall(dialog);
    } else {
        RunInstall(dialog);
    }
    FlushScript(Script());
    Close(dialog);
}

static void OnCancel(HWND dialog) {
    if (g_runStarted) return;
    WriteText("Menu", "Change", "", Script());
    Close(dialog);
}

static void OnReadme(HWND dialog) {
    RunState& run = Run();
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)run.smallIcon);
    INT_PTR result = DialogBoxParamA(run.instance, MAKEINTRESOURCEA(IDD_README), dialog, ReadmeDialogProc, 0);
    if (result == 0) Close(dialog);  // the agreement was declined
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)run.largeIcon);
}

static void OnUninstallBox(HWND dialog) {
    if (Run().stage == Stage::Install) return;
    bool checked = IsChecked(dialog, IDC_COPY);
    for (int id : kOptionControls) EnableWindow(Item(dialog, id), !checked);
    if (checked && Run().uninstallMode) PostCommand(dialog, IDC_RUN);
}

static void OnCommand(HWND dialog, int id) {
    switch (id) {
    case IDC_RUN: OnRun(dialog); break;
    case IDC_CANCEL: OnCancel(dialog); break;
    case IDC_README: OnReadme(dialog); break;
    case IDC_MENU: Show(dialog, IDC_LOCATION, IsChecked(dialog, IDC_MENU)); break;
    case IDC_BROWSE: BrowseInstallFolder(dialog); break;
    case IDC_COPY: OnUninstallBox(dialog); break;
    case IDC_LOCATION: ChooseMenuLocation(dialog); break;
    }
}

static void OnPaint(HWND dialog) {
    PaintScope paint(dialog);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(Item(dialog, IDC_ICON_FRAME), &placement);
    if (Run().largeIcon)
        DrawIcon(paint.dc(), placement.rcNormalPosition.left, placement.rcNormalPosition.top,
                 Run().largeIcon);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: SetUpMainDialog(dialog); break;
    case WM_PAINT: OnPaint(dialog); break;
    case WM_DESTROY: PostQuitMessage(0); break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
    case kCloseMessage: EndDialog(dialog, 0); break;
    }
    return 0;
}
