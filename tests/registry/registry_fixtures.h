// Fixtures of the registry tests: values of the test prefix's registry read back as
// stored, test keys removed child-first, and a script of its own for each run. Keys
// are opened with the wide calls, which take paths of any length (Wine's narrow ones
// stop at 259 bytes).
#pragma once
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "run/run_state.h"
#include "base/text.h"
#include "fixtures.h"
#include "listing.h"
#include "stage.h"
#include "ui_driver.h"

namespace regtest {

inline std::wstring W(const std::string& text) { return ui::Widen(text.c_str(), CP_ACP); }
inline std::string A(const wchar_t* text) { return ui::Narrow(text, CP_ACP); }

inline HKEY OpenKey(HKEY root, const std::string& key, REGSAM rights) {
    HKEY k = nullptr;
    return RegOpenKeyExW(root, W(key).c_str(), 0, rights, &k) == ERROR_SUCCESS ? k : nullptr;
}
inline bool KeyExists(HKEY root, const std::string& key) {
    HKEY k = OpenKey(root, key, KEY_READ);
    if (k) RegCloseKey(k);
    return k != nullptr;
}

// A value as the program writes it: REG_SZ counted with its terminating zero, or a
// DWORD with number; anything else is described.
inline std::string Value(HKEY root, const std::string& key, const char* name, bool number = false) {
    HKEY k = OpenKey(root, key, KEY_QUERY_VALUE);
    if (!k) return "<absent>";
    DWORD type = 0, size = 0;
    std::string bytes;
    LONG rc = RegQueryValueExA(k, name, nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        bytes.assign(size, '\0');
        rc = RegQueryValueExA(k, name, nullptr, &type, (BYTE*)&bytes[0], &size);
    }
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return "<absent>";
    if (number) {
        DWORD v = 0;
        if (type != REG_DWORD || size != 4) return "<not a DWORD>";
        memcpy(&v, bytes.data(), 4);
        return std::to_string(v);
    }
    if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
    if (size == 0 || strlen(bytes.c_str()) + 1 != size) return "<" + std::to_string(size) + " bytes>";
    return bytes.c_str();
}
inline std::string Text(HKEY root, const std::string& key, const char* name) { return Value(root, key, name); }

// Subkey and value names of a key.
inline std::vector<std::string> Names(HKEY root, const std::string& key, bool values) {
    std::vector<std::string> names;
    HKEY k = OpenKey(root, key, KEY_READ);
    if (!k) return names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD n = (DWORD)name.size();
        LONG rc = values ? RegEnumValueW(k, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr)
                         : RegEnumKeyExW(k, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        names.push_back(A(name.data()));
    }
    RegCloseKey(k);
    return names;
}
inline std::vector<std::string> Subkeys(HKEY root, const std::string& key) { return Names(root, key, false); }

inline bool PutText(HKEY root, const std::string& key, const char* name, const std::string& data) {
    HKEY k;
    if (RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = name ? RegSetValueExA(k, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1)
                   : ERROR_SUCCESS;
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}
inline bool PutKey(HKEY root, const std::string& key) { return PutText(root, key, nullptr, ""); }

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

// Every key and value below the keys, one line each, for comparisons that show what changed.
inline std::string Dump(HKEY root, const std::vector<std::string>& keys) {
    std::string out = listing::Text(listing::Keys(root, keys));
    return out.empty() ? "(nothing)\n" : out;
}

// A script of its own for each use (a fresh name, so that no cached copy is read),
// made the run's script.
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
