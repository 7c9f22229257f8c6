// Reading and writing the setup script, the message language and the numbered lists.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <utility>
#include <vector>
#include "fixtures.h"
#include "script/script.h"
#include "script/section_parse.h"
#include "stage.h"

namespace {

std::string Here(const char* name) {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return std::string(folder) + "\\" + name;
}

// A fresh script in the current folder.
std::string Script(const char* name, const std::vector<std::string>& lines) {
    std::string path = Here(name);
    stage::WriteFile(path, Crlf(lines));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // drop a cached older copy
    return path;
}

using Visits = std::vector<std::pair<int, std::string>>;

// A visitor recording into seen ("section=value" for section walks) that stops the walk
// after limit entries.
auto Collect(Visits& seen, size_t limit = 99) {
    return [&seen, limit](int i, const char* a, const char* b = nullptr) {
        seen.emplace_back(i, b ? std::string(a) + "=" + b : a);
        return seen.size() < limit;
    };
}

Visits Take(Visits& seen) { return std::exchange(seen, {}); }

}  // namespace

TEST(ScriptText, ReadsValuesCutToTheBufferAndTreatsEmptyAsAbsent) {
    const std::string ini =
        Script("read_text.ini", {"[Setup]", "Name=My Product", "Empty=", "Long=" + std::string(300, 'v')});
    char value[kValueSize];
    EXPECT_EQ(10u, ReadText("setup", "NAME", value, sizeof value, ini.c_str())) << "names ignore case";
    EXPECT_STREQ("My Product", value);
    for (const char* key : {"Empty", "Missing"}) {
        strcpy(value, "stale");
        EXPECT_EQ(0u, ReadText("Setup", key, value, sizeof value, ini.c_str())) << key;
        EXPECT_STREQ("", value) << key << " reads as absent";
    }
    EXPECT_EQ(0u, ReadText("Setup", "Name", value, sizeof value, Here("no_such.ini").c_str()))
        << "a missing script yields the defaults";

    // A 300-character value arrives as 259; smaller buffers are cut and never overrun.
    for (size_t cap : {kValueSize, size_t(8), size_t(1), size_t(0)}) {
        std::string bytes(cap + 16, '#');
        size_t want = cap ? cap - 1 : 0;
        EXPECT_EQ(want, ReadText("Setup", "Long", &bytes[0], cap, ini.c_str())) << "capacity " << cap;
        if (cap) {
            EXPECT_EQ(std::string(want, 'v'), std::string(bytes.c_str())) << "capacity " << cap;
        }
        EXPECT_EQ(std::string(16, '#'), bytes.substr(cap)) << "guard bytes after a buffer of " << cap;
    }
    EXPECT_EQ(0u, ReadText("Setup", "Long", nullptr, 10, ini.c_str()));
}

TEST(ScriptNumber, ReadsTheLeadingDecimalNumberOrTheDefault) {
    const std::string ini = Script("read_number.ini", {"[Check]", "Plain=12", "Mixed=2abc", "Letters=abc",
                                                       "Empty=", "Negative=-3", "Spaced=  7  ", "Zero=0"});
    const std::pair<const char*, int> cases[] = {{"Plain", 12}, {"Mixed", 2}, {"Letters", 0}, {"Negative", -3},
                                                 {"Spaced", 7}, {"Zero", 0},  {"Missing", 5}, {"Empty", 5}};
    for (const auto& c : cases)
        EXPECT_EQ(c.second, ReadNumber("Check", c.first, 5, ini.c_str())) << "key " << c.first << ", default 5";
}

TEST(ScriptWrite, WritesTextAndNumbersAndClearsToEmpty) {
    const std::string ini = Script("write.ini", {"[Setup]", "Name=Old", "Keep=yes"});
    WriteText("Setup", "Name", "New Name", ini.c_str());
    WriteNumber("Check", "Offset", -7, ini.c_str());
    WriteText("Root", "Named", "C:\\Inst", ini.c_str());
    WriteText("Root", "Named", nullptr, ini.c_str());
    WriteText("Setup", "Keep", "", ini.c_str());
    FlushScript(ini.c_str());

    char value[kValueSize];
    EXPECT_EQ(8u, ReadText("Setup", "Name", value, sizeof value, ini.c_str()));
    EXPECT_STREQ("New Name", value);
    EXPECT_EQ(-7, ReadNumber("Check", "Offset", 0, ini.c_str()));
    EXPECT_EQ(0u, ReadText("Root", "Named", value, sizeof value, ini.c_str())) << "cleared reads as absent";
    EXPECT_EQ(0u, ReadText("Setup", "Keep", value, sizeof value, ini.c_str()));
    // A cleared key stays in the file with an empty value.
    std::string file = stage::ReadFile(ini.c_str());
    EXPECT_NE(std::string::npos, file.find("Named=\r\n")) << file;
    EXPECT_NE(std::string::npos, file.find("Keep=\r\n")) << file;
}

