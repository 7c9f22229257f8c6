// Fixtures of the registry tests: values and keys of the test prefix's registry read
// back exactly (type and stored size included), test keys removed child-first, and
// scripts of their own for each run.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "app/run_state.h"
#include "base/text.h"
#include "fixtures.h"
#include "stage.h"

namespace regtest {

// One value as stored: absent, or its type, its bytes and their count.
struct Stored {
    bool present = false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::string bytes;
    // A string value as the program writes it: REG_SZ counted with its terminating zero.
    std::string Text() const {
        if (!present) return "<absent>";
        if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
        if (size == 0 || bytes[size - 1] != 0) return "<not terminated>";
        if (bytes.size() != size || strlen(bytes.c_str()) + 1 != size) return "<size " + std::to_string(size) + ">";
        return bytes.c_str();
    }
    std::string Number() const {
        if (!present) return "<absent>";
        if (type != REG_DWORD || size != 4) return "<not a DWORD>";
        DWORD v;
        memcpy(&v, bytes.data(), 4);
        return std::to_string(v);
    }
};

// The wide calls take key paths of any length; the narrow ones of Wine stop at 259 bytes.
inline std::wstring W(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], (int)out.size());
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}
inline std::string A(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

inline HKEY OpenKey(HKEY root, const std::string& key, REGSAM rights) {
    HKEY k = nullptr;
    return RegOpenKeyExW(root, W(key).c_str(), 0, rights, &k) == ERROR_SUCCESS ? k : nullptr;
}

inline Stored Read(HKEY root, const std::string& key, const char* value) {
    Stored s;
    HKEY k = OpenKey(root, key, KEY_QUERY_VALUE);
    if (!k) return s;
    DWORD size = 0;
    if (RegQueryValueExA(k, value, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
        s.bytes.assign(size, '\0');
        s.present = RegQueryValueExA(k, value, nullptr, &s.type, (BYTE*)&s.bytes[0], &size) == ERROR_SUCCESS;
        s.size = size;
    }
    RegCloseKey(k);
    return s;
}
inline std::string Text(HKEY root, const std::string& key, const char* value) { return Read(root, key, value).Text(); }

inline bool KeyExists(HKEY root, const std::string& key) {
    HKEY k = OpenKey(root, key, KEY_READ);
    if (k) RegCloseKey(k);
    return k != nullptr;
}

// Subkey and value names of a key, for messages and counts.
inline std::vector<std::string> Subkeys(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    HKEY k = OpenKey(root, key, KEY_ENUMERATE_SUB_KEYS);
    if (!k) return names;
    wchar_t name[512];
    for (DWORD i = 0; RegEnumKeyW(k, i, name, 512) == ERROR_SUCCESS; ++i) names.push_back(A(name));
    RegCloseKey(k);
    return names;
}
inline std::vector<std::string> ValueNames(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    HKEY k = OpenKey(root, key, KEY_QUERY_VALUE);
    if (!k) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD n = (DWORD)name.size();
        if (RegEnumValueW(k, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(A(name.data()));
    }
    RegCloseKey(k);
    return names;
}

inline bool PutKey(HKEY root, const std::string& key) {
    HKEY k;
    if (RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}
inline bool PutText(HKEY root, const std::string& key, const char* value, const std::string& data) {
    HKEY k;
    if (RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(k, value, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

// Removes a key with everything below it, children first.
inline void RemoveTree(HKEY root, const std::string& key) {
    for (const std::string& child : Subkeys(root, key)) RemoveTree(root, key + "\\" + child);
    RegDeleteKeyW(root, W(key).c_str());
}

// A test key that is gone before the test and after it.
class ScopedTree {
public:
    ScopedTree(HKEY root, std::string key) : root_(root), key_(std::move(key)) { RemoveTree(root_, key_); }
    ~ScopedTree() { RemoveTree(root_, key_); }
    const std::string& key() const { return key_; }
    std::string operator/(const std::string& sub) const { return key_ + "\\" + sub; }

private:
    HKEY root_;
    std::string key_;
};

// A script of its own for each use (a fresh name, so no cached copy is read) that
// becomes the run's script.
inline std::string UseScript(const std::vector<std::string>& lines) {
    static int serial = 0;
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    std::string path = std::string(folder) + "\\script" + std::to_string(++serial) + ".ini";
    stage::WriteFile(path, Crlf(lines));
    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, path.c_str());
    return path;
}

// Mutable text for the functions that cut their argument in place.
inline std::vector<char> Buffer(const std::string& text, size_t cap = 1040) {
    std::vector<char> b(cap > text.size() ? cap : text.size() + 1, 0);
    memcpy(b.data(), text.data(), text.size());
    return b;
}

}  // namespace regtest

namespace regtest {

// Every key and value below a key as "path" and "path | name = data" lines, for
// comparisons that must show what changed.
inline void DumpTree(HKEY root, const std::string& key, std::vector<std::string>* out) {
    HKEY k = OpenKey(root, key, KEY_READ);
    if (!k) return;
    out->push_back(key);
    RegCloseKey(k);
    for (const std::string& name : ValueNames(root, key))
        out->push_back(key + " | " + name + " = " + Read(root, key, name.c_str()).Text());
    for (const std::string& child : Subkeys(root, key)) DumpTree(root, key + "\\" + child, out);
}
inline std::string Dump(HKEY root, const std::vector<std::string>& keys) {
    std::vector<std::string> lines;
    for (const std::string& key : keys) DumpTree(root, key, &lines);
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out.empty() ? "(nothing)\n" : out;
}

}  // namespace regtest
