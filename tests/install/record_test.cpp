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

// While a list is still being written, what is more than a second old is in the file itself.
TEST(RecordListTest, InterruptedListIsOnDisk) {
    stage::Folder folder("record_interrupted", false);
    std::string live = folder.Path("live.ini");
    {
        RecordList list("CopiedFile", live.c_str(), false, false);
        for (int i = 0; i < 999; ++i) list.Add(Entry(i).c_str());
        Sleep(1100);
        list.Add(Entry(999).c_str());
        std::string bytes = stage::ReadFile(live);
        EXPECT_NE(bytes.find("\r\n999=" + Entry(999) + "\r\n"), std::string::npos)
            << "an entry added more than a second after the list began is not on disk (" << bytes.size() << " bytes)";
        EXPECT_EQ(bytes.find("Count="), std::string::npos) << "the Count comes only at the end";
    }
    // A list abandoned without its Count still leaves every entry.
    std::string abandoned = folder.Path("abandoned.ini");
    {
        RecordList list("CopiedFile", abandoned.c_str(), false, false);
        for (int i = 0; i < 300; ++i) list.Add(Entry(i).c_str());
    }
    std::string bytes = stage::ReadFile(abandoned);
    for (int i : {0, 299})
        EXPECT_NE(bytes.find("\r\n" + std::to_string(i) + "=" + Entry(i) + "\r\n"), std::string::npos)
            << "entry " << i << " lost:\n" << bytes.substr(0, 400);
}

}  // namespace
