#include "script/section.h"
#include <string.h>

bool ReadSection(const char* section, const char* path, GrowableText& out) {
    out.Clear();
    for (size_t cap = 32768; cap <= (256u << 20); cap *= 4) {
        if (!out.Reserve(cap)) return false;
        DWORD n = GetPrivateProfileSectionA(section, out.data(), (DWORD)cap, path);
        if (n < cap - 2) {  // cap - 2 means the section did not fit
            out.data()[n] = 0;
            out.data()[n + 1] = 0;
            out.TakeWritten(n);
            return true;
        }
    }
    return false;
}

namespace {
constexpr int kMaxNumber = 1 << 20;  // larger keys are no list entries anyone writes

// The key's number when it is written as "%d" would write it, else -1.
int KeyNumber(const char* key, size_t len) {
    if (len == 0 || len > 7 || (len > 1 && key[0] == '0')) return -1;
    int n = 0;
    for (size_t i = 0; i < len; ++i) {
        if (key[i] < '0' || key[i] > '9') return -1;
        n = n * 10 + (key[i] - '0');
    }
    return n < kMaxNumber ? n : -1;
}

// Strips one pair of matching quotes around a value, in place.
char* Unquote(char* value) {
    size_t len = strlen(value);
    if (len >= 2 && (value[0] == '"' || value[0] == '\'') && value[len - 1] == value[0]) {
        value[len - 1] = 0;
        return value + 1;
    }
    return value;
}
}  // namespace

SectionIndex::SectionIndex(const char* section, const char* path) {
    if (!ReadSection(section, path, text_) || !text_.data()) return;
    int highest = -1;
    for (char* line = text_.data(); *line; line += strlen(line) + 1) {
        const char* eq = strchr(line, '=');
        if (eq) {
            int n = KeyNumber(line, (size_t)(eq - line));
            if (n > highest) highest = n;
        }
    }
    if (highest < 0) return;
    values_ = static_cast<const char**>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (size_t)(highest + 1) * sizeof(const char*)));
    if (!values_) return;
    count_ = highest + 1;
    for (char* line = text_.data(); *line;) {
        size_t len = strlen(line);
        char* next = line + len + 1;
        char* eq = strchr(line, '=');
        if (eq) {
            int n = KeyNumber(line, (size_t)(eq - line));
            if (n >= 0 && !values_[n]) values_[n] = Unquote(eq + 1);
        }
        line = next;
    }
}

SectionIndex::~SectionIndex() {
    if (values_) HeapFree(GetProcessHeap(), 0, values_);
}

const char* SectionIndex::Get(int number) const {
    if (number < 0 || number >= count_ || !values_[number] || !values_[number][0]) return nullptr;
    return values_[number];
}
