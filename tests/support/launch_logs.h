// What the launch test program and libraries left behind: the starts of launchprobe
// (C:\probe\starts.log) and the calls of the test libraries (C:\probe\calls.log).
#pragma once
#include <windows.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>
#include "stage.h"
#include "ui_driver.h"

namespace launch_logs {

inline constexpr char kFolder[] = "C:\\probe";
inline constexpr char kStarts[] = "C:\\probe\\starts.log";
inline constexpr char kCalls[] = "C:\\probe\\calls.log";

// A file of the build's test programs (launchprobe.exe, launchlib.dll, ...).
inline std::string Built(const char* name) {
    const char* dir = getenv("SETUP_BIN_DIR");
    return dir ? stage::HostToWindows(dir) + "\\" + name : std::string(name);
}

inline bool Place(const char* built, const std::string& destination) {
    size_t bs = destination.find_last_of('\\');
    if (bs != std::string::npos) stage::MakeFolders(destination.substr(0, bs));
    return CopyFileA(Built(built).c_str(), destination.c_str(), FALSE) != FALSE;
}

inline void Clear() { stage::DeleteTree(kFolder); }

inline std::vector<std::string> Lines(const char* file) {
    std::vector<std::string> lines;
    std::string text = stage::ReadFile(file);
    for (size_t pos = 0, end; pos < text.size(); pos = end + 2) {
        end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
    }
    return lines;
}

struct Start {
    std::string created, exe, arguments, folder;
    int show = -1;
};

// The starts in the order the processes were created.
inline std::vector<Start> Starts() {
    std::vector<Start> starts;
    for (const std::string& line : Lines(kStarts)) {
        size_t a = line.find('|'), b = line.find('|', a + 1);
        size_t d = line.rfind('|'), c = line.rfind('|', d - 1);
        if (a == std::string::npos || b == std::string::npos || c == std::string::npos || c < b) continue;
        Start s;
        s.created = line.substr(0, a);
        s.exe = line.substr(a + 1, b - a - 1);
        s.arguments = line.substr(b + 1, c - b - 1);
        s.folder = line.substr(c + 1, d - c - 1);
        s.show = atoi(line.substr(d + 1).c_str());
        starts.push_back(s);
    }
    std::stable_sort(starts.begin(), starts.end(), [](const Start& x, const Start& y) { return x.created < y.created; });
    return starts;
}

// The arguments of every start, in order, separated by " / ".
inline std::string StartedArguments() {
    std::string out;
    for (const Start& s : Starts()) out += (out.empty() ? "" : " / ") + s.arguments;
    return out;
}

// Waits until at least n starts are logged; then a little longer, so that a start
// too many shows too.
inline bool WaitForStarts(size_t n, DWORD ms = 15000) {
    bool reached = ui::WaitUntil([&] { return Starts().size() >= n; }, ms);
    Sleep(n ? 500 : 1500);
    return reached;
}

inline std::string Calls() {
    std::string out;
    for (const std::string& line : Lines(kCalls)) out += (out.empty() ? "" : " / ") + line;
    return out;
}

}  // namespace launch_logs
