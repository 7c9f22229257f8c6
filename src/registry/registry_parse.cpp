#include "registry/registry_parse.h"
#include <string.h>
#include <initializer_list>
#include "base/text.h"

char* SplitAtFirstBackslash(char* text) {
    char* bs = FindFirstChar(text, '\\');
    if (!bs) return nullptr;
    *bs = 0;
    return bs + 1;
}

char* SplitAtLastBackslash(char* text) {
    char* bs = FindLastChar(text, '\\');
    if (!bs) return nullptr;
    *bs = 0;
    return bs + 1;
}

namespace {

const struct {
    const char* name;
    RootKind kind;
} kRoots[] = {
    {"HKEY_CLASSES_ROOT", RootKind::ClassesRoot},
    {"HKEY_CURRENT_CONFIG", RootKind::CurrentConfig},
    {"HKEY_CURRENT_USER", RootKind::CurrentUser},
    {"HKEY_USERS", RootKind::Users},
    {"HKEY_PERFORMANCE_DATA", RootKind::PerformanceData},
    {"HKEY_DYN_DATA", RootKind::DynData},
};

}  // namespace

RootKind RootKindFromName(const char* name) {
    for (const auto& root : kRoots)
        if (name && EqualsAsciiNoCase(name, root.name)) return root.kind;
    return RootKind::LocalMachine;
}

const char* RootNameOf(RootKind kind) {
    for (const auto& root : kRoots)
        if (root.kind == kind) return root.name;
    return "HKEY_LOCAL_MACHINE";
}

bool RegistryFactText(RootKind root, const char* path, const char* valueName, char* out, size_t cap) {
    if (!out || cap == 0) return false;
    bool whole = CopyBounded(out, cap, RootNameOf(root));
    if (whole && path && path[0]) whole = AppendBounded(out, cap, "\\") && AppendBounded(out, cap, path);
    if (whole && valueName) whole = AppendBounded(out, cap, "\\\\") && AppendBounded(out, cap, valueName);
    if (!whole) out[0] = 0;  // a cut fact would name another key
    return whole;
}

bool SplitMakeEntry(char* entry, MakeEntryParts* parts) {
    *parts = MakeEntryParts();
    char* path = SplitAtFirstBackslash(entry);
    if (!path) return false;
    parts->root = entry;
    parts->keyPath = path;
    // The keys end at the first double backslash; the value text follows it.
    char* valueText = nullptr;
    if (*path == '\\') {
        *path = 0;
        valueText = path + 1;
    } else {
        for (char* bs = FindFirstChar(path, '\\'); bs; bs = FindFirstChar(bs + 1, '\\')) {
            if (bs[1] == '\\') {
                *bs = 0;
                valueText = bs + 2;
                break;
            }
        }
    }
    if (!valueText) return true;
    char* data = SplitAtFirstBackslash(valueText);
    if (!data) return true;  // a value name without data writes nothing
    parts->valueName = valueText;
    parts->data = data;
    return true;
}

// ---- guards ---------------------------------------------------------------------

