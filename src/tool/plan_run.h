// A plan is the run itself, carried out on a machine that changes nothing: the steps
// report each action, and the plan prints them.
#pragma once
#include <string>
#include "run/channel.h"
#include "run/report.h"
#include "run/run_state.h"
#include "tool/plan_machine.h"
#include "tool/plan_output.h"

// The lines of a plan from the steps' reports: a part's heading only once something is
// said in it, so that a step with nothing to do leaves no heading.
class PlanReport : public Report {
public:
    explicit PlanReport(PlanText& plan) : plan_(plan) {}
    void Section(const char* title) override;
    void Action(Outcome outcome, const char* word, const char* object, const char* detail, DWORD error) override;
    void Note(const char* text) override;

private:
    void Begin();
    PlanText& plan_;
    std::string pending_;
};

// Questions are answered as the plan tells them: No to a question (what waits for it
// stays as it is), OK to a report.
class PlanChannel : public Channel {
public:
    Answer Ask(const Message& message) override { return message.kind == Message::Question ? Answer::No : Answer::Ok; }
};

// For its lifetime the steps run on a plan machine and a private copy of the script, the
// program being folder\Setup.exe; the run state is put back afterwards.
class DryRun {
public:
    DryRun(const std::string& script, PlanText& plan);
    ~DryRun();
    DryRun(const DryRun&) = delete;
    DryRun& operator=(const DryRun&) = delete;
    // The private copy the steps work on ("" when none could be made: nothing must run).
    const std::string& script() const { return copy_; }
    PlanMachine& machine() { return machine_; }

private:
    RunState saved_;
    PlanMachine machine_;
    PlanChannel channel_;
    PlanReport report_;
    std::string folder_, copy_;
};
