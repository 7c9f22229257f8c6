#include "app/unattended.h"
#include <string.h>
#include "app/exit_code.h"
#include "app/run_sequence.h"
#include "base/text.h"
#include "install/choices.h"
#include "run/run_state.h"
#include "script/paths.h"
#include "script/script.h"
#include "ui/progress_window.h"

namespace {

// No dialog: no pause between the steps; the progress-only window shows the step.
class WindowPace : public RunPace {
public:
    explicit WindowPace(ProgressWindow* window) : window_(window) {}
    void Progress(const char* english, const char* japanese) override {
        if (window_) window_->SetStep(Msg(english, japanese));
    }
    void Finish(const char* english, const char* japanese) override { Progress(english, japanese); }

private:
    ProgressWindow* window_;
};

bool DefaultLogPath(char* path) {
    char name[kValueSize];
    if (!ReadText("Setup", "Name", name, sizeof name, Script())) name[0] = 0;
    char file[kValueSize];
    DWORD n = GetTempPathA(kPathSize, path);
    return n > 0 && n < kPathSize && DefaultLogName(name, file, sizeof file) && JoinPath(path, file);
}

// What the dialog's set-up writes into the script before Run, made without a dialog:
// the product key's name, the earlier Start-menu location on a version-up, the read-me
// marked as read when it is an agreement (accepted by whoever started the run).
void PrepareScript(const DialogChoices& c, RunLog* log) {
    const char* script = Script();
    ApplyDialogChoices(c, script);
    if (ReadNumber("Go", "Agree", 0, script) != 0) {
        WriteText("Readme", "Done", "1", script);
        log->Line("Agreement: accepted by the command line that started this unattended run");
    }
}

int InstallWithoutUser(const CommandLine& line, RunLog* log, RunPace& pace) {
    DialogChoices c;
    ReadDialogChoices(Script(), &c);
    if (c.record) {
        log->Line("This copy of Setup.exe is an installed product's uninstaller: start it with \"uninstall /S\".");
        return kExitFailed;
    }
    PrepareScript(c, log);
    const char* folder = line.folderGiven ? line.folder : c.installFolder;
    char full[kPathSize], said[kPathSize + 64];
    if (line.folderCut || !AcceptableInstallFolder(folder, full)) {
        FormatBounded(said, sizeof said, "Install folder refused (a complete folder, not a drive root, at most 249 characters): %s", folder);
        log->Line(said);
        return kExitFailed;
    }
    FormatBounded(said, sizeof said, "Install folder: %s", full);
    log->Line(said);
    for (const BoxChoice& box : c.boxes) {
        FormatBounded(said, sizeof said, "Option %s: %s", box.key, box.checked() ? "on" : "off");
        log->Line(said);
    }
    InstallRequest request = RequestFromChoices(c, full);
    request.finalLaunch = false;
    bool done = RunInstallSteps(nullptr, request, pace);
    FlushScript(Script());
    return done ? kExitSuccess : kExitFailed;
}

int UninstallWithoutUser(RunLog* log, RunPace& pace) {
    DialogChoices c;
    ReadDialogChoices(Script(), &c);
    if (!c.record) {
        log->Line("No install record beside this Setup.exe: there is nothing to uninstall.");
        return kExitFailed;
    }
    Run().stage = Stage::Installed;
    char text[kPathSize + 32];
    FormatBounded(text, sizeof text, "Install folder: %s", c.installFolder);
    log->Line(text);
    RunUninstallSteps(nullptr, c.installFolder, pace);
    return kExitSuccess;
}

// Writes text to the console of the process that started this one, if there is one.
bool WriteToParentConsole(const char* text) {
    typedef BOOL(WINAPI * AttachConsoleCall)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto attach = kernel ? reinterpret_cast<AttachConsoleCall>(GetProcAddress(kernel, "AttachConsole")) : nullptr;
    if (!attach || !attach((DWORD)-1 /* ATTACH_PARENT_PROCESS */)) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(out, "\r\n", 2, &written, nullptr);
    return WriteFile(out, text, (DWORD)strlen(text), &written, nullptr) != FALSE;
}

}  // namespace

Answer UnattendedChannel::Ask(const Message& message) {
    Answer answer = message.kind != Message::Question ? Answer::Ok : message.defaultNo ? Answer::No : Answer::Yes;
    if (log_) log_->Answered(message, answer);
    return answer;
}

