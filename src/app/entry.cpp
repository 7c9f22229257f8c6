#include "app/entry.h"
#include <objbase.h>
#include <stdlib.h>
#include <string.h>
#include "app/backdrop.h"
#include "app/handover.h"
#include "app/run_state.h"
#include "draw/backdrop_picture.h"
#include "res/resource.h"
#include "base/handles.h"
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

RunMode ChooseRunMode(const char* arguments) {
    if (strcmp(arguments, "remove") == 0) return RunMode::Remove;
    if (strcmp(arguments, "reboot") == 0) return RunMode::Reboot;
    if (strcmp(arguments, "uninstall") == 0) return RunMode::Uninstall;
    return RunMode::Install;
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
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) EnableShutdownPrivilege();
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

// Whether the script can be written where it lies (not on a disc or a read-only share).
static bool ScriptIsWritable(const char* path) {
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file || GetLastError() == ERROR_FILE_NOT_FOUND;  // a missing script has nothing to lose
}

// Every record write would fail on read-only media and leave an uninstaller without a
// record: the run works on a copy in a fresh folder under the user's temporary folder.
static void UseWritableScriptCopy(RunState& run) {
    if (ScriptIsWritable(run.scriptPath)) return;
    char temp[kPathSize], folder[kPathSize], copy[kPathSize];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp || !GetTempFileNameA(temp, "stp", 0, folder)) return;
    DeleteFileA(folder);  // the unique name becomes the folder's
    if (!CreateDirectoryA(folder, nullptr)) return;
    CopyBounded(copy, sizeof copy, folder);
    if (!JoinPath(copy, "Setup.ini") || !CopyFileA(run.scriptPath, copy, FALSE)) {
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
        return;
    }
    SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);  // a disc's read-only mark comes along
    CopyBounded(run.scriptPath, sizeof run.scriptPath, copy);
    CopyBounded(run.scriptCopyFolder, sizeof run.scriptCopyFolder, folder);
}

static void RemoveScriptCopy(const RunState& run) {
    FlushScript(run.scriptPath);
    DeleteFileA(run.scriptPath);
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

int RunSetup(HINSTANCE instance, const char* arguments) {
    RestrictDllSearch();
    // A missing disk or drive must not stop the run with a system error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    RunState& run = Run();
    run.instance = instance;
    run.restartNeeded = false;
    run.removalAtRestart = false;
    RunMode mode = ChooseRunMode(arguments);
    if (mode == RunMode::Remove) {
        Sleep(5000);
        RemoveSelf();
        return 0;
    }
    if (!BuildScriptPath(run.scriptPath, sizeof run.scriptPath)) return 1;
    if (mode == RunMode::Reboot) {
        Sleep(5000);
        AskForRestart(kRebootQuestionEn, kRebootQuestionJa);
        return 0;
    }
    UseWritableScriptCopy(run);
    GetWindowRect(GetDesktopWindow(), &run.screenRect);
    run.readmeStartPage = -1;
    run.stage = Stage::Install;
    run.uninstallMode = mode == RunMode::Uninstall;
    {
        ComScope com;
        BackdropSurface surface;
        if (ReadNumber("Back", "Do", 0, Script()) != 0) surface.Prepare(run.screenRect, Script());
        run.backdropDC = surface.dc.get();
        HWND backdrop = CreateBackdropWindow(instance);
        if (backdrop) RunMessageLoop(backdrop);
        run.backdropDC = nullptr;
    }
    if (run.scriptCopyFolder[0]) {
        // The executable on read-only media is not the run's to remove.
        RemoveScriptCopy(run);
        if (run.stage == Stage::Uninstalled && run.removalAtRestart) AskForRestart(kDeleteQuestionEn, kDeleteQuestionJa);
        return 0;
    }
    if (run.stage != Stage::Uninstalled) return 0;
    if (!run.removalAtRestart) {
        ShellDeleteFile(Script());
        StartSelfRemoval();
        return 0;
    }
    AskForRestart(kDeleteQuestionEn, kDeleteQuestionJa);
    return 0;
}
