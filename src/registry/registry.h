// Registry entries, the uninstall registration and file associations.
#pragma once
#include <windows.h>
#include "registry/registry_parse.h"
#include "script/created.h"
#include "script/vocabulary.h"

// The record's facts of the registry steps (script/created.h), keys and values named as
// RegistryFactText writes them.
constexpr char kRegKeyFact[] = "RegKey";                    // a key a make entry created
constexpr char kRegValueFact[] = "RegValue";                // a value a make entry wrote
constexpr char kSettingsExistedFact[] = "SettingsExisted";  // a settings key there before the first install
constexpr char kUninstallFact[] = "Uninstall";              // the product's key name under ...\Uninstall

// [Reg] "Make0", "Make1", ... (make) or "Erase0", "Erase1", ... of the script. Making
// records the keys it created and the values it wrote in the script (keys that existed
// count as created only when the earlier install's record, Run().earlierRecord, lists
// them); erasing reads those facts from the script, the record being uninstalled.
void ApplyRegistryEntries(const char* scriptPath, bool make);
// One entry each, cut in place while it is parsed; [Root] "Named" of the run's script
// is the install folder of the data. Nothing is recorded.
void MakeRegistryEntry(char* entry);
// The text a make entry writes for its data: the data expanded as a file name against
// the install folder (program lookup on), or the data itself when that comes out empty
// (260 bytes). False when the expansion had to be cut: then nothing is written.
bool RegistryDataText(const char* data, const char* installFolder, char* out);
// With the facts of the record being uninstalled (the first form reads the run's script).
void EraseRegistryEntry(char* entry);
void EraseRegistryEntry(char* entry, const CreatedFacts& facts);
// What an erase entry may take beyond a key tree outside the system's areas: an emptied
// key is pruned only when the record proves this product created it (a record without
// facts: any key outside the system's areas), and in the system's areas only a value
// that this product's make entries wrote, and that still holds what they wrote.
bool MayPruneRegistryKey(const CreatedFacts& facts, RootKind root, const char* path);
bool MayEraseProtectedValue(const CreatedFacts& facts, RootKind root, const char* keyPath, const char* name);

// The product's key under ...\CurrentVersion\Uninstall, and its removal together
// with the settings keys SOFTWARE\<[Registry] Company>\<[Registry] Name>. The install
// first records which settings keys exist already (carried over from the earlier
// install's record on a version-up), and registers only into a key that is absent,
// empty or already this install's; the uninstall removes the key the record names, and
// only while its command still starts the Setup.exe of the record's folder.
void RegisterUninstall();
void RemoveProductKeys();
// Takes back the product's key under ...\Uninstall when it starts this install's
// uninstaller (which could not be placed: the entry would point at nothing).
void WithdrawRegistration();
// Whether command (an "UninstallString") starts the Setup.exe in installFolder, quoted
// or not, with or without " uninstall".
bool IsOwnUninstallCommand(const char* command, const char* installFolder);
// Whose the key keyName under ...\Uninstall is for an install into installFolder. Reads only.
enum class RegistrationOwner { Absent, Empty, Own, Other };
RegistrationOwner RegistrationOwnerOf(const char* keyName, const char* installFolder);
// The key name under ...\Uninstall that the uninstall of script takes away, before the
// content check: the registered name of its facts, or [Root] "Name" of an older record.
bool RecordedRegistration(const char* script, const CreatedFacts& facts, char* keyName, size_t cap);
// Whether the uninstall may remove the settings key path (below root) by the record:
// not when it was there before the product's first install.
bool MayRemoveSettingsKey(const CreatedFacts& facts, RootKind root, const char* path);
// The values of the product's key keyName ([Root] "Name") under ...\Uninstall as the
// install writes them, for the install folder given. False when keyName cannot name a
// key (nothing is then registered). Empty texts are values the key does not get.
struct ProductRegistration {
    char keyName[kValueSize];
    char displayName[kValueSize];
    char command[kPathSize];    // "UninstallString": the uninstaller in double quotes
    char quietCommand[280];  // "QuietUninstallString": the same with "uninstall /S"
    char location[kPathSize];   // "InstallLocation"
    char icon[kPathSize];       // "DisplayIcon"
    char publisher[kValueSize];
    char version[kValueSize];    // "DisplayVersion"
    bool sizeKnown;       // "EstimatedSize": only for a script that records files
    DWORD sizeKiB;
};
bool ReadProductRegistration(const char* script, const char* keyName, const char* installFolder,
                             ProductRegistration* values);
// The settings keys the uninstall removes: SOFTWARE\<company>\<name> (path and leaf) under
// both roots, then SOFTWARE\<company> when empty. False when there are none, or when
// [Registry] names keys the guards refuse.
struct SettingsKeys {
    char company[kValueSize];
    char path[kValueSize];  // the key that holds the leaf
    char leaf[kValueSize];
};
bool ReadSettingsKeys(const char* script, SettingsKeys* keys);
// The product's key (SOFTWARE\<company>\<name>, or SOFTWARE\<company>) or, with company,
// the company's key SOFTWARE\<company>. False when it does not fit.
bool SettingsKeyPath(const SettingsKeys& keys, bool company, char* out, size_t cap);
// KiB of the files recorded in [CopiedFile] of the script, rounded up.
DWORD RecordedFilesKiB(const char* scriptPath);

// [Ext0], [Ext1], ... under HKEY_CLASSES_ROOT; the owner window is not used. Makes,
// rewrites and removes only what this product created, as Run().earlierRecord lists it
// (an older record: its [Check] "Ext" and the content), and records that in the
// script's [Created] ("ExtKey", "ExtValue", "TypeKey", "VerbKey", "ShellKey").
void SetFileAssociations(HWND owner, bool make);
// Whether an association entry may touch its extension and file type at all.
bool IsAcceptedAssociation(const char* ext, const char* kind);
// Whose the extension is: free (no key, or no type name), already kind's, or another
// type's (its name in current, 260 bytes). Reads only.
enum class ExtensionOwner { Free, Kind, Other };
ExtensionOwner FindExtensionOwner(const char* ext, const char* kind, char* current);
// Whether the type key still carries the name an entry gave it: Kind, or its
// "Description" when one is given (then the uninstall removes it whole). Reads only.
bool OwnsFileType(const char* kind, const char* description = nullptr);
// The DefaultIcon value: the icon expanded against the install folder, then "," and
// the index when one is given; the verb's command line rebuilt around its expanded
// program (520 bytes). False when something had to be cut: nothing is written then.
bool AssociationIconValue(const char* icon, const char* iconNo, const char* installFolder, char* out);
bool AssociationCommandLine(const char* command, const char* installFolder, char* out);

// Paths below HKEY_CLASSES_ROOT (or base) as texts: the last component names a value
// ("" the default value, so a trailing backslash), the ones before it keys.
// Each returns 1 on success, 0 otherwise.
int SetClassesValue(const char* path, const char* data, HKEY base = nullptr);
// These cut path in place: DeleteClassesValue at its last backslash, DeleteClassesKey
// at its first; a path without one is emptied on success.
int DeleteClassesValue(char* path);
int DeleteClassesKey(char* path);
// Deletes the value, then the key that held it and its parents up to the top-level
// key, stopping at the first that cannot go. keepTopKey stops below the top-level key.
int DeleteClassesValueAndKeys(char* path, bool keepTopKey = false);
