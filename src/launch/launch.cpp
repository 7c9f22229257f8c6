// Launch entries: programs and documents through the shell, library functions, and
// the presence checks of libraries.
#include "launch/launch.h"
#include <shellapi.h>
#include "app/run_state.h"
#include "base/growable_text.h"
#include "base/handles.h"
#include "base/text.h"
#include "launch/launch_text.h"
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

// Keep the process handle, connect network drives, wait for DDE to finish, expand
// environment variables, and no error boxes of the shell's own.
constexpr ULONG kShellMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_CONNECTNETDRV | SEE_MASK_FLAG_DDEWAIT |
                             SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
static_assert(kShellMask == 0x7C0, "the shell's mask bits");

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

void StartThroughShell(HWND owner, const LaunchFields& fields) {
    char program[kLaunchValueSize + 1];
    char parameters[kLaunchValueSize];
    bool whole = SplitProgram(fields.target, program, sizeof program, parameters, sizeof parameters);
    const char* option = OptionKeyword(fields);
    BOOL started = FALSE;
    // An empty program would open the current folder instead of anything the entry names.
    if (whole && !fields.targetCut && program[0]) {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = kShellMask;
        info.hwnd = owner;
        info.lpFile = program;
        info.lpParameters = parameters[0] ? parameters : nullptr;
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
    typedef void(WINAPI * EntryFunction)();
    auto function = reinterpret_cast<EntryFunction>(GetProcAddress(library.get(), fields.entry));
    if (function) {
        function();
    } else if (!hide) {
        AddLine(reports, LaunchReport::MissingEntry, fields);
    }
}

void ShowReport(HWND owner, const GrowableText& report, const char* caption) {
    if (report.size()) MessageBoxA(owner, report.data(), caption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

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
    Reports reports;
    LaunchFields fields;
    // One byte more than a value may hold shows a value that is longer.
    ForEachPrefixedKey(script, "Go2", prefix, kLaunchValueSize + 1, [&](int, char* value) {
        ReadLaunchEntry(value, script, nullptr, &fields);
        if (fields.entry[0] || fields.entryCut)
            CallLibrary(fields, reports);
        else
            StartThroughShell(dialog, fields);
        return true;
    });
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, script);
    ShowReport(dialog, reports.loadFailure, caption);
    ShowReport(dialog, reports.notALibrary, caption);
    ShowReport(dialog, reports.missingEntry, caption);
}
