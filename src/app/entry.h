// Program entry: run modes, the message loop and what follows an uninstall.
#pragma once
#include <windows.h>
#include "app/command_line.h"

// The argument text after the program name, as the platform hands it over.
const char* ArgumentsOf(const char* commandLine);
// Builds the script path beside the executable; false when the own path is unknown.
bool BuildScriptPath(char* scriptPath, size_t cap);

int RunSetup(HINSTANCE instance, const char* arguments);

// Restart of Windows (the result of enabling the privilege is not used).
bool EnableShutdownPrivilege();
void RestartSystem();
