#include "script/section_parse.h"
#include <string.h>

namespace {
constexpr int kMaxNumber = 1 << 20;  // larger keys are no list entries anyone writes

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Moves the text from..to down to out, its blanks at both ends dropped; returns the new end.
// Blanks are never the trail byte of a double-byte character.
char* MoveTrimmed(char* out, const char* from, const char* to) {
    while (from < to && IsBlank(*from)) ++from;
    while (to > from && IsBlank(to[-1])) --to;
    memmove(out, from, (size_t)(to - from));
    return out + (to - from);
}
}  // namespace

size_t TrimSectionLines(char* lines) {
    char* out = lines;
    for (char* line = lines; *line;) {
        size_t len = strlen(line);
        char* end = line + len;
        char* eq = static_cast<char*>(memchr(line, '=', len));
        char* start = out;  // never after line: the text only shrinks
        out = MoveTrimmed(out, line, eq ? eq : end);
        if (eq) {
            *out++ = '=';
            out = MoveTrimmed(out, eq + 1, end);
        }
        if (out != start) *out++ = 0;
        line = end + 1;
    }
    *out = 0;
    return (size_t)(out - lines);
}

int ListKeyNumber(const char* key, size_t len) {
    if (len == 0 || len > 7 || (len > 1 && key[0] == '0')) return -1;
    int n = 0;
    for (size_t i = 0; i < len; ++i) {
        if (key[i] < '0' || key[i] > '9') return -1;
        n = n * 10 + (key[i] - '0');
    }
    return n < kMaxNumber ? n : -1;
}

char* UnquoteValue(char* value) {
    size_t len = strlen(value);
    if (len >= 2 && (value[0] == '"' || value[0] == '\'') && value[len - 1] == value[0]) {
        value[len - 1] = 0;
        return value + 1;
    }
    return value;
}

int HighestListNumber(const char* lines) {
    int highest = -1;
    for (const char* line = lines; *line; line += strlen(line) + 1) {
        const char* eq = strchr(line, '=');
        if (eq) {
            int n = ListKeyNumber(line, (size_t)(eq - line));
            if (n > highest) highest = n;
        }
    }
    return highest;
}

void IndexListValues(char* lines, const char** values, int count) {
    for (char* line = lines; *line;) {
        char* next = line + strlen(line) + 1;
        char* eq = strchr(line, '=');
        if (eq) {
            int n = ListKeyNumber(line, (size_t)(eq - line));
            if (n >= 0 && n < count && !values[n]) values[n] = UnquoteValue(eq + 1);
        }
        line = next;
    }
}
