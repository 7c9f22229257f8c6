// Reading and writing the setup script, the message language and the numbered lists.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <utility>
#include <vector>
#include "script/script.h"
#include "stage.h"

namespace {

std::string CurrentFolder() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

// Joins lines with CRLF, as real profile files are written.
std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// A script file in the current folder, deleted again at the end of the test.
class TempScript {
public:
    TempScript(const char* name, const std::string& text) : path_(CurrentFolder() + "\\" + name) {
        stage::WriteFile(path_, text);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    }
    ~TempScript() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
        DeleteFileA(path_.c_str());
    }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

using Visits = std::vector<std::pair<int, std::string>>;

std::string Describe(const Visits& visits) {
    std::string out;
    for (const auto& v : visits) out += "[" + std::to_string(v.first) + "]=" + v.second + " ";
    return out;
}

}  // namespace

TEST(ScriptText, ReadsValuesAndTreatsEmptyAsAbsent) {
    TempScript script("read_text.ini", Lines({"[Setup]", "Name=My Product", "Empty=", "Long=" + std::string(300, 'v'),
                                               "[Other]", "Name=Other"}));
    char value[kValueSize];
    EXPECT_EQ(10u, ReadText("Setup", "Name", value, sizeof value, script.path()));
    EXPECT_STREQ("My Product", value);
    EXPECT_EQ(10u, ReadText("setup", "NAME", value, sizeof value, script.path())) << "names ignore case";

    strcpy(value, "stale");
    EXPECT_EQ(0u, ReadText("Setup", "Empty", value, sizeof value, script.path()));
    EXPECT_STREQ("", value) << "an empty value reads as absent";
    strcpy(value, "stale");
    EXPECT_EQ(0u, ReadText("Setup", "Missing", value, sizeof value, script.path()));
    EXPECT_STREQ("", value);
    EXPECT_EQ(0u, ReadText("Nowhere", "Name", value, sizeof value, script.path()));
    std::string missingFile = CurrentFolder() + "\\no_such_script.ini";
    EXPECT_EQ(0u, ReadText("Setup", "Name", value, sizeof value, missingFile.c_str()))
        << "a missing script yields the defaults";

    EXPECT_EQ(259u, ReadText("Setup", "Long", value, sizeof value, script.path()))
        << "a 300-character value arrives cut to 259";
    EXPECT_EQ(std::string(259, 'v'), value);
}

TEST(ScriptText, NeverWritesPastTheBuffer) {
    TempScript script("read_bounds.ini", Lines({"[Setup]", "Long=" + std::string(300, 'w')}));
    char bytes[kValueSize + 16];
    memset(bytes, '#', sizeof bytes);
    ReadText("Setup", "Long", bytes, kValueSize, script.path());
    EXPECT_EQ(259u, strlen(bytes));
    EXPECT_EQ(std::string(16, '#'), std::string(bytes + kValueSize, 16)) << "guard bytes after the buffer";

    char small[8 + 4];
    memset(small, '#', sizeof small);
    EXPECT_EQ(7u, ReadText("Setup", "Long", small, 8, script.path()));
    EXPECT_EQ("wwwwwww", std::string(small));
    EXPECT_EQ("####", std::string(small + 8, 4));

    char one[1 + 4];
    memset(one, '#', sizeof one);
    EXPECT_EQ(0u, ReadText("Setup", "Long", one, 1, script.path()));
    EXPECT_EQ(0, one[0]);
    EXPECT_EQ("####", std::string(one + 1, 4));

    char none[4];
    memset(none, '#', sizeof none);
    EXPECT_EQ(0u, ReadText("Setup", "Long", none, 0, script.path()));
    EXPECT_EQ("####", std::string(none, 4)) << "capacity 0 must not be written";
    EXPECT_EQ(0u, ReadText("Setup", "Long", nullptr, 10, script.path()));
}

