// The launch entries of a plan, predicted without starting or loading anything.
#pragma once
#include "tool/plan_output.h"

// [Go2] prefix0, prefix1, ... as the launch step would take them, %root% being the
// install folder given.
void PlanLaunchEntries(PlanText& plan, const char* script, const char* prefix, const char* installFolder);
