// [Reg] entries: values written by the install, keys and values erased by the uninstall.
#include <string.h>
#include <utility>
#include "run/run_state.h"
#include "base/text.h"
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "run/machine.h"
#include "registry/registry_parse.h"
#include "registry/registry_report.h"
#include "run/report.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

// Root name, an entry's 1039 bytes and the separators.
constexpr size_t kFactSize = kLongValueSize + 32;

// What the make entries of one install leave in its record.
struct MadeFacts {
    const CreatedFacts& earlier;  // the earlier install's record
    CreatedList keys{kRegKeyFact};
    CreatedList values{kRegValueFact};
};

// A key that existed counts as made by this product only when the earlier install made it.
void NoteKey(MadeFacts* made, RootKind kind, const char* path, bool created) {
    char fact[kFactSize];
    if (!made || !RegistryFactText(kind, path, nullptr, fact, sizeof fact)) return;
    if (created || (made->earlier.source() == CreatedFacts::Source::Facts && made->earlier.Holds(kRegKeyFact, fact)))
        made->keys.Add(fact);
}

void NoteValue(MadeFacts* made, RootKind kind, const char* path, const char* name) {
    char fact[kFactSize];
    if (made && RegistryFactText(kind, path, name, fact, sizeof fact)) made->values.Add(fact);
}

void MakeEntry(char* entry, const char* installFolder, MadeFacts* made) {
    char written[kLongValueSize];
    CopyBounded(written, sizeof written, entry);
    MakeEntryParts parts;
    if (!SplitMakeEntry(entry, &parts)) {
        Tell(Outcome::Told, "nothing", written, "(no backslash after the root)");
        return;
    }
    const RootKind kind = RootKindFromName(parts.root);
    HKEY root = RootKeyOf(kind);
    char keyText[kKeyTextSize];
    KeyText(kind, "", keyText);
    RegKey key;  // the deepest key made so far; the root itself is never closed
    // Each component is cut off for its call and its separator put back, so that the
    // key path reads as the keys made so far.
    for (char* component = parts.keyPath; component && *component;) {
        char* separator = FindFirstChar(component, '\\');
        if (separator) *separator = 0;
        KeyText(kind, parts.keyPath, keyText);
        RegKey next;
        bool existed = next.Open(key ? key.get() : root, component, kCreateRights);
        if (!existed && !next.Create(key ? key.get() : root, component, kCreateRights)) {
            Tell(Outcome::Failed, "fails", keyText, "(the key could not be made)");
            return;
        }
        if (!existed) TellNewKey(keyText);
        key = std::move(next);
        NoteKey(made, kind, parts.keyPath, !existed);
        if (separator) *separator = '\\';
        component = separator ? separator + 1 : nullptr;
    }
    if (!parts.valueName) return;
    char text[kPathSize];
    if (!RegistryDataText(parts.data, installFolder, text)) {
        char detail[kLongValueSize + 64];
        FormatBounded(detail, sizeof detail, "\"%s\" = \"%s\" (longer than 259 bytes expanded)", parts.valueName,
                      parts.data);
        Tell(Outcome::Kept, "refused", keyText, detail);
        return;
    }
    if (WriteTextTold(key ? key.get() : root, keyText, parts.valueName, text) != ERROR_SUCCESS) return;
    if (key) {
        key.Changed();
        NoteValue(made, kind, parts.keyPath, parts.valueName);
    } else {
        M().FlushKey(root);
        NoteValue(made, kind, "", parts.valueName);
    }
}

// After the entry's key or value went: each emptied parent from the deepest upward.
// The separator cut by each split is put back for a moment to name the whole path.
void PruneEmptyParents(RootKind kind, HKEY root, char* parentPath, const CreatedFacts& facts) {
    char keyText[kKeyTextSize];
    for (;;) {
        char* last = SplitAtLastBackslash(parentPath);
        if (!last) {
            KeyText(kind, parentPath, keyText);
            if (MayPruneRegistryKey(facts, kind, parentPath)) DeleteKeyIfEmptyTold(root, parentPath, keyText, "(left empty)");
            return;
        }
        last[-1] = '\\';
        bool mayPrune = MayPruneRegistryKey(facts, kind, parentPath);
        KeyText(kind, parentPath, keyText);
        last[-1] = 0;
        RegKey parent;
        if (mayPrune && parent.Open(root, parentPath, kTreeRights) &&
            DeleteKeyIfEmptyTold(parent.get(), last, keyText, "(left empty)"))
            parent.Changed();
    }
}

}  // namespace

bool MayPruneRegistryKey(const CreatedFacts& facts, RootKind root, const char* path) {
    if (!MayPruneKey(root, path)) return false;
    switch (facts.source()) {
    case CreatedFacts::Source::NoRecord: return false;
    case CreatedFacts::Source::Older: return true;
    case CreatedFacts::Source::Facts: break;
    }
    char fact[kFactSize];
    return RegistryFactText(root, path, nullptr, fact, sizeof fact) && facts.Holds(kRegKeyFact, fact);
}

