// SetupTool plan: what an install with the dialog's default choices, or the uninstall
// of an installed copy, would do on this machine. Everything is predicted from reads
// of the script, the file system and the registry; nothing is changed.
#pragma once
#include <string>

// The plan of an install from folder\Setup.ini. False when there is no script.
bool PlanInstall(const std::string& folder, std::string* out, std::string* errors);
// The plan of the uninstall of the copy installed from folder: folder\Setup.ini when it
// is an install record, else the record of the registered earlier install of its
// product. False when there is none.
bool PlanUninstall(const std::string& folder, std::string* out, std::string* errors);
