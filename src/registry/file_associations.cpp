// File associations: an extension, its file type with icon and one verb, under
// HKEY_CLASSES_ROOT; or, for an extension that belongs to another type, a verb added
// to that type.
#include <shlobj.h>
#include <string.h>
#include <utility>
#include "app/run_state.h"
#include "base/text.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "registry/registry_parse.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

constexpr size_t kNameSize = 256;                                    // "Ext", "Verb", "Verb2"
constexpr REGSAM kExtensionRights = KEY_QUERY_VALUE | KEY_SET_VALUE;  // 3

struct Association {
    const char* script;
    const char* installFolder;
    char section[16];
    char ext[kNameSize];
    char kind[kValueSize];
    char icon[kPathSize];
    char iconNo[kValueSize];
    char verb[kNameSize];
    bool foreign = false;  // the extension belongs to another type, which replaces kind
    bool changed = false;
};

// first joined with second ("" gives a trailing backslash: the default value); false when cut.
bool MakePath(char* out, const char* first, const char* second) {
    return CopyBounded(out, kPathSize, first) && JoinPath(out, second);
}

// Whose is the extension: with "Force" another type's name is kept as "Old Name" and the
// extension taken over, else the entry adds only its second verb to that type.
void TestOwnership(Association& a, bool force) {
    char current[kValueSize];
    if (FindExtensionOwner(a.ext, a.kind, current) != ExtensionOwner::Other) return;
    if (force) {
        RegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, a.ext, kExtensionRights)) a.changed |= key.SetText("Old Name", current);
    } else {
        a.foreign = true;
        CopyBounded(a.kind, sizeof a.kind, current);
    }
}

void MakeExtension(Association& a) {
    int check = ReadNumber("Check", "Ext", 3, a.script);
    if (check == 0 || check == 1) WriteText("Check", "Ext", "2", a.script);
    char path[kPathSize];
    if (MakePath(path, a.ext, "")) a.changed |= SetClassesValue(path, a.kind) != 0;
    if (MakePath(path, a.kind, "")) a.changed |= SetClassesValue(path, a.kind) != 0;
}

void RemoveExtension(Association& a) {
    if (ReadNumber("Check", "Ext", 0, a.script) != 0) WriteText("Check", "Ext", "1", a.script);
    char path[kPathSize];
    {
        RegKey key;
        char old[kValueSize];
        if (key.Open(HKEY_CLASSES_ROOT, a.ext, kExtensionRights) &&
            QueryText(key.get(), "Old Name", old, sizeof old, nullptr)) {
            a.changed |= key.SetText(nullptr, old);
            key.Close();
            if (MakePath(path, a.ext, "Old Name")) a.changed |= DeleteClassesValue(path) != 0;
            return;
        }
    }
    if (MakePath(path, a.ext, "")) {
        DeleteClassesValueAndKeys(path);
        a.changed = true;
    }
}

void MakeIcon(Association& a) {
    char path[kPathSize], icon[kPathSize];
    if (!MakePath(path, a.kind, "DefaultIcon\\")) return;
    if (!AssociationIconValue(a.icon, a.iconNo, a.installFolder, icon)) return;
    a.changed |= SetClassesValue(path, icon) != 0;
}

void RemoveIcon(Association& a) {
    char path[kPathSize];
    if (!MakePath(path, a.kind, "DefaultIcon\\")) return;
    DeleteClassesValueAndKeys(path, !OwnsFileType(a.kind));
    a.changed = true;
}

void MakeVerb(Association& a) {
    char path[kPathSize];
    if (!MakePath(path, a.kind, "shell\\") || !AppendBounded(path, sizeof path, a.verb) ||
        !JoinPath(path, "command\\"))
        return;
    char command[kValueSize];
    if (!ReadText(a.section, "Command", command, sizeof command, a.script)) return;
    char line[kExpandedSize];
    if (!AssociationCommandLine(command, a.installFolder, line)) return;
    a.changed |= SetClassesValue(path, line) != 0;
}

// <type>\shell\<verb> with everything below it, and nothing else of the type.
void RemoveVerbOnly(Association& a) {
    char path[kPathSize];
    if (!MakePath(path, a.kind, "shell")) return;
    RegKey shell;
    if (shell.Open(HKEY_CLASSES_ROOT, path, kTreeRights) && DeleteKeyTree(shell.get(), a.verb)) {
        shell.Changed();
        a.changed = true;
    }
}

void RemoveVerb(Association& a) {
    // A type that someone renamed since is no longer this entry's to remove whole.
    if (a.foreign || !OwnsFileType(a.kind)) {
        RemoveVerbOnly(a);
        return;
    }
    a.changed |= DeleteKeyTree(HKEY_CLASSES_ROOT, a.kind);
}

void ApplyAssociation(Association& a, bool make) {
    if (!IsAcceptedAssociation(a.ext, a.kind)) return;
    TestOwnership(a, ReadNumber(a.section, "Force", 0, a.script) != 0);
    if (a.foreign) {
        ReadText(a.section, "Verb2", a.verb, sizeof a.verb, a.script);
        if (!IsSingleKeyName(a.kind)) return;  // another program's type name that no key can have
    } else {
        if (make)
            MakeExtension(a);
        else
            RemoveExtension(a);
        if (a.icon[0]) {
            if (make)
                MakeIcon(a);
            else
                RemoveIcon(a);
        }
    }
    if (!IsSingleKeyName(a.verb)) return;  // none, or a path that would reach other keys
    if (make)
        MakeVerb(a);
    else
        RemoveVerb(a);
}

}  // namespace

