// Path joining, folder tokens, program lookup and the default install folder.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>
#include <algorithm>
#include <memory>
#include <string>
#include "install/copy.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "stage.h"

namespace {

std::string Here(const std::string& name) {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return std::string(folder) + "\\" + name;
}

std::string Folder(UINT(WINAPI* get)(LPSTR, UINT)) {
    char folder[MAX_PATH] = "";
    get(folder, MAX_PATH);
    return folder;
}
const std::string kWindows = Folder(GetWindowsDirectoryA), kSystem = Folder(GetSystemDirectoryA);

// Runs call on a buffer of cap bytes holding text, checks the guard bytes after it and
// returns the buffer's text.
template <typename Call>
std::string InBuffer(size_t cap, const std::string& text, Call call) {
    std::string bytes(cap + 16, '~');
    size_t n = std::min(text.size(), cap - 1);
    bytes.replace(0, n, text, 0, n);
    bytes[n] = 0;
    call(&bytes[0]);
    EXPECT_EQ(std::string(16, '~'), bytes.substr(cap)) << "written past the " << cap << "-byte buffer";
    return bytes.c_str();
}
std::string Join(const std::string& folder, const std::string& name, size_t cap = MAX_PATH) {
    return InBuffer(cap, folder, [&](char* b) { JoinPath(b, name.c_str(), cap); });
}
std::string Expand(const std::string& text, const char* install, bool lookup = false) {
    return InBuffer(MAX_PATH, "", [&](char* b) { ExpandPath(text.c_str(), install, b, lookup); });
}
std::string Tokens(const std::string& text, const char* script, size_t cap = kExpandedSize) {
    return InBuffer(cap, text, [&](char* b) { ExpandFolderTokens(b, cap, script); });
}
std::string Default(const std::string& name) {
    return InBuffer(MAX_PATH, "", [&](char* b) { DefaultInstallFolder(name.c_str(), nullptr, b); });
}

// Sets one registry value for a test and puts the original back, type included.
class RegValue {
public:
    RegValue(HKEY root, const char* subkey, const char* name) : root_(root), subkey_(subkey), name_(name) {
        HKEY key;  // read unexpanded, so that the restored value is the same
        if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
        saved_ = RegQueryValueExA(key, name, nullptr, &type_, data_, &size_) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~RegValue() { saved_ ? SHSetValueA(root_, subkey_, name_, type_, data_, size_) : Remove(); }
    bool Set(const char* v) { return !SHSetValueA(root_, subkey_, name_, REG_SZ, v, (DWORD)strlen(v) + 1); }
    bool Remove() {
        DWORD rc = SHDeleteValueA(root_, subkey_, name_);
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }

private:
    HKEY root_;
    const char *subkey_, *name_;
    bool saved_ = false;
    DWORD type_ = REG_SZ, size_ = sizeof data_;
    BYTE data_[2048];
};

RegValue ProgramFilesDir() {
    return RegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
}

// A fresh script in the current folder holding [Root] "Named" (null: no such key).
std::string RootScript(const char* name, const char* named) {
    std::string path = Here(name);
    stage::WriteFile(path, std::string("[Root]\r\n") + (named ? "Named=" + std::string(named) + "\r\n" : ""));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // drop a cached older copy
    return path;
}

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The shell caches the desktop folder at its first use in a process, so the desktop is
// pointed at a folder reported with a trailing backslash before any test runs.
class DesktopWithTrailingBackslash : public testing::Environment {
public:
    static std::string folder;
    void SetUp() override {
        folder = Here("desk h1");
        stage::MakeFolders(folder);
        value_.reset(new RegValue(HKEY_CURRENT_USER, kShellFolders, "Desktop"));
        value_->Set((folder + "\\").c_str());
    }
    void TearDown() override { value_.reset(); }
    std::unique_ptr<RegValue> value_;
};
std::string DesktopWithTrailingBackslash::folder;
testing::Environment* const kDesktop = testing::AddGlobalTestEnvironment(new DesktopWithTrailingBackslash);

}  // namespace

TEST(JoinPath, AddsOneBackslashByTheLastCharacterAndCutsAtTheCapacity) {
    const bool sjis = GetACP() == 932;
    const std::string f250(250, 'f'), g259(259, 'g');
    struct Case { std::string folder, name; size_t cap; std::string want; const char* why; };
    const Case cases[] = {
        {"C:\\App", "a.txt", MAX_PATH, "C:\\App\\a.txt", "one backslash added"},
        {"C:\\App\\", "a.txt", MAX_PATH, "C:\\App\\a.txt", "none after a trailing one"},
        {"C:\\App", "\\a.txt", MAX_PATH, "C:\\App\\\\a.txt", "a name starting with a backslash doubles it"},
        {"", "\\a.txt", MAX_PATH, "\\a.txt", "an empty folder takes the name as it is"},
        {"C:\\App", "", MAX_PATH, "C:\\App\\", "an empty name"},
        // On code page 932 this ends in one character whose trail byte is 0x5C: no separator.
        {"C:\\\x95\x5C", "a.txt", MAX_PATH, sjis ? "C:\\\x95\x5C\\a.txt" : "C:\\\x95\x5C" "a.txt", "trail byte 0x5C"},
        {f250, "0123456789abcdefghij", MAX_PATH, f250 + "\\01234567", "cut to 259 bytes"},
        {g259, "name", MAX_PATH, g259, "a full folder takes nothing more"},
        {"", std::string(400, 'n'), MAX_PATH, std::string(259, 'n'), "a long name alone"},
        {"C:\\Tools", "program.exe", 12, "C:\\Tools\\pr", "a smaller capacity is honoured"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, Join(c.folder, c.name, c.cap)) << c.why;
    JoinPath(nullptr, "a.txt");  // must simply do nothing
}

TEST(ExpandPath, LeadingTokensBangAndPlainNames) {
    struct Case { const char* install; const char* text; bool lookup; std::string want; };
    const Case cases[] = {
        {"C:\\App", "%SYSTEM%\\x.dll", true, kSystem + "\\x.dll"},
        {"C:\\App", "%system%x.dll", false, kSystem + "x.dll"},  // no separator added
        {"C:\\App", "%Windows%\\Fonts\\x.ttf", true, kWindows + "\\Fonts\\x.ttf"},
        // Only a complete token at the very start counts.
        {"C:\\App", "%system\\x.dll", false, "C:\\App\\%system\\x.dll"},
        {"C:\\App", "a\\%windows%\\x", false, "C:\\App\\a\\%windows%\\x"},
        {"C:\\App", "%other%\\x", false, "C:\\App\\%other%\\x"},
        // %root% joins the rest, which keeps its own backslash; no lookup for a token.
        {"C:\\App", "%root%\\a.txt", false, "C:\\App\\\\a.txt"},
        {"C:\\App", "%ROOT%a.txt", true, "C:\\App\\a.txt"},
        {"C:\\App\\", "%root%a.txt", false, "C:\\App\\a.txt"},
        {"C:\\App", "%root%", false, "C:\\App\\"},
        {"C:\\App\\", "a.txt", false, "C:\\App\\a.txt"},
        {"C:\\App", "sub\\a.txt", false, "C:\\App\\sub\\a.txt"},
        {"", "a.txt", false, "a.txt"},
        // "!" takes the rest as it is, unexpanded and without lookup.
        {"C:\\App", "!C:\\Tools\\x.exe", true, "C:\\Tools\\x.exe"},
        {"C:\\App", "!%windows%\\x", false, "%windows%\\x"},
        {"C:\\App", "!", true, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.want, Expand(c.text, c.install, c.lookup)) << c.text << " in " << c.install;
        char same[MAX_PATH];
        strcpy(same, c.text);
        ExpandPath(same, c.install, same, c.lookup);
        EXPECT_EQ(c.want, std::string(same)) << c.text << " expanded in its own buffer";
    }
    char folder[MAX_PATH] = "C:\\Same";
    ExpandPath("%root%b.txt", folder, folder, false);
    EXPECT_STREQ("C:\\Same\\b.txt", folder) << "the install folder may be the result buffer";
}

TEST(DesktopFolder, OneTrailingBackslashIsRemovedForTokens) {
    const std::string folder = DesktopWithTrailingBackslash::folder;
    char got[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, got, CSIDL_DESKTOP, FALSE);
    ASSERT_EQ(folder + "\\", std::string(got)) << "the shell must report the prepared desktop";

    EXPECT_EQ(folder, Expand("%desktop%", "C:\\App"));
    EXPECT_EQ(folder + "\\a.lnk", Expand("%Desktop%\\a.lnk", "C:\\App", true));
    EXPECT_EQ(folder + "a.lnk", Expand("%desktop%a.lnk", "C:\\App"));
    EXPECT_EQ(folder + "\\n.txt /x " + folder, Tokens("%DESKTOP%\\n.txt /x %desktop%", nullptr));
    // The install folder name keeps the backslash and drops only a backslash that follows.
    EXPECT_EQ(folder + "\\Foo", Default("%desktop%\\Foo"));
    EXPECT_EQ(folder + "\\Foo", Default("%Desktop%Foo"));
}

TEST(ProgramFilesDir, ProgramsTokenFollowsTheRegistryValueInEveryForm) {
    auto pf = ProgramFilesDir();
    char value[MAX_PATH];
    ASSERT_TRUE(pf.Set("C:\\PF h1"));
    EXPECT_TRUE(ReadProgramFilesDir(value));
    EXPECT_STREQ("C:\\PF h1", value);
    EXPECT_EQ("C:\\PF h1\\Foo\\a.exe", Expand("%PROGRAMS%\\Foo\\a.exe", "C:\\App", true));
    EXPECT_EQ("C:\\PF h1\\x.exe", Tokens("%Programs%\\x.exe", nullptr));
    EXPECT_EQ("C:\\PF h1\\Foo", Default("%programs%\\Foo"));
    EXPECT_EQ("C:\\PF h1Foo", Default("%programs%Foo")) << "nothing is added or dropped";
    EXPECT_EQ("C:\\PF h1", Default("%programs%"));

    // Missing or empty: paths fall back to the Windows folder, commands keep the token.
    for (const char* unset : {(const char*)nullptr, ""}) {
        ASSERT_TRUE(unset ? pf.Set(unset) : pf.Remove());
        const char* state = unset ? "empty" : "missing";
        EXPECT_FALSE(ReadProgramFilesDir(value)) << state;
        EXPECT_EQ(kWindows + "\\Foo\\a.exe", Expand("%programs%\\Foo\\a.exe", "C:\\App")) << state;
        EXPECT_EQ("%programs%\\x.exe -w " + kWindows, Tokens("%programs%\\x.exe -w %windows%", nullptr)) << state;
        EXPECT_EQ(kWindows + "\\Foo", Default("%programs%\\Foo")) << state;
    }

    // Ending in a backslash: the install folder name drops one backslash after it, no more.
    ASSERT_TRUE(pf.Set("C:\\PF h1\\"));
    EXPECT_EQ("C:\\PF h1\\Foo", Default("%programs%\\Foo"));
    EXPECT_EQ("C:\\PF h1\\Foo", Default("%programs%Foo"));
    EXPECT_EQ("C:\\PF h1\\\\Foo", Default("%programs%\\\\Foo"));
}

// File types registered under HKEY_CLASSES_ROOT for this test, with the programs their
// open commands name; a class without a command gets only an icon, .h1nocls no class.
TEST(ProgramLookup, OpenCommandOrInstallFolderOrNothing) {
    const std::string program = Here("lookup\\bin\\prog.exe"), tool = Here("lookup\\My Tools\\tool.exe");
    const std::string install = Here("lookup\\app"), app = install + "\\";
    stage::WriteFile(program, "MZ");
    stage::WriteFile(tool, "MZ");
    stage::MakeFolders(install);
    const std::string unquoted = program + " %1", quoted = "\"" + tool + "\" \"%1\"";
    const char* types[][3] = {{".h1unq", "H1.Unquoted", unquoted.c_str()},
                              {".h1quo", "H1.Quoted", quoted.c_str()},
                              {".h1open", "H1.Open", "\"C:\\Never Closed\\x.exe %1"},
                              {".h1nocmd", "H1.NoCommand", nullptr},
                              {".h1gone", "H1.Gone", "qqh1missing.exe %1"},
                              {".h1nocls", nullptr, nullptr}};
    for (const auto& t : types) {
        stage::SetRegString(HKEY_CLASSES_ROOT, t[0], t[1] ? nullptr : "Content Type", t[1] ? t[1] : "text/plain");
        if (!t[1]) continue;
        std::string key = std::string(t[1]) + (t[2] ? "\\shell\\open\\command" : "\\DefaultIcon");
        stage::SetRegString(HKEY_CLASSES_ROOT, key.c_str(), nullptr, t[2] ? t[2] : "x.ico");
    }
    auto find = [&](const std::string& name, const std::string& folder, const char* before = "untouched") {
        return InBuffer(MAX_PATH, before, [&](char* b) { FindOpenCommandProgram(name.c_str(), folder.c_str(), b); });
    };

    struct Case { std::string name, folder, want; const char* why; };
    const Case cases[] = {
        {"doc.h1unq", install, program, "unquoted command shortened to an existing file, no trailing blank"},
        {"sub\\DOC.H1UNQ", install, program, "extensions ignore case"},
        {"doc.h1quo", install, tool, "text between the first two quotes, blanks included"},
        {"doc.h1open", install, "C:\\Never Closed\\x.exe %1", "an unclosed quote takes the rest"},
        {"doc.h1nocmd", install, app + "doc.h1nocmd", "class without open command"},
        {"doc.h1nocmd", app, app + "doc.h1nocmd", "install folder with a trailing backslash"},
        {"doc.h1nocls", install, app + "doc.h1nocls", "extension without class"},
        {"doc.h1gone", install, app + "doc.h1gone", "no part of the command names an existing file"},
        {"doc.h1none", install, "untouched", "an unregistered extension leaves the result alone"},
        {"folder.h1unq\\readme.h1none", install, "untouched", "only the final component has the extension"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, find(c.name, c.folder)) << c.name << ": " << c.why;
    EXPECT_NE(program, find("folder.h1unq\\readme", install)) << "a dot in a folder name is no extension";

    // On code page 932 the 0x5C after 0x95 is a trail byte, so the whole text is one name
    // with the unregistered extension ".h1unq..readme"; elsewhere "doc.h1unq" is a folder.
    const std::string name = "doc.h1unq\x95\x5C" "readme";
    if (GetOEMCP() == 932)
        EXPECT_EQ("untouched", find(name, install)) << "the trail byte 0x5C must not end a folder name";
    else
        EXPECT_NE(program, find(name, install));

    // ExpandPath looks programs up only when asked, and never for tokens or "!".
    const char* in = install.c_str();
    EXPECT_EQ(program, Expand("doc.h1unq", in, true));
    EXPECT_EQ(tool, Expand("doc.h1quo", in, true));
    EXPECT_EQ(app + "doc.h1nocmd", Expand("doc.h1nocmd", in, true));
    EXPECT_EQ(app + "doc.h1unq", Expand("doc.h1unq", in, false));
    EXPECT_EQ(app + "doc.h1unq", Expand("%root%doc.h1unq", in, true));
    EXPECT_EQ("C:\\x\\doc.h1unq", Expand("!C:\\x\\doc.h1unq", in, true));
    // An existing document is found through the platform's executable lookup.
    stage::WriteFile(app + "here.h1unq", "text");
    stage::WriteFile(app + "here.h1quo", "text");
    EXPECT_EQ(program, Expand("here.h1unq", in, true));
    EXPECT_EQ(tool, Expand("here.h1quo", in, true));
    char same[MAX_PATH] = "doc.h1quo";
    ExpandPath(same, in, same, true);
    EXPECT_EQ(tool, std::string(same)) << "lookup with the same buffer as input and result";

    for (const auto& t : types) {
        stage::DeleteRegTree(HKEY_CLASSES_ROOT, t[0]);
        if (t[1]) stage::DeleteRegTree(HKEY_CLASSES_ROOT, t[1]);
    }
    stage::DeleteTree(Here("lookup"));
}

TEST(ExpandFolderTokens, KnownTokensAnywhereUnknownOnesStay) {
    const std::string script = RootScript("tokens.ini", "C:\\Inst Dir");
    const std::pair<std::string, std::string> cases[] = {
        {"%system%\\a.exe /d %WINDOWS%\\b", kSystem + "\\a.exe /d " + kWindows + "\\b"},
        {"x%windows%%system%y", "x" + kWindows + kSystem + "y"},  // no separator inserted
        {"\"%root%\\x.exe\" -a %Root%\\b", "\"C:\\Inst Dir\\x.exe\" -a C:\\Inst Dir\\b"},
        {"%x%%windows%", "%x%" + kWindows},  // scanning goes on after an unknown token
        {"50% %windows%", "50% %windows%"},  // the stray % pairs with the next: " " is the token
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, Tokens(c.first, script.c_str())) << c.first;
    for (const char* text : {"plain text", "run %other% 50%", "100%", "%", "%%", "a %b", "%unknown%\\x %also%",
                             "%ROOTX%\\y"})
        EXPECT_EQ(text, Tokens(text, script.c_str())) << "unchanged";

    for (const std::string& path : {RootScript("tokens_empty.ini", ""), RootScript("tokens_absent.ini", nullptr),
                                    Here("tokens_no_such.ini")})
        EXPECT_EQ("%root%\\x.exe", Tokens("%root%\\x.exe", path.c_str())) << "no [Root] Named in " << path;
}

TEST(DefaultInstallFolder, KnownTokensOrTheRootOfTheSystemDrive) {
    const std::string root = kSystem.substr(0, 3);
    ASSERT_EQ("C:\\", root) << "Wine keeps its system folder on C:";
    const std::pair<const char*, std::string> cases[] = {
        {"%System%\\Sub\\Foo", kSystem + "\\Sub\\Foo"},
        {"", root},
        {"Foo", root + "Foo"},
        {"%xyz%\\Foo", root + "%xyz\\\\Foo"},  // the closing % of an unknown token becomes a backslash
        {"%xyz%Foo", root + "%xyz\\Foo"},
        {"%root%\\Foo", root + "%root\\\\Foo"},  // root is no token here
        {"%Foo", root + "%Foo"},
        {"Foo%windows%", root + "Foo%windows%"},  // a token only counts at the start
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, Default(c.first)) << c.first;
}

// Folders compared by whole characters: on code page 932 the last byte of 表 (0x95 0x5C)
// is no separator, and two characters whose trail bytes differ only as a letter's case
// would are different characters.
TEST(IsInsideFolder, WholeCharactersWithoutRegardToCase) {
    struct Case { std::string path, folder; bool inside; const char* why; };
    std::vector<Case> cases = {
        {"C:\\App\\sub\\a.txt", "C:\\App", true, "a file below"},
        {"C:\\App", "C:\\App\\", true, "the folder itself, written with a trailing backslash"},
        {"c:\\APP\\x", "C:\\app", true, "letters without regard to case"},
        {"C:\\Apple", "C:\\App", false, "a longer name beside it"},
        {"C:\\App\\..\\Other", "C:\\App", false, "climbing out"},
        {"C:\\App\\.\\x\\..\\y", "C:\\App", true, "dots resolved first"},
        {"C:\\x", "C:\\", true, "under a drive root"},
        {"D:\\App\\x", "C:\\App", false, "another drive"},
    };
    if (GetACP() == 932) {
        cases.insert(cases.end(), {
            {"C:\\予定表\\..\\予定表示", "C:\\予定表", false, "a name that only starts with the folder's"},
            {"C:\\予定表\\a", "C:\\予定表", true, "a file below a folder ending in 0x5C"},
            {"C:\\予定表", "C:\\予定表\\", true, "its trailing backslash, not its trail byte, dropped"},
            {"C:\\\x83\x61\\sub", "C:\\\x83\x41", false, "trail bytes 0x61 and 0x41 are no letters"},
        });
    }
    for (const Case& c : cases) {
        bool inside = IsInsideFolder(c.path.c_str(), c.folder.c_str());
        EXPECT_EQ(inside, c.inside) << c.path << " in " << c.folder << ": " << c.why;
    }

    char folder[MAX_PATH];
    EXPECT_TRUE(ExtraFolderPath("C:\\Prod", "docs\\..\\more", folder));
    EXPECT_FALSE(ExtraFolderPath("C:\\Prod", "..\\Product", folder)) << "a folder beside the install folder";
    if (GetACP() == 932) {
        EXPECT_FALSE(ExtraFolderPath("C:\\予定表", "..\\予定表示", folder)) << "a folder beside it";
    }
}

// A Program Files folder whose last character ends in 0x5C keeps its separator.
TEST(DefaultInstallFolder, KnownFolderEndingInTrailByte5C) {
    if (GetACP() != 932) GTEST_SKIP() << "the folder's name is Shift-JIS bytes";
    auto pf = ProgramFilesDir();
    ASSERT_TRUE(pf.Set("C:\\予定表"));
    EXPECT_EQ("C:\\予定表\\Foo", Default("%programs%\\Foo")) << "the separator was taken for a doubled one";
    ASSERT_TRUE(pf.Set("C:\\予定表\\"));
    EXPECT_EQ("C:\\予定表\\Foo", Default("%programs%\\Foo")) << "a real trailing backslash is not doubled";
}

// Paths that no removal may act on, read from the text alone.
TEST(PathRules, DevicePathsSharesAndLoopbackNames) {
    const std::pair<const char*, bool> devices[] = {
        {"\\\\?\\C:\\Windows", true}, {"\\\\.\\C:\\x", true}, {"//?/C:/x", true}, {"\\/.\\x", true},
        {"\\??\\C:\\x", true},        {"\\\\server\\share", false}, {"C:\\?\\x", false}, {"\\\\?", false},
        {"?\\x", false},              {"", false},
    };
    for (const auto& d : devices) EXPECT_EQ(IsDevicePath(d.first), d.second) << d.first;

    const std::pair<const char*, const char*> servers[] = {
        {"\\\\host\\share\\x", "host"}, {"//host/share", "host"},       {"\\\\host", "host"},
        {"\\\\host@SSL\\dav", "host"},  {"\\\\host@8080\\x", "host"},   {"\\\\\\share", ""},
        {"\\\\?\\C:\\x", nullptr},      {"C:\\host\\x", nullptr},       {"\\host\\x", nullptr},
    };
    for (const auto& c : servers) {
        size_t length = 99;
        const char* server = UncServerName(c.first, &length);
        std::string got = server ? std::string(server, length) : "(none)";
        EXPECT_EQ(got, c.second ? c.second : "(none)") << c.first;
    }

    const std::pair<const char*, bool> names[] = {
        {"localhost", true},  {"LocalHost.", true},    {".", true},          {"?", true},
        {"127.0.0.1", true},  {"127.1", true},         {"127.255.3.4", true}, {"0x7f000001", true},
        {"2130706433", true}, {"0177.0.0.1", true},    {"::1", true},        {"0--1.ipv6-literal.net", true},
        {"128.0.0.1", false}, {"127.example", false},  {"host127.0.0.1", false}, {"10.0.0.1", false},
        {"localhost2", false}, {"", false},            {"host.", false},     {"0x80000001", false},
    };
    for (const auto& n : names) EXPECT_EQ(IsLoopbackServer(n.first, strlen(n.first)), n.second) << n.first;
    EXPECT_TRUE(IsLoopbackServer("localhost\\C$", 9)) << "only the length given counts";
}

// Every result is cut to its buffer (260 bytes, 520 for commands), never written past it.
TEST(LongPaths, AreCutNotOverrun) {
    const std::string r250(250, 'r'), p300(300, 'p'), cut = kWindows + "\\" + p300;
    EXPECT_EQ((r250 + "\\" + p300).substr(0, 259), Expand("%root%" + p300, r250.c_str()));
    EXPECT_EQ((r250 + "\\" + p300).substr(0, 259), Expand(p300, r250.c_str()));
    EXPECT_EQ(cut.substr(0, 259), Expand("%windows%\\" + p300, "C:\\App"));
    std::string bang = Expand("!" + std::string(400, 'b'), "C:\\App", true);
    EXPECT_LE(bang.size(), 259u);
    EXPECT_EQ(std::string(bang.size(), 'b'), bang);

    EXPECT_EQ(cut.substr(0, 31), Tokens("%windows%\\" + p300, nullptr, 32));
    std::string text, expected;
    for (int i = 0; i < 50; ++i) {
        text += "%windows%;";
        expected += kWindows + ";";
    }
    EXPECT_EQ(expected.substr(0, kExpandedSize - 1), Tokens(text, nullptr));
    EXPECT_EQ(std::string(kExpandedSize - 1, 'z'), Tokens(std::string(600, 'z'), nullptr));

    EXPECT_EQ(("C:\\" + p300).substr(0, 259), Default(p300));
    EXPECT_EQ(cut.substr(0, 259), Default("%windows%\\" + p300));
    // Unknown tokens of every length around and beyond the buffer size (this once overran).
    for (size_t length = 240; length <= 700; ++length) {
        std::string token = "%" + std::string(length, 't');
        ASSERT_EQ(("C:\\" + token + "\\\\Foo").substr(0, 259), Default(token + "%\\Foo")) << "token of " << length;
        if (testing::Test::HasFailure()) break;
    }
}
