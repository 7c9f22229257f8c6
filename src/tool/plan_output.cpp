#include "tool/plan_output.h"
#include "base/handles.h"
#include "base/text.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "script/created.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

const char* RootName(RootKind root) {
    switch (root) {
    case RootKind::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RootKind::CurrentConfig: return "HKEY_CURRENT_CONFIG";
    case RootKind::CurrentUser: return "HKEY_CURRENT_USER";
    case RootKind::Users: return "HKEY_USERS";
    case RootKind::PerformanceData: return "HKEY_PERFORMANCE_DATA";
    case RootKind::DynData: return "HKEY_DYN_DATA";
    case RootKind::LocalMachine: return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_LOCAL_MACHINE";
}

// Opens for reading; a path that names the root itself gives the root.
bool OpenForReading(const RegPath& key, UniqueKey& out, HKEY* handle) {
    if (key.path.empty()) {
        *handle = RootHandle(key.root);
        return true;
    }
    if (RegOpenKeyExA(RootHandle(key.root), key.path.c_str(), 0, KEY_READ, out.put()) != ERROR_SUCCESS) return false;
    *handle = out.get();
    return true;
}

}  // namespace

void PlanText::Item(const char* outcome, const std::string& object, const std::string& detail) {
    std::string line = "  ";
    line += outcome;
    line.append(line.size() < 16 ? 16 - line.size() : 1, ' ');
    line += object;
    if (!detail.empty()) line += "  " + detail;
    text_ += line + "\n";
}

std::string PlanText::Fold(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    return out;
}

bool PlanText::Made(const std::string& pathOrKey) const { return made_.count(Fold(pathOrKey)) != 0; }
void PlanText::Make(const std::string& pathOrKey) { made_.insert(Fold(pathOrKey)); }

std::string RegPath::Display() const { return path.empty() ? RootName(root) : std::string(RootName(root)) + "\\" + path; }

RegPath RegPath::Child(const std::string& name) const { return {root, path.empty() ? name : path + "\\" + name}; }

std::string JoinText(const std::string& folder, const std::string& name) {
    char path[kPathSize];
    CopyBounded(path, sizeof path, folder.c_str());
    if (!JoinPath(path, name.c_str())) return "";
    return path;
}

HKEY RootHandle(RootKind root) { return RootKeyOf(root); }

bool KeyExists(const RegPath& key) {
    UniqueKey opened;
    HKEY handle;
    return OpenForReading(key, opened, &handle);
}

bool ReadRegValue(const RegPath& key, const char* name, std::string* value, bool* isText) {
    UniqueKey opened;
    HKEY handle;
    if (!OpenForReading(key, opened, &handle)) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::string data(size + 2, '\0');
    if (RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
        return false;
    *isText = type == REG_SZ || type == REG_EXPAND_SZ;
    if (*isText) {
        data.resize(size);
        size_t zero = data.find('\0');
        if (zero != std::string::npos) data.resize(zero);
        *value = data;
    } else if (type == REG_DWORD && size == 4) {
        DWORD n;
        memcpy(&n, data.data(), 4);
        *value = std::to_string(n);
    } else {
        *value = "(" + std::to_string(size) + " bytes of type " + std::to_string(type) + ")";
    }
    return true;
}

bool EarlierMadeAssociationKey(const char* recordPath, const char* fact, const std::string& keyPath,
                               const char* commandLine) {
    CreatedFacts earlier(recordPath);
    switch (earlier.source()) {
    case CreatedFacts::Source::NoRecord: return false;
    case CreatedFacts::Source::Facts: return earlier.Holds(fact, keyPath.c_str());
    case CreatedFacts::Source::Older: break;
    }
    if (ReadNumber("Check", "Ext", 0, earlier.path()) <= 1) return false;
    if (!commandLine) return OwnsFileType(keyPath.c_str());
    std::string now;
    bool text = false;
    return ReadRegValue(RegPath{RootKind::ClassesRoot, keyPath}.Child("command"), "", &now, &text) && text &&
           now == commandLine;
}

std::string RemovalSimulation::Fold(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

void RemovalSimulation::RemoveFile(const std::string& path) { files_.insert(Fold(path)); }

bool RemovalSimulation::FileRemoved(const std::string& path) const { return files_.count(Fold(path)) != 0; }

bool RemovalSimulation::FolderEmptyAfter(const std::string& folder) const {
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!find) return true;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (!FileRemoved(folder + "\\" + name)) return false;
    } while (FindNextFileA(find.get(), &found));
    return true;
}
