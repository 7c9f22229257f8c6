// Removal of the installed files from a hand-written record, and the list of
// what is left afterwards.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "app/run_state.h"
#include "script/text.h"
#include "fixtures.h"
#include "stage.h"
#include "ui_driver.h"
#include "uninstall/removal.h"

namespace {

// The paths scheduled for deletion at restart that lie under folder.
std::vector<std::string> PendingDeletionsUnder(const std::string& folder) {
    std::vector<std::string> out;
    for (const PendingRename& p : PendingRenames())
        if (p.to.empty() && p.from.size() >= folder.size() &&
            CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, p.from.c_str(), (int)folder.size(), folder.c_str(),
                           (int)folder.size()) == CSTR_EQUAL)
            out.push_back(p.from);
    return out;
}

size_t Cost(const std::vector<std::string>& paths) {
    size_t total = 0;
    for (const std::string& p : paths) total += p.size() + 1;
    return total;
}

std::string Listed(const std::vector<std::string>& paths) {
    std::string out;
    for (const std::string& p : paths) out += p + "\n";
    return out;
}

class RemovalTest : public testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        base_ = "C:\\stage\\removal_" + name;
        stage::DeleteTree(base_);
        app_ = base_ + "\\App";
        stage::MakeFolders(app_);
        UseRecord("record.ini");
        ::Run().removalAtRestart = false;
    }
    void TearDown() override { ::Run().removalAtRestart = false; }

    // The record lies outside the install folder, so that the folder holds only what a test puts there.
    void UseRecord(const std::string& name) {
        record_ = base_ + "\\" + name;
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, record_.c_str());
    }
    void WriteRecord(const std::vector<std::string>& lines) { stage::WriteFile(record_, Crlf(lines)); }
    std::string App(const std::string& relative) const { return app_ + "\\" + relative; }
    void Put(const std::string& relative) { stage::WriteFile(App(relative), relative); }
    void Folder(const std::string& relative) { stage::MakeFolders(App(relative)); }

    std::string List() {
        std::vector<char> buffer(8192, 0);
        strcpy(buffer.data(), "Header\n");
        ListRemainingFiles(buffer.data(), buffer.size());
        return buffer.data();
    }

    std::string base_, app_, record_;
    PendingSnapshot pending_;
};

TEST_F(RemovalTest, DeletePatternsRemoveMatchingFilesButNeverFolders) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string win = windows;
    stage::WriteFile(win + "\\h2 one.h2del", "1");
    stage::WriteFile(win + "\\h2 two.h2del", "2");
    stage::MakeFolders(win + "\\h2 folder.h2del");
    stage::WriteFile(win + "\\h2 folder.h2del\\inside.h2del", "3");
    Put("a.log");
    Put("b.LOG");
    Put("keep.txt");
    Folder("d.log");
    Put("d.log\\inner.log");
    Put("sub\\x.tmp");
    Put("sub\\y.tmp");
    Put("sub\\z.dat");
    stage::WriteFile(base_ + "\\Other\\o.log", "o");
    WriteRecord({"[Root]", "Named=" + app_, "[Del]", "0=*.log", "1=%root%sub\\*.tmp", "2=%windows%\\*.h2del",
                 "3=!" + base_ + "\\Other\\*.log", "5=keep.txt"});

    std::vector<std::string> matches = {App("a.log"),         App("b.LOG"),           App("sub\\x.tmp"),
                                        App("sub\\y.tmp"),    win + "\\h2 one.h2del", win + "\\h2 two.h2del",
                                        base_ + "\\Other\\o.log"};
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), Cost(matches)) << "every file match counts, no folder";
    RemoveInstalledFiles();

    for (const std::string& m : matches) EXPECT_FALSE(stage::Exists(m)) << m << " not deleted";
    EXPECT_TRUE(stage::Exists(App("d.log\\inner.log"))) << "a folder matching the pattern was deleted";
    EXPECT_TRUE(stage::Exists(win + "\\h2 folder.h2del\\inside.h2del")) << "a matching folder in the Windows folder";
    EXPECT_TRUE(stage::Exists(App("sub\\z.dat")));
    EXPECT_TRUE(stage::Exists(App("keep.txt"))) << "the pattern list ends at its first gap";
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), 0u);
    stage::DeleteTree(win + "\\h2 folder.h2del");
}

