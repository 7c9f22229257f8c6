// The %name% tokens of a text such as a command line, apart from the folders they name.
#pragma once
#include <stddef.h>

// Writes the folder a token names into out (cap bytes); false leaves the token as written.
typedef bool (*TokenFolderLookup)(void* context, const char* name, char* out, size_t cap);

// text with each "%name%" replaced by its folder, into out (cap bytes): an unknown name
// and an unclosed "%" stay as written; no separator is added after a folder. The "%" is
// found as a character, never as the trail byte of a double-byte one. False when cut.
bool ExpandTokensInText(const char* text, char* out, size_t cap, TokenFolderLookup lookup, void* context);
