// Merging an older install record into the current one, and placing the
// uninstaller with its record into the install folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "app/run_state.h"
#include "install/uninstaller.h"
#include "script/text.h"
#include "fixtures.h"
#include "stage.h"

namespace {

// The entries 0 .. Count-1 that are present, in order.
std::vector<std::string> ListEntries(const std::string& file, const char* section) {
    int count = (int)GetPrivateProfileIntA(section, "Count", 0, file.c_str());
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        std::string value = stage::Ini(file, section, std::to_string(i).c_str());
        if (!value.empty()) out.push_back(value);
    }
    return out;
}

class MergeRecordListTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = "C:\\stage\\merge_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        stage::DeleteTree(folder_);
        stage::MakeFolders(folder_);
    }
    // A record file holding the given text, under a name used once.
    std::string Record(const std::string& text) {
        std::string path = folder_ + "\\record" + std::to_string(++files_) + ".ini";
        stage::WriteFile(path, text);
        return path;
    }
    std::string folder_;
    int files_ = 0;
};

TEST_F(MergeRecordListTest, AppendsWhatTheCurrentListLacksInTheOlderOrder) {
    std::string older = Record(
        "[CopiedFile]\r\n0=C:\\App\\a.dll\r\n1=C:\\App\\B.DLL\r\n2=C:\\App\\c.dll\r\n3=C:\\App\\d.dll\r\n"
        "4=C:\\App\\A.dll\r\nCount=5\r\n");
    std::string current = Record(
        "[Setup]\r\nName=P\r\n[CopiedFile]\r\n0=C:\\App\\b.dll\r\n1=C:\\App\\e.dll\r\nCount=2\r\n[After]\r\nk=v\r\n");

    MergeRecordList(older.c_str(), current.c_str(), "CopiedFile");

    std::vector<std::string> want = {"0=C:\\App\\b.dll", "1=C:\\App\\e.dll", "2=C:\\App\\a.dll",
                                     "3=C:\\App\\c.dll", "4=C:\\App\\d.dll", "Count=5"};
    EXPECT_EQ(SectionLines(current, "CopiedFile"), want)
        << "case-insensitive duplicates (B.DLL, A.dll) must not be appended:\n"
        << Join(SectionLines(current, "CopiedFile"));
    EXPECT_EQ(stage::Ini(current, "Setup", "Name"), "P");
    EXPECT_EQ(stage::Ini(current, "After", "k"), "v");
    std::vector<std::string> olderWant = {"0=C:\\App\\a.dll", "1=C:\\App\\B.DLL", "2=C:\\App\\c.dll",
                                          "3=C:\\App\\d.dll", "4=C:\\App\\A.dll", "Count=5"};
    EXPECT_EQ(SectionLines(older, "CopiedFile"), olderWant) << "the older record is only read";
}

TEST_F(MergeRecordListTest, OlderCountDecidesWhatTakesPart) {
    std::string current = "[MakedDirectory]\r\n0=C:\\App\r\nCount=1\r\n";

    // Count 0 (or none): nothing, even with entries present.
    std::string target = Record(current);
    std::string before = stage::ReadFile(target);
    MergeRecordList(Record("[MakedDirectory]\r\n0=C:\\Old\r\nCount=0\r\n").c_str(), target.c_str(), "MakedDirectory");
    MergeRecordList(Record("[MakedDirectory]\r\n0=C:\\Old\r\n").c_str(), target.c_str(), "MakedDirectory");
    MergeRecordList((folder_ + "\\no such record.ini").c_str(), target.c_str(), "MakedDirectory");
    EXPECT_EQ(stage::ReadFile(target), before) << "the current record changed without older entries";

    // Missing keys are skipped; keys at or above Count do not take part.
    target = Record(current);
    MergeRecordList(Record("[MakedDirectory]\r\n0=C:\\Old\r\n2=C:\\Old\\Two\r\n3=C:\\Old\\Three\r\nCount=3\r\n").c_str(),
                    target.c_str(), "MakedDirectory");
    std::vector<std::string> want = {"0=C:\\App", "1=C:\\Old", "2=C:\\Old\\Two", "Count=3"};
    EXPECT_EQ(SectionLines(target, "MakedDirectory"), want) << Join(SectionLines(target, "MakedDirectory"));

    // A current key at or above its own Count is not part of the list: the merged entry
    // written under that number replaces it.
    target = Record("[CopiedFile]\r\n0=C:\\App\\x.dll\r\n1=C:\\App\\stale.dll\r\nCount=1\r\n");
    MergeRecordList(Record("[CopiedFile]\r\n0=C:\\App\\older.dll\r\nCount=1\r\n").c_str(), target.c_str(), "CopiedFile");
    std::vector<std::string> entries = ListEntries(target, "CopiedFile");
    std::vector<std::string> wantEntries = {"C:\\App\\x.dll", "C:\\App\\older.dll"};
    EXPECT_EQ(entries, wantEntries) << Join(SectionLines(target, "CopiedFile"));
    EXPECT_EQ(stage::Ini(target, "CopiedFile", "Count"), "2");
}

