// The drawing interpreter on a real memory surface, read back pixel by pixel.
#include <string>
#include <vector>
#include "draw_helpers.h"
#include "stage.h"

using namespace draw_test;

namespace {

COLORREF Grey(int v) { return RGB(v, v, v); }

// A gradation from (0,255,10) to (255,0,200) over the rectangle (20,10)-(276,138):
// 256 x 128 pixels, 64 bands of 4 columns or 2 rows each.
TEST(Gradation, BandsAndColoursInEveryDirection) {
    auto band = [](int i) {  // truncated toward zero, as the band arithmetic is
        return RGB(255 * i / 64, 255 + (-255 * i) / 64, 10 + 190 * i / 64);
    };
    struct {
        const char* mode;
        int (*index)(int x, int y);  // the band that shows at (x, y) inside the rectangle
    } cases[] = {
        {"left", [](int x, int) { return (x - 20) / 4; }},
        {"right", [](int x, int) { return (275 - x) / 4; }},
        {"top", [](int, int y) { return (y - 10) / 2; }},
        {"bottom", [](int, int y) { return (137 - y) / 2; }},
        // Concentric bands shrink by 2 columns and 1 row a side; the innermost one wins.
        {"center", [](int x, int y) {
             int i = std::min(std::min((x - 20) / 2, (275 - x) / 2), std::min(y - 10, 137 - y));
             return std::min(i, 63);
         }},
    };
    for (const auto& c : cases) {
        Surface s(300, 150);
        s.Run({std::string("mode,") + c.mode, "rect,20,10,276,138", "gradation,0,255,10,255,0,200"});
        EXPECT_EQ("", s.Mismatches([&](int x, int y) {
            bool inside = x >= 20 && x < 276 && y >= 10 && y < 138;
            return inside ? band(c.index(x, y)) : kBackground;
        })) << "mode " << c.mode;
    }
    // Black to white ends one step short, at 251, and leaves white as the current colour.
    Surface s(40, 70);
    s.Run({"mode,top", "rect,0,0,40,64", "gradation,0,0,0,255,255,255", "mode,rect", "rect,0,64,40,70", "fill,9"});
    EXPECT_EQ(s.At(5, 0), Grey(0));
    EXPECT_EQ(s.At(5, 63), Grey(251)) << "the last of 64 bands";
    EXPECT_EQ(s.At(5, 66), RGB(9, 255, 255)) << "fill's green and blue come from the gradation's second colour";
}

TEST(Gradation, BandCountsAreRaisedToTwoAndClampedToThePixels) {
    struct {
        const char* count;
        int (*value)(int y);  // the grey of row y of 100
    } cases[] = {
        {",0", [](int y) { return y < 50 ? 0 : 100; }},
        {",1", [](int y) { return y < 50 ? 0 : 100; }},
        {",4", [](int y) { return 50 * (y / 25); }},
        {",1000000", [](int y) { return 2 * y; }},  // one band a row
    };
    for (const auto& c : cases) {
        Surface s(8, 100);
        DWORD start = GetTickCount();
        s.Run({"mode,top", "rect,0,0,8,100", std::string("gradation,0,0,0,200,200,200") + c.count});
        EXPECT_LT(GetTickCount() - start, 2000u) << "band count " << c.count;
        EXPECT_EQ("", s.Mismatches([&](int, int y) { return Grey(c.value(y)); })) << "band count " << c.count;
    }
    // A rectangle as large as 32 bits allow: the visible pixels all lie in band 65535 of 65536.
    for (const char* mode : {"center", "left", "bottom"}) {
        Surface s(64, 48);
        DWORD start = GetTickCount();
        s.Run({std::string("mode,") + mode, "rect,-2147483648,-2147483648,2147483647,2147483647",
               "gradation,0,0,0,255,255,255,1000000", "mode,rect", "rect,0,0,4,4", "fill,255,0,0"});
        EXPECT_LT(GetTickCount() - start, 2000u) << mode;
        // Center: the innermost band; left and bottom: the band that straddles 0 (32768 and 32767).
        COLORREF inner = Grey(std::string(mode) == "center" ? 254 : 127);
        EXPECT_EQ("", s.Mismatches([&](int x, int y) { return x < 4 && y < 4 ? RGB(255, 0, 0) : inner; })) << mode;
    }
    // Modes without a direction paint no gradation, but the colour still changes.
    for (const char* mode : {"point", "rect", "whole"}) {
        Surface s(20, 20);
        s.Run({std::string("mode,") + mode, "rect,0,0,10,10", "gradation,0,0,0,70,80,90", "mode,rect", "fill,5"});
        EXPECT_EQ("", s.Mismatches([](int x, int y) { return x < 10 && y < 10 ? RGB(5, 80, 90) : kBackground; }))
            << mode;
    }
}

TEST(RectAndFill, PercentagesSingleValuesAndTheModesThatPaint) {
    Surface big(1024, 600);
    big.Run({"mode,rect", "rect,%50,%50,%100,%100", "fill,255,0,0", "rect,%33.3,0,%34,%1", "fill,0,255,0",
             "rect, %50,%1,%1,%2", "fill,0,0,255"});
    const struct {
        int x, y;
        COLORREF want;
    } spots[] = {{511, 299, kBackground}, {512, 300, RGB(255, 0, 0)}, {1023, 599, RGB(255, 0, 0)},
                 {511, 300, kBackground}, {512, 299, kBackground},   {339, 0, kBackground},
                 {340, 0, RGB(0, 255, 0)}, {347, 5, RGB(0, 255, 0)}, {348, 5, kBackground},
                 {0, 6, RGB(0, 0, 255)},   {9, 11, RGB(0, 0, 255)},  {10, 6, kBackground}};
    for (const auto& p : spots) EXPECT_EQ(Hex(big.At(p.x, p.y)), Hex(p.want)) << "pixel " << p.x << "," << p.y;

    struct {
        std::vector<std::string> commands;
        RECT painted;
        COLORREF colour;
    } cases[] = {
        {{"mode,rect", "rect,0,0,10,10", "rect,5", "fill,7,8,9"}, {5, 0, 10, 10}, RGB(7, 8, 9)},
        {{"mode,rect", "rect,0,0,10,10", "rect,5,6", "fill,7,8,9"}, {5, 6, 10, 10}, RGB(7, 8, 9)},
        {{"mode,point", "rect,0,0,10,10", "fill,7,8,9"}, {0, 0, 0, 0}, 0},
        {{"mode,top", "rect,0,0,10,10", "fill,7,8,9"}, {0, 0, 0, 0}, 0},
        {{"mode,whole", "fill,7,8,9"}, {0, 0, 32, 24}, RGB(7, 8, 9)},
        {{"mode,rect", "rect,15,15,5,5", "fill,7,8,9"}, {0, 0, 0, 0}, 0},  // inverted: empty
        {{"mode,point", "fill,0,128,64", "mode,rect", "rect,1,1,4,4", "fill,255"}, {1, 1, 4, 4}, RGB(255, 128, 64)},
        {{"mode,rect", "rect,0,0,2,2", "fill,"}, {0, 0, 2, 2}, RGB(0, 0, 0)},
        {{"mode,rect", "rect,0,0,2,2", "fill,-1,256,300"}, {0, 0, 2, 2}, RGB(255, 0, 44)},  // low bytes
    };
    for (const auto& c : cases) {
        Surface s(32, 24);
        s.Run(c.commands);
        EXPECT_EQ("", s.Mismatches([&](int x, int y) {
            POINT p = {x, y};
            return PtInRect(&c.painted, p) ? c.colour : kBackground;
        })) << c.commands.back() << " after " << c.commands[0];
    }
}

TEST(DrawMode, CapitalisedWordsSelectTheModeAndOthersTheWholeArea) {
    Surface left(20, 4), spaced(20, 4), misspelt(20, 4);
    left.Run({"mode,Left", "rect,0,0,20,4", "gradation,0,0,0,200,200,200,2", "fill,9,9,9"});
    EXPECT_EQ(left.At(0, 0), Grey(0));
    EXPECT_EQ(left.At(19, 0), Grey(100)) << "mode Left: a left-to-right gradation, and fill paints nothing";
    for (Surface* s : {&spaced, &misspelt}) {
        s->Run({s == &spaced ? "mode,left " : "mode,lft", "rect,0,0,20,4", "gradation,0,0,0,200,200,200,2",
                "fill,9,9,9"});
        EXPECT_EQ("", s->Mismatches([](int, int) { return Grey(9); })) << "whole area: fill paints everything";
    }
}

// A list as a picture page may hold it: the run ends at the page line, ignoring buttons.
TEST(Run, EndsAtPageIgnoresUnknownKeywordsAndRestoresTheFont) {
    Surface s(16, 16);
    HFONT before = (HFONT)GetStockObject(ANSI_FIXED_FONT);
    SelectObject(s.dc(), before);
    SetTextColor(s.dc(), RGB(1, 1, 1));
    s.Run({"button1,Next,3", "no comma here", "mode,whole", "fill,10,20,30", "height,30", "font,40,50,60,12",
           "page,2", "fill,200,0,0", "font,0,0,0"});
    EXPECT_EQ("", s.Mismatches([](int, int) { return RGB(10, 20, 30); })) << "commands after page must not run";
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_FONT), (HGDIOBJ)before) << "the surface's font is put back";
    EXPECT_EQ(GetTextColor(s.dc()), RGB(40, 50, 60)) << "the text colour of the last font command stays";
    EXPECT_EQ(GetBkMode(s.dc()), TRANSPARENT);

    Surface empty(8, 8);
    SetBkMode(empty.dc(), OPAQUE);
    empty.Run({"page,1", "mode,whole", "fill,1,1,1"});
    EXPECT_EQ("", empty.Mismatches([](int, int) { return kBackground; })) << "a list starting with page paints nothing";
    EXPECT_EQ(GetBkMode(empty.dc()), TRANSPARENT);
    RunDrawingCommands(empty.dc(), empty.Area(), nullptr, nullptr, 0);  // nothing to draw, nothing to crash
}

