// The seal's list as a pure text: written lines read back, and lists made by hand
// (truncated, absurd counts and sizes, names that leave the folder) refused whole.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "base/text.h"
#include "install/seal_list.h"

namespace {

SealEntry Entry(const char* name, uint64_t size, uint8_t fill) {
    SealEntry e{};
    strcpy(e.name, name);
    e.size = size;
    memset(e.hash, fill, sizeof e.hash);
    return e;
}

std::string List(const std::vector<SealEntry>& entries) {
    char line[kPathSize + 128];
    EXPECT_TRUE(FormatSealHeader(entries.size(), line, sizeof line));
    std::string text = line;
    for (const SealEntry& e : entries) {
        EXPECT_TRUE(FormatSealLine(e, line, sizeof line)) << e.name;
        text += line;
    }
    return text;
}

const std::string kHash(64, 'a');

TEST(SealList, WrittenEntriesReadBackExactly) {
    std::vector<SealEntry> entries = {Entry("Setup.ini", 1234, 0x5c), Entry("bin\\app.exe", 0, 0x00),
                                      Entry("docs\\big.bin", (1ull << 40) + 7, 0xff)};
    // On code page 932, a trail byte that looks like a backslash stays part of its character.
    if (IsLeadByte(0x83)) entries.push_back(Entry("\x83\x5c\\file", 9, 0x12));
    std::string text = List(entries);
    SealReader reader(text.data(), text.size());
    ASSERT_TRUE(reader.Check());
    EXPECT_EQ(reader.count(), entries.size());
    for (const SealEntry& want : entries) {
        SealEntry got;
        ASSERT_TRUE(reader.Next(&got));
        EXPECT_STREQ(got.name, want.name);
        EXPECT_EQ(got.size, want.size);
        EXPECT_EQ(memcmp(got.hash, want.hash, 32), 0) << want.name;
    }
    SealEntry more;
    EXPECT_FALSE(reader.Next(&more));
    reader.Rewind();  // a second pass reads the same list
    ASSERT_TRUE(reader.Next(&more));
    EXPECT_STREQ(more.name, "Setup.ini");
}

TEST(SealList, LineEndsOfEitherKind) {
    std::string lf = "SETUP-SEAL 1 1\n" + kHash + " 3 a.txt\n";
    SealReader reader(lf.data(), lf.size());
    ASSERT_TRUE(reader.Check());
    SealEntry e;
    ASSERT_TRUE(reader.Next(&e));
    EXPECT_STREQ(e.name, "a.txt");  // no line end left in the name
}

TEST(SealList, DamagedListsAreRefusedWhole) {
    std::string good = "SETUP-SEAL 1 2\r\n" + kHash + " 3 a.txt\r\n" + kHash + " 4 b\\c.txt\r\n";
    struct Case {
        const char* why;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"no header", kHash + " 3 a.txt\r\n"},
        {"another version", "SETUP-SEAL 2 1\r\n" + kHash + " 3 a.txt\r\n"},
        {"truncated in the last line", good.substr(0, good.size() - 5)},
        {"without the last line end", good.substr(0, good.size() - 2)},
        {"fewer lines than counted", "SETUP-SEAL 1 3\r\n" + kHash + " 3 a.txt\r\n" + kHash + " 4 b\\c.txt\r\n"},
        {"more lines than counted", "SETUP-SEAL 1 1\r\n" + kHash + " 3 a.txt\r\n" + kHash + " 4 b\\c.txt\r\n"},
        {"an absurd count", "SETUP-SEAL 1 99999999999999999999\r\n" + kHash + " 3 a.txt\r\n"},
        {"a count the data cannot hold", "SETUP-SEAL 1 900000\r\n" + kHash + " 3 a.txt\r\n"},
        {"a negative count", "SETUP-SEAL 1 -1\r\n"},
        {"an absurd size", "SETUP-SEAL 1 1\r\n" + kHash + " 99999999999999999 a.txt\r\n"},
        {"a size that is no number", "SETUP-SEAL 1 1\r\n" + kHash + " 3x a.txt\r\n"},
        {"a short hash", "SETUP-SEAL 1 1\r\n" + kHash.substr(2) + " 3 a.txt\r\n"},
        {"a hash that is no hex", "SETUP-SEAL 1 1\r\n" + std::string(64, 'g') + " 3 a.txt\r\n"},
        {"no name", "SETUP-SEAL 1 1\r\n" + kHash + " 3 \r\n"},
        {"a parent folder", "SETUP-SEAL 1 1\r\n" + kHash + " 3 ..\\Windows\\x.dll\r\n"},
        {"a parent inside", "SETUP-SEAL 1 1\r\n" + kHash + " 3 a\\..\\..\\x\r\n"},
        {"a drive", "SETUP-SEAL 1 1\r\n" + kHash + " 3 C:\\x.dll\r\n"},
        {"a stream", "SETUP-SEAL 1 1\r\n" + kHash + " 3 a.txt:hidden\r\n"},
        {"a rooted name", "SETUP-SEAL 1 1\r\n" + kHash + " 3 \\Windows\\x.dll\r\n"},
        {"a share", "SETUP-SEAL 1 1\r\n" + kHash + " 3 \\\\server\\share\\x\r\n"},
        {"a slash", "SETUP-SEAL 1 1\r\n" + kHash + " 3 a/../x\r\n"},
        {"a control character", "SETUP-SEAL 1 1\r\n" + kHash + " 3 a\tb\r\n"},
        {"a name longer than a path", "SETUP-SEAL 1 1\r\n" + kHash + " 3 " + std::string(300, 'n') + "\r\n"},
        {"a zero byte in the name", std::string("SETUP-SEAL 1 1\r\n") + kHash + " 3 a" + std::string(1, '\0') + "b\r\n"},
    };
    for (const Case& c : cases) {
        SealReader reader(c.text.data(), c.text.size());
        EXPECT_FALSE(reader.Check()) << c.why;
    }
    SealReader reader(good.data(), good.size());
    EXPECT_TRUE(reader.Check());
}

