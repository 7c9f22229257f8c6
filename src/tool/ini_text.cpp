#include "tool/ini_text.h"
#include <string.h>
#include "base/text.h"

namespace {

// The profile calls also take ^Z (a DOS end of file) for a blank.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A; }

std::string Trimmed(const char* begin, const char* end) {
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    return std::string(begin, end);
}

// The last "]" of a line, as a character.
const char* LastCloseBracket(const std::string& line) {
    const char* close = nullptr;
    for (const char* p = line.c_str(); *p; p += IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1)
        if (*p == ']') close = p;
    return close;
}

}  // namespace

bool SameName(const std::string& a, const char* b) { return EqualsAsciiNoCase(a.c_str(), b); }

std::string FoldName(const std::string& name) {
    std::string out = name;
    for (char& c : out) c = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    return out;
}

const IniSection* IniFile::Find(const char* section) const {
    auto it = first.find(FoldName(section));
    return it == first.end() ? nullptr : &sections[it->second];
}

const IniKey* IniFile::Find(const char* section, const char* key) const {
    const IniSection* s = Find(section);
    if (!s) return nullptr;
    auto it = s->first.find(FoldName(key));
    return it == s->first.end() ? nullptr : &s->keys[it->second];
}

int IniFile::LineOf(const char* section, const char* key) const {
    if (const IniKey* k = key ? Find(section, key) : nullptr) return k->line;
    const IniSection* s = Find(section);
    return s ? s->line : 0;
}

IniFile ParseIni(const char* bytes, size_t size) {
    IniFile file;
    size_t at = 0;
    if (size >= 3 && (unsigned char)bytes[0] == 0xEF && (unsigned char)bytes[1] == 0xBB &&
        (unsigned char)bytes[2] == 0xBF) {
        file.notes.push_back({IniNoteKind::ByteOrderMark, 1, ""});
        at = 3;
    }
    int number = 0;
    while (at < size) {
        ++number;
        const char* begin = bytes + at;
        const void* lf = memchr(begin, '\n', size - at);
        const char* end = lf ? static_cast<const char*>(lf) : bytes + size;
        at = (size_t)(end - bytes) + (lf ? 1 : 0);
        // A zero byte ends the text of a line as the profile calls see it.
        const void* nul = memchr(begin, 0, (size_t)(end - begin));
        if (nul) end = static_cast<const char*>(nul);
        std::string line = Trimmed(begin, end);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (const char* close = LastCloseBracket(line)) {
                IniSection s;
                s.name = Trimmed(line.c_str() + 1, close);
                s.line = number;
                auto known = file.first.emplace(FoldName(s.name), file.sections.size());
                s.firstOf = known.second ? -1 : (int)known.first->second;
                file.sections.push_back(s);
                continue;
            }
        }
        const char* eq = FindFirstChar(line.c_str(), '=');
        if (file.sections.empty()) {
            file.notes.push_back({IniNoteKind::OutsideSection, number, line});
            continue;
        }
        if (!eq) {
            file.notes.push_back({line[0] == '[' ? IniNoteKind::OpenBracket : IniNoteKind::NoEquals, number, line});
            continue;
        }
        IniKey key;
        key.name = Trimmed(line.c_str(), eq);
        key.value = Trimmed(eq + 1, line.c_str() + line.size());
        key.line = number;
        IniSection& section = file.sections.back();
        section.first.emplace(FoldName(key.name), section.keys.size());
        section.keys.push_back(key);
    }
    return file;
}

bool HasDroppedQuotes(const std::string& written) {
    size_t n = written.size();
    return n >= 2 && (written[0] == '"' || written[0] == '\'') && written[n - 1] == written[0];
}

std::string ReadValue(const std::string& written) {
    return HasDroppedQuotes(written) ? written.substr(1, written.size() - 2) : written;
}
