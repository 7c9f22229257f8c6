#include "tool/plan_machine.h"
#include <algorithm>
#include <string.h>
#include "base/handles.h"
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"
#include "uninstall/removal_rules.h"

namespace {

constexpr uintptr_t kHandleBase = 0x51000000;

const struct {
    HKEY key;
    const char* name;
} kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}, {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
    {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

// The root of a key path and the rest ("" for the root itself).
HKEY SplitRoot(const std::string& path, std::string* rest) {
    size_t bs = path.find('\\');
    std::string root = bs == std::string::npos ? path : path.substr(0, bs);
    *rest = bs == std::string::npos ? "" : path.substr(bs + 1);
    for (const auto& r : kRoots)
        if (root == r.name) return r.key;
    return nullptr;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

}  // namespace

std::string PlanMachine::Fold(const std::string& text) {
    std::string out = text;
    CharUpperBuffA(&out[0], (DWORD)out.size());
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

std::string PlanMachine::Parent(const std::string& path) {
    const char* bs = FindLastBackslash(path.c_str());
    return bs ? path.substr(0, (size_t)(bs - path.c_str())) : "";
}

// ---- files ---------------------------------------------------------------------------

PlanMachine::FileState PlanMachine::File(const std::string& path) const {
    auto it = files_.find(Fold(path));
    if (it != files_.end()) return it->second;
    FileState state;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        state.exists = true;
        state.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        state.attributes = data.dwFileAttributes;
        state.written = data.ftLastWriteTime;
        state.size = ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    }
    return state;
}

std::vector<std::string> PlanMachine::Removed() const {
    std::vector<std::string> removed;
    for (const auto& kv : files_) {
        if (kv.second.exists) continue;
        auto name = names_.find(kv.first);
        removed.push_back(name == names_.end() ? kv.first : name->second);
    }
    return removed;
}

bool PlanMachine::Made(const std::string& path) const {
    auto it = files_.find(Fold(path));
    return it != files_.end() && it->second.exists;
}

bool PlanMachine::FolderEmpty(const std::string& folder) const {
    const std::string folded = Fold(folder);
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(Join(folder, "*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &found) != FALSE) {
        if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
        auto it = files_.find(Fold(Join(folder, found.cFileName)));
        if (it == files_.end() || it->second.exists) return false;
    }
    for (const auto& kv : files_)
        if (kv.second.exists && Fold(Parent(kv.first)) == folded) return false;
    return true;
}

DWORD PlanMachine::Attributes(const char* path) {
    FileState state = File(path);
    if (!state.exists) return INVALID_FILE_ATTRIBUTES;
    return state.folder ? (state.attributes | FILE_ATTRIBUTE_DIRECTORY) : state.attributes;
}

bool PlanMachine::AttributeData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    FileState state = File(path);
    if (!state.exists) return false;
    *data = WIN32_FILE_ATTRIBUTE_DATA{};
    data->dwFileAttributes = Attributes(path);
    data->ftLastWriteTime = state.written;
    data->nFileSizeHigh = (DWORD)(state.size >> 32);
    data->nFileSizeLow = (DWORD)state.size;
    return true;
}

int PlanMachine::CompareAge(const char* destination, const char* source) {
    FileState dst = File(destination), src = File(source);
    if (!dst.exists || dst.folder || !src.exists || src.folder) return 2;
    return CompareFileTime(&src.written, &dst.written);
}

bool PlanMachine::MakeFolder(const char* path) {
    FileState state = File(path), parent = File(Parent(path));
    if (state.exists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    if (!parent.exists || !parent.folder) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    FileState made;
    made.exists = made.folder = true;
    made.attributes = FILE_ATTRIBUTE_DIRECTORY;
    GetSystemTimeAsFileTime(&made.written);
    files_[Fold(path)] = made;
    names_[Fold(path)] = path;
    return true;
}

bool PlanMachine::RemoveFolder(const char* path) {
    FileState state = File(path);
    if (!state.exists || !state.folder || !FolderEmpty(path)) {
        SetLastError(!state.exists ? ERROR_FILE_NOT_FOUND : !state.folder ? ERROR_DIRECTORY : ERROR_DIR_NOT_EMPTY);
        return false;
    }
    files_[Fold(path)] = FileState();
    names_[Fold(path)] = path;
    return true;
}

bool PlanMachine::Copy(const char* from, const char* to, bool failIfExists) {
    FileState src = File(from), dst = File(to), parent = File(Parent(to));
    if (!src.exists || src.folder || !parent.exists || !parent.folder) return false;
    if (dst.exists && (dst.folder || failIfExists || (dst.attributes & FILE_ATTRIBUTE_READONLY))) return false;
    FileState copy = src;
    copy.isLink = false;
    if (copy.origin.empty()) copy.origin = from;
    files_[Fold(to)] = copy;
    names_[Fold(to)] = to;
    return true;
}

bool PlanMachine::SetAttributes(const char* path, DWORD attributes) {
    FileState state = File(path);
    if (!state.exists) return false;
    state.attributes = attributes;
    files_[Fold(path)] = state;
    names_[Fold(path)] = path;
    return true;
}

bool PlanMachine::Delete(const char* path) {
    FileState state = File(path);
    if (!state.exists || state.folder || (state.attributes & FILE_ATTRIBUTE_READONLY)) return false;
    files_[Fold(path)] = FileState();
    return true;
}

DWORD PlanMachine::Recycle(const char* path) {
    FileState state = File(path);
    if (!state.exists || state.folder) return ERROR_FILE_NOT_FOUND;
    files_[Fold(path)] = FileState();
    names_[Fold(path)] = path;
    return 0;
}

RestartRoute PlanMachine::ReplaceAtRestart(char*, char*) { return RestartRoute::DelayedMove; }
RestartRoute PlanMachine::CopyAtRestart(const char*, char*) { return RestartRoute::DelayedMove; }

void PlanMachine::FindFiles(const char* pattern, FindVisitor& visit) {
    const std::string folder = Parent(pattern);
    const std::string name = pattern + (folder.empty() ? 0 : folder.size() + 1);
    std::set<std::string> seen;
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(pattern, &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &found) != FALSE) {
        std::string path = Join(folder, found.cFileName);
        auto it = files_.find(Fold(path));
        seen.insert(Fold(path));
        if (it != files_.end() && !it->second.exists) continue;
        if (!visit.Found(found)) return;
    }
    for (const auto& kv : files_) {
        if (!kv.second.exists || seen.count(kv.first) || Fold(Parent(kv.first)) != Fold(folder)) continue;
        std::string written = names_.count(kv.first) ? names_[kv.first] : kv.first;
        const char* leaf = LastComponent(written.c_str());
        if (!MatchesPattern(leaf, name.c_str())) continue;
        WIN32_FIND_DATAA entry{};
        entry.dwFileAttributes = kv.second.folder ? FILE_ATTRIBUTE_DIRECTORY : kv.second.attributes;
        entry.ftLastWriteTime = kv.second.written;
        CopyBounded(entry.cFileName, sizeof entry.cFileName, leaf);
        if (!visit.Found(entry)) return;
    }
}

bool PlanMachine::Identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    if (files_.count(Fold(path))) return false;  // made or removed by the plan: nothing to compare with
    return SystemMachine().Identity(path, info);
}

// ---- registry ------------------------------------------------------------------------

HKEY PlanMachine::Handle(const std::string& path) {
    handles_.push_back(path);
    return reinterpret_cast<HKEY>(kHandleBase + handles_.size() - 1);
}

// A key some code opened on the system itself, to read: answered by the system.
bool PlanMachine::IsSystemHandle(HKEY key) const {
    for (const auto& r : kRoots)
        if (key == r.key) return false;
    uintptr_t value = reinterpret_cast<uintptr_t>(key);
    return value < kHandleBase || value >= kHandleBase + handles_.size();
}

std::string PlanMachine::PathOf(HKEY key) const {
    for (const auto& r : kRoots)
        if (key == r.key) return r.name;
    uintptr_t index = reinterpret_cast<uintptr_t>(key) - kHandleBase;
    return index < handles_.size() ? handles_[index] : "";
}

bool PlanMachine::OpenRealKey(const std::string& path, UniqueKey* key) const {
    std::string rest;
    HKEY root = SplitRoot(path, &rest);
    return root && RegOpenKeyExA(root, rest.empty() ? nullptr : rest.c_str(), 0, KEY_READ, key->put()) == ERROR_SUCCESS;
}

bool PlanMachine::RealKeyExists(const std::string& path) const {
    std::string rest;
    HKEY root = SplitRoot(path, &rest);
    if (!root) return false;
    if (rest.empty()) return true;
    UniqueKey key;
    return OpenRealKey(path, &key);
}

bool PlanMachine::KeyExists(const std::string& path) const {
    // A key the plan removed is gone with everything below it.
    for (std::string at = path; !at.empty(); at = Parent(at)) {
        auto it = keys_.find(Fold(at));
        if (it != keys_.end()) {
            if (!it->second) return false;
            if (at == path) return true;
        }
    }
    return RealKeyExists(path);
}

std::vector<std::string> PlanMachine::Subkeys(const std::string& path) const {
    std::vector<std::string> names;
    std::set<std::string> folded;
    UniqueKey key;
    if (OpenRealKey(path, &key)) {
        char name[kPathSize];
        for (DWORD i = 0; RegEnumKeyA(key.get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) {
            std::string child = path + "\\" + name;
            auto it = keys_.find(Fold(child));
            if (it != keys_.end() && !it->second) continue;
            names.push_back(name);
            folded.insert(Fold(child));
        }
    }
    const std::string parent = Fold(path);
    for (const auto& kv : keys_) {
        if (!kv.second || folded.count(kv.first) || Fold(Parent(kv.first)) != parent) continue;
        auto name = keyNames_.find(kv.first);
        names.push_back(LastComponent(name == keyNames_.end() ? kv.first.c_str() : name->second.c_str()));
    }
    return names;
}

bool PlanMachine::RealValue(const std::string& path, const std::string& name, ValueState* value) const {
    UniqueKey key;
    if (!OpenRealKey(path, &key)) return false;
    DWORD type = 0, size = 0;
    const char* valueName = name.empty() ? nullptr : name.c_str();
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    std::string data(size, '\0');
    if (size && RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
                    ERROR_SUCCESS)
        return false;
    data.resize(size);
    value->exists = true;
    value->type = type;
    value->data = data;
    return true;
}

std::vector<std::string> PlanMachine::ValueNames(const std::string& path) const {
    std::vector<std::string> names;
    std::set<std::string> folded;
    UniqueKey key;
    const std::string prefix = Fold(path) + "\\\\";
    if (OpenRealKey(path, &key)) {
        for (DWORD i = 0;; ++i) {
            char name[16384];
            DWORD size = sizeof name;
            LONG rc = RegEnumValueA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) break;
            auto it = values_.find(prefix + Fold(name));
            if (it != values_.end() && !it->second.exists) continue;
            names.push_back(name);
            folded.insert(prefix + Fold(name));
        }
    }
    for (const auto& kv : values_) {
        if (!kv.second.exists || folded.count(kv.first) || kv.first.compare(0, prefix.size(), prefix) != 0) continue;
        names.push_back(valueNames_.at(kv.first));
    }
    return names;
}

LONG PlanMachine::OpenKey(HKEY parent, const char* name, REGSAM, HKEY* key) {
    std::string base = PathOf(parent);
    if (base.empty()) return ERROR_INVALID_HANDLE;
    std::string path = name && name[0] ? base + "\\" + name : base;
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    *key = Handle(path);
    return ERROR_SUCCESS;
}

LONG PlanMachine::CreateKey(HKEY parent, const char* name, REGSAM, HKEY* key, bool* created) {
    std::string base = PathOf(parent);
    if (base.empty()) return ERROR_INVALID_HANDLE;
    std::string path = base;
    if (created) *created = false;
    std::string rest = name ? name : "";
    while (!rest.empty()) {
        size_t bs = rest.find('\\');
        std::string part = rest.substr(0, bs);
        rest = bs == std::string::npos ? "" : rest.substr(bs + 1);
        if (part.empty()) continue;
        path += "\\" + part;
        if (!KeyExists(path)) {
            keys_[Fold(path)] = true;
            keyNames_[Fold(path)] = path;
            if (created && rest.empty()) *created = true;
        }
    }
    *key = Handle(path);
    return ERROR_SUCCESS;
}

LONG PlanMachine::QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    if (IsSystemHandle(key)) return SystemMachine().QueryValue(key, name, type, data, size);
    std::string path = PathOf(key);
    if (path.empty() || !KeyExists(path)) return ERROR_INVALID_HANDLE;
    std::string valueName = name ? name : "";
    ValueState value;
    auto it = values_.find(Fold(path) + "\\\\" + Fold(valueName));
    if (it != values_.end()) {
        value = it->second;
    } else {
        auto created = keys_.find(Fold(path));
        bool planMade = created != keys_.end() && created->second && !RealKeyExists(path);
        if (planMade || !RealValue(path, valueName, &value)) return ERROR_FILE_NOT_FOUND;
    }
    if (!value.exists) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value.type;
    if (!size) return ERROR_SUCCESS;
    DWORD need = (DWORD)value.data.size();
    if (!data) {
        *size = need;
        return ERROR_SUCCESS;
    }
    if (*size < need) {
        *size = need;
        return ERROR_MORE_DATA;
    }
    memcpy(data, value.data.data(), need);
    *size = need;
    return ERROR_SUCCESS;
}

