// The install and uninstall runs: every step of the other subsystems in its fixed
// order. The dialog gives them its progress texts and pauses; SetupTool's plan runs the
// same sequence on a machine of its own.
#include "app/run_sequence.h"
#include "base/handles.h"
#include "base/text.h"
#include "install/copy.h"
#include "install/seal_check.h"
#include "run/progress.h"
#include "install/uninstaller.h"
#include "launch/launch.h"
#include "registry/registry.h"
#include "res/resource.h"
#include "run/channel.h"
#include "run/handover.h"
#include "run/machine.h"
#include "run/report.h"
#include "run/restart.h"
#include "run/run_state.h"
#include "script/created.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shortcuts.h"
#include "ui/dialog_items.h"
#include "ui/progress_bar.h"
#include "uninstall/removal.h"

using namespace dialog_items;

namespace {

// The dialog's side of a run.
class DialogPace : public RunPace {
public:
    // The bar stands in the folder row while files are copied or removed.
    explicit DialogPace(HWND dialog) : dialog_(dialog) {
        RECT row{7, 19, 184, 33};
        MapDialogRect(dialog, &row);
        bar_.Create(dialog, row, Item(dialog, IDC_FOLDER));
        Run().progress = &bar_;
    }
    ~DialogPace() { Run().progress = nullptr; }
    DialogPace(const DialogPace&) = delete;
    DialogPace& operator=(const DialogPace&) = delete;
    void Begin() override {
        static const int disabled[] = {IDC_FOLDER, IDC_MENU,       IDC_SHORTCUT, IDC_STARTUP, IDC_EXT,
                                       IDC_SENDTO, IDC_FILE_GROUP, IDC_COPY,     IDC_DELETE_AFTER};
        for (int id : disabled) EnableWindow(Item(dialog_, id), FALSE);
        UpdateWindow(dialog_);
    }
    void Progress(const char* english, const char* japanese) override {
        SetDlgItemTextA(dialog_, IDC_HEADING, Msg(english, japanese));
        UpdateWindow(dialog_);
    }
    void Hide(int control, bool pause) override {
        Show(dialog_, control, false);
        if (!pause) return;
        UpdateWindow(dialog_);
        Sleep(500);
    }
    void Finish(const char* english, const char* japanese) override {
        Progress(english, japanese);
        Sleep(1000);
    }

private:
    HWND dialog_;
    ProgressBar bar_;
};

// Message boxes owned by the dialog, unless the run was given another channel.
class DialogChannelScope {
public:
    explicit DialogChannelScope(HWND dialog) : channel_(dialog), set_(!Run().channel) {
        if (set_) Run().channel = &channel_;
    }
    ~DialogChannelScope() {
        if (set_) Run().channel = nullptr;
    }
    DialogChannelScope(const DialogChannelScope&) = delete;
    DialogChannelScope& operator=(const DialogChannelScope&) = delete;

private:
    BoxChannel channel_;
    bool set_;
};

// The record in the chosen folder, read by the steps whose option is off.
void TakeEarlierRecord(const char* installFolder) {
    char* record = Run().earlierRecord;
    if (!CopyBounded(record, kPathSize, installFolder) || !record[0] || !JoinPath(record, "Setup.ini")) record[0] = 0;
}

void ReportLeftovers() {
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
            if (OwnExecutablePath(exe, sizeof exe)) M().ReplaceAtRestart(exe, nullptr);
            char script[kPathSize];
            CopyBounded(script, sizeof script, OriginalScript());
            M().ReplaceAtRestart(script, nullptr);
        }
        header = Msg("These will delete after reboot.\n\n", "次のものは再起動後に削除されます．\n\n");
    } else {
        header = Msg("Could not delete these...\n\n", "次のものは削除されませんでした．\n\n");
    }
    CopyBounded(text.data(), text.size(), header);
    ListRemainingFiles(text.data(), text.size());
    Message report{Message::Warning, Msg("Delete files and folders", "ファイル・フォルダの削除"), text.data()};
    report.repaintAfter = true;
    Ask(report);
}

}  // namespace

void RemoveRecordedMenuShortcuts(const char* installFolder) {
    char record[kPathSize];
    // A cut path would read another file as the record (and an empty field one in the Windows folder).
    if (!CopyBounded(record, sizeof record, installFolder) || !record[0] || !JoinPath(record, "Setup.ini")) return;
    RemoveStartMenuShortcuts(record);
}

InstallRequest RequestFromChoices(const DialogChoices& c, const char* installFolder) {
    InstallRequest request;
    CopyBounded(request.installFolder, sizeof request.installFolder, installFolder);
    bool* boxes[kBoxCount] = {&request.menu, &request.desktop, &request.startup, &request.ext,
                              &request.send, &request.copy,    &request.del};
    for (int i = 0; i < kBoxCount; ++i) *boxes[i] = c.boxes[i].checked();
    return request;
}

