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

namespace run32 {

using e2e::ImagePath;
using e2e::ListTree;
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

// Registry values (and keys, as "key\") under a root, both views (the 32-bit one is
// Wow6432Node in the 64-bit view), as "path\name" -> "type:data".
using RegistryState = std::map<std::string, std::string>;

inline void ListKey(HKEY parent, const std::string& name, const std::string& path, RegistryState* out) {
    HKEY key;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    (*out)[path + "\\"] = "";
    std::vector<char> valueName(16384), data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = (DWORD)valueName.size(), dataSize = (DWORD)data.size(), type = 0;
        if (RegEnumValueA(key, i, valueName.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                          &dataSize) != ERROR_SUCCESS)
            break;
        std::string text(data.data(), dataSize);
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && !text.empty() && text.back() == 0) text.pop_back();
        (*out)[path + "\\" + std::string(valueName.data(), nameSize)] = std::to_string(type) + ":" + text;
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        char sub[256];
        DWORD size = sizeof sub;
        if (RegEnumKeyExA(key, i, sub, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        // Wine's own settings, which it changes as programs start.
        if (path == "HKCU\\Software" && lstrcmpiA(sub, "Wine") == 0) continue;
        subkeys.push_back(sub);
    }
    for (const std::string& sub : subkeys) ListKey(key, sub, path + "\\" + sub, out);
    RegCloseKey(key);
}

inline RegistryState Registry() {
    RegistryState state;
    ListKey(HKEY_LOCAL_MACHINE, "Software", "HKLM\\Software", &state);
    ListKey(HKEY_CURRENT_USER, "Software", "HKCU\\Software", &state);
    return state;
}

// Entries of after that before lacks or holds with other data.
inline RegistryState Added(const RegistryState& before, const RegistryState& after) {
    RegistryState out;
    for (const auto& kv : after) {
        auto it = before.find(kv.first);
        if (it == before.end() || it->second != kv.second) out.insert(kv);
    }
    return out;
}

inline std::set<std::string> Added(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::set<std::string> out;
    for (const std::string& path : after)
        if (!before.count(path)) out.insert(path);
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
