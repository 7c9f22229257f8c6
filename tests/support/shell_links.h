// Shell links read back through IShellLinkA and IPersistFile, and the user's Shell
// Folders pointed at test folders for the length of a test.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <string>
#include <vector>
#include "listing.h"
#include "stage.h"
#include "ui_driver.h"

namespace links {

struct Link {
    bool loaded = false;
    std::string path, arguments, workFolder, icon;
    int iconIndex = -1, show = -1;
    WORD hotkey = 0xFFFF;
};

// A loaded link with the given fields, to compare with one read back.
inline Link Loaded(std::string path, std::string arguments, std::string work, std::string icon, int iconIndex,
                   int show, WORD hotkey) {
    Link l;
    l.loaded = true;
    l.path = path, l.arguments = arguments, l.workFolder = work, l.icon = icon;
    l.iconIndex = iconIndex, l.show = show, l.hotkey = hotkey;
    return l;
}

// Wine's loader leaves the show command at its default; the file's header holds it
// (a 32-bit value at offset 0x3C).
inline int ShowCommandInFile(const std::string& file) {
    std::string bytes = stage::ReadFile(file);
    if (bytes.size() < 0x40) return -1;
    return (unsigned char)bytes[0x3C] | (unsigned char)bytes[0x3D] << 8 | (unsigned char)bytes[0x3E] << 16 |
           (unsigned char)bytes[0x3F] << 24;
}

// Every field of a saved link; loaded stays false when the file cannot be read as one.
inline Link Read(const std::string& file) {
    Link link;
    HRESULT init = CoInitialize(nullptr);
    IShellLinkA* shell = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell)))) {
        IPersistFile* persist = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
            std::wstring wide = ui::Widen(file.c_str());
            if (SUCCEEDED(persist->Load(wide.c_str(), STGM_READ))) {
                char text[1100] = "";
                link.loaded = true;
                shell->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
                link.path = text;
                text[0] = 0;
                shell->GetArguments(text, sizeof text);
                link.arguments = text;
                text[0] = 0;
                shell->GetWorkingDirectory(text, MAX_PATH);
                link.workFolder = text;
                text[0] = 0;
                shell->GetIconLocation(text, MAX_PATH, &link.iconIndex);
                link.icon = text;
                shell->GetHotkey(&link.hotkey);
                link.show = ShowCommandInFile(file);
            }
            persist->Release();
        }
        shell->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return link;
}

// Saves a link as another program would: only a target and arguments.
inline bool Make(const std::string& file, const std::string& target, const std::string& arguments) {
    HRESULT init = CoInitialize(nullptr);
    bool saved = false;
    IShellLinkA* shell = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell)))) {
        shell->SetPath(target.c_str());
        shell->SetArguments(arguments.c_str());
        IPersistFile* persist = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
            saved = SUCCEEDED(persist->Save(ui::Widen(file.c_str()).c_str(), TRUE));
            persist->Release();
        }
        shell->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return saved;
}

inline std::string Describe(const Link& l) {
    if (!l.loaded) return "(no link)";
    char hotkey[16];
    wsprintfA(hotkey, "0x%04X", l.hotkey);
    return "path=" + l.path + " args=" + l.arguments + " work=" + l.workFolder + " icon=" + l.icon + "," +
           std::to_string(l.iconIndex) + " show=" + std::to_string(l.show) + " hotkey=" + hotkey;
}

inline constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char kUserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Points special folders at folders of the test and puts the old values back. Both
// keys are set: Wine rewrites a "Shell Folders" value from "User Shell Folders"
// whenever it looks the folder up itself (a shell link's target does that).
class ShellFolders {
public:
    ShellFolders() = default;
    ~ShellFolders() {
        for (const Saved& s : saved_) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, s.key, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
            if (s.existed)
                RegSetValueExA(key, s.name.c_str(), 0, s.type, reinterpret_cast<const BYTE*>(s.data.data()),
                               (DWORD)s.data.size());
            else
                RegDeleteValueA(key, s.name.c_str());
            RegCloseKey(key);
        }
    }
    ShellFolders(const ShellFolders&) = delete;
    ShellFolders& operator=(const ShellFolders&) = delete;

    // Sets the value to path; with make the folder is created (emptied first).
    void Set(const std::string& name, const std::string& path, bool make = true) {
        if (make) {
            stage::DeleteTree(path);
            stage::MakeFolders(path);
        }
        for (const char* keyName : {kShellFoldersKey, kUserShellFoldersKey}) {
            Save(keyName, name);
            HKEY key;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
                ERROR_SUCCESS)
                continue;
            RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           (DWORD)path.size() + 1);
            RegCloseKey(key);
        }
    }
    // Removes the value from "Shell Folders" (the program reads only that key).
    void Remove(const std::string& name) {
        Save(kShellFoldersKey, name);
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }

private:
    struct Saved {
        const char* key;
        std::string name;
        bool existed;
        DWORD type;
        std::string data;
    };
    void Save(const char* keyName, const std::string& name) {
        for (const Saved& s : saved_)
            if (s.key == keyName && s.name == name) return;
        Saved s{keyName, name, false, REG_SZ, ""};
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            DWORD size = 0;
            if (RegQueryValueExA(key, name.c_str(), nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
                s.data.resize(size);
                s.existed = RegQueryValueExA(key, name.c_str(), nullptr, &s.type,
                                             reinterpret_cast<BYTE*>(&s.data[0]), &size) == ERROR_SUCCESS;
                s.data.resize(size);
            }
            RegCloseKey(key);
        }
        saved_.push_back(s);
    }
    std::vector<Saved> saved_;
};

// The names in a folder (files and folders), sorted, as "a.lnk | Sub\"; "(missing)" when it does not exist.
inline std::string Listing(const std::string& folder) {
    if (!stage::Exists(folder)) return "(missing)";
    std::string out;
    for (const std::string& n : listing::Names(folder)) out += (out.empty() ? "" : " | ") + n;
    return out.empty() ? "(empty)" : out;
}

}  // namespace links
