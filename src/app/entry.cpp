#include "app/entry.h"
#include <objbase.h>
#include <stdlib.h>
#include <string.h>
#include "app/backdrop.h"
#include "app/exit_code.h"
#include "app/unattended.h"
#include "run/handover.h"
#include "run/system.h"
#include "run/private_folder.h"
#include "run/run_state.h"
#include "draw/backdrop_picture.h"
#include "install/seal_check.h"
#include "registry/registry.h"
#include "script/created.h"
#include "res/resource.h"
#include "base/handles.h"
#include "base/sha256.h"
#include "script/paths.h"
#include "script/script.h"
#include "base/text.h"
#include "uninstall/removal.h"
#include "uninstall/self_removal.h"

static const char kRebootQuestionEn[] = "Some files will be enabled\nafter reboot.\n\nReboot now?";
static const char kRebootQuestionJa[] = "いくつかのファイルは\n再起動後に有効になります\n\n今すぐ再起動しますか？";
static const char kDeleteQuestionEn[] = "Some files will delete\nafter reboot.\n\nReboot now?";
static const char kDeleteQuestionJa[] = "いくつかのファイルは\n再起動後に削除されます\n\n今すぐ再起動しますか？";

const char* ArgumentsOf(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

bool BuildScriptPath(char* scriptPath, size_t cap) {
    char exe[kPathSize];
    if (!OwnExecutablePath(exe, sizeof exe)) return false;
    // The platform's own split cuts folders longer than its fixed parts.
    return FolderPart(exe, scriptPath, cap) && AppendBounded(scriptPath, cap, "Setup.ini");
}

bool EnableShutdownPrivilege() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    return GetLastError() == 0;
}

void RestartSystem() {
    if (IsNtFamily()) EnableShutdownPrivilege();
    ExitWindowsEx(EWX_REBOOT, 0);
}

// The restart question, owned by the desktop and captioned with the product name.
static void AskForRestart(const char* english, const char* japanese) {
    char name[kValueSize];
    ReadText("Setup", "Name", name, sizeof name, Script());
    int answer = MessageBoxA(GetDesktopWindow(), Msg(english, japanese), name,
                             MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL);
    if (answer == IDYES) RestartSystem();
}

// COM for the folder browsers and the shell's shortcut object.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

// A download folder may hold anything, and an installer runs with the user's (often
// elevated) rights: no DLL is loaded from the program's own folder or the current one.
// Systems without these calls (the 9x family, older NT) keep their own search order.
static void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryCall)(LPCSTR);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
    if (setDefault) setDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
    auto setDirectory = reinterpret_cast<SetDllDirectoryCall>(GetProcAddress(kernel, "SetDllDirectoryA"));
    if (setDirectory) setDirectory("");
}

// Libraries that the system loads by name on demand (the common controls of the manifest
// import the theme library, the folder browser brings the property and profile helpers)
// would still be looked for beside the program by code that asks before the restriction
// counts. Loaded now from the system folder by full path, a later request by name finds
// them loaded. A library the system lacks is simply not there.
static void PreloadSystemLibraries() {
    static const char* const kLibraries[] = {"uxtheme.dll",  "dwmapi.dll",  "comctl32.dll",  "version.dll",
                                             "propsys.dll",  "profapi.dll", "cryptbase.dll", "shfolder.dll",
                                             "msimg32.dll",  "msctf.dll",   "oleacc.dll",    "cryptsp.dll",
                                             "ntmarta.dll",  "sspicli.dll", "userenv.dll",   "apphelp.dll",
                                             "windowscodecs.dll", "shcore.dll", "textinputframework.dll"};
    char path[kPathSize];
    for (const char* name : kLibraries) {
        UINT n = GetSystemDirectoryA(path, sizeof path);
        if (n == 0 || n >= sizeof path || !JoinPath(path, name) || !PathExists(path)) continue;
        LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);  // kept for the whole run
    }
}

// Whether the script can be written where it lies (not on a disc or a read-only share).
static bool ScriptIsWritable(const char* path) {
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file || GetLastError() == ERROR_FILE_NOT_FOUND;  // a missing script has nothing to lose
}

