// Launch entries: programs and documents through the shell, library functions, and
// the presence checks of libraries.
#include "launch/launch.h"
#include <shellapi.h>
#include "run/run_state.h"
#include "base/growable_text.h"
#include "base/handles.h"
#include "base/text.h"
#include "launch/launch_text.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

// LoadLibraryEx flags of systems that can narrow the search per call.
constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32

// The library's own folder, then the system folder. Not the default directories: they
// include the application's folder, the download folder during an install.
DWORD LibrarySearchFlags() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel && GetProcAddress(kernel, "AddDllDirectory")) return kSearchDllLoadDir | kSearchSystem32;
    return LOAD_WITH_ALTERED_SEARCH_PATH;  // older systems: the library's folder comes first
}

// Keep the process handle, connect network drives, wait for DDE to finish, and no error
// boxes of the shell's own. The environment variables of the program's name are replaced
// before it is looked for (LaunchProgramPath): the shell must not replace them again.
constexpr ULONG kShellMask =
    SEE_MASK_NOCLOSEPROCESS | SEE_MASK_CONNECTNETDRV | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
static_assert(kShellMask == 0x5C0, "the shell's mask bits");

// The Windows folder shared by all users: under Terminal Services GetWindowsDirectory
// names one of the user's own.
bool SharedWindowsFolder(char* out) {
    typedef UINT(WINAPI * WindowsFolderCall)(LPSTR, UINT);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto shared = kernel ? reinterpret_cast<WindowsFolderCall>(GetProcAddress(kernel, "GetSystemWindowsDirectoryA"))
                         : nullptr;
    UINT n = shared ? shared(out, kPathSize) : GetWindowsDirectoryA(out, kPathSize);
    if (n == 0 || n >= kPathSize) out[0] = 0;
    return out[0] != 0;
}

bool SystemFolder(char* out) {
    UINT n = GetSystemDirectoryA(out, kPathSize);
    if (n == 0 || n >= kPathSize) out[0] = 0;
    return out[0] != 0;
}

bool IsProgramFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The process's current folder for as long as the step runs (when the earlier one can be
// put back): functions of the product's libraries then find their relative names in the
// install folder, never in the folder Setup.exe was started from.
class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const char* folder) {
        DWORD n = GetCurrentDirectoryA(sizeof previous_, previous_);
        changed_ = n && n < sizeof previous_ && SetCurrentDirectoryA(folder);
    }
    ~CurrentFolderScope() {
        if (changed_) SetCurrentDirectoryA(previous_);
    }
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

private:
    char previous_[kPathSize];
    bool changed_;
};

// Calls an exported function known by its name only, with no arguments: one that takes
// some finds zeroes. On i686 a stdcall function pops the arguments it expects, so the
// stack pointer is put back after the call (in esi, which the callee preserves), its
// writes to its arguments land in the zeroed pad, and a floating-point result left on
// the x87 stack is dropped. On x64 the caller cleans up: the zeroes are enough.
void CallExport(FARPROC function) {
#if defined(__i386__)
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "subl $64, %%esp\n\t"
        "andl $-16, %%esp\n\t"
        "movl %%esp, %%edi\n\t"
        "movl $16, %%ecx\n\t"
        "xorl %%eax, %%eax\n\t"
        "cld\n\t"
        "rep stosl\n\t"
        "call *%%edx\n\t"
        "movl %%esi, %%esp\n"
        "1:\n\t"
        "fnstsw %%ax\n\t"
        "testw $0x3800, %%ax\n\t"  // the stack's top back at 0: empty
        "jz 2f\n\t"
        "fstp %%st(0)\n\t"
        "jmp 1b\n"
        "2:"
        : "+d"(function)
        :
        : "eax", "ecx", "esi", "edi", "memory", "cc");
#else
    typedef void(WINAPI * PaddedCall)(void*, void*, void*, void*, void*, void*, void*, void*);
    reinterpret_cast<PaddedCall>(function)(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
#endif
}

struct Reports {
    GrowableText loadFailure, notALibrary, missingEntry;
};

void AddLine(Reports& reports, LaunchReport kind, const LaunchFields& fields) {
    switch (kind) {
    case LaunchReport::LoadFailure:
        AddReportLine(reports.loadFailure, Msg("Could not load library.\n\n", "ライブラリをロードできませんでした\n\n"),
                      kind, fields);
        break;
    case LaunchReport::NotALibrary:
        AddReportLine(reports.notALibrary, Msg("Here is not library.\n\n", "ライブラリがありません\n\n"), kind, fields);
        break;
    case LaunchReport::MissingEntry:
        AddReportLine(reports.missingEntry,
                      Msg("Could not find entry.\n\n", "エントリポイントを見つけられませんでした\n\n"), kind, fields);
        break;
    }
}

