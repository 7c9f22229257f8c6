// Test fixtures on the Windows side: staged product folders, files, script values,
// registry values and artefact paths.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace stage {

std::string HostToWindows(const char* hostPath);
std::string SetupExePath();                       // the built Setup.exe, as Windows path
std::string ArtifactPath(const std::string& name);  // in the build's artefact folder
bool Japanese();                                  // OEM code page 932

bool DeleteTree(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names (without folder) of the files and folders a wildcard pattern matches.
std::vector<std::string> FilesMatching(const std::string& pattern);
bool MakeFolders(const std::string& path);
// Calls visit for each file and folder directly in folder (not "." and "..").
void ForEachEntry(const std::string& folder,
                  const std::function<void(const std::string& path, const WIN32_FIND_DATAA& found)>& visit);
// Copies every file below from into to (made when missing); false when anything failed.
bool CopyTree(const std::string& from, const std::string& to);
std::string Ini(const std::string& file, const char* section, const char* key);
void SetIni(const std::string& file, const char* section, const char* key, const char* value);
// Sets a file's last-write time to now + offsetSeconds.
bool Touch(const std::string& path, long long offsetSeconds);

// A fresh folder C:\stage\NAME holding Setup.exe, a Setup.ini and payload files.
class Folder {
public:
    explicit Folder(const std::string& name, bool withSetupExe = true);
    const std::string& dir() const { return dir_; }
    std::string Path(const std::string& relative) const { return dir_ + "\\" + relative; }
    std::string Script() const { return Path("Setup.ini"); }
    void WriteScript(const std::string& text) const;
    void Put(const std::string& relative, const std::string& bytes) const;

private:
    std::string dir_;
};

bool SetRegString(HKEY root, const char* subkey, const char* name, const char* value);
bool GetRegString(HKEY root, const char* subkey, const char* name, std::string* value);
void DeleteRegTree(HKEY root, const char* subkey);
bool RegKeyExists(HKEY root, const char* subkey);
// The names of an open key's subkeys, read before anything below them changes.
std::vector<std::string> SubkeyNames(HKEY key);

}  // namespace stage