TEST_F(RemovalTest, RecordedFilesAndFoldersGoChildrenFirst) {
    for (const char* f : {"f0.dll", "f1.dll", "f3.dll", "f4.dll", "f5.dll"}) Put(f);
    for (const char* d : {"a\\b", "c", "d", "e", "g", "h", "z"}) Folder(d);
    Put("c\\user file.txt");
    Put("g\\user file.txt");
    WriteRecord({"[Root]", "Named=" + app_, "[CopiedFile]", "0=" + App("f0.dll"), "1=" + App("f1.dll"),
                 "2=" + App("f2.dll"),  // already deleted by the user
                 "4=" + App("f4.dll"), "Count=5", "5=" + App("f5.dll"), "[MakedDirectory]", "0=" + app_,
                 "1=" + App("a"), "2=" + App("a\\b"), "4=" + App("c"), "Count=5", "5=" + App("d"), "[DirRemove]",
                 "0=z", "1=e", "2=%root%g", "4=h"});

    RemoveInstalledFiles();

    for (const char* f : {"f0.dll", "f1.dll", "f4.dll"}) EXPECT_FALSE(stage::Exists(App(f))) << f << " not deleted";
    EXPECT_TRUE(stage::Exists(App("f5.dll"))) << "a key at or above Count was used";
    EXPECT_FALSE(stage::Exists(App("a"))) << "a\\b must go before its parent a";
    EXPECT_TRUE(stage::Exists(App("c"))) << "a folder holding files must stay";
    EXPECT_TRUE(stage::Exists(App("d"))) << "a folder at or above Count was removed";
    EXPECT_FALSE(stage::Exists(App("e")));
    EXPECT_TRUE(stage::Exists(App("g")));
    EXPECT_TRUE(stage::Exists(App("h"))) << "the folder list ends at its first gap";
    EXPECT_TRUE(stage::Exists(App("z"))) << "the folder list starts at 1";
    EXPECT_TRUE(stage::Exists(app_));

    std::vector<std::string> left = {App("g"), App("c"), app_};  // folders to remove, made folders, install folder
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), Cost(left));
    EXPECT_EQ(List(), "Header\n" + Listed(left));
    EXPECT_FALSE(::Run().removalAtRestart) << "set without [Del] \"Reboot\"";
    EXPECT_TRUE(PendingDeletionsUnder(base_).empty()) << "scheduled without [Del] \"Reboot\"";
}

TEST_F(RemovalTest, FirstMadeFolderIsLeftForTheUninstaller) {
    // Entry 0 is the install folder, which goes with the uninstaller itself; empty, it is no leftover.
    WriteRecord({"[Root]", "Named=" + app_, "[MakedDirectory]", "0=" + app_, "Count=1"});
    RemoveInstalledFiles();
    EXPECT_TRUE(stage::Exists(app_)) << "entry 0 was removed";
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), 0u);

    UseRecord("two.ini");
    Folder("made");
    WriteRecord({"[Root]", "Named=" + app_, "[MakedDirectory]", "0=" + app_, "1=" + App("made"), "Count=2"});
    RemoveInstalledFiles();
    EXPECT_FALSE(stage::Exists(App("made")));
    EXPECT_TRUE(stage::Exists(app_));
}

TEST_F(RemovalTest, ReadOnlyFilesGoOnlyWithForce) {
    Put("ro.dll");
    Put("ro.log");
    SetFileAttributesA(App("ro.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(App("ro.log").c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::string> record = {"[Root]", "Named=" + app_, "[CopiedFile]", "0=" + App("ro.dll"), "Count=1",
                                       "[Del]", "0=*.log"};
    WriteRecord(record);
    RemoveInstalledFiles();
    EXPECT_TRUE(stage::Exists(App("ro.dll")) && stage::Exists(App("ro.log")))
        << "read-only files were deleted without [Del] \"Force\"";
    EXPECT_EQ(List(), "Header\n" + Listed({App("ro.log"), App("ro.dll")}));

    UseRecord("forced.ini");
    record.push_back("Force=1");
    WriteRecord(record);
    RemoveInstalledFiles();
    EXPECT_FALSE(stage::Exists(App("ro.dll")));
    EXPECT_FALSE(stage::Exists(App("ro.log")));
    EXPECT_EQ(List(), "Header\n");
}

TEST_F(RemovalTest, InstallFolderIsListedOnlyWithForeignContent) {
    Put("Setup.exe");
    Put("setup.INI");
    Put(".hidden");
    Folder(".dot folder");
    WriteRecord({"[Root]", "Named=" + app_, "[Del]", "Reboot=1", "[MakedDirectory]", "0=" + app_, "Count=1"});
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), 0u) << "the uninstaller's own files and dot names do not count";
    EXPECT_EQ(List(), "Header\n");
    EXPECT_FALSE(::Run().removalAtRestart) << "nothing is left, so nothing waits for the restart";

    Folder("user folder");
    EXPECT_EQ(ListRemainingFiles(nullptr, 0), app_.size() + 1) << "a folder of the user's counts";
    EXPECT_TRUE(PendingDeletionsUnder(base_).empty()) << "counting alone schedules nothing";
    EXPECT_TRUE(::Run().removalAtRestart) << "counting with \"Reboot\" marks the restart";

    ::Run().removalAtRestart = false;
    EXPECT_EQ(List(), "Header\n" + app_ + "\n");
    EXPECT_TRUE(::Run().removalAtRestart);
    std::vector<std::string> scheduled = PendingDeletionsUnder(base_);
    ASSERT_EQ(scheduled.size(), 1u) << "the install folder should be scheduled for deletion";
    EXPECT_EQ(lstrcmpiA(scheduled[0].c_str(), app_.c_str()), 0) << "scheduled " << scheduled[0];
}

