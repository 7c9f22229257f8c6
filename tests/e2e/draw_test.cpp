// The backdrop picture of the real Setup.exe: what the screen shows around the main
// dialog when the script draws a gradient, a centred image and a title.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "../draw/draw_helpers.h"
#include "e2e_helpers.h"
#include "stage.h"
#include "ui_driver.h"
#include "res/resource.h"

namespace {

// The screen as it is now, in a surface of its own.
void CaptureScreen(draw_test::Surface& into) {
    HDC screen = GetDC(nullptr);
    BitBlt(into.dc(), 0, 0, into.w(), into.h(), screen, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

TEST(Backdrop, GradientCentredImageAndTitleAroundTheDialogUpToTheGap) {
    const int imageW = 960, imageH = 200;
    const draw_test::Bmp image = draw_test::PatternBmp(imageW, imageH, 4);
    stage::Folder folder("backdrop");
    folder.Put("art\\picture.bmp", image.Bytes());
    folder.WriteScript(
        "[Setup]\r\nName=Backdrop Product\r\n[Root]\r\nName=%programs%\\Backdrop Product\r\n"
        "[Back]\r\nDo=1\r\n"
        "0=mode,top\r\n1=rect,0,0,%100,%100\r\n2=gradation,0,0,96,0,160,255,96\r\n"
        "3=mode,center\r\n4=bitmap,art\\picture.bmp\r\n"
        "5=mode,bottom\r\n6=rect,24,16,24,16\r\n7=font,255,255,0,40,0,0,0,700\r\n8=|Backdrop Product Setup\r\n"
        "10=mode,whole\r\n11=fill,255,0,0\r\n");  // after the gap at 9: never drawn
    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), 20000);
    ASSERT_NE(dialog, nullptr) << "no main dialog within 20 s";
    ui::WaitForScreenPaint();  // the backdrop's and the dialog's first paint
    e2e::Shot("backdrop-picture");

    RECT screen = ui::WindowRect(GetDesktopWindow()), covered = ui::WindowRect(dialog);
    ASSERT_EQ(screen.right, 1024);
    ASSERT_EQ(screen.bottom, 768);
    draw_test::Surface shot(screen.right, screen.bottom);
    CaptureScreen(shot);
    auto hidden = [&](int x, int y) {
        POINT p = {x, y};
        return PtInRect(&covered, p) != FALSE;
    };

    // 96 bands of 8 rows from (0,0,96) toward (0,160,255); nothing else on the left edge below the title.
    int checked = 0;
    for (int y = 80; y < 768; y += 37) {
        for (int x : {3, 1020}) {
            if (hidden(x, y)) continue;
            int i = y / 8;
            COLORREF want = (y >= 284 && y < 484 && x >= 32 && x < 992) ? image.ColourAt(x - 32, y - 284)
                                                                        : RGB(0, 160 * i / 96, 96 + 159 * i / 96);
            EXPECT_EQ(draw_test::Hex(shot.At(x, y)), draw_test::Hex(want)) << "backdrop pixel " << x << "," << y;
            ++checked;
        }
    }
    // The image is centred: (1024 - 960) / 2 = 32 and (768 - 200) / 2 = 284.
    for (int ix : {0, 1, 57, 958, 959}) {
        for (int iy : {0, 99, 199}) {
            if (hidden(32 + ix, 284 + iy)) continue;
            EXPECT_EQ(draw_test::Hex(shot.At(32 + ix, 284 + iy)), draw_test::Hex(image.ColourAt(ix, iy)))
                << "image pixel " << ix << "," << iy;
            ++checked;
        }
    }
    EXPECT_GE(checked, 20) << "the dialog " << covered.left << "," << covered.top << "-" << covered.right << ","
                           << covered.bottom << " covers too much to check the backdrop";
    EXPECT_EQ(draw_test::Hex(shot.At(31, 300)), draw_test::Hex(RGB(0, 160 * 37 / 96, 96 + 159 * 37 / 96)))
        << "left of the image: the gradient";

    // The title in bold yellow from (24,16); nothing red anywhere: the list ended at the gap.
    RECT title = shot.InkOf(RGB(255, 255, 0));
    EXPECT_TRUE(title.left >= 24 && title.top >= 16 && title.left < 40 && title.right > 300 && title.bottom < 80)
        << "title ink " << title.left << "," << title.top << "-" << title.right << "," << title.bottom;
    RECT red = shot.InkOf(RGB(255, 0, 0));
    EXPECT_EQ(red.right, 0) << "red at " << red.left << "," << red.top << ": commands after the gap were drawn";

    ui::Click(dialog, IDC_CANCEL);
    DWORD code = 99;
    EXPECT_TRUE(program.Wait(15000, &code)) << "the program must end after Cancel";
    EXPECT_EQ(code, 0u);
}

}  // namespace