TEST(MessagePair, ChoosesTheMemberForTheOemCodePage) {
    const char* english = "Setup is complete.";
    const char* japanese = "セットアップが完了しました。";
    const char* lc = getenv("LC_ALL");
    if (lc && strncmp(lc, "ja", 2) == 0) {
        ASSERT_EQ(932u, GetOEMCP()) << "the Japanese run must see code page 932";
    }
    const bool ja = GetOEMCP() == 932;
    EXPECT_EQ(ja, UseJapanese()) << "OEM code page " << GetOEMCP();
    EXPECT_EQ(ja ? japanese : english, Msg(english, japanese)) << "OEM code page " << GetOEMCP();
}

TEST(NumberedKeys, StopAtTheFirstMissingOrEmptyKey) {
    const std::string ini = Script("numbered_keys.ini",
                                   {"[Del]", "0=a.txt", "1=b.txt", "2=", "3=d.txt", "[MakeDirectory]", "1=one", "2=two",
                                    "4=four", "[Gap]", "1=only one", "[Long]", "0=" + std::string(1100, 'L')});
    Visits seen;
    EXPECT_EQ(2, ForEachNumberedKey(ini.c_str(), "Del", 0, Collect(seen)));
    EXPECT_EQ((Visits{{0, "a.txt"}, {1, "b.txt"}}), Take(seen)) << "the empty key 2 ends the list";
    EXPECT_EQ(2, ForEachNumberedKey(ini.c_str(), "MakeDirectory", 1, Collect(seen)));
    EXPECT_EQ((Visits{{1, "one"}, {2, "two"}}), Take(seen)) << "counting from 1, missing 3 ends it";
    EXPECT_EQ(0, ForEachNumberedKey(ini.c_str(), "Gap", 0, Collect(seen)));
    EXPECT_EQ(Visits{}, Take(seen)) << "a missing first key means an empty list";

    ForEachNumberedKey(ini.c_str(), "Long", 0, Collect(seen));
    ForEachNumberedKey(ini.c_str(), "Long", 0, Collect(seen), kLongValueSize);
    EXPECT_EQ((Visits{{0, std::string(259, 'L')}, {0, std::string(1039, 'L')}}), Take(seen))
        << "cut to 259, or to 1039 with a long buffer";

    EXPECT_EQ(1, ForEachNumberedKey(ini.c_str(), "Del", 0, Collect(seen, 1)));
    EXPECT_EQ((Visits{{0, "a.txt"}}), Take(seen)) << "a visitor returning false stops the walk";
}

TEST(CountedKeys, SkipMissingKeysBelowCountAndWalkBothWays) {
    const std::string ini = Script(
        "counted_keys.ini", {"[CopiedFile]", "Count=5", "0=f0", "1=f1", "3=f3", "4=f4", "5=beyond", "[Emptied]",
                             "Count=3", "0=e0", "1=", "2=e2", "[NoCount]", "0=x", "[BadCount]", "Count=abc", "0=x"});
    EXPECT_EQ(5, ReadCount("CopiedFile", ini.c_str()));
    Visits seen;
    ForEachCountedKey(ini.c_str(), "CopiedFile", false, Collect(seen));
    EXPECT_EQ((Visits{{0, "f0"}, {1, "f1"}, {3, "f3"}, {4, "f4"}}), Take(seen))
        << "missing key 2 skipped, key 5 beyond Count ignored";
    ForEachCountedKey(ini.c_str(), "CopiedFile", true, Collect(seen));
    EXPECT_EQ((Visits{{4, "f4"}, {3, "f3"}, {1, "f1"}, {0, "f0"}}), Take(seen)) << "reverse";
    ForEachCountedKey(ini.c_str(), "Emptied", false, Collect(seen));
    EXPECT_EQ((Visits{{0, "e0"}, {2, "e2"}}), Take(seen)) << "an empty key is skipped like a missing one";
    ForEachCountedKey(ini.c_str(), "NoCount", false, Collect(seen));
    ForEachCountedKey(ini.c_str(), "BadCount", true, Collect(seen));
    EXPECT_EQ(Visits{}, Take(seen)) << "no usable Count means no entries";
    ForEachCountedKey(ini.c_str(), "CopiedFile", true, Collect(seen, 2));
    EXPECT_EQ((Visits{{4, "f4"}, {3, "f3"}}), Take(seen)) << "a visitor returning false stops";
}

