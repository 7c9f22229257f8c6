// A product library that imports from launchdep.dll, which lies beside it only.
#include <windows.h>
#include "launch_trace.h"

extern "C" __declspec(dllimport) const char* DepWord();  // cdecl: one name with or without --kill-at

extern "C" __declspec(dllexport) void WINAPI UseDep() { launch_trace::Append("UseDep", DepWord()); }
