// Helpers of the end-to-end tests: profile sections read from the file's bytes,
// waits on a started Setup.exe, screenshots.
#pragma once
#include <windows.h>
#include <vector>
#include <set>
#include <tlhelp32.h>
#include <ctype.h>
#include <map>
#include <string>
#include "fixtures.h"
#include "stage.h"
#include "ui_driver.h"

namespace e2e {

using Section = std::map<std::string, std::string>;

inline std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

// One section as the program left it on disk (no profile cache in between);
// keys lower-cased, values exact.
inline Section IniSection(const std::string& file, const std::string& name) {
    Section out;
    std::string text = stage::ReadFile(file);
    bool inside = false;
    for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
        end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool header = !line.empty() && line[0] == '[';
        size_t mark = line.find(header ? ']' : '=');
        if (header)
            inside = mark != std::string::npos && Lower(line.substr(1, mark - 1)) == Lower(name);
        else if (inside && mark != std::string::npos)
            out[Lower(line.substr(0, mark))] = line.substr(mark + 1);
    }
    return out;
}

// The value of a key, or "<absent>" when the section has no such line.
inline std::string IniValue(const std::string& file, const std::string& section, const std::string& key) {
    Section s = IniSection(file, section);
    auto it = s.find(Lower(key));
    return it == s.end() ? "<absent>" : it->second;
}

// Window text without a message, so a dialog busy in a run still answers.
inline std::wstring TextNow(HWND window) {
    wchar_t buffer[1024] = L"";
    int n = GetWindowTextW(window, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n : 0);
}

// The script a running Setup.exe works on: its private copy under the Windows folder's
// Temp ("" while there is none). The shipped script stays as shipped.
inline std::string WorkingScript(DWORD pid) {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string folder;
    stage::ForEachEntry(std::string(windows) + "\\Temp", [&](const std::string& path, const WIN32_FIND_DATAA& found) {
        std::string prefix = "Setup-" + std::to_string(pid) + "-";
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::string(found.cFileName).rfind(prefix, 0) == 0 &&
            stage::Exists(path + "\\Setup.ini"))
            folder = path;
    });
    return folder.empty() ? "" : folder + "\\Setup.ini";
}

// The self-removal's batch files that exist now: new ones in private folders under the
// Windows folder's Temp, or one in the drive root (which must never be).
inline std::vector<std::string> BatchFiles() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    std::vector<std::string> found;
    stage::ForEachEntry(std::string(windows) + "\\Temp", [&](const std::string& path, const WIN32_FIND_DATAA&) {
        if (stage::Exists(path + "\\delus.bat")) found.push_back(path + "\\delus.bat");
    });
    if (stage::Exists("C:\\delus.bat")) found.push_back("C:\\delus.bat");
    return found;
}

// Waits until the program's working script holds value in section/key; the value found last.
inline std::string WaitForWorkingValue(DWORD pid, const char* section, const char* key, const std::string& want,
                                       DWORD ms = 5000) {
    std::string got = "<no working script>";
    ui::WaitUntil([&] {
        std::string script = WorkingScript(pid);
        if (script.empty()) return false;
        got = IniValue(script, section, key);
        return got == want;
    }, ms);
    return got;
}

inline void Shot(const std::string& name) { ui::SaveScreenshot(stage::ArtifactPath(name + ".bmp")); }

struct Outcome {
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    HWND box = nullptr;
};

// Waits until the program ends or shows a message box other than skip.
inline Outcome WaitForEndOrBox(ui::Program& program, DWORD ms, HWND skip = nullptr) {
    Outcome o;
    ui::WaitUntil([&] {
        if (program.Wait(0, &o.exitCode)) return o.ended = true;
        return (o.box = ui::WaitForMessageBox(program.pid(), 0, skip)) != nullptr;
    }, ms);
    return o;
}

// Runs a command line to its end; false when it did not end within ms (it is then killed).
inline bool RunAndWait(const std::string& command, DWORD ms) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION p{};
    std::string line = command;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &p)) return false;
    bool ended = WaitForSingleObject(p.hProcess, ms) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(p.hProcess, 99);
    CloseHandle(p.hThread);
    CloseHandle(p.hProcess);
    return ended;
}

// Restart instructions left by an earlier run would hide what this run schedules.
inline void ForgetPendingRenames() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, kPendingValue);
    RegCloseKey(key);
}

// Running processes of the prefix named Setup.exe, other than `except`.
inline std::vector<DWORD> SetupProcesses(DWORD except = 0) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, L"Setup.exe") == 0 && entry.th32ProcessID != except)
            pids.push_back(entry.th32ProcessID);
    if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
    return pids;
}

inline std::string ImagePath(HANDLE process) {
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    typedef BOOL(WINAPI * QueryImage)(HANDLE, DWORD, LPSTR, PDWORD);  // newer than the headers' WINVER
    QueryImage query = reinterpret_cast<QueryImage>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameA"));
    return query && query(process, 0, path, &size) ? std::string(path, size) : "";
}

}  // namespace e2e
