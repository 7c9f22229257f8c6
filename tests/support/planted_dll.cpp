// A DLL planted beside Setup.exe under the name of a system library: when anything
// loads it, it leaves a marker file named after itself in C:\markers.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(instance, path, sizeof path);
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\') name = p + 1;
    char marker[MAX_PATH + 32];
    wsprintfA(marker, "C:\\markers\\%s.txt", name);
    CreateDirectoryA("C:\\markers", nullptr);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, path, lstrlenA(path), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
