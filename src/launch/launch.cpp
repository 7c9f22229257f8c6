#include "launch/launch.h"

// Launch steps are not built yet; the run sequence already calls them in place.
void RunLaunchEntries(HWND, const char*) {}
void FinalLaunch() {}
