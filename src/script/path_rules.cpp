#include "script/path_rules.h"
#include <stdint.h>
#include <string.h>
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

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool IsName(const char* name, size_t length, const char* word) {
    size_t n = strlen(word);
    if (n != length) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(name[i]) != word[i]) return false;
    return true;
}

// One part of an address as the resolver reads it: decimal, octal after "0", hex after "0x".
bool AddressPart(const char* p, size_t n, uint64_t* value) {
    unsigned base = 10;
    if (n > 1 && p[0] == '0' && Lower(p[1]) == 'x') {
        base = 16;
        p += 2;
        n -= 2;
    } else if (n > 1 && p[0] == '0') {
        base = 8;
    }
    if (n == 0 || n > 12) return false;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        char c = Lower(p[i]);
        unsigned digit = c >= '0' && c <= '9'   ? (unsigned)(c - '0')
                         : c >= 'a' && c <= 'f' ? (unsigned)(c - 'a' + 10)
                                                : 99;
        if (digit >= base) return false;
        v = v * base + digit;
    }
    *value = v;
    return true;
}

// The first byte of an IPv4 address written as 1 to 4 parts (the last part fills the rest).
bool AddressTopByte(const char* name, size_t length, unsigned* top) {
    uint64_t parts[4];
    size_t count = 0, start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && name[i] != '.') continue;
        if (count == 4 || !AddressPart(name + start, i - start, &parts[count])) return false;
        ++count;
        start = i + 1;
    }
    uint64_t limit = count == 1 ? 0xFFFFFFFFu : 0xFFu;
    if (parts[0] > limit) return false;
    *top = (unsigned)(count == 1 ? parts[0] >> 24 : parts[0]);
    return true;
}

}  // namespace

bool IsDevicePath(const char* path) {
    if (IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3]))
        return true;
    return IsSeparator(path[0]) && path[1] == '?' && path[2] == '?' && IsSeparator(path[3]);
}

const char* UncServerName(const char* path, size_t* length) {
    if (!IsSeparator(path[0]) || !IsSeparator(path[1]) || IsDevicePath(path)) return nullptr;
    const char* server = path + 2;
    const char* end = server;
    while (*end && !IsSeparator(*end)) end += IsLeadByte((unsigned char)*end) && end[1] ? 2 : 1;
    const char* at = FindFirstChar(server, '@');
    if (at && at < end) end = at;
    *length = (size_t)(end - server);
    return server;
}

bool IsLoopbackServer(const char* name, size_t length) {
    if (length > 1 && name[length - 1] == '.') --length;  // "localhost." is "localhost"
    if (length == 1 && (name[0] == '.' || name[0] == '?')) return true;
    static const char* const kNames[] = {"localhost", "::1", "[::1]", "0:0:0:0:0:0:0:1", "0--1.ipv6-literal.net"};
    for (const char* n : kNames)
        if (IsName(name, length, n)) return true;
    unsigned top = 0;
    return AddressTopByte(name, length, &top) && top == 127;
}
