// The values of a shortcut entry turned into what the shell link takes: the show
// command, the hotkey word, and link paths built from a "Name" with backslashes.
//
// Pure code (no Windows header), so that it can be compiled and fuzzed on any host.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Show commands as the platform numbers them.
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;
constexpr int kShowMinNoActive = 7;

// "Show" 0 normal, 1 maximised, 2 minimised without focus; any other value
// opens the program normally, like an absent key.
int ShowCommandFromValue(int show);

// The hotkey word from "Short": key code in the low byte, modifiers in the high
// byte, Ctrl+Alt always among them. "\number" gives the key code itself (a number
// of 256 or more brings its own modifier bits); other text gives its first byte,
// a lower-case letter counting as its key. False (and 0) for an empty text.
bool HotkeyFromText(const char* text, uint16_t* hotkey);

// Whether a "Name" can name a link below its folder: some part that is not empty,
// no empty last part, no part made only of dots and blanks (never "..") and no
// ':' or '/', so that a link never lands outside the folder it belongs to.
bool IsUsableLinkName(const char* name);

// The number of folders the name nests its link in: its non-empty parts but the last.
int LinkFolderDepth(const char* name);

// base joined with the first `parts` non-empty parts of name (separated by single
// backslashes) into out (cap bytes). False when the result had to be cut: a cut
// path names another file and must not be used.
bool JoinNameParts(char* out, size_t cap, const char* base, const char* name, int parts);

// base joined with every part of name, then ".lnk". False when the name is not
// usable or the path does not fit in cap bytes (out is then emptied).
bool BuildLinkPath(char* out, size_t cap, const char* base, const char* name);
