// Access to the setup script (a profile file) and the message language.
#pragma once
#include <windows.h>
#include <stddef.h>
#include "script/vocabulary.h"  // the buffer sizes

static_assert(kPathSize == MAX_PATH, "a path buffer holds what the system calls return");

// Reads a text value with "" as default; returns the length read, 0 = absent.
DWORD ReadText(const char* section, const char* key, char* buf, size_t cap, const char* path);
// Reads the leading decimal number of a value.
int ReadNumber(const char* section, const char* key, int fallback, const char* path);
// Writes a value as text; null text clears it to "" (the key stays, read as absent).
void WriteText(const char* section, const char* key, const char* text, const char* path);
void WriteNumber(const char* section, const char* key, int value, const char* path);
// Flushes the platform's profile cache for this file.
void FlushScript(const char* path);

// The Japanese member of a message pair on OEM code page 932, else the English one.
bool UseJapanese();
const char* Msg(const char* english, const char* japanese);

// ---- the numbered-list shapes --------------------------------------------------
// Each visitor receives the index and the value; returning false stops the walk.

// Keys first, first+1, ... of one section, up to the first missing or empty key.
template <typename Visit>
int ForEachNumberedKey(const char* path, const char* section, int first, Visit visit,
                       size_t cap = kValueSize);
// Keys "0" .. Count-1 of a counted list; missing keys are skipped. Reverse walks down.
template <typename Visit>
void ForEachCountedKey(const char* path, const char* section, bool reverse, Visit visit);
// Sections made from a format such as "Menu%d", from 0 up to the first whose key is absent.
template <typename Visit>
int ForEachNumberedSection(const char* path, const char* format, const char* key, Visit visit);
// Keys prefix0, prefix1, ... of one section (values up to cap bytes).
template <typename Visit>
int ForEachPrefixedKey(const char* path, const char* section, const char* prefix, size_t cap,
                       Visit visit);

int ReadCount(const char* section, const char* path);

// ---- implementation of the templates ------------------------------------------
#include "base/handles.h"
#include "script/section.h"
#include "base/text.h"

template <typename Visit>
int ForEachNumberedKey(const char* path, const char* section, int first, Visit visit, size_t cap) {
    HeapBuffer value(cap);
    if (!value) return 0;
    SectionIndex list(section, path);
    int visited = 0;
    for (int i = first;; ++i) {
        const char* text = list.Get(i);
        if (!text) break;
        CopyBounded(value.data(), cap, text);  // as a read into cap bytes would cut it
        ++visited;
        if (!visit(i, value.data())) break;
    }
    return visited;
}

template <typename Visit>
void ForEachCountedKey(const char* path, const char* section, bool reverse, Visit visit) {
    int count = ReadCount(section, path);
    if (count <= 0) return;
    SectionIndex list(section, path);
    if (count > list.Size()) count = list.Size();  // a hostile Count of 2^31 walks nothing more
    char value[kValueSize];
    for (int n = 0; n < count; ++n) {
        int i = reverse ? count - 1 - n : n;
        const char* text = list.Get(i);
        if (!text) continue;
        CopyBounded(value, sizeof value, text);
        if (!visit(i, value)) break;
    }
}

template <typename Visit>
int ForEachNumberedSection(const char* path, const char* format, const char* key, Visit visit) {
    int visited = 0;
    char value[kValueSize];
    for (int i = 0;; ++i) {
        char section[64];
        FormatBounded(section, sizeof section, format, i);
        if (!ReadText(section, key, value, sizeof value, path)) break;
        ++visited;
        if (!visit(i, section, value)) break;
    }
    return visited;
}

template <typename Visit>
int ForEachPrefixedKey(const char* path, const char* section, const char* prefix, size_t cap,
                       Visit visit) {
    HeapBuffer value(cap);
    if (!value) return 0;
    int visited = 0;
    for (int i = 0;; ++i) {
        char key[64];
        FormatBounded(key, sizeof key, "%s%d", prefix, i);
        if (!ReadText(section, key, value.data(), cap, path)) break;
        ++visited;
        if (!visit(i, value.data())) break;
    }
    return visited;
}
