#include "script/created.h"
#include <windows.h>
#include <string.h>
#include "base/text.h"
#include "script/script.h"
#include "script/section.h"

namespace {

constexpr char kRecordedKey[] = "Recorded";

// Whether the line's key is kind followed by decimal digits only.
bool IsFactKey(const char* line, size_t keyLength, const char* kind) {
    size_t n = strlen(kind);
    if (keyLength <= n || !StartsWithAsciiNoCase(line, kind)) return false;
    for (size_t i = n; i < keyLength; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

size_t KeyLength(const char* line) {
    const char* eq = strchr(line, '=');
    return eq ? (size_t)(eq - line) : strlen(line);
}

bool IsRecordedLine(const char* line) {
    size_t n = KeyLength(line);
    return n == sizeof kRecordedKey - 1 && StartsWithAsciiNoCase(line, kRecordedKey);
}

}  // namespace

CreatedFacts::CreatedFacts(const char* recordPath) {
    if (!recordPath || !recordPath[0] || !CopyBounded(path_, sizeof path_, recordPath)) {
        path_[0] = 0;
        return;
    }
    if (GetFileAttributesA(path_) == INVALID_FILE_ATTRIBUTES || ReadCount("CopiedFile", path_) == 0) return;
    source_ = Source::Older;
    if (!ReadSection(kCreatedSection, path_, lines_) || !lines_.data()) return;
    for (const char* line = lines_.data(); *line; line += strlen(line) + 1) {
        if (!IsRecordedLine(line)) continue;
        const char* eq = strchr(line, '=');
        if (eq && eq[1] && eq[1] != '0') source_ = Source::Facts;
    }
}

const char* CreatedFacts::FactValue(const char* line, const char* kind) {
    size_t n = KeyLength(line);
    if (!line[n] || !IsFactKey(line, n, kind)) return nullptr;
    return line + n + 1;
}

bool CreatedFacts::Holds(const char* kind, const char* value) const {
    bool found = false;
    ForEach(kind, [&](const char* fact) { found = found || lstrcmpiA(fact, value) == 0; });
    return found;
}

bool CreatedFacts::MayOwn(const char* kind, const char* value) const {
    switch (source_) {
    case Source::NoRecord: return false;
    case Source::Older: return true;
    case Source::Facts: return Holds(kind, value);
    }
    return false;
}

CreatedList::CreatedList(const char* kind) { CopyBounded(kind_, sizeof kind_, kind); }

void CreatedList::Add(const char* value) {
    if (!value || !value[0]) return;
    for (const char* v = values_.data(); v && *v; v += strlen(v) + 1)
        if (lstrcmpiA(v, value) == 0) return;
    if (values_.Append(value, strlen(value) + 1)) ++count_;
}

void CreatedList::Write(const char* scriptPath) const {
    GrowableText old, whole;
    ReadSection(kCreatedSection, scriptPath, old);
    for (const char* line = old.data(); line && *line; line += strlen(line) + 1) {
        if (!IsFactKey(line, KeyLength(line), kind_)) whole.Append(line, strlen(line) + 1);
    }
    int number = 0;
    for (const char* v = values_.data(); v && *v; v += strlen(v) + 1) {
        char key[48];
        FormatBounded(key, sizeof key, "%s%d=", kind_, number++);
        if (!whole.Append(key, strlen(key)) || !whole.Append(v, strlen(v) + 1)) return;  // never half a list
    }
    WritePrivateProfileSectionA(kCreatedSection, whole.data() ? whole.data() : "\0", scriptPath);
    FlushScript(scriptPath);
}

void StartCreatedFacts(const char* scriptPath) {
    static const char kFresh[] = "Recorded=1\0";
    WritePrivateProfileSectionA(kCreatedSection, kFresh, scriptPath);
    FlushScript(scriptPath);
}