LONG PlanMachine::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    std::string path = PathOf(key);
    if (path.empty() || !KeyExists(path)) return ERROR_INVALID_HANDLE;
    std::string valueName = name ? name : "";
    std::string id = Fold(path) + "\\\\" + Fold(valueName);
    values_[id] = ValueState{true, type, std::string(reinterpret_cast<const char*>(data), size)};
    valueNames_[id] = valueName;
    return ERROR_SUCCESS;
}

LONG PlanMachine::DeleteValue(HKEY key, const char* name) {
    std::string path = PathOf(key);
    if (path.empty() || !KeyExists(path)) return ERROR_INVALID_HANDLE;
    DWORD type = 0, size = 0;
    if (QueryValue(key, name, &type, nullptr, &size) != ERROR_SUCCESS) return ERROR_FILE_NOT_FOUND;
    std::string valueName = name ? name : "";
    std::string id = Fold(path) + "\\\\" + Fold(valueName);
    values_[id] = ValueState();
    valueNames_[id] = valueName;
    return ERROR_SUCCESS;
}

LONG PlanMachine::DeleteKey(HKEY parent, const char* name) {
    std::string base = PathOf(parent);
    if (base.empty() || !name || !name[0]) return ERROR_INVALID_PARAMETER;
    std::string path = base + "\\" + name;
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    if (!Subkeys(path).empty()) return ERROR_ACCESS_DENIED;
    keys_[Fold(path)] = false;
    return ERROR_SUCCESS;
}

