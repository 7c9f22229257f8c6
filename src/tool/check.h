// SetupTool check: the script read as the program reads it, with every finding tied to
// its line.
#pragma once
#include <string>
#include "tool/findings.h"

// Checks folder\Setup.ini (folder: a complete path, also the folder the files are taken
// from). False when the script cannot be read at all (a finding tells why).
bool CheckScript(const std::string& folder, Findings& findings);
