// A program for launch tests: each start appends one line to C:\probe\starts.log with
// its creation time, its own path, the arguments exactly as they follow its name on
// the command line, its current folder and the show command it was given.
#include <windows.h>
#include <stdio.h>

namespace {

// The command line after the program's own name and the blanks that follow it.
const char* Arguments(const char* line) {
    const char* p = line;
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {
        }
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// Starts of several probes may overlap: the log is opened without sharing, so wait.
HANDLE OpenLog() {
    CreateDirectoryA("C:\\probe", nullptr);
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileA("C:\\probe\\starts.log", FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        Sleep(25);
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    char self[MAX_PATH] = "", folder[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    GetCurrentDirectoryA(sizeof folder, folder);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    static char line[40000];
    int n = _snprintf(line, sizeof line - 1, "%08lx%08lx|%s|%s|%s|%d\r\n", created.dwHighDateTime,
                      created.dwLowDateTime, self, Arguments(GetCommandLineA()), folder, show);
    if (n < 0) n = sizeof line - 1;
    HANDLE log = OpenLog();
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(log, line, (DWORD)n, &written, nullptr);
    CloseHandle(log);
    return 0;
}
