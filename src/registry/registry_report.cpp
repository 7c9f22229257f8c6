#include "registry/registry_report.h"
#include <string.h>
#include "base/text.h"
#include "registry/registry_keys.h"
#include "run/machine.h"
#include "run/report.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

// Room for a value's name, its data and what it held, as a plan line shows them.
constexpr size_t kDetailSize = 2 * kLongValueSize + kExpandedSize;
// Deep enough for any tree a step removes; the count is only shown.
constexpr int kCountDepth = 64;

bool IsPredefined(HKEY key) {
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                          HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA};
    for (HKEY root : roots)
        if (key == root) return true;
    return false;
}

// A value as it is before a write, as a plan line shows it.
struct Before {
    bool there = false;
    DWORD type = 0;
    char shown[kLongValueSize] = "";
};

// Read through a handle of its own, as the step's handle may have the right to write only.
void ReadBefore(HKEY key, const char* name, Before* before) {
    HKEY reader = key;
    if (!IsPredefined(key) && M().OpenKey(key, "", KEY_QUERY_VALUE, &reader) != ERROR_SUCCESS) return;
    BYTE data[kLongValueSize];
    DWORD size = sizeof data - 1, type = 0;
    LONG rc = M().QueryValue(reader, name, &type, data, &size);
    if (reader != key) M().CloseKey(reader);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return;
    before->there = true;
    before->type = type;
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        data[size < sizeof data ? size : sizeof data - 1] = 0;  // the stored text need not be terminated
        CopyBounded(before->shown, sizeof before->shown, reinterpret_cast<const char*>(data));
    } else if (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, data, sizeof number);
        FormatBounded(before->shown, sizeof before->shown, "%lu", number);
    } else {
        FormatBounded(before->shown, sizeof before->shown, "(%lu bytes of type %lu)", size, type);
    }
}

// shown: the data as the line shows it (a number in decimal).
LONG WriteTold(HKEY key, const char* keyText, const char* valueName, DWORD type, const BYTE* data, DWORD size,
               const char* shown) {
    Before before;
    ReadBefore(key, valueName, &before);
    LONG rc = M().SetValue(key, valueName, type, data, size);
    char detail[kDetailSize];
    const char* name = valueName ? valueName : "";
    FormatBounded(detail, sizeof detail, type == REG_SZ ? "\"%s\" = \"%s\"" : "\"%s\" = %s (a number)", name, shown);
    if (rc != ERROR_SUCCESS) {
        Tell(Outcome::Failed, "fails", keyText, detail, (DWORD)rc);
    } else if (!before.there) {
        Tell(Outcome::Made, "set", keyText, detail);
    } else if (before.type == type && strcmp(before.shown, shown) == 0) {
        Tell(Outcome::Kept, "same", keyText, detail);
    } else {
        size_t n = strlen(detail);
        FormatBounded(detail + n, sizeof detail - n, " (was \"%s\")", before.shown);
        Tell(Outcome::Replaced, "replace", keyText, detail);
    }
    return rc;
}

// What is below name (values, subkeys and theirs); false when it cannot be opened.
bool CountTree(HKEY parent, const char* name, int depth, unsigned long* keys, unsigned long* values) {
    RegKey key;
    if (!key.Open(parent, name, KEY_READ)) return false;
    char found[kPathSize];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof found;
        LONG rc = key.ValueName(i, found, &size);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
        ++*values;
    }
    for (DWORD i = 0; depth < kCountDepth; ++i) {
        LONG rc = key.SubkeyName(i, found, sizeof found);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
        ++*keys;
        if (rc == ERROR_SUCCESS) CountTree(key.get(), found, depth + 1, keys, values);
    }
    return true;
}

}  // namespace

void KeyText(RootKind root, const char* path, char* out, size_t cap) {
    CopyBounded(out, cap, RootNameOf(root));
    if (path && path[0]) ChildKeyText(out, path, out, cap);
}

void ChildKeyText(const char* keyText, const char* child, char* out, size_t cap) {
    if (out != keyText) CopyBounded(out, cap, keyText);
    if (out[0]) AppendBounded(out, cap, "\\");
    AppendBounded(out, cap, child);
}

void TellNewKey(const char* keyText) { Tell(Outcome::Made, "new-key", keyText); }

LONG WriteTextTold(HKEY key, const char* keyText, const char* valueName, const char* text) {
    return WriteTold(key, keyText, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text), (DWORD)strlen(text) + 1,
                     text);
}

LONG WriteNumberTold(HKEY key, const char* keyText, const char* valueName, DWORD value) {
    char shown[16];
    FormatBounded(shown, sizeof shown, "%lu", value);
    return WriteTold(key, keyText, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value, shown);
}

LONG DeleteValueTold(HKEY key, const char* keyText, const char* valueName, bool withData) {
    Before before;
    if (withData) ReadBefore(key, valueName, &before);
    LONG rc = M().DeleteValue(key, valueName);
    if (rc == ERROR_FILE_NOT_FOUND) return rc;
    char detail[kDetailSize];
    const char* name = valueName ? valueName : "";
    if (before.there)
        FormatBounded(detail, sizeof detail, "\"%s\" = \"%s\"", name, before.shown);
    else
        FormatBounded(detail, sizeof detail, "\"%s\"", name);
    if (rc == ERROR_SUCCESS)
        Tell(Outcome::Removed, "remove-value", keyText, detail);
    else
        Tell(Outcome::Failed, "fails", keyText, detail, (DWORD)rc);
    return rc;
}

bool DeleteKeyTreeTold(HKEY parent, const char* name, const char* keyText) {
    if (!name || !name[0]) return DeleteKeyTree(parent, name);  // refused there: "" is the parent
    unsigned long keys = 0, values = 0;
    const bool there = CountTree(parent, name, 0, &keys, &values);
    if (DeleteKeyTree(parent, name)) {
        char detail[96] = "";
        if (keys || values)
            FormatBounded(detail, sizeof detail, "(with %lu %s and %lu %s in it)", keys, keys == 1 ? "key" : "keys",
                          values, values == 1 ? "value" : "values");
        Tell(Outcome::Removed, "remove-key", keyText, detail);
        return true;
    }
    if (there) Tell(Outcome::Failed, "fails", keyText, "(the key could not be removed whole)");
    return false;
}

bool DeleteKeyIfEmptyTold(HKEY parent, const char* name, const char* keyText, const char* detail) {
    if (!DeleteKeyIfEmpty(parent, name)) return false;
    Tell(Outcome::Removed, "remove-key", keyText, detail);
    return true;
}
