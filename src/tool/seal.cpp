#include "tool/seal.h"
#include <windows.h>
#include <string.h>
#include <algorithm>
#include "base/handles.h"
#include "install/seal_check.h"
#include "install/seal_list.h"
#include "tool/files.h"

namespace {

const char kType[] = "SEAL";
const WORD kLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

std::string Join(const std::string& folder, const std::string& name) {
    return folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + name;
}

bool LessNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }

// Every file under folder\relative, relative names; folders that cannot be listed are told.
void ListFiles(const std::string& folder, const std::string& relative, std::vector<std::string>* names,
               std::string* problem) {
    WIN32_FIND_DATAA data;
    std::string pattern = Join(relative.empty() ? folder : Join(folder, relative), "*");
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) *problem += "cannot list " + Join(folder, relative) + "\n";
        return;
    }
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = relative.empty() ? name : relative + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListFiles(folder, path, names, problem);
        } else if (!(relative.empty() && lstrcmpiA(name.c_str(), "Setup.exe") == 0)) {
            names->push_back(path);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

// Takes the certificate table off a signed image (the resource update would leave it
// pointing at the wrong bytes): the file is cut where the table starts.
bool RemoveSignature(const std::string& exe, const std::string& image) {
    size_t offset = 0, size = 0, directory = 0;
    if (!SignatureOf(image, &offset, &size, &directory)) return true;
    std::string out = image.substr(0, offset);
    memset(&out[directory], 0, 8);
    UniqueFile file(CreateFileA(exe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD wrote = 0;
    return file && WriteFile(file.get(), out.data(), (DWORD)out.size(), &wrote, nullptr) && wrote == out.size();
}

}  // namespace

bool ReadSealOf(const std::string& exe, std::string* list) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    HRSRC found = FindResourceA(module, kType, kType);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes) list->assign(bytes, SizeofResource(module, found));
    FreeLibrary(module);
    return bytes != nullptr;
}

bool SignatureOf(const std::string& image, size_t* offset, size_t* size, size_t* directoryAt) {
    auto u16 = [&](size_t at) { return (unsigned)(unsigned char)image[at] | (unsigned)(unsigned char)image[at + 1] << 8; };
    auto u32 = [&](size_t at) { return (size_t)u16(at) | (size_t)u16(at + 2) << 16; };
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return false;
    size_t pe = u32(0x3c);
    if (pe > image.size() || image.size() - pe < 24 + 2 || memcmp(&image[pe], "PE\0\0", 4) != 0) return false;
    size_t optional = pe + 24;
    unsigned magic = u16(optional);
    size_t directories = optional + (magic == 0x20b ? 112 : magic == 0x10b ? 96 : 0);
    if (directories == optional || image.size() - directories < 5 * 8) return false;
    if (u32(optional + (magic == 0x20b ? 108 : 92)) < 5) return false;  // fewer directories than the security one
    size_t at = directories + 4 * 8;
    size_t start = u32(at), length = u32(at + 4);
    if (start == 0 || length == 0 || start > image.size() || image.size() - start < length) return false;
    *offset = start;
    *size = length;
    *directoryAt = at;
    return true;
}

