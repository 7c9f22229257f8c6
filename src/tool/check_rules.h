// Rules of the script check over plain text and bytes, apart from the file system.
// Pure code (no Windows header).
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

// The first copy-list prefix character left at the start of a path once the program's
// prefixes were taken (written out of order, or twice), or 0.
char MisplacedCopyPrefix(const char* path);

// The folder token after which a name runs straight on, with no backslash between the
// folder and the name ("" when there is none). For a path (commandLine false) only a
// token at its start counts, and %root% adds its own backslash; in a command line
// (launch entries) every token counts, %root% too.
std::string TokenRunningOn(const char* text, bool commandLine);

// Why the drawing refuses a BMP file, from its first headSize bytes and its size; ""
// when it accepts it.
std::string BmpRejection(const uint8_t* head, size_t headSize, uint64_t fileSize);

// The drawing keyword nearest to a misspelt one ("" when none is near); picture pages
// also know the page buttons' keywords.
std::string SuggestDrawKeyword(const std::string& keyword, bool readmePage);
// The mode word nearest to one the drawing does not know ("" when none is near: any
// other word deliberately selects the whole-area mode).
std::string SuggestModeWord(const std::string& word);
// The registry root name nearest to one the table does not hold, its abbreviations
// included ("" when none is near, and for "HKLM" and "HKEY_LOCAL_MACHINE", which stand
// for the machine as meant).
std::string SuggestRootName(const std::string& name);
