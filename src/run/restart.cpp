#include "run/restart.h"
#include <string.h>
#include "base/handles.h"
#include "script/paths.h"
#include "run/system.h"
#include "script/script.h"
#include "base/text.h"

bool IsDirectory(const char* path) {
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(path, &found));
    return find && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

static void ToShortForm(char* path) {
    char shortPath[1024];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (n > 0 && n < sizeof shortPath) CopyBounded(path, kPathSize, shortPath);
}

static bool WriteAll(HANDLE file, const char* bytes, size_t n) {
    DWORD written = 0;
    return WriteFile(file, bytes, (DWORD)n, &written, nullptr) && written == n;
}

bool WriteRenameInstruction(const char* iniPath, char* path, char* target) {
    ToShortForm(path);
    if (target) ToShortForm(target);
    const char* targetText = target ? target : (IsDirectory(path) ? "DIRNUL" : "NUL");
    char instruction[2 * 1024 + 16];
    FormatBounded(instruction, sizeof instruction, "%s=%s\r\n", targetText, path);

    HeapBuffer old(0);
    DWORD size = 0;
    {
        UniqueFile in(CreateFileA(iniPath, GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!in) return false;
        size = GetFileSize(in.get(), nullptr);
        if (size == INVALID_FILE_SIZE || size >= 0x7FFFFFFF) return false;
        HeapBuffer buffer((size_t)size + 1);
        if (!buffer) return false;  // leave the old file as it was rather than truncate it
        DWORD read = 0;
        if (size && (!ReadFile(in.get(), buffer.data(), size, &read, nullptr) || read != size)) return false;
        buffer.data()[read] = 0;
        size = read;
        old = static_cast<HeapBuffer&&>(buffer);
    }
    UniqueFile out(CreateFileA(iniPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    bool inSection = false, written = false, ok = true;
    const char* text = old.data();
    const char* end = text + size;
    for (const char* line = text; line < end;) {
        const char* lf = static_cast<const char*>(memchr(line, '\n', (size_t)(end - line)));
        size_t len = lf ? (size_t)(lf - line) : (size_t)(end - line);
        if (inSection && !written && len > 0 && line[0] == '[') {
            ok &= WriteAll(out.get(), instruction, strlen(instruction));
            written = true;
        }
        if (len == 9 && _strnicmp(line, "[Rename]", 8) == 0 && line[8] == '\r') inSection = true;
        if (len > 0) {
            ok &= WriteAll(out.get(), line, len);
            ok &= WriteAll(out.get(), "\n", 1);
        }
        line += len + 1;
    }
    if (!inSection) ok &= WriteAll(out.get(), "[Rename]\r\n", 10);
    if (!written) ok &= WriteAll(out.get(), instruction, strlen(instruction));
    return ok;
}

RestartRoute ReplaceAtRestart(char* path, char* target) {
    if (MoveFileExA(path, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
        return RestartRoute::DelayedMove;
    if (IsNtFamily()) return RestartRoute::None;
    char ini[kPathSize] = "";
    UINT n = GetWindowsDirectoryA(ini, sizeof ini);
    if (n == 0 || n >= sizeof ini || !AppendBounded(ini, sizeof ini, "\\WinInit.Ini")) return RestartRoute::None;
    return WriteRenameInstruction(ini, path, target) ? RestartRoute::WinInit : RestartRoute::None;
}

RestartRoute CopyViaTemporaryFile(const char* source, char* destination) {
    char folder[kPathSize];
    if (!FolderPart(destination, folder, sizeof folder)) return RestartRoute::None;
    char temporary[kPathSize];
    if (!GetTempFileNameA(folder[0] ? folder : ".", "RBT", 0, temporary)) return RestartRoute::None;
    RestartRoute route = RestartRoute::None;
    if (CopyFileA(source, temporary, FALSE)) route = ReplaceAtRestart(temporary, destination);
    // An empty or unscheduled temporary file must never replace the destination, nor stay.
    if (route == RestartRoute::None) DeleteFileA(temporary);
    return route;
}