TEST(SealList, NamesThatMayBeSealed) {
    struct Case {
        const char* name;
        bool ok;
    } cases[] = {
        {"Setup.ini", true},     {"a\\b\\c.txt", true},  {"..x", true},          {"x..", true},
        {"", false},             {".", false},           {"..", false},          {"a\\.\\b", false},
        {"a\\\\b", false},       {"a\\", false},         {"\\a", false},         {"C:x", false},
        {"a/b", false},          {"a\x7f", false},       {"a\x98:b", false},    {"a\x98\x01", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSealableName(c.name), c.ok) << c.name;
    // A lone lead byte is half a character; on a single-byte code page it is a letter.
    bool dbcs = IsLeadByte(0x83);
    EXPECT_EQ(IsSealableName("\x83"), !dbcs);
    EXPECT_EQ(IsSealableName("a\x83\x5c"), dbcs);  // a Shift-JIS character, not a trailing backslash
    SealEntry bad = Entry("..\\x", 1, 0);
    char line[400];
    EXPECT_FALSE(FormatSealLine(bad, line, sizeof line));  // never written either
    SealEntry fine = Entry("x", 1, 0);
    EXPECT_FALSE(FormatSealLine(fine, line, 40));  // a line that does not fit is refused, not cut
}

}  // namespace

// The copy step finds each copied file's entry among thousands, whatever the order of the
// list and the case of the script's names; a name the list lacks is not found.
TEST(SealList, IndexFindsEveryEntryByName) {
    std::vector<SealEntry> entries;
    for (int i = 0; i < 3000; ++i) {
        // Names out of order, in folders, of many lengths.
        std::string name = "dir" + std::to_string((i * 7919) % 13) + "\\File" + std::to_string((i * 104729) % 3001) +
                           std::string(i % 5, 'x') + ".dat";
        entries.push_back(Entry(name.c_str(), (uint64_t)i, (uint8_t)i));
    }
    if (IsLeadByte(0x82)) {
        entries.push_back(Entry("\x82\x61.txt", 1, 0xa1));  // full-width a
        entries.push_back(Entry("\x82\x41.txt", 2, 0xa2));  // a trail byte that looks like "A"
    }
    std::string text = List(entries);
    std::vector<uint32_t> offsets(entries.size());
    SealIndex index(text.data(), text.size(), offsets.data(), offsets.size());
    ASSERT_TRUE(index.ok());
    for (const SealEntry& want : entries) {
        std::string upper = want.name;  // ASCII letters raised, trail bytes left as they are
        for (size_t i = 0; i < upper.size(); ++i) {
            if (IsLeadByte((unsigned char)upper[i])) ++i;
            else if (upper[i] >= 'a' && upper[i] <= 'z') upper[i] = (char)(upper[i] - 32);
        }
        for (const std::string& name : {std::string(want.name), upper}) {
            SealEntry got;
            ASSERT_TRUE(index.Find(name.c_str(), &got)) << name;
            EXPECT_STREQ(got.name, want.name);
            EXPECT_EQ(got.size, want.size) << name;
            EXPECT_EQ(got.hash[0], want.hash[0]) << name;
        }
    }
    SealEntry none;
    for (const char* absent : {"dir1\\nothing.dat", "", "dir1", "Setup.ini", "dir1\\File1.da"})
        EXPECT_FALSE(index.Find(absent, &none)) << absent;

    // No index from a damaged list or into too little room: nothing is found.
    std::string cut = text.substr(0, text.size() - 3);
    SealIndex damaged(cut.data(), cut.size(), offsets.data(), offsets.size());
    EXPECT_FALSE(damaged.ok());
    EXPECT_FALSE(damaged.Find(entries[0].name, &none));
    SealIndex cramped(text.data(), text.size(), offsets.data(), offsets.size() - 1);
    EXPECT_FALSE(cramped.ok());
    SealIndex empty(nullptr, 0, offsets.data(), 0);
    EXPECT_FALSE(empty.ok());
}