TEST_F(RemovalTest, LeftoversAreScheduledWithReboot) {
    Put("in use.dll");
    Put("also in use.dll");
    Put("kept.txt");
    Folder("made");
    Put("made\\user.txt");
    WriteRecord({"[Root]", "Named=" + app_, "[Del]", "Reboot=1", "[CopiedFile]", "0=" + App("in use.dll"),
                 "1=" + App("also in use.dll"), "Count=2", "[MakedDirectory]", "0=" + app_, "1=" + App("made"),
                 "Count=2"});
    {
        HANDLE a = CreateFileA(App("in use.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE b = CreateFileA(App("also in use.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(a, INVALID_HANDLE_VALUE);
        ASSERT_NE(b, INVALID_HANDLE_VALUE);
        RemoveInstalledFiles();
        CloseHandle(a);
        CloseHandle(b);
    }
    // Recorded files in reverse order, then the made folders, then the install folder.
    std::vector<std::string> left = {App("also in use.dll"), App("in use.dll"), App("made"), app_};
    for (const std::string& p : left) EXPECT_TRUE(stage::Exists(p)) << p;
    EXPECT_EQ(List(), "Header\n" + Listed(left));
    EXPECT_TRUE(::Run().removalAtRestart);
    std::vector<std::string> scheduled = PendingDeletionsUnder(base_);
    ASSERT_EQ(scheduled.size(), left.size()) << "every leftover is scheduled once";
    for (size_t i = 0; i < left.size(); ++i)
        EXPECT_EQ(lstrcmpiA(scheduled[i].c_str(), left[i].c_str()), 0) << "scheduled " << scheduled[i];
}

TEST_F(RemovalTest, ListStaysInsideItsBuffer) {
    Put("a file with a fairly long name number one.dll");
    Put("a file with a fairly long name number two.dll");
    WriteRecord({"[Root]", "Named=" + app_, "[CopiedFile]", "0=" + App("a file with a fairly long name number one.dll"),
                 "1=" + App("a file with a fairly long name number two.dll"), "Count=2"});
    char buffer[48 + 16];
    memset(buffer, 'G', sizeof buffer);
    strcpy(buffer, "Left:\n");
    size_t total = ListRemainingFiles(buffer, 48);
    EXPECT_EQ(total, Cost({App("a file with a fairly long name number one.dll"),
                           App("a file with a fairly long name number two.dll")}))
        << "the total counts what did not fit too";
    EXPECT_EQ(strlen(buffer), 47u) << "the text is cut at the buffer's end";
    EXPECT_EQ(std::string(buffer, 6), "Left:\n");
    for (size_t i = 48; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'G') << "written past the buffer at " << i;
}

TEST(ShellDeleteFile, DeletesFilesAndFoldersSilently) {
    stage::Folder folder("shell_delete", false);
    folder.Put("file.txt", "x");
    folder.Put("tree\\inner\\deep.txt", "y");
    ShellDeleteFile(folder.Path("file.txt").c_str());
    ShellDeleteFile(folder.Path("tree").c_str());
    ShellDeleteFile(folder.Path("never there.txt").c_str());
    EXPECT_FALSE(stage::Exists(folder.Path("file.txt")));
    EXPECT_FALSE(stage::Exists(folder.Path("tree")));
    EXPECT_TRUE(stage::Exists(folder.dir()));

    // A path longer than the buffer must not delete the file its first bytes name.
    std::string shortName = folder.Path(std::string(200, 'p'));
    std::string fits = shortName + "\\" + std::string(MAX_PATH - 2 - shortName.size(), 'q');
    ASSERT_EQ(fits.size(), (size_t)MAX_PATH - 1);
    ASSERT_TRUE(stage::WriteFile(fits, "innocent"));
    ShellDeleteFile((fits + "-and-more-than-fits.txt").c_str());
    EXPECT_TRUE(stage::Exists(fits)) << "an overlong path was cut and another file deleted";
}

}  // namespace
