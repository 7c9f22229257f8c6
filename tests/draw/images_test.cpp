// Images and metafiles: placement by mode, the working rectangle afterwards, file
// lookup, and files that are not what they claim to be.
#include <string.h>
#include <string>
#include <vector>
#include "draw/bmp_layout.h"
#include "draw_helpers.h"
#include "stage.h"

using namespace draw_test;

namespace {

constexpr COLORREF kMarker = RGB(0, 0, 254);  // in no test image

// A 10 x 6 image on a 64 x 45 surface (tiles end in part-tiles at the right and bottom);
// the working rectangle (20,10)-(50,40) is 3 x 5 times the image.
TEST(Bitmap, PlacementAndWorkingRectangleForEveryModeAndDepth) {
    const int W = 64, H = 45, w = 10, h = 6;
    struct {
        const char* mode;
        // Where the image pixel for (x, y) comes from; false where the surface stays.
        bool (*source)(int x, int y, int* ix, int* iy);
        RECT after;
    } cases[] = {
        {"point", [](int x, int y, int* ix, int* iy) { *ix = x - 20, *iy = y - 10; return x >= 20 && x < 30 && y >= 10 && y < 16; },
         {0, 0, w, h}},
        {"left", [](int x, int y, int* ix, int* iy) { *ix = x, *iy = y % 6; return x < 10; }, {0, 0, w, H}},
        {"top", [](int x, int y, int* ix, int* iy) { *ix = x % 10, *iy = y; return y < 6; }, {0, 0, W, h}},
        {"right", [](int x, int y, int* ix, int* iy) { *ix = x - 54, *iy = y % 6; return x >= 54; }, {54, 0, W, H}},
        {"bottom", [](int x, int y, int* ix, int* iy) { *ix = x % 10, *iy = y - 39; return y >= 39; }, {0, 39, W, H}},
        {"center", [](int x, int y, int* ix, int* iy) { *ix = x - 27, *iy = y - 19; return x >= 27 && x < 37 && y >= 19 && y < 25; },
         {27, 19, 37, 25}},
        {"rect", [](int x, int y, int* ix, int* iy) { *ix = (x - 20) / 3, *iy = (y - 10) / 5; return x >= 20 && x < 50 && y >= 10 && y < 40; },
         {20, 10, 50, 40}},
        {"whole", [](int x, int y, int* ix, int* iy) { *ix = x % 10, *iy = y % 6; return true; }, {0, 0, W, H}},
    };
    for (int bits : {1, 4, 8, 24}) {
        const Bmp image = PatternBmp(w, h, bits);
        const std::string file = "pattern" + std::to_string(bits) + ".bmp";
        ASSERT_TRUE(stage::WriteFile(Here(file), image.Bytes()));
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string("mode ") + c.mode + ", " + std::to_string(bits) + " bits per pixel");
            const std::vector<std::string> commands = {std::string("mode,") + c.mode, "rect,20,10,50,40",
                                                       "bitmap," + file};
            Surface placed(W, H);
            placed.Run(commands);
            EXPECT_EQ("", placed.Mismatches([&](int x, int y) {
                int ix, iy;
                return c.source(x, y, &ix, &iy) ? image.ColourAt(ix, iy) : kBackground;
            }));
            Surface after(W, H);
            std::vector<std::string> more = commands;
            more.insert(more.end(), {"mode,rect", "fill,0,0,254"});
            after.Run(more);
            RECT got = after.InkOf(kMarker);
            EXPECT_TRUE(EqualRect(&got, &c.after)) << "working rectangle afterwards " << got.left << "," << got.top
                                                   << "-" << got.right << "," << got.bottom;
        }
    }
}

