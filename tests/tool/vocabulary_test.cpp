// The script's names as the check knows them: sections and keys the program forms,
// the near misses it suggests, and the rules over copy prefixes, BMP headers, comments
// written at the end of a value and the quoting of association commands.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "../draw/draw_helpers.h"
#include "draw/bmp_layout.h"
#include "tool/check_rules.h"
#include "tool/vocabulary.h"

namespace {

TEST(Vocabulary, SectionsAsTheProgramFormsThem) {
    const struct {
        const char* name;
        const char* shape;  // null: unknown
        int number;
    } cases[] = {
        {"Setup", "Setup", -1},   {"setup", "Setup", -1},  {"CopyFile", "CopyFile", -1}, {"Menu", "Menu", -1},
        {"Menu0", "Menu", 0},     {"menu12", "Menu", 12},  {"Send3", "Send", 3},         {"Ext0", "Ext", 0},
        {"Menu01", nullptr, -1},  {"Menu 1", nullptr, -1}, {"Menu-1", nullptr, -1},      {"Ext", nullptr, -1},
        {"Send", nullptr, -1},    {"CopyFiles", nullptr, -1}, {"Go2", "Go2", -1},        {"Go3", nullptr, -1},
        {"MakedDirectory", "MakedDirectory", -1}, {"", nullptr, -1},
    };
    for (const auto& c : cases) {
        int number = -1;
        const SectionShape* shape = FindSection(c.name, &number);
        if (!c.shape) {
            EXPECT_EQ(shape, nullptr) << "[" << c.name << "] is no section of the script";
            continue;
        }
        ASSERT_NE(shape, nullptr) << "[" << c.name << "]";
        EXPECT_STREQ(shape->name, c.shape) << "[" << c.name << "]";
        EXPECT_EQ(shape->family ? number : -1, c.number) << "[" << c.name << "]";
    }
}

TEST(Vocabulary, ListKeysFollowTheirShape) {
    const struct {
        const char* section;
        const char* key;
        bool listed;
        const char* prefix;
        int number;
    } cases[] = {
        {"CopyFile", "0", true, "", 0},       {"CopyFile", "17", true, "", 17},    {"CopyFile", "01", false, "", -1},
        {"CopyFile", "-1", false, "", -1},    {"MakeDirectory", "0", false, "", -1}, {"MakeDirectory", "1", true, "", 1},
        {"DirRemove", "1", true, "", 1},      {"Reg", "Make0", true, "Make", 0},  {"Reg", "erase12", true, "Erase", 12},
        {"Reg", "Make", false, "", -1},       {"Reg", "Make01", false, "", -1},   {"Reg", "0", false, "", -1},
        {"Go2", "Erase3", true, "Erase", 3},  {"Readme", "40", true, "", 40},     {"Setup", "0", false, "", -1},
        {"CopiedFile", "0", true, "", 0},
        // The record's facts: any kind, numbered; "Recorded" is a key of its own.
        {"Created", "TypeKey0", true, "", 0}, {"Created", "Link12", true, "", 12}, {"Created", "7", false, "", -1},
        {"Created", "Recorded", false, "", -1}, {"Created", "TypeKey", false, "", -1},
    };
    for (const auto& c : cases) {
        const SectionShape* shape = FindSection(c.section, nullptr);
        ASSERT_NE(shape, nullptr) << c.section;
        const char* prefix = "";
        int number = -1;
        EXPECT_EQ(IsListKey(*shape, c.key, &prefix, &number), c.listed) << "[" << c.section << "] " << c.key;
        if (!c.listed) continue;
        EXPECT_STREQ(prefix, c.prefix) << "[" << c.section << "] " << c.key;
        EXPECT_EQ(number, c.number) << "[" << c.section << "] " << c.key;
    }
    const SectionShape* ext = FindSection("Ext4", nullptr);
    ASSERT_NE(ext, nullptr);
    const KeyShape* verb = FindKey(*ext, "verb");
    ASSERT_NE(verb, nullptr);
    EXPECT_EQ(verb->limit, 255u) << "verbs are read into 256 bytes";
    const SectionShape* reg = FindSection("Reg", nullptr);
    EXPECT_EQ(reg->listLimit, 1039u) << "[Reg] entries are read into 1040 bytes";
}

TEST(Vocabulary, NearMissesAreSuggestedAndOthersAreNot) {
    const struct {
        const char* section;  // null: suggest a section name
        const char* name;
        const char* suggestion;
    } cases[] = {
        {nullptr, "CopyFiles", "CopyFile"},  {nullptr, "Copyfil", "CopyFile"},     {nullptr, "Mneu0", "Menu0"},
        {nullptr, "Menu 1", "Menu1"},        {nullptr, "Menu01", "Menu1"},         {nullptr, "Sendto", "Send0"},
        {nullptr, "Regsitry", "Registry"},   {nullptr, "MakeDirectories", "MakeDirectory"},
        {nullptr, "Product", ""},            {nullptr, "Strings", ""},
        {"Setup", "Nmae", "Name"},           {"Setup", "Autp", "Auto"},            {"Check", "Dekstop", "Desktop"},
        {"Reg", "Make01", "Make1"},          {"Reg", "Mak0", "Make0"},             {"CopyFile", "01", "1"},
        {"Del", "ShowErrors", "ShowError"},  {"Setup", "Title", ""},               {"Ext0", "Verbb2", "Verb2"},
    };
    for (const auto& c : cases) {
        std::string got = c.section ? SuggestKey(*FindSection(c.section, nullptr), c.name) : SuggestSection(c.name);
        EXPECT_EQ(got, c.suggestion) << (c.section ? std::string("key ") + c.name + " of [" + c.section + "]"
                                                   : std::string("section [") + c.name + "]");
    }
    EXPECT_EQ(NameDistance("Dsktp", "Desktop", 3), 2);
    EXPECT_EQ(NameDistance("ab", "ba", 3), 1) << "a transposition counts once";
    EXPECT_EQ(NameDistance("NAME", "name", 3), 0) << "names compare without case";
    EXPECT_EQ(NameDistance("Startup", "Desktop", 2), 3) << "beyond the limit: limit + 1";
    // A name of megabytes is told apart by its length alone, at once.
    const std::string huge(64u << 20, 'x');
    DWORD start = GetTickCount();
    EXPECT_EQ(NameDistance(huge, "Desktop", 3), 4);
    EXPECT_EQ(SuggestSection(huge), "");
    EXPECT_LT(GetTickCount() - start, 2000u);
}

TEST(CheckRules, CopyPrefixesOutOfOrderAndDrawingWords) {
    EXPECT_EQ(MisplacedCopyPrefix("a.txt"), 0);
    EXPECT_EQ(MisplacedCopyPrefix("&a.txt"), '&');
    EXPECT_EQ(MisplacedCopyPrefix("*a"), '*');
    EXPECT_EQ(SuggestDrawKeyword("bitmpa", false), "bitmap");
    EXPECT_EQ(SuggestDrawKeyword("buton1", false), "") << "button lines belong to picture pages";
    EXPECT_EQ(SuggestDrawKeyword("buton1", true), "button1");
    EXPECT_EQ(SuggestDrawKeyword("colour", false), "");
    EXPECT_EQ(SuggestModeWord("centre"), "center");
    EXPECT_EQ(SuggestModeWord("Left"), "") << "a word the drawing knows";
    EXPECT_EQ(SuggestModeWord("whole"), "") << "any other word is meant as the whole-area mode";
    EXPECT_EQ(SuggestRootName("HKCU"), "HKEY_CURRENT_USER");
    EXPECT_EQ(SuggestRootName("HKEY_CURENT_USER"), "HKEY_CURRENT_USER");
    EXPECT_EQ(SuggestRootName("HKLM"), "") << "HKLM means the machine, as it reads";
    EXPECT_EQ(SuggestRootName("SOFTWARE"), "");
}

TEST(CheckRules, BmpRejectionsNameTheirReason) {
    auto bytes = [](int bits, int height, uint32_t compression, uint32_t infoSize) {
        std::string b = draw_test::Bmp{8, 2, 24, {}, [](int, int) { return 0u; }}.Bytes();
        b[28] = (char)bits;
        for (int i = 0; i < 4; ++i) {
            b[22 + i] = (char)((uint32_t)height >> (8 * i));
            b[30 + i] = (char)(compression >> (8 * i));
            b[14 + i] = (char)(infoSize >> (8 * i));
        }
        return b;
    };
    const struct {
        std::string file;
        const char* reason;
    } cases[] = {
        {bytes(24, 2, 0, 40), ""},
        {bytes(32, 2, 0, 40), "32 bits per pixel"},
        {bytes(24, -2, 0, 40), "stored top-down"},
        {bytes(24, 2, 1, 40), "compressed"},
        {bytes(24, 2, 0, 108), "an information header of 108 bytes"},
        {"BM" + std::string(20, '\0'), "too short for a BMP file"},
        {"GIF89a" + std::string(100, '\0'), "not a BMP file"},
        {bytes(24, 2, 0, 40).substr(0, 60), "the colour table is not complete or the pixel rows do not follow it"},
    };
    for (const auto& c : cases) {
        std::string why = BmpRejection(reinterpret_cast<const uint8_t*>(c.file.data()),
                                       c.file.size() < kBmpHeadersSize ? c.file.size() : kBmpHeadersSize, c.file.size());
        if (!c.reason[0])
            EXPECT_EQ(why, "") << "an image the drawing accepts";
        else
            EXPECT_NE(why.find(c.reason), std::string::npos) << "expected \"" << c.reason << "\", got \"" << why << "\"";
    }
}

TEST(CheckRules, EndOfLineCommentsAreASemicolonAfterABlank) {
    const struct {
        const char* value;
        bool quotesProtect;
        size_t at;  // npos: none
    } cases[] = {
        {"Sample Notes            ; the product's folder", false, 24},
        {"0\t; 1: open the folder", false, 2},
        {"readme.txt ;arguments", false, 11},
        {"a;b", false, std::string::npos},           // a list, not a comment
        {"C:\\a; C:\\b", false, std::string::npos},  // the blank after it does not count
        {"-e \"a ; b\"", true, std::string::npos},   // a command line's own, between quotes
        {"-e \"a ; b\"", false, 6},
        {"\"x\" ; comment", true, 4},
        {"", false, std::string::npos},
    };
    for (const auto& c : cases) EXPECT_EQ(EndOfLineComment(c.value, c.quotesProtect), c.at) << c.value;
    EXPECT_TRUE(IsDrawTextLine("|Title ; sub"));
    EXPECT_TRUE(IsDrawTextLine("String,Title"));
    EXPECT_FALSE(IsDrawTextLine("mode,top ; comment"));
    EXPECT_EQ(ShortText("; short", 40), "; short");
    EXPECT_EQ(ShortText("; a comment longer than ten", 10), "; a commen...");
}

TEST(CheckRules, CommandValuesAndTypeNamesToSuggest) {
    const struct {
        const char* program;
        const char* arguments;
        const char* value;
    } commands[] = {
        {"%root%notes.exe", "%1", "\"\"%root%notes.exe\" \"%1\"\""},  // the doubled form
        {"%root%notes.exe", "", "\"\"%root%notes.exe\"\""},
        {"%root%notes.exe", "/open %1", "\"%root%notes.exe\" /open %1"},  // read as written
        {"%root%notes.exe", "\"%1\"", "\"\"%root%notes.exe\" \"%1\"\""},
    };
    for (const auto& c : commands) EXPECT_EQ(QuotedCommandValue(c.program, c.arguments), c.value) << c.arguments;
    EXPECT_EQ(OwnTypeName("Sample Notes", ".snote"), "SampleNotes.snote");
    EXPECT_EQ(OwnTypeName("Sample Notes", "."), "");
    EXPECT_EQ(OwnTypeName("!!", ".x"), "");
    // Under code page 932 the trail byte of a double-byte character is no letter ("\x83\x41" is one character).
    EXPECT_EQ(std::string(OwnTypeName("\x83\x41Notes", ".nt")), GetACP() == 932 ? "Notes.nt" : "ANotes.nt");
}

}  // namespace
