// File associations: an extension, its file type with icon and one verb, under
// HKEY_CLASSES_ROOT; or, for an extension that belongs to another type, a verb added
// to that type.
//
// A script names other programs' extensions and types as easily as its own, so a name
// proves nothing. The install writes down in [Created] what it made that was not there
// (extension keys, a type name set on an extension key that existed, type keys, verb
// keys), and every later change or removal first asks that record and then checks that
// the thing still holds what this product wrote. Another program's type is never
// rewritten, and its verbs are never overwritten.
#include <string.h>
#include <utility>
#include "run/run_state.h"
#include "base/growable_text.h"
#include "base/text.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "run/machine.h"
#include "registry/registry_parse.h"
#include "registry/registry_report.h"
#include "run/report.h"
#include "script/created.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

constexpr REGSAM kExtensionRights = KEY_QUERY_VALUE | KEY_SET_VALUE;  // 3

// The kinds of facts in [Created].
constexpr char kExtKeyFact[] = "ExtKey";      // an extension key the install created
constexpr char kExtValueFact[] = "ExtValue";  // the type name set on an extension key that existed
constexpr char kTypeKeyFact[] = "TypeKey";    // a file type key the install created
constexpr char kVerbKeyFact[] = "VerbKey";    // <type>\shell\<verb> added to another program's type
constexpr char kShellKeyFact[] = "ShellKey";  // <type>\shell created for such a verb

// One kind of fact as this run finds it: what is the product's after the step.
class FactList {
public:
    explicit FactList(const char* kind) : list_(kind) {}
    void Add(const char* value) {
        if (Has(value)) return;
        list_.Add(value);
        names_.Append(value, strlen(value) + 1);
    }
    bool Has(const char* value) const {
        for (const char* v = names_.data(); v && *v; v += strlen(v) + 1)
            if (lstrcmpiA(v, value) == 0) return true;
        return false;
    }
    void Write(const char* script) const { list_.Write(script); }

private:
    CreatedList list_;
    GrowableText names_;
};

struct Step {
    explicit Step(const char* scriptPath) : script(scriptPath), earlier(Run().earlierRecord) {}
    const char* script;
    char installFolder[kPathSize] = "";
    char earlierFolder[kPathSize] = "";  // [Root] Named of the earlier record
    CreatedFacts earlier;
    bool earlierMadeThem = false;  // an older record: its association box says they were made
    bool changed = false;
    FactList extKeys{kExtKeyFact}, extValues{kExtValueFact}, typeKeys{kTypeKeyFact}, verbKeys{kVerbKeyFact},
        shellKeys{kShellKeyFact};

    // Whether the earlier install made the thing: listed in its record, or, in a record
    // kept before the facts, made at all (the caller's content check then decides).
    bool EarlierMade(const char* kind, const char* value) const {
        switch (earlier.source()) {
        case CreatedFacts::Source::NoRecord: return false;
        case CreatedFacts::Source::Older: return earlierMadeThem;
        case CreatedFacts::Source::Facts: return earlier.Holds(kind, value);
        }
        return false;
    }
    bool Claimed(const FactList& now, const char* kind, const char* value) const {
        return now.Has(value) || EarlierMade(kind, value);
    }
    // Whether the earlier record is another file than the script, whose entries then also
    // say what the earlier install wrote.
    bool EarlierIsOther() const {
        return earlier.source() != CreatedFacts::Source::NoRecord && lstrcmpiA(earlier.path(), script) != 0;
    }
};

struct Entry {
    char section[16];
    char ext[kNameSize];
    char kind[kValueSize];
    char description[kValueSize];  // the type's readable name; empty: Kind is written
    char icon[kPathSize];
    char iconNo[kValueSize];
    char verb[kNameSize];
    char verb2[kNameSize];  // read only for an extension of another type
    bool force = false;
    bool refused = false;  // its extension or type name did not fit
};

// Reads a value into a long buffer first, so that one longer than out is refused rather
// than cut: a cut type name, icon or command would name something else. out is empty
// unless the value is present and fits.
enum class Field { Absent, Fits, TooLong };
Field ReadField(const char* section, const char* key, char* out, size_t cap, const char* script) {
    char value[kLongValueSize];
    DWORD n = ReadText(section, key, value, sizeof value, script);
    out[0] = 0;
    if (!n) return Field::Absent;
    if (n >= cap) return Field::TooLong;
    CopyBounded(out, cap, value);
    return Field::Fits;
}

