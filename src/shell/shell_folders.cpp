#include "shell/shell_folders.h"
#include <string.h>
#include "base/handles.h"
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Length without one trailing backslash (a trail byte 0x5C is not one).
size_t FolderLength(const char* path) {
    size_t length = strlen(path);
    const char* last = FindLastBackslash(path);
    return last && last == path + length - 1 && length > 1 ? length - 1 : length;
}

}  // namespace

bool ReadShellFolder(const char* valueName, char* out) {
    out[0] = 0;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return QueryText(key.get(), valueName, out, kPathSize, nullptr) && out[0];
}

void FindStartMenuFolder(const char* scriptPath, char* startMenu, char* programs) {
    startMenu[0] = 0;
    programs[0] = 0;
    // A value that fills the buffer may have been cut, and a cut path names another folder.
    DWORD named = ReadText("Menu", "Named", startMenu, kPathSize, scriptPath);
    if (named >= kPathSize - 1) startMenu[0] = 0;
    if (!ReadShellFolder("Programs", programs) || named) return;
    char name[kValueSize];
    ReadText("Menu", "Name", name, sizeof name, scriptPath);
    CopyBounded(startMenu, kPathSize, programs);
    if (name[0] && !JoinPath(startMenu, name)) startMenu[0] = 0;  // a cut path is another folder
}

bool SameFolder(const char* a, const char* b) {
    size_t lengthA = FolderLength(a), lengthB = FolderLength(b);
    return lengthA == lengthB && lengthA > 0 &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, (int)lengthA, b, (int)lengthB) == CSTR_EQUAL;
}
