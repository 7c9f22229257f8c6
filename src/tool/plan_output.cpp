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

template <typename Visit>
void ForEachSubkey(HKEY key, Visit visit) {
    for (DWORD i = 0;; ++i) {
        char name[kValueSize];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)) return;
        if (rc == ERROR_SUCCESS) visit(std::string(name));
    }
}

template <typename Visit>
void ForEachValueName(HKEY key, Visit visit) {
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD size = sizeof name;
        LONG rc = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)) return;
        if (rc == ERROR_SUCCESS) visit(std::string(name));
    }
}

void CountTree(HKEY key, int depth, long* keys, long* values) {
    ForEachValueName(key, [&](const std::string&) { ++*values; });
    if (depth > 64) return;  // the registry's own links must not lead us in circles
    ForEachSubkey(key, [&](const std::string& name) {
        ++*keys;
        UniqueKey sub;
        if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, sub.put()) == ERROR_SUCCESS)
            CountTree(sub.get(), depth + 1, keys, values);
    });
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

bool PlanText::SetBefore(const std::string& key, const std::string& name, std::string* data) const {
    auto it = values_.find(Fold(key) + "\n" + Fold(name));
    if (it == values_.end()) return false;
    *data = it->second;
    return true;
}

void PlanText::Set(const std::string& key, const std::string& name, const std::string& data) {
    values_[Fold(key) + "\n" + Fold(name)] = data;
}

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

std::string ValueText(const std::string& name, const std::string& data) {
    return "\"" + name + "\" = \"" + data + "\"";
}

static void PlanValue(PlanText& plan, const RegPath& key, const std::string& name, const std::string& data, bool text,
                      const std::string& shown) {
    std::string old;
    bool oldText = text;
    const bool before = plan.SetBefore(key.Display(), name, &old) || ReadRegValue(key, name.c_str(), &old, &oldText);
    plan.Set(key.Display(), name, data);
    if (!before)
        plan.Item("set", key.Display(), shown);
    else if (old == data && oldText == text)
        plan.Item("same", key.Display(), shown);
    else
        plan.Item("replace", key.Display(), shown + " (was \"" + old + "\")");
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

void PlanSetValue(PlanText& plan, const RegPath& key, const std::string& name, const std::string& data) {
    PlanValue(plan, key, name, data, true, ValueText(name, data));
}

void PlanSetNumber(PlanText& plan, const RegPath& key, const std::string& name, unsigned long value) {
    std::string data = std::to_string(value);
    PlanValue(plan, key, name, data, false, "\"" + name + "\" = " + data + " (a number)");
}

void PlanCreateKeys(PlanText& plan, const RegPath& key) {
    if (key.path.empty()) return;
    const char* path = key.path.c_str();
    for (const char* bs = FindFirstChar(path, '\\');; bs = FindFirstChar(bs + 1, '\\')) {
        RegPath at{key.root, bs ? std::string(path, bs) : key.path};
        if (!KeyExists(at) && !plan.Made(at.Display())) {
            plan.Item("new-key", at.Display());
            plan.Make(at.Display());
        }
        if (!bs) return;
    }
}

std::string RemovalSimulation::Fold(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

void RemovalSimulation::RemoveKey(const RegPath& key) { keys_.insert(Fold(key.Display())); }

void RemovalSimulation::RemoveValue(const RegPath& key, const std::string& name) {
    values_.insert(Fold(key.Display()) + "\n" + Fold(name));
}

bool RemovalSimulation::KeyRemoved(const RegPath& key) const {
    // A key goes with any key above it.
    std::string folded = Fold(key.Display());
    for (;;) {
        if (keys_.count(folded)) return true;
        size_t bs = folded.rfind('\\');
        if (bs == std::string::npos) return false;
        folded.resize(bs);
    }
}

bool RemovalSimulation::KeyEmptyAfter(const RegPath& key) const {
    UniqueKey opened;
    HKEY handle;
    if (!OpenForReading(key, opened, &handle)) return true;
    bool empty = true;
    ForEachSubkey(handle, [&](const std::string& name) { empty &= KeyRemoved(key.Child(name)); });
    const std::string folded = Fold(key.Display());
    ForEachValueName(handle, [&](const std::string& name) { empty &= values_.count(folded + "\n" + Fold(name)) != 0; });
    return empty;
}

std::string RemovalSimulation::TreeSize(const RegPath& key) const {
    UniqueKey opened;
    HKEY handle;
    long keys = 0, values = 0;
    if (OpenForReading(key, opened, &handle)) CountTree(handle, 0, &keys, &values);
    if (!keys && !values) return "";
    return "(with " + std::to_string(keys) + (keys == 1 ? " key" : " keys") + " and " + std::to_string(values) +
           (values == 1 ? " value" : " values") + " in it)";
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