// first joined with second ("" gives a trailing backslash: the default value); false when cut.
bool MakePath(char* out, const char* first, const char* second) {
    return CopyBounded(out, kPathSize, first) && JoinPath(out, second);
}

// HKEY_CLASSES_ROOT\path as told.
struct ClassesText {
    explicit ClassesText(const char* path) { KeyText(RootKind::ClassesRoot, path, text); }
    ClassesText(const char* path, const char* child) {
        KeyText(RootKind::ClassesRoot, path, text);
        ChildKeyText(text, child, text);
    }
    char text[kKeyTextSize];
};

bool ClassesKeyExists(const char* path) {
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE);
}


// Whether the key's default value is the string want. A value that is no string or does
// not fit the buffer is never what this product wrote.
bool DefaultIs(const char* keyPath, const char* want) {
    RegKey key;
    char text[kExpandedSize + 1];
    DWORD type = 0;
    return key.Open(HKEY_CLASSES_ROOT, keyPath, KEY_QUERY_VALUE) &&
           key.ReadText(nullptr, text, sizeof text, &type) && type == REG_SZ && strcmp(text, want) == 0;
}

// ---- what an entry would write ------------------------------------------------------

bool EntryCommand(const char* script, const char* section, const char* installFolder, char* out) {
    char command[kValueSize];
    return ReadField(section, "Command", command, sizeof command, script) == Field::Fits &&
           AssociationCommandLine(command, installFolder, out);
}

bool EntryIcon(const char* script, const char* section, const char* installFolder, char* out) {
    char icon[kPathSize], iconNo[kValueSize];
    return ReadField(section, "Icon", icon, sizeof icon, script) == Field::Fits &&
           ReadField(section, "IconNo", iconNo, sizeof iconNo, script) != Field::TooLong &&
           AssociationIconValue(icon, iconNo, installFolder, out);
}

// Whether the default value at keyPath is what this entry writes, or what the same entry
// of the earlier record wrote (a version-up may change it).
template <typename Build>
bool HoldsEntryText(const Step& s, const Entry& e, const char* keyPath, Build build) {
    char want[kExpandedSize];
    if (build(s.script, e.section, s.installFolder, want) && DefaultIs(keyPath, want)) return true;
    return s.EarlierIsOther() && build(s.earlier.path(), e.section, s.earlierFolder, want) &&
           DefaultIs(keyPath, want);
}

// <type>\shell\<verb>\command holds the entry's command line.
bool CommandIsOurs(const Step& s, const Entry& e, const char* verbKey) {
    char path[kPathSize];
    return MakePath(path, verbKey, "command") && HoldsEntryText(s, e, path, EntryCommand);
}

bool IconIsOurs(const Step& s, const Entry& e) {
    char path[kPathSize];
    return MakePath(path, e.kind, "DefaultIcon") && HoldsEntryText(s, e, path, EntryIcon);
}

// The type still carries a name the product gives it: Kind, or the entry's description
// as this script or the earlier record words it (a version-up may reword it). Which one
// it carries decides nothing else.
bool TypeNamedByEntry(const Step& s, const Entry& e) {
    if (OwnsFileType(e.kind, e.description)) return true;
    char earlier[kValueSize];
    return s.EarlierIsOther() &&
           ReadField(e.section, "Description", earlier, sizeof earlier, s.earlier.path()) == Field::Fits &&
           OwnsFileType(e.kind, earlier);
}

// ---- the extension ------------------------------------------------------------------

enum class ExtOwner { New, NoDefault, Kind, Other };

// Cleared by the constructor: member initialisers would keep an initialised copy in the program.
struct ExtensionState {
    ExtensionState() {
        memset(this, 0, sizeof *this);
        readable = true;
    }
    ExtOwner owner;      // New when cleared
    char current[kValueSize];  // the type name it names
    bool readable;       // false: a default value that is no text of that size
    bool hasOldName;
};

