// Removal of the installed files from a hand-written record, and the list of
// what is left afterwards.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string.h>
#include <algorithm>
#include <functional>
#include <stdlib.h>
#include <string>
#include <vector>
#include "run/progress.h"
#include "run/run_state.h"
#include "base/text.h"
#include "fixtures.h"
#include "recording_channel.h"
#include "stage.h"
#include "ui_driver.h"
#include "uninstall/removal.h"
#include "uninstall/removal_plan.h"

namespace {

// The paths scheduled for deletion at restart that lie under folder.
std::vector<std::string> PendingDeletionsUnder(const std::string& folder) {
    std::vector<std::string> out;
    for (const PendingRename& p : PendingRenames())
        if (p.to.empty() && _strnicmp(p.from.c_str(), folder.c_str(), folder.size()) == 0) out.push_back(p.from);
    return out;
}

// The listing's text after a header line, and its total (each path and its line end).
std::string Listed(const std::vector<std::string>& paths) {
    std::string out = "Header\n";
    for (const std::string& p : paths) out += p + "\n";
    return out;
}
size_t Cost(const std::vector<std::string>& paths) { return Listed(paths).size() - strlen("Header\n"); }

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 100 && !done(); ++i) Sleep(100);
    return done();
}

// Links made on the host, which Wine lets a program start: to a program a Unix link to
// a folder is what a junction is (a reparse point, followed on every open), and one under
// the prefix's dosdevices\unc is a share of this computer. They go on the host too, never
// through a folder walk, which would follow them into what they name.
class HostLinks {
public:
    ~HostLinks() {
        for (const auto& m : made_) {
            Shell("rm -f '" + m.first + "'");
            WaitFor([&] { return !stage::Exists(m.second); });
        }
    }
    static bool Available() { return !UnixPath("C:\\").empty() && stage::Exists("Z:\\bin\\sh"); }
    bool Folder(const std::string& link, const std::string& target) {
        std::string unixLink = UnixPath(link.substr(0, link.rfind('\\'))) + "/" + link.substr(link.rfind('\\') + 1);
        return Make(unixLink, UnixPath(target), link);
    }
    bool Share(const std::string& server) {  // \\server\C$ onto drive C:
        const char* prefix = getenv("WINEPREFIX");
        std::string folder = std::string(prefix ? prefix : "") + "/dosdevices/unc/" + server;
        std::string reached = "\\\\" + server + "\\C$\\windows";
        return prefix && Make(folder + "/C$", "../../c:", reached, "mkdir -p '" + folder + "' && ");
    }

private:
    static std::string UnixPath(const std::string& path) {
        using Call = char*(CDECL*)(const WCHAR*);
        auto call = reinterpret_cast<Call>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
        char* unix = call ? call(ui::Widen(path.c_str()).c_str()) : nullptr;
        std::string out = unix ? unix : "";
        HeapFree(GetProcessHeap(), 0, unix);
        return out;
    }
    static void Shell(const std::string& command) {
        std::string line = "sh -c \"" + command + "\"";
        STARTUPINFOA startup{sizeof startup};
        PROCESS_INFORMATION process{};
        if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    bool Make(const std::string& unixLink, const std::string& target, const std::string& reached,
              const std::string& before = "") {
        Shell(before + "rm -f '" + unixLink + "' && ln -s '" + target + "' '" + unixLink + "'");
        made_.push_back({unixLink, reached});
        return !target.empty() && WaitFor([&] { return stage::Exists(reached); });
    }
    std::vector<std::pair<std::string, std::string>> made_;  // the link, a path that reaches through it
};

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}

std::string ShortPath(const std::string& path) {
    char out[MAX_PATH] = "";
    DWORD n = GetShortPathNameA(path.c_str(), out, sizeof out);
    return n && n < sizeof out ? out : "";
}

std::string Leaf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

class RemovalTest : public testing::Test {
protected:
    void SetUp() override {
        base_ = "C:\\stage\\removal_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        stage::DeleteTree(base_);
        app_ = base_ + "\\App";
        stage::MakeFolders(app_);
        ::Run().removalAtRestart = false;
    }
    void TearDown() override {
        ::Run().removalAtRestart = false;
        ::Run().originalScript[0] = 0;
    }

    // The record lies outside the install folder, which holds only what a test puts there;
    // a new name for each record, so that no cached copy is read.
    void WriteRecord(const std::string& name, std::vector<std::string> lines) {
        std::string record = base_ + "\\" + name;
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, record.c_str());
        lines.insert(lines.begin(), {"[Root]", "Named=" + app_});
        stage::WriteFile(record, Crlf(lines));
    }
    std::string App(const std::string& relative) const { return app_ + "\\" + relative; }
    void Put(const std::string& relative) { stage::WriteFile(App(relative), relative); }
    void Folder(const std::string& relative) { stage::MakeFolders(App(relative)); }
    std::string List() {
        std::vector<char> buffer(8192, 0);
        strcpy(buffer.data(), "Header\n");
        ListRemainingFiles(buffer.data(), buffer.size());
        return buffer.data();
    }

    std::string base_, app_;
    PendingSnapshot pending_;
};