int SealFolder(const std::string& folder, std::string* report, std::string* errors) {
    std::string exe = Join(folder, "Setup.exe");
    if (GetFileAttributesA(Join(folder, "Setup.ini").c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
        *errors += "seal: " + Join(folder, "Setup.ini") + " is missing\n";
        return 2;
    }
    std::string image;
    if (!ReadWholeFile(exe, 64u << 20, &image) || image.empty()) {  // no Setup.exe is larger
        *errors += "seal: cannot read " + exe + "\n";
        return 2;
    }
    std::vector<std::string> names;
    std::string problem;
    ListFiles(folder, "", &names, &problem);
    if (!problem.empty()) {
        *errors += "seal: " + problem;
        return 2;
    }
    std::sort(names.begin(), names.end(), LessNoCase);
    std::string list;
    char line[kPathSize + 128];
    if (!FormatSealHeader(names.size(), line, sizeof line)) {
        *errors += "seal: too many files\n";
        return 2;
    }
    list += line;
    std::vector<char> buffer(1 << 20);
    unsigned long long total = 0;
    for (const std::string& name : names) {
        SealEntry entry{};
        if (name.size() >= sizeof entry.name || !IsSealableName(name.c_str())) {
            *errors += "seal: the name cannot be sealed: " + name + "\n";
            return 2;
        }
        strcpy(entry.name, name.c_str());
        if (!HashFileContent(Join(folder, name).c_str(), buffer.data(), buffer.size(), &entry.size, entry.hash)) {
            *errors += "seal: cannot read " + Join(folder, name) + "\n";
            return 2;
        }
        if (!FormatSealLine(entry, line, sizeof line)) {
            *errors += "seal: the name cannot be sealed: " + name + "\n";
            return 2;
        }
        list += line;
        total += entry.size;
    }
    size_t offset = 0, size = 0, directory = 0;
    bool wasSigned = SignatureOf(image, &offset, &size, &directory);
    if (!RemoveSignature(exe, image)) {
        *errors += "seal: cannot write " + exe + "\n";
        return 2;
    }
    HANDLE update = BeginUpdateResourceA(exe.c_str(), FALSE);
    bool done = update && UpdateResourceA(update, kType, kType, kLanguage, &list[0], (DWORD)list.size());
    if (update && !EndUpdateResourceA(update, !done)) done = false;
    if (!done) {
        *errors += "seal: cannot store the seal in " + exe + "\n";
        return 2;
    }
    *report += "sealed " + std::to_string(names.size()) + " files (" + std::to_string(total) + " bytes) into " +
               exe + "\n";
    if (wasSigned)
        *report += "Setup.exe was signed: sealing changed it and its signature is gone. Sign it again now "
                   "(seal first, then sign).\n";
    return 0;
}

bool CompareFolderWithSeal(const std::string& folder, bool* sealed, std::vector<SealDifference>* differences,
                           std::string* problem) {
    std::string list;
    *sealed = ReadSealOf(Join(folder, "Setup.exe"), &list);
    if (!*sealed) return true;
    SealReader reader(list.data(), list.size());
    if (!reader.Check()) {
        *problem = "the list of sealed files in Setup.exe is damaged";
        return false;
    }
    std::vector<std::string> present;
    ListFiles(folder, "", &present, problem);
    std::sort(present.begin(), present.end(), LessNoCase);
    std::vector<char> buffer(1 << 20);
    std::vector<std::string> sealedNames;
    SealEntry entry;
    while (reader.Next(&entry)) {
        sealedNames.push_back(entry.name);
        std::string path = Join(folder, entry.name);
        DWORD attributes = GetFileAttributesA(path.c_str());
        unsigned long long size = 0;
        uint8_t hash[32];
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            differences->push_back({entry.name, "missing", true});
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            differences->push_back({entry.name, "not a file", true});
        } else if (!HashFileContent(path.c_str(), buffer.data(), buffer.size(), &size, hash)) {
            differences->push_back({entry.name, "cannot be read", true});
        } else if (size != entry.size || memcmp(hash, entry.hash, 32) != 0) {
            differences->push_back({entry.name, "changed", true});
        }
    }
    std::sort(sealedNames.begin(), sealedNames.end(), LessNoCase);
    for (const std::string& name : present)
        if (!std::binary_search(sealedNames.begin(), sealedNames.end(), name, LessNoCase))
            differences->push_back({name, "added after sealing", false});
    return true;
}

int VerifySeal(const std::string& folder, std::string* report, std::string* errors) {
    bool sealed = false;
    std::vector<SealDifference> differences;
    std::string problem;
    if (!CompareFolderWithSeal(folder, &sealed, &differences, &problem)) {
        *errors += "seal: " + problem + "\n";
        return 2;
    }
    if (!sealed) {
        *errors += "seal: " + Join(folder, "Setup.exe") + " carries no seal\n";
        return 2;
    }
    int status = 0;
    for (const SealDifference& d : differences) {
        *report += Join(folder, d.name) + ": " + d.why + (d.counts ? "" : " (not checked by Setup.exe)") + "\n";
        if (d.counts) status = 2;
    }
    *report += status == 0 ? "the folder is as sealed\n" : "the folder is not as sealed: Setup.exe will refuse to install\n";
    return status;
}

void CheckSeal(const std::string& folder, Findings& findings) {
    bool sealed = false;
    std::vector<SealDifference> differences;
    std::string problem;
    if (!CompareFolderWithSeal(folder, &sealed, &differences, &problem)) {
        findings.Error(0, "Setup.exe's seal: " + problem + "; seal the folder again (SetupTool seal)");
        return;
    }
    for (const SealDifference& d : differences) {
        if (!d.counts) continue;
        findings.Error(0, "sealed file " + Quoted(d.name) + " is " + d.why +
                              ": Setup.exe will refuse to install; seal the folder again (SetupTool seal), then sign");
    }
}