// An extension key without a default value belongs to no type; one with a value that
// cannot be read as a type name belongs to someone all the same.
ExtensionState ReadExtension(const char* ext, const char* kind) {
    ExtensionState x;
    RegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, ext, KEY_QUERY_VALUE)) return x;
    x.hasOldName = key.HasValue("Old Name");
    if (!key.HasValue(nullptr)) {
        x.owner = ExtOwner::NoDefault;
        return x;
    }
    DWORD type = 0;
    if (!key.ReadText(nullptr, x.current, sizeof x.current, &type) || type != REG_SZ) {
        x.current[0] = 0;
        x.readable = false;
    }
    x.owner = x.current[0] && lstrcmpiA(x.current, kind) == 0 ? ExtOwner::Kind : ExtOwner::Other;
    return x;
}

// Whether an extension that names kind is the product's. An older record cannot tell a
// created key from another program's that named the same type, so there the type must be
// the product's too, or the extension taken over with Force.
bool ExtensionIsOurs(const Step& s, const Entry& e, const ExtensionState& x, bool typeOurs) {
    if (s.extKeys.Has(e.ext) || s.extValues.Has(e.ext)) return true;
    if (s.earlier.source() == CreatedFacts::Source::Older) return s.earlierMadeThem && (x.hasOldName || typeOurs);
    return s.EarlierMade(kExtKeyFact, e.ext) || s.EarlierMade(kExtValueFact, e.ext);
}

// The fact an extension of the product is kept under again.
void RecordExtension(Step& s, const Entry& e, const ExtensionState& x) {
    bool created = s.extKeys.Has(e.ext) || (s.earlier.source() == CreatedFacts::Source::Older
                                                ? !x.hasOldName
                                                : s.EarlierMade(kExtKeyFact, e.ext));
    (created ? s.extKeys : s.extValues).Add(e.ext);
}

void MakeExtension(Step& s, const Entry& e, const ExtensionState& x, bool typeOurs) {
    char path[kPathSize];
    RegKey key;
    const ClassesText ext(e.ext);
    switch (x.owner) {
    case ExtOwner::New:
        if (MakePath(path, e.ext, "") && SetClassesValue(path, e.kind)) {
            s.extKeys.Add(e.ext);
            s.changed = true;
        }
        return;
    case ExtOwner::NoDefault:
        // Another program's saved take-over would be given back in place of the removal.
        if (x.hasOldName) {
            Tell(Outcome::Kept, "keep", ext.text, "(it holds another program's \"Old Name\": no type is written)");
            return;
        }
        if (key.Open(HKEY_CLASSES_ROOT, e.ext, kExtensionRights) &&
            WriteTextTold(key.get(), ext.text, nullptr, e.kind) == ERROR_SUCCESS) {
            key.Changed();
            s.extValues.Add(e.ext);
            s.changed = true;
        }
        return;
    case ExtOwner::Kind:
        // Naming this type already: ours again only when the earlier install made it so.
        if (ExtensionIsOurs(s, e, x, typeOurs)) RecordExtension(s, e, x);
        return;
    case ExtOwner::Other:  // Force, accepted by the caller: the old type is kept to be given back
        if (key.Open(HKEY_CLASSES_ROOT, e.ext, kExtensionRights) &&
            WriteTextTold(key.get(), ext.text, "Old Name", x.current) == ERROR_SUCCESS) {
            key.Changed();
            if (WriteTextTold(key.get(), ext.text, nullptr, e.kind) == ERROR_SUCCESS) {
                s.extValues.Add(e.ext);
                s.changed = true;
            }
        }
        return;
    }
}