TEST_F(RemovalTest, DeletePatternsRemoveMatchingFilesButNeverFolders) {
    for (const char* f : {"a.log", "b.LOG", "keep.txt", "d.log\\inner.log", "sub\\x.tmp", "sub\\y.tmp", "sub\\z.dat"})
        Put(f);
    stage::WriteFile(base_ + "\\Other\\o.log", "o");
    WriteRecord("record.ini", {"[Del]", "0=*.log", "1=%root%sub\\*.tmp", "2=!" + base_ + "\\Other\\*.log",
                               "4=keep.txt"});

    std::vector<std::string> matches = {App("a.log"), App("b.LOG"), App("sub\\x.tmp"), App("sub\\y.tmp"),
                                        base_ + "\\Other\\o.log"};
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), Cost(matches)) << "every file match counts, no folder";
    RemoveInstalledFiles();

    for (const std::string& m : matches) EXPECT_FALSE(stage::Exists(m)) << m << " not deleted";
    EXPECT_TRUE(stage::Exists(App("d.log\\inner.log"))) << "a folder matching the pattern was deleted";
    EXPECT_TRUE(stage::Exists(App("sub\\z.dat")));
    EXPECT_TRUE(stage::Exists(App("keep.txt"))) << "the pattern list ends at its first gap";
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), 0u);
}

TEST_F(RemovalTest, RecordedFilesAndFoldersGoChildrenFirst) {
    for (const char* f : {"f0.dll", "f1.dll", "f3.dll", "f4.dll", "f5.dll", "c\\user file.txt", "g\\user file.txt"})
        Put(f);
    for (const char* d : {"a\\b", "d", "e", "h", "z"}) Folder(d);
    WriteRecord("record.ini", {"[CopiedFile]", "0=" + App("f0.dll"), "1=" + App("f1.dll"),
                               "2=" + App("f2.dll"),  // already deleted by the user
                               "4=" + App("f4.dll"), "Count=5", "5=" + App("f5.dll"), "[MakedDirectory]", "0=" + app_,
                               "1=" + App("a"), "2=" + App("a\\b"), "4=" + App("c"), "Count=5", "5=" + App("d"),
                               "[DirRemove]", "0=z", "1=e", "2=%root%g", "4=h"});

    RemoveInstalledFiles();

    for (const char* f : {"f0.dll", "f1.dll", "f4.dll"}) EXPECT_FALSE(stage::Exists(App(f))) << f << " not deleted";
    EXPECT_TRUE(stage::Exists(App("f5.dll"))) << "a key at or above Count was used";
    EXPECT_FALSE(stage::Exists(App("a"))) << "a\\b must go before its parent a";
    EXPECT_FALSE(stage::Exists(App("e")));
    struct {
        const char* folder;
        const char* why;
    } kept[] = {{"c", "a folder holding files"}, {"d", "a folder at or above Count"}, {"g", "a folder holding files"},
                {"h", "the folder list ends at its first gap"}, {"z", "the folder list starts at 1"}};
    for (const auto& k : kept) EXPECT_TRUE(stage::Exists(App(k.folder))) << k.folder << " removed: " << k.why;

    std::vector<std::string> left = {App("g"), App("c"), app_};  // folders to remove, made folders, install folder
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), Cost(left));
    EXPECT_EQ(List(), Listed(left));
    char small[24 + 8];  // the text is cut at the buffer's end, the total counts what did not fit
    memset(small, 'G', sizeof small);
    strcpy(small, "Left:\n");
    EXPECT_EQ(ListRemainingFiles(small, 24), Cost(left));
    EXPECT_EQ(std::string(small), ("Left:\n" + Listed(left).substr(strlen("Header\n"))).substr(0, 23));
    EXPECT_EQ(std::string(small + 24, 8), "GGGGGGGG") << "written past the buffer";
    EXPECT_FALSE(::Run().removalAtRestart) << "set without [Del] \"Reboot\"";
    EXPECT_TRUE(PendingDeletionsUnder(base_).empty()) << "scheduled without [Del] \"Reboot\"";
}

// Entry 0 is the install folder, which goes with the uninstaller itself.
TEST_F(RemovalTest, InstallFolderIsListedOnlyWithForeignContent) {
    WriteRecord("record.ini", {"[Del]", "Reboot=1", "[MakedDirectory]", "0=" + app_, "Count=1"});
    RemoveInstalledFiles();
    EXPECT_TRUE(stage::Exists(app_)) << "entry 0 was removed";

    for (const char* f : {"Setup.exe", "setup.INI", ".hidden"}) Put(f);
    Folder(".dot folder");
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), 0u) << "the uninstaller's own files and dot names do not count";
    EXPECT_EQ(List(), Listed({}));
    EXPECT_FALSE(::Run().removalAtRestart) << "nothing is left, so nothing waits for the restart";

    Folder("user folder");
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), app_.size() + 1) << "a folder of the user's counts";
    EXPECT_TRUE(PendingDeletionsUnder(base_).empty()) << "counting alone schedules nothing";
    EXPECT_TRUE(::Run().removalAtRestart) << "counting with \"Reboot\" marks the restart";

    ::Run().removalAtRestart = false;
    EXPECT_EQ(List(), Listed({app_}));
    EXPECT_TRUE(::Run().removalAtRestart);
    EXPECT_EQ(PendingDeletionsUnder(base_), std::vector<std::string>{app_}) << "the install folder is scheduled";
}

