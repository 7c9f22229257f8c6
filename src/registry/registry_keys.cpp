#include "registry/registry_keys.h"
#include <string.h>
#include "run/machine.h"
#include "script/script.h"

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        key_ = other.key_;
        other.key_ = nullptr;
        changed_ = other.changed_;
        other.changed_ = false;
    }
    return *this;
}

// A failed call need not leave the handle empty: it is taken only on success.
bool RegKey::Open(HKEY parent, const char* name, REGSAM rights) {
    Close();
    HKEY key = nullptr;
    if (M().OpenKey(parent, name, rights, &key) != ERROR_SUCCESS) return false;
    key_ = key;
    return true;
}

bool RegKey::Create(HKEY parent, const char* name, REGSAM rights, bool* created) {
    Close();
    HKEY key = nullptr;
    if (created) *created = false;
    if (M().CreateKey(parent, name, rights, &key, created) != ERROR_SUCCESS) return false;
    key_ = key;
    return true;
}

void RegKey::Close() {
    if (key_ && changed_) M().FlushKey(key_);
    if (key_) M().CloseKey(key_);
    key_ = nullptr;
    changed_ = false;
}

bool RegKey::SetText(const char* valueName, const char* text) {
    DWORD size = (DWORD)strlen(text) + 1;
    if (M().SetValue(key_, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text), size) != ERROR_SUCCESS) return false;
    changed_ = true;
    return true;
}

bool RegKey::SetNumber(const char* valueName, DWORD value) {
    if (M().SetValue(key_, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) != ERROR_SUCCESS)
        return false;
    changed_ = true;
    return true;
}

bool RegKey::DeleteValue(const char* valueName) {
    if (M().DeleteValue(key_, valueName) != ERROR_SUCCESS) return false;
    changed_ = true;
    return true;
}

bool RegKey::ReadText(const char* valueName, char* out, size_t cap, DWORD* type) const {
    if (!out || cap == 0) return false;
    out[0] = 0;
    if (cap < 2 || !key_) return false;
    DWORD size = (DWORD)cap - 1, kind = 0;
    if (M().QueryValue(key_, valueName, &kind, reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS) {
        out[0] = 0;
        return false;
    }
    out[size < cap ? size : cap - 1] = 0;  // the stored value need not be terminated
    if (type) *type = kind;
    return true;
}

bool RegKey::HasValue(const char* valueName) const {
    return key_ && M().QueryValue(key_, valueName, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LONG RegKey::ValueName(DWORD index, char* name, DWORD* size) const { return M().EnumValue(key_, index, name, size); }

LONG RegKey::SubkeyName(DWORD index, char* name, DWORD cap) const { return M().EnumKey(key_, index, name, cap); }

bool KeyIsThere(HKEY root, const char* path) {
    HKEY key = nullptr;
    LONG rc = M().OpenKey(root, path, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) M().CloseKey(key);
    return rc != ERROR_FILE_NOT_FOUND;
}

HKEY RootKeyOf(RootKind kind) {
    switch (kind) {
    case RootKind::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RootKind::CurrentConfig: return HKEY_CURRENT_CONFIG;
    case RootKind::CurrentUser: return HKEY_CURRENT_USER;
    case RootKind::Users: return HKEY_USERS;
    case RootKind::PerformanceData: return HKEY_PERFORMANCE_DATA;
    case RootKind::DynData: return HKEY_DYN_DATA;
    case RootKind::LocalMachine: break;
    }
    return HKEY_LOCAL_MACHINE;
}

HKEY RootKeyFromName(const char* name) { return RootKeyOf(RootKindFromName(name)); }

namespace {

// Deeper than the registry allows; a loop of links must not exhaust the stack.
constexpr int kMaxDepth = 512;

bool DeleteTreeAt(HKEY parent, const char* name, int depth) {
    if (!name || !name[0] || depth > kMaxDepth) return false;  // "" would be the parent itself
    {
        RegKey key;
        if (key.Open(parent, name, kTreeRights)) {
            char child[kPathSize];
            // Index 0 again after each removal; a subkey that stays, or a listing
            // that fails, would return the same answer forever.
            while (M().EnumKey(key.get(), 0, child, sizeof child) == ERROR_SUCCESS) {
                if (!DeleteTreeAt(key.get(), child, depth + 1)) break;
                key.Changed();
            }
        }
    }
    if (M().DeleteKey(parent, name) != ERROR_SUCCESS) return false;
    M().FlushKey(parent);
    return true;
}

}  // namespace

bool DeleteKeyTree(HKEY parent, const char* name) { return DeleteTreeAt(parent, name, 0); }

bool DeleteKeyIfEmpty(HKEY parent, const char* name) {
    if (!name || !name[0]) return false;
    {
        RegKey key;
        // A key that cannot be looked into may hold anything.
        if (!key.Open(parent, name, kInspectRights)) return false;
        char found[kPathSize];
        DWORD size = sizeof found;
        // Only "no more items" proves emptiness: a name too long for the buffer is
        // still a subkey or a value.
        if (M().EnumKey(key.get(), 0, found, sizeof found) != ERROR_NO_MORE_ITEMS) return false;
        if (M().EnumValue(key.get(), 0, found, &size) != ERROR_NO_MORE_ITEMS) return false;
    }
    if (M().DeleteKey(parent, name) != ERROR_SUCCESS) return false;
    M().FlushKey(parent);
    return true;
}