// The sealed files as the first step of a sealed install, before anything is written.
static bool SealedFilesHold(RunPace& pace) {
    const RunState& run = Run();
    if (!run.seal) return true;
    pace.Progress("Checking files...", "ファイルを確認しています．");
    TellSection("Sealed files");
    char folder[kPathSize];
    SealVerdict verdict;
    if (FolderPart(OriginalScript(), folder, sizeof folder)) {
        verdict = CheckSealedFiles(run.seal, run.sealSize, folder, RunProgress());
    } else {
        verdict.result = SealResult::Missing;
    }
    if (verdict.result == SealResult::Holds) {
        Tell(Outcome::Told, "checked", folder);
        return true;
    }
    static char text[kPathSize + 512];
    FormatSealRefusal(verdict, text, sizeof text);
    static const char* const kWhy[] = {"", "changed", "missing", "the seal's list is damaged"};
    Tell(Outcome::Failed, "refused", verdict.name, kWhy[static_cast<int>(verdict.result)]);
    Message refusal{Message::Warning, SealRefusalCaption(), text};
    Ask(refusal);
    return false;
}

bool RunInstallSteps(HWND owner, const InstallRequest& request, RunPace& pace) {
    const char* script = Script();
    Run().stepsStarted = true;
    if (!SealedFilesHold(pace)) return false;
    TakeEarlierRecord(request.installFolder);
    if (ReadNumber("CopiedFile", "Count", 0, script) == 0) StartCreatedFacts(script);
    RemoveRecordedMenuShortcuts(request.installFolder);
    char change[kValueSize];
    ReadText("Menu", "Change", change, sizeof change, script);
    WriteText("Menu", "Named", change, script);
    WriteText("Menu", "Change", "", script);
    pace.Begin();
    if (ReadNumber("CopiedFile", "Count", 0, script) == 0) {
        pace.Progress("Copying files...", "ファイルをコピーしています．");
        CopyInstallFiles(owner, request.installFolder, request.copy, request.del);
    }
    pace.Hide(IDC_FOLDER, true);
    pace.Progress("System setup...", "システムの設定をしています．");
    SetStartMenuShortcuts(owner, script, request.menu);
    pace.Hide(IDC_MENU, true);
    SetFolderShortcut(owner, script, request.desktop, "Desktop");
    pace.Hide(IDC_SHORTCUT, true);
    SetFolderShortcut(owner, script, request.startup, "Startup");
    pace.Hide(IDC_STARTUP, true);
    SetFileAssociations(owner, request.ext);
    pace.Hide(IDC_EXT, true);
    SetSendToShortcuts(owner, script, request.send);
    pace.Hide(IDC_SENDTO, true);
    RegisterUninstall();
    ApplyRegistryEntries(script, true);
    PlaceUninstaller(owner);
    pace.Hide(IDC_COPY, false);
    pace.Hide(IDC_DELETE_AFTER, false);
    pace.Hide(IDC_FILE_GROUP, true);
    if (request.finalLaunch) FinalLaunch();
    RunLaunchEntries(owner, "Make");
    pace.Finish("Completed.", "終了しました．");
    return true;
}

void RunUninstallSteps(HWND owner, const char* installFolder, RunPace& pace) {
    const char* script = Script();
    Run().stepsStarted = true;
    CopyBounded(Run().earlierRecord, sizeof Run().earlierRecord, script);
    pace.Progress("Unsetup system...", "システムの設定を削除しています．");
    RunLaunchEntries(owner, "Erase");
    RemoveRecordedMenuShortcuts(installFolder);
    pace.Hide(IDC_MENU, true);
    SetFolderShortcut(nullptr, script, false, "Desktop");
    pace.Hide(IDC_SHORTCUT, true);
    SetFolderShortcut(nullptr, script, false, "Startup");
    pace.Hide(IDC_STARTUP, false);
    SetFileAssociations(nullptr, false);
    RemoveProductKeys();
    pace.Hide(IDC_EXT, true);
    SetSendToShortcuts(nullptr, script, false);
    pace.Hide(IDC_SENDTO, true);
    ApplyRegistryEntries(script, false);
    pace.Progress("Deleting files...", "ファイルを削除しています．");
    RemoveInstalledFiles();
    pace.Hide(IDC_FOLDER, true);
    ReportLeftovers();
    FlushScript(script);
    pace.Finish("Uninstall completed.", "アンインストールは終了しました");
    Run().stage = Stage::Uninstalled;
}

void RunInstall(HWND dialog) {
    InstallRequest request;
    GetDlgItemTextA(dialog, IDC_FOLDER, request.installFolder, sizeof request.installFolder);
    request.menu = IsChecked(dialog, IDC_MENU);
    request.desktop = IsChecked(dialog, IDC_SHORTCUT);
    request.startup = IsChecked(dialog, IDC_STARTUP);
    request.ext = IsChecked(dialog, IDC_EXT);
    request.send = IsChecked(dialog, IDC_SENDTO);
    request.copy = IsChecked(dialog, IDC_COPY);
    request.del = IsChecked(dialog, IDC_DELETE_AFTER);
    DialogChannelScope channel(dialog);
    DialogPace pace(dialog);
    RunInstallSteps(dialog, request, pace);
}

void RunUninstall(HWND dialog) {
    char folder[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_FOLDER, folder, sizeof folder);
    DialogChannelScope channel(dialog);
    DialogPace pace(dialog);
    RunUninstallSteps(dialog, folder, pace);
}
