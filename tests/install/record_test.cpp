// The record's numbered lists written in batches must leave the file as the plain
// key-by-key profile writes would, and keep an interrupted list on disk.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "install/record.h"
#include "fixtures.h"
#include "stage.h"

namespace {

// Record-like values: blanks, an equals sign, ten files a folder.
std::string Entry(int i) {
    char text[160];
    snprintf(text, sizeof text, "C:\\Program Files\\Product Name\\folder %d\\file = %d.dat", i / 10, i);
    return text;
}

std::string KeyOf(int i) { return std::to_string(i); }

const char kSurroundings[] =
    "[Before]\r\nx=1\r\n[CopiedFile]\r\nNote=keep\r\n[After]\r\ny=2\r\n";

class RecordListTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = "C:\\stage\\record_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        stage::DeleteTree(folder_);
        stage::MakeFolders(folder_);
    }
    std::string File(const std::string& name) const { return folder_ + "\\" + name; }
    std::string folder_;
};

TEST_F(RecordListTest, LongListEndsLikeKeyByKeyWrites) {
    const int n = 1000;
    std::string plain = File("plain.ini"), batched = File("batched.ini");
    stage::WriteFile(plain, kSurroundings);
    stage::WriteFile(batched, kSurroundings);
    for (int i = 0; i < n; ++i) WritePrivateProfileStringA("CopiedFile", KeyOf(i).c_str(), Entry(i).c_str(), plain.c_str());
    WritePrivateProfileStringA("CopiedFile", "Count", KeyOf(n).c_str(), plain.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, plain.c_str());
    {
        RecordList list("CopiedFile", batched.c_str(), false, false);
        for (int i = 0; i < n; ++i) list.Add(Entry(i).c_str());
        EXPECT_EQ(list.Next(), n);
        list.WriteCount(n);
    }

    std::string want = stage::ReadFile(plain), got = stage::ReadFile(batched);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the batched file differs from the key-by-key one; first difference at byte "
                             << [&] {
                                    size_t i = 0;
                                    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
                                    return i;
                                }();
    std::vector<std::string> lines = SectionLines(batched, "CopiedFile");
    ASSERT_EQ(lines.size(), (size_t)n + 2);
    EXPECT_EQ(lines.front(), "Note=keep") << "other keys of the section survive, in front";
    EXPECT_EQ(lines[1], "0=" + Entry(0));
    EXPECT_EQ(lines[n], KeyOf(n - 1) + "=" + Entry(n - 1));
    EXPECT_EQ(lines.back(), "Count=1000") << "Count comes after the entries";
    EXPECT_EQ(stage::Ini(batched, "After", "y"), "2");
}

TEST_F(RecordListTest, ContinuingAListKeepsItsEntriesAndCount) {
    std::string record = File("continued.ini");
    stage::WriteFile(record, "[MakedDirectory]\r\n0=C:\\App\r\nCount=2\r\n1=C:\\App\\Sub\r\nNote=n\r\n[Other]\r\nz=9\r\n");
    {
        RecordList list("MakedDirectory", record.c_str(), true, true);
        EXPECT_EQ(list.Next(), 2) << "continues after the recorded Count";
        list.Add("C:\\App\\New");
        list.Add("C:\\App\\New\\Deeper");
    }  // no explicit Count: it travels with every write of this kind of list
    EXPECT_EQ(stage::Ini(record, "MakedDirectory", "0"), "C:\\App");
    EXPECT_EQ(stage::Ini(record, "MakedDirectory", "1"), "C:\\App\\Sub");
    EXPECT_EQ(stage::Ini(record, "MakedDirectory", "2"), "C:\\App\\New");
    EXPECT_EQ(stage::Ini(record, "MakedDirectory", "3"), "C:\\App\\New\\Deeper");
    EXPECT_EQ(stage::Ini(record, "MakedDirectory", "Count"), "4");
    EXPECT_EQ(stage::Ini(record, "MakedDirectory", "Note"), "n");
    EXPECT_EQ(stage::Ini(record, "Other", "z"), "9");
    std::vector<std::string> lines = SectionLines(record, "MakedDirectory");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Count=4");
}

TEST_F(RecordListTest, InterruptedListIsOnDisk) {
    // While the list is still being written, what is more than a second old is in the file itself.
    std::string live = File("live.ini");
    {
        RecordList list("CopiedFile", live.c_str(), false, false);
        for (int i = 0; i < 999; ++i) list.Add(Entry(i).c_str());
        Sleep(1100);
        list.Add(Entry(999).c_str());
        std::string bytes = stage::ReadFile(live);
        EXPECT_NE(bytes.find("\r\n999=" + Entry(999) + "\r\n"), std::string::npos)
            << "an entry added more than a second after the list began is not on disk (" << bytes.size()
            << " bytes)";
        EXPECT_EQ(bytes.find("Count="), std::string::npos) << "the Count comes only at the end";
    }
    // A list abandoned without its Count still leaves every entry.
    std::string abandoned = File("abandoned.ini");
    {
        RecordList list("CopiedFile", abandoned.c_str(), false, false);
        for (int i = 0; i < 300; ++i) list.Add(Entry(i).c_str());
    }
    std::string bytes = stage::ReadFile(abandoned);
    EXPECT_NE(bytes.find("\r\n0=" + Entry(0) + "\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n299=" + Entry(299) + "\r\n"), std::string::npos) << "last entry lost:\n"
                                                                               << bytes.substr(0, 400);
}

TEST(PathSet, CaseInsensitiveMembership) {
    PathSet empty;
    EXPECT_FALSE(empty.Contains("C:\\anything"));
    PathSet set;
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(set.Insert(Entry(i).c_str()));
    EXPECT_TRUE(set.Insert(Entry(7).c_str())) << "a second insert of the same path is no failure";
    int missing = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string upper = Entry(i);
        CharUpperA(&upper[0]);
        if (!set.Contains(upper.c_str())) ++missing;
    }
    EXPECT_EQ(missing, 0) << "paths not found in another letter case";
    EXPECT_FALSE(set.Contains(Entry(5000).c_str()));
    EXPECT_FALSE(set.Contains("C:\\Program Files\\Product Name\\folder 0\\file = 0.da"));
}

}  // namespace
