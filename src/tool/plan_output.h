// The lines of a plan and the predictions they rest on: registry keys and values as
// they are now, and what a removal leaves of a folder.
#pragma once
#include <windows.h>
#include <set>
#include <string>
#include <vector>
#include "registry/registry_parse.h"

// Plan text: headings, and item lines "  OUTCOME  OBJECT  DETAIL" whose outcome is one
// word and whose object never holds two blanks in a row.
class PlanText {
public:
    void Title(const std::string& text) { text_ += text + "\n"; }
    void Heading(const std::string& text) { text_ += "\n" + text + "\n"; }
    void Item(const char* outcome, const std::string& object, const std::string& detail = "");
    void Note(const std::string& text) { text_ += "    " + text + "\n"; }
    const std::string& text() const { return text_; }

    // What the plan itself makes, so that later parts see it made (case folded).
    bool Made(const std::string& pathOrKey) const;
    void Make(const std::string& pathOrKey);

private:
    static std::string Fold(const std::string& text);
    std::string text_;
    std::set<std::string> made_;
};

// A key below a root, as a plan names it.
struct RegPath {
    RootKind root;
    std::string path;  // may be empty: the root itself
    std::string Display() const;
    RegPath Child(const std::string& name) const;
};

// folder\name within the path limit ("" when it would not fit).
std::string JoinText(const std::string& folder, const std::string& name);

HKEY RootHandle(RootKind root);
bool KeyExists(const RegPath& key);
// The value as text (REG_SZ and REG_EXPAND_SZ as stored, numbers in decimal); false when absent.
bool ReadRegValue(const RegPath& key, const char* name, std::string* value, bool* isText);
// Whether the earlier install whose record is at recordPath made an association's key
// (fact "TypeKey" with the type's name, "VerbKey" with <type>\shell\<verb>): listed in
// its [Created] facts, or, in a record kept before them, made at all ([Check] "Ext" 2 or
// 3) and still holding what the entry writes: a type its own name as description, a
// verb's command the line given (commandLine null for a type).
bool EarlierMadeAssociationKey(const char* recordPath, const char* fact, const std::string& keyPath,
                               const char* commandLine);

// What removals leave behind, told before anything is removed: a folder counts as empty
// when everything it holds is among what is removed before it.
class RemovalSimulation {
public:
    void RemoveFile(const std::string& path);
    bool FileRemoved(const std::string& path) const;
    bool FolderEmptyAfter(const std::string& folder) const;

private:
    static std::string Fold(const std::string& text);
    std::set<std::string> files_;
};
