// The library that launchuser.dll needs beside it. Every load notes which copy was
// taken (its full path) in C:\probe\calls.log.
#include <windows.h>
#include "launch_trace.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(instance, path, sizeof path);
    launch_trace::Append("DepLoaded", path);
    return TRUE;
}

extern "C" __declspec(dllexport) const char* DepWord() { return "dependency-answered"; }