// Pattern matches, then the recorded files in reverse order, the made folders and the
// install folder; with "Reboot" each is scheduled. A read-only file goes only with "Force".
TEST_F(RemovalTest, LeftoversAreListedInOrderAndScheduled) {
    for (const char* f : {"in use.dll", "ro.dll", "also in use.dll", "ro.log", "made\\user.txt"}) Put(f);
    for (const char* f : {"ro.dll", "ro.log"}) SetFileAttributesA(App(f).c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::string> record = {"[Del]", "0=*.log", "Reboot=1", "[CopiedFile]", "0=" + App("in use.dll"),
                                       "1=" + App("ro.dll"), "2=" + App("also in use.dll"), "Count=3",
                                       "[MakedDirectory]", "0=" + app_, "1=" + App("made"), "Count=2"};
    WriteRecord("plain.ini", record);
    {
        LockedFile a(App("in use.dll")), b(App("also in use.dll"));
        ASSERT_TRUE(a.held() && b.held());
        RemoveInstalledFiles();
    }
    std::vector<std::string> left = {App("ro.log"),     App("also in use.dll"), App("ro.dll"),
                                     App("in use.dll"), App("made"),            app_};
    for (const std::string& p : left) EXPECT_TRUE(stage::Exists(p)) << p << " removed";
    EXPECT_EQ(List(), Listed(left));
    EXPECT_TRUE(::Run().removalAtRestart);
    EXPECT_EQ(PendingDeletionsUnder(base_), left) << "every leftover is scheduled once, in order";

    record.insert(record.begin() + 1, "Force=1");  // into [Del]
    WriteRecord("forced.ini", record);
    RemoveInstalledFiles();
    EXPECT_FALSE(stage::Exists(App("ro.dll")) || stage::Exists(App("ro.log"))) << "kept with \"Force\"";
}

// Every entry the removal meets is told once, with what became of it and why; an entry
// that names nothing is not told. The leftover listing tells each path it lists, under
// a heading that says whether the user sees them.
TEST_F(RemovalTest, EachDecisionIsToldWithItsReason) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    for (const char* f : {"a.txt", "x.log", "ro.dll", "full\\user.txt"}) Put(f);
    for (const char* f : {"asfile", "empty", "dr"}) Folder(f);
    SetFileAttributesA(App("ro.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string record = base_ + "\\told.ini", cut = App(std::string(300, 'z'));
    WriteRecord("told.ini", {"[Del]", "0=*.log", "1=%windows%\\*.tmp", "ShowError=1",
                             "[CopiedFile]", "0=" + App("a.txt"), "1=" + App("ro.dll"), "2=" + App("asfile"),
                             "3=" + cut, "4=" + record, "5=" + App("gone.txt"), "Count=6", "[DirRemove]",
                             "1=dr", "[MakedDirectory]", "0=" + app_, "1=" + App("full"),
                             "2=" + App("empty"), "Count=3"});
    testing_channel::RecordingChannel channel;
    testing_channel::RecordingReport report;
    {
        testing_channel::Use use(&channel, &report);
        RemoveInstalledFiles();
    }
    const struct {
        Outcome outcome;
        const char* word;
        std::string object;
        const char* detail;
    } expected[] = {
        {Outcome::Removed, "remove", App("x.log"), "([Del] pattern)"},
        {Outcome::Kept, "refused", std::string(windows) + "\\*.tmp",
         "(a wildcard over a protected folder or in the Windows folder: never applied)"},
        {Outcome::Kept, "refused", record, "(the uninstall's own file, or a path it never acts on)"},
        {Outcome::Kept, "refused", cut.substr(0, MAX_PATH - 1) + "...", "(longer than 259 bytes: never removed)"},
        {Outcome::Kept, "stays", App("asfile"), "(a folder recorded as a file: never removed)"},
        {Outcome::Kept, "stays", App("ro.dll"), "(read-only, and [Del] \"Force\" is 0)"},
        {Outcome::Removed, "remove", App("a.txt"), ""},
        {Outcome::Removed, "remove-folder", App("dr"), "([DirRemove])"},
        {Outcome::Removed, "remove-folder", App("empty"), ""},
        {Outcome::Kept, "stays", App("full"), "(not empty)"},
    };
    std::string told;
    for (const testing_channel::Action& a : report.actions) told += a.word + " " + a.object + " " + a.detail + "\n";
    ASSERT_EQ(sizeof expected / sizeof expected[0], report.actions.size()) << told;
    for (size_t i = 0; i < report.actions.size(); ++i) {
        const testing_channel::Action& a = report.actions[i];
        EXPECT_EQ(expected[i].outcome, a.outcome) << "action " << i << " " << a.object;
        EXPECT_EQ(expected[i].word, a.word) << "action " << i;
        EXPECT_EQ(expected[i].object, a.object) << "action " << i;
        EXPECT_EQ(expected[i].detail, a.detail) << "action " << i;
    }
    EXPECT_EQ(std::vector<std::string>{"Files and folders"}, report.sections);
    EXPECT_TRUE(channel.seen.empty()) << "the removal itself asks nothing";
    EXPECT_TRUE(stage::Exists(record) && stage::Exists(App("ro.dll")) && stage::Exists(App("full\\user.txt")));
    EXPECT_FALSE(stage::Exists(App("a.txt")) || stage::Exists(App("x.log")) || stage::Exists(App("empty")));

    // The leftovers as counted (no buffer): each told in the order the report lists them.
    testing_channel::RecordingReport leftovers;
    size_t total = 0;
    {
        testing_channel::Use use(&channel, &leftovers);
        total = ListRemainingFiles(nullptr, 0);
    }
    std::vector<std::string> listed = {cut.substr(0, MAX_PATH - 1) + "...", App("asfile"), App("ro.dll"), App("full"),
                                       app_};
    ASSERT_EQ(listed.size(), leftovers.actions.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ("left", leftovers.actions[i].word) << i;
        EXPECT_EQ(listed[i], leftovers.actions[i].object) << i;
        EXPECT_EQ(Outcome::Told, leftovers.actions[i].outcome) << i << ": nothing is scheduled without \"Reboot\"";
    }
    EXPECT_EQ(std::vector<std::string>{"Left over: listed in \"Could not delete these...\""}, leftovers.sections);
    EXPECT_EQ(Cost(listed), total);
    EXPECT_EQ(List(), Listed(listed)) << "the buffered listing names the same paths";
    EXPECT_TRUE(PendingDeletionsUnder(base_).empty());
}

// Whatever the record and the patterns say, the removal keeps its own record, folders
// named as files, files that a pattern matches only by their short names, the files
// that an overlong entry's first bytes would name, and the system's and the user's
// folders; none of these is ever scheduled for the restart either.
TEST_F(RemovalTest, GuardsKeepWhatTheInstallDidNotMake) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string win = windows;
    for (const char* f : {"index.html", "page.htm", "a.logx", "b.log", "docs\\user.txt"}) Put(f);
    const std::string other = base_ + "\\other.ini", record = base_ + "\\record.ini";
    stage::WriteFile(other, "another ini beside the record");
    const std::string swept = win + "\\guard-swept.tmp", named = win + "\\guard-named.tmp";
    stage::WriteFile(swept, "x");
    stage::WriteFile(named, "x");
    // An empty folder of the user's shell folders: removable, were it not protected.
    const std::string shellFolder = base_ + "\\Shell Folder";
    stage::MakeFolders(shellFolder);
    const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, kShellFolders, "Guard Test", shellFolder.c_str()));
    // An entry too long for a path, whose first 259 bytes name an innocent file.
    const std::string innocentFolder = base_ + "\\Innocent";
    std::string innocent = innocentFolder + "\\" + std::string(MAX_PATH - 2 - innocentFolder.size(), 'i');
    ASSERT_EQ(innocent.size(), (size_t)MAX_PATH - 1);
    ASSERT_TRUE(stage::WriteFile(innocent, "innocent"));
    const std::string overlong = innocent + ".dll";
    std::vector<std::string> before;
    for (const PendingRename& p : PendingRenames()) before.push_back(p.from);

    WriteRecord("record.ini", {"[Del]", "0=*.htm", "1=*.log", "2=!" + base_ + "\\*.ini", "3=%windows%\\guard-*.tmp",
                               "4=%windows%\\guard-named.tmp", "Reboot=1", "[CopiedFile]", "0=" + App("."),
                               "1=" + App(".."), "2=" + App("docs"), "3=" + overlong, "4=" + record, "Count=5",
                               "[DirRemove]", "1=%windows%", "2=!C:\\", "3=!" + shellFolder, "[MakedDirectory]",
                               "0=C:\\", "1=" + win, "Count=2"});
    RemoveInstalledFiles();
    bool recordKept = stage::Exists(record);
    std::string listed = List();
    std::vector<std::string> scheduled;
    for (const PendingRename& p : PendingRenames())
        if (std::find(before.begin(), before.end(), p.from) == before.end()) scheduled.push_back(p.from);
    HKEY shell;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &shell) == ERROR_SUCCESS) {
        RegDeleteValueA(shell, "Guard Test");
        RegCloseKey(shell);
    }

    EXPECT_TRUE(recordKept) << "a pattern deleted the record in the middle of the uninstall";
    struct {
        std::string path;
        bool kept;
        const char* why;
    } rows[] = {
        {App("page.htm"), false, "a long name that matches"},
        {App("index.html"), true, "*.htm matches index.html only by its short name"},
        {App("b.log"), false, "a long name that matches"},
        {App("a.logx"), true, "*.log matches a.logx only by its short name"},
        {other, false, "an ini file beside the record, matched by the pattern"},
        {App("docs\\user.txt"), true, "a recorded folder went with the user's file in it"},
        {app_, true, "a recorded \".\" removed the install folder"},
        {innocent, true, "an overlong entry was cut into the name of another file"},
        {swept, true, "a wildcard pattern swept the Windows folder"},
        {named, false, "a single named file in the Windows folder may go"},
        {shellFolder, true, "an empty shell folder of the user was removed"},
    };
    for (const auto& r : rows) EXPECT_EQ(stage::Exists(r.path), r.kept) << r.path << ": " << r.why;
    EXPECT_EQ(listed, Listed({innocent + "...", App("docs"), App(".."), App(".")}))
        << "cut entries are marked; folders named as files are told; no protected folder is listed";
    EXPECT_EQ(scheduled, std::vector<std::string>()) << "only what is really the install's may wait for the restart";
    DeleteFileA(swept.c_str());
}