void RemoveExtension(Step& s, const Entry& e, const ExtensionState& x, bool typeOurs) {
    const ClassesText ext(e.ext);
    if (x.owner == ExtOwner::Other) {
        // Force, and a third program has taken the extension since: it stays with that
        // one; only the saved name this product wrote goes.
        if (x.hasOldName && s.EarlierMade(kExtValueFact, e.ext)) {
            RegKey key;
            if (key.Open(HKEY_CLASSES_ROOT, e.ext, kExtensionRights) &&
                DeleteValueTold(key.get(), ext.text, "Old Name", true) == ERROR_SUCCESS) {
                key.Changed();
                s.changed = true;
            }
        }
        return;
    }
    if (x.owner != ExtOwner::Kind || !ExtensionIsOurs(s, e, x, typeOurs)) return;
    bool created = s.earlier.source() == CreatedFacts::Source::Older ? !x.hasOldName
                                                                      : s.EarlierMade(kExtKeyFact, e.ext);
    bool removed = false;
    {
        RegKey key;
        if (!key.Open(HKEY_CLASSES_ROOT, e.ext, kExtensionRights)) return;
        char old[kValueSize];
        DWORD type = 0;
        if (x.hasOldName) {
            if (key.ReadText("Old Name", old, sizeof old, &type) && type == REG_SZ && key.SetText(nullptr, old)) {
                char detail[kValueSize + 16];
                FormatBounded(detail, sizeof detail, "\"\" = \"%s\"", old);
                Tell(Outcome::Replaced, "restore", ext.text, detail);
                removed = DeleteValueTold(key.get(), ext.text, "Old Name", true) == ERROR_SUCCESS;
            }
        } else {
            removed = DeleteValueTold(key.get(), ext.text, nullptr, true) == ERROR_SUCCESS;
        }
        if (removed) key.Changed();
    }
    if (!removed) {
        RecordExtension(s, e, x);
        return;
    }
    s.changed = true;
    // A key that another program has put values or keys into since stays, with those.
    if (created && !DeleteKeyIfEmptyTold(HKEY_CLASSES_ROOT, e.ext, ext.text, "") && ClassesKeyExists(e.ext))
        Tell(Outcome::Kept, "stays", ext.text, "(it holds what another program put there)");
}

// ---- the file type ------------------------------------------------------------------

// Whether the key at path holds no value but the default one and no subkeys but the
// ones named. Unreadable counts as holding more.
bool HoldsOnly(const char* path, const char* sub1, const char* sub2) {
    RegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, path, KEY_READ)) return false;
    char name[kPathSize];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG rc = key.ValueName(i, name, &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || name[0]) return false;
    }
    for (DWORD i = 0;; ++i) {
        LONG rc = key.SubkeyName(i, name, sizeof name);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return false;
        bool named = (sub1 && lstrcmpiA(name, sub1) == 0) || (sub2 && lstrcmpiA(name, sub2) == 0);
        if (!named) return false;
    }
    return true;
}

// The type holds nothing but what the entry writes: its name, DefaultIcon and the verb.
bool HoldsOnlyEntryKeys(const Entry& e) {
    char path[kPathSize], verb[kPathSize];
    if (!HoldsOnly(e.kind, "DefaultIcon", "shell")) return false;
    if (MakePath(path, e.kind, "DefaultIcon") && ClassesKeyExists(path) && !HoldsOnly(path, nullptr, nullptr))
        return false;
    if (!MakePath(path, e.kind, "shell") || !ClassesKeyExists(path)) return true;
    if (!IsSingleKeyName(e.verb) || !HoldsOnly(path, e.verb, nullptr)) return false;
    if (!MakePath(verb, path, e.verb) || !ClassesKeyExists(verb)) return true;
    return HoldsOnly(verb, "command", nullptr) && MakePath(path, verb, "command") && HoldsOnly(path, nullptr, nullptr);
}

// Whether the type key was made by the product (in this run, or by the earlier install).
// An older record says only that associations were made; an existing type then counts
// only while it holds nothing but what the entry writes.
bool TypeIsCreated(const Step& s, const Entry& e) {
    if (s.typeKeys.Has(e.kind)) return true;
    if (!s.EarlierMade(kTypeKeyFact, e.kind)) return false;
    return s.earlier.source() == CreatedFacts::Source::Facts || (TypeNamedByEntry(s, e) && HoldsOnlyEntryKeys(e));
}

void MakeVerbCommand(Step& s, const Entry& e, const char* type, const char* verb, bool* written) {
    char path[kPathSize];
    *written = false;
    if (!MakePath(path, type, "shell\\") || !AppendBounded(path, sizeof path, verb) || !JoinPath(path, "command\\"))
        return;
    char line[kExpandedSize];
    if (!EntryCommand(s.script, e.section, s.installFolder, line)) {
        char command[kValueSize];
        path[strlen(path) - 1] = 0;
        const ClassesText key(path);
        if (ReadField(e.section, "Command", command, sizeof command, s.script) == Field::Absent)
            Tell(Outcome::Told, "nothing", key.text, "(no \"Command\": the verb is not written)");
        else
            Tell(Outcome::Kept, "refused", key.text, "(the command does not fit once expanded)");
        return;
    }
    *written = SetClassesValue(path, line) != 0;
    s.changed |= *written;
}

