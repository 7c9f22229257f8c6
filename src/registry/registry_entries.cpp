// [Reg] entries: values written by the install, keys and values erased by the uninstall.
#include <string.h>
#include <utility>
#include "app/run_state.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

void MakeEntry(char* entry, const char* installFolder) {
    MakeEntryParts parts;
    if (!SplitMakeEntry(entry, &parts)) return;
    HKEY root = RootKeyFromName(parts.root);
    RegKey key;  // the deepest key made so far; the root itself is never closed
    for (char* component = parts.keyPath; component && *component;) {
        char* rest = SplitAtFirstBackslash(component);
        RegKey next;
        if (!next.Create(key ? key.get() : root, component, kCreateRights)) return;
        key = std::move(next);
        component = rest;
    }
    if (!parts.valueName) return;
    char text[kPathSize];
    if (!RegistryDataText(parts.data, installFolder, text)) return;
    if (key) {
        key.SetText(parts.valueName, text);
    } else if (RegSetValueExA(root, parts.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              (DWORD)strlen(text) + 1) == ERROR_SUCCESS) {
        RegFlushKey(root);
    }
}

// After the entry's key or value went: each emptied parent from the deepest upward.
// The separator cut by each split is put back for a moment to name the whole path.
void PruneEmptyParents(RootKind kind, HKEY root, char* parentPath) {
    for (;;) {
        char* last = SplitAtLastBackslash(parentPath);
        if (!last) {
            if (MayPruneKey(kind, parentPath)) DeleteKeyIfEmpty(root, parentPath);
            return;
        }
        last[-1] = '\\';
        bool mayPrune = MayPruneKey(kind, parentPath);
        last[-1] = 0;
        RegKey parent;
        if (mayPrune && parent.Open(root, parentPath, kTreeRights) && DeleteKeyIfEmpty(parent.get(), last))
            parent.Changed();
    }
}

}  // namespace

bool RegistryDataText(const char* data, const char* installFolder, char* out) {
    // A cut expansion names another file: better no value than a wrong one.
    if (!ExpandPath(data, installFolder, out, true)) return false;
    return out[0] || CopyBounded(out, kPathSize, data);
}

void MakeRegistryEntry(char* entry) {
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, Script());
    MakeEntry(entry, installFolder);
}

void EraseRegistryEntry(char* entry) {
    char* path = SplitAtFirstBackslash(entry);
    if (!path) return;
    RootKind kind = RootKindFromName(entry);
    // Roots, keys directly below a root and the system's own keys are never erased,
    // and then neither is the value of the same name.
    if (!MayRemoveKeyTree(kind, path)) return;
    HKEY root = RootKeyOf(kind);
    bool isKey;
    {
        RegKey probe;
        isKey = probe.Open(root, path, kTreeRights);
    }
    char* name = SplitAtLastBackslash(path);
    if (!name) return;  // refused above; kept for safety
    {
        RegKey parent;
        if (parent.Open(root, path, kTreeRights)) {
            if (isKey && DeleteKeyTree(parent.get(), name)) parent.Changed();
            parent.DeleteValue(name);
        }
    }
    PruneEmptyParents(kind, root, path);
}

void ApplyRegistryEntries(const char* scriptPath, bool make) {
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, scriptPath);
    ForEachPrefixedKey(scriptPath, "Reg", make ? "Make" : "Erase", kLongValueSize, [&](int, char* entry) {
        if (make)
            MakeEntry(entry, installFolder);
        else
            EraseRegistryEntry(entry);
        return true;
    });
}