// Names are tried under the base folder (tokens and "!" allowed), then as written.
TEST(Bitmap, FilesFoundUnderTheBaseFolderOrAsWrittenAndMissingOnesSkipped) {
    const std::string base = Here("product"), onlyHere = "only_in_current_folder.bmp";
    const std::string absolute = Here("elsewhere\\absolute.bmp");
    const Bmp image = PatternBmp(3, 2, 24);
    for (const std::string& path : {base + "\\in_base.bmp", Here(onlyHere), absolute})
        ASSERT_TRUE(stage::WriteFile(path, image.Bytes()));
    const std::string names[] = {"in_base.bmp", "%ROOT%\\in_base.bmp", onlyHere, absolute, "!" + absolute};
    for (const std::string& name : names) {
        Surface s(8, 8);
        s.Run({"mode,point", "rect,2,3,0,0", "bitmap," + name}, base.c_str());
        EXPECT_EQ("", s.Mismatches([&](int x, int y) {
            return x >= 2 && x < 5 && y >= 3 && y < 5 ? image.ColourAt(x - 2, y - 3) : kBackground;
        })) << name;
    }
    Surface s(8, 8);
    s.Run({"mode,point", "rect,2,3,6,7", "bitmap,missing.bmp", "bitmap,", "bitmap,!missing.bmp", "text,missing.txt",
           "meta,missing.emf", "mode,rect", "fill,0,0,254"},
          base.c_str());
    RECT got = s.InkOf(kMarker), want = {2, 3, 6, 7};
    EXPECT_TRUE(EqualRect(&got, &want)) << "files that open neither way leave the working rectangle alone";
}

std::string MetaFile(const std::string& name, COLORREF colour) {
    const std::string path = Here(name);
    HDC dc = CreateEnhMetaFileA(nullptr, path.c_str(), nullptr, nullptr);  // the frame: what is drawn
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all = {0, 0, 100, 100};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    return path;
}

TEST(Meta, PlayedIntoTheRectangleOrTheWholeAreaOnly) {
    MetaFile("picture.emf", RGB(0, 200, 0));
    stage::WriteFile(Here("empty.emf"), "");
    stage::WriteFile(Here("not_a_picture.emf"), std::string(4096, 'x'));
    stage::WriteFile(Here("image.emf"), PatternBmp(4, 4, 8).Bytes());
    for (const char* mode : {"rect", "whole", "point", "left", "top", "right", "bottom", "center"}) {
        Surface s(64, 48);
        s.Run({std::string("mode,") + mode, "rect,10,10,50,40", "meta,empty.emf", "meta,not_a_picture.emf",
               "meta,image.emf", "meta,picture.emf"});
        std::string m = mode;
        for (POINT p : {POINT{12, 12}, POINT{47, 37}, POINT{3, 3}, POINT{60, 44}}) {
            bool inRect = p.x >= 10 && p.x < 50 && p.y >= 10 && p.y < 40;
            bool painted = m == "whole" || (m == "rect" && inRect);
            EXPECT_EQ(Hex(s.At(p.x, p.y)), Hex(painted ? RGB(0, 200, 0) : kBackground))
                << "mode " << mode << ", pixel " << p.x << "," << p.y;
        }
    }
}

// Header fields of a valid 8-bit 5 x 3 image replaced one at a time.
struct Variant {
    const char* what;
    size_t at;     // byte offset of the field (0 with size 0: truncate to `value` bytes)
    int size;      // 2 or 4 bytes; 0 = truncate
    uint32_t value;
    bool accepted;
};

