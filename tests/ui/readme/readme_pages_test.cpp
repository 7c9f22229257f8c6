// The read-me pages' parsing: page identifiers and button targets, page and button
// lines, the search for a page with its fall-back, the buttons of one page, the fit on
// the desktop and the text made ready for the text box.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdint.h>
#include <string.h>
#include <string>
#include <vector>
#include "ui/readme_pages.h"

namespace {

std::string Show(const char* text) { return text ? "\"" + std::string(text) + "\"" : "(null)"; }

TEST(ReadmePages, PageIdentifiersCompareTheWholeTextButtonTargetsOnlyItsStart) {
    const struct {
        const char* text;
        int32_t page, target;
    } cases[] = {
        {"install", -1, -1},        {"INSTALL", -1, -1},       {"VersionUp", -2, -2},
        {"uninstall", -3, -3},      {"none", -4, -4},          {"None", -4, -4},
        // More letters after the word: a page identifier reads 0, a target still the word.
        {"installer", 0, -1},       {"install ", 0, -1},       {"nonexistent", 0, -4},
        {"uninstalled", 0, -3},     {"versionup2", 0, -2},     {"none,Hide", 0, -4},
        {"install,&Back", 0, -1},   {"uninstall,To, the end", 0, -3},
        // Anything else reads like atoi.
        {"3", 3, 3},                {"3,Next", 3, 3},          {" 7", 7, 7},
        {"-5", -5, -5},             {"-4", -4, -4},            {"12abc", 12, 12},
        {"", 0, 0},                 {",Caption", 0, 0},        {"x", 0, 0},
        {" install", 0, 0},         {"+8", 8, 8},
        {"99999999999", INT32_MAX, INT32_MAX},                {"-99999999999", INT32_MIN, INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsePageIdentifier(c.text), c.page) << "page identifier " << Show(c.text);
        EXPECT_EQ(ParseButtonTarget(c.text), c.target) << "button target " << Show(c.text);
    }
}

TEST(ReadmePages, PageLinesAndButtonLines) {
    const struct {
        const char* line;
        bool page;
        int32_t identifier;
    } pages[] = {
        {"page,install", true, -1}, {"PAGE,3", true, 3},     {"Page,Uninstall", true, -3},
        {"page,", true, 0},         {"page", true, 0},       {"page,none", true, -4},
        {"page,install,x", true, 0},  // the whole text after the comma is the identifier
        {"pages,1", false, 0},      {"page ,1", false, 0},   {" page,1", false, 0},
        {"pag,1", false, 0},        {"|page,1", false, 0},   {"button1,3", false, 0},
        {"", false, 0},             {"pagex", false, 0},
    };
    for (const auto& c : pages) {
        int32_t identifier = 12345;
        EXPECT_EQ(IsPageLine(c.line, &identifier), c.page) << Show(c.line);
        if (c.page) {
            EXPECT_EQ(identifier, c.identifier) << "identifier of " << Show(c.line);
        }
    }
    EXPECT_FALSE(IsPageLine(nullptr, nullptr));

    const std::string longCaption(259 - 12, 'c');
    const std::string longLine = "button3,-3," + longCaption;
    const struct {
        const char* line;
        bool button;
        int index;
        int32_t target;
        const char* caption;
    } buttons[] = {
        {"button1,3,&Next", true, 0, 3, "&Next"},
        {"button2,none,Hidden", true, 1, -4, "Hidden"},
        {"button3,2", true, 2, 2, nullptr},
        {"Button1,install,A, B, C", true, 0, -1, "A, B, C"},  // the caption keeps its commas
        {"BUTTON2,uninstall,", true, 1, -3, ""},              // a comma gives a caption, even an empty one
        {"button1,", true, 0, 0, nullptr},
        {"button1,x,y", true, 0, 0, "y"},
        {longLine.c_str(), true, 2, -3, longCaption.c_str()},
        {"button1", false, 0, 0, nullptr},
        {"button4,1", false, 0, 0, nullptr},
        {"button10,1", false, 0, 0, nullptr},
        {"button,1", false, 0, 0, nullptr},
        {"button 1,1", false, 0, 0, nullptr},
        {"page,1", false, 0, 0, nullptr},
        {"|button1,1", false, 0, 0, nullptr},
    };
    for (const auto& c : buttons) {
        ButtonLine out{-1, 777, "untouched"};
        ASSERT_EQ(ParseButtonLine(c.line, &out), c.button) << Show(c.line);
        if (!c.button) continue;
        EXPECT_EQ(out.button, c.index) << Show(c.line);
        EXPECT_EQ(out.target, c.target) << Show(c.line);
        EXPECT_EQ(Show(out.caption), Show(c.caption)) << Show(c.line);
    }
}

TEST(ReadmePages, FindsThePageAfterItsLineOrFallsBackToTheSecondEntry) {
    const std::vector<const char*> book = {
        "page,install", "mode,whole", "fill,0,0,128", "button1,2,&Next",  // 0-3
        "page,2",       "fill,0,160,0",                                   // 4-5
        "page,uninstall", "button3,install,Back",                         // 6-7
        "page,install",   "fill,255,0,0",                                 // 8-9: a second "install" is never reached
        "page",           "fill,1,1,1",                                   // 10-11: the keyword alone is page 0
        "page,2",                                                         // 12: a repeated page, and the last line
    };
    const std::vector<const char*> noLeadingPage = {"mode,whole", "fill,9,9,9", "page,3", "button1,none"};
    const std::vector<const char*> allEmptyPages = {"page,", "page,", "page,"};
    const std::vector<const char*> lastLineIsPage = {"fill,1", "page,9"};
    const struct {
        const std::vector<const char*>* list;
        int32_t identifier;
        int start, end;
    } cases[] = {
        {&book, -1, 1, 4},  {&book, 2, 5, 6},   {&book, -3, 7, 8},   {&book, 0, 11, 12},
        {&book, -2, 1, 4},  {&book, 7, 1, 4},   {&book, -4, 1, 4},
        // Without a matching page line the content starts at entry 1, not 0.
        {&noLeadingPage, -1, 1, 2}, {&noLeadingPage, 3, 3, 4},
        {&allEmptyPages, 0, 1, 1},  {&allEmptyPages, -1, 1, 1},
        {&lastLineIsPage, 9, 2, 2}, {&lastLineIsPage, -1, 1, 1},
    };
    for (const auto& c : cases) {
        const char* const* lines = c.list->data();
        const int count = (int)c.list->size();
        const int start = FindPageStart(lines, count, c.identifier);
        EXPECT_EQ(start, c.start) << "start of page " << c.identifier << " in a list of " << count;
        EXPECT_EQ(FindPageEnd(lines, count, start), c.end) << "end of page " << c.identifier << " in a list of " << count;
    }
    EXPECT_EQ(FindPageStart(nullptr, 0, -1), 0) << "an empty list";
    const char* one[] = {"fill,1"};
    EXPECT_EQ(FindPageStart(one, 1, -1), 1) << "one entry: an empty page after it";
    EXPECT_EQ(FindPageEnd(one, 1, 1), 1);
}

TEST(ReadmePages, ButtonsOfOnePage) {
    const char* lines[] = {
        "page,install",
        "button1,2,&Next",     // 1
        "button2,none,Gone",   // 2
        "button1,3",           // 3: the later line wins the target, the caption stays
        "button3,uninstall,",  // 4: an empty caption
        "fill,1,2,3",
        "page,2",
        "button2,1,Other page",  // 7: not on this page
    };
    const PageButtons p = ReadPageButtons(lines, 1, 6);
    const int32_t targets[] = {3, -4, -3};
    const char* captions[] = {"&Next", "Gone", ""};
    const bool shown[] = {true, false, true};
    for (int b = 0; b < kReadmeButtons; ++b) {
        EXPECT_EQ(p.target[b], targets[b]) << "target of button " << b + 1;
        EXPECT_EQ(Show(p.caption[b]), Show(captions[b])) << "caption of button " << b + 1;
        EXPECT_EQ(ButtonShown(p.target[b]), shown[b]) << "button " << b + 1 << " shown";
    }
    const PageButtons none = ReadPageButtons(lines, 5, 6);
    for (int b = 0; b < kReadmeButtons; ++b) {
        EXPECT_EQ(none.target[b], kPageNone) << "a page without button lines: button " << b + 1;
        EXPECT_EQ(none.caption[b], nullptr);
        EXPECT_FALSE(ButtonShown(none.target[b]));
    }
    for (int32_t target : {-3, -2, -1, 0, 1, 500}) EXPECT_TRUE(ButtonShown(target)) << target;
    for (int32_t target : {-4, -5, INT32_MIN}) EXPECT_FALSE(ButtonShown(target)) << target;
}

TEST(ReadmePages, TooLargeDialogsArePinnedToTheDesktopInThatDirectionOnly) {
    const ScreenRect vga = {0, 0, 640, 480};
    const struct {
        ScreenRect window, desktop, fit;
    } cases[] = {
        {{-30, -10, 670, 490}, vga, {0, 0, 640, 480}},        // both ways too large
        {{10, 50, 710, 350}, vga, {0, 50, 640, 350}},         // too wide only
        {{100, -20, 400, 580}, vga, {100, 0, 400, 480}},      // too tall only
        {{20, 30, 660, 510}, vga, {20, 30, 660, 510}},        // exactly the desktop's size: unchanged
        {{700, 600, 900, 700}, vga, {700, 600, 900, 700}},    // small, even off the screen: unchanged
        {{0, 0, 1300, 100}, {-1280, 0, 0, 1024}, {-1280, 0, 0, 100}},  // a desktop left of the origin
    };
    for (const auto& c : cases) {
        ScreenRect r = FitOnDesktop(c.window, c.desktop);
        EXPECT_TRUE(r.left == c.fit.left && r.top == c.fit.top && r.right == c.fit.right && r.bottom == c.fit.bottom)
            << "window " << c.window.left << "," << c.window.top << "-" << c.window.right << "," << c.window.bottom
            << ": expected " << c.fit.left << "," << c.fit.top << "-" << c.fit.right << "," << c.fit.bottom << ", got "
            << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
    }
}

TEST(ReadmePages, TextBoxTextBreaksLinesWithCarriageReturnAndLineFeed) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a\nb", "a\r\nb"},        {"a\r\nb", "a\r\nb"},     {"a\rb", "a\r\nb"},
        {"\n\n", "\r\n\r\n"},      {"\r\n\r\n", "\r\n\r\n"}, {"\r\r\n", "\r\n\r\n"},
        {"tab\there", "tab\there"}, {"", ""},
        {std::string("stop\0here", 9), "stop"},  // a binary file shows up to its first zero byte
    };
    for (const auto& c : cases) {
        char out[64];
        memset(out, '#', sizeof out);
        size_t n = ToTextBoxText(c.in.c_str(), out, sizeof out);
        EXPECT_EQ(std::string(out), c.out) << "from \"" << c.in << "\"";
        EXPECT_EQ(n, c.out.size());
    }
    // Twice the length and a zero always hold the whole text.
    const std::string lines(100, '\n');
    std::vector<char> room(2 * lines.size() + 1 + 8, '#');
    EXPECT_EQ(ToTextBoxText(lines.c_str(), room.data(), 2 * lines.size() + 1), 200u);
    EXPECT_EQ(std::string(room.data() + 201, 8), std::string(8, '#')) << "written past the buffer";

    // A small buffer cuts the text but never a line end, and never overruns.
    const struct {
        const char* in;
        size_t cap;
        const char* out;
    } cuts[] = {
        {"abc\ndef", 5, "abc"}, {"abc\ndef", 6, "abc\r\n"}, {"abcdef", 4, "abc"},
        {"abc", 1, ""},         {"\n", 2, ""},
    };
    for (const auto& c : cuts) {
        char out[16];
        memset(out, '#', sizeof out);
        size_t n = ToTextBoxText(c.in, out, c.cap);
        EXPECT_STREQ(out, c.out) << "\"" << c.in << "\" into " << c.cap << " bytes";
        EXPECT_EQ(n, strlen(c.out));
        EXPECT_EQ(out[c.cap], '#') << "written past " << c.cap << " bytes";
    }
    EXPECT_EQ(ToTextBoxText("abc", nullptr, 8), 0u);
    char one = '#';
    EXPECT_EQ(ToTextBoxText(nullptr, &one, 1), 0u);
    EXPECT_EQ(one, 0);
}

// Under code page 932 a cut never splits a double-byte character.
TEST(ReadmePages, TextBoxTextKeepsDoubleByteCharactersWhole) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (the _ja run)";
    const std::string so = "\x83\x5C";  // a character whose trail byte is a backslash
    char out[16];
    memset(out, '#', sizeof out);
    EXPECT_EQ(ToTextBoxText((so + so).c_str(), out, 4), 2u) << "3 bytes hold one character, not one and a half";
    EXPECT_EQ(std::string(out), so);
    EXPECT_EQ(ToTextBoxText((so + "\n").c_str(), out, 4), 2u) << "the line end does not fit whole";
    EXPECT_EQ(ToTextBoxText((so + "\n").c_str(), out, 16), 4u);
    EXPECT_EQ(std::string(out), so + "\r\n");
    EXPECT_EQ(ToTextBoxText("ab\x83", out, 16), 2u) << "half a character at the end is dropped";
    EXPECT_STREQ(out, "ab");
}

}  // namespace