void MakeType(Step& s, const Entry& e, bool typeOurs) {
    // Another program's type, or one this product cannot prove its own: never rewritten.
    if (!typeOurs && ClassesKeyExists(e.kind)) {
        Tell(Outcome::Kept, "keep", ClassesText(e.kind).text,
             "(another program's type: no description, icon or verb is written)");
        return;
    }
    char path[kPathSize], icon[kPathSize];
    if (!MakePath(path, e.kind, "") || !SetClassesValue(path, e.description[0] ? e.description : e.kind)) return;
    s.changed = true;
    s.typeKeys.Add(e.kind);
    if (e.icon[0] && MakePath(path, e.kind, "DefaultIcon\\")) {
        if (AssociationIconValue(e.icon, e.iconNo, s.installFolder, icon))
            s.changed |= SetClassesValue(path, icon) != 0;
        else
            Tell(Outcome::Kept, "refused", ClassesText(e.kind, "DefaultIcon").text, "(the icon does not fit once expanded)");
    }
    bool written;
    if (IsSingleKeyName(e.verb)) MakeVerbCommand(s, e, e.kind, e.verb, &written);
}

void RemoveType(Step& s, const Entry& e, bool created) {
    if (!created || !ClassesKeyExists(e.kind)) return;
    char path[kPathSize];
    const ClassesText type(e.kind);
    if (TypeNamedByEntry(s, e)) {
        if (IsSingleKeyName(e.verb)) {
            if (DeleteKeyTreeTold(HKEY_CLASSES_ROOT, e.kind, type.text))
                s.changed = true;
            else
                s.typeKeys.Add(e.kind);
            return;
        }
        // Without a verb of its own the entry takes only its icon and name; verbs that
        // other programs added keep the type.
        if (e.icon[0] && MakePath(path, e.kind, "DefaultIcon") &&
            DeleteKeyTreeTold(HKEY_CLASSES_ROOT, path, ClassesText(path).text))
            s.changed = true;
        RegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, e.kind, kCreateRights) &&
            DeleteValueTold(key.get(), type.text, nullptr, true) == ERROR_SUCCESS) {
            key.Changed();
            s.changed = true;
        }
        key.Close();
        DeleteKeyIfEmptyTold(HKEY_CLASSES_ROOT, e.kind, type.text, "(left empty)");
        return;
    }
    // Renamed since: the type is someone else's now; only the icon and the verb that
    // still hold what this product wrote go.
    if (e.icon[0] && IconIsOurs(s, e) && MakePath(path, e.kind, "DefaultIcon") &&
        DeleteKeyTreeTold(HKEY_CLASSES_ROOT, path, ClassesText(path).text))
        s.changed = true;
    if (!IsSingleKeyName(e.verb) || !MakePath(path, e.kind, "shell")) return;
    char verbKey[kPathSize];
    RegKey shell;
    if (MakePath(verbKey, path, e.verb) && CommandIsOurs(s, e, verbKey) &&
        shell.Open(HKEY_CLASSES_ROOT, path, kTreeRights) && DeleteKeyTreeTold(shell.get(), e.verb, ClassesText(verbKey).text)) {
        shell.Changed();
        s.changed = true;
    }
}

// ---- a verb added to another program's type ----------------------------------------

// Why the extension stays with the type it names, as the note of a plan says it.
void NoteForeign(const Entry& e, const char* type, const char* more) {
    char note[2 * kValueSize + kNameSize + 96];
    FormatBounded(note, sizeof note, "%s belongs to %s%s: it stays there%s", e.ext, type,
                  !e.force ? "" : IsSystemFileType(type) ? ", a system type (\"Force\" is refused)"
                                                         : " (\"Force\" is refused: its earlier type could not be given back)",
                  more);
    TellNote(note);
}

