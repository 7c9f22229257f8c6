// The record's numbered lists written in batches must leave the file as plain
// key-by-key profile writes would, and keep an interrupted list on disk.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <algorithm>
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

TEST(RecordListTest, LongListEndsLikeKeyByKeyWrites) {
    const int n = 1000;
    stage::Folder folder("record_long", false);
    const char surroundings[] = "[Before]\r\nx=1\r\n[CopiedFile]\r\nNote=keep\r\n[After]\r\ny=2\r\n";
    std::string plain = folder.Path("plain.ini"), batched = folder.Path("batched.ini");
    stage::WriteFile(plain, surroundings);
    stage::WriteFile(batched, surroundings);
    for (int i = 0; i < n; ++i)
        WritePrivateProfileStringA("CopiedFile", std::to_string(i).c_str(), Entry(i).c_str(), plain.c_str());
    WritePrivateProfileStringA("CopiedFile", "Count", std::to_string(n).c_str(), plain.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, plain.c_str());
    {
        RecordList list("CopiedFile", batched.c_str(), false, false);
        for (int i = 0; i < n; ++i) list.Add(Entry(i).c_str());
        EXPECT_EQ(list.Next(), n);
        list.WriteCount(n);
    }

    std::string want = stage::ReadFile(plain), got = stage::ReadFile(batched);
    size_t same = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin();
    EXPECT_TRUE(got == want) << "the batched file (" << got.size() << " bytes) differs from the key-by-key one ("
                             << want.size() << " bytes) from byte " << same;
}

// Entries written ahead are on disk with a "Count" that covers them before anything is
// copied; the list itself holds only what was added, and an abandoned list keeps both
// its entries and a "Count" (an install ended at any moment stays uninstallable).
TEST(RecordListTest, WriteAheadKeepsTheRecordReadable) {
    stage::Folder folder("record_ahead", false);
    std::string live = folder.Path("live.ini");
    std::vector<std::string> batch = {Entry(10), Entry(11), Entry(12)};
    const char* ahead[] = {batch[0].c_str(), batch[1].c_str(), batch[2].c_str()};
    {
        RecordList list("CopiedFile", live.c_str(), false, false);
        list.Add(Entry(0).c_str());
        EXPECT_EQ(stage::ReadFile(live), "") << "nothing is written before it is asked for";
        list.WriteAhead(ahead, 3);
        std::vector<std::string> want = {"0=" + Entry(0), "1=" + Entry(10), "2=" + Entry(11), "3=" + Entry(12),
                                         "Count=4"};
        EXPECT_EQ(SectionLines(live, "CopiedFile"), want) << "the batch follows the list, counted";
        list.Add(Entry(12).c_str());  // of the batch only the last one was copied
        EXPECT_EQ(list.Next(), 2);
        list.WriteCount(2);
        want = {"0=" + Entry(0), "1=" + Entry(12), "Count=2"};
        EXPECT_EQ(SectionLines(live, "CopiedFile"), want) << "the final write holds exactly what was added";
    }
    std::string abandoned = folder.Path("abandoned.ini");
    {
        RecordList list("CopiedFile", abandoned.c_str(), false, false);
        list.WriteAhead(ahead, 2);
        list.Add(Entry(10).c_str());
        list.Add(Entry(11).c_str());
    }  // no final Count: the run ended early
    std::vector<std::string> want = {"0=" + Entry(10), "1=" + Entry(11), "Count=2"};
    EXPECT_EQ(SectionLines(abandoned, "CopiedFile"), want) << "an abandoned list lost its Count or entries";
}

}  // namespace