TEST(ScriptNumber, ReadsTheLeadingDecimalNumberOrTheDefault) {
    TempScript script("read_number.ini", Lines({"[Check]", "Plain=12", "Mixed=2abc", "Letters=abc", "Empty=",
                                                 "Negative=-3", "Spaced=  7  ", "Zero=0"}));
    EXPECT_EQ(12, ReadNumber("Check", "Plain", 5, script.path()));
    EXPECT_EQ(2, ReadNumber("Check", "Mixed", 5, script.path())) << "\"2abc\" reads as 2";
    EXPECT_EQ(0, ReadNumber("Check", "Letters", 5, script.path())) << "\"abc\" reads as 0, not the default";
    EXPECT_EQ(-3, ReadNumber("Check", "Negative", 5, script.path()));
    EXPECT_EQ(7, ReadNumber("Check", "Spaced", 5, script.path()));
    EXPECT_EQ(0, ReadNumber("Check", "Zero", 5, script.path()));
    EXPECT_EQ(5, ReadNumber("Check", "Missing", 5, script.path())) << "a missing key gives the default";
    EXPECT_EQ(5, ReadNumber("Check", "Empty", 5, script.path())) << "an empty value counts as absent";
    EXPECT_EQ(0, ReadNumber("Check", "Missing", 0, script.path()));
}

TEST(ScriptWrite, WritesTextAndNumbersAndClearsToEmpty) {
    TempScript script("write.ini", Lines({"[Setup]", "Name=Old", "Keep=yes"}));
    WriteText("Setup", "Name", "New Name", script.path());
    WriteNumber("Check", "Menu", 2, script.path());
    WriteNumber("Check", "Offset", -7, script.path());
    WriteText("Root", "Named", "C:\\Inst", script.path());
    WriteText("Root", "Named", nullptr, script.path());
    WriteText("Setup", "Keep", "", script.path());
    FlushScript(script.path());

    char value[kValueSize];
    EXPECT_EQ(8u, ReadText("Setup", "Name", value, sizeof value, script.path()));
    EXPECT_STREQ("New Name", value);
    EXPECT_EQ(2, ReadNumber("Check", "Menu", 0, script.path()));
    EXPECT_EQ(-7, ReadNumber("Check", "Offset", 0, script.path()));
    EXPECT_EQ(0u, ReadText("Root", "Named", value, sizeof value, script.path())) << "cleared reads as absent";
    EXPECT_EQ(0u, ReadText("Setup", "Keep", value, sizeof value, script.path()));

    // On disk: numbers in decimal, cleared keys still there with an empty value.
    std::string file = stage::ReadFile(script.path());
    EXPECT_NE(std::string::npos, file.find("Name=New Name")) << file;
    EXPECT_NE(std::string::npos, file.find("Menu=2")) << file;
    EXPECT_NE(std::string::npos, file.find("Offset=-7")) << file;
    EXPECT_NE(std::string::npos, file.find("Named=\r\n")) << "a cleared key stays, empty: " << file;
    EXPECT_NE(std::string::npos, file.find("Keep=\r\n")) << file;
    EXPECT_EQ(std::string::npos, file.find("C:\\Inst")) << file;
}

TEST(MessagePair, ChoosesTheMemberForTheOemCodePage) {
    const char* english = "Setup is complete.";
    const char* japanese = "セットアップが完了しました。";
    const char* lc = getenv("LC_ALL");
    if (lc && strncmp(lc, "ja", 2) == 0) {
        ASSERT_EQ(932u, GetOEMCP()) << "the Japanese run must see OEM code page 932";
    }
    if (GetOEMCP() == 932) {
        EXPECT_TRUE(UseJapanese());
        EXPECT_EQ(japanese, Msg(english, japanese)) << "code page 932 chooses the Japanese text";
    } else {
        EXPECT_FALSE(UseJapanese()) << "OEM code page " << GetOEMCP();
        EXPECT_EQ(english, Msg(english, japanese)) << "other code pages choose the English text";
    }
    EXPECT_EQ(UseJapanese(), UseJapanese()) << "the answer does not change during a run";
}

