// Registry entries, the uninstall registration and file associations.
#pragma once
#include <windows.h>

// [Reg] "Make0", "Make1", ... (make) or "Erase0", "Erase1", ... of the script.
void ApplyRegistryEntries(const char* scriptPath, bool make);
// One entry each, cut in place while it is parsed; [Root] "Named" of the run's script
// is the install folder of the data.
void MakeRegistryEntry(char* entry);
// The text a make entry writes for its data: the data expanded as a file name against
// the install folder (program lookup on), or the data itself when that comes out empty
// (260 bytes). False when the expansion had to be cut: then nothing is written.
bool RegistryDataText(const char* data, const char* installFolder, char* out);
void EraseRegistryEntry(char* entry);

// The product's key under ...\CurrentVersion\Uninstall, and its removal together
// with the settings keys SOFTWARE\<[Registry] Company>\<[Registry] Name>.
void RegisterUninstall();
void RemoveProductKeys();
// The values of the product's key keyName ([Root] "Name") under ...\Uninstall as the
// install writes them, for the install folder given. False when keyName cannot name a
// key (nothing is then registered). Empty texts are values the key does not get.
struct ProductRegistration {
    char keyName[260];
    char displayName[260];
    char command[260];    // "UninstallString"
    char location[260];   // "InstallLocation"
    char icon[260];       // "DisplayIcon"
    char publisher[260];
    char version[260];    // "DisplayVersion"
    bool sizeKnown;       // "EstimatedSize": only for a script that records files
    DWORD sizeKiB;
};
bool ReadProductRegistration(const char* script, const char* keyName, const char* installFolder,
                             ProductRegistration* values);
// The settings keys the uninstall removes: SOFTWARE\<company>\<name> (path and leaf) under
// both roots, then SOFTWARE\<company> when empty. False when there are none, or when
// [Registry] names keys the guards refuse.
struct SettingsKeys {
    char company[260];
    char path[260];  // the key that holds the leaf
    char leaf[260];
};
bool ReadSettingsKeys(const char* script, SettingsKeys* keys);
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
// Whether the type key still carries the name an entry gave it (then the uninstall
// removes it whole). Reads only.
bool OwnsFileType(const char* kind);
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
