// Bounded string helpers and multibyte-aware searches over ANSI text.
#pragma once
#include <windows.h>
#include <stddef.h>

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

// Case-insensitive prefix test by byte length, as lstrcmpiA compares.
bool StartsWithNoCase(const char* text, const char* prefix);
// Case-insensitive test whether text ends with suffix.
bool EndsWithNoCase(const char* text, const char* suffix);

// Decimal formatting of an integer.
void FormatInt(char* dst, size_t cap, int value);
