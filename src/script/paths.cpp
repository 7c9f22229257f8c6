#include "script/paths.h"
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>
#include "base/handles.h"
#include "base/text.h"
#include "script/token_text.h"

bool JoinPath(char* folder, const char* name, size_t cap) {
    if (!folder) return false;
    if (!folder[0]) return CopyBounded(folder, cap, name);
    // The last character, not the last byte: a folder ending in a double-byte character
    // whose trail byte is 0x5C still needs its separator.
    const char* last = FindLastBackslash(folder);
    bool endsInSeparator = last && last[1] == 0;
    if (!endsInSeparator && !AppendBounded(folder, cap, "\\")) return false;
    return AppendBounded(folder, cap, name);
}

bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

namespace {

// Whether the text ends in a backslash character (a trail byte 0x5C is none).
bool EndsInBackslash(const char* text) {
    const char* last = FindLastBackslash(text);
    return last && last[1] == 0;
}

// Whether the first n bytes of text are whole characters.
bool WholeCharactersUpTo(const char* text, size_t n) {
    size_t i = 0;
    while (i < n && text[i]) i += IsLeadByte((unsigned char)text[i]) && text[i + 1] ? 2 : 1;
    return i == n;
}

}  // namespace

bool IsPathUnder(const char* fullPath, const char* fullFolder) {
    char folder[kPathSize];
    if (!CopyBounded(folder, sizeof folder, fullFolder)) return false;
    while (EndsInBackslash(folder)) folder[strlen(folder) - 1] = 0;
    size_t len = strlen(folder);
    if (len == 0 || strlen(fullPath) < len || !WholeCharactersUpTo(fullPath, len)) return false;
    return (fullPath[len] == 0 || fullPath[len] == '\\') && StartsWithNoCase(fullPath, folder);
}

bool IsInsideFolder(const char* path, const char* folder) {
    char fullPath[kPathSize], fullFolder[kPathSize];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, sizeof fullPath, fullPath, &name);
    DWORD m = GetFullPathNameA(folder, sizeof fullFolder, fullFolder, &name);
    if (n == 0 || n >= sizeof fullPath || m == 0 || m >= sizeof fullFolder) return false;
    return IsPathUnder(fullPath, fullFolder);
}

bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderPart(const char* path, char* out, size_t cap) {
    if (!out || cap == 0) return false;
    out[0] = 0;
    const char* bs = FindLastBackslash(path);
    size_t len = bs ? (size_t)(bs - path) + 1 : (path[0] && path[1] == ':' ? 2 : 0);
    return AppendBoundedN(out, cap, path, len);
}

void GetDesktopFolder(HWND owner, char* out, bool keepTrailingBackslash) {
    out[0] = 0;
    UniqueItemIdList pidl;
    if (SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, pidl.put()) != S_OK || !pidl) return;
    if (!SHGetPathFromIDListA(pidl.get(), out)) out[0] = 0;
    if (!keepTrailingBackslash && EndsInBackslash(out)) out[strlen(out) - 1] = 0;
}

bool QueryText(HKEY key, const char* valueName, char* out, size_t cap, DWORD* type) {
    if (!out || cap == 0) return false;
    out[0] = 0;
    if (cap < 2) return false;
    DWORD size = (DWORD)cap - 1, kind = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &kind, (BYTE*)out, &size) != ERROR_SUCCESS) {
        out[0] = 0;
        return false;
    }
    out[size < cap ? size : cap - 1] = 0;  // the stored value need not be terminated
    if (type) *type = kind;
    return true;
}

bool ReadProgramFilesDir(char* out) {
    out[0] = 0;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ,
                      key.put()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    if (!QueryText(key.get(), "ProgramFilesDir", out, kPathSize, &type) || type != REG_SZ) {
        out[0] = 0;
        return false;
    }
    return out[0] != 0;
}

static void SystemFolder(char* out) {
    if (!GetSystemDirectoryA(out, kPathSize)) out[0] = 0;
}

static void WindowsFolder(char* out) {
    if (!GetWindowsDirectoryA(out, kPathSize)) out[0] = 0;
}

void FindProgramOnDisk(const char* name, const char* folder, char* found) {
    found[0] = 0;
    FindExecutableA(name, folder, found);
    found[kPathSize - 1] = 0;
    if (found[0] && !PathExists(found)) found[0] = 0;
}

bool ExpandPath(const char* text, const char* installFolder, char* result, bool programLookup, ProgramFinder finder) {
    char source[kPathSize];
    bool whole = CopyBounded(source, sizeof source, text);  // text and result may share a buffer
    char out[kPathSize] = "";
    if (StartsWithNoCase(source, "%system%")) {
        SystemFolder(out);
        whole &= AppendBounded(out, sizeof out, source + 8);
    } else if (StartsWithNoCase(source, "%desktop%")) {
        GetDesktopFolder(GetDesktopWindow(), out, false);
        whole &= AppendBounded(out, sizeof out, source + 9);
    } else if (StartsWithNoCase(source, "%windows%")) {
        WindowsFolder(out);
        whole &= AppendBounded(out, sizeof out, source + 9);
    } else if (StartsWithNoCase(source, "%programs%")) {
        if (!ReadProgramFilesDir(out)) WindowsFolder(out);
        whole &= AppendBounded(out, sizeof out, source + 10);
    } else if (StartsWithNoCase(source, "%root%")) {
        CopyBounded(out, sizeof out, installFolder);
        whole &= JoinPath(out, source + 6);
    } else if (source[0] == '!') {
        whole &= CopyBounded(out, sizeof out, source + 1);
    } else if (!programLookup) {
        CopyBounded(out, sizeof out, installFolder);
        whole &= JoinPath(out, source);
    } else {
        char found[kPathSize] = "";
        (finder ? finder : FindProgramOnDisk)(source, installFolder, found);
        if (!found[0]) FindOpenCommandProgram(source, installFolder, found);
        return CopyBounded(result, kPathSize, found) && whole;
    }
    CopyBounded(result, kPathSize, out);
    return whole;
}