TEST_F(MergeRecordListTest, AppendsAfterAListThatRecordedNothing) {
    // An install that copied nothing still wrote Count 1, without key 0.
    std::string target = Record("[CopiedFile]\r\nCount=1\r\n");
    MergeRecordList(Record("[CopiedFile]\r\n0=C:\\App\\a.dll\r\n1=C:\\App\\b.dll\r\nCount=2\r\n").c_str(),
                    target.c_str(), "CopiedFile");
    std::vector<std::string> want = {"1=C:\\App\\a.dll", "2=C:\\App\\b.dll", "Count=3"};
    EXPECT_EQ(SectionLines(target, "CopiedFile"), want) << Join(SectionLines(target, "CopiedFile"));
}

TEST_F(MergeRecordListTest, LargeListsMergeInReasonableTime) {
    const int n = 3000;
    auto path = [](int i) {
        char text[128];
        snprintf(text, sizeof text, "C:\\Program Files\\Product\\data %d\\file%05d.bin", i / 10, i);
        return std::string(text);
    };
    // The older install has 0 .. 2999, the current one 1500 .. 4499 in another letter case.
    std::string olderText = "[CopiedFile]\r\n", currentText = "[CopiedFile]\r\n";
    for (int i = 0; i < n; ++i) olderText += std::to_string(i) + "=" + path(i) + "\r\n";
    olderText += "Count=" + std::to_string(n) + "\r\n";
    for (int i = 0; i < n; ++i) {
        std::string p = path(1500 + i);
        CharUpperA(&p[0]);
        currentText += std::to_string(i) + "=" + p + "\r\n";
    }
    currentText += "Count=" + std::to_string(n) + "\r\n";
    std::string older = Record(olderText), current = Record(currentText);

    DWORD start = GetTickCount();
    MergeRecordList(older.c_str(), current.c_str(), "CopiedFile");
    DWORD elapsed = GetTickCount() - start;

    EXPECT_LT(elapsed, 20000u) << "merging two lists of " << n << " took " << elapsed << " ms";
    EXPECT_EQ(stage::Ini(current, "CopiedFile", "Count"), "4500");
    std::vector<std::string> entries = ListEntries(current, "CopiedFile");
    ASSERT_EQ(entries.size(), 4500u);
    EXPECT_EQ(entries[n - 1], [&] {
        std::string p = path(4499);
        CharUpperA(&p[0]);
        return p;
    }());
    EXPECT_EQ(entries[n], path(0)) << "the older entries follow the current ones";
    EXPECT_EQ(entries[4499], path(1499));
}

TEST(PlaceUninstaller, CopiesProgramAndMergedRecordIntoTheInstallFolder) {
    stage::Folder source("place_source");  // with Setup.exe, as shipped
    std::string install = "C:\\stage\\place_install";
    stage::DeleteTree(install);
    stage::MakeFolders(install);
    stage::WriteFile(install + "\\Setup.ini",
                     "[MakedDirectory]\r\n0=" + install + "\r\n1=" + install + "\\Old\r\nCount=2\r\n"
                     "[CopiedFile]\r\n0=" + install + "\\OLD.DLL\r\n1=" + install + "\\gone.dll\r\nCount=2\r\n");
    source.WriteScript("[Setup]\r\nName=Placed\r\n[Root]\r\nNamed=" + install + "\r\n[MakedDirectory]\r\n0=" +
                       install + "\r\nCount=1\r\n[CopiedFile]\r\n0=" + install + "\\old.dll\r\n1=" + install +
                       "\\new.dll\r\nCount=2\r\n");
    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, source.Script().c_str());
    ::Run().restartNeeded = false;  // no reboot-mode process may start from a unit test
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(source.dir().c_str());
    PlaceUninstaller(nullptr);
    SetCurrentDirectoryA(saved);

    std::string exe = stage::ReadFile(source.Path("Setup.exe"));
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(stage::ReadFile(install + "\\Setup.exe") == exe) << "Setup.exe not copied into the install folder";
    std::vector<std::string> made = {install, install + "\\Old"};
    EXPECT_EQ(ListEntries(source.Script(), "MakedDirectory"), made);
    std::vector<std::string> copied = {install + "\\old.dll", install + "\\new.dll", install + "\\gone.dll"};
    EXPECT_EQ(ListEntries(source.Script(), "CopiedFile"), copied);
    EXPECT_EQ(stage::ReadFile(install + "\\Setup.ini"), stage::ReadFile(source.Script()))
        << "the record in the install folder is the merged running script";
}

}  // namespace
