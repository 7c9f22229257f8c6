// The preview's files: the backdrop at the size asked for and each picture page the
// read-me can show, as 24-bit BMP files read back pixel by pixel; nothing else written.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>
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
    // The file is missing: the dialog shows an empty text box, and so does the picture.
    EXPECT_EQ(listing::Names(options.outFolder), (std::vector<std::string>{"backdrop.bmp", "readme-text-1.bmp"}));
    EXPECT_NE(report.find("read-me, lines 1 to 1 of 1\n"), std::string::npos) << report;
}

// A text read-me or agreement: one picture per screenful, named by its kind and numbered;
// the pages follow on from each other, the last ends with the text's last line, and a
// text too long for a reasonable number of pictures is cut at 50 and says so.
TEST(Preview, TextReadmesArePicturedScreenfulByScreenful) {
    const struct {
        const char* name;
        int lines;       // of the file, each ended by CR LF
        bool agreement;
        const char* prefix;
        const char* buttons;  // as the report names them ("" for none)
    } cases[] = {
        {"short", 3, false, "readme-text-", ""},
        {"long", 100, false, "readme-text-", ""},
        {"agreement", 60, true, "agreement-", ", buttons: I agree., Cancel"},
        {"endless", 3000, false, "readme-text-", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stage::Folder folder(std::string("preview-text-") + c.name, false);
        std::string text;
        for (int i = 1; i <= c.lines; ++i) text += "line " + std::to_string(i) + "\r\n";
        folder.Put("readme.txt", text);
        folder.WriteScript(Crlf({"[Setup]", "Name=Text", "[Go]", std::string("Agree=") + (c.agreement ? "1" : "0"),
                                 "[Readme]", "Done=2", "File=readme.txt"}));
        PreviewOptions options;
        options.outFolder = std::string("C:\\unit\\preview-text-") + c.name;
        stage::DeleteTree(options.outFolder);
        std::string report, errors;
        ASSERT_TRUE(PreviewScript(GetModuleHandleA(nullptr), folder.dir(), options, &report, &errors)) << errors;
        const int total = c.lines + 1;  // the box counts the empty line after the last line end
        int expectedFirst = 1, pictures = 0, lastEnd = 0;
        for (size_t at = report.find(c.prefix); at != std::string::npos; at = report.find(c.prefix, at + 1)) {
            ++pictures;
            const std::string line = report.substr(at, report.find('\n', at) - at);
            EXPECT_EQ(0u, line.find(c.prefix + std::to_string(pictures) + ".bmp  ")) << line;
            int first = 0, last = 0, of = 0;
            const size_t words = line.find(" lines ");
            ASSERT_NE(words, std::string::npos) << line;
            ASSERT_EQ(3, sscanf(line.c_str() + words, " lines %d to %d of %d", &first, &last, &of)) << line;
            EXPECT_EQ(of, total) << line;
            EXPECT_GT(last, first) << line;
            // Each page follows on from the one before; only the last may show lines again.
            if (last < total) {
                EXPECT_EQ(first, expectedFirst) << line;
            }
            else EXPECT_LE(first, expectedFirst) << line;
            expectedFirst = last + 1;
            lastEnd = last;
            EXPECT_NE(line.find(std::string(c.agreement ? " agreement, " : " read-me, ")), std::string::npos) << line;
            if (!stage::Japanese()) {
                EXPECT_EQ(line.substr(line.size() - strlen(c.buttons)), c.buttons) << line;
            }
            BmpFile picture(options.outFolder + "\\" + c.prefix + std::to_string(pictures) + ".bmp");
            EXPECT_GT(picture.w, 0) << line;
        }
        const bool cut = report.find("the first 50 are drawn") != std::string::npos;
        EXPECT_EQ(cut, c.lines > 1000) << report;
        if (cut) {
            EXPECT_EQ(pictures, 50) << report;
        } else {
            EXPECT_EQ(lastEnd, total) << "the last picture ends with the text\n" << report;
            EXPECT_EQ(pictures > 1, c.lines > 40) << report;
        }
        EXPECT_EQ((int)listing::Names(options.outFolder).size(), pictures + 1) << report;
    }
}

}  // namespace
