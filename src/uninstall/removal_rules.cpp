#include "uninstall/removal_rules.h"
#include <string.h>
#include "base/text.h"

namespace {

size_t CharLength(const char* p) { return IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1; }

char Fold(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// Iterative glob with one backtracking point, which is enough for "*".
bool Glob(const char* name, const char* pattern) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
            continue;
        }
        size_t n = CharLength(name), p = CharLength(pattern);
        bool same = *pattern == '?' || (n == p && (n == 1 ? Fold(*name) == Fold(*pattern)
                                                          : memcmp(name, pattern, n) == 0));
        if (*pattern && same) {
            name += n;
            pattern += *pattern == '?' ? 1 : p;
            continue;
        }
        if (!star) return false;
        pattern = star + 1;
        resume += CharLength(resume);
        name = resume;
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

}  // namespace

bool HasWildcard(const char* text) { return strchr(text, '*') || strchr(text, '?'); }

bool MatchesPattern(const char* name, const char* pattern) {
    if (Glob(name, pattern)) return true;
    size_t len = strlen(pattern);
    char shorter[520];
    if (len < 2 || len >= sizeof shorter) return false;
    if (pattern[len - 2] == '.' && pattern[len - 1] == '*') {  // "x.*" also means "x"
        memcpy(shorter, pattern, len - 2);
        shorter[len - 2] = 0;
        return Glob(name, shorter);
    }
    if (pattern[len - 1] == '.' && !strchr(name, '.')) {  // "*." means "without an extension"
        memcpy(shorter, pattern, len - 1);
        shorter[len - 1] = 0;
        return Glob(name, shorter);
    }
    return false;
}
