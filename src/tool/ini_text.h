// A profile file read from its bytes, line by line, by the rules the profile calls
// follow: where each section and key stands, so that findings can name their lines.
//
// Pure code without a Windows header (it can be compiled and fuzzed on any host).
// Brackets and equals signs are found as characters, never as the trail byte of a
// double-byte character.
#pragma once
#include <stddef.h>
#include <map>
#include <string>
#include <vector>

struct IniKey {
    std::string name;   // blanks around it removed
    std::string value;  // as written, blanks around it removed
    int line;           // 1-based
};

struct IniSection {
    std::string name;  // between "[" and the last "]", blanks around it removed
    int line;
    int firstOf;       // -1 for the first section of its name, else the index of that one
    std::vector<IniKey> keys;
    std::map<std::string, size_t> first;  // folded key name -> its first key
};

// Lines the profile calls read as nothing the program can ask for.
enum class IniNoteKind {
    OutsideSection,  // a key line before the first section header
    NoEquals,        // a line in a section without "="
    OpenBracket,     // a "[" line without "]": read as a key line, not as a header
    ByteOrderMark,   // the file starts with a UTF-8 byte-order mark
};
struct IniNote {
    IniNoteKind kind;
    int line;
    std::string text;
};

struct IniFile {
    std::vector<IniSection> sections;
    std::vector<IniNote> notes;
    std::map<std::string, size_t> first;  // folded section name -> its first section

    // The section the profile calls read: the first of that name (names without case).
    const IniSection* Find(const char* section) const;
    // The key they read: the first of that name in that section; null when absent.
    const IniKey* Find(const char* section, const char* key) const;
    // The line of the key when present, else of the section header, else 0.
    int LineOf(const char* section, const char* key) const;
};

IniFile ParseIni(const char* bytes, size_t size);

// The value as a read returns it: one pair of matching quotes (double or single)
// around it dropped.
std::string ReadValue(const std::string& written);
// Whether a read drops a pair of quotes around the written value.
bool HasDroppedQuotes(const std::string& written);

// Names compared as the profile calls compare them: ASCII letters without case.
bool SameName(const std::string& a, const char* b);
// The name as SameName compares it.
std::string FoldName(const std::string& name);