LONG PlanMachine::EnumKey(HKEY key, DWORD index, char* name, DWORD cap) {
    if (IsSystemHandle(key)) return SystemMachine().EnumKey(key, index, name, cap);
    std::string path = PathOf(key);
    if (path.empty() || !KeyExists(path)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names = Subkeys(path);
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    if (names[index].size() >= cap) return ERROR_MORE_DATA;
    CopyBounded(name, cap, names[index].c_str());
    return ERROR_SUCCESS;
}

LONG PlanMachine::EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize) {
    if (IsSystemHandle(key)) return SystemMachine().EnumValue(key, index, name, nameSize);
    std::string path = PathOf(key);
    if (path.empty() || !KeyExists(path)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names = ValueNames(path);
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    if (names[index].size() >= *nameSize) return ERROR_MORE_DATA;
    CopyBounded(name, *nameSize, names[index].c_str());
    *nameSize = (DWORD)names[index].size();
    return ERROR_SUCCESS;
}

// ---- the shell -----------------------------------------------------------------------

bool PlanMachine::SaveLink(const char* path, const LinkValues& values) {
    FileState parent = File(Parent(path));
    if (!parent.exists || !parent.folder) return true;  // the object was made; the save fails unseen
    FileState link;
    link.exists = link.isLink = true;
    GetSystemTimeAsFileTime(&link.written);
    char stored[kPathSize];
    link.linkTarget = StoredLinkTarget(values.target, stored, sizeof stored) ? stored : values.target;
    link.linkArguments = values.arguments;
    files_[Fold(path)] = link;
    names_[Fold(path)] = path;
    return true;
}

bool PlanMachine::ReadLink(const char* path, char* target, size_t targetCap, char* arguments, size_t argumentsCap) {
    auto it = files_.find(Fold(path));
    if (it == files_.end()) return SystemMachine().ReadLink(path, target, targetCap, arguments, argumentsCap);
    if (!it->second.exists || !it->second.isLink) return false;
    CopyBounded(target, targetCap, it->second.linkTarget.c_str());
    CopyBounded(arguments, argumentsCap, it->second.linkArguments.c_str());
    return true;
}

void PlanMachine::FindProgram(const char* name, const char* folder, char* found) {
    found[0] = 0;
    std::string candidate = Join(folder, name);
    const bool bare = !FindLastChar(LastComponent(name), '.');
    for (const std::string& path : {candidate, candidate + ".exe"}) {
        auto it = files_.find(Fold(path));
        if (it == files_.end() || !it->second.exists || it->second.folder) {
            if (!bare) break;
            continue;
        }
        const std::string& origin = it->second.origin;
        const char* dot = FindLastChar(LastComponent(path.c_str()), '.');
        bool program = false;
        for (const char* ext : {".exe", ".com", ".bat", ".cmd", ".pif"}) program |= dot && lstrcmpiA(dot, ext) == 0;
        // A document opens with the program registered for its kind, which its source
        // shows as well as the copy will.
        if (program || origin.empty())
            CopyBounded(found, MAX_PATH, path.c_str());
        else
            FindProgramOnDisk(origin.c_str(), nullptr, found);
        return;
    }
    SystemMachine().FindProgram(name, folder, found);
}

bool PlanMachine::StoredLinkTarget(const char* target, char* out, size_t cap) {
    return SystemMachine().StoredLinkTarget(target, out, cap);
}

bool PlanMachine::Start(HWND, const char*, const char*, const char*, int, DWORD* error) {
    if (error) *error = 0;
    return true;
}

// ---- libraries -----------------------------------------------------------------------

namespace {

constexpr uintptr_t kLibraryBase = 0x52000000;
constexpr DWORD kLargestImage = 256u << 20;  // larger files are taken on trust

uint32_t Get32(const std::string& b, size_t at) {
    return (uint32_t)(unsigned char)b[at] | (uint32_t)(unsigned char)b[at + 1] << 8 |
           (uint32_t)(unsigned char)b[at + 2] << 16 | (uint32_t)(unsigned char)b[at + 3] << 24;
}
uint16_t Get16(const std::string& b, size_t at) {
    return (uint16_t)((unsigned char)b[at] | (unsigned char)b[at + 1] << 8);
}
bool Fits(const std::string& b, size_t at, size_t n) { return at <= b.size() && n <= b.size() - at; }

// The whole file, when it can be read and is not too large to hold.
bool ReadWhole(const std::string& path, std::string* bytes, bool* tooLarge) {
    *tooLarge = false;
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return false;
    if (size.QuadPart > kLargestImage) {
        *tooLarge = true;
        return false;
    }
    bytes->resize((size_t)size.QuadPart);
    DWORD read = 0;
    return bytes->empty() ||
           (ReadFile(file.get(), &(*bytes)[0], (DWORD)bytes->size(), &read, nullptr) && read == bytes->size());
}

}  // namespace

bool ExportNamesOf(const std::string& b, std::vector<std::string>* names) {
    names->clear();
    if (!Fits(b, 0, 0x40) || b[0] != 'M' || b[1] != 'Z') return false;
    const size_t pe = Get32(b, 0x3C);
    if (!Fits(b, pe, 24) || b.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return false;
    const size_t sectionCount = Get16(b, pe + 6), optionalSize = Get16(b, pe + 20), optional = pe + 24;
    if (!Fits(b, optional, optionalSize) || optionalSize < 2) return false;
    const uint16_t magic = Get16(b, optional);
    if (magic != 0x10B && magic != 0x20B) return false;
    const size_t countAt = magic == 0x10B ? 92 : 108;  // NumberOfRvaAndSizes, then the directories
    if (optionalSize < countAt + 4) return false;
    const uint32_t directories = Get32(b, optional + countAt);
    if (directories == 0 || optionalSize < countAt + 4 + 8) return true;  // no export directory: exports nothing
    const uint32_t exportRva = Get32(b, optional + countAt + 4);
    if (exportRva == 0) return true;
    const size_t sections = optional + optionalSize;
    if (!Fits(b, sections, sectionCount * 40)) return false;
    // A virtual address in the file, through the section that holds it (npos: in none).
    auto offsetOf = [&](uint32_t rva) -> size_t {
        for (size_t i = 0; i < sectionCount; ++i) {
            const size_t s = sections + i * 40;
            const uint32_t virtualSize = Get32(b, s + 8), address = Get32(b, s + 12);
            const uint32_t rawSize = Get32(b, s + 16), raw = Get32(b, s + 20);
            const uint32_t span = virtualSize > rawSize ? virtualSize : rawSize;
            if (rva >= address && rva - address < span) {
                const size_t at = (size_t)raw + (rva - address);
                return rva - address < rawSize && at < b.size() ? at : std::string::npos;
            }
        }
        return std::string::npos;
    };
    const size_t directory = offsetOf(exportRva);
    if (directory == std::string::npos || !Fits(b, directory, 40)) return false;
    const uint32_t count = Get32(b, directory + 24);
    const size_t table = offsetOf(Get32(b, directory + 32));
    if (count == 0) return true;
    if (table == std::string::npos || count > (b.size() - table) / 4) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t name = offsetOf(Get32(b, table + (size_t)i * 4));
        if (name == std::string::npos) return false;
        const size_t end = b.find('\0', name);
        if (end == std::string::npos) return false;
        names->push_back(b.substr(name, end - name));
    }
    return true;
}

HMODULE PlanMachine::OpenLibrary(const char* path, DWORD) {
    FileState state = File(path);
    if (!state.exists || state.folder) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Library library{false, {}};
    std::string bytes;
    bool tooLarge = false;
    if (ReadWhole(state.origin.empty() ? path : state.origin, &bytes, &tooLarge)) {
        if (!ExportNamesOf(bytes, &library.exports)) {
            SetLastError(ERROR_BAD_EXE_FORMAT);
            return nullptr;
        }
        library.known = true;
    }
    libraries_.push_back(library);
    return reinterpret_cast<HMODULE>(kLibraryBase + libraries_.size() - 1);
}

FARPROC PlanMachine::LibraryFunction(HMODULE module, const char* name) {
    uintptr_t index = reinterpret_cast<uintptr_t>(module) - kLibraryBase;
    if (index >= libraries_.size()) return nullptr;
    const Library& library = libraries_[index];
    bool found = !library.known;  // what cannot be read is taken on trust
    for (const std::string& exported : library.exports) found |= exported == name;
    // Never called: CallFunction does nothing with it.
    return found ? reinterpret_cast<FARPROC>(module) : nullptr;
}
