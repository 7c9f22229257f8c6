// Registry keys as the registry steps use them: an owner that flushes what changed
// before it closes, the predefined roots by name, and the two key removals.
#pragma once
#include <windows.h>
#include "base/handles.h"
#include "registry/registry_parse.h"

// Rights of the registry steps.
constexpr REGSAM kCreateRights = KEY_CREATE_SUB_KEY | KEY_SET_VALUE;                        // 6
constexpr REGSAM kTreeRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS;  // 0xE
constexpr REGSAM kInspectRights = kTreeRights | KEY_QUERY_VALUE;                             // 0xF

// A key opened or created by a registry step, through the run's machine. It is closed on
// every path; a key in which something was written or deleted is flushed first.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(other.key_), changed_(other.changed_) {
        other.key_ = nullptr;
        other.changed_ = false;
    }
    RegKey& operator=(RegKey&& other) noexcept;

    bool Open(HKEY parent, const char* name, REGSAM rights);
    // REG_OPTION_NON_VOLATILE; created tells whether the key was made (may be null).
    bool Create(HKEY parent, const char* name, REGSAM rights, bool* created = nullptr);
    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Changed() { changed_ = true; }
    void Close();

    // Each marks the key changed when it succeeds. Texts are REG_SZ, counted with
    // their terminating zero.
    bool SetText(const char* valueName, const char* text);
    bool SetNumber(const char* valueName, DWORD value);
    bool DeleteValue(const char* valueName);
    // A value as text (cap bytes, always terminated); false when it cannot be read.
    bool ReadText(const char* valueName, char* out, size_t cap, DWORD* type = nullptr) const;
    bool HasValue(const char* valueName) const;
    // The name of value or subkey number index; the registry's own results.
    LONG ValueName(DWORD index, char* name, DWORD* size) const;
    LONG SubkeyName(DWORD index, char* name, DWORD cap) const;

private:
    HKEY key_ = nullptr;  // the machine's handle (run/machine.h), closed through it
    bool changed_ = false;
};

// The predefined key a root name stands for (HKEY_LOCAL_MACHINE for any other name).
HKEY RootKeyFromName(const char* name);
HKEY RootKeyOf(RootKind kind);

// Removes the subkey name of parent with everything below it. Ends also when a
// subkey cannot be removed or cannot be listed; true when name is gone.
bool DeleteKeyTree(HKEY parent, const char* name);
// Removes the subkey name of parent only when it is seen to hold neither subkeys
// nor values; true when it was removed.
bool DeleteKeyIfEmpty(HKEY parent, const char* name);

// Whether the key is there: one that cannot be opened for another reason counts as there.
bool KeyIsThere(HKEY root, const char* path);
