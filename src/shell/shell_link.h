// Shortcut files: the one way a shortcut is filled and saved, and the option states
// the shortcut steps record.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string.h>
#include "script/script.h"

// A shortcut entry's values as the link gets them, read and expanded before any object
// is made.
// Cleared by the constructor, not member by member: initialisers of its buffers would
// keep a whole initialised copy of it in the program.
struct ShortcutFields {
    ShortcutFields() {
        memset(this, 0, sizeof *this);
        show = SW_SHOWNORMAL;
    }
    int show;
    char arguments[kLongValueSize];
    bool hasHotkey;
    uint16_t hotkey;
    char target[kPathSize];
    bool hasIcon;
    char icon[kPathSize];
    int iconIndex;
    char workFolder[kPathSize];
};
// Reads the entry in `section` of the script against the install folder. False when
// some value would not fit: a cut target or folder names another file, and no link is
// then made.
bool ReadShortcutFields(const char* section, const char* script, const char* installFolder, bool hotkeyAllowed,
                        ShortcutFields* fields);

// The entry in `section` as a link gets it, read against the script's [Root] "Named";
// false when a value or linkPath (kPathSize bytes) would not fit.
bool ReadLinkEntry(const char* section, const char* linkPath, const char* scriptPath, bool hotkeyAllowed,
                   ShortcutFields* fields);

// Saves a link with the fields under linkPath, through the run's machine. False when no
// link object could be made; a save that fails (no such folder) is not seen here.
bool SaveShortcut(const char* linkPath, const ShortcutFields& fields);

// Fills one shell link from the shortcut entry in `section` of the script and saves it
// under linkPath (the caller builds it and makes its folders). "Short" is used only
// when hotkeyAllowed. Returns whether the link object was created; false also when a
// value would not fit its buffer (nothing is then made).
bool WriteShortcut(const char* section, const char* linkPath, const char* scriptPath, bool hotkeyAllowed);

// How a link is told: "-> target arguments  (in working folder)", then "  (icon file,index)"
// when it has an icon of its own, into detail (cap bytes).
void DescribeShortcut(const ShortcutFields& fields, char* detail, size_t cap);

// Clears a read-only attribute and deletes the link file; 0, or the system's error of
// the deletion.
DWORD DeleteLinkFile(const char* linkPath);

// [Check] states: "2" after making when the key reads 0 or 1 (an absent key stays
// absent), "1" after removing when it reads non-zero.
void RecordOptionMade(const char* key, const char* scriptPath);
void RecordOptionRemoved(const char* key, const char* scriptPath);
