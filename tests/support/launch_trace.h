// The trace the test libraries leave: "what|detail" lines in C:\probe\calls.log.
#pragma once
#include <windows.h>

namespace launch_trace {

inline void Append(const char* what, const char* detail) {
    CreateDirectoryA("C:\\probe", nullptr);
    HANDLE file = CreateFileA("C:\\probe\\calls.log", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, what, lstrlenA(what), &written, nullptr);
    WriteFile(file, "|", 1, &written, nullptr);
    WriteFile(file, detail, lstrlenA(detail), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

}  // namespace launch_trace
