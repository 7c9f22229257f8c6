// The numbered keys of a profile section's text, apart from the profile calls: the
// lines "key=value", each zero-terminated, the list ended by an empty line.
#pragma once
#include <stddef.h>

// The key's number when it is written as "%d" would write it (below 2^20), else -1.
int ListKeyNumber(const char* key, size_t len);
// Strips one pair of matching quotes around a value, in place, as the profile reads do.
char* UnquoteValue(char* value);
// The highest numbered key of the lines, or -1.
int HighestListNumber(const char* lines);
// values[n] = the first value of key n (n below count), unquoted in place; others untouched.
void IndexListValues(char* lines, const char** values, int count);
