// Runs started with switches: the unattended install and uninstall (no backdrop, no
// dialog, no question: every question answered as documented and written to the log),
// the usage, and the exit code of every run with switches.
#pragma once
#include <windows.h>
#include "app/command_line.h"
#include "app/run_log.h"

// The log of the run (/LOG, and every silent or progress-only run); false when a path
// given with /LOG cannot be written. Without a file the log only adds up.
bool OpenRunLog(const CommandLine& line, const char* arguments, RunLog* log);

// An install or uninstall without a user, on the run's working script. Returns the
// exit code before the end of an uninstall (the self-removal, the restart) is handled.
int RunUnattended(const CommandLine& line, RunLog* log);

// The usage: on the console the program was started from, else in a message box.
void ShowUsage(const CommandLine& line);

// The answers of a run without a user: each question as its default button, each report
// logged instead of shown.
class UnattendedChannel : public Channel {
public:
    explicit UnattendedChannel(RunLog* log) : log_(log) {}
    Answer Ask(const Message& message) override;

private:
    RunLog* log_;
};
