// The folder browsers of the main dialog: the install folder and the Start-menu location.
#include "ui/main_dialog.h"
#include <shlobj.h>
#include "base/handles.h"
#include "base/text.h"
#include "res/resource.h"
#include "script/paths.h"
#include "script/script.h"
#include "run/run_state.h"

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
