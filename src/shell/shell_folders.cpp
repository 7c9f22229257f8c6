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
    char named[kPathSize], name[kValueSize];
    // A value that fills the buffer may have been cut, and a cut path names another folder.
    DWORD length = ReadText("Menu", "Named", named, sizeof named, scriptPath);
    if (length >= kPathSize - 1) named[0] = 0;
    ReadText("Menu", "Name", name, sizeof name, scriptPath);
    StartMenuFolderOf(length ? named : nullptr, name, startMenu, programs);
}

void StartMenuFolderOf(const char* named, const char* menuName, char* startMenu, char* programs) {
    startMenu[0] = 0;
    programs[0] = 0;
    if (named) CopyBounded(startMenu, kPathSize, named);
    if (!ReadShellFolder("Programs", programs) || named) return;
    CopyBounded(startMenu, kPathSize, programs);
    if (menuName[0] && !JoinPath(startMenu, menuName)) startMenu[0] = 0;  // a cut path is another folder
}

bool SameFolder(const char* a, const char* b) {
    size_t lengthA = FolderLength(a), lengthB = FolderLength(b);
    return lengthA == lengthB && lengthA > 0 &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, (int)lengthA, b, (int)lengthB) == CSTR_EQUAL;
}
