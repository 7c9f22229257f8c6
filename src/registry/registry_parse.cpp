#include "registry/registry_parse.h"
#include <string.h>
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

RootKind RootKindFromName(const char* name) {
    static const struct {
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
    for (const auto& root : kRoots)
        if (name && EqualsAsciiNoCase(name, root.name)) return root.kind;
    return RootKind::LocalMachine;
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

// Below SOFTWARE (or its 32-bit view SOFTWARE\Wow6432Node): keys whose removal
// would take the system's own settings or the list of installed programs with it.
bool IsSystemSoftwarePath(const char* rest) {
    static const char* const kPaths[] = {
        "Microsoft\\Windows",          "Microsoft\\Windows\\CurrentVersion",
        "Microsoft\\Windows\\CurrentVersion\\Uninstall", "Microsoft\\Windows NT",
        "Microsoft\\Windows NT\\CurrentVersion",
    };
    if (IsProtectedSoftwareKey(rest)) return true;
    for (const char* path : kPaths)
        if (EqualsAsciiNoCase(rest, path)) return true;
    return false;
}

}  // namespace

KeyProtection ProtectionOf(RootKind root, const char* path) {
    if (!path || !path[0]) return KeyProtection::Structural;
    Components c = ComponentsOf(path);
    if (c.anyEmpty) return KeyProtection::Structural;
    int base = 0;  // index of the hive's first level
    if (root == RootKind::Users) {
        // A user's hive and the keys directly below it are that user's roots.
        if (c.count <= 2) return KeyProtection::System;
        base = 1;
    } else if (c.count < 2) {
        return KeyProtection::Structural;
    }
    bool userOrMachine = root == RootKind::CurrentUser || root == RootKind::LocalMachine || root == RootKind::Users;
    if (userOrMachine && ComponentIs(c, base, "SOFTWARE")) {
        int first = base + 1;
        if (c.count > first + 1 && ComponentIs(c, first, "Wow6432Node")) ++first;
        if (first < kMaxComponents) {
            if (IsSystemSoftwarePath(c.start[first])) return KeyProtection::System;
            // SOFTWARE\Classes\<name> is a key directly below HKEY_CLASSES_ROOT.
            if (c.count == first + 2 && ComponentIs(c, first, "Classes")) return KeyProtection::Structural;
        }
    }
    if (root == RootKind::LocalMachine && ComponentIs(c, 0, "SYSTEM") && c.count <= 3) return KeyProtection::System;
    return KeyProtection::None;
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
