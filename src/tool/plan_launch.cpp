#include "tool/plan_launch.h"
#include "run/machine.h"
#include <string>
#include "base/text.h"
#include "launch/launch.h"
#include "launch/launch_text.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

const char* ShowWord(const char* option) {
    switch (LaunchShowCommand(option)) {
    case kLaunchHide: return "hidden";
    case kLaunchMinimized: return "minimised";
    case kLaunchMaximized: return "maximised";
    default: return "shown";
    }
}

}  // namespace

void LaunchSearchFolders(char* system, char* windows) {
    UINT n = GetSystemDirectoryA(system, kPathSize);
    if (n == 0 || n >= kPathSize) system[0] = 0;
    // The folder all users share: under Terminal Services GetWindowsDirectory names one of
    // the user's own. Asked for by name, so the program still loads where it is missing.
    typedef UINT(WINAPI * WindowsFolderCall)(LPSTR, UINT);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto shared = kernel ? reinterpret_cast<WindowsFolderCall>(GetProcAddress(kernel, "GetSystemWindowsDirectoryA"))
                         : nullptr;
    n = shared ? shared(windows, kPathSize) : GetWindowsDirectoryA(windows, kPathSize);
    if (n == 0 || n >= kPathSize) windows[0] = 0;
}

bool LaunchProgramName(const char* program, char* name, size_t cap) {
    char unquoted[kLaunchValueSize + 1];
    if (!UnquoteProgram(program, unquoted, sizeof unquoted)) return false;
    DWORD n = ExpandEnvironmentStringsA(unquoted, name, (DWORD)cap);
    return n != 0 && n <= cap;
}

void PlanLaunchEntries(PlanText& plan, const char* script, const char* prefix, const char* installFolder) {
    bool any = false;
    LaunchFields fields;
    ForEachPrefixedKey(script, "Go2", prefix, kLaunchValueSize + 1, [&](int, char* value) {
        if (!any) {
            plan.Heading(std::string("Launch entries ([Go2] \"") + prefix + "\")");
            // The step's current folder, where programs start and libraries find relative names.
            if (IsAbsolutePath(installFolder) && (IsFolder(installFolder) || plan.Made(installFolder) || (M().Attributes(installFolder) != INVALID_FILE_ATTRIBUTES && (M().Attributes(installFolder) & FILE_ATTRIBUTE_DIRECTORY)))) {
                plan.Note(std::string("in ") + installFolder + " (the install folder): programs start there, and it is "
                          "the current folder while the entries run");
            } else {
                char system[kPathSize], windows[kPathSize];
                LaunchSearchFolders(system, windows);
                plan.Note(std::string("in ") + system + " (the system folder; the install folder is not there): programs "
                          "start there, and it is the current folder while the entries run");
            }
        }
        any = true;
        ReadLaunchEntry(value, script, installFolder, &fields);
        const char* option = OptionKeyword(fields);
        const bool hide = IsHideOption(option);
        if (fields.entry[0] || fields.entryCut) {
            char path[kLaunchValueSize];
            const bool check = IsPresenceCheck(fields.entry);
            if (fields.targetCut || !LaunchLibraryPath(fields.target, path, sizeof path)) {
                plan.Item("refused", fields.target,
                          std::string("(neither a bare name nor a complete path: never loaded") +
                              (check ? "; listed in \"Here is not library.\")"
                                     : hide ? ")" : "; listed in \"Could not load library.\")"));
                return true;
            }
            const bool there = M().Attributes(path) != INVALID_FILE_ATTRIBUTES || plan.Made(path);
            if (check) {
                plan.Item("check", path, there ? "(present: nothing is shown)"
                                               : "(missing: listed in \"Here is not library.\"" +
                                                     std::string(fields.option[0] ? " with its note)" : ")"));
            } else if (fields.entryCut) {
                plan.Item("refused", path, "(the function name does not fit: never looked up)");
            } else {
                plan.Item("call", path, std::string(fields.entry) + "()" +
                                            (there ? "  (whether the library exports it shows when it loads)"
                                                   : hide ? "  (missing: nothing happens)"
                                                          : "  (missing now: listed in \"Could not load library.\")"));
            }
            return true;
        }
        char program[kLaunchValueSize + 1], parameters[kLaunchValueSize];
        bool whole = SplitProgram(fields.target, program, sizeof program, parameters, sizeof parameters);
        if (!whole || fields.targetCut || !program[0]) {
            plan.Item("fails", fields.target[0] ? fields.target : "(no program)",
                      hide ? "(not started)" : "(not started: \"Could not execute.\" is shown)");
            return true;
        }
        std::string detail = std::string(parameters[0] ? std::string("with ") + parameters + ", " : "") + ShowWord(option);
        const std::string failed = hide ? ")" : "; \"Could not execute.\" is shown)";
        char name[kLaunchValueSize + 1], path[kLaunchValueSize + 1];
        if (!LaunchProgramName(program, name, sizeof name)) {
            plan.Item("fails", program, "(the name does not fit once its environment variables are replaced: not started" + failed);
            return true;
        }
        auto there = [&](const char* file) { return M().Attributes(file) != INVALID_FILE_ATTRIBUTES || plan.Made(file); };
        switch (ClassifyProgramName(name)) {
        case ProgramName::Bare: {
            char system[kPathSize], windows[kPathSize];
            LaunchSearchFolders(system, windows);
            if (FindBareProgram(name, system, windows, path, sizeof path, there))
                plan.Item("start", path, detail);
            else
                plan.Item("fails", name, std::string("(not started: not found there, in ") + system + " or " + windows + failed);
            return true;
        }
        case ProgramName::InFolder: {
            std::string below = JoinText(installFolder, name);
            if (below.empty()) {
                plan.Item("fails", name, "(below the install folder it does not fit: not started" + failed);
            } else {
                plan.Item("start", below, detail + (there(below.c_str()) ? "" : "  (not there now" + std::string(hide ? ")" :
                                                    ": \"Could not execute.\" if it stays so)")));
            }
            return true;
        }
        case ProgramName::Refused:
            plan.Item("refused", name, "(a path from the current drive's root, a drive without its backslash or a file: "
                                       "URL: never started" + failed);
            return true;
        case ProgramName::AsWritten: break;
        }
        if (IsAbsolutePath(name) && !there(name))
            plan.Item("start", name, detail + "  (not there now" + (hide ? ")" : ": \"Could not execute.\" if it stays so)"));
        else
            plan.Item("start", name, detail);
        return true;
    });
}
