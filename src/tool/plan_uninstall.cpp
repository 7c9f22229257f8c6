// The plan of an uninstall: every removal of the uninstall run in its order, from the
// record the uninstaller reads, with what each removal leaves behind.
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "base/handles.h"
#include "base/text.h"
#include "install/choices.h"
#include "registry/registry.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shortcuts.h"
#include "app/run_sequence.h"
#include "tool/plan.h"
#include "launch/launch.h"
#include "tool/plan_output.h"
#include "tool/plan_run.h"
#include "run/run_state.h"
#include "ui/main_dialog.h"
#include "uninstall/removal.h"

namespace {

bool IsRecord(const std::string& script) { return ReadNumber("CopiedFile", "Count", 0, script.c_str()) != 0; }

class UninstallPlanner {
public:
    UninstallPlanner(const std::string& record, PlanText& plan) : record_(record), plan_(plan) {
        const char* bs = FindLastBackslash(record.c_str());
        recordFolder_ = bs ? record.substr(0, (size_t)(bs - record.c_str())) : ".";
        exe_ = JoinText(recordFolder_, "Setup.exe");
        ReadText("Root", "Named", install_, sizeof install_, script());
    }
    void Run();

private:
    const char* script() const { return record_.c_str(); }
    void SelfRemoval();

    void RemoveFolderIfEmpty(const std::string& folder, const char* why) {
        if (!IsFolder(folder.c_str()) || sim_.FileRemoved(folder)) return;
        if (sim_.FolderEmptyAfter(folder)) {
            plan_.Item("remove-folder", folder, why);
            sim_.RemoveFile(folder);
        } else {
            plan_.Item("stays", folder, "(not empty)");
        }
    }

    std::string record_, recordFolder_, exe_;
    char install_[kPathSize] = "";
    PlanText& plan_;
    RemovalSimulation sim_;
    bool leftAtRestart_ = false;
};

void UninstallPlanner::SelfRemoval() {
    plan_.Heading("The uninstaller itself (after the uninstall ends)");
    if (leftAtRestart_) {
        plan_.Item("remove", record_, "(at the next restart)");
        plan_.Item("remove", exe_, "(at the next restart)");
        plan_.Note("the user is asked whether to restart now");
        return;
    }
    plan_.Item("remove", record_, "(the install record)");
    sim_.RemoveFile(record_);
    plan_.Item("remove", exe_, "(by the self-removal, once the program has ended)");
    sim_.RemoveFile(exe_);
    RemoveFolderIfEmpty(recordFolder_, "(the install folder)");
}

void UninstallPlanner::Run() {
    char name[kValueSize];
    ReadText("Setup", "Name", name, sizeof name, script());
    plan_.Title("Plan of the uninstall of \"" + std::string(name) + "\" from its record " + record_ + ".");
    plan_.Title("Nothing has been changed. The install folder is " + std::string(install_) + ".");
    {
        // The uninstall run itself on the plan's machine, over a private copy of the record;
        // the record beside the uninstaller stays the script the guards keep.
        DryRun dry(record_, plan_);
        if (dry.script().empty()) {
            plan_.Note("no private copy of the record could be made: nothing is planned");
            return;
        }
        CopyBounded(::Run().originalScript, sizeof ::Run().originalScript, record_.c_str());
        NoPace pace;
        RunUninstallSteps(nullptr, install_, pace);
        leftAtRestart_ = ::Run().removalAtRestart;
        for (const std::string& path : dry.machine().Removed()) sim_.RemoveFile(path);
    }
    SelfRemoval();
}

}  // namespace

bool PlanUninstall(const std::string& folder, std::string* out, std::string* errors) {
    std::string script = JoinText(folder, "Setup.ini");
    if (script.empty() || !PathExists(script.c_str())) {
        *errors += script + ": no such file\n";
        return false;
    }
    std::string record = script;
    if (IsRecord(script)) {
        // The script that ran an install is a record too; the uninstall is run from the
        // copy placed in the install folder.
        char named[kPathSize];
        std::string placed;
        if (ReadText("Root", "Named", named, sizeof named, script.c_str()))
            placed = JoinText(named, "Setup.ini");
        if (!placed.empty() && PathExists(placed.c_str()) && IsRecord(placed)) record = placed;
    } else {
        // A setup script: the uninstall is that of the install its product registered.
        char rootName[kValueSize], earlier[kPathSize];
        if (!ReadText("Root", "Name", rootName, sizeof rootName, script.c_str()) ||
            !FindEarlierInstall(LastComponent(rootName), earlier)) {
            *errors += script + ": a setup script, and no install of its product is registered\n";
            return false;
        }
        record = JoinText(earlier, "Setup.ini");
        if (record.empty() || !PathExists(record.c_str()) || !IsRecord(record)) {
            *errors += std::string("the registered install in ") + earlier + " has no install record\n";
            return false;
        }
    }
    PlanText plan;
    UninstallPlanner(record, plan).Run();
    *out = plan.text();
    return true;
}
