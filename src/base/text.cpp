#include "base/text.h"
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// The longest prefix of at most n bytes that does not end in half a double-byte
// character: a lone lead byte would swallow the terminator or the next text's byte.
static size_t WholeCharacters(const char* text, size_t n) {
    size_t i = 0;
    while (i < n) {
        size_t step = IsLeadByte((unsigned char)text[i]) && text[i + 1] ? 2 : 1;
        if (i + step > n) break;
        i += step;
    }
    return i;
}

bool CopyBounded(char* dst, size_t cap, const char* src) {
    if (!dst || cap == 0) return false;
    dst[0] = 0;
    return AppendBounded(dst, cap, src);
}

bool AppendBoundedN(char* dst, size_t cap, const char* src, size_t n) {
    if (!dst || cap == 0) return false;
    size_t len = strnlen(dst, cap);
    if (len >= cap) {  // not terminated: terminate at the last byte
        dst[cap - 1] = 0;
        return false;
    }
    if (!src) return true;
    size_t srcLen = strnlen(src, n);
    size_t room = cap - 1 - len;
    bool fits = srcLen <= room;
    size_t take = fits ? srcLen : WholeCharacters(src, room);
    memcpy(dst + len, src, take);
    dst[len + take] = 0;
    return fits;
}

bool AppendBounded(char* dst, size_t cap, const char* src) {
    return AppendBoundedN(dst, cap, src, (size_t)-1);
}

bool FormatBounded(char* dst, size_t cap, const char* fmt, ...) {
    if (!dst || cap == 0) return false;
    va_list args;
    va_start(args, fmt);
#ifdef _WIN32
    int n = _vsnprintf(dst, cap, fmt, args);  // msvcrt's, without mingw's larger printf
#else
    int n = vsnprintf(dst, cap, fmt, args);
#endif
    va_end(args);
    dst[cap - 1] = 0;
    return n >= 0 && (size_t)n < cap;
}

// The next character: two bytes for a lead byte followed by a trail byte.
static const char* NextChar(const char* p) { return p + (IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1); }

char* FindLastChar(const char* text, char c) {
    const char* found = nullptr;
    for (const char* p = text; p && *p; p = NextChar(p)) {
        if (*p == c) found = p;
    }
    return const_cast<char*>(found);
}

char* FindFirstChar(const char* text, char c) {
    for (const char* p = text; p && *p; p = NextChar(p)) {
        if (*p == c) return const_cast<char*>(p);
    }
    return nullptr;
}

const char* LastComponent(const char* path) {
    const char* bs = FindLastBackslash(path);
    return bs ? bs + 1 : path;
}

static char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool StartsWithAsciiNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (AsciiLower(*text) != AsciiLower(*prefix)) return false;
    return true;
}

bool EqualsAsciiNoCase(const char* a, const char* b) {
    for (; *a || *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
    return true;
}

void FormatInt(char* dst, size_t cap, int value) { FormatBounded(dst, cap, "%d", value); }

BoundedWriter::BoundedWriter(char* buffer, size_t cap)
    : buffer_(buffer), cap_(cap), length_(buffer && cap ? strnlen(buffer, cap) : 0) {
    if (cap_ && length_ >= cap_) {
        length_ = cap_ - 1;
        buffer_[length_] = 0;
    }
}

bool BoundedWriter::Append(const char* text) {
    if (!buffer_ || cap_ == 0) return false;
    // Only the tail is handed to the bounded append: the text before it is not measured again.
    bool whole = AppendBounded(buffer_ + length_, cap_ - length_, text);
    length_ += strnlen(buffer_ + length_, cap_ - length_);
    return whole;
}
