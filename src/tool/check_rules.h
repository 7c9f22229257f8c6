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

// Where a value holds what reads like an end-of-line comment: the first ';' that
// follows a blank or a tab (npos when none). Profile files have no such comments, so it
// is part of the value. With quotesProtect a ';' between double quotes is the value's
// own (a command line's argument).
size_t EndOfLineComment(const char* value, bool quotesProtect);
// Whether a drawing line is text shown as written ("|..." or "string,..."), where a
// ';' is the author's text.
bool IsDrawTextLine(const char* line);
// The start of text cut to at most about max bytes at a character boundary, with "..."
// when something was left out.
std::string ShortText(const std::string& text, size_t max);

// The "Command" value to write for an unquoted command: the program in double quotes, a
// bare %1 quoted too, and the whole value in one more pair of quotes when it begins and
// ends with one (the profile reader drops such a pair).
std::string QuotedCommandValue(const char* program, const char* arguments);

// A file type name of the product's own to suggest: the letters and digits of the
// product's name, a dot, and those of the extension ("SampleNotes.snote"); "" when
// either gives none.
std::string OwnTypeName(const char* productName, const char* ext);
