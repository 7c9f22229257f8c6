#include "listing.h"
#include <ctype.h>
#include <stdio.h>
#include <algorithm>
#include "stage.h"

namespace listing {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

std::wstring Wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
    out.resize(wcslen(out.c_str()));
    return out;
}

std::string Ansi(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text, (int)length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, (int)length, &out[0], n, nullptr, nullptr);
    return out;
}

std::string Hex(const BYTE* data, DWORD size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i) out += {digits[data[i] >> 4], digits[data[i] & 15]};
    return out;
}

std::string Shortened(const std::string& text, size_t most) {
    return text.size() <= most ? text : text.substr(0, most) + "...";
}

void AddKeysBelow(HKEY root, const std::string& path, const std::string& name, int depth, const KeyOptions& options,
                  Entries* out) {
    if (depth > options.maxDepth || (options.skip && options.skip(name))) return;
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_READ | options.view, &key) != ERROR_SUCCESS) return;
    (*out)["key " + name] = "";
    DWORD longestName = 0, longestData = 0, longestSub = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSub, nullptr, nullptr, &longestName,
                     &longestData, nullptr, nullptr);
    std::vector<wchar_t> text(std::max(longestName, longestSub) + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD length = (DWORD)text.size(), size = (DWORD)data.size(), type = 0;
        LONG rc = RegEnumValueW(key, i, text.data(), &length, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {  // grew since it was measured: measure this one again
            length = (DWORD)text.size();
            size = 0;
            if (RegEnumValueW(key, i, text.data(), &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) continue;
            data.resize(size + 2);
            length = (DWORD)text.size();
            size = (DWORD)data.size();
            rc = RegEnumValueW(key, i, text.data(), &length, nullptr, &type, data.data(), &size);
            if (rc == ERROR_MORE_DATA) continue;
        }
        if (rc != ERROR_SUCCESS) break;  // the performance keys answer "invalid handle" forever
        std::string value = name + " | " + Ansi(text.data(), length);
        (*out)["value " + (options.lowerCase ? Lower(value) : value)] = ValueDetail(type, data.data(), size);
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        DWORD length = (DWORD)text.size();
        if (RegEnumKeyExW(key, i, text.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.push_back(Ansi(text.data(), length));
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        AddKeysBelow(root, path + "\\" + child, name + "\\" + (options.lowerCase ? Lower(child) : child), depth + 1,
                     options, out);
}

}  // namespace

void AddFiles(const std::string& folder, const FileOptions& options, Entries* out) {
    stage::ForEachEntry(folder, [&](const std::string& path, const WIN32_FIND_DATAA& found) {
        const std::string name = options.lowerCase ? Lower(path) : path;
        if (options.skip && options.skip(name)) return;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)["folder " + name] = "";
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) AddFiles(path, options, out);
            return;
        }
        std::string detail;
        if (options.detail == FileDetail::SizeAndTime) {
            ULARGE_INTEGER size{{found.nFileSizeLow, found.nFileSizeHigh}};
            ULARGE_INTEGER time{{found.ftLastWriteTime.dwLowDateTime, found.ftLastWriteTime.dwHighDateTime}};
            char attributes[16];
            snprintf(attributes, sizeof attributes, "%lx", (unsigned long)found.dwFileAttributes);
            detail = std::to_string(size.QuadPart) + " bytes, written " + std::to_string(time.QuadPart) +
                     ", attributes " + attributes;
        } else if (options.detail == FileDetail::Contents) {
            detail = stage::ReadFile(path);
        }
        (*out)["file " + name] = detail;
    });
}

Entries Files(const std::string& folder, const FileOptions& options) {
    Entries out;
    AddFiles(folder, options, &out);
    return out;
}

const char* RootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS) return "HKEY_USERS";
    return "HKEY_OTHER";
}

void AddKeys(HKEY root, const std::string& path, const KeyOptions& options, Entries* out) {
    std::string name = std::string(RootName(root)) + "\\" + path;
    AddKeysBelow(root, path, options.lowerCase ? Lower(name) : name, 0, options, out);
}

Entries Keys(HKEY root, const std::vector<std::string>& paths, const KeyOptions& options) {
    Entries out;
    for (const std::string& path : paths) AddKeys(root, path, options, &out);
    return out;
}

std::string ValueDetail(DWORD type, const BYTE* data, DWORD size) {
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && size >= 2 && size % 2 == 0) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data), size / 2);
        // A value without its zero, or with bytes after it, is not what it reads as.
        if (text.back() == 0 && text.find(L'\0') == text.size() - 1) {
            text.pop_back();
            std::string ansi = Ansi(text.c_str(), text.size());
            if (Wide(ansi) == text) return (type == REG_SZ ? "sz:" : "expand_sz:") + ansi;
        }
    }
    if (type == REG_DWORD && size == 4) {
        DWORD number;
        memcpy(&number, data, 4);
        return "dword:" + std::to_string(number);
    }
    return "type " + std::to_string(type) + ":" + Hex(data, size);
}

std::string Data(const std::string& detail) {
    size_t colon = detail.find(':');
    return colon == std::string::npos ? detail : detail.substr(colon + 1);
}

std::vector<std::string> Names(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found)) {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name + ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : ""));
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Text(const Entries& entries) {
    std::string out;
    for (const auto& e : entries) out += e.first + (e.second.empty() ? "" : " = " + e.second) + "\n";
    return out;
}

Entries Added(const Entries& before, const Entries& after) {
    Entries out;
    for (const auto& e : after) {
        auto was = before.find(e.first);
        if (was == before.end() || was->second != e.second) out.insert(e);
    }
    return out;
}

std::string Difference(const Entries& before, const Entries& after, bool withNew, int limit) {
    std::string out;
    int shown = 0;
    auto note = [&](const std::string& line) {
        if (++shown <= limit) out += "  " + line + "\n";
    };
    for (const auto& b : before) {
        auto a = after.find(b.first);
        if (a == after.end())
            note("gone:    " + b.first);
        else if (a->second != b.second)
            note("changed: " + b.first + " (" + Shortened(b.second, 40) + " -> " + Shortened(a->second, 40) + ")");
    }
    if (withNew)
        for (const auto& a : after)
            if (!before.count(a.first)) note("new:     " + a.first + (a.second.empty() ? "" : " = " + Shortened(a.second, 60)));
    if (shown > limit) out += "  ... " + std::to_string(shown - limit) + " more\n";
    return out;
}

}  // namespace listing