// Counts no writer makes walk only the keys that exist: "2147483648" reads as the most
// negative number, whose count minus one must not wrap into two billion steps.
TEST_F(RemovalTest, AbsurdCountsWalkOnlyTheKeysPresent) {
    for (const char* count : {"2147483648", "2147483647", "-1", "99999999999"}) {
        Put("a.dll");
        WriteRecord(std::string("count ") + count + ".ini",
                    {"[CopiedFile]", "0=" + App("a.dll"), std::string("Count=") + count, "[MakedDirectory]",
                     "0=" + app_, std::string("Count=") + count});
        DWORD start = GetTickCount();
        RemoveInstalledFiles();
        size_t left = ListRemainingFiles(nullptr, 0);
        EXPECT_LT(GetTickCount() - start, 2000u) << "Count=" << count << " walked far beyond its keys";
        bool positive = count[0] != '-' && strcmp(count, "2147483648") != 0;
        EXPECT_EQ(stage::Exists(App("a.dll")), !positive) << "Count=" << count;
        EXPECT_EQ(left, positive ? 0u : app_.size() + 1) << "Count=" << count << ": only the folder with a.dll is left";
    }
}

// Every spelling of a protected folder is that folder: its short 8.3 name, a ".." on the
// way, a link (a junction) to it or above it, a share of this computer; paths past the
// system's normalisation are refused outright. Whatever these reach survives the
// uninstall and is never listed, while the product's own files still go.
TEST_F(RemovalTest, ProtectedPlacesWhateverTheirSpelling) {
    if (!HostLinks::Available()) GTEST_SKIP() << "links are made through Wine's host side";
    const std::string windows = SpecialFolder(CSIDL_WINDOWS), docs = SpecialFolder(CSIDL_PERSONAL);
    const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY), programs = SpecialFolder(CSIDL_PROGRAM_FILES);
    const std::string shell = base_ + "\\Spelled Shell Folder", links = "C:\\stage\\guard links";
    const std::string spelled = windows + "\\guard-spelled", exe = base_ + "\\Setup program.exe";
    for (const std::string& f : {shell, links, spelled}) stage::MakeFolders(f);
    const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, kShellFolders, "Guard Spelled", shell.c_str()));
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    HostLinks made;
    ASSERT_TRUE(made.Folder(links + "\\to windows", windows) && made.Folder(links + "\\to spelled", spelled) &&
                made.Folder(links + "\\to shell", shell) && made.Folder(links + "\\to base", base_) &&
                made.Share("localhost") && made.Share("127.0.0.1") && made.Share(computer));
    const std::vector<std::string> foreign = {docs + "\\guard-docs.tmp", programs + "\\guard-programs.tmp",
                                              spelled + "\\a.tmp"};
    for (const std::string& f : foreign) ASSERT_TRUE(stage::WriteFile(f, "foreign")) << f;
    for (const char* f : {"own.tmp", "unc.dll", "device.dll", "slashes.dll", "kept\\x.txt"}) Put(f);
    for (const char* f : {"gone", "unc folder", "device folder"}) Folder(f);
    const std::string c = app_.substr(2), unc = "\\\\localhost\\C$" + c;
    WriteRecord("install record.ini",
                {"[Del]", "Reboot=1", "0=%desktop%\\..\\" + Leaf(ShortPath(docs)) + "\\guard-*.tmp",
                 "1=!" + ShortPath(programs) + "\\guard-*.tmp", "2=!" + links + "\\to windows\\guard-spelled\\*.tmp",
                 "3=!" + links + "\\to spelled\\*.tmp", "4=!" + unc + "\\*.dll", "5=!\\\\?\\" + app_ + "\\*.dll",
                 "6=*.tmp", "[CopiedFile]", "0=" + unc + "\\unc.dll", "1=\\\\?\\" + App("device.dll"),
                 "2=//?/" + App("slashes.dll"), "Count=3", "[DirRemove]", "1=!" + ShortPath(shell),
                 "2=!" + unc + "\\unc folder", "3=!\\\\.\\" + App("device folder"), "4=gone", "[MakedDirectory]",
                 "0=" + app_, "1=" + unc + "\\kept", "Count=2"});
    const std::string record = ::Run().scriptPath, original = base_ + "\\original script.ini";
    stage::WriteFile(exe, "ours");
    stage::WriteFile(original, "ours");
    CopyBounded(::Run().originalScript, sizeof ::Run().originalScript, original.c_str());

    RemovalGuards guards(record.c_str(), exe.c_str());
    struct Row {
        std::string path;
        bool folder, pattern;  // whether it may be removed as a folder, swept by "*.tmp"
        const char* why;
        bool reaches = true;   // Wine's shares know no name with a trailing dot
    } rows[] = {
        {app_, true, true, "the product's own folder"},
        {links + "\\to base\\App", true, true, "the product's folder through a link"},
        {ShortPath(docs), false, false, "a shell folder by its short name"},
        {desktop + "\\..\\" + Leaf(ShortPath(docs)), false, false, "the same after a \"..\""},
        {ShortPath(programs), false, false, "Program Files by its short name"},
        {ShortPath(shell), false, false, "a registered shell folder by its short name"},
        {links + "\\to shell", false, false, "a link to a shell folder"},
        {links + "\\to windows", false, false, "a link to the Windows folder"},
        {links + "\\to windows\\guard-spelled", true, false, "below the Windows folder through a link above"},
        {links + "\\to spelled", true, false, "a link into the Windows folder"},
        {"\\\\localhost\\C$" + c, false, false, "a share of this computer by localhost"},
        {"\\\\LOCALHOST.\\C$" + c, false, false, "by localhost with a trailing dot", false},
        {"\\\\127.0.0.1\\C$" + c, false, false, "by the loopback address"},
        {"\\\\" + std::string(computer) + "\\C$" + c, false, false, "by the computer's own name"},
        {"\\\\?\\" + app_, false, false, "past the system's normalisation"},
        {"//?/" + app_, false, false, "the same with forward slashes"},
        {"\\\\.\\" + app_, false, false, "a device path"},
        {"\\??\\" + app_, false, false, "an object manager path", false},
    };
    for (const Row& r : rows) {
        EXPECT_TRUE(!r.reaches || stage::Exists(r.path)) << r.path << " reaches nothing: " << r.why;
        EXPECT_EQ(guards.MayRemoveFolder(r.path.c_str()), r.folder) << r.path << ": " << r.why;
        EXPECT_EQ(guards.MayApplyPattern((r.path + "\\").c_str(), "*.tmp"), r.pattern) << r.path << ": " << r.why;
    }
    const std::pair<std::string, bool> files[] = {
        {App("unc.dll"), true},           {ShortPath(record), false}, {links + "\\to base\\" + Leaf(record), false},
        {ShortPath(original), false},     {links + "\\to base\\original script.ini", false},
        {ShortPath(exe), false},          {unc + "\\unc.dll", false},  {"\\\\?\\" + App("unc.dll"), false},
    };
    for (const auto& f : files) {
        EXPECT_TRUE(stage::Exists(f.first)) << f.first << " reaches nothing";
        EXPECT_EQ(guards.MayDeleteFile(f.first.c_str()), f.second) << f.first;
    }
    std::vector<std::string> before;
    for (const PendingRename& p : PendingRenames()) before.push_back(p.from);

    RemoveInstalledFiles();
    std::string listed = List();

    for (const std::string& f : foreign) EXPECT_EQ(stage::ReadFile(f), "foreign") << f << " was removed";
    for (const char* f : {"unc.dll", "device.dll", "slashes.dll", "kept\\x.txt", "unc folder", "device folder"})
        EXPECT_TRUE(stage::Exists(App(f))) << f << " was removed through a share of this computer or a device path";
    EXPECT_TRUE(stage::Exists(shell)) << "an empty shell folder was removed by its short name";
    EXPECT_FALSE(stage::Exists(App("own.tmp")) || stage::Exists(App("gone"))) << "the product's own things stay";
    EXPECT_EQ(listed, Listed({app_})) << "only the install folder, which holds what was kept, may be listed";
    for (const PendingRename& p : PendingRenames()) {
        if (std::find(before.begin(), before.end(), p.from) == before.end()) {
            EXPECT_EQ(p.from, app_) << "scheduled for the restart";
        }
    }
    for (const std::string& f : foreign) DeleteFileA(f.c_str());
    stage::DeleteTree(spelled);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Guard Spelled");
        RegCloseKey(key);
    }
}

