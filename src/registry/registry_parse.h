// Registry entries, key paths and association commands taken apart, and the name
// tests of the guards that keep the user's own keys out of reach of a script.
//
// Pure code without a Windows header, so that it can be compiled and fuzzed on any
// host. Backslashes are searched multibyte-aware (base/text.h): the trail byte 0x5C of
// a double-byte character is never a separator.
#pragma once
#include <stddef.h>

// Cut text at its first (last) backslash and return what follows it; null, with the
// text unchanged, when it holds none.
char* SplitAtFirstBackslash(char* text);
char* SplitAtLastBackslash(char* text);

// The predefined keys a registry entry may name. Any name outside the table,
// "HKLM" and "HKEY_LOCAL_MACHINE" included, stands for HKEY_LOCAL_MACHINE.
enum class RootKind { ClassesRoot, CurrentConfig, CurrentUser, Users, PerformanceData, DynData, LocalMachine };
RootKind RootKindFromName(const char* name);
// The full name of a root ("HKEY_LOCAL_MACHINE" for the machine), as the record's facts name it.
const char* RootNameOf(RootKind root);
// A key ("ROOT\path") or, with a value name, a value ("ROOT\path\\name") as the record's
// facts write it, the root by its full name. False, leaving out empty, when it does not fit.
bool RegistryFactText(RootKind root, const char* path, const char* valueName, char* out, size_t cap);

// A make entry "root\key\path\\value\data", split in place.
struct MakeEntryParts {
    const char* root = nullptr;
    char* keyPath = nullptr;          // single-backslash separated components; may be empty
    const char* valueName = nullptr;  // null: the entry only creates its keys; "" the default value
    const char* data = nullptr;       // may hold backslashes of its own
};
// False when the entry holds no backslash after its root name (nothing to do).
bool SplitMakeEntry(char* entry, MakeEntryParts* parts);

// ---- guards ---------------------------------------------------------------------

// A name of exactly one key: not empty, no backslash, not "." or "..".
bool IsSingleKeyName(const char* name);

// The system's own subkeys of SOFTWARE ("Microsoft", "Classes", "Policies",
// "Wow6432Node", "Clients"), compared without case.
bool IsProtectedSoftwareKey(const char* name);

// What removing the key at path (below root, components separated by single
// backslashes) would hit.
enum class KeyProtection {
    None,
    Structural,  // a root, a key directly below a root, or a path with an empty component
    // The system's own areas: everything below SOFTWARE\Microsoft, \Classes, \Policies and
    // SYSTEM (of the machine, the users and the current configuration), the keys
    // SOFTWARE\Wow6432Node and \Clients, a user's hive and the keys directly below it,
    // and the system's file types below the classes root. Never a key tree there, and
    // no key pruned, not even when empty.
    System,
};
KeyProtection ProtectionOf(RootKind root, const char* path);
// A key with everything below it may be removed only when nothing protects it.
inline bool MayRemoveKeyTree(RootKind root, const char* path) {
    return ProtectionOf(root, path) == KeyProtection::None;
}
// An emptied parent may be pruned unless the system relies on it.
inline bool MayPruneKey(RootKind root, const char* path) {
    return ProtectionOf(root, path) != KeyProtection::System;
}

// The program an "UninstallString" starts, cut in place: what the quotes hold when the
// command starts with one (null without the closing quote), else the whole command less
// a trailing " uninstall". Null for an empty program.
char* UninstallCommandProgram(char* command);

// Whether the uninstall may remove SOFTWARE\company\product (product may be empty:
// SOFTWARE\company with all below it) under the current user and the machine.
bool MayRemoveSettingsKeys(const char* company, const char* product);

// The system's own file types: text files, folders, drives, every file, the class
// identifiers, and the types the system starts as programs or scripts (exefile,
// Msi.Package, VBSFile, ...). No association takes one of them, as type or as
// extension, nor adds a verb to one, nor takes an extension away from one.
bool IsSystemFileType(const char* name);
// The extensions of programs, scripts and links (.exe, .bat, .lnk, .msi, .reg, .js,
// .ps1, ...): never an association's, whatever type they belong to.
bool IsRefusedExtension(const char* ext);
// A "Kind" no association entry may claim as its own: empty, a system type, or an
// extension (a name starting with a dot).
bool IsRefusedFileType(const char* kind);

// ---- association commands -------------------------------------------------------

// "Command" of an association split in place into its program and arguments.
// Quoted: the program runs to the next double quote (to the end without one) and the
// arguments are what follows that quote, their leading blank included. Unquoted: the
// program runs to the first blank or tab and the arguments follow that character.
struct CommandParts {
    bool quoted = false;
    char* program = nullptr;
    const char* arguments = nullptr;  // never null
};
void SplitAssociationCommand(char* command, CommandParts* parts);

// The command line rebuilt around the expanded program: quoted, or followed by one
// blank even without arguments (and then quoted too when the program holds a blank or
// a tab). False, leaving out empty, when it does not fit in cap.
bool BuildAssociationCommand(bool quoted, const char* program, const char* arguments, char* out, size_t cap);
