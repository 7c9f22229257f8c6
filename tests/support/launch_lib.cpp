// A product library for launch tests: each exported function appends a line naming
// itself to C:\probe\calls.log; Survey also lists the files beside the library.
#include <windows.h>
#include "launch_trace.h"

namespace {
HINSTANCE self;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) int WINAPI Trace() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, sizeof path);
    launch_trace::Append("Trace", path);
    return 12345;  // a result nobody reads
}

extern "C" __declspec(dllexport) void WINAPI Survey() {
    char folder[MAX_PATH] = "";
    GetModuleFileNameA(self, folder, sizeof folder);
    char* last = folder;
    for (char* p = folder; *p; ++p)
        if (*p == '\\') last = p;
    *last = 0;
    char pattern[MAX_PATH + 4];
    wsprintfA(pattern, "%s\\*", folder);
    char names[4096] = "";
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found)) {
        if (found.cFileName[0] == '.') continue;
        if (lstrlenA(names) + lstrlenA(found.cFileName) + 2 >= (int)sizeof names) break;
        if (names[0]) lstrcatA(names, " ");
        lstrcatA(names, found.cFileName);
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    launch_trace::Append("Survey", names);
}
