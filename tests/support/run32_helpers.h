// Helpers of the groups that drive the 32-bit Setup.exe from a 64-bit test program:
// processes, short paths, snapshots of drive C: and the registry, and Wine's relay
// trace of the processes a test starts.
#pragma once
#include <windows.h>
#include <tlhelp32.h>
#include <stdlib.h>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "listing.h"

namespace run32 {

using e2e::ImagePath;
using e2e::SetupProcesses;

// Adopts the first other Setup.exe process that appears within ms (killed by the
// Program's destructor should the test stop early); false when none did.
inline bool AdoptSetupProcess(ui::Program* program, DWORD except, DWORD ms) {
    std::vector<DWORD> found;
    if (!ui::WaitUntil([&] { return !(found = SetupProcesses(except)).empty(); }, ms, 20)) return false;
    program->info.dwProcessId = found[0];
    program->info.hProcess =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, found[0]);
    return program->info.hProcess != nullptr;
}

inline std::string ShortForm(const std::string& path) {
    char out[1024];
    DWORD n = GetShortPathNameA(path.c_str(), out, sizeof out);
    return n > 0 && n < sizeof out ? std::string(out) : path;
}

// The folder Windows gives 32-bit programs for %programs%.
inline std::string ProgramFiles32() {
    std::string folder;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return folder;
    char value[MAX_PATH] = "";
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
        ERROR_SUCCESS)
        folder = value;
    RegCloseKey(key);
    return folder;
}

// Drive C: outside the excluded subtrees (lower case), and the software keys of both
// registry views (the 32-bit one is Wow6432Node in the 64-bit view) without Wine's own
// settings, which it changes as programs start; all names lower-cased.
inline listing::Entries Machine(const std::set<std::string>& excluded) {
    listing::FileOptions files;
    files.detail = listing::FileDetail::None;
    files.lowerCase = true;
    files.skip = [&](const std::string& path) { return excluded.count(path) != 0; };
    listing::Entries out = listing::Files("C:", files);
    listing::KeyOptions keys;
    keys.view = KEY_WOW64_64KEY;
    keys.lowerCase = true;
    keys.skip = [](const std::string& key) { return key == "hkey_current_user\\software\\wine"; };
    listing::AddKeys(HKEY_LOCAL_MACHINE, "Software", keys, &out);
    listing::AddKeys(HKEY_CURRENT_USER, "Software", keys, &out);
    return out;
}

// The host path of the log of Wine's messages that tests/support/wine-run.sh keeps.
inline std::string WineLogPath() {
    const char* prefix = getenv("WINEPREFIX");
    return prefix ? stage::HostToWindows(prefix) + "\\wine-stderr.log" : std::string();
}

struct RelayCall {
    std::string thread, function, arguments, returnAddress;
};

// "0114:Call KERNEL32.DeleteFileA(0075accc "C:\\x") ret=003f0010" lines of a relay trace.
inline std::vector<RelayCall> RelayCalls(const std::string& log) {
    std::vector<RelayCall> calls;
    for (size_t pos = 0, end; pos < log.size(); pos = end + 1) {
        end = log.find('\n', pos);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(pos, end - pos);
        size_t call = line.find(":Call "), open = line.find('('), ret = line.rfind(") ret=");
        if (call == std::string::npos || open == std::string::npos || ret == std::string::npos || open > ret) continue;
        RelayCall c;
        c.thread = line.substr(0, call);
        c.function = line.substr(call + 6, open - call - 6);
        c.arguments = line.substr(open + 1, ret - open - 1);
        c.returnAddress = line.substr(ret + 6);
        calls.push_back(c);
    }
    return calls;
}

}  // namespace run32
