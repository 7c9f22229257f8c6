// A product library for launch tests: each exported function appends a line naming
// itself to C:\probe\calls.log; Survey also lists the files beside the library,
// TakesThree the arguments it found, Here the current folder it runs in.
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

// A stdcall function with arguments, as a product's own set-up functions may be: on
// i686 it pops 12 bytes on return, and it uses its argument slots as scratch space.
extern "C" __declspec(dllexport) int WINAPI TakesThree(int a, int b, int c) {
    char text[64];
    wsprintfA(text, "%d %d %d", a, b, c);
    launch_trace::Append("TakesThree", text);
    volatile int* slots[] = {&a, &b, &c};
    for (volatile int* slot : slots) *slot = -1;
    return a + b + c;
}

// Leaves its result in a floating-point register that a caller of a function without
// a result never takes.
extern "C" __declspec(dllexport) double WINAPI GivesDouble() {
    launch_trace::Append("GivesDouble", "");
    return 1.5;
}

extern "C" __declspec(dllexport) void WINAPI Here() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    launch_trace::Append("Here", folder);
}
