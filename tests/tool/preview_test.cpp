// The preview's files: the backdrop at the size asked for and each picture page the
// read-me can show, as 24-bit BMP files read back pixel by pixel; nothing else written.
#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include <string>
#include "../draw/draw_helpers.h"
#include "fixtures.h"
#include "listing.h"
#include "bmp_file.h"
#include "stage.h"
#include "tool/preview.h"
#include "ui/readme_dialog.h"

namespace {

TEST(Preview, BackdropAtItsSizeAndEveryPageTheReadmeShows) {
    stage::Folder folder("preview", false);
    folder.WriteScript(Crlf({"[Setup]", "Name=Preview", "[Root]", "Name=Preview", "[Back]", "Do=1", "0=mode,whole",
                             "1=fill,10,20,30", "2=mode,rect", "3=rect,%50,0,%100,%50", "4=fill,200,0,0", "[Readme]",
                             "Done=1", "File=ReadMe.Special", "No=6", "0=mode,whole", "1=fill,0,0,160", "2=page,7",
                             "3=mode,whole", "4=fill,0,160,0", "5=page,uninstall"}));
    const std::string out = "C:\\unit\\preview-out\\deeper";
    stage::DeleteTree("C:\\unit\\preview-out");
    PreviewOptions options;
    options.width = 320;
    options.height = 200;
    options.outFolder = out;
    std::string report, errors;
    ASSERT_TRUE(PreviewScript(GetModuleHandleA(nullptr), folder.dir(), options, &report, &errors)) << errors;
    EXPECT_EQ(errors, "");

    BmpFile backdrop(out + "\\backdrop.bmp");
    ASSERT_EQ(backdrop.w, 320) << report;
    ASSERT_EQ(backdrop.h, 200);
    const struct {
        int x, y;
        COLORREF colour;
    } backdropPixels[] = {{0, 0, RGB(10, 20, 30)}, {159, 99, RGB(10, 20, 30)}, {160, 0, RGB(200, 0, 0)},
                          {319, 99, RGB(200, 0, 0)}, {319, 100, RGB(10, 20, 30)}, {0, 199, RGB(10, 20, 30)}};
    for (const auto& p : backdropPixels)
        EXPECT_EQ(draw_test::Hex(backdrop.At(p.x, p.y)), draw_test::Hex(p.colour)) << "backdrop " << p.x << "," << p.y;

    RECT area;
    ASSERT_TRUE(MeasureReadmePageArea(GetModuleHandleA(nullptr), &area));
    // No page line names "install": the dialog opens on the lines from 1 on, which
    // fill nothing but leave the first fill undone; page 7 is green; "uninstall" is empty.
    const struct {
        const char* file;
        COLORREF colour;
    } pages[] = {{"readme-page-install.bmp", RGB(0, 0, 0)}, {"readme-page-7.bmp", RGB(0, 160, 0)},
                 {"readme-page-uninstall.bmp", RGB(0, 0, 0)}};
    for (const auto& p : pages) {
        BmpFile page(out + "\\" + p.file);
        ASSERT_EQ(page.w, area.right - area.left) << p.file << "\n" << report;
        ASSERT_EQ(page.h, area.bottom - area.top) << p.file;
        EXPECT_EQ(draw_test::Hex(page.At(page.w / 2, page.h / 2)), draw_test::Hex(p.colour)) << p.file;
    }
    EXPECT_EQ(listing::Names(out), (std::vector<std::string>{"backdrop.bmp", "readme-page-7.bmp",
                                                             "readme-page-install.bmp", "readme-page-uninstall.bmp"}))
        << "a page for versionup too: none names it, and it shows the install page's lines\n" << report;
    EXPECT_NE(report.find("a read-me opened on versionup shows readme-page-install.bmp"), std::string::npos) << report;
    EXPECT_EQ(listing::Names(folder.dir()), std::vector<std::string>{"Setup.ini"})
        << "nothing written beside the script";
}

TEST(Preview, AScriptWithoutPicturesStillGivesItsBlackBackdrop) {
    stage::Folder folder("preview-plain", false);
    folder.WriteScript(Crlf({"[Setup]", "Name=Plain", "[Readme]", "Done=1", "File=readme.txt"}));
    PreviewOptions options;
    options.outFolder = "C:\\unit\\preview-plain";
    stage::DeleteTree(options.outFolder);
    std::string report, errors;
    ASSERT_TRUE(PreviewScript(GetModuleHandleA(nullptr), folder.dir(), options, &report, &errors)) << errors;
    BmpFile backdrop(options.outFolder + "\\backdrop.bmp");
    ASSERT_EQ(backdrop.w, 1024);
    ASSERT_EQ(backdrop.h, 768);
    EXPECT_EQ(draw_test::Hex(backdrop.At(512, 384)), draw_test::Hex(RGB(0, 0, 0)));
    EXPECT_NE(report.find("[Back] \"Do\" is 0: the install shows none"), std::string::npos) << report;
    EXPECT_EQ(listing::Names(options.outFolder), std::vector<std::string>{"backdrop.bmp"}) << "a text read-me has no pages";
}

}  // namespace
