// The pure half of the drawing language: numbers and font fields (the rest is
// tested through the pixels it paints).
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "draw/draw_parse.h"

namespace {

TEST(DrawNumbers, IntegersSaturateAndPercentagesTruncate) {
    const std::pair<const char*, int32_t> integers[] = {
        {"12", 12},   {"  -7x", -7}, {"+3", 3},  {"abc", 0}, {"", 0}, {"1,2", 1}, {"- 5", 0},
        {"99999999999", INT32_MAX}, {"-2147483648", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
        {"2147483647", INT32_MAX},  {"00000000000000000000042", 42},
    };
    for (const auto& c : integers) EXPECT_EQ(ReadInteger(c.first), c.second) << "[" << c.first << "]";

    struct {
        const char* text;
        int32_t extent, want;
    } percents[] = {
        {"33.3", 1024, 340}, {"50", 800, 400},  {"100", 600, 600},     {"12.5,7", 800, 100},
        {"-10", 100, -10},   {"5e1", 100, 50},  {"x", 100, 0},         {"1e999", 768, INT32_MAX},
        {"-1e999", 768, INT32_MIN}, {"1e999", 0, 0}, {"99999999999", 1024, INT32_MAX}, {".5", 1000, 5},
    };
    for (const auto& c : percents)
        EXPECT_EQ(PercentOf(c.text, c.extent), c.want) << "%" << c.text << " of " << c.extent;

    // A blank before the percent sign makes an integer of it: 0.
    ParamCursor p("%50, %50,%100");
    int32_t v[3] = {-1, -1, -1};
    EXPECT_TRUE(p.Coordinate(800, &v[0]) && p.Coordinate(800, &v[1]) && p.Coordinate(600, &v[2]));
    EXPECT_EQ(v[0], 400);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], 600);
    EXPECT_FALSE(p.Coordinate(600, &v[0])) << "no fourth parameter";
}

TEST(DrawFontCommand, FieldsInOrderAsFarAsCommasGo) {
    FontFields font = {};
    font.weight = 400;
    strcpy(font.faceName, "Keep");
    uint32_t colour = ColourOf(1, 2, 3);
    ApplyFontCommand("255", &colour, &font);
    EXPECT_EQ(colour, ColourOf(255, 2, 3)) << "green and blue from the current colour";
    EXPECT_EQ(font.weight, 400);
    EXPECT_STREQ(font.faceName, "Keep");

    ApplyFontCommand("1,2,3,-24,5,900,0,700,1,300,0,128,3,2,4,49,Face, with comma", &colour, &font);
    EXPECT_EQ(colour, ColourOf(1, 2, 3));
    const int32_t wide[] = {font.height, font.width, font.escapement, font.orientation, font.weight};
    const int32_t wantWide[] = {-24, 5, 900, 0, 700};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(wide[i], wantWide[i]) << "32-bit field " << i;
    const uint8_t narrow[] = {font.italic, font.underline, font.strikeOut, font.charSet,
                              font.outPrecision, font.clipPrecision, font.quality, font.pitchAndFamily};
    const uint8_t wantNarrow[] = {1, 300 & 0xFF, 0, 128, 3, 2, 4, 49};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(narrow[i], wantNarrow[i]) << "8-bit field " << i << " (low byte)";
    EXPECT_STREQ(font.faceName, "Face, with comma") << "everything after the sixteenth comma";

    const std::string fields15 = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,";
    const std::string exact(31, 'e'), longer = std::string(31, 'f') + std::string(200, 'g');
    ApplyFontCommand((fields15 + exact).c_str(), &colour, &font);
    EXPECT_EQ(std::string(font.faceName), exact) << "31 bytes are used whole";
    ApplyFontCommand((fields15 + longer).c_str(), &colour, &font);
    EXPECT_EQ(std::string(font.faceName), std::string(31, 'f')) << "a longer face name is cut to 31 bytes";
    ApplyFontCommand(",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,", &colour, &font);  // 40 commas
    EXPECT_EQ(colour, 0u);
    EXPECT_STREQ(font.faceName, ",,,,,,,,,,,,,,,,,,,,,,,,") << "the face name takes the commas left over";
}

}  // namespace
