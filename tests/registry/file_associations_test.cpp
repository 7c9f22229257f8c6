// File associations made and removed under the test prefix's HKEY_CLASSES_ROOT: new
// extensions, extensions of other types with and without "Force", the command line
// rebuilt, the option state, the types that are never touched, and what the record's
// [Created] facts let an install, a version-up with the box off and the uninstall take.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "listing.h"
#include "registry_fixtures.h"

using namespace regtest;

namespace {

const HKEY kClasses = HKEY_CLASSES_ROOT;

// Every key below the keys with each value's name, type and bytes: what "byte for byte"
// means for the registry.
std::string Bytes(const std::vector<std::string>& keys) { return listing::Text(listing::Keys(kClasses, keys)); }

// A key of the prefix's own (or absent) that a test changes: put back as it was, values
// with their types and bytes, when the test ends.
class SavedTree {
public:
    explicit SavedTree(std::string key) : key_(std::move(key)) { Save(W(key_)); }
    ~SavedTree() {
        RemoveTree(kClasses, key_);
        for (const Key& k : keys_) {
            HKEY h;
            if (RegCreateKeyExW(kClasses, k.path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
                ERROR_SUCCESS)
                continue;
            for (const Value& v : k.values)
                RegSetValueExW(h, v.name.c_str(), 0, v.type, v.data.data(), (DWORD)v.data.size());
            RegCloseKey(h);
        }
    }
    SavedTree(const SavedTree&) = delete;
    SavedTree& operator=(const SavedTree&) = delete;

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Key {
        std::wstring path;
        std::vector<Value> values;
    };
    void Save(const std::wstring& path) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(kClasses, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
        Key saved{path, {}};
        std::vector<wchar_t> name(16384);
        std::vector<BYTE> data(1 << 16);
        for (DWORD i = 0;; ++i) {
            DWORD n = (DWORD)name.size(), type = 0, size = (DWORD)data.size();
            if (RegEnumValueW(k, i, name.data(), &n, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
            saved.values.push_back({name.data(), type, std::vector<BYTE>(data.begin(), data.begin() + size)});
        }
        keys_.push_back(saved);
        std::vector<std::wstring> subkeys;
        for (DWORD i = 0;; ++i) {
            DWORD n = (DWORD)name.size();
            if (RegEnumKeyExW(k, i, name.data(), &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            subkeys.push_back(name.data());
        }
        RegCloseKey(k);
        for (const std::wstring& sub : subkeys) Save(path + L"\\" + sub);
    }
    std::string key_;
    std::vector<Key> keys_;
};

// A path where no install record lies: a first install.
std::string NoRecord() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return std::string(folder) + "\\never-installed\\Setup.ini";
}

// One run of the step on script, with earlier as the record of the earlier install.
void RunStep(const std::string& script, const std::string& earlier, bool make) {
    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script.c_str());
    CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, earlier.c_str());
    SetFileAssociations(nullptr, make);
}

class Associations : public testing::Test {
protected:
    void SetUp() override {
        for (const char* key : {".setupa", ".setupe", ".setupf", ".setupg", ".setupn", ".setupo", ".setupr", ".setupt",
                                ".setupx", "SetupTlxFile", "SetupOtherFile", "SetupOtherFile2", "SetupThirdFile",
                                "SetupNoVerbFile", "SetupOwnFile", "Notes.Note"})
            trees_.emplace_back(new ScopedTree(kClasses, key));
        // The prefix's own types that the hostile entries name.
        for (const char* key : {".htm", "htmlfile", ".txt", "txtfile", ".exe", "exefile"})
            saved_.emplace_back(new SavedTree(key));
    }
    // A script that is an install record keeping facts, with [Root] Named = folder and the
    // given lines after it; it becomes the run's script.
    std::string Record(const std::vector<std::string>& lines, bool facts = true,
                       const std::string& folder = "C:\\App") {
        std::vector<std::string> all = {"[Root]",  "Named=" + folder, "[CopiedFile]",
                                        "Count=1", "0=" + folder + "\\tool.exe"};
        if (facts) all.insert(all.end(), {"[Created]", "Recorded=1"});
        all.insert(all.end(), lines.begin(), lines.end());
        return script_ = UseScript(all);
    }
    std::string Script(const std::vector<std::string>& lines) { return Record(lines); }
    // The script's install over itself, and its uninstall: its own record is the earlier one.
    void Make() { RunStep(script_, script_, true); }
    void Remove() { RunStep(script_, script_, false); }
    std::string CheckExt() const { return stage::Ini(script_, "Check", "Ext"); }
    static std::string Default(const std::string& key) { return Text(kClasses, key, ""); }
    // The script's facts of the association kinds.
    static std::vector<std::string> Facts(const std::string& script) {
        std::vector<std::string> facts;
        for (const std::string& line : SectionLines(script, "Created"))
            if (line.compare(0, 8, "Recorded") != 0) facts.push_back(line);
        return facts;
    }

    std::vector<std::unique_ptr<ScopedTree>> trees_;
    std::vector<std::unique_ptr<SavedTree>> saved_;
    std::string script_;
};

// The example of a new extension, with "Command" written the documented way: one more
// pair of quotes around the whole value, which the profile read takes off.
const std::vector<std::string> kNewType = {"[Ext0]",       "Ext=.setupa",   "Kind=SetupTlxFile",
                                           "Icon=%root%tool.exe", "IconNo=1", "Verb=open",
                                           "Command=\"\"%root%tool.exe\" \"%1\"\""};

TEST_F(Associations, NewExtensionGetsItsTypeIconAndCommandAndLosesThemAgain) {
    Script(kNewType);
    Make();
    const struct {
        const char* key;
        const char* want;
    } made[] = {
        {".setupa", "SetupTlxFile"},
        {"SetupTlxFile", "SetupTlxFile"},
        {"SetupTlxFile\\DefaultIcon", "C:\\App\\tool.exe,1"},
        {"SetupTlxFile\\shell\\open\\command", "\"C:\\App\\tool.exe\" \"%1\""},
    };
    for (const auto& m : made) EXPECT_EQ(m.want, Default(m.key)) << "default value of " << m.key;
    EXPECT_EQ("<absent>", Text(kClasses, ".setupa", "Old Name")) << "a new extension has no earlier type";
    EXPECT_EQ((std::vector<std::string>{"ExtKey0=.setupa", "TypeKey0=SetupTlxFile"}), Facts(script_))
        << "the record says what the install created";

    Remove();
    EXPECT_FALSE(KeyExists(kClasses, ".setupa")) << "the extension's value and then its key";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "the whole file type";
    EXPECT_EQ(std::vector<std::string>{}, Facts(script_)) << "nothing is left to claim";
}

TEST_F(Associations, CommandIsRebuiltAroundTheExpandedProgram) {
    const char* const spaced = "C:\\Program Files\\Sample Notes";
    const struct {
        const char* folder;
        const char* command;  // as the script's line holds it
        const char* want;
    } cases[] = {
        {"C:\\App", "\"\"%root%tool.exe\" \"%1\"\"", "\"C:\\App\\tool.exe\" \"%1\""},  // the documented form
        {"C:\\App", "\"%root%tool.exe\" /open", "\"C:\\App\\tool.exe\" /open"},             // not ending in a quote
        {"C:\\App", "%root%tool.exe %1", "C:\\App\\tool.exe %1"},
        {"C:\\App", "%root%tool.exe", "C:\\App\\tool.exe "},  // one blank even without arguments
        {"C:\\App", "!C:\\Tools\\view.exe %1", "C:\\Tools\\view.exe %1"},
        // The trap: the profile read drops the pair of quotes enclosing the whole value.
        {"C:\\App", "\"%root%tool.exe\" \"%1\"", "C:\\App\\tool.exe\" \"%1"},
        // A blank in the expanded program: quoted, or C:\Program.exe would run.
        {spaced, "%root%notes.exe %1", "\"C:\\Program Files\\Sample Notes\\notes.exe\" %1"},
        {spaced, "%root%notes.exe", "\"C:\\Program Files\\Sample Notes\\notes.exe\" "},
        {spaced, "\"\"%root%notes.exe\" \"%1\"\"", "\"C:\\Program Files\\Sample Notes\\notes.exe\" \"%1\""},
    };
    for (const auto& c : cases) {
        Record({"[Ext0]", "Ext=.setupa", "Kind=SetupTlxFile", "Verb=open", std::string("Command=") + c.command}, true,
               c.folder);
        Make();
        EXPECT_EQ(c.want, Default("SetupTlxFile\\shell\\open\\command")) << "Command=" << c.command;
        Remove();
        EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "Command=" << c.command;
    }
}

TEST_F(Associations, IconWithoutIndexAndEntryWithoutVerb) {
    Script({"[Ext0]", "Ext=.setupn", "Kind=SetupNoVerbFile", "Icon=!C:\\Icons\\doc.ico", "Command=x.exe"});
    Make();
    EXPECT_EQ("SetupNoVerbFile", Default(".setupn"));
    EXPECT_EQ("C:\\Icons\\doc.ico", Default("SetupNoVerbFile\\DefaultIcon")) << "no index: the path alone";
    EXPECT_FALSE(KeyExists(kClasses, "SetupNoVerbFile\\shell")) << "no verb made";

    // Another program adds its own verb to the type: the type key must stay.
    ASSERT_TRUE(PutText(kClasses, "SetupNoVerbFile\\shell\\print\\command", "", "print.exe %1"));
    Remove();
    EXPECT_FALSE(KeyExists(kClasses, ".setupn"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupNoVerbFile\\DefaultIcon"));
    EXPECT_EQ("print.exe %1", Default("SetupNoVerbFile\\shell\\print\\command"))
        << "an entry without a verb never removes the file type as a whole";

    // Without another program's verb nothing of the type is left.
    RemoveTree(kClasses, "SetupNoVerbFile");
    Script({"[Ext0]", "Ext=.setupn", "Kind=SetupNoVerbFile", "Icon=!C:\\Icons\\doc.ico"});
    Make();
    Remove();
    EXPECT_FALSE(KeyExists(kClasses, "SetupNoVerbFile"));
}

TEST_F(Associations, ForeignExtensionGetsOnlyTheSecondVerb) {
    ASSERT_TRUE(PutText(kClasses, ".setupf", "", "SetupOtherFile"));
    ASSERT_TRUE(PutText(kClasses, "SetupOtherFile", "", "Other Document"));
    ASSERT_TRUE(PutText(kClasses, "SetupOtherFile\\shell\\open\\command", "", "other.exe \"%1\""));
    const std::vector<std::string> keys = {".setupf", "SetupOtherFile", "SetupTlxFile"};
    const std::string before = Dump(kClasses, keys);
    const std::vector<std::string> entry = {"[Check]", "Ext=1", "[Ext0]", "Ext=.setupf", "Kind=SetupTlxFile",
                                            "Icon=%root%tool.exe", "IconNo=1", "Verb=open",
                                            "Command=%root%tool.exe %1"};

    // Without "Verb2" nothing at all is written, in either direction.
    Script(entry);
    Make();
    EXPECT_EQ(before, Dump(kClasses, keys)) << "without Verb2";
    Remove();
    EXPECT_EQ(before, Dump(kClasses, keys)) << "without Verb2, removing";
    EXPECT_EQ("1", CheckExt()) << "no option state is written for a foreign entry";

    std::vector<std::string> withVerb2 = entry;
    withVerb2.push_back("Verb2=Open with Tool");
    Script(withVerb2);
    Make();
    EXPECT_EQ("SetupOtherFile", Default(".setupf")) << "the extension stays with the other type";
    EXPECT_EQ("<absent>", Text(kClasses, ".setupf", "Old Name"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "no type of its own";
    EXPECT_FALSE(KeyExists(kClasses, "SetupOtherFile\\DefaultIcon")) << "no icon for the other type";
    EXPECT_EQ("C:\\App\\tool.exe %1", Default("SetupOtherFile\\shell\\Open with Tool\\command"));
    EXPECT_EQ("1", CheckExt());
    EXPECT_EQ((std::vector<std::string>{"VerbKey0=SetupOtherFile\\shell\\Open with Tool"}), Facts(script_));

    Remove();
    EXPECT_EQ(before, Dump(kClasses, keys)) << "removal takes the second verb with all below it, nothing else";

    // Someone points the verb at another program meanwhile: it is theirs now and stays.
    Make();
    ASSERT_TRUE(PutText(kClasses, "SetupOtherFile\\shell\\Open with Tool\\command", "", "editor.exe %1"));
    const std::string changed = Bytes(keys);
    Remove();
    EXPECT_EQ(changed, Bytes(keys)) << "a verb whose command is no longer the one written stays";
    RemoveTree(kClasses, "SetupOtherFile\\shell\\Open with Tool");

    // A type without verbs gets its shell key from the entry, and loses it again with the verb.
    RemoveTree(kClasses, "SetupOtherFile\\shell");
    const std::string bare = Bytes(keys);
    Script(withVerb2);
    Make();
    EXPECT_EQ((std::vector<std::string>{"VerbKey0=SetupOtherFile\\shell\\Open with Tool",
                                        "ShellKey0=SetupOtherFile\\shell"}),
              Facts(script_));
    Remove();
    EXPECT_EQ(bare, Bytes(keys)) << "the shell key made for the verb goes with it";
}

TEST_F(Associations, ForcedTakeOverKeepsTheOldTypeAndGivesItBack) {
    ASSERT_TRUE(PutText(kClasses, ".setupg", "", "SetupOtherFile2"));
    ASSERT_TRUE(PutText(kClasses, ".setupg", "Content Type", "text/x-setupg"));
    ASSERT_TRUE(PutText(kClasses, "SetupOtherFile2\\shell\\open\\command", "", "other.exe \"%1\""));
    const std::string otherType = Dump(kClasses, {"SetupOtherFile2"});
    Script({"[Ext0]", "Ext=.setupg", "Kind=SetupTlxFile", "Verb=open", "Command=%root%tool.exe %1", "Force=1"});

    for (int round = 1; round <= 2; ++round) {  // the second round is a re-install over the first
        Make();
        EXPECT_EQ("SetupTlxFile", Default(".setupg")) << "round " << round;
        EXPECT_EQ("SetupOtherFile2", Text(kClasses, ".setupg", "Old Name"))
            << "round " << round << ": a re-install must not overwrite the saved type with its own";
    }
    Remove();
    EXPECT_EQ("SetupOtherFile2", Default(".setupg")) << "the old type is given back";
    EXPECT_EQ("<absent>", Text(kClasses, ".setupg", "Old Name"));
    EXPECT_EQ("text/x-setupg", Text(kClasses, ".setupg", "Content Type")) << "the extension key stays";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile"));
    EXPECT_EQ(otherType, Dump(kClasses, {"SetupOtherFile2"}));

    // A third program takes the extension over before the uninstall: it stays with that one.
    Make();
    EXPECT_EQ((std::vector<std::string>{"ExtValue0=.setupg", "TypeKey0=SetupTlxFile"}), Facts(script_))
        << "an extension key that existed: only its value is the product's";
    ASSERT_TRUE(PutText(kClasses, ".setupg", "", "SetupThirdFile"));
    Remove();
    EXPECT_EQ("SetupThirdFile", Default(".setupg"));
    EXPECT_EQ("<absent>", Text(kClasses, ".setupg", "Old Name"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "the own type goes as for any own entry";
}

TEST_F(Associations, OptionStateRecordsMadeAndRemoved) {
    const struct {
        const char* before;  // null: no such key
        bool make;
        const char* after;
    } cases[] = {
        {"0", true, "2"}, {"1", true, "2"}, {"2", true, "2"},   {"3", true, "3"},   {nullptr, true, ""},
        {"0", false, "0"}, {"1", false, "1"}, {"2", false, "1"}, {"3", false, "1"}, {nullptr, false, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = kNewType;
        if (c.before) lines.insert(lines.end(), {"[Check]", std::string("Ext=") + c.before});
        Script(lines);
        RunStep(script_, script_, c.make);
        EXPECT_EQ(c.after, CheckExt()) << (c.make ? "making" : "removing") << " from "
                                       << (c.before ? c.before : "no key");
        Remove();
    }
}

TEST_F(Associations, RefusedNamesAndSystemTypesAreNeverTouched) {
    const struct {
        const char* ext;
        const char* kind;
    } cases[] = {
        {".setupr", "txtfile"}, {".setupr", "Directory"}, {".setupr", "*"},     {".setupr", "FOLDER"},
        {".setupr", "exefile"}, {".setupr", "CLSID"},     {".setupr", ".txt"},  {".setupr", "Setup\\Tlx"},
        {".setupr", ""},        {"*", "SetupTlxFile"},    {"Directory", "SetupTlxFile"},
        {"Software\\.setupr", "SetupTlxFile"},
        // Programs, scripts and links: neither their types nor their extensions.
        {".setupr", "Msi.Package"}, {".setupr", "vbsfile"}, {".setupr", "Microsoft.PowerShellScript.1"},
        {".exe", "SetupTlxFile"},   {".JS", "SetupTlxFile"}, {".ps1", "SetupTlxFile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("Ext=") + c.ext + " Kind=" + c.kind);
        // What the system's types hold at the places an entry would write to.
        std::vector<std::string> watched = {".setupr", "SetupTlxFile"};
        for (const char* name : {c.ext, c.kind}) {
            if (!*name || strchr(name, '\\')) continue;
            for (const char* sub : {"", "\\DefaultIcon", "\\shell\\open"}) watched.push_back(std::string(name) + sub);
        }
        std::vector<std::string> values;
        for (const std::string& key : watched) values.push_back(Default(key) + " / " + Text(kClasses, key, "Old Name"));
        const bool kindExisted = *c.kind && KeyExists(kClasses, c.kind);
        Script({"[Check]", "Ext=1", "[Ext0]", std::string("Ext=") + c.ext, std::string("Kind=") + c.kind,
                "Icon=%root%tool.exe", "Verb=open", "Command=%root%tool.exe %1", "Force=1"});
        for (bool make : {true, false}) {
            RunStep(script_, script_, make);
            for (size_t i = 0; i < watched.size(); ++i)
                EXPECT_EQ(values[i], Default(watched[i]) + " / " + Text(kClasses, watched[i], "Old Name"))
                    << watched[i] << (make ? " after making" : " after removing");
            EXPECT_FALSE(KeyExists(kClasses, ".setupr"));
            EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile"));
            EXPECT_EQ(kindExisted, *c.kind && KeyExists(kClasses, c.kind)) << "the type key itself";
            EXPECT_EQ("1", CheckExt()) << "a refused entry records nothing";
        }
    }
}

TEST_F(Associations, RenamedOwnTypeLosesOnlyWhatTheEntryMade) {
    Script({"[Ext0]", "Ext=.setupa", "Kind=SetupTlxFile", "Icon=%root%tool.exe", "Verb=open",
            "Command=%root%tool.exe %1"});
    Make();
    // The user (or another program) gave the type a description of its own meanwhile.
    ASSERT_TRUE(PutText(kClasses, "SetupTlxFile", "", "Tool Document"));
    ASSERT_TRUE(PutText(kClasses, "SetupTlxFile\\shell\\edit\\command", "", "editor.exe %1"));
    Remove();
    EXPECT_FALSE(KeyExists(kClasses, ".setupa"));
    EXPECT_EQ("Tool Document", Default("SetupTlxFile")) << "a type that is no longer the entry's own stays";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile\\DefaultIcon"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile\\shell\\open")) << "the entry's verb goes";
    EXPECT_EQ("editor.exe %1", Default("SetupTlxFile\\shell\\edit\\command"));
}

// A readable description is the type key's default value; whether the type is the
// product's does not hang on it: the same type is made, kept, reworded by a version-up and
// removed whole as one named by Kind, and one renamed by someone else still stays.
TEST_F(Associations, DescriptionNamesTheTypeWithoutChangingWhoseItIs) {
    const std::vector<std::string> entry = {"[Ext0]", "Ext=.setupa", "Kind=SetupTlxFile", "Icon=%root%tool.exe",
                                            "Verb=open", "Command=%root%tool.exe %1"};
    auto with = [&](const std::string& description) {
        std::vector<std::string> lines = entry;
        if (!description.empty()) lines.push_back("Description=" + description);
        return lines;
    };
    const struct {
        const char* name;
        std::string first, second;  // the descriptions of the install and of the version-up
        const char* shown;          // the type's default value after the version-up
        const char* renamedTo;      // what someone writes into the type then, or null
        bool typeGoes;              // the uninstall removes the type as a whole
    } cases[] = {
        {"described", "Tool Document", "Tool Document", "Tool Document", nullptr, true},
        {"reworded by the version-up", "Tool Document", "Tool File", "Tool File", nullptr, true},
        {"description added by the version-up", "", "Tool File", "Tool File", nullptr, true},
        {"description dropped by the version-up", "Tool Document", "", "SetupTlxFile", nullptr, true},
        {"renamed by someone", "Tool Document", "Tool Document", "Tool Document", "My Tool Files", false},
        {"renamed to the key name", "Tool Document", "Tool Document", "Tool Document", "SetupTlxFile", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = Record(with(c.first));
        RunStep(first, NoRecord(), true);
        EXPECT_EQ(c.first.empty() ? "SetupTlxFile" : c.first, Default("SetupTlxFile"));
        EXPECT_EQ("SetupTlxFile", Default(".setupa")) << "the extension names the key, never the description";
        const std::string second = Record(with(c.second));
        RunStep(second, first, true);
        EXPECT_EQ(c.shown, Default("SetupTlxFile"));
        EXPECT_EQ((std::vector<std::string>{"ExtKey0=.setupa", "TypeKey0=SetupTlxFile"}), Facts(second));
        if (c.renamedTo) {
            ASSERT_TRUE(PutText(kClasses, "SetupTlxFile", "", c.renamedTo));
        }
        ASSERT_TRUE(PutText(kClasses, "SetupTlxFile\\shell\\edit\\command", "", "editor.exe %1"));
        RunStep(second, second, false);
        EXPECT_FALSE(KeyExists(kClasses, ".setupa"));
        EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile\\shell\\open")) << "the entry's verb goes either way";
        EXPECT_EQ(c.typeGoes, !KeyExists(kClasses, "SetupTlxFile")) << "the type as a whole";
        if (!c.typeGoes) {
            EXPECT_EQ("editor.exe %1", Default("SetupTlxFile\\shell\\edit\\command"));
        }
        RemoveTree(kClasses, "SetupTlxFile");
    }
    // One that does not fit is left out, never cut: the type is named by its key.
    RunStep(Record(with(std::string(300, 'd'))), NoRecord(), true);
    EXPECT_EQ("SetupTlxFile", Default("SetupTlxFile"));
}

TEST_F(Associations, ClassesPathsNameValuesAndTheirKeys) {
    // Set: each key of the path is made; the last component names the value.
    EXPECT_EQ(1, SetClassesValue("SetupTlxFile\\a\\b\\", "default"));
    EXPECT_EQ(1, SetClassesValue("SetupTlxFile\\a\\named", "n"));
    EXPECT_EQ("default", Default("SetupTlxFile\\a\\b"));
    EXPECT_EQ("n", Text(kClasses, "SetupTlxFile\\a", "named"));
    HKEY base;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(kClasses, "SetupTlxFile", 0, KEY_ALL_ACCESS, &base));
    EXPECT_EQ(1, SetClassesValue("c\\", "below a base", base));
    RegCloseKey(base);
    EXPECT_EQ("below a base", Default("SetupTlxFile\\c"));

    struct Step {
        const char* path;
        int (*call)(char*);
        const char* callName;
        int result;
        const char* left;  // the path text afterwards
    };
    auto keys = [](char* p) { return DeleteClassesValueAndKeys(p); };
    auto keepTop = [](char* p) { return DeleteClassesValueAndKeys(p, true); };
    const Step steps[] = {
        {"SetupTlxFile\\a\\missing", DeleteClassesValue, "value", 0, "SetupTlxFile\\a"},
        {"SetupTlxFile\\a\\named", DeleteClassesValue, "value", 1, "SetupTlxFile\\a"},
        {"SetupTlxFile\\a", DeleteClassesKey, "key", 0, "SetupTlxFile"},  // a still holds b
        {"SetupTlxFile\\", DeleteClassesKey, "key", 0, "SetupTlxFile"},   // never the parent itself
        {"SetupTlxFile\\c\\", keepTop, "value and keys, keeping the top", 0, "SetupTlxFile"},
        {"SetupTlxFile\\a\\b\\", keys, "value and keys", 1, "SetupTlxFile"},
        {"SetupTlxFile", DeleteClassesKey, "key", 0, "SetupTlxFile"},  // gone already with its last key
    };
    for (const Step& s : steps) {
        std::vector<char> text = Buffer(s.path, MAX_PATH);
        EXPECT_EQ(s.result, s.call(text.data())) << s.callName << " of " << s.path;
        EXPECT_STREQ(s.left, text.data()) << s.callName << " of " << s.path << ": the path left";
    }
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "b, a and the top-level key went with the last value";

    // Without a backslash the value lies in HKEY_CLASSES_ROOT itself; the path is emptied.
    ASSERT_EQ(1, SetClassesValue("SetupTestRootValue", "x"));
    std::vector<char> text = Buffer("SetupTestRootValue", MAX_PATH);
    EXPECT_EQ(1, DeleteClassesValue(text.data()));
    EXPECT_STREQ("", text.data());
    EXPECT_EQ("<absent>", Text(kClasses, "", "SetupTestRootValue"));
}

// The scripts that once adopted, rewrote or removed another program's file types. Each
// foreign thing is set up first; a first install with the box off, an install, a
// version-up with the box off, another install and the uninstall leave it byte for byte,
// while the product's own association in the same script is made and removed each time.
TEST_F(Associations, ForeignTypesAndVerbsSurviveEveryRun) {
    struct Put {
        const char* key;
        const char* name;  // null: the key alone
        const char* data;
    };
    const struct {
        const char* what;
        std::vector<Put> setup;
        std::vector<std::string> entry;  // [Ext0]
        std::vector<std::string> kept;   // byte for byte through every run
        std::vector<std::string> given;  // byte for byte again after each removal
        std::vector<std::pair<std::string, std::string>> made;  // default values while installed
    } cases[] = {
        {"an existing type named as Kind",
         {{".htm", "", "htmlfile"}, {"htmlfile\\shell\\edit\\command", "", "htmedit.exe \"%1\""}},
         {"Ext=.htm", "Kind=htmlfile", "Icon=%root%tool.exe", "Verb=edit", "Command=%root%tool.exe %1"},
         {".htm", "htmlfile"},
         {},
         {}},
        {"a new extension of an existing type",
         {{"SetupOtherFile", "", "Other Document"}, {"SetupOtherFile\\shell\\open\\command", "", "other.exe %1"}},
         {"Ext=.setupn", "Kind=SetupOtherFile", "Icon=%root%tool.exe", "Verb=open", "Command=%root%tool.exe %1"},
         {"SetupOtherFile"},
         {".setupn"},
         {{".setupn", "SetupOtherFile"}}},
        {"an extension key without a type name, holding another program's values",
         {{".setupx", "Content Type", "text/x-setupx"}, {".setupx", "PerceivedType", "text"}},
         {"Ext=.setupx", "Kind=SetupTlxFile", "Verb=open", "Command=%root%tool.exe %1"},
         {},
         {".setupx", "SetupTlxFile"},
         {{".setupx", "SetupTlxFile"}, {"SetupTlxFile\\shell\\open\\command", "C:\\App\\tool.exe %1"}}},
        {"an extension key with an empty type name",
         {{".setupe", "", ""}},
         {"Ext=.setupe", "Kind=SetupTlxFile", "Verb=open", "Command=%root%tool.exe %1"},
         {".setupe"},
         {"SetupTlxFile"},
         {}},
        {"a second verb for a system type",
         {{".txt", "", "txtfile"}},
         {"Ext=.txt", "Kind=Notes.Note", "Verb=open", "Verb2=open", "Command=%root%notes.exe %1"},
         {".txt", "txtfile", "Notes.Note"},
         {},
         {}},
        {"a second verb that another program's type already has",
         {{".setupf", "", "SetupOtherFile2"}, {"SetupOtherFile2\\shell\\open\\command", "", "other.exe \"%1\""}},
         {"Ext=.setupf", "Kind=SetupTlxFile", "Verb=open", "Verb2=open", "Command=%root%tool.exe %1"},
         {".setupf", "SetupOtherFile2", "SetupTlxFile"},
         {},
         {}},
        {"Force over the programs' extension",
         {{".exe", "", "exefile"}},
         {"Ext=.exe", "Kind=Notes.Note", "Verb=open", "Command=%root%notes.exe %1", "Force=1"},
         {".exe", "exefile", "Notes.Note"},
         {},
         {}},
        {"Force over a system type",
         {{".setupt", "", "txtfile"}},
         {"Ext=.setupt", "Kind=Notes.Note", "Verb=open", "Command=%root%notes.exe %1", "Force=1"},
         {".setupt", "txtfile", "Notes.Note"},
         {},
         {}},
        {"Force over another program's saved take-over",
         {{".setupg", "", "SetupOtherFile2"}, {".setupg", "Old Name", "Original.File"}},
         {"Ext=.setupg", "Kind=SetupTlxFile", "Verb=open", "Command=%root%tool.exe %1", "Force=1"},
         {".setupg", "SetupTlxFile"},
         {},
         {}},
    };
    const std::vector<std::string> own = {"[Ext1]", "Ext=.setupo", "Kind=SetupOwnFile", "Icon=%root%tool.exe",
                                          "Verb=open", "Command=%root%tool.exe %1"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const Put& p : c.setup) ASSERT_TRUE(PutText(kClasses, p.key, p.name, p.data));
        const std::string kept = Bytes(c.kept), given = Bytes(c.given);
        std::vector<std::string> lines = {"[Check]", "Ext=1", "[Ext0]"};
        lines.insert(lines.end(), c.entry.begin(), c.entry.end());
        lines.insert(lines.end(), own.begin(), own.end());
        auto ownMade = [&](const char* when) {
            EXPECT_EQ("SetupOwnFile", Default(".setupo")) << when;
            EXPECT_EQ("C:\\App\\tool.exe %1", Default("SetupOwnFile\\shell\\open\\command")) << when;
        };
        auto allGiven = [&](const char* when) {
            EXPECT_EQ(kept, Bytes(c.kept)) << when;
            EXPECT_EQ(given, Bytes(c.given)) << when;
            EXPECT_FALSE(KeyExists(kClasses, ".setupo") || KeyExists(kClasses, "SetupOwnFile")) << when;
        };

        const std::string first = Record(lines);
        RunStep(first, NoRecord(), false);
        allGiven("a first install with the box off");
        RunStep(first, NoRecord(), true);
        EXPECT_EQ(kept, Bytes(c.kept)) << "installed";
        for (const auto& m : c.made) EXPECT_EQ(m.second, Default(m.first)) << "installed: " << m.first;
        ownMade("installed");

        const std::string versionUp = Record(lines);
        RunStep(versionUp, first, false);
        allGiven("a version-up with the box off");

        const std::string again = Record(lines);
        RunStep(again, versionUp, true);
        EXPECT_EQ(kept, Bytes(c.kept)) << "installed again";
        ownMade("installed again");
        RunStep(again, again, false);
        allGiven("uninstalled");
        for (const auto& m : c.made) EXPECT_EQ("<absent>", Default(m.first)) << "uninstalled: " << m.first;
    }
}

// An extension key the install created, into which other programs put their own things
// afterwards, and one that someone pointed at another type.
TEST_F(Associations, CreatedExtensionKeepsWhatOthersPutIntoIt) {
    Script(kNewType);
    Make();
    ASSERT_TRUE(PutText(kClasses, ".setupa", "Content Type", "text/x-setupa"));
    ASSERT_TRUE(PutText(kClasses, ".setupa\\OpenWithProgids", "Other.File", ""));
    Remove();
    EXPECT_EQ("<absent>", Default(".setupa")) << "the product's own value goes";
    EXPECT_EQ("text/x-setupa", Text(kClasses, ".setupa", "Content Type"));
    EXPECT_EQ((std::vector<std::string>{"OpenWithProgids"}), Subkeys(kClasses, ".setupa"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile"));
    RemoveTree(kClasses, ".setupa");

    const std::string first = Script(kNewType);
    Make();
    ASSERT_TRUE(PutText(kClasses, ".setupa", "", "SetupThirdFile"));
    const std::string taken = Bytes({".setupa"});
    // A version-up finds the extension another type's: its own type stays listed.
    const std::string next = Record(kNewType);
    RunStep(next, first, true);
    EXPECT_EQ((std::vector<std::string>{"TypeKey0=SetupTlxFile"}), Facts(next));
    RunStep(next, next, false);
    EXPECT_EQ(taken, Bytes({".setupa"})) << "an extension that another type took since stays with it";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "the product's type goes all the same";
}

// A version-up over a record with facts takes over what that record lists and what still
// holds the product's content; what someone changed since is neither rewritten nor listed.
TEST_F(Associations, VersionUpRecordsAgainWhatIsStillTheProducts) {
    ASSERT_TRUE(PutText(kClasses, ".setupf", "", "SetupOtherFile"));
    ASSERT_TRUE(PutText(kClasses, "SetupOtherFile\\shell\\open\\command", "", "other.exe %1"));
    const std::vector<std::string> lines = {
        "[Ext0]", "Ext=.setupa", "Kind=SetupTlxFile", "Icon=%root%tool.exe", "Verb=open", "Command=%root%tool.exe %1",
        "[Ext1]", "Ext=.setupf", "Kind=SetupTlxFile", "Verb2=Open with Tool", "Command=%root%tool.exe %1",
        "[Ext2]", "Ext=.setupo", "Kind=SetupOwnFile", "Verb=open", "Command=%root%tool.exe %1"};
    const std::string first = Record(lines);
    RunStep(first, NoRecord(), true);
    // The user renames one of the product's types, which makes it theirs.
    ASSERT_TRUE(PutText(kClasses, "SetupOwnFile", "", "My Documents"));
    const std::string renamed = Bytes({"SetupOwnFile"});

    // The new version installs into the same folder, from another folder.
    std::vector<std::string> next = lines;
    for (std::string& line : next)
        if (line == "Command=%root%tool.exe %1") line = "Command=%root%tool2.exe %1";
    const std::string second = Record(next, true, "C:\\App");
    RunStep(second, first, true);
    EXPECT_EQ((std::vector<std::string>{"ExtKey0=.setupa", "ExtKey1=.setupo", "TypeKey0=SetupTlxFile",
                                        "VerbKey0=SetupOtherFile\\shell\\Open with Tool"}),
              Facts(second));
    EXPECT_EQ("C:\\App\\tool2.exe %1", Default("SetupTlxFile\\shell\\open\\command")) << "its own type, rewritten";
    EXPECT_EQ("C:\\App\\tool2.exe %1", Default("SetupOtherFile\\shell\\Open with Tool\\command"))
        << "its own verb in another type, rewritten";
    EXPECT_EQ(renamed, Bytes({"SetupOwnFile"})) << "the renamed type is not rewritten";

    RunStep(second, second, false);
    EXPECT_FALSE(KeyExists(kClasses, ".setupa") || KeyExists(kClasses, "SetupTlxFile") ||
                 KeyExists(kClasses, ".setupo"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupOtherFile\\shell\\Open with Tool"));
    EXPECT_EQ("other.exe %1", Default("SetupOtherFile\\shell\\open\\command"));
    EXPECT_EQ("SetupOtherFile", Default(".setupf"));
    EXPECT_EQ(renamed, Bytes({"SetupOwnFile"})) << "the renamed type stays whole";
}

// Records written before the facts were kept: only when their association box says the
// associations were made, and then by what the keys hold.
TEST_F(Associations, OlderRecordsDecideByTheirBoxAndTheContent) {
    const std::vector<std::string> lines = {"[Ext0]", "Ext=.setupa", "Kind=SetupTlxFile", "Icon=%root%tool.exe",
                                            "Verb=open", "Command=%root%tool.exe %1"};
    for (const char* box : {"0", "1", "2", "3"}) {
        SCOPED_TRACE(std::string("[Check] Ext=") + box);
        RunStep(Record(lines), NoRecord(), true);
        const std::string made = Bytes({".setupa", "SetupTlxFile"});
        std::vector<std::string> older = {"[Check]", std::string("Ext=") + box};
        older.insert(older.end(), lines.begin(), lines.end());
        const std::string record = Record(older, false);
        RunStep(record, record, false);
        if (box[0] > '1') {
            EXPECT_FALSE(KeyExists(kClasses, ".setupa") || KeyExists(kClasses, "SetupTlxFile"));
        } else {
            EXPECT_EQ(made, Bytes({".setupa", "SetupTlxFile"})) << "the box says nothing was made";
            RemoveTree(kClasses, ".setupa");
            RemoveTree(kClasses, "SetupTlxFile");
        }
    }

    // A version-up over such a record lists what holds the product's content.
    RunStep(Record(lines), NoRecord(), true);
    std::vector<std::string> older = {"[Check]", "Ext=2"};
    older.insert(older.end(), lines.begin(), lines.end());
    const std::string record = Record(older, false);
    const std::string next = Record(lines);
    RunStep(next, record, true);
    EXPECT_EQ((std::vector<std::string>{"ExtKey0=.setupa", "TypeKey0=SetupTlxFile"}), Facts(next));
    RunStep(next, next, false);
    EXPECT_FALSE(KeyExists(kClasses, ".setupa") || KeyExists(kClasses, "SetupTlxFile"));

    // What an install of before left in another program's type (its description renamed to
    // the type's key name and a verb of its own) is no proof: the type holds more than the
    // entry writes, so the uninstall of that record takes neither it nor its extension.
    ASSERT_TRUE(PutText(kClasses, ".htm", "", "htmlfile"));
    ASSERT_TRUE(PutText(kClasses, "htmlfile", "", "htmlfile"));
    ASSERT_TRUE(PutText(kClasses, "htmlfile\\shell\\edit\\command", "", "C:\\App\\tool.exe %1"));
    ASSERT_TRUE(PutText(kClasses, "htmlfile\\shell\\open\\command", "", "browser.exe \"%1\""));
    const std::string adopted = Bytes({".htm", "htmlfile"});
    const std::string old = Record({"[Check]", "Ext=2", "[Ext0]", "Ext=.htm", "Kind=htmlfile", "Verb=edit",
                                    "Command=%root%tool.exe %1"},
                                   false);
    RunStep(old, old, false);
    EXPECT_EQ(adopted, Bytes({".htm", "htmlfile"}));
}

// Values longer than their buffers are refused, never registered cut.
TEST_F(Associations, OverlongValuesAreRefusedNotCut) {
    const std::string command259 = "!C:\\" + std::string(259 - 7, 'c') + " %1";
    ASSERT_EQ(259u, command259.size());
    const struct {
        const char* what;
        std::vector<std::string> entry;
        std::vector<std::pair<std::string, std::string>> want;  // default values afterwards
    } cases[] = {
        {"a type name of 300 bytes",
         {"Ext=.setupa", "Kind=SetupTlxFile" + std::string(288, 'k'), "Verb=open", "Command=%root%tool.exe %1"},
         {{".setupa", "<absent>"}}},
        {"a command of 300 bytes",
         {"Ext=.setupa", "Kind=SetupTlxFile", "Verb=open", "Command=%root%tool.exe " + std::string(280, 'a')},
         {{".setupa", "SetupTlxFile"}, {"SetupTlxFile\\shell\\open\\command", "<absent>"}}},
        {"a command of 259 bytes",
         {"Ext=.setupa", "Kind=SetupTlxFile", "Verb=open", "Command=" + command259},
         {{"SetupTlxFile\\shell\\open\\command", command259.substr(1)}}},
        {"an icon of 300 bytes",
         {"Ext=.setupa", "Kind=SetupTlxFile", "Icon=!C:\\" + std::string(290, 'i') + ".ico", "Verb=open",
          "Command=%root%tool.exe %1"},
         {{"SetupTlxFile", "SetupTlxFile"}, {"SetupTlxFile\\DefaultIcon", "<absent>"}}},
        {"an icon index of 300 bytes",
         {"Ext=.setupa", "Kind=SetupTlxFile", "Icon=%root%tool.exe", "IconNo=" + std::string(300, '1')},
         {{"SetupTlxFile", "SetupTlxFile"}, {"SetupTlxFile\\DefaultIcon", "<absent>"}}},
        {"an extension of 300 bytes: refused, and the list goes on",
         {"Ext=.setupa" + std::string(290, 'x'), "Kind=SetupTlxFile", "[Ext1]", "Ext=.setupo", "Kind=SetupOwnFile"},
         {{".setupo", "SetupOwnFile"}, {"SetupTlxFile", "<absent>"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines = {"[Ext0]"};
        lines.insert(lines.end(), c.entry.begin(), c.entry.end());
        Script(lines);
        Make();
        for (const auto& w : c.want) EXPECT_EQ(w.second, Default(w.first)) << w.first;
        Remove();
        EXPECT_FALSE(KeyExists(kClasses, ".setupa") || KeyExists(kClasses, "SetupTlxFile") ||
                     KeyExists(kClasses, ".setupo"));
    }
}

}  // namespace