// Text flows right or down from the working rectangle's corner; the test draws the
// same text with the platform's own calls as the reference.
TEST(Text, FlowsRightAndDownClipsInRectAndDrawsNothingElsewhere) {
    const std::string file = Here("two_lines.txt");
    stage::WriteFile(file, "one, two\r\nthree");
    struct {
        const char* mode;
        std::vector<std::string> pieces;  // "|..." single lines, "@..." a text file
    } cases[] = {
        {"bottom", {"|Ab,c", "string,xyz", "@two_lines.txt", "|end"}},
        {"right", {"|Ab,c", "string,xyz", "@two_lines.txt", "|end"}},
    };
    for (const auto& c : cases) {
        Surface s(400, 160), ref(400, 160);
        std::vector<std::string> commands = {std::string("mode,") + c.mode, "rect,10,5,10,5", "font,255,255,255,20"};
        for (const std::string& p : c.pieces) commands.push_back(p[0] == '@' ? "text," + p.substr(1) : p);
        s.Run(commands);

        LOGFONTA lf = {};
        lf.lfHeight = 20;
        HFONT font = CreateFontIndirectA(&lf);
        HGDIOBJ old = SelectObject(ref.dc(), font);
        SetBkMode(ref.dc(), TRANSPARENT);
        SetTextColor(ref.dc(), RGB(255, 255, 255));
        POINT at = {10, 5};
        RECT last = {};
        for (const std::string& p : c.pieces) {
            std::string text = p[0] == '@' ? "one, two\r\nthree" : p[0] == '|' ? p.substr(1) : p.substr(7);
            UINT flags = p[0] == '@' ? 0 : DT_SINGLELINE;
            RECT r = {at.x, at.y, at.x, at.y};
            DrawTextA(ref.dc(), text.c_str(), -1, &r, flags | DT_CALCRECT);
            DrawTextA(ref.dc(), text.c_str(), -1, &r, flags | DT_NOCLIP);
            last = r;
            at = std::string(c.mode) == "right" ? POINT{r.right, r.top} : POINT{r.left, r.bottom};
        }
        SelectObject(ref.dc(), old);
        DeleteObject(font);
        EXPECT_EQ("", s.Mismatches([&](int x, int y) { return ref.At(x, y); })) << "mode " << c.mode;
        EXPECT_NE(s.InkOf(RGB(255, 255, 255)).right, 0) << "mode " << c.mode << ": no text drawn at all";
        // Moving only the left and top edges shows where the right and bottom edges were left.
        Surface after(400, 160);
        commands.insert(commands.end(), {"rect,0,0", "mode,rect", "fill,0,0,254"});
        after.Run(commands);
        RECT got = after.InkOf(RGB(0, 0, 254)), want = {0, 0, last.right, last.bottom};
        EXPECT_TRUE(EqualRect(&got, &want)) << "mode " << c.mode << ": working rectangle ends at " << got.right << ","
                                            << got.bottom << ", expected " << want.right << "," << want.bottom;
    }

    Surface clipped(60, 40);
    SetTextColor(clipped.dc(), RGB(250, 0, 0));  // no font command: the surface's own colour
    clipped.Run({"mode,rect", "rect,10,10,40,22", "|WWWWWWWWWWWWWWW", "text,two_lines.txt"});
    RECT ink = clipped.InkOf(RGB(250, 0, 0));
    EXPECT_TRUE(ink.right > ink.left && ink.left >= 10 && ink.top >= 10 && ink.right <= 40 && ink.bottom <= 22)
        << "mode rect clips to 10,10-40,22: ink " << ink.left << "," << ink.top << "-" << ink.right << "," << ink.bottom;

    for (const char* mode : {"point", "left", "top", "center", "whole"}) {
        Surface s(60, 40);
        s.Run({std::string("mode,") + mode, "rect,0,0,60,40", "font,255,255,255,20", "|WWW", "text,two_lines.txt"});
        EXPECT_EQ("", s.Mismatches([](int, int) { return kBackground; })) << "text in mode " << mode;
    }
}

