#include "tool/plan_run.h"
#include <windows.h>
#include "base/text.h"
#include "run/private_folder.h"
#include "script/paths.h"

namespace {

// The steps' part names as the plan heads them.
std::string HeadingOf(const std::string& title) {
    if (title == "Folders") return "Folders (each is recorded; the uninstall removes those it finds empty)";
    if (title == "Earlier Start-menu shortcuts")
        return "Start-menu shortcuts of the install already in this folder (removed first)";
    return title;
}

}  // namespace

void PlanReport::Section(const char* title) { pending_ = HeadingOf(title); }

void PlanReport::Begin() {
    if (pending_.empty()) return;
    plan_.Heading(pending_);
    pending_.clear();
}

void PlanReport::Action(Outcome, const char* word, const char* object, const char* detail, DWORD) {
    Begin();
    plan_.Item(word, object, detail ? detail : "");
}

void PlanReport::Note(const char* text) {
    Begin();
    plan_.Note(text);
}

DryRun::DryRun(const std::string& script, PlanText& plan) : saved_(Run()), report_(plan) {
    char folder[MAX_PATH];
    if (!MakePrivateFolder(folder, sizeof folder)) return;
    folder_ = folder;
    std::string copy = folder_ + "\\Setup.ini";
    if (!CopyFileA(script.c_str(), copy.c_str(), FALSE)) return;
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    copy_ = copy;
    RunState& run = Run();
    CopyBounded(run.scriptPath, sizeof run.scriptPath, copy_.c_str());
    run.scriptCopyFolder[0] = 0;  // the record never moves: the plan places nothing
    run.originalScript[0] = 0;
    std::string program = script.substr(0, script.size() - strlen(LastComponent(script.c_str()))) + "Setup.exe";
    CopyBounded(run.program, sizeof run.program, program.c_str());
    run.machine = &machine_;
    run.channel = &channel_;
    run.report = &report_;
}

DryRun::~DryRun() {
    Run() = saved_;
    if (!copy_.empty()) {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy_.c_str());
        DeleteFileA(copy_.c_str());
    }
    if (!folder_.empty()) RemoveDirectoryA(folder_.c_str());
}
