#include "script/path_rules.h"
#include "base/text.h"

bool IsRootPath(const char* path) {
    const char* p = path;
    if (p[0] && p[1] == ':') p += 2;  // a drive letter
    else if (p[0] == '\\' && p[1] == '\\') {  // \\server\share: the root is both names
        const char* server = FindFirstChar(p + 2, '\\');
        if (!server) return true;
        const char* share = FindFirstChar(server + 1, '\\');
        return !share || share[1] == 0;
    }
    while (*p == '\\' || *p == '/' || *p == '.') ++p;  // "\", ".\" and the like add nothing
    return *p == 0;
}

bool IsAbsolutePath(const char* path) {
    char c = path[0];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (letter && path[1] == ':' && path[2] == '\\') return true;
    if (path[0] != '\\' || path[1] != '\\') return false;
    const char* server = FindFirstChar(path + 2, '\\');  // both the server and the share named
    return server && server > path + 2 && server[1] && server[1] != '\\';
}

bool IsUsableInstallFolder(const char* path) { return IsAbsolutePath(path) && !IsRootPath(path); }