void ApplyForeignVerb(Step& s, const Entry& e, const char* type, bool make) {
    const char* verb = e.verb2;
    if (!IsSingleKeyName(verb)) {
        if (make) NoteForeign(e, type, "; without \"Verb2\" nothing is written");
        return;
    }
    char shellPath[kPathSize], verbKey[kPathSize];
    // The system's types and what cannot name one key stay out of reach, as for Kind.
    if (IsRefusedFileType(type) || !IsSingleKeyName(type)) {
        if (make) {
            NoteForeign(e, type, "");
            if (MakePath(shellPath, type, "shell") && MakePath(verbKey, shellPath, verb))
                Tell(Outcome::Kept, "refused", ClassesText(verbKey).text, "(a system type takes no verb of another program)");
        }
        return;
    }
    if (!ClassesKeyExists(type)) {  // no type to add a verb to; its name is not the product's
        if (make) NoteForeign(e, type, "; its type has no key, so no verb is added to it");
        return;
    }
    if (!MakePath(shellPath, type, "shell") || !MakePath(verbKey, shellPath, verb)) return;
    const ClassesText verbText(verbKey);
    bool verbExists = ClassesKeyExists(verbKey);
    bool ours = verbExists && s.Claimed(s.verbKeys, kVerbKeyFact, verbKey) && CommandIsOurs(s, e, verbKey);
    // An empty shell key is pruned only when the record lists it: an older one cannot say.
    bool shellOurs = s.shellKeys.Has(shellPath) ||
                     (s.earlier.source() == CreatedFacts::Source::Facts && s.earlier.Holds(kShellKeyFact, shellPath));
    if (make) {
        if (verbExists && !ours) {  // another program's verb is never overwritten
            NoteForeign(e, type, "");
            Tell(Outcome::Kept, "keep", verbText.text, "(another program's verb: it is not overwritten)");
            return;
        }
        char more[kNameSize + 48];
        FormatBounded(more, sizeof more, ", and the verb \"%s\" is added to that type", verb);
        NoteForeign(e, type, more);
        bool shellExisted = ClassesKeyExists(shellPath);
        bool written;
        MakeVerbCommand(s, e, type, verb, &written);
        if (!written) return;
        s.verbKeys.Add(verbKey);
        if (!shellExisted || shellOurs) s.shellKeys.Add(shellPath);
        return;
    }
    if (ours) {
        RegKey shell;
        if (shell.Open(HKEY_CLASSES_ROOT, shellPath, kTreeRights) && DeleteKeyTreeTold(shell.get(), verb, verbText.text)) {
            shell.Changed();
            s.changed = true;
        } else {
            s.verbKeys.Add(verbKey);
        }
    }
    if (shellOurs && !s.verbKeys.Has(verbKey)) {
        RegKey parent;
        if (parent.Open(HKEY_CLASSES_ROOT, type, kTreeRights) &&
            DeleteKeyIfEmptyTold(parent.get(), "shell", ClassesText(shellPath).text, "(left empty)"))
            s.changed = true;
        else if (ClassesKeyExists(shellPath))
            s.shellKeys.Add(shellPath);
    }
}

// ---- one entry ----------------------------------------------------------------------

void WriteOptionState(const Step& s, bool make) {
    if (make) {
        int check = ReadNumber("Check", "Ext", 3, s.script);
        if (check == 0 || check == 1) WriteText("Check", "Ext", "2", s.script);
    } else if (ReadNumber("Check", "Ext", 0, s.script) != 0) {
        WriteText("Check", "Ext", "1", s.script);
    }
}

// What becomes of the extension, as the note of a plan says it.
void NoteExtension(const Entry& e, const ExtensionState& x) {
    char note[2 * kValueSize + kNameSize + 64];
    if (x.owner == ExtOwner::Other)
        FormatBounded(note, sizeof note, "%s is taken over from %s, which is kept as \"Old Name\": its type is %s", e.ext,
                      x.current, e.kind);
    else if (x.owner == ExtOwner::Kind)
        FormatBounded(note, sizeof note, "%s already belongs to %s: its type is %s", e.ext, e.kind, e.kind);
    else
        FormatBounded(note, sizeof note, "%s is new: its type is %s", e.ext, e.kind);
    TellNote(note);
}

