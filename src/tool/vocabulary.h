// SetupTool's side of the script's vocabulary (script/vocabulary.h): the same lookups
// for the tool's own texts, and the nearest known name for a misspelt one.
#pragma once
#include <string>
#include "script/vocabulary.h"

inline const SectionShape* FindSection(const std::string& name, int* number) { return FindSection(name.c_str(), number); }
inline const KeyShape* FindKey(const SectionShape& section, const std::string& key) { return FindKey(section, key.c_str()); }
inline bool IsListKey(const SectionShape& section, const std::string& key, const char** prefix, int* number) {
    return IsListKey(section, key.c_str(), prefix, number);
}
inline int DecimalNumber(const std::string& text) { return DecimalNumber(text.c_str()); }

// The known name nearest to a misspelt section or key, or "" when none is near.
std::string SuggestSection(const std::string& name);
std::string SuggestKey(const SectionShape& section, const std::string& key);

// Edit distance without case (insertions, deletions, substitutions, transpositions);
// limit + 1 for anything farther than limit, told without measuring when the lengths
// alone differ by more (a name may be a line of megabytes).
int NameDistance(const std::string& a, const std::string& b, int limit);
