// Registry entries, key paths and association commands taken apart, and the name
// tests of the guards.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "registry/registry_parse.h"

namespace {

const char* Show(const char* text) { return text ? text : "<none>"; }

// On code page 932 "\x95\x5C" is one character whose trail byte is a backslash.
const std::string kHyou = "\x95\x5C";
bool ShiftJis() { return GetACP() == 932; }

TEST(SplitAtBackslash, FirstAndLastAreCutInPlaceAndStepOverDoubleByteCharacters) {
    struct Case {
        std::string text;
        bool last;
        std::string head;
        const char* tail;  // null: no backslash, text unchanged
    };
    std::vector<Case> cases = {
        {"Software\\Tool\\Mode", false, "Software", "Tool\\Mode"}, {"Software\\Tool\\Mode", true, "Software\\Tool", "Mode"},
        {"Software", true, "Software", nullptr},                   {"trail\\", true, "trail", ""},
    };
    if (ShiftJis())
        cases.insert(cases.end(), {{"A" + kHyou + "B\\C", false, "A" + kHyou + "B", "C"}, {kHyou, true, kHyou, nullptr}});
    else
        cases.push_back({"A" + kHyou + "B", false, "A\x95", "B"});  // a single-byte code page has no trail bytes
    for (const Case& c : cases) {
        std::string text = c.text;
        char* tail = c.last ? SplitAtLastBackslash(&text[0]) : SplitAtFirstBackslash(&text[0]);
        EXPECT_EQ(c.head, std::string(text.c_str())) << (c.last ? "last of " : "first of ") << c.text;
        EXPECT_STREQ(Show(c.tail), Show(tail)) << (c.last ? "last of " : "first of ") << c.text;
    }
}

TEST(RootKindFromName, WholeNamesWithoutCaseAndEverythingElseIsTheMachine) {
    const std::pair<const char*, RootKind> cases[] = {
        {"HKEY_CLASSES_ROOT", RootKind::ClassesRoot}, {"hkey_current_user", RootKind::CurrentUser},
        {"HKEY_USERS", RootKind::Users},              {"HKEY_DYN_DATA", RootKind::DynData},
        {"HKLM", RootKind::LocalMachine},             {"HKCU", RootKind::LocalMachine},
        {"HKEY_CURRENT_USERS", RootKind::LocalMachine}, {"", RootKind::LocalMachine},
    };
    for (const auto& c : cases) EXPECT_EQ((int)c.second, (int)RootKindFromName(c.first)) << "\"" << c.first << "\"";
    // The facts name each root by its full name, which reads back as the same root.
    for (int kind = 0; kind <= (int)RootKind::LocalMachine; ++kind)
        EXPECT_EQ(kind, (int)RootKindFromName(RootNameOf((RootKind)kind))) << RootNameOf((RootKind)kind);
}

TEST(RegistryFactText, KeysAndValuesUnderTheRootsFullNameAndNeverCut) {
    const struct {
        RootKind root;
        const char *path, *value, *want;
    } cases[] = {
        {RootKind::CurrentUser, "Software\\Acme", nullptr, "HKEY_CURRENT_USER\\Software\\Acme"},
        {RootKind::LocalMachine, "SOFTWARE\\Acme", "Run", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\\\Run"},
        {RootKind::ClassesRoot, "AcmeFile", "", "HKEY_CLASSES_ROOT\\AcmeFile\\\\"},
        {RootKind::CurrentUser, "", "V", "HKEY_CURRENT_USER\\\\V"},  // a value of the root itself
    };
    char out[64];
    for (const auto& c : cases) {
        EXPECT_TRUE(RegistryFactText(c.root, c.path, c.value, out, sizeof out)) << c.want;
        EXPECT_STREQ(c.want, out);
    }
    EXPECT_FALSE(RegistryFactText(RootKind::CurrentUser, "Software\\Acme", nullptr, out, 30));
    EXPECT_STREQ("", out) << "a cut fact would name another key";
}

TEST(SplitMakeEntry, KeysEndAtTheDoubleBackslashAndTheDataKeepsItsOwn) {
    struct Case {
        std::string entry;
        std::string keys;
        const char *value, *data;  // null: no value written
    };
    std::vector<Case> cases = {
        {"R\\Software\\Tool\\\\Mode\\!fast", "Software\\Tool", "Mode", "!fast"},
        {"R\\Tool\\\\\\!ready", "Tool", "", "!ready"},  // three backslashes: the default value
        {"R\\A\\\\V\\!C:\\x\\\\y", "A", "V", "!C:\\x\\\\y"},
        {"R\\A\\B", "A\\B", nullptr, nullptr},    // keys only
        {"R\\A\\\\Mode", "A", nullptr, nullptr},  // a value name without data
        {"R\\\\V\\d", "", "V", "d"},              // a value of the root itself
    };
    if (ShiftJis()) cases.push_back({"R\\A" + kHyou + "\\\\V" + kHyou + "\\d", "A" + kHyou, "V\x95\x5C", "d"});
    for (const Case& c : cases) {
        std::string text = c.entry;
        MakeEntryParts parts;
        ASSERT_TRUE(SplitMakeEntry(&text[0], &parts)) << c.entry;
        EXPECT_STREQ("R", parts.root) << c.entry;
        EXPECT_EQ(c.keys, std::string(parts.keyPath)) << c.entry;
        EXPECT_STREQ(Show(c.value), Show(parts.valueName)) << c.entry;
        EXPECT_STREQ(Show(c.data), Show(parts.data)) << c.entry;
    }
    std::string none = "NoBackslash";
    MakeEntryParts parts;
    EXPECT_FALSE(SplitMakeEntry(&none[0], &parts));
}

TEST(KeyGuards, RootsKeysBelowRootsAndTheSystemsAreasAreProtected) {
    using P = KeyProtection;
    const RootKind user = RootKind::CurrentUser, machine = RootKind::LocalMachine, users = RootKind::Users,
                   classes = RootKind::ClassesRoot, config = RootKind::CurrentConfig;
    const struct {
        RootKind root;
        const char* path;
        P want;
    } cases[] = {
        {user, "Software", P::Structural},
        {classes, ".txt", P::Structural},
        {user, "Software\\", P::Structural},  // an empty final name is the parent itself
        {user, "Software\\\\Tool", P::Structural},
        {user, "Software\\Acme\\Tool", P::None},
        {classes, "TlxFile\\shell", P::None},
        {user, "software\\MICROSOFT", P::System},
        {machine, "SOFTWARE\\Policies", P::System},
        {machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", P::System},
        {machine, "SOFTWARE\\Wow6432Node\\Microsoft", P::System},
        {machine, "SOFTWARE\\Wow6432Node", P::System},
        {machine, "SOFTWARE\\Wow6432Node\\Acme", P::None},
        {machine, "SOFTWARE\\Clients", P::System},
        {machine, "SOFTWARE\\Clients\\Mail\\Acme Mail", P::None},  // a program's own registration
        {machine, "SYSTEM\\CurrentControlSet\\Services", P::System},
        {users, ".DEFAULT\\Software", P::System},
        {users, ".DEFAULT\\Software\\Microsoft", P::System},
        {users, ".DEFAULT\\Software\\Acme", P::None},
        // Everything below the system's areas, however deep, under every root that has them.
        {machine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", P::System},
        {machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", P::System},
        {user, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", P::System},
        {machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool", P::System},
        {machine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\x", P::System},
        {machine, "SOFTWARE\\Classes\\.txt", P::System},
        {user, "Software\\Classes\\AcmeFile\\shell", P::System},
        {machine, "SOFTWARE\\Wow6432Node\\Classes\\AcmeFile", P::System},
        {machine, "SOFTWARE\\Policies\\Acme\\Tool", P::System},
        {machine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", P::System},
        {machine, "system\\CurrentControlSet\\Services\\tooldrv", P::System},
        {user, "System\\Anything\\Below", P::System},
        {users, "S-1-5-21-1\\Software\\Policies\\Acme", P::System},
        {users, "S-1-5-21-1\\SYSTEM\\x", P::System},
        {config, "System\\CurrentControlSet\\Control", P::System},
        {config, "Software\\Acme\\Tool", P::None},
        // The system's file types below the classes root, and a user's part of it.
        {classes, "exefile\\shell", P::System},
        {classes, "exefile", P::System},  // never pruned either
        {classes, "TXTFILE\\shell\\open\\command", P::System},
        {classes, "Directory\\shell\\Acme", P::System},
        {classes, "*\\shellex\\ContextMenuHandlers\\Acme", P::System},
        {classes, ".exe\\shell", P::System},  // the system's extensions as well
        {classes, ".PS1\\PersistentHandler", P::System},
        {classes, ".js", P::System},
        {classes, ".tlx\\shell", P::None},
        {users, "S-1-5-21-1_Classes\\exefile\\shell", P::System},
        {users, "S-1-5-21-1_Classes\\AcmeFile\\shell", P::None},
        {users, "S-1-5-21-1\\exefile\\shell", P::None},  // not a classes hive
        {RootKind::DynData, "Config Manager\\Enum", P::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ((int)c.want, (int)ProtectionOf(c.root, c.path)) << "root " << (int)c.root << ", \"" << c.path << "\"";
        EXPECT_EQ(c.want == P::None, MayRemoveKeyTree(c.root, c.path)) << c.path;
        EXPECT_EQ(c.want != P::System, MayPruneKey(c.root, c.path)) << c.path;
    }
}

TEST(UninstallCommandProgram, QuotedOrNotWithOrWithoutTheArgument) {
    const struct {
        const char* command;
        const char* program;  // null: none
    } cases[] = {
        {"\"C:\\Program Files\\Tool\\Setup.exe\" uninstall", "C:\\Program Files\\Tool\\Setup.exe"},
        {"\"C:\\Tool\\Setup.exe\"", "C:\\Tool\\Setup.exe"},
        {"\"C:\\Tool\\Setup.exe\"uninstall", "C:\\Tool\\Setup.exe"},
        // Registrations written before: never quoted.
        {"C:\\Program Files\\Tool\\Setup.exe uninstall", "C:\\Program Files\\Tool\\Setup.exe"},
        {"C:\\Tool\\Setup.exe UNINSTALL", "C:\\Tool\\Setup.exe"},
        {"C:\\Program Files\\Tool\\Setup.exe", "C:\\Program Files\\Tool\\Setup.exe"},
        // Any other argument stays part of the text, which then names no Setup.exe.
        {"C:\\Tool\\unins000.exe /SILENT", "C:\\Tool\\unins000.exe /SILENT"},
        {"\"C:\\Tool\\Setup.exe uninstall", nullptr},  // no closing quote
        {"\"\" uninstall", nullptr},
        {" uninstall", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        std::string text = c.command;
        EXPECT_STREQ(Show(c.program), Show(UninstallCommandProgram(&text[0]))) << c.command;
    }
    if (ShiftJis()) {
        std::string text = "\"C:\\" + kHyou + "\\Setup.exe\" uninstall";
        EXPECT_EQ("C:\\" + kHyou + "\\Setup.exe", std::string(Show(UninstallCommandProgram(&text[0]))));
    }
}

TEST(KeyGuards, SingleNamesCompaniesAndFileTypes) {
    const struct {
        const char* name;
        bool single, company, refusedType;
    } cases[] = {
        {"Acme", true, true, false},       {"", false, false, true},        {"..", false, false, true},
        {"Acme\\Tool", false, false, false}, {"classes", true, false, false}, {"Wow6432Node", true, false, false},
        {"Clients", true, false, false},   {"txtfile", true, true, true},   {"*", true, true, true},
        {"folder", true, true, true},      {"CLSID", true, true, true},     {".tlx", true, true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.single, IsSingleKeyName(c.name)) << "\"" << c.name << "\" as a key name";
        EXPECT_EQ(c.company, MayRemoveSettingsKeys(c.name, "")) << "\"" << c.name << "\" as the company";
        EXPECT_EQ(c.refusedType, IsRefusedFileType(c.name)) << "\"" << c.name << "\" as a file type";
    }
    EXPECT_TRUE(MayRemoveSettingsKeys("Acme", "Tool"));
    EXPECT_FALSE(MayRemoveSettingsKeys("Acme", "Tool\\Deep"));
    EXPECT_FALSE(MayRemoveSettingsKeys("Microsoft", "Tool")) << "a system company is refused with a name too";
}

TEST(KeyGuards, ProgramTypesAndExtensionsBelongToTheSystem) {
    const struct {
        const char* name;
        bool systemType, refusedExtension;
    } cases[] = {
        {"exefile", true, false},      {"Msi.Package", true, false}, {"regfile", true, false},
        {"VBSFILE", true, false},      {"JSFile", true, false},      {"Microsoft.PowerShellScript.1", true, false},
        {"piffile", true, false},      {"scrfile", true, false},     {"htmlfile", false, false},
        {"SampleNotes.Note", false, false}, {".exe", false, true},   {".EXE", false, true},
        {".com", false, true},         {".bat", false, true},        {".cmd", false, true},
        {".lnk", false, true},         {".pif", false, true},        {".scr", false, true},
        {".msi", false, true},         {".reg", false, true},        {".vbs", false, true},
        {".js", false, true},          {".ps1", false, true},        {".json", false, false},
        {".exe2", false, false},       {"exe", false, false},        {".txt", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.systemType, IsSystemFileType(c.name)) << c.name;
        EXPECT_EQ(c.systemType, IsRefusedFileType(c.name) && c.name[0] != '.') << c.name;
        EXPECT_EQ(c.refusedExtension, IsRefusedExtension(c.name)) << c.name;
    }
}

TEST(AssociationCommand, ProgramWithABlankIsQuoted) {
    const struct {
        bool quoted;
        const char *program, *arguments, *want;
    } cases[] = {
        {false, "C:\\Program Files\\Sample Notes\\notes.exe", "%1",
         "\"C:\\Program Files\\Sample Notes\\notes.exe\" %1"},
        {false, "C:\\Program Files\\notes.exe", "", "\"C:\\Program Files\\notes.exe\" "},
        {false, "C:\\Tab\tFolder\\t.exe", "/x", "\"C:\\Tab\tFolder\\t.exe\" /x"},
        {true, "C:\\Program Files\\t.exe", " \"%1\"", "\"C:\\Program Files\\t.exe\" \"%1\""},
        {false, "C:\\Tools\\t.exe", "%1", "C:\\Tools\\t.exe %1"},
    };
    for (const auto& c : cases) {
        char out[128];
        EXPECT_TRUE(BuildAssociationCommand(c.quoted, c.program, c.arguments, out, sizeof out)) << c.program;
        EXPECT_STREQ(c.want, out) << c.program;
    }
    // The quotes count: a line that fits only without them is refused whole.
    char out[21];
    EXPECT_TRUE(BuildAssociationCommand(false, "C:\\ab\\t.exe", "%1234", out, sizeof out));
    EXPECT_FALSE(BuildAssociationCommand(false, "C:\\a b\\t.exe", "%12345", out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(AssociationCommand, ProgramAndArgumentsSplitAndJoinAgain) {
    const struct {
        const char* command;
        bool quoted;
        const char *program, *arguments, *rebuilt;  // rebuilt with the program unchanged
    } cases[] = {
        {"\"C:\\My Tool\\t.exe\" \"%1\"", true, "C:\\My Tool\\t.exe", " \"%1\"", "\"C:\\My Tool\\t.exe\" \"%1\""},
        {"\"t.exe\"/x", true, "t.exe", "/x", "\"t.exe\"/x"},
        {"\"un closed %1", true, "un closed %1", "", "\"un closed %1\""},
        {"t.exe\t%1 %2", false, "t.exe", "%1 %2", "t.exe %1 %2"},
        {"t.exe", false, "t.exe", "", "t.exe "},
        {" t.exe", false, "", "t.exe", " t.exe"},
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
    // The longest program and arguments fit 520 bytes; a line that does not fit is refused whole.
    const std::string program(259, 'p'), arguments(257, 'a');
    std::vector<char> line(520 + 8, '~');
    EXPECT_TRUE(BuildAssociationCommand(true, program.c_str(), arguments.c_str(), line.data(), 520));
    EXPECT_EQ("\"" + program + "\"" + arguments, std::string(line.data()));
    EXPECT_FALSE(BuildAssociationCommand(false, program.c_str(), arguments.c_str(), line.data(), 300));
    EXPECT_STREQ("", line.data()) << "a cut command line would start something else";
    EXPECT_EQ(std::string(8, '~'), std::string(line.data() + 520, 8)) << "written past the buffer";
}

}  // namespace
