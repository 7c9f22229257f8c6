// The numbered keys of a profile section's text, apart from the profile calls: the
// lines "key=value", each zero-terminated, the list ended by an empty line.
#pragma once
#include <stddef.h>

// Rewrites the lines in place as "key=value" with the blanks (spaces and tabs) around the
// key and around the value dropped; a line left empty goes, since it would end the list.
// Wine hands the lines over trimmed, a native system as they are written. Returns the
// length of the lines kept, each with its terminator (the final empty line not counted).
size_t TrimSectionLines(char* lines);
// The key's number when it is written as "%d" would write it (below 2^20), else -1.
int ListKeyNumber(const char* key, size_t len);
// Strips one pair of matching quotes around a value, in place, as the profile reads do.
char* UnquoteValue(char* value);
// The highest numbered key of the lines, or -1.
int HighestListNumber(const char* lines);
// values[n] = the first value of key n (n below count), unquoted in place; others untouched.
void IndexListValues(char* lines, const char** values, int count);