TEST(NumberedSections, StopAtTheFirstSectionWithoutTheKey) {
    const std::string ini =
        Script("numbered_sections.ini",
               {"[Menu0]", "Name=Alpha", "[Menu1]", "Name=Beta", "[Menu2]", "Name=", "Target=x.exe", "[Menu3]",
                "Name=Delta", "[Ext0]", "Ext=.abc", "Kind=A", "[Ext1]", "Kind=B", "[Ext2]", "Ext=.ghi"});
    Visits seen;
    EXPECT_EQ(2, ForEachNumberedSection(ini.c_str(), "Menu%d", "Name", Collect(seen)));
    EXPECT_EQ((Visits{{0, "Menu0=Alpha"}, {1, "Menu1=Beta"}}), Take(seen)) << "Menu2 has an empty Name";
    EXPECT_EQ(1, ForEachNumberedSection(ini.c_str(), "Ext%d", "Ext", Collect(seen)));
    EXPECT_EQ((Visits{{0, "Ext0=.abc"}}), Take(seen)) << "Ext1 lacks the key the walk asks for";
    EXPECT_EQ(0, ForEachNumberedSection(ini.c_str(), "Send%d", "Name", Collect(seen)));
    EXPECT_EQ(1, ForEachNumberedSection(ini.c_str(), "Menu%d", "Name", Collect(seen, 1)));
    EXPECT_EQ((Visits{{0, "Menu0=Alpha"}}), Take(seen)) << "a visitor returning false stops";
}

TEST(PrefixedKeys, WalkOnePrefixWithLongValues) {
    const std::string long1000(1000, 'M');
    const std::string ini =
        Script("prefixed_keys.ini", {"[Reg]", "Make0=" + long1000, "Erase0=e0", "Make1=m1",
                                     "Erase1=", "Make2=", "Make3=m3", "[Go2]", "Make0=" + std::string(1100, 'G')});
    Visits seen;
    EXPECT_EQ(2, ForEachPrefixedKey(ini.c_str(), "Reg", "Make", kLongValueSize, Collect(seen)));
    EXPECT_EQ((Visits{{0, long1000}, {1, "m1"}}), Take(seen)) << "a 1000-byte value whole; empty Make2 ends it";
    EXPECT_EQ(1, ForEachPrefixedKey(ini.c_str(), "Reg", "Erase", kLongValueSize, Collect(seen)));
    EXPECT_EQ((Visits{{0, "e0"}}), Take(seen));
    EXPECT_EQ(1, ForEachPrefixedKey(ini.c_str(), "Go2", "Make", kLongValueSize, Collect(seen)));
    EXPECT_EQ((Visits{{0, std::string(1039, 'G')}}), Take(seen)) << "cut to the 1040-byte buffer";
    EXPECT_EQ(0, ForEachPrefixedKey(ini.c_str(), "Go2", "Erase", kLongValueSize, Collect(seen)));
}

// A native system hands a whole section over with each line as written; Wine drops the
// blanks around "=" first. Either way the lists read the same, quotes stripped after
// the blanks, so "0 = readme.txt" never drops a file from a list.
TEST(SectionLines, BlanksAroundKeysAndValuesAreDropped) {
    const std::vector<std::pair<std::string, std::string>> lines = {
        {"0 = readme.txt", "0=readme.txt"},
        {"1\t=\tdocs\\manual.txt ", "1=docs\\manual.txt"},
        {"  2=  \" spaced name.txt \"  ", "2=\" spaced name.txt \""},
        {"3 =", "3="},
        {" \t ", ""},  // a line of blanks goes: it would end the list
        {"4 = a = b", "4=a = b"},
        {"Count = 3", "Count=3"},
        {" note without a value ", "note without a value"},
        {"= x", "=x"},
        {"5=\x95\x5C ", "5=\x95\x5C"},  // 表: its trail byte is no blank
    };
    std::string text, want;
    for (const auto& l : lines) {
        text += l.first + '\0';
        if (!l.second.empty()) want += l.second + '\0';
    }
    text += '\0';
    std::vector<char> buffer(text.begin(), text.end());
    buffer.insert(buffer.end(), 8, '#');
    size_t n = TrimSectionLines(buffer.data());
    EXPECT_EQ(std::string(buffer.data(), n), want);
    EXPECT_EQ(buffer[n], 0) << "the lines end in an empty one";
    EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########") << "written past the text";

    EXPECT_EQ(HighestListNumber(buffer.data()), 5);
    const char* values[6] = {};
    IndexListValues(buffer.data(), values, 6);
    const char* expected[6] = {"readme.txt", "docs\\manual.txt", " spaced name.txt ", "", "a = b", "\x95\x5C"};
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(values[i], nullptr) << "key " << i << " was lost";
        EXPECT_STREQ(values[i], expected[i]) << "key " << i;
    }

    char empty[2] = {0, 0};
    EXPECT_EQ(TrimSectionLines(empty), 0u);
    char blanks[] = " \0\t\0";
    EXPECT_EQ(TrimSectionLines(blanks), 0u) << "nothing but blank lines";
    EXPECT_EQ(blanks[0], 0);
}
