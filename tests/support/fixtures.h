// Fixtures shared by the unit tests: profile sections, held files and the
// restart instructions of the test prefix.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "ui_driver.h"

inline constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

inline constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

inline std::string Crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

inline std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += "  " + line + "\n";
    return out;
}

// The lines of one profile section as the profile calls return them.
inline std::vector<std::string> SectionLines(const std::string& file, const char* section) {
    std::vector<char> buffer(1 << 22);
    DWORD n = GetPrivateProfileSectionA(section, buffer.data(), (DWORD)buffer.size(), file.c_str());
    std::vector<std::string> lines;
    for (DWORD i = 0; i < n;) {
        std::string line(buffer.data() + i);
        if (line.empty()) break;
        lines.push_back(line);
        i += (DWORD)line.size() + 1;
    }
    return lines;
}

// A file held open as a program in use holds its files: without sharing, or
// shared for reading only (then it can still be read, but not overwritten).
class LockedFile {
public:
    explicit LockedFile(const std::string& path, DWORD share = 0)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)),
          error_(GetLastError()) {}
    ~LockedFile() { Release(); }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    DWORD error() const { return held() ? 0 : error_; }  // why it could not be held
    void Release() {
        if (held()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
    DWORD error_;
};

struct PendingRename {
    std::string from, to;  // without the "\??\" and "!" decorations; to empty for a deletion
};

inline std::string Undecorated(const std::wstring& text) {
    std::wstring s = text;
    if (!s.empty() && s[0] == L'!') s.erase(0, 1);
    if (s.compare(0, 4, L"\\??\\") == 0) s.erase(0, 4);
    return ui::Narrow(s, CP_ACP);
}

inline std::vector<PendingRename> PendingRenames() {
    std::vector<PendingRename> pairs;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return pairs;
    DWORD type = 0, size = 0;
    std::vector<wchar_t> data;
    if (RegQueryValueExW(key, kPendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size) {
        data.resize(size / sizeof(wchar_t) + 2, 0);
        RegQueryValueExW(key, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size / sizeof(wchar_t));
    }
    RegCloseKey(key);
    if (!data.empty() && data.back() == 0) data.pop_back();  // the list's own terminator
    std::vector<std::wstring> strings;
    std::wstring current;
    for (wchar_t c : data) {
        if (c) {
            current += c;
        } else {
            strings.push_back(current);
            current.clear();
        }
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        pairs.push_back({Undecorated(strings[i]), Undecorated(strings[i + 1])});
    return pairs;
}

inline bool IsPending(const std::string& from, const std::string& to) {
    for (const PendingRename& p : PendingRenames())
        if (lstrcmpiA(p.from.c_str(), from.c_str()) == 0 && lstrcmpiA(p.to.c_str(), to.c_str()) == 0) return true;
    return false;
}

// Keeps the test prefix's restart instructions as they were before the test.
class PendingSnapshot {
public:
    PendingSnapshot() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
        DWORD size = 0;
        if (RegQueryValueExW(key, kPendingValue, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            existed_ = true;
            data_.resize(size);
            if (size) RegQueryValueExW(key, kPendingValue, nullptr, &type_, data_.data(), &size);
        }
        RegCloseKey(key);
    }
    ~PendingSnapshot() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (existed_)
            RegSetValueExW(key, kPendingValue, 0, type_, data_.data(), (DWORD)data_.size());
        else
            RegDeleteValueW(key, kPendingValue);
        RegCloseKey(key);
    }

private:
    bool existed_ = false;
    DWORD type_ = REG_MULTI_SZ;
    std::vector<BYTE> data_;
};
