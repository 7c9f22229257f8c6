// Launch entries after an install and before an uninstall, and the final launch.
#pragma once
#include <windows.h>

void RunLaunchEntries(HWND dialog, const char* prefix);
void FinalLaunch();