// height sets the height on an all-zero description: the default face.
TEST(Text, HeightMakesTheDefaultFaceAndTakesPercentages) {
    Surface byNumber(120, 240), byPercent(120, 240), ref(120, 240);
    SetTextColor(byNumber.dc(), RGB(0, 255, 0));
    SetTextColor(byPercent.dc(), RGB(0, 255, 0));
    byNumber.Run({"height,24", "mode,bottom", "|Hg"});
    byPercent.Run({"height,%10", "mode,bottom", "|Hg"});
    LOGFONTA lf = {};
    lf.lfHeight = 24;
    HFONT font = CreateFontIndirectA(&lf);
    SelectObject(ref.dc(), font);
    SetBkMode(ref.dc(), TRANSPARENT);
    SetTextColor(ref.dc(), RGB(0, 255, 0));
    RECT r = {0, 0, 0, 0};
    DrawTextA(ref.dc(), "Hg", -1, &r, DT_SINGLELINE | DT_NOCLIP);
    SelectObject(ref.dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
    EXPECT_EQ("", byNumber.Mismatches([&](int x, int y) { return ref.At(x, y); })) << "height,24";
    EXPECT_EQ("", byPercent.Mismatches([&](int x, int y) { return ref.At(x, y); })) << "height,%10 of 240";
}

}  // namespace