TEST(NumberedKeys, StopAtTheFirstMissingOrEmptyKey) {
    TempScript script("numbered_keys.ini",
                      Lines({"[Del]", "0=a.txt", "1=b.txt", "2=", "3=d.txt", "[MakeDirectory]", "1=one", "2=two",
                             "4=four", "[Gap]", "1=only one", "[Long]", "0=" + std::string(1100, 'L')}));
    Visits seen;
    auto collect = [&seen](int i, const char* v) {
        seen.emplace_back(i, v);
        return true;
    };

    EXPECT_EQ(2, ForEachNumberedKey(script.path(), "Del", 0, collect));
    EXPECT_EQ((Visits{{0, "a.txt"}, {1, "b.txt"}}), seen) << "the empty key 2 ends the list: " << Describe(seen);

    seen.clear();
    EXPECT_EQ(2, ForEachNumberedKey(script.path(), "MakeDirectory", 1, collect));
    EXPECT_EQ((Visits{{1, "one"}, {2, "two"}}), seen) << "counting from 1, missing 3 ends it: " << Describe(seen);

    seen.clear();
    EXPECT_EQ(0, ForEachNumberedKey(script.path(), "Gap", 0, collect));
    EXPECT_TRUE(seen.empty()) << "a missing first key means an empty list: " << Describe(seen);

    seen.clear();
    EXPECT_EQ(1, ForEachNumberedKey(script.path(), "Del", 0, [&seen](int i, const char* v) {
        seen.emplace_back(i, v);
        return false;
    }));
    EXPECT_EQ((Visits{{0, "a.txt"}}), seen) << "a visitor returning false stops the walk";

    size_t length = 0;
    ForEachNumberedKey(script.path(), "Long", 0, [&length](int, const char* v) {
        length = strlen(v);
        return true;
    });
    EXPECT_EQ(259u, length) << "ordinary values are cut to 259";
    ForEachNumberedKey(
        script.path(), "Long", 0,
        [&length](int, const char* v) {
            length = strlen(v);
            return true;
        },
        kLongValueSize);
    EXPECT_EQ(1039u, length) << "a long buffer takes up to 1039";
}

TEST(CountedKeys, SkipMissingKeysBelowCountAndWalkBothWays) {
    TempScript script("counted_keys.ini",
                      Lines({"[CopiedFile]", "Count=5", "0=f0", "1=f1", "3=f3", "4=f4", "5=beyond", "[Emptied]",
                             "Count=3", "0=e0", "1=", "2=e2", "[NoCount]", "0=x", "[BadCount]", "Count=abc", "0=x"}));
    EXPECT_EQ(5, ReadCount("CopiedFile", script.path()));
    Visits seen;
    auto collect = [&seen](int i, const char* v) {
        seen.emplace_back(i, v);
        return true;
    };

    ForEachCountedKey(script.path(), "CopiedFile", false, collect);
    EXPECT_EQ((Visits{{0, "f0"}, {1, "f1"}, {3, "f3"}, {4, "f4"}}), seen)
        << "missing key 2 skipped, key 5 beyond Count ignored: " << Describe(seen);

    seen.clear();
    ForEachCountedKey(script.path(), "CopiedFile", true, collect);
    EXPECT_EQ((Visits{{4, "f4"}, {3, "f3"}, {1, "f1"}, {0, "f0"}}), seen) << "reverse: " << Describe(seen);

    seen.clear();
    ForEachCountedKey(script.path(), "Emptied", false, collect);
    EXPECT_EQ((Visits{{0, "e0"}, {2, "e2"}}), seen) << "an empty key is skipped like a missing one: " << Describe(seen);

    seen.clear();
    ForEachCountedKey(script.path(), "NoCount", false, collect);
    ForEachCountedKey(script.path(), "BadCount", true, collect);
    EXPECT_TRUE(seen.empty()) << "no usable Count means no entries: " << Describe(seen);

    seen.clear();
    ForEachCountedKey(script.path(), "CopiedFile", true, [&seen](int i, const char* v) {
        seen.emplace_back(i, v);
        return seen.size() < 2;
    });
    EXPECT_EQ((Visits{{4, "f4"}, {3, "f3"}}), seen) << "a visitor returning false stops: " << Describe(seen);
}