void ApplyAssociation(Step& s, Entry& e, bool make) {
    if (e.refused || !IsAcceptedAssociation(e.ext, e.kind)) {
        char object[kNameSize + kValueSize + 8];
        FormatBounded(object, sizeof object, "%s -> %s", e.ext, e.kind);
        Tell(Outcome::Kept, "refused", object, "(the association step refuses this extension or type)");
        return;
    }
    ExtensionState x = ReadExtension(e.ext, e.kind);
    if (x.owner == ExtOwner::Other) {
        // Force never takes an extension from a system type, nor one whose type name could
        // not be given back, nor from a program whose own take-over is still saved in the key.
        bool force = e.force && x.readable && !IsSystemFileType(x.current) &&
                     (!x.hasOldName || s.Claimed(s.extValues, kExtValueFact, e.ext));
        if (!force) {
            if (ReadField(e.section, "Verb2", e.verb2, sizeof e.verb2, s.script) == Field::Fits)
                ApplyForeignVerb(s, e, x.current, make);
            else if (make)
                NoteForeign(e, x.current, "; without \"Verb2\" nothing is written");
            // The extension may have gone to another type only after the install made
            // the product's own type: it stays the product's to remove.
            bool typeCreated = TypeIsCreated(s, e);
            if (!make)
                RemoveType(s, e, typeCreated);
            else if (typeCreated && TypeNamedByEntry(s, e))
                s.typeKeys.Add(e.kind);
            return;
        }
    }
    WriteOptionState(s, make);
    // Decided before anything changes: an older record judges the extension by its type.
    bool typeCreated = TypeIsCreated(s, e);
    bool typeOurs = typeCreated && TypeNamedByEntry(s, e);
    if (make) {
        NoteExtension(e, x);
        MakeExtension(s, e, x, typeOurs);
        MakeType(s, e, typeOurs);
    } else {
        RemoveExtension(s, e, x, typeOurs);
        RemoveType(s, e, typeCreated);
    }
}

// The entry's values; one that does not fit its buffer is refused, never cut: the whole
// entry for its extension or type, the icon or the verb for theirs.
bool ReadEntry(const char* script, int n, Entry& e) {
    FormatBounded(e.section, sizeof e.section, "Ext%d", n);
    Field ext = ReadField(e.section, "Ext", e.ext, sizeof e.ext, script);
    if (ext == Field::Absent) return false;
    e.refused = ext == Field::TooLong ||
                ReadField(e.section, "Kind", e.kind, sizeof e.kind, script) == Field::TooLong;
    bool icon = ReadField(e.section, "Icon", e.icon, sizeof e.icon, script) != Field::TooLong;
    bool iconNo = ReadField(e.section, "IconNo", e.iconNo, sizeof e.iconNo, script) != Field::TooLong;
    if (!icon || !iconNo) e.icon[0] = 0;
    ReadField(e.section, "Verb", e.verb, sizeof e.verb, script);
    // A description that does not fit is left out: the type is then named by Kind.
    ReadField(e.section, "Description", e.description, sizeof e.description, script);
    e.force = ReadNumber(e.section, "Force", 0, script) != 0;
    return true;
}

}  // namespace

bool IsAcceptedAssociation(const char* ext, const char* kind) {
    return IsSingleKeyName(ext) && !IsSystemFileType(ext) && !IsRefusedExtension(ext) && IsSingleKeyName(kind) &&
           !IsRefusedFileType(kind);
}

ExtensionOwner FindExtensionOwner(const char* ext, const char* kind, char* current) {
    current[0] = 0;
    RegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, ext, KEY_QUERY_VALUE)) return ExtensionOwner::Free;
    // An extension without a type name belongs to no one.
    if (!key.ReadText(nullptr, current, kValueSize, nullptr) || !current[0]) return ExtensionOwner::Free;
    return lstrcmpiA(current, kind) == 0 ? ExtensionOwner::Kind : ExtensionOwner::Other;
}

// The type key is ours only while it still carries the name this entry gave it.
bool OwnsFileType(const char* kind, const char* description) {
    RegKey key;
    char current[kValueSize];
    if (!key.Open(HKEY_CLASSES_ROOT, kind, KEY_QUERY_VALUE) || !key.ReadText(nullptr, current, sizeof current, nullptr))
        return false;
    return strcmp(current, kind) == 0 || (description && description[0] && strcmp(current, description) == 0);
}

bool AssociationIconValue(const char* icon, const char* iconNo, const char* installFolder, char* out) {
    // A cut path or index would name another icon.
    if (!ExpandProgramPath(icon, installFolder, out)) return false;
    return !iconNo[0] || (AppendBounded(out, kPathSize, ",") && AppendBounded(out, kPathSize, iconNo));
}

