#include "app/exit_code.h"
#include <gtest/gtest.h>
#include <string.h>
#include "base/text.h"

TEST(ExitCode, EachEndHasItsCode) {
    struct Case {
        bool cancelled, fatal;
        int failed;
        bool restart, force;
        int code;
    } cases[] = {
        {false, false, 0, false, false, 0},
        {false, false, 0, true, false, 3010},
        {false, false, 0, true, true, 1641},
        {false, false, 0, false, true, 0},  // nothing waits for a restart: none is made
        {true, false, 0, false, false, 1602},
        {true, true, 3, true, true, 1602},  // cancelled before anything ran
        {false, true, 0, false, false, 1603},
        {false, false, 1, true, true, 1603},  // a failure outweighs the restart
    };
    for (const Case& c : cases) {
        RunEnd end;
        end.cancelled = c.cancelled;
        end.fatal = c.fatal;
        end.failed = c.failed;
        end.restartPending = c.restart;
        end.forceRestart = c.force;
        EXPECT_EQ(ChooseExitCode(end), c.code) << c.cancelled << c.fatal << c.failed << c.restart << c.force;
    }
}

TEST(ExitCode, DefaultLogNamesAreFileNames) {
    struct Case {
        const char* product;
        size_t cap;
        const char* name;
    } cases[] = {
        {"Sample Notes", 64, "Setup Sample Notes.log"},
        {"A/B: C*D?\"<x>|\\", 64, "Setup A_B_ C_D___x___.log"},
        {"Tabs\tand\x01" "controls", 64, "Setup Tabsandcontrols.log"},
        {"", 64, "Setup.log"},
        {nullptr, 64, "Setup.log"},
        {"...  ", 64, "Setup.log"},
        {"Long product name", 16, "Setup Long.log"},  // no blank before the suffix
    };
    for (const Case& c : cases) {
        char out[64];
        memset(out, 'x', sizeof out);
        ASSERT_TRUE(DefaultLogName(c.product, out, c.cap)) << c.name;
        EXPECT_STREQ(out, c.name);
        EXPECT_LT(strlen(out), c.cap);
    }
    // Shift-JIS (the Japanese groups): a trail byte 0x5c is no backslash, and a cut name
    // never ends in half a character; elsewhere 0x5c is a backslash like any other.
    char out[64];
    const bool sjis = IsLeadByte(0x83);
    ASSERT_TRUE(DefaultLogName("\x83\x5c\x83\x74", out, sizeof out));
    EXPECT_STREQ(out, sjis ? "Setup \x83\x5c\x83\x74.log" : "Setup \x83_\x83\x74.log");
    ASSERT_TRUE(DefaultLogName("\x83\x5c\x83\x74", out, 13));
    EXPECT_STREQ(out, sjis ? "Setup \x83\x5c.log" : "Setup \x83_.log");
    char tiny[8];
    EXPECT_FALSE(DefaultLogName("x", tiny, sizeof tiny));
}

TEST(ExitCode, ActionLinesJoinTheirPartsAndStayInTheBuffer) {
    char out[128];
    FormatActionLine(out, sizeof out, "new", "C:\\P\\a.txt", "<- C:\\s\\a.txt", 0, nullptr);
    EXPECT_STREQ(out, "new  C:\\P\\a.txt  <- C:\\s\\a.txt");
    FormatActionLine(out, sizeof out, "fails", "C:\\P\\b.txt", "", 5, "Access denied");
    EXPECT_STREQ(out, "fails  C:\\P\\b.txt  (error 5: Access denied)");
    FormatActionLine(out, sizeof out, "", "C:\\x", nullptr, 0, nullptr);
    EXPECT_STREQ(out, "C:\\x");
    char small[12];
    memset(small, 'x', sizeof small);
    FormatActionLine(small, sizeof small, "remove", "C:\\a very long path", "detail", 2, "gone");
    EXPECT_EQ(strlen(small), sizeof small - 1);
}
