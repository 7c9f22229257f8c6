// The platform half of base/text.h: the ANSI code page's lead bytes and its case rules.
#include <windows.h>
#include <string.h>
#include "base/text.h"

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

bool StartsWithNoCase(const char* text, const char* prefix) {
    size_t n = strlen(prefix);
    if (strlen(text) < n) return false;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text, (int)n, prefix, (int)n) ==
           CSTR_EQUAL;
}

bool EndsWithNoCase(const char* text, const char* suffix) {
    size_t t = strlen(text), n = strlen(suffix);
    if (n > t) return false;
    return lstrcmpiA(text + (t - n), suffix) == 0;
}
