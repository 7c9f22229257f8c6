// Registry entries and key paths taken apart, and the name tests of the guards.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "registry/registry_parse.h"

namespace {

const char* Show(const char* text) { return text ? text : "<none>"; }

// On code page 932 "\x95\x5C" is one character whose trail byte is a backslash.
bool ShiftJis() { return GetACP() == 932; }
const std::string kHyou = "\x95\x5C";

TEST(SplitAtBackslash, FirstAndLastAreCutInPlaceAndStepOverDoubleByteCharacters) {
    struct Case {
        std::string text;
        bool last;
        const char* head;
        const char* tail;  // null: no backslash, text unchanged
    };
    std::vector<Case> cases = {
        {"Software\\Tool\\Mode", false, "Software", "Tool\\Mode"},
        {"Software\\Tool\\Mode", true, "Software\\Tool", "Mode"},
        {"Software", false, "Software", nullptr},
        {"Software", true, "Software", nullptr},
        {"\\lead", false, "", "lead"},
        {"trail\\", true, "trail", ""},
        {"", true, "", nullptr},
    };
    if (ShiftJis()) {
        cases.push_back({"A" + kHyou + "B\\C", false, "A\x95\x5C" "B", "C"});
        cases.push_back({"A\\" + kHyou, true, "A", "\x95\x5C"});
        cases.push_back({kHyou, true, "\x95\x5C", nullptr});
    } else {
        cases.push_back({"A" + kHyou + "B", false, "A\x95", "B"});  // a single-byte code page has no trail bytes
    }
    for (const Case& c : cases) {
        std::vector<char> text(c.text.begin(), c.text.end());
        text.push_back(0);
        char* tail = c.last ? SplitAtLastBackslash(text.data()) : SplitAtFirstBackslash(text.data());
        const char* how = c.last ? "last" : "first";
        EXPECT_STREQ(c.head, text.data()) << how << " of " << c.text;
        EXPECT_STREQ(Show(c.tail), Show(tail)) << how << " of " << c.text;
    }
}

TEST(RootKindFromName, WholeNamesWithoutCaseAndEverythingElseIsTheMachine) {
    const struct {
        const char* name;
        RootKind want;
    } cases[] = {
        {"HKEY_CLASSES_ROOT", RootKind::ClassesRoot},
        {"hkey_current_user", RootKind::CurrentUser},
        {"HKEY_Current_Config", RootKind::CurrentConfig},
        {"HKEY_USERS", RootKind::Users},
        {"HKEY_PERFORMANCE_DATA", RootKind::PerformanceData},
        {"HKEY_DYN_DATA", RootKind::DynData},
        {"HKEY_LOCAL_MACHINE", RootKind::LocalMachine},
        {"HKLM", RootKind::LocalMachine},
        {"HKCU", RootKind::LocalMachine},  // abbreviations are not in the table
        {"HKEY_CURRENT_USERS", RootKind::LocalMachine},
        {"HKEY_CURRENT_USE", RootKind::LocalMachine},
        {"", RootKind::LocalMachine},
    };
    for (const auto& c : cases)
        EXPECT_EQ((int)c.want, (int)RootKindFromName(c.name)) << "root name \"" << c.name << "\"";
}

TEST(SplitMakeEntry, KeysEndAtTheDoubleBackslashAndTheDataKeepsItsOwn) {
    struct Case {
        const char* entry;
        bool parsed;
        const char *root, *keys, *value, *data;  // value and data null: no value written
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Tool\\\\Mode\\!fast", true, "HKEY_CURRENT_USER", "Software\\Tool", "Mode",
         "!fast"},
        {"HKCU\\Software\\Tool\\\\\\!ready", true, "HKCU", "Software\\Tool", "", "!ready"},
        {"R\\A\\\\V\\!C:\\x\\y", true, "R", "A", "V", "!C:\\x\\y"},
        {"R\\A\\\\V\\", true, "R", "A", "V", ""},
        {"R\\A\\B", true, "R", "A\\B", nullptr, nullptr},      // keys only
        {"R\\A\\\\Mode", true, "R", "A", nullptr, nullptr},    // a value name without data
        {"R\\A\\\\", true, "R", "A", nullptr, nullptr},
        {"R\\\\V\\d", true, "R", "", "V", "d"},                  // a value of the root itself
        {"R\\A\\\\V\\\\\\d", true, "R", "A", "V", "\\\\d"},
        {"R\\A\\\\\\\\", true, "R", "A", "", "\\"},
        {"R\\A\\", true, "R", "A\\", nullptr, nullptr},
        {"R\\", true, "R", "", nullptr, nullptr},
        {"NoBackslash", false, nullptr, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        std::string text = c.entry;
        MakeEntryParts parts;
        ASSERT_EQ(c.parsed, SplitMakeEntry(&text[0], &parts)) << c.entry;
        if (!c.parsed) continue;
        EXPECT_STREQ(c.root, parts.root) << c.entry;
        EXPECT_STREQ(c.keys, parts.keyPath) << c.entry;
        EXPECT_STREQ(Show(c.value), Show(parts.valueName)) << c.entry;
        EXPECT_STREQ(Show(c.data), Show(parts.data)) << c.entry;
    }
}

TEST(SplitMakeEntry, ADoubleByteCharacterEndingInABackslashIsNoSeparator) {
    if (!ShiftJis()) GTEST_SKIP() << "needs code page 932 (the unit_registry_ja run)";
    std::string text = "R\\A" + kHyou + "\\\\V" + kHyou + "\\d" + kHyou;
    MakeEntryParts parts;
    ASSERT_TRUE(SplitMakeEntry(&text[0], &parts));
    EXPECT_EQ("A" + kHyou, std::string(parts.keyPath));
    EXPECT_EQ("V" + kHyou, std::string(Show(parts.valueName)));
    EXPECT_EQ("d" + kHyou, std::string(Show(parts.data)));
}

TEST(KeyGuards, RootsKeysBelowRootsAndSystemKeysAreProtected) {
    using P = KeyProtection;
    const RootKind user = RootKind::CurrentUser, machine = RootKind::LocalMachine;
    const struct {
        RootKind root;
        const char* path;
        P want;
    } cases[] = {
        {user, "", P::Structural},
        {user, "Software", P::Structural},
        {RootKind::ClassesRoot, ".txt", P::Structural},
        {user, "Software\\", P::Structural},  // an empty final name is the parent itself
        {user, "Software\\\\Tool", P::Structural},
        {user, "\\Software\\Tool", P::Structural},
        {user, "Software\\Acme", P::None},
        {user, "Software\\Acme\\Tool\\Mode", P::None},
        {RootKind::ClassesRoot, "TlxFile\\shell", P::None},
        {user, "Software\\Microsoft", P::System},
        {user, "software\\MICROSOFT", P::System},
        {machine, "SOFTWARE\\Classes", P::System},
        {machine, "SOFTWARE\\Policies", P::System},
        {machine, "SOFTWARE\\Wow6432Node", P::System},
        {machine, "SOFTWARE\\Clients", P::System},
        {machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", P::System},
        {machine, "SOFTWARE\\Microsoft\\Windows NT", P::System},
        {machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool", P::None},
        {machine, "SOFTWARE\\Microsoft\\Tool", P::None},
        {machine, "SOFTWARE\\Wow6432Node\\Microsoft", P::System},
        {machine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion", P::System},
        {machine, "SOFTWARE\\Wow6432Node\\Acme", P::None},
        {machine, "SOFTWARE\\Classes\\.txt", P::Structural},  // HKEY_CLASSES_ROOT\.txt by another name
        {machine, "SOFTWARE\\Classes\\TlxFile\\shell", P::None},
        {machine, "SYSTEM\\CurrentControlSet", P::System},
        {machine, "SYSTEM\\CurrentControlSet\\Services", P::System},
        {machine, "SYSTEM\\CurrentControlSet\\Services\\tooldrv", P::None},
        {RootKind::Users, ".DEFAULT", P::System},
        {RootKind::Users, ".DEFAULT\\Software", P::System},
        {RootKind::Users, ".DEFAULT\\Software\\Microsoft", P::System},
        {RootKind::Users, ".DEFAULT\\Software\\Acme", P::None},
        {RootKind::ClassesRoot, "Software\\Microsoft", P::None},  // only the user's and the machine's
        {machine, "Microsoft\\Windows", P::None},
    };
    for (const auto& c : cases) {
        P got = ProtectionOf(c.root, c.path);
        EXPECT_EQ((int)c.want, (int)got) << "root " << (int)c.root << ", \"" << c.path << "\"";
        EXPECT_EQ(c.want == P::None, MayRemoveKeyTree(c.root, c.path)) << c.path;
        EXPECT_EQ(c.want != P::System, MayPruneKey(c.root, c.path)) << c.path;
    }
}

TEST(KeyGuards, SingleNamesCompaniesAndFileTypes) {
    const struct {
        const char* name;
        bool single, company, refusedType;
    } cases[] = {
        {"Acme", true, true, false},
        {"TlxFile", true, true, false},
        {"", false, false, true},
        {".", false, false, true},
        {"..", false, false, true},
        {"Acme\\Tool", false, false, false},
        {"\\", false, false, false},
        {"Microsoft", true, false, false},
        {"classes", true, false, false},
        {"POLICIES", true, false, false},
        {"Wow6432Node", true, false, false},
        {"Clients", true, false, false},
        {"txtfile", true, true, true},
        {"Directory", true, true, true},
        {"*", true, true, true},
        {"folder", true, true, true},
        {"EXEFILE", true, true, true},
        {"CLSID", true, true, true},
        {".tlx", true, true, true},  // an extension is no file type
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.single, IsSingleKeyName(c.name)) << "\"" << c.name << "\" as a key name";
        EXPECT_EQ(c.company, MayRemoveSettingsKeys(c.name, "")) << "\"" << c.name << "\" as the company";
        EXPECT_EQ(c.refusedType, IsRefusedFileType(c.name)) << "\"" << c.name << "\" as a file type";
    }
    EXPECT_TRUE(MayRemoveSettingsKeys("Acme", "Tool"));
    EXPECT_FALSE(MayRemoveSettingsKeys("Acme", "Tool\\Deep"));
    EXPECT_FALSE(MayRemoveSettingsKeys("Acme", ".."));
    EXPECT_FALSE(MayRemoveSettingsKeys("Microsoft", "Tool")) << "a protected company is refused with a name too";
}

TEST(AssociationCommand, ProgramAndArgumentsSplitAndJoinAgain) {
    const struct {
        const char* command;
        bool quoted;
        const char *program, *arguments, *rebuilt;  // rebuilt with the program unchanged
    } cases[] = {
        {"\"C:\\My Tool\\t.exe\" \"%1\"", true, "C:\\My Tool\\t.exe", " \"%1\"", "\"C:\\My Tool\\t.exe\" \"%1\""},
        {"\"t.exe\"", true, "t.exe", "", "\"t.exe\""},
        {"\"t.exe\"/x", true, "t.exe", "/x", "\"t.exe\"/x"},
        {"\"un closed %1", true, "un closed %1", "", "\"un closed %1\""},
        {"\"", true, "", "", "\"\""},
        {"t.exe %1", false, "t.exe", "%1", "t.exe %1"},
        {"t.exe\t%1 %2", false, "t.exe", "%1 %2", "t.exe %1 %2"},
        {"t.exe", false, "t.exe", "", "t.exe "},
        {"t.exe ", false, "t.exe", "", "t.exe "},
        {" t.exe", false, "", "t.exe", " t.exe"},
        {"t.exe\"x\" y", false, "t.exe\"x\"", "y", "t.exe\"x\" y"},
    };
    for (const auto& c : cases) {
        std::string text = c.command;
        CommandParts parts;
        SplitAssociationCommand(&text[0], &parts);
        EXPECT_EQ(c.quoted, parts.quoted) << c.command;
        EXPECT_STREQ(c.program, parts.program) << c.command;
        EXPECT_STREQ(c.arguments, parts.arguments) << c.command;
        char out[64];
        EXPECT_TRUE(BuildAssociationCommand(parts.quoted, parts.program, parts.arguments, out, sizeof out));
        EXPECT_STREQ(c.rebuilt, out) << c.command;
    }
    // The longest program and arguments still fit 520 bytes; a line that does not fit is refused whole.
    const std::string program(259, 'p'), arguments(257, 'a');
    std::vector<char> line(520 + 8, '~');
    EXPECT_TRUE(BuildAssociationCommand(true, program.c_str(), arguments.c_str(), line.data(), 520));
    EXPECT_EQ("\"" + program + "\"" + arguments, std::string(line.data()));
    EXPECT_FALSE(BuildAssociationCommand(false, program.c_str(), arguments.c_str(), line.data(), 300));
    EXPECT_STREQ("", line.data()) << "a cut command line would start something else";
    EXPECT_EQ(std::string(8, '~'), std::string(line.data() + 520, 8)) << "written past the buffer";
}

}  // namespace
