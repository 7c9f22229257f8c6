// File associations made and removed under the test prefix's HKEY_CLASSES_ROOT: new
// extensions, extensions of other types with and without "Force", the command line
// rebuilt, the option state, and the types that are never touched.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "registry_fixtures.h"

using namespace regtest;

namespace {

const HKEY kClasses = HKEY_CLASSES_ROOT;

class Associations : public testing::Test {
protected:
    void SetUp() override {
        for (const char* key : {".setupa", ".setupf", ".setupg", ".setupn", ".setupr", "SetupTlxFile", "SetupOtherFile",
                                "SetupOtherFile2", "SetupThirdFile", "SetupNoVerbFile"})
            trees_.emplace_back(new ScopedTree(kClasses, key));
    }
    // A script whose [Root] Named is C:\App with the given lines after it.
    std::string Script(const std::vector<std::string>& lines) {
        std::vector<std::string> all = {"[Root]", "Named=C:\\App"};
        all.insert(all.end(), lines.begin(), lines.end());
        return script_ = UseScript(all);
    }
    std::string CheckExt() const { return stage::Ini(script_, "Check", "Ext"); }
    static std::string Default(const std::string& key) { return Text(kClasses, key, ""); }

    std::vector<std::unique_ptr<ScopedTree>> trees_;
    std::string script_;
};

// The example of a new extension, with "Command" written the documented way: one more
// pair of quotes around the whole value, which the profile read takes off.
const std::vector<std::string> kNewType = {"[Ext0]",       "Ext=.setupa",   "Kind=SetupTlxFile",
                                           "Icon=%root%tool.exe", "IconNo=1", "Verb=open",
                                           "Command=\"\"%root%tool.exe\" \"%1\"\""};

TEST_F(Associations, NewExtensionGetsItsTypeIconAndCommandAndLosesThemAgain) {
    Script(kNewType);
    SetFileAssociations(nullptr, true);
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

    SetFileAssociations(nullptr, false);
    EXPECT_FALSE(KeyExists(kClasses, ".setupa")) << "the extension's value and then its key";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "the whole file type";
}

TEST_F(Associations, CommandIsRebuiltAroundTheExpandedProgram) {
    const struct {
        const char* command;  // as the script's line holds it
        const char* want;
    } cases[] = {
        {"\"\"%root%tool.exe\" \"%1\"\"", "\"C:\\App\\tool.exe\" \"%1\""},  // the documented form
        {"\"%root%tool.exe\" /open", "\"C:\\App\\tool.exe\" /open"},             // not ending in a quote
        {"%root%tool.exe %1", "C:\\App\\tool.exe %1"},
        {"%root%tool.exe", "C:\\App\\tool.exe "},  // one blank even without arguments
        {"!C:\\Tools\\view.exe %1", "C:\\Tools\\view.exe %1"},
        // The trap: the profile read drops the pair of quotes enclosing the whole value.
        {"\"%root%tool.exe\" \"%1\"", "C:\\App\\tool.exe\" \"%1"},
    };
    for (const auto& c : cases) {
        Script({"[Ext0]", "Ext=.setupa", "Kind=SetupTlxFile", "Verb=open", std::string("Command=") + c.command});
        SetFileAssociations(nullptr, true);
        EXPECT_EQ(c.want, Default("SetupTlxFile\\shell\\open\\command")) << "Command=" << c.command;
        SetFileAssociations(nullptr, false);
    }
}

TEST_F(Associations, IconWithoutIndexAndEntryWithoutVerb) {
    // Another program added its own verb to the type: the type key must stay.
    ASSERT_TRUE(PutText(kClasses, "SetupNoVerbFile\\shell\\print\\command", "", "print.exe %1"));
    Script({"[Ext0]", "Ext=.setupn", "Kind=SetupNoVerbFile", "Icon=!C:\\Icons\\doc.ico", "Command=x.exe"});
    SetFileAssociations(nullptr, true);
    EXPECT_EQ("SetupNoVerbFile", Default(".setupn"));
    EXPECT_EQ("C:\\Icons\\doc.ico", Default("SetupNoVerbFile\\DefaultIcon")) << "no index: the path alone";
    EXPECT_EQ((std::vector<std::string>{"print"}), Subkeys(kClasses, "SetupNoVerbFile\\shell")) << "no verb made";

    SetFileAssociations(nullptr, false);
    EXPECT_FALSE(KeyExists(kClasses, ".setupn"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupNoVerbFile\\DefaultIcon"));
    EXPECT_EQ("print.exe %1", Default("SetupNoVerbFile\\shell\\print\\command"))
        << "an entry without a verb never removes the file type as a whole";
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
    SetFileAssociations(nullptr, true);
    EXPECT_EQ(before, Dump(kClasses, keys)) << "without Verb2";
    SetFileAssociations(nullptr, false);
    EXPECT_EQ(before, Dump(kClasses, keys)) << "without Verb2, removing";
    EXPECT_EQ("1", CheckExt()) << "no option state is written for a foreign entry";

    std::vector<std::string> withVerb2 = entry;
    withVerb2.push_back("Verb2=Open with Tool");
    Script(withVerb2);
    SetFileAssociations(nullptr, true);
    EXPECT_EQ("SetupOtherFile", Default(".setupf")) << "the extension stays with the other type";
    EXPECT_EQ("<absent>", Text(kClasses, ".setupf", "Old Name"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile")) << "no type of its own";
    EXPECT_FALSE(KeyExists(kClasses, "SetupOtherFile\\DefaultIcon")) << "no icon for the other type";
    EXPECT_EQ("C:\\App\\tool.exe %1", Default("SetupOtherFile\\shell\\Open with Tool\\command"));
    EXPECT_EQ("1", CheckExt());

    SetFileAssociations(nullptr, false);
    EXPECT_EQ(before, Dump(kClasses, keys)) << "removal takes the second verb with all below it, nothing else";
}

TEST_F(Associations, ForcedTakeOverKeepsTheOldTypeAndGivesItBack) {
    ASSERT_TRUE(PutText(kClasses, ".setupg", "", "SetupOtherFile2"));
    ASSERT_TRUE(PutText(kClasses, ".setupg", "Content Type", "text/x-setupg"));
    ASSERT_TRUE(PutText(kClasses, "SetupOtherFile2\\shell\\open\\command", "", "other.exe \"%1\""));
    const std::string otherType = Dump(kClasses, {"SetupOtherFile2"});
    Script({"[Ext0]", "Ext=.setupg", "Kind=SetupTlxFile", "Verb=open", "Command=%root%tool.exe %1", "Force=1"});

    for (int round = 1; round <= 2; ++round) {  // the second round is a re-install over the first
        SetFileAssociations(nullptr, true);
        EXPECT_EQ("SetupTlxFile", Default(".setupg")) << "round " << round;
        EXPECT_EQ("SetupOtherFile2", Text(kClasses, ".setupg", "Old Name"))
            << "round " << round << ": a re-install must not overwrite the saved type with its own";
    }
    SetFileAssociations(nullptr, false);
    EXPECT_EQ("SetupOtherFile2", Default(".setupg")) << "the old type is given back";
    EXPECT_EQ("<absent>", Text(kClasses, ".setupg", "Old Name"));
    EXPECT_EQ("text/x-setupg", Text(kClasses, ".setupg", "Content Type")) << "the extension key stays";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile"));
    EXPECT_EQ(otherType, Dump(kClasses, {"SetupOtherFile2"}));

    // A third program takes the extension over before the uninstall: it stays with that one.
    SetFileAssociations(nullptr, true);
    ASSERT_TRUE(PutText(kClasses, ".setupg", "", "SetupThirdFile"));
    SetFileAssociations(nullptr, false);
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
        SetFileAssociations(nullptr, c.make);
        EXPECT_EQ(c.after, CheckExt()) << (c.make ? "making" : "removing") << " from "
                                       << (c.before ? c.before : "no key");
        SetFileAssociations(nullptr, false);
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
            SetFileAssociations(nullptr, make);
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
    SetFileAssociations(nullptr, true);
    // The user (or another program) gave the type a description of its own meanwhile.
    ASSERT_TRUE(PutText(kClasses, "SetupTlxFile", "", "Tool Document"));
    ASSERT_TRUE(PutText(kClasses, "SetupTlxFile\\shell\\edit\\command", "", "editor.exe %1"));
    SetFileAssociations(nullptr, false);
    EXPECT_FALSE(KeyExists(kClasses, ".setupa"));
    EXPECT_EQ("Tool Document", Default("SetupTlxFile")) << "a type that is no longer the entry's own stays";
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile\\DefaultIcon"));
    EXPECT_FALSE(KeyExists(kClasses, "SetupTlxFile\\shell\\open")) << "the entry's verb goes";
    EXPECT_EQ("editor.exe %1", Default("SetupTlxFile\\shell\\edit\\command"));
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

}  // namespace