// Reads a key's default value as text (260 bytes); false when it cannot be read.
static bool ReadDefaultValue(HKEY root, const char* subkey, char* out) {
    out[0] = 0;
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    return QueryText(key.get(), nullptr, out, kValueSize, nullptr);
}

void FindOpenCommandProgram(const char* name, const char* installFolder, char* result) {
    const char* component = LastComponent(name);
    const char* dot = FindLastChar(component, '.');
    char extension[kPathSize];
    CopyBounded(extension, sizeof extension, dot ? dot : "");
    {
        UniqueKey key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, extension, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
            return;  // no registered type: the caller's result stays as it was
    }
    char className[kValueSize];
    char command[kValueSize];
    if (ReadDefaultValue(HKEY_CLASSES_ROOT, extension, className) && className[0]) {
        char commandKey[kPathSize];
        CopyBounded(commandKey, sizeof commandKey, className);
        JoinPath(commandKey, "shell\\open\\command");
        if (ReadDefaultValue(HKEY_CLASSES_ROOT, commandKey, command)) {
            if (command[0] == '"') {
                const char* start = command + 1;
                const char* end = FindFirstChar(start, '"');
                size_t len = end ? (size_t)(end - start) : strlen(start);
                result[0] = 0;
                AppendBoundedN(result, kPathSize, start, len);
                return;
            }
            // Unquoted: drop bytes from the end until what remains exists.
            for (size_t len = strlen(command); len > 0; --len) {
                command[len] = 0;
                // File lookups ignore trailing blanks; the program name has none.
                if (command[len - 1] != ' ' && PathExists(command)) {
                    CopyBounded(result, kPathSize, command);
                    return;
                }
            }
        }
    }
    CopyBounded(result, kPathSize, installFolder);
    JoinPath(result, name);
}

namespace {
struct TokenContext {
    const char* scriptPath;
    const char* installFolder;  // null: [Root] "Named" of the script
};

// The folder a token of ExpandFolderTokens names; false leaves the token as written.
bool TokenFolderOf(void* context, const char* name, char* folder, size_t cap) {
    if (cap < kPathSize) return false;
    if (lstrcmpiA(name, "system") == 0) {
        SystemFolder(folder);
        return true;
    }
    if (lstrcmpiA(name, "windows") == 0) {
        WindowsFolder(folder);
        return true;
    }
    if (lstrcmpiA(name, "desktop") == 0) {
        GetDesktopFolder(GetDesktopWindow(), folder, false);
        return true;
    }
    if (lstrcmpiA(name, "programs") == 0) return ReadProgramFilesDir(folder);
    if (lstrcmpiA(name, "root") == 0) {
        const TokenContext* c = static_cast<TokenContext*>(context);
        if (c->installFolder) return CopyBounded(folder, kPathSize, c->installFolder) && folder[0];
        return ReadText("Root", "Named", folder, kPathSize, c->scriptPath) != 0;
    }
    return false;
}
}  // namespace

bool ExpandFolderTokens(char* text, size_t cap, const char* scriptPath) {
    char out[kExpandedSize];
    TokenContext context{scriptPath, nullptr};
    bool whole = ExpandTokensInText(text, out, sizeof out, TokenFolderOf, &context);
    return CopyBounded(text, cap, out) && whole;
}

bool ExpandFolderTokensFor(char* text, size_t cap, const char* installFolder) {
    char out[kExpandedSize];
    TokenContext context{nullptr, installFolder};
    bool whole = ExpandTokensInText(text, out, sizeof out, TokenFolderOf, &context);
    return CopyBounded(text, cap, out) && whole;
}

void DefaultInstallFolder(const char* name, HWND owner, char* result) {
    char out[kPathSize] = "";
    const char* second = name[0] == '%' ? FindFirstChar(name + 1, '%') : nullptr;
    if (second) {
        char token[kPathSize] = "";
        AppendBoundedN(token, sizeof token, name, (size_t)(second - name));
        bool known = true;
        if (lstrcmpiA(token, "%system") == 0) {
            SystemFolder(out);
        } else if (lstrcmpiA(token, "%windows") == 0) {
            WindowsFolder(out);
        } else if (lstrcmpiA(token, "%desktop") == 0) {
            GetDesktopFolder(owner, out, true);
        } else if (lstrcmpiA(token, "%programs") == 0) {
            if (!ReadProgramFilesDir(out)) WindowsFolder(out);
        } else {
            known = false;
        }
        if (known) {
            const char* rest = second + 1;
            if (EndsInBackslash(out) && *rest == '\\') ++rest;  // no doubled separator
            AppendBounded(out, sizeof out, rest);
            CopyBounded(result, kPathSize, out);
            return;
        }
    }
    // The root of the system drive: the system folder cut after its first backslash.
    SystemFolder(out);
    char* bs = FindFirstChar(out, '\\');
    if (bs) bs[1] = 0;
    if (second) {
        // Unknown token: its closing "%" becomes a backslash.
        char renamed[kPathSize];
        CopyBounded(renamed, sizeof renamed, name);
        size_t at = (size_t)(second - name);
        if (at < strlen(renamed)) renamed[at] = '\\';  // the name may have been cut before it
        AppendBounded(out, sizeof out, renamed);
    } else {
        AppendBounded(out, sizeof out, name);
    }
    CopyBounded(result, kPathSize, out);
}