bool IsAcceptedAssociation(const char* ext, const char* kind) {
    return IsSingleKeyName(ext) && !IsSystemFileType(ext) && IsSingleKeyName(kind) && !IsRefusedFileType(kind);
}

ExtensionOwner FindExtensionOwner(const char* ext, const char* kind, char* current) {
    current[0] = 0;
    RegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, ext, KEY_QUERY_VALUE)) return ExtensionOwner::Free;
    // An extension without a type name belongs to no one.
    if (!QueryText(key.get(), nullptr, current, kValueSize, nullptr) || !current[0]) return ExtensionOwner::Free;
    return lstrcmpiA(current, kind) == 0 ? ExtensionOwner::Kind : ExtensionOwner::Other;
}

// The type key is ours only while it still carries the name this entry gave it.
bool OwnsFileType(const char* kind) {
    RegKey key;
    char current[kValueSize];
    return key.Open(HKEY_CLASSES_ROOT, kind, KEY_QUERY_VALUE) &&
           QueryText(key.get(), nullptr, current, sizeof current, nullptr) && strcmp(current, kind) == 0;
}

bool AssociationIconValue(const char* icon, const char* iconNo, const char* installFolder, char* out) {
    // A cut path or index would name another icon.
    if (!ExpandPath(icon, installFolder, out, true)) return false;
    return !iconNo[0] || (AppendBounded(out, kPathSize, ",") && AppendBounded(out, kPathSize, iconNo));
}

bool AssociationCommandLine(const char* command, const char* installFolder, char* out) {
    char text[kValueSize];
    if (!CopyBounded(text, sizeof text, command)) return false;
    CommandParts parts;
    SplitAssociationCommand(text, &parts);
    char program[kPathSize];
    return ExpandPath(parts.program, installFolder, program, true) &&
           BuildAssociationCommand(parts.quoted, program, parts.arguments, out, kExpandedSize);
}

int SetClassesValue(const char* path, const char* data, HKEY base) {
    char keys[kPathSize];
    if (!CopyBounded(keys, sizeof keys, path)) return 0;
    HKEY root = base ? base : HKEY_CLASSES_ROOT;
    char* valueName = SplitAtLastBackslash(keys);
    if (!valueName) {  // a value of the base key itself
        if (RegSetValueExA(root, keys, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), (DWORD)strlen(data) + 1) !=
            ERROR_SUCCESS)
            return 0;
        RegFlushKey(root);
        return 1;
    }
    RegKey key;
    for (char* component = keys; component;) {
        char* rest = SplitAtFirstBackslash(component);
        RegKey next;
        if (!next.Create(key ? key.get() : root, component, kCreateRights)) return 0;
        key = std::move(next);
        component = rest;
    }
    return key.SetText(valueName, data) ? 1 : 0;
}

int DeleteClassesValue(char* path) {
    char* name = SplitAtLastBackslash(path);
    if (!name) {
        if (RegDeleteValueA(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return 0;
        RegFlushKey(HKEY_CLASSES_ROOT);
        path[0] = 0;
        return 1;
    }
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, path, kCreateRights) && key.DeleteValue(name) ? 1 : 0;
}

int DeleteClassesKey(char* path) {
    char* rest = SplitAtFirstBackslash(path);
    if (!rest) {
        if (!path[0] || RegDeleteKeyA(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return 0;
        RegFlushKey(HKEY_CLASSES_ROOT);
        path[0] = 0;
        return 1;
    }
    if (!path[0] || !rest[0]) return 0;  // an empty name would be the parent itself
    RegKey parent;
    if (!parent.Open(HKEY_CLASSES_ROOT, path, kCreateRights) || RegDeleteKeyA(parent.get(), rest) != ERROR_SUCCESS)
        return 0;
    parent.Changed();
    return 1;
}

int DeleteClassesValueAndKeys(char* path, bool keepTopKey) {
    if (!DeleteClassesValue(path)) return 0;
    // path now names the key that held the value; its keys go from the deepest up.
    while (path[0]) {
        bool top = FindFirstChar(path, '\\') == nullptr;
        if (top && keepTopKey) return 0;
        char key[kPathSize];
        CopyBounded(key, sizeof key, path);
        if (!DeleteClassesKey(key)) return 0;
        if (top) return 1;
        SplitAtLastBackslash(path);
    }
    return 1;
}

void SetFileAssociations(HWND, bool make) {
    const char* script = Script();
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    bool changed = false;
    for (int n = 0;; ++n) {
        Association a;
        a.script = script;
        a.installFolder = installFolder;
        FormatBounded(a.section, sizeof a.section, "Ext%d", n);
        if (!ReadText(a.section, "Ext", a.ext, sizeof a.ext, script)) break;
        ReadText(a.section, "Kind", a.kind, sizeof a.kind, script);
        ReadText(a.section, "Icon", a.icon, sizeof a.icon, script);
        ReadText(a.section, "IconNo", a.iconNo, sizeof a.iconNo, script);
        ReadText(a.section, "Verb", a.verb, sizeof a.verb, script);
        ApplyAssociation(a, make);
        changed |= a.changed;
    }
    // Explorer shows the new icons and verbs without a new log-on.
    if (changed) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
