// The plan of an install: the install run's own sequence of steps, carried out on a
// machine that changes nothing, each step telling what it would do.
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "base/handles.h"
#include "base/text.h"
#include "install/copy.h"
#include "install/copy_entry.h"
#include "registry/registry.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "install/choices.h"
#include "app/run_sequence.h"
#include "tool/plan.h"
#include "tool/plan_output.h"
#include "tool/plan_run.h"
#include "install/uninstaller.h"
#include "launch/launch.h"
#include "run/run_state.h"
#include "script/created.h"
#include "shell/shortcuts.h"

namespace {

std::string OnOff(const BoxChoice& box) {
    std::string text = std::string(box.label) + (box.checked() ? " on" : " off");
    if (!box.offered()) text += box.mode == 0 || box.mode == 3 ? " (hidden)" : " (mode " + std::to_string(box.mode) + ")";
    return text;
}

class InstallPlanner {
public:
    InstallPlanner(const std::string& folder, PlanText& plan) : folder_(folder), plan_(plan) {
        script_ = JoinText(folder, "Setup.ini");
    }
    void Run();

private:
    const char* script() const { return script_.c_str(); }
    const char* install() const { return c_.installFolder; }
    void Header();

    std::string folder_, script_;
    PlanText& plan_;
    DialogChoices c_;
};

void InstallPlanner::Header() {
    char name[kValueSize];
    ReadText("Setup", "Name", name, sizeof name, script());
    plan_.Title("Plan of an install of \"" + std::string(name) + "\" from " + script_ +
                " on this machine, with the dialog's default choices.");
    plan_.Title("Nothing has been changed. Files are taken from " + folder_ + " (Setup.exe started from its folder).");
    plan_.Heading("Install folder");
    plan_.Note(std::string(install()) + (PathExists(install()) ? " (exists)" : " (new)"));
    if (c_.record) plan_.Note("the script is an install record: the run copies no files, and its uninstall is "
                              "\"plan --uninstall\"");
    if (c_.versionUp)
        plan_.Note(std::string("version-up of the install registered in ") + c_.earlierFolder +
                   ": its choices are offered again");
    else
        plan_.Note("no earlier install of this product is registered");
    if (!c_.folderUsable) plan_.Note("the dialog refuses this folder (a drive root or no complete path): OK does nothing");
    std::string boxes;
    for (int i = 0; i < kBoxCount; ++i) boxes += (i ? ", " : "") + OnOff(c_.boxes[i]);
    plan_.Heading("Options");
    plan_.Note(boxes);
    if (ReadNumber("Setup", "Auto", 0, script()) != 0) plan_.Note("[Setup] \"Auto\": the run starts by itself");
}

// The install run itself, on the plan's machine, with the dialog's default choices and
// the script as the dialog's set-up leaves it.
void InstallPlanner::Run() {
    ReadDialogChoices(script(), &c_);
    SetCurrentDirectoryA(folder_.c_str());
    Header();
    DryRun dry(script_, plan_);
    if (dry.script().empty()) {
        plan_.Note("no private copy of the script could be made: nothing more is planned");
        return;
    }
    ApplyDialogChoices(c_, Script());
    if (c_.record) {
        plan_.Heading("Files");
        plan_.Note("none: an install record copies nothing");
    }
    NoPace pace;
    RunInstallSteps(nullptr, RequestFromChoices(c_, install()), pace);
}

}  // namespace

bool PlanInstall(const std::string& folder, std::string* out, std::string* errors) {
    std::string script = JoinText(folder, "Setup.ini");
    if (script.empty() || !PathExists(script.c_str())) {
        *errors += script + ": no such file\n";
        return false;
    }
    PlanText plan;
    InstallPlanner(folder, plan).Run();
    *out = plan.text();
    return true;
}
