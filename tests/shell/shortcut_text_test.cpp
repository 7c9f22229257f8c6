// The pure half of the shortcut steps: show commands, hotkeys from "Short", and
// link paths built from names with backslashes (double-byte names where the code
// page has them).
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include "base/text.h"
#include "shell/shortcut_text.h"

namespace {

std::string Hex(unsigned value) {
    char text[16];
    snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// Shift-JIS "ソ" and "表": their second byte is 0x5C, the backslash.
const char kSo[] = "\x83\x5C";
const char kHyo[] = "\x95\x5C";

bool DoubleByteCodePage() { return IsLeadByte(0x83) && IsLeadByte(0x95); }

}  // namespace

TEST(ShortcutText, ShowValuesMapToShowCommands) {
    const struct {
        int value, expected;
    } cases[] = {{0, 1}, {1, 3}, {2, 7}, {3, 1}, {-1, 1}, {7, 1}, {1000, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ShowCommandFromValue(c.value)) << "Show=" << c.value;
}

TEST(ShortcutText, HotkeysAlwaysCarryCtrlAlt) {
    const struct {
        const char* text;
        bool set;
        unsigned expected;
    } cases[] = {
        {"", false, 0},
        {"T", true, 0x0654},        // Ctrl+Alt+T
        {"Tool", true, 0x0654},     // the rest is ignored
        {"t", true, 0x0654},        // a lower-case letter is its key, not numeric-pad 4
        {"z", true, 0x065A},
        {"7", true, 0x0637},
        {"\\112", true, 0x0670},    // F1
        {"\\113x", true, 0x0671},   // digits up to the first other character
        {"\\0", true, 0x0600},
        {"\\321", true, 0x0741},    // 256 + 'A': Shift joins Ctrl+Alt
        {"\\577", true, 0x0641},    // 512 + 'A': Ctrl was there already; still Ctrl+Alt, not Ext
        {"\\2113", true, 0x0E41},   // 2048 + 'A': Ext+Ctrl+Alt
        {"\\65601", true, 0x0641},  // only the low 16 bits reach the word
        {"\\", true, 0x065C},       // no number: the backslash byte itself
        {"\\x12", true, 0x065C},
        {"%", true, 0x0625},
        {"\x83\x5C", true, 0x0683}, // a double-byte first character: its lead byte, Ctrl+Alt only
        {"\xFF", true, 0x06FF},
    };
    for (const auto& c : cases) {
        uint16_t hotkey = 0xBEEF;
        bool set = HotkeyFromText(c.text, &hotkey);
        EXPECT_EQ(c.set, set) << "Short=" << c.text;
        EXPECT_EQ(Hex(c.expected), Hex(hotkey)) << "Short=" << c.text;
    }
    uint16_t hotkey = 0xBEEF;
    EXPECT_FALSE(HotkeyFromText(nullptr, &hotkey));
    EXPECT_EQ(0, hotkey);
}

TEST(ShortcutText, LinkPathsFromNames) {
    const std::string base = "C:\\M";
    const struct {
        const char* name;
        const char* expected;  // null: refused
        int depth;
    } cases[] = {
        {"Read me", "C:\\M\\Read me.lnk", 0},
        {"Help\\Read me", "C:\\M\\Help\\Read me.lnk", 1},
        {"A\\B\\C", "C:\\M\\A\\B\\C.lnk", 2},
        {"\\Tool Home", "C:\\M\\Tool Home.lnk", 0},  // the caller picks the folder beside
        {"A\\\\B", "C:\\M\\A\\B.lnk", 1},             // empty parts collapse
        {"..a", "C:\\M\\..a.lnk", 0},
        {"a.b", "C:\\M\\a.b.lnk", 0},
        {"", nullptr, 0},
        {"\\", nullptr, 0},
        {"Help\\", nullptr, 0},                      // no name for the link itself
        {"..\\Escape", nullptr, 1},
        {"A\\..\\..\\Escape", nullptr, 3},
        {"...\\x", nullptr, 1},
        {".. \\x", nullptr, 1},
        {"A\\.", nullptr, 1},
        {"C:\\x", nullptr, 1},
        {"x:stream", nullptr, 0},
        {"a/../b", nullptr, 0},
    };
    for (const auto& c : cases) {
        char out[260];
        memset(out, 'x', sizeof out);
        bool built = BuildLinkPath(out, sizeof out, base.c_str(), c.name);
        EXPECT_EQ(c.expected != nullptr, built) << "name " << c.name;
        EXPECT_EQ(c.expected ? c.expected : "", std::string(out)) << "name " << c.name;
        EXPECT_EQ(c.depth, LinkFolderDepth(c.name)) << "name " << c.name;
    }
    char out[260];
    EXPECT_TRUE(BuildLinkPath(out, sizeof out, "C:\\", "x"));
    EXPECT_EQ("C:\\x.lnk", std::string(out)) << "a folder ending in a backslash gets no second one";
}

// A path that would not fit is refused whole, never cut into another file's name.
TEST(ShortcutText, LinkPathsThatWouldNotFitAreRefused) {
    const std::string base = "C:\\" + std::string(246, 'b');  // 249 bytes
    char out[260];
    ASSERT_TRUE(BuildLinkPath(out, sizeof out, base.c_str(), "abcde"));  // 249 + 1 + 5 + 4 = 259
    EXPECT_EQ(base + "\\abcde.lnk", std::string(out));
    memset(out, 'x', sizeof out);
    EXPECT_FALSE(BuildLinkPath(out, sizeof out, base.c_str(), "abcdef"));
    EXPECT_EQ("", std::string(out)) << "a refused path leaves nothing to act on";
    EXPECT_FALSE(BuildLinkPath(out, sizeof out, base.c_str(), "abcd\\ef")) << "the joining backslash counts";

    char folder[260];
    EXPECT_TRUE(JoinNameParts(folder, sizeof folder, base.c_str(), "abcdefghi\\x", 1));
    EXPECT_EQ(base + "\\abcdefghi", std::string(folder));
    EXPECT_FALSE(JoinNameParts(folder, sizeof folder, base.c_str(), std::string(10, 'f').append("\\x").c_str(), 1));
}

// In a double-byte code page the trail byte 0x5C of a character is no separator.
TEST(ShortcutText, DoubleByteNamesKeepTheirTrailBytes) {
    if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page has no double-byte characters";
    const std::string so = kSo, hyo = kHyo;
    const struct {
        std::string name, expected;
        int depth;
    } cases[] = {
        {so + "ft\\Read me", "C:\\M\\" + so + "ft\\Read me.lnk", 1},
        {hyo, "C:\\M\\" + hyo + ".lnk", 0},  // ends in 0x5C, yet it is a name
        {hyo + "\\" + so, "C:\\M\\" + hyo + "\\" + so + ".lnk", 1},
    };
    for (const auto& c : cases) {
        char out[260];
        EXPECT_TRUE(BuildLinkPath(out, sizeof out, "C:\\M", c.name.c_str())) << c.expected;
        EXPECT_EQ(c.expected, std::string(out));
        EXPECT_EQ(c.depth, LinkFolderDepth(c.name.c_str())) << c.expected;
    }
    // A folder that ends in such a character still gets its separator.
    char out[260];
    const std::string base = "C:\\M\\" + hyo;
    EXPECT_TRUE(BuildLinkPath(out, sizeof out, base.c_str(), "Read me"));
    EXPECT_EQ(base + "\\Read me.lnk", std::string(out));
}
