// Bounded string helpers and multibyte-aware searches over ANSI text.
//
// Pure code: it needs no Windows header, so the parsers built on it can be compiled
// and fuzzed on any host. The one platform question, whether a byte starts a
// double-byte character, is IsLeadByte: the system's ANSI code page in the program
// (base/codepage.cpp), a fixed Shift-JIS table in host builds.
#pragma once
#include <stddef.h>

// Whether c is the first byte of a double-byte character.
bool IsLeadByte(unsigned char c);

// Copies src into dst (capacity cap bytes, terminator included), cutting what
// does not fit. Returns false when the text had to be cut.
bool CopyBounded(char* dst, size_t cap, const char* src);
// Appends src to the text in dst, cutting what does not fit; false when cut.
bool AppendBounded(char* dst, size_t cap, const char* src);
// Like AppendBounded for at most n bytes of src.
bool AppendBoundedN(char* dst, size_t cap, const char* src, size_t n);
// printf into a fixed buffer; always terminated, cut when too long.
bool FormatBounded(char* dst, size_t cap, const char* fmt, ...);

// Last / first occurrence of a single-byte character, stepping over
// double-byte characters so that a trail byte is never matched.
char* FindLastChar(const char* text, char c);
char* FindFirstChar(const char* text, char c);
inline char* FindLastBackslash(const char* text) { return FindLastChar(text, '\\'); }

// The part after the last backslash (the whole text when there is none).
const char* LastComponent(const char* path);

// Case-insensitive prefix test by byte length, as lstrcmpiA compares (base/codepage.cpp).
bool StartsWithNoCase(const char* text, const char* prefix);
// Case-insensitive test whether text ends with suffix (base/codepage.cpp).
bool EndsWithNoCase(const char* text, const char* suffix);
// Case-insensitive comparison of ASCII letters only; other bytes must be equal.
bool EqualsAsciiNoCase(const char* a, const char* b);
bool StartsWithAsciiNoCase(const char* text, const char* prefix);

// Appends to a text in a fixed buffer without measuring what it holds each time, so a
// long list is built in time proportional to its length; cuts like AppendBounded.
class BoundedWriter {
public:
    BoundedWriter(char* buffer, size_t cap);
    bool Append(const char* text);  // false when cut
    size_t length() const { return length_; }

private:
    char* buffer_;
    size_t cap_, length_;
};

// Decimal formatting of an integer.
void FormatInt(char* dst, size_t cap, int value);
