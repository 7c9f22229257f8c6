// What the registry steps tell of each key and value they make, write and remove: the
// word and the detail of a plan line ("new-key", "set", "replace" with what was there,
// "same", "remove-key" with what was below it, "remove-value", "fails"). Each write and
// removal is still the step's own call; what is told is read before it, through the
// run's machine, so that a plan tells what the run would find.
#pragma once
#include <windows.h>
#include "registry/registry_parse.h"

// Room for a key as told: a root's full name and a path as long as an entry.
constexpr size_t kKeyTextSize = 1100;

// root\path as told ("HKEY_CURRENT_USER\Software\Acme"; the root alone for an empty
// path), and keyText\child. Cut when too long: these are only shown.
void KeyText(RootKind root, const char* path, char* out, size_t cap = kKeyTextSize);
void ChildKeyText(const char* keyText, const char* child, char* out, size_t cap = kKeyTextSize);

// A key the step created.
void TellNewKey(const char* keyText);

// Writes valueName of key (a REG_SZ counted with its zero, or a DWORD) and tells it:
// "set" where there was no such value, "same" where it held the same, else "replace"
// with what it held; "fails" with the error. The system's result.
LONG WriteTextTold(HKEY key, const char* keyText, const char* valueName, const char* text);
LONG WriteNumberTold(HKEY key, const char* keyText, const char* valueName, DWORD value);
// Deletes valueName of key and tells it "remove-value", with the data it held when
// withData; a value that is not there is not told.
LONG DeleteValueTold(HKEY key, const char* keyText, const char* valueName, bool withData);

// DeleteKeyTree (registry_keys.h), told "remove-key" with the keys and values it held;
// a key that was there and stays "fails".
bool DeleteKeyTreeTold(HKEY parent, const char* name, const char* keyText);
// DeleteKeyIfEmpty, told "remove-key" with detail when the key went; one that stays is
// not told (it holds something, or it was not there).
bool DeleteKeyIfEmptyTold(HKEY parent, const char* name, const char* keyText, const char* detail);