namespace {

// Lines and files that ship with a product: each is drawn safely or skipped, and the
// list goes on. Each case is compared with a run of the list as it should behave.
TEST(MalformedInput, OverlongLinesOddNumbersAndUnusableFilesAreSafe) {
    std::string binary;
    for (int i = 1; i < 256; ++i) binary += (char)i;
    binary += std::string(1, '\0') + "after the zero";
    stage::WriteFile(Here("empty.txt"), "");
    stage::WriteFile(Here("binary.txt"), binary);
    stage::WriteFile(Here("binary_cut.txt"), binary.substr(0, 255));
    stage::WriteFile(Here("huge.txt"), std::string((16 << 20) + 1, 'h'));
    const std::string wide(300, 'W'), commas(40, ',');
    const std::string start[] = {"mode,bottom", "font,255,255,255,16"};
    struct {
        const char* what;
        std::vector<std::string> given, same;
    } cases[] = {
        {"a 300-byte line is cut to 259 bytes", {"|" + wide}, {"|" + wide.substr(0, 258)}},
        {"an empty text file", {"text,empty.txt", "|next"}, {"|next"}},
        {"a text file over 16 MiB", {"text,huge.txt", "|next"}, {"|next"}},
        {"bytes up to the first zero", {"text,binary.txt"}, {"text,binary_cut.txt"}},
        {"rect with 40 commas", {"rect,1,2,3,4" + commas, "|x"}, {"rect,1,2,3,4", "|x"}},
        {"font with 40 commas", {"font,255,255,255,16" + commas, "|x"}, {"font,255,255,255,16", "|x"}},
        {"numbers beyond 32 bits", {"rect,99999999999,-99999999999", "|x"}, {"rect,2147483647,-2147483648", "|x"}},
        {"a face name of 200 bytes", {"font,255,255,255,16,0,0,0,0,0,0,0,0,0,0,0,0," + wide.substr(0, 200), "|x"},
         {"font,255,255,255,16,0,0,0,0,0,0,0,0,0,0,0,0," + wide.substr(0, 31), "|x"}},
    };
    for (const auto& c : cases) {
        Surface given(200, 60), same(200, 60);
        std::vector<std::string> a(std::begin(start), std::end(start)), b = a;
        a.insert(a.end(), c.given.begin(), c.given.end());
        b.insert(b.end(), c.same.begin(), c.same.end());
        for (auto* list : {&a, &b}) list->insert(list->end(), {"mode,rect", "rect,190,50,200,60", "fill,0,0,254"});
        DWORD begun = GetTickCount();
        given.Run(a);
        EXPECT_LT(GetTickCount() - begun, sizeof(void*) == 4 ? 15000u : 5000u) << c.what;  // i686: emulated
        same.Run(b);
        EXPECT_EQ("", given.Mismatches([&](int x, int y) { return same.At(x, y); })) << c.what;
        EXPECT_EQ(given.At(195, 55), RGB(0, 0, 254)) << c.what << ": the command after it must be drawn";
    }
    // A 1 x 1 image tiled over a screen-sized area: 786,432 copies, in reasonable time.
    stage::WriteFile(Here("dot.bmp"), PatternBmp(1, 1, 24).Bytes());
    Surface screen(1024, 768);
    DWORD begun = GetTickCount();
    screen.Run({"mode,whole", "bitmap,dot.bmp"});
    // The i686 build runs here under emulation, several times slower, beside other groups.
    const DWORD budget = sizeof(void*) == 4 ? 30000u : 10000u;
    EXPECT_LT(GetTickCount() - begun, budget) << "tiling a single pixel";
    for (POINT p : {POINT{0, 0}, POINT{1023, 767}, POINT{500, 400}})
        EXPECT_EQ(screen.At(p.x, p.y), PatternBmp(1, 1, 24).ColourAt(0, 0)) << p.x << "," << p.y;
}

}  // namespace
