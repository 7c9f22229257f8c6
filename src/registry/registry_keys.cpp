#include "registry/registry_keys.h"
#include <string.h>
#include "script/script.h"

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        key_.reset(other.key_.release());
        changed_ = other.changed_;
        other.changed_ = false;
    }
    return *this;
}

// A failed call need not leave the handle empty: it is taken only on success.
bool RegKey::Open(HKEY parent, const char* name, REGSAM rights) {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, rights, &key) != ERROR_SUCCESS) return false;
    key_.reset(key);
    return true;
}

bool RegKey::Create(HKEY parent, const char* name, REGSAM rights) {
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, rights, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    key_.reset(key);
    return true;
}

void RegKey::Close() {
    if (key_ && changed_) RegFlushKey(key_.get());
    key_.reset();
    changed_ = false;
}

bool RegKey::SetText(const char* valueName, const char* text) {
    DWORD size = (DWORD)strlen(text) + 1;
    if (RegSetValueExA(key_.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) != ERROR_SUCCESS)
        return false;
    changed_ = true;
    return true;
}

bool RegKey::SetNumber(const char* valueName, DWORD value) {
    if (RegSetValueExA(key_.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) !=
        ERROR_SUCCESS)
        return false;
    changed_ = true;
    return true;
}

bool RegKey::DeleteValue(const char* valueName) {
    if (RegDeleteValueA(key_.get(), valueName) != ERROR_SUCCESS) return false;
    changed_ = true;
    return true;
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
            while (RegEnumKeyA(key.get(), 0, child, sizeof child) == ERROR_SUCCESS) {
                if (!DeleteTreeAt(key.get(), child, depth + 1)) break;
                key.Changed();
            }
        }
    }
    if (RegDeleteKeyA(parent, name) != ERROR_SUCCESS) return false;
    RegFlushKey(parent);
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
        if (RegEnumKeyA(key.get(), 0, found, sizeof found) != ERROR_NO_MORE_ITEMS) return false;
        if (RegEnumValueA(key.get(), 0, found, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS)
            return false;
    }
    if (RegDeleteKeyA(parent, name) != ERROR_SUCCESS) return false;
    RegFlushKey(parent);
    return true;
}
