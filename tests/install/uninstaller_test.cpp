// Merging an older install record into the current one.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "install/uninstaller.h"
#include "fixtures.h"
#include "stage.h"

namespace {

// The entries 0 .. Count-1 that are present, in order.
std::vector<std::string> ListEntries(const std::string& file, const char* section) {
    std::vector<std::string> out;
    for (int i = 0, n = (int)GetPrivateProfileIntA(section, "Count", 0, file.c_str()); i < n; ++i)
        if (std::string v = stage::Ini(file, section, std::to_string(i).c_str()); !v.empty()) out.push_back(v);
    return out;
}

class MergeRecordListTest : public testing::Test {
protected:
    // A record file holding text, under a name used once.
    std::string Record(const std::string& text) {
        std::string path = folder_.Path("record" + std::to_string(++files_) + ".ini");
        stage::WriteFile(path, text);
        return path;
    }
    stage::Folder folder_{"merge_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()), false};
    int files_ = 0;
};

// What the current list lacks is appended in the older order, each path once whatever
// its case; the older "Count" decides what takes part; missing keys add nothing.
TEST_F(MergeRecordListTest, AppendsWhatTheCurrentListLacks) {
    const std::string current = "[MakedDirectory]\r\n0=C:\\App\r\nCount=1\r\n";
    const std::vector<std::string> unchanged = {"0=C:\\App", "Count=1"};
    struct Case {
        std::string older, current;
        std::vector<std::string> want;
        const char* why;
    } cases[] = {
        {"[MakedDirectory]\r\n0=C:\\a\r\n1=C:\\B\r\n2=C:\\c\r\n3=C:\\d\r\n4=C:\\A\r\nCount=5\r\n",
         "[MakedDirectory]\r\n0=C:\\b\r\n1=C:\\e\r\nCount=2\r\n",
         {"0=C:\\b", "1=C:\\e", "2=C:\\a", "3=C:\\c", "4=C:\\d", "Count=5"}, "B and A are duplicates"},
        {"[MakedDirectory]\r\n0=C:\\Old\r\nCount=0\r\n", current, unchanged, "older Count 0"},
        {"[MakedDirectory]\r\n0=C:\\Old\r\n", current, unchanged, "older list without Count"},
        {"", current, unchanged, "no older record"},
        {"[MakedDirectory]\r\n0=C:\\Old\r\n2=C:\\Old\\Two\r\n3=C:\\Old\\Three\r\nCount=3\r\n",
         "[MakedDirectory]\r\n0=C:\\App\r\nCount=1\r\nNote=n\r\n",
         {"0=C:\\App", "Note=n", "1=C:\\Old", "2=C:\\Old\\Two", "Count=3"},
         "a missing key skipped, keys from Count on ignored, other keys kept"},
        // A current key at or above its own Count is no entry: the merged one replaces it.
        {"[MakedDirectory]\r\n0=C:\\App\\older\r\nCount=1\r\n", "[MakedDirectory]\r\n0=C:\\App\r\n1=C:\\stale\r\nCount=1\r\n",
         {"0=C:\\App", "1=C:\\App\\older", "Count=2"}, "stale current key"},
        // An install that copied nothing still wrote Count 1, without key 0.
        {"[MakedDirectory]\r\n0=C:\\a\r\n1=C:\\b\r\nCount=2\r\n", "[MakedDirectory]\r\nCount=1\r\n",
         {"1=C:\\a", "2=C:\\b", "Count=3"}, "after a list that recorded nothing"},
    };
    for (const Case& c : cases) {
        std::string target = Record(c.current);
        std::string older = c.older.empty() ? folder_.Path("no such record.ini") : Record(c.older);
        MergeRecordList(older.c_str(), target.c_str(), "MakedDirectory");
        EXPECT_EQ(SectionLines(target, "MakedDirectory"), c.want) << c.why << ":\n" << Join(SectionLines(target, "MakedDirectory"));
    }
}

TEST_F(MergeRecordListTest, LargeListsMergeInReasonableTime) {
    const int n = 3000;
    auto path = [](int i, bool upper) {
        char text[128];
        snprintf(text, sizeof text, "C:\\Program Files\\Product\\data %d\\file%05d.bin", i / 10, i);
        if (upper) CharUpperA(text);
        return std::string(text);
    };
    // The older install has 0 .. 2999, the current one 1500 .. 4499 in another letter case.
    std::string olderText = "[CopiedFile]\r\n", currentText = "[CopiedFile]\r\n";
    for (int i = 0; i < n; ++i) {
        olderText += std::to_string(i) + "=" + path(i, false) + "\r\n";
        currentText += std::to_string(i) + "=" + path(1500 + i, true) + "\r\n";
    }
    std::string older = Record(olderText + "Count=3000\r\n"), current = Record(currentText + "Count=3000\r\n");

    DWORD start = GetTickCount();
    MergeRecordList(older.c_str(), current.c_str(), "CopiedFile");
    DWORD elapsed = GetTickCount() - start;

    EXPECT_LT(elapsed, 20000u) << "merging two lists of " << n << " took " << elapsed << " ms";
    std::vector<std::string> entries = ListEntries(current, "CopiedFile");
    ASSERT_EQ(entries.size(), 4500u);
    EXPECT_EQ(entries[n - 1], path(4499, true));
    EXPECT_EQ(entries[n], path(0, false)) << "the older entries follow the current ones";
    EXPECT_EQ(entries[4499], path(1499, false));
}

}  // namespace