// The run's own copy of the script in a private folder: the shipped script belongs to the
// author and stays as shipped (a cancelled run, an install and any number of installs from
// one share leave it byte for byte), and no standard user can change what the elevated run
// reads. A missing script gives an empty copy.
static bool TakePrivateCopy(RunState& run) {
    char folder[kPathSize], copy[kPathSize];
    if (!MakePrivateFolder(folder, sizeof folder)) return false;
    CopyBounded(copy, sizeof copy, folder);
    bool copied = JoinPath(copy, "Setup.ini");
    if (copied) {
        if (PathExists(run.scriptPath)) {
            copied = CopyFileA(run.scriptPath, copy, TRUE) != FALSE;
        } else {
            UniqueFile empty(CreateFileA(copy, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            copied = static_cast<bool>(empty);
        }
    }
    if (!copied) {
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
        return false;
    }
    SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);  // a disc's read-only mark comes along
    CopyBounded(run.originalScript, sizeof run.originalScript, run.scriptPath);
    CopyBounded(run.scriptPath, sizeof run.scriptPath, copy);
    CopyBounded(run.scriptCopyFolder, sizeof run.scriptCopyFolder, folder);
    return true;
}

static void EnterSetupFolder(const char* script) {
    char folder[kPathSize];
    if (FolderPart(script, folder, sizeof folder)) SetCurrentDirectoryA(folder);
}

// An uninstall started from inside the product (a prompt standing in one of its folders)
// would hold that folder open as its current one and could not remove it: it moves to the
// drive's root, as the processes it hands over to start there.
static void LeaveProductFolders(const char* script) {
    char current[kPathSize], own[kPathSize], named[kPathSize];
    DWORD n = GetCurrentDirectoryA(sizeof current, current);
    if (n == 0 || n >= sizeof current) return;
    bool inside = FolderPart(script, own, sizeof own) && own[0] && IsPathUnder(current, own);
    DWORD m = ReadText("Root", "Named", named, sizeof named, script);
    inside = inside || (m > 0 && m < sizeof named - 1 && IsPathUnder(current, named));
    if (inside) SetCurrentDirectoryA("\\");
}

// The installed uninstaller: its record in the install folder the record names, and the
// system's entry for the product (which only an administrator writes on the NT family)
// starting this very Setup.exe. A record written into a download folder is not enough.
static bool IsInstalledCopy(const RunState& run) {
    if (!run.selfRemovable) return false;
    CreatedFacts facts(run.scriptPath);
    char key[kValueSize], folder[kPathSize];
    return RecordedRegistration(run.scriptPath, facts, key, sizeof key) &&
           FolderPart(run.scriptPath, folder, sizeof folder) && RegistrationOwnerOf(key, folder) == RegistrationOwner::Own;
}

// An installed copy works on its own record, which lies in a folder only administrators
// can write; every other run works on a private copy. A record that cannot be written
// (read-only media) is copied too. A sealed Setup.exe that checks its folder (every run
// but the installed copy's) always works on a copy, so that the shipped script stays as
// sealed; the seal to check is given back then.
static bool ChooseWorkingScript(RunState& run, RunMode mode, const char** seal, size_t* sealSize) {
    bool record = ReadCount("CopiedFile", run.scriptPath) != 0;
    bool writable = ScriptIsWritable(run.scriptPath);
    run.readOnlySource = !writable;
    run.selfRemovable = record && RunsFromInstallFolder(run.scriptPath);
    // An uninstall started beside a sealed Setup.exe is checked too: a record written there
    // would otherwise be trusted.
    bool sealed = (mode == RunMode::Install || mode == RunMode::Uninstall) && OwnSeal(seal, sealSize) &&
                  !IsInstalledCopy(run);
    if (record && writable && !sealed) return false;
    TakePrivateCopy(run);  // without one, the run still works on the script where it lies
    return sealed;
}

// The script of a sealed run, before anything is written into it: as sealed, or refused
// (shown when the dialog would be, logged when there is a log) with nothing done.
static bool SealedScriptHolds(const RunState& run, const char* seal, size_t size, const CommandLine& line,
                              RunLog* log) {
    // Without a private copy the run would write into the shipped script: refused too.
    SealVerdict verdict;
    if (run.scriptCopyFolder[0] && PathExists(OriginalScript())) {
        verdict = CheckSealedScript(seal, size, run.scriptPath);
    } else {
        verdict.result = SealResult::Missing;
        CopyBounded(verdict.name, sizeof verdict.name, "Setup.ini");
    }
    if (verdict.result == SealResult::Holds) return true;
    static char text[kPathSize + 512];
    FormatSealRefusal(verdict, text, sizeof text);
    log->Answered(Message{Message::Warning, SealRefusalCaption(), text}, Answer::Ok);
    // A run without the dialog asks nothing and shows no box: its log and exit code tell.
    if (line.quiet == Quietness::Shown)
        MessageBoxA(nullptr, text, SealRefusalCaption(), MB_OK | MB_ICONWARNING);
    return false;
}

// The private folder with the copy (and an earlier record kept aside); the run may have
// moved on to its record in the install folder, which stays.
static void RemoveScriptCopy(const RunState& run) {
    FlushScript(run.scriptPath);
    static const char* const kNames[] = {"Setup.ini", "Earlier.ini"};
    for (const char* name : kNames) {
        char path[kPathSize];
        CopyBounded(path, sizeof path, run.scriptCopyFolder);
        if (JoinPath(path, name)) DeleteFileA(path);
    }
    RemoveDirectoryA(run.scriptCopyFolder);
}

static void RunMessageLoop(HWND backdrop) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(backdrop, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The end of an uninstall: the uninstaller and its record go (at once, or at the restart
// that the user is asked for), but only from the install folder the record names: any
// other copy leaves both where they are.
static void FinishUninstall(const RunState& run) {
    if (run.selfRemovable && !run.removalAtRestart) {
        ShellDeleteFile(OriginalScript());
        StartSelfRemoval();
        return;
    }
    if (run.removalAtRestart && !run.noRestartQuestion) AskForRestart(kDeleteQuestionEn, kDeleteQuestionJa);
}

// The backdrop and the dialog, as ever.
static void RunShown(HINSTANCE instance) {
    RunState& run = Run();
    ComScope com;
    BackdropSurface surface;
    if (ReadNumber("Back", "Do", 0, Script()) != 0) surface.Prepare(run.screenRect, Script());
    run.backdropDC = surface.dc.get();
    HWND backdrop = CreateBackdropWindow(instance);
    if (backdrop) RunMessageLoop(backdrop);
    run.backdropDC = nullptr;
}

int RunSetup(HINSTANCE instance, const char* arguments) {
    RestrictDllSearch();
    PreloadSystemLibraries();
    // A missing disk or drive must not stop the run with a system error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    Sha256::UseProcessorInstructions(SystemKeepsSseRegisters());  // the seal's check reads every file
    RunState& run = Run();
    run.instance = instance;
    run.restartNeeded = false;
    run.removalAtRestart = false;
    static CommandLine line;  // kept off the stack of the message loop
    ParseCommandLine(arguments, &line);
    if (line.bad || line.help) {
        ShowUsage(line);
        return line.bad ? kExitBadArguments : kExitSuccess;
    }
    RunMode mode = line.mode;
    if (mode == RunMode::Remove) {
        Sleep(5000);
        // Only the end of an uninstall hands this over; "remove" typed by hand does nothing.
        if (SelfRemovalWasHandedOver()) RemoveSelf();
        return 0;
    }
    if (!BuildScriptPath(run.scriptPath, sizeof run.scriptPath)) return line.switches ? kExitFailed : 1;
    if (mode == RunMode::Reboot) {
        Sleep(5000);
        AskForRestart(kRebootQuestionEn, kRebootQuestionJa);
        return 0;
    }
    const char* seal = nullptr;
    size_t sealSize = 0;
    // The product's files are named relative to the setup folder, wherever the run was
    // started from (a management tool starts it from the system folder). An uninstall
    // keeps its own, unless that lies in the product: it would keep the folder from going.
    if (mode == RunMode::Install) EnterSetupFolder(run.scriptPath);
    if (mode == RunMode::Uninstall) LeaveProductFolders(run.scriptPath);
    bool sealed = ChooseWorkingScript(run, mode, &seal, &sealSize);
    if (sealed) {  // the files are checked when the install begins
        run.seal = seal;
        run.sealSize = sealSize;
    }
    GetWindowRect(GetDesktopWindow(), &run.screenRect);
    run.readmeStartPage = -1;
    run.stage = Stage::Install;
    run.uninstallMode = mode == RunMode::Uninstall;
    run.noRestartQuestion = line.noRestart;
    RunLog log;  // no static: the program runs without the C runtime's exit handlers
    RunEnd end;
    end.forceRestart = line.forceRestart;
    if (line.switches && !OpenRunLog(line, arguments, &log)) {
        end.fatal = true;  // the log asked for cannot be written: nothing is done
    } else if (sealed && !SealedScriptHolds(run, seal, sealSize, line, &log)) {
        end.fatal = true;
    } else if (line.switches && line.quiet != Quietness::Shown) {
        ComScope com;
        end.fatal = RunUnattended(line, &log) != kExitSuccess;
    } else {
        if (line.switches) run.report = &log;
        if (line.folderGiven && !line.folderCut) CopyBounded(run.givenFolder, sizeof run.givenFolder, line.folder);
        RunShown(instance);
        end.cancelled = line.switches && !run.stepsStarted;
        run.report = nullptr;
    }
    if (run.scriptCopyFolder[0]) RemoveScriptCopy(run);
    end.failed = log.totals.failed;
    end.restartPending = run.restartNeeded || run.removalAtRestart || log.totals.restart > 0;
    if (run.stage == Stage::Uninstalled) FinishUninstall(run);
    if (!line.switches) return 0;
    int code = ChooseExitCode(end);
    log.End(code);
    if (code == kExitRestarting) RestartSystem();
    return code;
}
