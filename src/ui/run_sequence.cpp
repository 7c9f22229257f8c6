// The install and uninstall runs: every step of the other subsystems in its fixed
// order, with progress texts and pauses.
#include "ui/main_dialog.h"
#include "app/handover.h"
#include "app/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "install/copy.h"
#include "install/restart.h"
#include "install/uninstaller.h"
#include "launch/launch.h"
#include "registry/registry.h"
#include "res/resource.h"
#include "script/created.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shortcuts.h"
#include "ui/dialog_items.h"
#include "uninstall/removal.h"

using namespace dialog_items;

namespace {

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

}  // namespace

void RemoveRecordedMenuShortcuts(HWND dialog) {
    char record[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, record, sizeof record);
    // A cut path would read another file as the record (and an empty field one in the Windows folder).
    if (!record[0] || !JoinPath(record, "Setup.ini")) return;
    RemoveStartMenuShortcuts(record);
}

// The record in the chosen folder, read by the steps whose option is off.
static void TakeEarlierRecord(HWND dialog) {
    char* record = Run().earlierRecord;
    record[0] = 0;
    GetDlgItemTextA(dialog, IDC_FOLDER, record, kPathSize);
    if (!record[0] || !JoinPath(record, "Setup.ini")) record[0] = 0;
}

void RunInstall(HWND dialog) {
    const char* script = Script();
    TakeEarlierRecord(dialog);
    if (ReadNumber("CopiedFile", "Count", 0, script) == 0) StartCreatedFacts(script);
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
        // The uninstaller and its record go with the leftovers, but only from the install
        // folder the record names: an executable on a medium or in a download folder stays.
        if (run.selfRemovable) {
            char exe[kPathSize];
            if (OwnExecutablePath(exe, sizeof exe)) ReplaceAtRestart(exe, nullptr);
            char script[kPathSize];
            CopyBounded(script, sizeof script, OriginalScript());
            ReplaceAtRestart(script, nullptr);
        }
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
    CopyBounded(Run().earlierRecord, sizeof Run().earlierRecord, script);
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