void StartThroughShell(HWND owner, const LaunchFields& fields, const char* installFolder, const char* workingFolder) {
    char program[kLaunchValueSize + 1];
    char parameters[kLaunchValueSize];
    char file[kLaunchValueSize + 1];
    bool whole = SplitProgram(fields.target, program, sizeof program, parameters, sizeof parameters);
    const char* option = OptionKeyword(fields);
    BOOL started = FALSE;
    // An empty program would open the current folder instead of anything the entry names.
    if (whole && !fields.targetCut && program[0] && LaunchProgramPath(program, installFolder, file, sizeof file)) {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = kShellMask;
        info.hwnd = owner;
        info.lpFile = file;
        info.lpParameters = parameters[0] ? parameters : nullptr;
        info.lpDirectory = workingFolder[0] ? workingFolder : nullptr;
        info.nShow = LaunchShowCommand(option);
        started = ShellExecuteExA(&info);
        UniqueKernelHandle process(info.hProcess);  // kept by the call, never waited for
    }
    if (!started && !IsHideOption(option))
        MessageBoxA(owner, Msg("Could not execute.", "実行を失敗しました"), program, MB_OK | MB_ICONEXCLAMATION);
}

// The library a launch entry names; null when it cannot be loaded or is refused.
HMODULE LoadLaunchLibrary(const char* name) {
    char path[kLaunchValueSize];
    if (!LaunchLibraryPath(name, path, sizeof path)) return nullptr;
    return LoadLibraryExA(path, nullptr, LibrarySearchFlags());
}

void CallLibrary(const LaunchFields& fields, Reports& reports) {
    bool hide = IsHideOption(OptionKeyword(fields));
    bool check = IsPresenceCheck(fields.entry);
    if (fields.entryCut) {  // looking up a cut name could call another function
        if (!hide) AddLine(reports, LaunchReport::MissingEntry, fields);
        return;
    }
    UniqueModule library(fields.targetCut ? nullptr : LoadLaunchLibrary(fields.target));
    if (check) {
        if (!library) AddLine(reports, LaunchReport::NotALibrary, fields);
        return;
    }
    if (!library) {
        if (!hide) AddLine(reports, LaunchReport::LoadFailure, fields);
        return;
    }
    FARPROC function = GetProcAddress(library.get(), fields.entry);
    if (function) {
        CallExport(function);
    } else if (!hide) {
        AddLine(reports, LaunchReport::MissingEntry, fields);
    }
}

void ShowReport(HWND owner, const GrowableText& report, const char* caption) {
    if (report.size()) MessageBoxA(owner, report.data(), caption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

bool LaunchProgramPath(const char* program, const char* installFolder, char* path, size_t cap) {
    if (!path || cap == 0) return false;
    path[0] = 0;
    char name[kLaunchValueSize + 1], expanded[kLaunchValueSize + 1];
    if (!UnquoteProgram(program, name, sizeof name)) return false;
    DWORD n = ExpandEnvironmentStringsA(name, expanded, sizeof expanded);
    if (n == 0 || n > sizeof expanded) return false;  // a cut name is another program
    bool found = false;
    switch (ClassifyProgramName(expanded)) {
    case ProgramName::AsWritten: found = CopyBounded(path, cap, expanded); break;
    case ProgramName::InFolder:
        found = installFolder && IsAbsolutePath(installFolder) && CopyBounded(path, cap, installFolder) &&
                JoinPath(path, expanded, cap);
        break;
    case ProgramName::Bare: {
        char system[kPathSize], windows[kPathSize];
        SystemFolder(system);
        SharedWindowsFolder(windows);
        found = FindBareProgram(expanded, system, windows, path, cap, IsProgramFile);
        break;
    }
    case ProgramName::Refused: break;
    }
    if (!found) path[0] = 0;
    return found;
}

bool LaunchLibraryPath(const char* name, char* path, size_t cap) {
    switch (ClassifyLibraryName(name)) {
    case LibraryName::Bare: {
        UINT n = GetSystemDirectoryA(path, (UINT)(cap < kPathSize ? cap : kPathSize));
        return n != 0 && n < kPathSize && JoinPath(path, name, cap);
    }
    case LibraryName::Absolute: return CopyBounded(path, cap, name);
    case LibraryName::Relative: break;  // to the current folder, during an install the download folder
    }
    return false;
}

void ReadLaunchEntry(const char* value, const char* script, const char* installFolder, LaunchFields* fields) {
    bool valueCut = strlen(value) >= kLaunchValueSize;
    SplitLaunchValue(value, valueCut, fields);
    bool whole = installFolder ? ExpandFolderTokensFor(fields->target, sizeof fields->target, installFolder)
                               : ExpandFolderTokens(fields->target, sizeof fields->target, script);
    if (!whole) fields->targetCut = true;
}

void RunLaunchEntries(HWND dialog, const char* prefix) {
    const char* script = Script();
    char installFolder[kPathSize], workingFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    if (!IsAbsolutePath(installFolder) || !IsFolder(installFolder) ||
        !CopyBounded(workingFolder, sizeof workingFolder, installFolder))
        SystemFolder(workingFolder);
    CurrentFolderScope current(workingFolder);
    Reports reports;
    LaunchFields fields;
    // One byte more than a value may hold shows a value that is longer.
    ForEachPrefixedKey(script, "Go2", prefix, kLaunchValueSize + 1, [&](int, char* value) {
        ReadLaunchEntry(value, script, nullptr, &fields);
        if (fields.entry[0] || fields.entryCut)
            CallLibrary(fields, reports);
        else
            StartThroughShell(dialog, fields, installFolder, workingFolder);
        return true;
    });
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, script);
    ShowReport(dialog, reports.loadFailure, caption);
    ShowReport(dialog, reports.notALibrary, caption);
    ShowReport(dialog, reports.missingEntry, caption);
}
