// What the steps did, one action at a time: the run adds them up (its end and its exit
// code), an unattended run writes each to its log, SetupTool's plan prints each as a line.
#pragma once
#include <windows.h>

// How an action counts.
enum class Outcome {
    Made,       // made or written anew
    Replaced,   // written over what was there
    Kept,       // left as it was, by the script's rule or because it is not the product's
    Removed,    // taken away
    Failed,     // could not be done
    Restart,    // left for the next restart of Windows
    Told,       // neither: a check, a note, a start
};

// The sums of a run or a step.
struct StepTotals {
    int made = 0, replaced = 0, kept = 0, removed = 0, failed = 0, restart = 0;
    void Add(Outcome outcome);
    void Add(const StepTotals& other);
};

class Report {
public:
    // A new part of the run begins ("Files", "Start-menu shortcuts", ...).
    virtual void Section(const char* title) = 0;
    // One action: how it counts, its word ("new", "replace", "keep", "remove", "fails",
    // ...), what it acts on, why or more (may be empty), and the system's error number of
    // a failure (0: none).
    virtual void Action(Outcome outcome, const char* word, const char* object, const char* detail, DWORD error) = 0;
    // A note on the part of the run, not an action.
    virtual void Note(const char* text) = 0;

protected:
    ~Report() = default;
};

// Only the sums: what a plain interactive run keeps.
class TotalsReport : public Report {
public:
    void Section(const char*) override {}
    void Action(Outcome outcome, const char*, const char*, const char*, DWORD) override { totals.Add(outcome); }
    void Note(const char*) override {}
    StepTotals totals;
};

// The run's report (Run().report), or one that only adds up.
Report& RunReport();
inline void Tell(Outcome outcome, const char* word, const char* object, const char* detail = "", DWORD error = 0) {
    RunReport().Action(outcome, word, object, detail ? detail : "", error);
}
inline void TellSection(const char* title) { RunReport().Section(title); }
inline void TellNote(const char* text) { RunReport().Note(text); }
