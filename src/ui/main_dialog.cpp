// The main dialog's procedure: it dispatches its messages and commands to small
// handlers; the set-up, the browsers and the runs live beside it.
#include "ui/main_dialog.h"
#include "run/run_state.h"
#include "base/handles.h"
#include "install/choices.h"
#include "res/resource.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "ui/dialog_font.h"
#include "ui/dialog_items.h"
#include "ui/progress_bar.h"
#include "ui/readme_dialog.h"

using namespace dialog_items;

namespace {

// Posted instead of ending at once, so that commands already posted go first.
constexpr UINT kCloseMessage = WM_APP + 1;

const int kOptionControls[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO, IDC_LOCATION};

const MainDialogRuns* g_runs = nullptr;  // the opener's runs, from the dialog's parameter
bool g_runStarted = false;
// Once the agreement is refused no run may start, whatever commands are still queued.
bool g_agreementRefused = false;
HFONT g_font = nullptr;  // the Western font of the English texts, if any

void Close(HWND dialog) { PostMessageA(dialog, kCloseMessage, 0, 0); }

}  // namespace

// An install needs a complete folder that is not a drive root: a relative one would
// land wherever the program happens to run, and one too long for the uninstaller's own
// name could never be uninstalled. Otherwise the user is told, and the dialog
// stays open to correct it.
static bool AcceptInstallFolder(HWND dialog) {
    char folder[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, folder, sizeof folder);
    char full[kPathSize];
    if (AcceptableInstallFolder(folder, full)) return true;
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, Script());
    MessageBoxA(dialog,
                Msg("Please choose a complete folder to install to, such as C:\\Program Files\\Product.\n"
                    "A drive root, a relative folder or a folder of more than 249 characters cannot be used.",
                    "インストール先には C:\\Program Files\\製品名 のような完全なフォルダを指定してください．\n"
                    "ドライブのルート、相対パス、249文字を超えるフォルダは使えません．"),
                caption, MB_OK | MB_ICONWARNING);
    SetFocus(Item(dialog, IDC_FOLDER));
    return false;
}

static void OnRun(HWND dialog) {
    if (g_runStarted || g_agreementRefused) return;  // the dialog runs at most once
    bool uninstall = Run().stage == Stage::Installed && IsChecked(dialog, IDC_COPY);
    if (!uninstall && !AcceptInstallFolder(dialog)) {
        // An automatic run shows no buttons to go on with: it ends without installing.
        if (ReadNumber("Setup", "Auto", 0, Script()) != 0) Close(dialog);
        return;
    }
    g_runStarted = true;
    static const int hidden[] = {IDC_RUN, IDC_CANCEL, IDC_README, IDC_LOCATION, IDC_BROWSE};
    for (int id : hidden) Show(dialog, id, false);
    UpdateWindow(dialog);
    if (g_runs) (uninstall ? g_runs->uninstall : g_runs->install)(dialog);
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
    INT_PTR result = OpenReadmeDialog(dialog);
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)run.largeIcon);
    if (result == 0) {
        // Refused: the dialog ends at once, before any step and before a queued run.
        g_agreementRefused = true;
        EndDialog(dialog, 0);
    }
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

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_runs = reinterpret_cast<const MainDialogRuns*>(lParam);
        g_font = ApplyWesternFont(dialog);
        SetUpMainDialog(dialog);
        break;
    case WM_PAINT: OnPaint(dialog); break;
    case WM_DESTROY: PostQuitMessage(0); break;
    case WM_NCDESTROY:  // the controls are gone: nothing uses the font any more
        if (g_font) DeleteObject(g_font);
        g_font = nullptr;
        break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
    case WM_DRAWITEM: return ProgressBar::Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case kCloseMessage: EndDialog(dialog, 0); break;
    }
    return 0;
}