// Appends to a file in place: the same file, so every hard link to it sees the change.
bool AppendInPlace(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

// Another name of the record or the uninstaller (a hard link, a short name) is theirs,
// even when the record was written after the guards were made; a file that only looks
// like one of them (the same size and last-write time: a copy) is the product's and goes.
TEST_F(RemovalTest, OwnFilesByAnyNameAndTheirLookalikes) {
    WriteRecord("own record.ini", {"[CopiedFile]", "0=" + App("record link.ini"), "1=" + App("record twin.ini"),
                                   "2=" + App("exe twin.dll"), "3=" + App("old twin.ini"), "Count=4"});
    const std::string record = ::Run().scriptPath, exe = base_ + "\\Setup program.exe";
    ASSERT_TRUE(stage::WriteFile(exe, "the uninstaller's bytes"));
    ASSERT_TRUE(CopyFileA(record.c_str(), App("old twin.ini").c_str(), FALSE));
    RemovalGuards guards(record.c_str(), exe.c_str());
    ASSERT_TRUE(CreateHardLinkA(App("record link.ini").c_str(), record.c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkA(App("exe link.dll").c_str(), exe.c_str(), nullptr));
    Sleep(20);
    ASSERT_TRUE(AppendInPlace(App("record link.ini"), "[Written]\r\nAfter=the guards\r\n"));
    // Copies keep the last-write time: the same size and time as the record now has.
    ASSERT_TRUE(CopyFileA(record.c_str(), App("record twin.ini").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(exe.c_str(), App("exe twin.dll").c_str(), FALSE));
    WIN32_FILE_ATTRIBUTE_DATA a{}, b{};
    ASSERT_TRUE(GetFileAttributesExA(record.c_str(), GetFileExInfoStandard, &a) &&
                GetFileAttributesExA(App("record twin.ini").c_str(), GetFileExInfoStandard, &b));
    ASSERT_TRUE(a.nFileSizeLow == b.nFileSizeLow && CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0)
        << "the twin must look like the record for this test to mean anything";

    const struct {
        std::string path;
        bool may;
        const char* why;
    } rows[] = {
        {App("record link.ini"), false, "a hard link to the record, written since the guards were made"},
        {App("exe link.dll"), false, "a hard link to the uninstaller"},
        {ShortPath(record), false, "the record by its short name"},
        {App("record twin.ini"), true, "a copy of the record: the same size and time, another file"},
        {App("exe twin.dll"), true, "a copy of the uninstaller"},
        {App("old twin.ini"), true, "a copy of the record as it was when the guards were made"},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(stage::Exists(r.path)) << r.path;
        EXPECT_EQ(guards.MayDeleteFile(r.path.c_str()), r.may) << r.path << ": " << r.why;
        WIN32_FILE_ATTRIBUTE_DATA found{};
        ASSERT_TRUE(GetFileAttributesExA(r.path.c_str(), GetFileExInfoStandard, &found));
        EXPECT_EQ(guards.MayDeleteFile(r.path.c_str(), &found), r.may) << r.path << " (attributes given): " << r.why;
    }

    RemoveInstalledFiles();  // its own guards: the record as the script, this program as the executable
    EXPECT_TRUE(stage::Exists(App("record link.ini"))) << "the record went by its hard link";
    EXPECT_TRUE(stage::Exists(record));
    for (const char* f : {"record twin.ini", "exe twin.dll", "old twin.ini"})
        EXPECT_FALSE(stage::Exists(App(f))) << f << " was kept as if it were the record or the uninstaller";
}

// The original script beside the executable, when the run works on a copy, is as much
// the run's own as the record: no pattern and no record entry takes it, by any name.
TEST_F(RemovalTest, OriginalScriptIsNeverRemoved) {
    const std::string original = base_ + "\\shipped setup.ini", other = base_ + "\\other.ini";
    stage::WriteFile(original, "[Setup]");
    stage::WriteFile(other, "x");
    CopyBounded(::Run().originalScript, sizeof ::Run().originalScript, original.c_str());
    WriteRecord("record.ini", {"[Del]", "0=!" + base_ + "\\*.ini", "[CopiedFile]", "0=" + ShortPath(original),
                               "1=" + base_ + "\\.\\shipped setup.ini", "Count=2"});
    EXPECT_EQ(List(), Listed({other})) << "only the other file may go";
    RemoveInstalledFiles();
    EXPECT_EQ(List(), Listed({})) << "the original script is no leftover";
    EXPECT_TRUE(stage::Exists(original)) << "the original script was removed";
    EXPECT_TRUE(stage::Exists(::Run().scriptPath)) << "the record was removed";
    EXPECT_FALSE(stage::Exists(other)) << "the pattern no longer works";
}

// On code page 932 the last byte of 予 and 表 (0x97 0x5C, 0x95 0x5C) is no backslash: a
// folder so named holds its own files and is no pattern over its parent.
TEST_F(RemovalTest, TrailByte5CEndsNoFolder) {
    if (GetACP() != 932) GTEST_SKIP() << "the names are Shift-JIS bytes";
    const std::string folder = base_ + "\\予定表", sibling = base_ + "\\予定表外";
    if (!CreateDirectoryA(folder.c_str(), nullptr) || !CreateDirectoryA(sibling.c_str(), nullptr))
        GTEST_SKIP() << "the host's locale cannot hold Japanese file names";
    for (const char* f : {"\\Setup.exe", "\\Setup.ini"}) ASSERT_TRUE(stage::WriteFile(folder + f, "x"));
    ASSERT_TRUE(stage::WriteFile(sibling + "\\b.log", "x"));
    char full[MAX_PATH];
    ASSERT_TRUE(FullPath((folder + "\\").c_str(), full));
    EXPECT_EQ(std::string(full), folder) << "one trailing backslash dropped, the trail byte kept";
    ASSERT_TRUE(FullPath(folder.c_str(), full));
    EXPECT_EQ(std::string(full), folder);
    EXPECT_FALSE(HoldsForeignFiles(folder.c_str())) << "the folder's own files and name count as foreign";

    ASSERT_TRUE(stage::WriteFile(folder + "\\a.log", "x"));
    WriteRecord("record.ini", {"[Del]", "0=!" + folder + "\\*.log", "[MakedDirectory]", "0=" + folder, "Count=1"});
    EXPECT_EQ(List(), Listed({folder + "\\a.log", folder}));
    RemoveInstalledFiles();
    EXPECT_FALSE(stage::Exists(folder + "\\a.log")) << "the pattern in the folder did not apply";
    EXPECT_TRUE(stage::Exists(sibling + "\\b.log")) << "the pattern swept the folder beside it";
    EXPECT_EQ(List(), Listed({})) << "the install folder holding only the uninstaller is reported as left over";
    stage::WriteFile(folder + "\\user.txt", "x");
    EXPECT_EQ(List(), Listed({folder})) << "a file of the user's is left over";
}

TEST(ShellDeleteFile, DeletesFilesSilentlyButNeverFolders) {
    stage::Folder folder("shell_delete", false);
    folder.Put("file.txt", "x");
    folder.Put("tree\\inner\\deep.txt", "y");
    // What went is 0; a folder and an overlong path are refused before the shell sees them.
    EXPECT_EQ(0u, ShellDeleteFile(folder.Path("file.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, ShellDeleteFile(folder.Path("tree").c_str()));
    EXPECT_NE(0u, ShellDeleteFile(folder.Path("never there.txt").c_str())) << "nothing went";
    EXPECT_FALSE(stage::Exists(folder.Path("file.txt")));
    EXPECT_TRUE(stage::Exists(folder.Path("tree\\inner\\deep.txt"))) << "a folder went with everything in it";
    EXPECT_TRUE(stage::Exists(folder.dir()));

    // A path longer than the buffer must not delete the file its first bytes name.
    std::string shortName = folder.Path(std::string(200, 'p'));
    std::string fits = shortName + "\\" + std::string(MAX_PATH - 2 - shortName.size(), 'q');
    ASSERT_EQ(fits.size(), (size_t)MAX_PATH - 1);
    ASSERT_TRUE(stage::WriteFile(fits, "innocent"));
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, ShellDeleteFile((fits + "-and-more-than-fits.txt").c_str()));
    EXPECT_TRUE(stage::Exists(fits)) << "an overlong path was cut and another file deleted";
}

}  // namespace

// The dialog's bar and the progress-only window move once per recorded file, in the
// order the removal takes them (the last recorded first), and the step ends its part.
TEST_F(RemovalTest, TheProgressMovesOncePerRecordedFile) {
    struct Counting : FileProgress {
        size_t total = 0, ended = 0;
        std::vector<std::string> paths;
        void Begin(size_t n) override { total = n; }
        void Advance(const char* path) override { paths.push_back(path); }
        void End() override { ++ended; }
    } counting;
    for (const char* f : {"p0.txt", "p1.txt", "p2.txt"}) Put(f);
    WriteRecord("progress.ini", {"[CopiedFile]", "0=" + App("p0.txt"), "1=" + App("p1.txt"), "2=" + App("p2.txt"),
                                 "Count=3", "[MakedDirectory]", "0=" + app_, "Count=1"});
    ::Run().progress = &counting;
    RemoveInstalledFiles();
    ::Run().progress = nullptr;
    EXPECT_EQ(3u, counting.total);
    EXPECT_EQ((std::vector<std::string>{App("p2.txt"), App("p1.txt"), App("p0.txt")}), counting.paths);
    EXPECT_EQ(1u, counting.ended);
    for (const char* f : {"p0.txt", "p1.txt", "p2.txt"}) EXPECT_FALSE(stage::Exists(App(f))) << f;
}