bool MayEraseProtectedValue(const CreatedFacts& facts, RootKind root, const char* keyPath, const char* name) {
    char fact[kFactSize];
    if (facts.source() != CreatedFacts::Source::Facts || !RegistryFactText(root, keyPath, name, fact, sizeof fact) ||
        !facts.Holds(kRegValueFact, fact))
        return false;
    // And the value still holds what the record's last make entry for it writes: a fact
    // alone may have come with the file, and a value changed since is someone else's.
    char installFolder[kPathSize], made[kPathSize] = "", now[kPathSize];
    bool written = false;
    ReadText("Root", "Named", installFolder, sizeof installFolder, facts.path());
    ForEachPrefixedKey(facts.path(), "Reg", "Make", kLongValueSize, [&](int, char* entry) {
        MakeEntryParts parts;
        char entryFact[kFactSize];
        if (SplitMakeEntry(entry, &parts) && parts.valueName &&
            RegistryFactText(RootKindFromName(parts.root), parts.keyPath, parts.valueName, entryFact, sizeof entryFact) &&
            lstrcmpiA(entryFact, fact) == 0)
            written = RegistryDataText(parts.data, installFolder, made);
        return true;
    });
    RegKey key;
    DWORD type = 0;
    return written && key.Open(RootKeyOf(root), keyPath, KEY_QUERY_VALUE) &&
           key.ReadText(name, now, sizeof now, &type) && type == REG_SZ && strcmp(now, made) == 0;
}

bool RegistryDataText(const char* data, const char* installFolder, char* out) {
    // A cut expansion names another file: better no value than a wrong one.
    if (!ExpandProgramPath(data, installFolder, out)) return false;
    return out[0] || CopyBounded(out, kPathSize, data);
}

void MakeRegistryEntry(char* entry) {
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, Script());
    MakeEntry(entry, installFolder, nullptr);
}

void EraseRegistryEntry(char* entry) {
    CreatedFacts facts(Script());
    EraseRegistryEntry(entry, facts);
}

void EraseRegistryEntry(char* entry, const CreatedFacts& facts) {
    char written[kLongValueSize];
    CopyBounded(written, sizeof written, entry);
    char* path = SplitAtFirstBackslash(entry);
    if (!path) return;
    RootKind kind = RootKindFromName(entry);
    // Roots and keys directly below a root are never erased, and then neither is the
    // value of the same name; in the system's areas no key is.
    KeyProtection protection = ProtectionOf(kind, path);
    if (protection == KeyProtection::Structural) {
        Tell(Outcome::Kept, "refused", written, "(the uninstall never erases this key)");
        return;
    }
    HKEY root = RootKeyOf(kind);
    bool isKey = false;
    if (protection == KeyProtection::None) {
        RegKey probe;
        isKey = probe.Open(root, path, kTreeRights);
    }
    char wholeText[kKeyTextSize], parentText[kKeyTextSize];
    KeyText(kind, path, wholeText);
    char* name = SplitAtLastBackslash(path);
    if (!name) return;  // refused above; kept for safety
    if (protection == KeyProtection::System && !MayEraseProtectedValue(facts, kind, path, name)) {
        Tell(Outcome::Kept, "refused", written, "(in the system's keys only a value this product's make entries wrote goes)");
        return;
    }
    KeyText(kind, path, parentText);
    bool found = isKey;
    {
        RegKey parent;
        if (parent.Open(root, path, kTreeRights)) {
            if (isKey && DeleteKeyTreeTold(parent.get(), name, wholeText)) parent.Changed();
            LONG removed = DeleteValueTold(parent.get(), parentText, name, true);
            if (removed == ERROR_SUCCESS) parent.Changed();
            found |= removed != ERROR_FILE_NOT_FOUND;
        }
    }
    // Said, so that an entry whose key went before it (with the settings keys, or by an
    // earlier entry) does not leave its part of a plan or a log empty.
    if (!found) Tell(Outcome::Told, "absent", wholeText, "(no key or value of this name is there: nothing to erase)");
    PruneEmptyParents(kind, root, path, facts);
}

void ApplyRegistryEntries(const char* scriptPath, bool make) {
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, scriptPath);
    if (!make) {
        CreatedFacts facts(scriptPath);
        bool any = false;
        ForEachPrefixedKey(scriptPath, "Reg", "Erase", kLongValueSize, [&](int, char* entry) {
            if (!any) TellSection("Registry entries ([Reg] \"Erase\")");
            any = true;
            EraseRegistryEntry(entry, facts);
            return true;
        });
        return;
    }
    CreatedFacts earlier(Run().earlierRecord);
    MadeFacts made{earlier};
    bool any = false;
    ForEachPrefixedKey(scriptPath, "Reg", "Make", kLongValueSize, [&](int, char* entry) {
        if (!any) TellSection("Registry entries ([Reg] \"Make\")");
        any = true;
        MakeEntry(entry, installFolder, &made);
        return true;
    });
    made.keys.Write(scriptPath);
    made.values.Write(scriptPath);
}
