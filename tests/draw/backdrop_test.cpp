// The backdrop picture: the [Back] list read from the script and drawn in one run.
#include <string>
#include <vector>
#include "draw/backdrop_picture.h"
#include "draw_helpers.h"
#include "fixtures.h"
#include "stage.h"

using namespace draw_test;

namespace {

TEST(PaintBackdrop, DrawsTheListUpToTheFirstGapAgainstTheInstallFolder) {
    const std::string folder = Here("installed");
    const Bmp image = PatternBmp(4, 4, 4);
    ASSERT_TRUE(stage::WriteFile(folder + "\\logo.bmp", image.Bytes()));
    const std::string head = "[Back]\r\nDo=1\r\n0=mode,whole\r\n1=fill,10,20,30\r\n";
    struct {
        const char* what;
        std::string back;  // the rest of [Back]
        COLORREF corner, logo;  // pixel (0,0) and pixel (30,30)
    } cases[] = {
        {"a gap after key 1", "3=fill,200,0,0\r\n", RGB(10, 20, 30), RGB(10, 20, 30)},
        {"an empty key 2", "2=\r\n3=fill,200,0,0\r\n", RGB(10, 20, 30), RGB(10, 20, 30)},
        {"a page line", "2=page,x\r\n3=fill,200,0,0\r\n", RGB(10, 20, 30), RGB(10, 20, 30)},
        {"an image under the install folder", "2=mode,center\r\n3=bitmap,logo.bmp\r\n", RGB(10, 20, 30),
         image.ColourAt(0, 0)},
        {"one long line", "2=mode,rect\r\n3=rect,0,0,1,1\r\n4=fill,200,0,0" + std::string(400, ',') + "\r\n",
         RGB(200, 0, 0), RGB(10, 20, 30)},
    };
    for (const auto& c : cases) {
        const std::string script = Here("backdrop.ini");
        ASSERT_TRUE(stage::WriteFile(script, head + c.back));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, script.c_str());
        Surface s(64, 64);
        PaintBackdrop(s.dc(), 0, 0, 64, 64, folder.c_str(), script.c_str());
        EXPECT_EQ(Hex(s.At(0, 0)), Hex(c.corner)) << c.what;
        EXPECT_EQ(Hex(s.At(30, 30)), Hex(c.logo)) << c.what;
    }
    // Without entries, or with key 0 empty, the surface stays as it was.
    for (const std::string& back : {std::string(""), std::string("0=\r\n1=mode,whole\r\n2=fill,9,9,9\r\n")}) {
        const std::string script = Here("backdrop_empty.ini");
        ASSERT_TRUE(stage::WriteFile(script, "[Back]\r\nDo=1\r\n" + back));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, script.c_str());
        Surface s(16, 16);
        PaintBackdrop(s.dc(), 0, 0, 16, 16, "", script.c_str());
        EXPECT_EQ("", s.Mismatches([](int, int) { return kBackground; })) << "[Back] with [" << back << "]";
    }
}

}  // namespace