bool IsSingleKeyName(const char* name) {
    if (!name || !name[0] || FindFirstChar(name, '\\')) return false;
    return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

bool IsProtectedSoftwareKey(const char* name) {
    static const char* const kNames[] = {"Microsoft", "Classes", "Policies", "Wow6432Node", "Clients"};
    for (const char* protectedName : kNames)
        if (name && EqualsAsciiNoCase(name, protectedName)) return true;
    return false;
}

namespace {

constexpr int kMaxComponents = 8;  // the rules look at the first few levels only

// The starts of the first components of a path, its component count and whether
// any component is empty.
struct Components {
    const char* start[kMaxComponents] = {};
    size_t length[kMaxComponents] = {};
    int count = 0;
    bool anyEmpty = false;
};

Components ComponentsOf(const char* path) {
    Components c;
    const char* p = path;
    for (;;) {
        const char* bs = FindFirstChar(p, '\\');
        size_t n = bs ? (size_t)(bs - p) : strlen(p);
        if (n == 0) c.anyEmpty = true;
        if (c.count < kMaxComponents) {
            c.start[c.count] = p;
            c.length[c.count] = n;
        }
        ++c.count;
        if (!bs) break;
        p = bs + 1;
    }
    return c;
}

bool ComponentIs(const Components& c, int i, const char* name) {
    if (i >= c.count || i >= kMaxComponents || strlen(name) != c.length[i]) return false;
    return StartsWithAsciiNoCase(c.start[i], name);
}

// Whether component i names one of the system's file types (or extensions).
bool IsSystemTypeComponent(const Components& c, int i) {
    char name[260];
    if (i >= c.count || i >= kMaxComponents || c.length[i] >= sizeof name) return false;
    memcpy(name, c.start[i], c.length[i]);
    name[c.length[i]] = 0;
    return IsSystemFileType(name) || IsRefusedExtension(name);
}

bool EndsWithAsciiNoCase(const char* text, size_t length, const char* suffix) {
    size_t n = strlen(suffix);
    return length >= n && StartsWithAsciiNoCase(text + (length - n), suffix);
}

}  // namespace

KeyProtection ProtectionOf(RootKind root, const char* path) {
    if (!path || !path[0]) return KeyProtection::Structural;
    Components c = ComponentsOf(path);
    if (c.anyEmpty) return KeyProtection::Structural;
    if (root == RootKind::ClassesRoot && IsSystemTypeComponent(c, 0)) return KeyProtection::System;
    int base = 0;  // index of the hive's first level
    if (root == RootKind::Users) {
        // A user's hive and the keys directly below it are that user's roots.
        if (c.count <= 2) return KeyProtection::System;
        base = 1;
        // The hive <user>_Classes is that user's part of the classes root.
        if (EndsWithAsciiNoCase(c.start[0], c.length[0], "_Classes") && IsSystemTypeComponent(c, 1))
            return KeyProtection::System;
    } else if (c.count < 2) {
        return KeyProtection::Structural;
    }
    bool hive = root == RootKind::CurrentUser || root == RootKind::LocalMachine || root == RootKind::Users ||
                root == RootKind::CurrentConfig;
    if (!hive) return KeyProtection::None;
    if (ComponentIs(c, base, "SYSTEM")) return KeyProtection::System;
    if (ComponentIs(c, base, "SOFTWARE")) {
        int first = base + 1;
        if (c.count > first + 1 && ComponentIs(c, first, "Wow6432Node")) ++first;
        // The system's settings, every program's file types and the policies, all the way down.
        for (const char* area : {"Microsoft", "Classes", "Policies"})
            if (ComponentIs(c, first, area)) return KeyProtection::System;
        // The 32-bit view and the registered clients themselves; their subkeys are programs'.
        if (c.count == first + 1 && IsProtectedSoftwareKey(c.start[first])) return KeyProtection::System;
    }
    return KeyProtection::None;
}

char* UninstallCommandProgram(char* command) {
    if (!command) return nullptr;
    if (command[0] == '"') {
        char* close = FindFirstChar(command + 1, '"');
        if (!close) return nullptr;
        *close = 0;
        return command[1] ? command + 1 : nullptr;
    }
    static const char kArgument[] = " uninstall";
    size_t n = strlen(command), a = sizeof kArgument - 1;
    // A blank is never the trail byte of a double-byte character: the suffix is found as it is.
    if (n >= a && EqualsAsciiNoCase(command + (n - a), kArgument)) command[n - a] = 0;
    return command[0] ? command : nullptr;
}

bool MayRemoveSettingsKeys(const char* company, const char* product) {
    if (!IsSingleKeyName(company) || IsProtectedSoftwareKey(company)) return false;
    return !product || !product[0] || IsSingleKeyName(product);
}

bool IsSystemFileType(const char* name) {
    // Besides the shell's own types, every type the system runs as a program or script:
    // a verb or icon there changes what starting such a file does.
    static const char* const kTypes[] = {
        "txtfile",  "Directory", "*",          "Folder",  "exefile", "CLSID",   "Drive",   "AllFilesystemObjects",
        "batfile",  "cmdfile",   "comfile",    "lnkfile", "Unknown", "piffile", "scrfile", "Msi.Package",
        "Msi.Patch", "regfile",  "VBSFile",    "VBEFile", "JSFile",  "JSEFile", "WSFFile", "WSHFile",
        "htafile",  "cplfile",   "mscfile",    "Microsoft.PowerShellScript.1"};
    for (const char* type : kTypes)
        if (name && EqualsAsciiNoCase(name, type)) return true;
    return false;
}

bool IsRefusedExtension(const char* ext) {
    static const char* const kExtensions[] = {".exe", ".com", ".bat", ".cmd", ".lnk", ".pif", ".scr",
                                              ".msi", ".msp", ".reg", ".vbs", ".vbe", ".js",  ".jse",
                                              ".wsf", ".wsh", ".ps1", ".hta", ".cpl", ".msc"};
    for (const char* refused : kExtensions)
        if (ext && EqualsAsciiNoCase(ext, refused)) return true;
    return false;
}

bool IsRefusedFileType(const char* kind) {
    return !kind || !kind[0] || kind[0] == '.' || IsSystemFileType(kind);
}

// ---- association commands -------------------------------------------------------

void SplitAssociationCommand(char* command, CommandParts* parts) {
    *parts = CommandParts();
    parts->arguments = "";
    parts->quoted = command[0] == '"';
    if (parts->quoted) {
        parts->program = command + 1;
        char* close = FindFirstChar(parts->program, '"');
        if (close) {
            *close = 0;
            parts->arguments = close + 1;
        }
        return;
    }
    parts->program = command;
    for (char* p = command; *p; p += IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1) {
        if (*p == ' ' || *p == '\t') {
            *p = 0;
            parts->arguments = p + 1;
            return;
        }
    }
}

bool BuildAssociationCommand(bool quoted, const char* program, const char* arguments, char* out, size_t cap) {
    if (!out || cap == 0) return false;
    out[0] = 0;
    // Unquoted, a blank in the program would make the system try each part of it as a
    // program of its own (C:\Program.exe for C:\Program Files\...). No trail byte is a
    // blank, so any blank byte counts, even one after a broken lead byte.
    bool wrap = quoted || strchr(program, ' ') || strchr(program, '\t');
    bool whole = wrap ? AppendBounded(out, cap, "\"") && AppendBounded(out, cap, program) &&
                            AppendBounded(out, cap, "\"")
                      : AppendBounded(out, cap, program);
    // An unquoted command keeps the one blank after its program; a quoted one its own.
    if (!quoted) whole = whole && AppendBounded(out, cap, " ");
    whole = whole && AppendBounded(out, cap, arguments ? arguments : "");
    if (!whole) out[0] = 0;
    return whole;
}
