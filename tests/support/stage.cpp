#include "stage.h"
#include <shellapi.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <vector>

namespace stage {

std::string HostToWindows(const char* hostPath) {
    std::string out = "Z:";
    for (const char* p = hostPath; *p; ++p) out += (*p == '/') ? '\\' : *p;
    return out;
}

std::string SetupExePath() {
    const char* host = getenv("SETUP_EXE");
    return host ? HostToWindows(host) : std::string();
}

std::string ArtifactPath(const std::string& name) {
    const char* dir = getenv("SETUP_ARTIFACTS");
    const char* group = getenv("SETUP_TEST_GROUP");
    std::string base = dir ? HostToWindows(dir) : std::string("C:\\artifacts");
    MakeFolders(base);
    return base + "\\" + (group ? std::string(group) + "-" : std::string()) + name;
}

bool Japanese() { return GetOEMCP() == 932; }

bool DeleteTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileA(path.c_str()) != FALSE;
    }
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            DeleteTree(path + "\\" + name);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool MakeFolders(const std::string& path) {
    if (path.empty() || Exists(path)) return true;
    size_t bs = path.find_last_of('\\');
    if (bs != std::string::npos && bs > 2) MakeFolders(path.substr(0, bs));
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE || Exists(path);
}

void ForEachEntry(const std::string& folder,
                  const std::function<void(const std::string& path, const WIN32_FIND_DATAA& found)>& visit) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") visit(folder + "\\" + name, found);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

bool CopyTree(const std::string& from, const std::string& to) {
    MakeFolders(to);
    bool ok = Exists(from);
    ForEachEntry(from, [&](const std::string& path, const WIN32_FIND_DATAA& found) {
        std::string target = to + "\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(path, target) && ok;
        else
            ok = CopyFileA(path.c_str(), target.c_str(), FALSE) && ok;
    });
    return ok;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    size_t bs = path.find_last_of('\\');
    if (bs != std::string::npos) MakeFolders(path.substr(0, bs));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) out.append(buffer, read);
    CloseHandle(file);
    return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FilesMatching(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
        names.push_back(found.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return names;
}

std::string Ini(const std::string& file, const char* section, const char* key) {
    char value[2048] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file.c_str());
    return value;
}

void SetIni(const std::string& file, const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, file.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

bool Touch(const std::string& path, long long offsetSeconds) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart += (ULONGLONG)(offsetSeconds * 10000000LL);
    FILETIME when{t.LowPart, t.HighPart};
    BOOL ok = SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
    return ok != FALSE;
}

Folder::Folder(const std::string& name, bool withSetupExe) : dir_("C:\\stage\\" + name) {
    DeleteTree(dir_);
    MakeFolders(dir_);
    if (withSetupExe) CopyFileA(SetupExePath().c_str(), Path("Setup.exe").c_str(), FALSE);
}

void Folder::WriteScript(const std::string& text) const { WriteFile(Script(), text); }

void Folder::Put(const std::string& relative, const std::string& bytes) const { WriteFile(Path(relative), bytes); }

bool SetRegString(HKEY root, const char* subkey, const char* name, const char* value) {
    HKEY key;
    if (RegCreateKeyExA(root, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool GetRegString(HKEY root, const char* subkey, const char* name, std::string* value) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[1024] = "";
    DWORD size = sizeof buffer - 1, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    buffer[size < sizeof buffer ? size : sizeof buffer - 1] = 0;
    if (value) *value = buffer;
    return true;
}

void DeleteRegTree(HKEY root, const char* subkey) { SHDeleteKeyA(root, subkey); }

bool RegKeyExists(HKEY root, const char* subkey) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

}  // namespace stage