TEST(NumberedSections, StopAtTheFirstSectionWithoutTheKey) {
    TempScript script("numbered_sections.ini",
                      Lines({"[Menu0]", "Name=Alpha", "[Menu1]", "Name=Beta", "[Menu2]", "Name=", "Target=x.exe",
                             "[Menu3]", "Name=Delta", "[Ext0]", "Ext=.abc", "Kind=A", "[Ext1]", "Kind=B", "[Ext2]",
                             "Ext=.ghi"}));
    std::vector<std::string> sections;
    Visits seen;
    auto collect = [&](int i, const char* section, const char* v) {
        sections.push_back(section);
        seen.emplace_back(i, v);
        return true;
    };

    EXPECT_EQ(2, ForEachNumberedSection(script.path(), "Menu%d", "Name", collect));
    EXPECT_EQ((Visits{{0, "Alpha"}, {1, "Beta"}}), seen) << "Menu2 has an empty Name: " << Describe(seen);
    EXPECT_EQ((std::vector<std::string>{"Menu0", "Menu1"}), sections);

    sections.clear();
    seen.clear();
    EXPECT_EQ(1, ForEachNumberedSection(script.path(), "Ext%d", "Ext", collect));
    EXPECT_EQ((Visits{{0, ".abc"}}), seen) << "Ext1 lacks the key the walk asks for: " << Describe(seen);

    seen.clear();
    EXPECT_EQ(0, ForEachNumberedSection(script.path(), "Send%d", "Name", collect));
    EXPECT_TRUE(seen.empty());

    seen.clear();
    EXPECT_EQ(1, ForEachNumberedSection(script.path(), "Menu%d", "Name", [&](int i, const char*, const char* v) {
        seen.emplace_back(i, v);
        return false;
    }));
    EXPECT_EQ((Visits{{0, "Alpha"}}), seen);
}

TEST(PrefixedKeys, WalkOnePrefixWithLongValues) {
    const std::string long1000(1000, 'M');
    TempScript script("prefixed_keys.ini",
                      Lines({"[Reg]", "Make0=" + long1000, "Erase0=e0", "Make1=m1", "Erase1=", "Make2=", "Make3=m3",
                             "[Go2]", "Make0=" + std::string(1100, 'G')}));
    Visits seen;
    auto collect = [&seen](int i, const char* v) {
        seen.emplace_back(i, v);
        return true;
    };

    EXPECT_EQ(2, ForEachPrefixedKey(script.path(), "Reg", "Make", kLongValueSize, collect));
    EXPECT_EQ((Visits{{0, long1000}, {1, "m1"}}), seen)
        << "a 1000-byte value arrives whole; empty Make2 ends the list";

    seen.clear();
    EXPECT_EQ(1, ForEachPrefixedKey(script.path(), "Reg", "Erase", kLongValueSize, collect));
    EXPECT_EQ((Visits{{0, "e0"}}), seen) << Describe(seen);

    seen.clear();
    EXPECT_EQ(1, ForEachPrefixedKey(script.path(), "Go2", "Make", kLongValueSize, collect));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(std::string(1039, 'G'), seen[0].second) << "cut to the 1040-byte buffer";

    seen.clear();
    EXPECT_EQ(0, ForEachPrefixedKey(script.path(), "Go2", "Erase", kLongValueSize, collect));
    EXPECT_TRUE(seen.empty());
}
