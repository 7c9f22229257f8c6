// The script's vocabulary, as the program reads it: the size of every buffer a value is
// read into, its sections and keys, and the shapes of its numbered lists. Setup.exe's
// steps, SetupTool's check and the tests take them from here.
//
// Pure code without a Windows header, so that it can be tested and fuzzed on any host.
#pragma once
#include <stddef.h>

constexpr size_t kPathSize = 260;       // every path buffer (the system's MAX_PATH)
constexpr size_t kValueSize = 260;      // every ordinary text value
constexpr size_t kLongValueSize = 1040; // [Reg] and [Go2] entries, shortcut arguments and paths
constexpr size_t kNameSize = 256;       // [ExtN] "Ext", "Verb", "Verb2": a registry key name
constexpr size_t kExpandedSize = 520;   // a value once its folder tokens are expanded

// How the keys of a section form a list.
enum class ListShape {
    None,
    Numbered,   // "%d" from the first number up to the first missing or empty key
    Prefixed,   // "Make%d" and "Erase%d", each up to its first missing or empty key
    Counted,    // "Count" and "0" .. Count - 1 (written by the install)
    ByCount,    // "0" .. [Readme] "No" - 1, gaps read as empty entries
    Facts,      // "kind%d" of any kind (the record's [Created], written by the install)
};

struct KeyShape {
    const char* name;
    size_t limit;  // the most bytes a read returns (the buffer less its zero); 0 for a number
};

struct SectionShape {
    const char* name;    // for a numbered family the part before the number ("Menu")
    bool family;         // [Menu0], [Menu1], ... up to the first without its list key
    const char* listKey; // the key whose absence ends a family ("Name", "Ext")
    const KeyShape* keys;
    int keyCount;
    ListShape list;
    int firstNumber;     // of a Numbered list
    size_t listLimit;    // the most bytes of a list value
};

// The section shape of a name as the program forms it ("Menu" with "%d"), or null.
// For a family, *number receives the section's number.
const SectionShape* FindSection(const char* name, int* number);
// The shape of a named key of the section, or null.
const KeyShape* FindKey(const SectionShape& section, const char* key);
// Whether key is an entry of the section's list; *prefix (for Prefixed lists) is the
// prefix it belongs to and *number its number.
bool IsListKey(const SectionShape& section, const char* key, const char** prefix, int* number);
// The number a key or section suffix stands for when written as "%d" writes it
// (no sign, no leading zero, no blank), else -1.
int DecimalNumber(const char* text);

// Every section shape, for walks over the vocabulary.
const SectionShape* SectionShapes(int* count);
// The prefixes of Prefixed lists ("Make", "Erase").
const char* const* ListPrefixes(int* count);
