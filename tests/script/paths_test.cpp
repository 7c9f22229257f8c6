// Path joining, folder tokens, program lookup and the default install folder.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>
#include <memory>
#include <string>
#include <vector>
#include "script/paths.h"
#include "stage.h"

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string CurrentFolder() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

std::string SystemFolder() {
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

// The desktop folder as the shell reports it, trailing backslash included if any.
std::string ShellDesktopFolder() {
    char folder[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_DESKTOP, FALSE);
    return folder;
}

std::string WithoutTrailingBackslash(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// The root of the system drive: the system folder up to and including its first backslash.
std::string SystemDriveRoot() {
    std::string system = SystemFolder();
    size_t bs = system.find('\\');
    return bs == std::string::npos ? system : system.substr(0, bs + 1);
}

// A buffer of Cap usable bytes followed by guard bytes that must survive every call.
template <size_t Cap>
struct Guarded {
    static constexpr size_t kGuard = 16;
    char bytes[Cap + kGuard];
    Guarded() {
        memset(bytes, 'Q', Cap);
        memset(bytes + Cap, '\x7E', kGuard);
        bytes[0] = 0;
    }
    explicit Guarded(const char* text) : Guarded() {
        strncpy(bytes, text, Cap - 1);
        bytes[Cap - 1] = 0;
    }
    char* data() { return bytes; }
    std::string str() const { return bytes; }
    bool GuardIntact() const {
        for (size_t i = Cap; i < Cap + kGuard; ++i)
            if (bytes[i] != '\x7E') return false;
        return true;
    }
};

// Changes one registry value for a test and puts the original value back, type included.
class RegValueOverride {
public:
    RegValueOverride(HKEY root, const char* subkey, const char* name) : root_(root), subkey_(subkey), name_(name) {
        HKEY key;
        if (RegOpenKeyExA(root_, subkey_, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            BYTE data[2048];
            DWORD size = sizeof data;
            if (RegQueryValueExA(key, name_, nullptr, &type_, data, &size) == ERROR_SUCCESS) {
                saved_ = true;
                data_.assign(data, data + size);
            }
            RegCloseKey(key);
        }
    }
    ~RegValueOverride() {
        HKEY key;
        if (RegCreateKeyExA(root_, subkey_, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        if (saved_)
            RegSetValueExA(key, name_, 0, type_, data_.data(), (DWORD)data_.size());
        else
            RegDeleteValueA(key, name_);
        RegCloseKey(key);
    }
    bool Set(const char* value) { return stage::SetRegString(root_, subkey_, name_, value); }
    bool Remove() {
        HKEY key;
        if (RegOpenKeyExA(root_, subkey_, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
        LONG rc = RegDeleteValueA(key, name_);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }

private:
    HKEY root_;
    const char* subkey_;
    const char* name_;
    bool saved_ = false;
    DWORD type_ = REG_SZ;
    std::vector<BYTE> data_;
};

class ProgramFilesDirOverride : public RegValueOverride {
public:
    ProgramFilesDirOverride() : RegValueOverride(HKEY_LOCAL_MACHINE, kVersionKey, "ProgramFilesDir") {}
};

// Points the user's desktop at a folder for one test.
class DesktopOverride : public RegValueOverride {
public:
    DesktopOverride()
        : RegValueOverride(HKEY_CURRENT_USER,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "Desktop") {}
};

std::string Expand(const char* text, const char* installFolder, bool programLookup) {
    char result[MAX_PATH] = "";
    ExpandPath(text, installFolder, result, programLookup);
    return result;
}

std::string ExpandTokens(const char* text, const char* scriptPath) {
    char buffer[kExpandedSize] = "";
    strncpy(buffer, text, sizeof buffer - 1);
    ExpandFolderTokens(buffer, sizeof buffer, scriptPath);
    return buffer;
}

std::string DefaultFolder(const char* name) {
    char result[MAX_PATH] = "";
    DefaultInstallFolder(name, nullptr, result);
    return result;
}

}  // namespace

// ---- JoinPath ------------------------------------------------------------------

TEST(JoinPath, AddsOneBackslashByTheLastByte) {
    Guarded<MAX_PATH> f("C:\\App");
    JoinPath(f.data(), "a.txt");
    EXPECT_EQ("C:\\App\\a.txt", f.str());

    Guarded<MAX_PATH> trailing("C:\\App\\");
    JoinPath(trailing.data(), "a.txt");
    EXPECT_EQ("C:\\App\\a.txt", trailing.str()) << "no second backslash after a trailing one";

    Guarded<MAX_PATH> doubled("C:\\App");
    JoinPath(doubled.data(), "\\a.txt");
    EXPECT_EQ("C:\\App\\\\a.txt", doubled.str()) << "a name starting with a backslash doubles it";

    Guarded<MAX_PATH> empty;
    JoinPath(empty.data(), "\\a.txt");
    EXPECT_EQ("\\a.txt", empty.str()) << "an empty folder takes the name as it is";

    Guarded<MAX_PATH> nothing("C:\\App");
    JoinPath(nothing.data(), "");
    EXPECT_EQ("C:\\App\\", nothing.str());

    // 0x95 0x5C ends the folder: on code page 932 that is one character, but the join
    // tests the last byte only, so no backslash is added on any code page.
    Guarded<MAX_PATH> dbcs("C:\\\x95\x5C");
    JoinPath(dbcs.data(), "a.txt");
    EXPECT_EQ("C:\\\x95\x5C" "a.txt", dbcs.str());

    JoinPath(nullptr, "a.txt");  // must simply do nothing
}

TEST(JoinPath, CutsAtTheBufferSize) {
    const std::string folder(250, 'f');
    Guarded<MAX_PATH> f(folder.c_str());
    JoinPath(f.data(), "0123456789abcdefghij");
    EXPECT_EQ(folder + "\\01234567", f.str()) << "cut to 259 bytes";
    EXPECT_TRUE(f.GuardIntact());

    const std::string full(259, 'g');
    Guarded<MAX_PATH> g(full.c_str());
    JoinPath(g.data(), "name");
    EXPECT_EQ(full, g.str()) << "a full folder takes nothing more";
    EXPECT_TRUE(g.GuardIntact());

    Guarded<MAX_PATH> e;
    JoinPath(e.data(), std::string(400, 'n').c_str());
    EXPECT_EQ(std::string(259, 'n'), e.str());
    EXPECT_TRUE(e.GuardIntact());

    Guarded<12> small("C:\\Tools");
    JoinPath(small.data(), "program.exe", 12);
    EXPECT_EQ("C:\\Tools\\pr", small.str()) << "a smaller capacity is honoured";
    EXPECT_TRUE(small.GuardIntact());
}

// ---- ExpandPath ----------------------------------------------------------------

TEST(ExpandPath, TokensAtTheStartNameWellKnownFolders) {
    const std::string system = SystemFolder(), windows = WindowsFolder();
    EXPECT_EQ(system + "\\x.dll", Expand("%system%\\x.dll", "C:\\App", false));
    EXPECT_EQ(system + "\\x.dll", Expand("%SYSTEM%\\x.dll", "C:\\App", true)) << "tokens ignore case";
    EXPECT_EQ(system + "x.dll", Expand("%system%x.dll", "C:\\App", false)) << "no separator is added";
    EXPECT_EQ(windows + "\\Fonts\\x.ttf", Expand("%windows%\\Fonts\\x.ttf", "C:\\App", false));
    EXPECT_EQ(windows + "\\Fonts\\x.ttf", Expand("%WINDOWS%\\Fonts\\x.ttf", "C:\\App", false));
    EXPECT_EQ(windows + "\\Fonts\\x.ttf", Expand("%Windows%\\Fonts\\x.ttf", "C:\\App", true));
    EXPECT_EQ(windows, Expand("%windows%", "C:\\App", false));

    // Only a complete token at the very start counts.
    EXPECT_EQ("C:\\App\\%system\\x.dll", Expand("%system\\x.dll", "C:\\App", false));
    EXPECT_EQ("C:\\App\\%systemx%\\x.dll", Expand("%systemx%\\x.dll", "C:\\App", false));
    EXPECT_EQ("C:\\App\\a\\%windows%\\x", Expand("a\\%windows%\\x", "C:\\App", false));
    EXPECT_EQ("C:\\App\\%other%\\x", Expand("%other%\\x", "C:\\App", false));
}

// The shell caches the desktop folder at its first use in a process, so the desktop is
// pointed at a folder reported with a trailing backslash before any test runs.
class DesktopWithTrailingBackslash : public testing::Environment {
public:
    void SetUp() override {
        override_.reset(new DesktopOverride);
        folder = CurrentFolder() + "\\desk h1";
        stage::MakeFolders(folder);
        override_->Set((folder + "\\").c_str());
    }
    void TearDown() override { override_.reset(); }
    static std::string folder;

private:
    std::unique_ptr<DesktopOverride> override_;
};
std::string DesktopWithTrailingBackslash::folder;
testing::Environment* const kDesktopEnvironment = testing::AddGlobalTestEnvironment(new DesktopWithTrailingBackslash);

TEST(DesktopFolder, OneTrailingBackslashIsRemovedForTokens) {
    const std::string folder = DesktopWithTrailingBackslash::folder;
    ASSERT_EQ(folder + "\\", ShellDesktopFolder()) << "the shell must report the prepared desktop";

    EXPECT_EQ(folder, Expand("%desktop%", "C:\\App", false));
    EXPECT_EQ(folder + "\\a.lnk", Expand("%Desktop%\\a.lnk", "C:\\App", true));
    EXPECT_EQ(folder + "a.lnk", Expand("%desktop%a.lnk", "C:\\App", false));
    EXPECT_EQ(folder + "\\n.txt /x " + folder, ExpandTokens("%DESKTOP%\\n.txt /x %desktop%", nullptr));

    // The install folder name keeps the backslash and drops only a backslash that follows.
    EXPECT_EQ(folder + "\\Foo", DefaultFolder("%desktop%\\Foo"));
    EXPECT_EQ(folder + "\\Foo", DefaultFolder("%Desktop%Foo"));

    char got[MAX_PATH];
    GetDesktopFolder(nullptr, got, false);
    EXPECT_EQ(folder, std::string(got));
    GetDesktopFolder(nullptr, got, true);
    EXPECT_EQ(folder + "\\", std::string(got));
}

TEST(ExpandPath, RootAndPlainNamesJoinWithTheInstallFolder) {
    EXPECT_EQ("C:\\App\\\\a.txt", Expand("%root%\\a.txt", "C:\\App", false)) << "the rest keeps its backslash";
    EXPECT_EQ("C:\\App\\a.txt", Expand("%root%a.txt", "C:\\App", false));
    EXPECT_EQ("C:\\App\\a.txt", Expand("%ROOT%a.txt", "C:\\App", true)) << "no lookup for a token";
    EXPECT_EQ("C:\\App\\a.txt", Expand("%root%a.txt", "C:\\App\\", false));
    EXPECT_EQ("C:\\App\\", Expand("%root%", "C:\\App", false));
    EXPECT_EQ("C:\\App\\a.txt", Expand("a.txt", "C:\\App\\", false)) << "no second backslash added";
    EXPECT_EQ("C:\\App\\a.txt", Expand("a.txt", "C:\\App", false));
    EXPECT_EQ("C:\\App\\sub\\a.txt", Expand("sub\\a.txt", "C:\\App", false));
    EXPECT_EQ("a.txt", Expand("a.txt", "", false)) << "an empty install folder adds nothing";
}

TEST(ExpandPath, BangTakesTheRestAsACompletePath) {
    EXPECT_EQ("C:\\Tools\\x.exe", Expand("!C:\\Tools\\x.exe", "C:\\App", false));
    EXPECT_EQ("C:\\Tools\\x.exe", Expand("!C:\\Tools\\x.exe", "C:\\App", true));
    EXPECT_EQ("%windows%\\x", Expand("!%windows%\\x", "C:\\App", false)) << "nothing after ! is expanded";
    EXPECT_EQ("relative.txt", Expand("!relative.txt", "C:\\App", false));
    EXPECT_EQ("", Expand("!", "C:\\App", true));
}

TEST(ExpandPath, ProgramsFallsBackToTheWindowsFolder) {
    ProgramFilesDirOverride pf;
    char value[MAX_PATH];

    ASSERT_TRUE(pf.Set("C:\\PF h1"));
    EXPECT_TRUE(ReadProgramFilesDir(value));
    EXPECT_STREQ("C:\\PF h1", value);
    EXPECT_EQ("C:\\PF h1\\Foo\\a.exe", Expand("%programs%\\Foo\\a.exe", "C:\\App", false));
    EXPECT_EQ("C:\\PF h1\\Foo", Expand("%PROGRAMS%\\Foo", "C:\\App", true));

    ASSERT_TRUE(pf.Remove());
    EXPECT_FALSE(ReadProgramFilesDir(value));
    EXPECT_EQ(WindowsFolder() + "\\Foo\\a.exe", Expand("%programs%\\Foo\\a.exe", "C:\\App", false))
        << "a missing ProgramFilesDir gives the Windows folder";

    ASSERT_TRUE(pf.Set(""));
    EXPECT_FALSE(ReadProgramFilesDir(value)) << "an empty value counts as unreadable";
    EXPECT_EQ(WindowsFolder() + "\\Foo", Expand("%programs%\\Foo", "C:\\App", false));
}

TEST(ExpandPath, ResultMayBeTheInputBuffer) {
    char buffer[MAX_PATH];
    strcpy(buffer, "%root%a.txt");
    ExpandPath(buffer, "C:\\App", buffer, false);
    EXPECT_STREQ("C:\\App\\a.txt", buffer);

    strcpy(buffer, "%windows%\\Fonts\\x.ttf");
    ExpandPath(buffer, "C:\\App", buffer, false);
    EXPECT_EQ(WindowsFolder() + "\\Fonts\\x.ttf", std::string(buffer));

    strcpy(buffer, "!C:\\Tools\\x.exe");
    ExpandPath(buffer, "C:\\App", buffer, true);
    EXPECT_STREQ("C:\\Tools\\x.exe", buffer);

    strcpy(buffer, "sub\\a.txt");
    ExpandPath(buffer, "C:\\App", buffer, false);
    EXPECT_STREQ("C:\\App\\sub\\a.txt", buffer);

    // The install folder may be the same buffer as well.
    strcpy(buffer, "C:\\Same");
    ExpandPath("%root%b.txt", buffer, buffer, false);
    EXPECT_STREQ("C:\\Same\\b.txt", buffer);
}

TEST(ExpandPath, LongResultsAreCutNotOverrun) {
    const std::string folder(250, 'r');
    const std::string rest(30, 's');
    Guarded<MAX_PATH> r1;
    ExpandPath(("%root%" + rest).c_str(), folder.c_str(), r1.data(), false);
    EXPECT_EQ((folder + "\\" + rest).substr(0, 259), r1.str());
    EXPECT_TRUE(r1.GuardIntact());

    Guarded<MAX_PATH> r2;
    ExpandPath(("%windows%\\" + std::string(300, 'w')).c_str(), "C:\\App", r2.data(), false);
    EXPECT_EQ(259u, r2.str().size());
    EXPECT_EQ(0u, r2.str().find(WindowsFolder() + "\\www")) << r2.str();
    EXPECT_TRUE(r2.GuardIntact());

    Guarded<MAX_PATH> r3;
    ExpandPath(std::string(300, 'p').c_str(), folder.c_str(), r3.data(), false);
    EXPECT_EQ((folder + "\\" + std::string(300, 'p')).substr(0, 259), r3.str());
    EXPECT_TRUE(r3.GuardIntact());

    Guarded<MAX_PATH> r4;
    ExpandPath(("!" + std::string(400, 'b')).c_str(), "C:\\App", r4.data(), true);
    EXPECT_LE(r4.str().size(), 259u);
    EXPECT_EQ(std::string(r4.str().size(), 'b'), r4.str());
    EXPECT_TRUE(r4.GuardIntact());
}

// ---- program lookup ----------------------------------------------------------

// File types registered under HKEY_CLASSES_ROOT for these tests, and the program files
// their open commands name.
class ProgramLookup : public testing::Test {
protected:
    static std::string base, program, tool, install;

    static void Register(const char* extension, const char* className, const char* command) {
        if (className) stage::SetRegString(HKEY_CLASSES_ROOT, extension, nullptr, className);
        else stage::SetRegString(HKEY_CLASSES_ROOT, extension, "Content Type", "text/plain");
        if (className && command) {
            std::string key = std::string(className) + "\\shell\\open\\command";
            stage::SetRegString(HKEY_CLASSES_ROOT, key.c_str(), nullptr, command);
        } else if (className) {
            std::string key = std::string(className) + "\\DefaultIcon";
            stage::SetRegString(HKEY_CLASSES_ROOT, key.c_str(), nullptr, "x.ico");
        }
    }

    static void Unregister() {
        for (const char* key : {".h1unq", ".h1quo", ".h1open", ".h1nocmd", ".h1nocls", ".h1gone", ".h1none",
                                "H1Test.Unquoted", "H1Test.Quoted", "H1Test.Open", "H1Test.NoCommand",
                                "H1Test.Gone"})
            stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
    }

    static void SetUpTestSuite() {
        base = CurrentFolder() + "\\lookup";
        program = base + "\\bin\\prog.exe";
        tool = base + "\\My Tools\\tool.exe";
        install = base + "\\app";
        stage::WriteFile(program, "MZ");
        stage::WriteFile(tool, "MZ");
        stage::MakeFolders(install);
        Unregister();
        Register(".h1unq", "H1Test.Unquoted", (program + " %1").c_str());
        Register(".h1quo", "H1Test.Quoted", ("\"" + tool + "\" \"%1\"").c_str());
        Register(".h1open", "H1Test.Open", "\"C:\\Never Closed\\x.exe %1");
        Register(".h1nocmd", "H1Test.NoCommand", nullptr);
        Register(".h1nocls", nullptr, nullptr);
        Register(".h1gone", "H1Test.Gone", "qqh1missing.exe %1");
    }

    static void TearDownTestSuite() {
        Unregister();
        stage::DeleteTree(base);
    }

    std::string Find(const char* name, const char* folder, const char* before = "untouched") {
        Guarded<MAX_PATH> result(before);
        FindOpenCommandProgram(name, folder, result.data());
        EXPECT_TRUE(result.GuardIntact()) << name;
        return result.str();
    }
};
std::string ProgramLookup::base, ProgramLookup::program, ProgramLookup::tool, ProgramLookup::install;

TEST_F(ProgramLookup, OpenCommandNamesTheProgram) {
    EXPECT_EQ(program, Find("doc.h1unq", install.c_str())) << "unquoted command shortened to an existing file";
    EXPECT_EQ(program, Find("sub\\DOC.H1UNQ", install.c_str())) << "extensions ignore case";
    EXPECT_EQ(tool, Find("doc.h1quo", install.c_str())) << "text between the first two quotes, blanks included";
    EXPECT_EQ("C:\\Never Closed\\x.exe %1", Find("doc.h1open", install.c_str()))
        << "an unclosed quote takes the rest of the command";
}

TEST_F(ProgramLookup, FallsBackToTheInstallFolderWithoutAUsableCommand) {
    EXPECT_EQ(install + "\\doc.h1nocmd", Find("doc.h1nocmd", install.c_str())) << "class without open command";
    EXPECT_EQ(install + "\\doc.h1nocls", Find("doc.h1nocls", install.c_str())) << "extension without class";
    EXPECT_EQ(install + "\\doc.h1gone", Find("doc.h1gone", install.c_str()))
        << "no part of the command names an existing file";
    EXPECT_EQ(install + "\\doc.h1nocmd", Find("doc.h1nocmd", (install + "\\").c_str()));
}

TEST_F(ProgramLookup, UnregisteredExtensionLeavesTheResultUntouched) {
    EXPECT_EQ("untouched", Find("doc.h1none", install.c_str()));
    EXPECT_EQ("", Find("doc.h1none", install.c_str(), ""));
    // The extension is taken from the final component only.
    std::string got = Find("folder.h1unq\\readme", install.c_str());
    EXPECT_NE(program, got) << "a dot in a folder name is no extension";
    got = Find("folder.h1unq\\readme.h1none", install.c_str());
    EXPECT_EQ("untouched", got);
}

TEST_F(ProgramLookup, ExtensionIsTakenAfterTheLastRealSeparator) {
    // "doc.h1unq" then 0x95 0x5C then "readme": on code page 932 the 0x5C is a trail byte,
    // so the whole text is one name whose extension (".h1unq..readme") is not registered.
    const char* name = "doc.h1unq\x95\x5C" "readme";
    std::string got = Find(name, install.c_str());
    if (GetOEMCP() == 932) {
        EXPECT_EQ("untouched", got) << "the trail byte 0x5C must not end a folder name";
    } else {
        EXPECT_NE(program, got) << "here 0x5C is a separator, so \"doc.h1unq\" is a folder";
    }
}

TEST_F(ProgramLookup, ExpandPathLooksUpProgramsOnlyWhenAsked) {
    EXPECT_EQ(program, Expand("doc.h1unq", install.c_str(), true));
    EXPECT_EQ(tool, Expand("doc.h1quo", install.c_str(), true));
    EXPECT_EQ(install + "\\doc.h1nocmd", Expand("doc.h1nocmd", install.c_str(), true));
    EXPECT_EQ(install + "\\doc.h1unq", Expand("doc.h1unq", install.c_str(), false));
    EXPECT_EQ(install + "\\doc.h1unq", Expand("%root%doc.h1unq", install.c_str(), true)) << "tokens skip lookup";
    EXPECT_EQ("C:\\x\\doc.h1unq", Expand("!C:\\x\\doc.h1unq", install.c_str(), true)) << "! skips lookup";

    // A document that exists is found through the platform's executable lookup.
    stage::WriteFile(install + "\\here.h1unq", "text");
    stage::WriteFile(install + "\\here.h1quo", "text");
    EXPECT_EQ(program, Expand("here.h1unq", install.c_str(), true));
    EXPECT_EQ(tool, Expand("here.h1quo", install.c_str(), true));

    char buffer[MAX_PATH];
    strcpy(buffer, "doc.h1quo");
    ExpandPath(buffer, install.c_str(), buffer, true);
    EXPECT_EQ(tool, std::string(buffer)) << "lookup with the same buffer as input and result";
}

// ---- ExpandFolderTokens --------------------------------------------------------

namespace {

// A script in the current folder holding [Root] "Named".
class RootScript {
public:
    RootScript(const char* name, const char* named) : path_(CurrentFolder() + "\\" + name) {
        std::string text = "[Setup]\r\nName=Tokens\r\n[Root]\r\n";
        if (named) text += std::string("Named=") + named + "\r\n";
        stage::WriteFile(path_, text);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    }
    ~RootScript() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
        DeleteFileA(path_.c_str());
    }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

}  // namespace

TEST(ExpandFolderTokens, ExpandsEveryKnownTokenInTheText) {
    RootScript script("tokens_known.ini", "C:\\Inst");
    const std::string system = SystemFolder(), windows = WindowsFolder();
    const std::string desktop = WithoutTrailingBackslash(ShellDesktopFolder());
    EXPECT_EQ(system + "\\a.exe /d " + windows + "\\b", ExpandTokens("%system%\\a.exe /d %WINDOWS%\\b", script.path()));
    EXPECT_EQ("x" + windows + system + "y", ExpandTokens("x%windows%%system%y", script.path()))
        << "no separator is inserted";
    EXPECT_EQ(desktop + "\\n.txt", ExpandTokens("%Desktop%\\n.txt", script.path()));
    EXPECT_EQ("\"C:\\Inst\\x.exe\" -a " + windows, ExpandTokens("\"%root%\\x.exe\" -a %windows%", script.path()));
    EXPECT_EQ("%x%" + windows, ExpandTokens("%x%%windows%", script.path()))
        << "scanning goes on after the closing % of an unknown token";
    EXPECT_EQ("plain text", ExpandTokens("plain text", script.path()));
}

TEST(ExpandFolderTokens, UnknownAndUnclosedTokensStay) {
    RootScript script("tokens_unknown.ini", "C:\\Inst");
    for (const char* text : {"run %other% 50%", "100%", "%", "%%", "a %b", "%unknown%\\x %also%", "%ROOTX%\\y"}) {
        EXPECT_EQ(text, ExpandTokens(text, script.path()));
    }
    EXPECT_EQ("50% %windows%", ExpandTokens("50% %windows%", script.path()))
        << "a stray % pairs with the next one, so the token is \" \" and windows% stays text";
}

TEST(ExpandFolderTokens, ProgramsTokenIsKeptWithoutProgramFilesDir) {
    RootScript script("tokens_programs.ini", nullptr);
    ProgramFilesDirOverride pf;
    ASSERT_TRUE(pf.Remove());
    EXPECT_EQ("%programs%\\x.exe", ExpandTokens("%programs%\\x.exe", script.path()));
    ASSERT_TRUE(pf.Set(""));
    EXPECT_EQ("%programs%\\x.exe -w " + WindowsFolder(), ExpandTokens("%programs%\\x.exe -w %windows%", script.path()));
    ASSERT_TRUE(pf.Set("C:\\PF h1"));
    EXPECT_EQ("C:\\PF h1\\x.exe", ExpandTokens("%programs%\\x.exe", script.path()));
    EXPECT_EQ("C:\\PF h1\\x.exe", ExpandTokens("%PROGRAMS%\\x.exe", script.path()));
}

TEST(ExpandFolderTokens, RootComesFromTheScript) {
    RootScript named("tokens_root.ini", "C:\\Inst Dir");
    EXPECT_EQ("C:\\Inst Dir\\x.exe -a", ExpandTokens("%root%\\x.exe -a", named.path()));
    EXPECT_EQ("C:\\Inst Dir\\a C:\\Inst Dir\\b", ExpandTokens("%Root%\\a %root%\\b", named.path()));

    RootScript empty("tokens_root_empty.ini", "");
    EXPECT_EQ("%root%\\x.exe", ExpandTokens("%root%\\x.exe", empty.path())) << "empty Named keeps the token";
    RootScript absent("tokens_root_absent.ini", nullptr);
    EXPECT_EQ("%root%\\x.exe", ExpandTokens("%root%\\x.exe", absent.path()));
    std::string missing = CurrentFolder() + "\\tokens_no_such.ini";
    EXPECT_EQ("%root%\\x.exe", ExpandTokens("%root%\\x.exe", missing.c_str()));
}

TEST(ExpandFolderTokens, LongResultsAreCutNotOverrun) {
    RootScript script("tokens_long.ini", nullptr);
    const std::string windows = WindowsFolder();

    Guarded<32> small("%windows%\\some\\long\\path\\x.exe");
    ExpandFolderTokens(small.data(), 32, script.path());
    EXPECT_EQ((windows + "\\some\\long\\path\\x.exe").substr(0, 31), small.str());
    EXPECT_TRUE(small.GuardIntact());

    // Fifty tokens expand far beyond the 520-byte result.
    std::string text, expected;
    for (int i = 0; i < 50; ++i) {
        text += "%windows%;";
        expected += windows + ";";
    }
    Guarded<kExpandedSize> big(text.c_str());
    ExpandFolderTokens(big.data(), kExpandedSize, script.path());
    EXPECT_EQ(expected.substr(0, kExpandedSize - 1), big.str());
    EXPECT_TRUE(big.GuardIntact());

    Guarded<kExpandedSize> plain(std::string(600, 'z').c_str());
    ExpandFolderTokens(plain.data(), kExpandedSize, script.path());
    EXPECT_EQ(std::string(kExpandedSize - 1, 'z'), plain.str());
    EXPECT_TRUE(plain.GuardIntact());
}

// ---- DefaultInstallFolder ------------------------------------------------------

TEST(DefaultInstallFolder, TokensNameWellKnownFolders) {
    ProgramFilesDirOverride pf;
    ASSERT_TRUE(pf.Set("C:\\PF h1"));
    EXPECT_EQ("C:\\PF h1\\Foo", DefaultFolder("%programs%\\Foo"));
    EXPECT_EQ("C:\\PF h1", DefaultFolder("%programs%"));
    EXPECT_EQ(WindowsFolder() + "\\x", DefaultFolder("%WINDOWS%\\x")) << "tokens ignore case";
    EXPECT_EQ(SystemFolder() + "\\Sub\\Foo", DefaultFolder("%System%\\Sub\\Foo"));


    ASSERT_TRUE(pf.Remove());
    EXPECT_EQ(WindowsFolder() + "\\Foo", DefaultFolder("%programs%\\Foo")) << "missing ProgramFilesDir";
    ASSERT_TRUE(pf.Set(""));
    EXPECT_EQ(WindowsFolder() + "\\Foo", DefaultFolder("%programs%\\Foo")) << "empty ProgramFilesDir";
}

TEST(DefaultInstallFolder, OtherNamesGoToTheRootOfTheSystemDrive) {
    const std::string root = SystemDriveRoot();
    EXPECT_EQ("C:\\", root) << "Wine keeps its system folder on C:";
    EXPECT_EQ(root, DefaultFolder(""));
    EXPECT_EQ(root + "Foo", DefaultFolder("Foo"));
    EXPECT_EQ(root + "Company\\Foo", DefaultFolder("Company\\Foo"));
    EXPECT_EQ(root + "%xyz\\\\Foo", DefaultFolder("%xyz%\\Foo")) << "the closing % becomes a backslash";
    EXPECT_EQ(root + "%xyz\\Foo", DefaultFolder("%xyz%Foo"));
    EXPECT_EQ(root + "%root\\\\Foo", DefaultFolder("%root%\\Foo")) << "root is no token here";
    EXPECT_EQ(root + "%Foo", DefaultFolder("%Foo")) << "no closing %";
    EXPECT_EQ(root + "Foo%windows%", DefaultFolder("Foo%windows%")) << "a token only counts at the start";
}

TEST(DefaultInstallFolder, OnlyABackslashIsDroppedAfterAFolderEndingInOne) {
    ProgramFilesDirOverride pf;
    ASSERT_TRUE(pf.Set("C:\\PF h1\\"));
    EXPECT_EQ("C:\\PF h1\\Foo", DefaultFolder("%programs%\\Foo")) << "no doubled separator";
    EXPECT_EQ("C:\\PF h1\\Foo", DefaultFolder("%programs%Foo")) << "a letter after the token is kept";
    EXPECT_EQ("C:\\PF h1\\\\Foo", DefaultFolder("%programs%\\\\Foo")) << "only one backslash is dropped";
    EXPECT_EQ("C:\\PF h1\\", DefaultFolder("%programs%"));

    ASSERT_TRUE(pf.Set("C:\\PF h1"));
    EXPECT_EQ("C:\\PF h1\\Foo", DefaultFolder("%programs%\\Foo"));
    EXPECT_EQ("C:\\PF h1Foo", DefaultFolder("%programs%Foo")) << "nothing is added or dropped";
}

TEST(DefaultInstallFolder, LongNamesAreCutNotOverrun) {
    const std::string root = SystemDriveRoot();
    Guarded<MAX_PATH> plain;
    DefaultInstallFolder(std::string(300, 'n').c_str(), nullptr, plain.data());
    EXPECT_EQ((root + std::string(300, 'n')).substr(0, 259), plain.str());
    EXPECT_TRUE(plain.GuardIntact());

    Guarded<MAX_PATH> known;
    DefaultInstallFolder(("%windows%\\" + std::string(300, 'k')).c_str(), nullptr, known.data());
    EXPECT_EQ((WindowsFolder() + "\\" + std::string(300, 'k')).substr(0, 259), known.str());
    EXPECT_TRUE(known.GuardIntact());

    // Unknown tokens of every length around and beyond the buffer size.
    for (size_t length = 240; length <= 700; ++length) {
        std::string name = "%" + std::string(length, 't') + "%\\Foo";
        std::string expected = (root + "%" + std::string(length, 't') + "\\\\Foo").substr(0, 259);
        Guarded<MAX_PATH> result;
        DefaultInstallFolder(name.c_str(), nullptr, result.data());
        ASSERT_EQ(expected, result.str()) << "token of " << length << " bytes";
        ASSERT_TRUE(result.GuardIntact()) << "token of " << length << " bytes";
    }
}

