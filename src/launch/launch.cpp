// Launch entries: programs and documents through the shell, library functions, and
// the presence checks of libraries.
#include "launch/launch.h"
#include "base/growable_text.h"
#include "base/text.h"
#include "launch/launch_text.h"
#include "run/channel.h"
#include "run/machine.h"
#include "run/report.h"
#include "run/run_state.h"
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

bool SystemFolder(char* out) {
    UINT n = GetSystemDirectoryA(out, kPathSize);
    if (n == 0 || n >= kPathSize) out[0] = 0;
    return out[0] != 0;
}

bool IsProgramFile(const char* path) {
    DWORD attributes = M().Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolderThere(const char* path) {
    DWORD attributes = M().Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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

// A library loaded through the run's machine, freed through it.
class LoadedLibrary {
public:
    explicit LoadedLibrary(HMODULE module) : module_(module) {}
    ~LoadedLibrary() {
        if (module_) M().CloseLibrary(module_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    HMODULE get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }

private:
    HMODULE module_;
};

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

// A failure the option hides is no failure of the run: the author asked for silence.
Outcome FailureOf(bool hide) { return hide ? Outcome::Told : Outcome::Failed; }

const char* ShowWord(const char* option) {
    switch (LaunchShowCommand(option)) {
    case kLaunchHide: return "hidden";
    case kLaunchMinimized: return "minimised";
    case kLaunchMaximized: return "maximised";
    default: return "shown";
    }
}

// Why a program has no file to start.
enum class ProgramFile { Found, NameCut, NotInSystemFolders, NoInstallFolder, PathCut, Refused };

// The file a shell-form program is started from (LaunchProgramPath), with its name as
// looked for (kLaunchValueSize + 1 bytes), how it was named, and for a bare name the two
// folders searched (kPathSize bytes each).
ProgramFile FindProgramFile(const char* program, const char* installFolder, char* name, ProgramName* kind,
                            char* path, size_t cap, char* system, char* windows) {
    path[0] = 0;
    *kind = ProgramName::Refused;
    if (!LaunchProgramName(program, name, kLaunchValueSize + 1)) return ProgramFile::NameCut;  // a cut name is another program
    *kind = ClassifyProgramName(name);
    switch (*kind) {
    case ProgramName::AsWritten:
        if (CopyBounded(path, cap, name)) return ProgramFile::Found;
        break;
    case ProgramName::InFolder:
        if (!installFolder || !IsAbsolutePath(installFolder)) return ProgramFile::NoInstallFolder;
        if (CopyBounded(path, cap, installFolder) && JoinPath(path, name, cap)) return ProgramFile::Found;
        break;
    case ProgramName::Bare:
        LaunchSearchFolders(system, windows);
        return FindBareProgram(name, system, windows, path, cap, IsProgramFile) ? ProgramFile::Found
                                                                                 : ProgramFile::NotInSystemFolders;
    case ProgramName::Refused: return ProgramFile::Refused;
    }
    path[0] = 0;
    return ProgramFile::PathCut;
}

// Starts one program entry, or tells why it is not started and warns unless hidden.
void StartThroughShell(HWND owner, const LaunchFields& fields, const char* installFolder, const char* workingFolder) {
    char program[kLaunchValueSize + 1];
    char parameters[kLaunchValueSize];
    bool whole = SplitProgram(fields.target, program, sizeof program, parameters, sizeof parameters);
    const char* option = OptionKeyword(fields);
    const bool hide = IsHideOption(option);
    const Outcome failed = FailureOf(hide);
    const char* shown = hide ? ")" : "; \"Could not execute.\" is shown)";
    char detail[kLaunchValueSize + 3 * kPathSize];
    // An empty program would open the current folder instead of anything the entry names.
    if (!whole || fields.targetCut || !program[0]) {
        FormatBounded(detail, sizeof detail, "(not started%s", hide ? ")" : ": \"Could not execute.\" is shown)");
        Tell(failed, "fails", fields.target[0] ? fields.target : "(no program)", detail);
    } else {
        char name[kLaunchValueSize + 1], file[kLaunchValueSize + 1], system[kPathSize] = "", windows[kPathSize] = "";
        ProgramName kind;
        switch (FindProgramFile(program, installFolder, name, &kind, file, sizeof file, system, windows)) {
        case ProgramFile::Found: {
            DWORD error = 0;
            if (M().Start(owner, file, parameters, workingFolder, LaunchShowCommand(option), &error)) {
                // Only a plan starts what is not there yet: something may still put it in place.
                const bool path = kind == ProgramName::InFolder || (kind == ProgramName::AsWritten && IsAbsolutePath(file));
                const bool missing = path && M().Attributes(file) == INVALID_FILE_ATTRIBUTES;
                FormatBounded(detail, sizeof detail, "%s%s%s%s%s", parameters[0] ? "with " : "", parameters,
                              parameters[0] ? ", " : "", ShowWord(option),
                              !missing ? ""
                              : hide   ? "  (not there now)"
                                       : "  (not there now: \"Could not execute.\" if it stays so)");
                Tell(Outcome::Told, "start", file, detail);
                return;
            }
            FormatBounded(detail, sizeof detail, "(not started%s", hide ? ")" : ": \"Could not execute.\" is shown)");
            Tell(failed, "fails", file, detail, error);
            break;
        }
        case ProgramFile::NameCut:
            FormatBounded(detail, sizeof detail,
                          "(the name does not fit once its environment variables are replaced: not started%s", shown);
            Tell(failed, "fails", program, detail);
            break;
        case ProgramFile::NotInSystemFolders:
            FormatBounded(detail, sizeof detail, "(not started: not found there, in %s or %s%s", system, windows, shown);
            Tell(failed, "fails", name, detail);
            break;
        case ProgramFile::NoInstallFolder:
            FormatBounded(detail, sizeof detail, "(no install folder to take it below: not started%s", shown);
            Tell(failed, "fails", name, detail);
            break;
        case ProgramFile::PathCut:
            FormatBounded(detail, sizeof detail, "(%s it does not fit: not started%s",
                          kind == ProgramName::InFolder ? "below the install folder" : "as a path", shown);
            Tell(failed, "fails", name, detail);
            break;
        case ProgramFile::Refused:
            FormatBounded(detail, sizeof detail,
                          "(a path from the current drive's root, a drive without its backslash or a file: URL: "
                          "never started%s",
                          shown);
            Tell(failed, "refused", name, detail);
            break;
        }
    }
    if (!hide) Ask(Message{Message::Exclamation, program, Msg("Could not execute.", "実行を失敗しました")});
}

// Calls one library entry, or checks that the library loads; failures go to the reports.
void CallLibrary(const LaunchFields& fields, Reports& reports) {
    const bool hide = IsHideOption(OptionKeyword(fields));
    const bool check = IsPresenceCheck(fields.entry);
    const Outcome failed = FailureOf(hide);
    char path[kLaunchValueSize];
    const bool named = !fields.targetCut && LaunchLibraryPath(fields.target, path, sizeof path);
    char detail[2 * kLaunchFieldSize + 128];
    if (fields.entryCut) {  // looking up a cut name could call another function
        Tell(failed, "refused", named ? path : fields.target,
             hide ? "(the function name does not fit: never looked up)"
                  : "(the function name does not fit: never looked up; listed in \"Could not find entry.\")");
        if (!hide) AddLine(reports, LaunchReport::MissingEntry, fields);
        return;
    }
    if (!named) {
        FormatBounded(detail, sizeof detail, "(%s: never loaded%s",
                      fields.targetCut ? "too long once its folders are filled in"
                                       : "neither a bare name nor a complete path",
                      check  ? "; listed in \"Here is not library.\")"
                      : hide ? ")"
                             : "; listed in \"Could not load library.\")");
        Tell(check ? Outcome::Failed : failed, "refused", fields.target, detail);
        if (check) AddLine(reports, LaunchReport::NotALibrary, fields);
        else if (!hide) AddLine(reports, LaunchReport::LoadFailure, fields);
        return;
    }
    LoadedLibrary library(M().OpenLibrary(path, LibrarySearchFlags()));
    const DWORD error = library ? 0 : GetLastError();
    // Not loaded: missing, or there but no library the system can load.
    const char* why = !library && M().Attributes(path) != INVALID_FILE_ATTRIBUTES ? "does not load" : "missing";
    if (check) {
        if (library) {
            Tell(Outcome::Told, "check", path, "(present: nothing is shown)");
            return;
        }
        FormatBounded(detail, sizeof detail, "(%s: listed in \"Here is not library.\"%s)", why,
                      fields.option[0] ? " with its note" : "");
        Tell(Outcome::Failed, "check", path, detail, error);
        AddLine(reports, LaunchReport::NotALibrary, fields);
        return;
    }
    if (!library) {
        FormatBounded(detail, sizeof detail, "%s()  (%s%s: %s)", fields.entry, why,
                      !hide && why[0] == 'm' ? " now" : "", hide ? "nothing happens" : "listed in \"Could not load library.\"");
        Tell(failed, "call", path, detail, error);
        if (!hide) AddLine(reports, LaunchReport::LoadFailure, fields);
        return;
    }
    FARPROC function = M().LibraryFunction(library.get(), fields.entry);
    if (function) {
        FormatBounded(detail, sizeof detail, "%s()", fields.entry);
        Tell(Outcome::Told, "call", path, detail);
        M().CallFunction(function);
        return;
    }
    FormatBounded(detail, sizeof detail, "%s()  (not exported: %s)", fields.entry,
                  hide ? "nothing happens" : "listed in \"Could not find entry.\"");
    Tell(failed, "call", path, detail);
    if (!hide) AddLine(reports, LaunchReport::MissingEntry, fields);
}

void ShowReport(const GrowableText& report, const char* caption) {
    if (report.size()) Ask(Message{Message::Exclamation, caption, report.data()});
}

}  // namespace

void LaunchSearchFolders(char* system, char* windows) {
    SystemFolder(system);
    // The folder all users share: under Terminal Services GetWindowsDirectory names one of
    // the user's own. Asked for by name, so the program still loads where it is missing.
    typedef UINT(WINAPI * WindowsFolderCall)(LPSTR, UINT);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto shared = kernel ? reinterpret_cast<WindowsFolderCall>(GetProcAddress(kernel, "GetSystemWindowsDirectoryA"))
                         : nullptr;
    UINT n = shared ? shared(windows, kPathSize) : GetWindowsDirectoryA(windows, kPathSize);
    if (n == 0 || n >= kPathSize) windows[0] = 0;
}

bool LaunchProgramName(const char* program, char* name, size_t cap) {
    char unquoted[kLaunchValueSize + 1];
    if (!UnquoteProgram(program, unquoted, sizeof unquoted)) return false;
    DWORD n = ExpandEnvironmentStringsA(unquoted, name, (DWORD)cap);
    return n != 0 && n <= cap;
}

bool LaunchProgramPath(const char* program, const char* installFolder, char* path, size_t cap) {
    if (!path || cap == 0) return false;
    char name[kLaunchValueSize + 1], system[kPathSize], windows[kPathSize];
    ProgramName kind;
    return FindProgramFile(program, installFolder, name, &kind, path, cap, system, windows) == ProgramFile::Found;
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
    const bool inInstallFolder = IsAbsolutePath(installFolder) && IsFolderThere(installFolder) &&
                                 CopyBounded(workingFolder, sizeof workingFolder, installFolder);
    if (!inInstallFolder) SystemFolder(workingFolder);
    CurrentFolderScope current(workingFolder);
    Reports reports;
    LaunchFields fields;
    bool any = false;
    // One byte more than a value may hold shows a value that is longer.
    ForEachPrefixedKey(script, "Go2", prefix, kLaunchValueSize + 1, [&](int, char* value) {
        if (!any) {
            any = true;
            char text[kPathSize + 160];
            FormatBounded(text, sizeof text, "Launch entries ([Go2] \"%s\")", prefix);
            TellSection(text);
            FormatBounded(text, sizeof text,
                          "in %s (%s): programs start there, and it is the current folder while the entries run",
                          workingFolder,
                          inInstallFolder ? "the install folder" : "the system folder; the install folder is not there");
            TellNote(text);
        }
        ReadLaunchEntry(value, script, nullptr, &fields);
        if (fields.entry[0] || fields.entryCut)
            CallLibrary(fields, reports);
        else
            StartThroughShell(dialog, fields, installFolder, workingFolder);
        return true;
    });
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, script);
    ShowReport(reports.loadFailure, caption);
    ShowReport(reports.notALibrary, caption);
    ShowReport(reports.missingEntry, caption);
}