TEST(BmpCorpus, MalformedHeadersAreRejectedAndTheListGoesOn) {
    const Bmp good = PatternBmp(5, 3, 8);
    const std::string bytes = good.Bytes();  // 54 + 1024 + 3 rows of 8 bytes = 1102
    const Variant variants[] = {
        {"as built", 2, 4, 1102, true},
        {"type XX", 0, 2, 0x5858, true},  // the file type is not examined
        {"file size field 0", 2, 4, 0, true},
        {"file size field huge", 2, 4, 0xFFFFFFFF, true},
        {"colours used huge", 46, 4, 0xFFFFFFFF, true},
        {"colours used 2", 46, 4, 2, true},
        {"image size field huge", 34, 4, 0xFFFFFFFF, true},
        {"empty file", 0, 0, 0, false},
        {"10 bytes", 0, 0, 10, false},
        {"53 bytes", 0, 0, 53, false},
        {"headers only", 0, 0, 54, false},
        {"colour table cut", 0, 0, 54 + 1023, false},
        {"one byte short of the rows", 0, 0, 1101, false},
        {"width 0", 18, 4, 0, false},
        {"width -5", 18, 4, (uint32_t)-5, false},
        {"height 0", 22, 4, 0, false},
        {"top-down", 22, 4, (uint32_t)-3, false},
        {"width huge", 18, 4, 0x7FFFFFFF, false},
        {"height huge", 22, 4, 0x7FFFFFFF, false},
        {"width most negative", 18, 4, 0x80000000, false},
        {"width wider than the rows", 18, 4, 9, false},
        {"bits 0", 28, 2, 0, false},
        {"bits 2", 28, 2, 2, false},
        {"bits 16", 28, 2, 16, false},
        {"bits 32", 28, 2, 32, false},
        {"bits 65535", 28, 2, 65535, false},
        {"run-length compressed", 30, 4, 1, false},
        {"bit fields", 30, 4, 3, false},
        {"core header", 14, 4, 12, false},
        {"version 5 header", 14, 4, 124, false},
        {"header size huge", 14, 4, 0xFFFFFFFF, false},
        {"planes 0", 26, 2, 0, false},
        {"pixel offset 0", 10, 4, 0, false},
        {"pixel offset inside the table", 10, 4, 54 + 1020, false},
        {"pixel offset after a gap", 10, 4, 54 + 1024 + 4, false},
        {"pixel offset huge", 10, 4, 0xFFFFFFFF, false},
    };
    for (const Variant& v : variants) {
        std::string file = bytes;
        if (v.size == 0) file.resize(v.value);
        for (int i = 0; i < v.size; ++i) file[v.at + i] = (char)(v.value >> (8 * i));
        BmpLayout layout;
        EXPECT_EQ(ParseBmpLayout(reinterpret_cast<const uint8_t*>(file.data()), file.size(), file.size(), &layout),
                  v.accepted)
            << v.what;
        ASSERT_TRUE(stage::WriteFile(Here("variant.bmp"), file));
        for (const char* mode : {"whole", "rect", "point"}) {
            Surface s(12, 8);
            s.Run({std::string("mode,") + mode, "rect,0,0,10,6", "bitmap,variant.bmp", "mode,rect",
                   "rect,11,7,12,8", "fill,0,0,254"});
            EXPECT_EQ("", s.Mismatches([&](int x, int y) {
                if (x == 11 && y == 7) return kMarker;
                if (!v.accepted) return kBackground;
                std::string m = mode;
                if (m == "whole") return good.ColourAt(x % 5, y % 3);
                if (m == "point") return x < 5 && y < 3 ? good.ColourAt(x, y) : kBackground;
                return x < 10 && y < 6 ? good.ColourAt(x / 2, y / 2) : kBackground;
            })) << v.what << ", mode " << mode;
        }
    }
}

// Random bytes in the headers of valid images: whatever is accepted lies inside the file.
TEST(BmpCorpus, RandomHeadersNeverAcceptAnImageLargerThanTheFile) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        static const int kDepths[] = {1, 4, 8, 24};
        const int bits = kDepths[round % 4];
        std::string file = PatternBmp(1 + round % 7, 1 + round % 5, bits).Bytes();
        for (int k = 0; k < 3; ++k) file[next() % 54] = (char)(next() >> 24);
        if (round % 3 == 0) file.resize(next() % (file.size() + 1));
        BmpLayout l;
        if (!ParseBmpLayout(reinterpret_cast<const uint8_t*>(file.data()), file.size(), file.size(), &l)) continue;
        ++accepted;
        EXPECT_LE((uint64_t)l.pixelOffset + l.pixelBytes, file.size()) << "round " << round;
        EXPECT_EQ((uint64_t)l.rowBytes * l.height, l.pixelBytes) << "round " << round;
        EXPECT_GE((uint64_t)l.rowBytes * 8, (uint64_t)l.width * l.bitsPerPixel) << "round " << round;
        if (round % 10 == 0) {  // and drawing it works
            stage::WriteFile(Here("random.bmp"), file);
            Surface s(16, 16);
            s.Run({"mode,whole", "bitmap,random.bmp", "mode,rect", "rect,15,15,16,16", "fill,0,0,254"});
            EXPECT_EQ(s.At(15, 15), kMarker) << "round " << round;
        }
    }
    EXPECT_GT(accepted, 100) << "the mutations should leave many images intact";
}

}  // namespace