bool OpenRunLog(const CommandLine& line, const char* arguments, RunLog* log) {
    char path[kPathSize];
    if (line.logPath[0]) {
        CopyBounded(path, sizeof path, line.logPath);
    } else if (line.log || line.quiet != Quietness::Shown) {
        if (!DefaultLogPath(path)) return !line.log;
    } else {
        return true;  // a shown run without /LOG writes no log
    }
    if (!log->Open(path)) return line.logPath[0] == 0;
    char name[kValueSize], version[kValueSize];
    if (!ReadText("Setup", "Name", name, sizeof name, Script())) name[0] = 0;
    if (!ReadText("Setup", "Version", version, sizeof version, Script())) version[0] = 0;
    log->Header(name, version, arguments);
    return true;
}

int RunUnattended(const CommandLine& line, RunLog* log) {
    RunState& run = Run();
    run.noRestartQuestion = true;
    UnattendedChannel channel(log);
    run.channel = &channel;
    run.report = log;
    if (!PathExists(OriginalScript())) {
        log->Line("No Setup.ini beside Setup.exe: nothing to do.");
        run.channel = nullptr;
        return kExitFailed;
    }
    ProgressWindow window;
    if (line.quiet == Quietness::Progress) {
        char name[kValueSize];
        if (!ReadText("Setup", "Name", name, sizeof name, Script())) CopyBounded(name, sizeof name, "Setup");
        if (window.Open(run.instance, name)) run.progress = &window.Files();
    }
    WindowPace pace(run.progress ? &window : nullptr);
    int code = line.mode == RunMode::Uninstall ? UninstallWithoutUser(log, pace) : InstallWithoutUser(line, log, pace);
    run.progress = nullptr;
    run.channel = nullptr;
    return code;
}

void ShowUsage(const CommandLine& line) {
    char text[1400];
    FormatBounded(text, sizeof text, "%s%s%s",
                  line.bad ? Msg("Unknown switch: ", "不明なスイッチ: ") : "", line.bad ? line.badWord : "",
                  line.bad ? "\r\n\r\n" : "");
    AppendBounded(text, sizeof text,
                  Msg("Setup.exe [switches]            install\r\n"
                      "Setup.exe uninstall [switches]  uninstall (from the installed copy)\r\n"
                      "\r\n"
                      "  /S, /VERYSILENT, /quiet, /qn   no window at all\r\n"
                      "  /SILENT, /passive, /qb         progress only\r\n"
                      "  /D=folder (last), /DIR=folder, INSTALLDIR=folder   install folder\r\n"
                      "  /LOG, /LOG=file                write a log\r\n"
                      "  /NORESTART, /FORCERESTART      never / always restart when needed\r\n"
                      "  /?, /help                      this text\r\n"
                      "\r\n"
                      "Exit codes: 0 done, 3010 restart needed, 1641 restarting, 1602 cancelled,\r\n"
                      "1603 failed, 1639 bad command line.\r\n",
                      "Setup.exe [スイッチ]            インストール\r\n"
                      "Setup.exe uninstall [スイッチ]  アンインストール（インストール先のコピーから）\r\n"
                      "\r\n"
                      "  /S, /VERYSILENT, /quiet, /qn   ウィンドウを表示しない\r\n"
                      "  /SILENT, /passive, /qb         進行状況のみ表示\r\n"
                      "  /D=フォルダ（最後に）, /DIR=フォルダ, INSTALLDIR=フォルダ   インストール先\r\n"
                      "  /LOG, /LOG=ファイル            ログを書く\r\n"
                      "  /NORESTART, /FORCERESTART      必要なときに再起動しない／する\r\n"
                      "  /?, /help                      この説明\r\n"
                      "\r\n"
                      "終了コード: 0 完了, 3010 再起動が必要, 1641 再起動中, 1602 取り消し,\r\n"
                      "1603 失敗, 1639 コマンドラインの誤り\r\n"));
    if (line.bad && line.quiet == Quietness::Silent) return;
    if (WriteToParentConsole(text)) return;
    MessageBoxA(nullptr, text, "Setup", MB_OK | (line.bad ? MB_ICONWARNING : MB_ICONINFORMATION));
}
