// The text rules of the removal, apart from the file system: wildcard patterns as the
// user reads them.
#pragma once

// Whether text holds "*" or "?".
bool HasWildcard(const char* text);
// Whether a long file name matches a pattern of "*" and "?", letters compared without
// case, "?" standing for one character (one or two bytes). As on the command line,
// "x.*" also matches "x" and "*." matches names without an extension.
bool MatchesPattern(const char* name, const char* pattern);
