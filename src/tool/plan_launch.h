// The launch entries of a plan, predicted without starting or loading anything, and the
// places the launch step looks for a program.
#pragma once
#include <stddef.h>
#include "tool/plan_output.h"

// [Go2] prefix0, prefix1, ... as the launch step would take them, %root% being the
// install folder given.
void PlanLaunchEntries(PlanText& plan, const char* script, const char* prefix, const char* installFolder);

// The folders a bare program name is looked for in: the system folder and the Windows
// folder all users share (each kPathSize bytes; "" when it cannot be read).
void LaunchSearchFolders(char* system, char* windows);
// A shell-form program (as SplitProgram gives it) as the step looks for it: without its
// quotes, its environment variables replaced. False when it does not fit.
bool LaunchProgramName(const char* program, char* name, size_t cap);
