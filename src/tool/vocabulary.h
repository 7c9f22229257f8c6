// The names of the setup script as the program reads them: its sections and keys, the
// shapes of its numbered lists, the buffer each value is read into, and the nearest
// known name for a misspelt one. Pure code (no Windows header).
#pragma once
#include <stddef.h>
#include <string>

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
const SectionShape* FindSection(const std::string& name, int* number);

// The shape of a named key of the section, or null.
const KeyShape* FindKey(const SectionShape& section, const std::string& key);
// Whether key is an entry of the section's list; *prefix (for Prefixed lists) is the
// prefix it belongs to and *number its number.
bool IsListKey(const SectionShape& section, const std::string& key, const char** prefix, int* number);

// The number a key or section suffix stands for when written as "%d" writes it
// (no sign, no leading zero, no blank), else -1.
int DecimalNumber(const std::string& text);

// The known name nearest to a misspelt section or key, or "" when none is near.
std::string SuggestSection(const std::string& name);
std::string SuggestKey(const SectionShape& section, const std::string& key);

// Edit distance without case (insertions, deletions, substitutions, transpositions);
// limit + 1 for anything farther than limit, told without measuring when the lengths
// alone differ by more (a name may be a line of megabytes).
int NameDistance(const std::string& a, const std::string& b, int limit);
