#include "tool/plan_launch.h"
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

// A program named by a complete path: that path without its quotes; "" otherwise.
std::string CompleteProgram(const char* program) {
    std::string path = program;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    return IsAbsolutePath(path.c_str()) ? path : "";
}

}  // namespace

void PlanLaunchEntries(PlanText& plan, const char* script, const char* prefix, const char* installFolder) {
    bool any = false;
    LaunchFields fields;
    ForEachPrefixedKey(script, "Go2", prefix, kLaunchValueSize + 1, [&](int, char* value) {
        if (!any) plan.Heading(std::string("Launch entries ([Go2] \"") + prefix + "\")");
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
            const bool there = PathExists(path) || plan.Made(path);
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
        std::string complete = CompleteProgram(program);
        if (!complete.empty() && !PathExists(complete.c_str()) && !plan.Made(complete))
            plan.Item("start", program, detail + "  (not there now" + (hide ? ")" : ": \"Could not execute.\" if it stays so)"));
        else
            plan.Item("start", program, detail);
        return true;
    });
}