bool AssociationCommandLine(const char* command, const char* installFolder, char* out) {
    char text[kValueSize];
    if (!CopyBounded(text, sizeof text, command)) return false;
    CommandParts parts;
    SplitAssociationCommand(text, &parts);
    char program[kPathSize];
    return ExpandProgramPath(parts.program, installFolder, program) &&
           BuildAssociationCommand(parts.quoted, program, parts.arguments, out, kExpandedSize);
}

int SetClassesValue(const char* path, const char* data, HKEY base) {
    char keys[kPathSize], text[kKeyTextSize] = "";
    if (!CopyBounded(keys, sizeof keys, path)) return 0;
    HKEY root = base ? base : HKEY_CLASSES_ROOT;
    if (!base) KeyText(RootKind::ClassesRoot, "", text);
    char* valueName = SplitAtLastBackslash(keys);
    if (!valueName) {  // a value of the base key itself
        if (WriteTextTold(root, text, keys, data) != ERROR_SUCCESS) return 0;
        M().FlushKey(root);
        return 1;
    }
    RegKey key;
    for (char* component = keys; component;) {
        char* rest = SplitAtFirstBackslash(component);
        ChildKeyText(text, component, text);
        RegKey next;
        bool created = false;
        if (!next.Create(key ? key.get() : root, component, kCreateRights, &created)) return 0;
        if (created) TellNewKey(text);
        key = std::move(next);
        component = rest;
    }
    if (WriteTextTold(key.get(), text, valueName, data) != ERROR_SUCCESS) return 0;
    key.Changed();
    return 1;
}

int DeleteClassesValue(char* path) {
    char* name = SplitAtLastBackslash(path);
    if (!name) {
        if (M().DeleteValue(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return 0;
        M().FlushKey(HKEY_CLASSES_ROOT);
        path[0] = 0;
        return 1;
    }
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, path, kCreateRights) && key.DeleteValue(name) ? 1 : 0;
}

int DeleteClassesKey(char* path) {
    char* rest = SplitAtFirstBackslash(path);
    if (!rest) {
        if (!path[0] || M().DeleteKey(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return 0;
        M().FlushKey(HKEY_CLASSES_ROOT);
        path[0] = 0;
        return 1;
    }
    if (!path[0] || !rest[0]) return 0;  // an empty name would be the parent itself
    RegKey parent;
    if (!parent.Open(HKEY_CLASSES_ROOT, path, kCreateRights) || M().DeleteKey(parent.get(), rest) != ERROR_SUCCESS)
        return 0;
    parent.Changed();
    return 1;
}

int DeleteClassesValueAndKeys(char* path, bool keepTopKey) {
    if (!DeleteClassesValue(path)) return 0;
    // path now names the key that held the value; its keys go from the deepest up.
    while (path[0]) {
        bool top = FindFirstChar(path, '\\') == nullptr;
        if (top && keepTopKey) return 0;
        char key[kPathSize];
        CopyBounded(key, sizeof key, path);
        if (!DeleteClassesKey(key)) return 0;
        if (top) return 1;
        SplitAtLastBackslash(path);
    }
    return 1;
}

void SetFileAssociations(HWND, bool make) {
    Step s(Script());
    TellSection("File associations");
    if (!make && s.EarlierIsOther()) {
        char first[kNameSize];
        if (ReadText("Ext0", "Ext", first, sizeof first, s.script))
            TellNote("the box is off: what the earlier install made is removed");
    }
    ReadText("Root", "Named", s.installFolder, sizeof s.installFolder, s.script);
    if (s.EarlierIsOther()) ReadText("Root", "Named", s.earlierFolder, sizeof s.earlierFolder, s.earlier.path());
    s.earlierMadeThem = s.earlier.source() == CreatedFacts::Source::Older &&
                        ReadNumber("Check", "Ext", 0, s.earlier.path()) > 1;
    int entries = 0;
    for (int n = 0;; ++n, ++entries) {
        Entry e;
        if (!ReadEntry(s.script, n, e)) break;
        ApplyAssociation(s, e, make);
    }
    if (entries) {
        for (const FactList* list : {&s.extKeys, &s.extValues, &s.typeKeys, &s.verbKeys, &s.shellKeys})
            list->Write(s.script);
    }
    // Explorer shows the new icons and verbs without a new log-on.
    if (s.changed) M().AssociationsChanged();
}
