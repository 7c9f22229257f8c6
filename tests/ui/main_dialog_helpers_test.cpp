// Small text helpers of the main dialog: the folder name added to a chosen folder
// and the title of the Start-menu location browser.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "ui/main_dialog.h"

namespace {

std::string Appended(const char* path, const char* name) {
    char buffer[MAX_PATH];
    strcpy(buffer, path);
    AppendFolderName(buffer, name);
    return buffer;
}

TEST(AppendFolderName, AddsTheNameUnlessItIsTheLastComponent) {
    EXPECT_EQ(Appended("C:\\Tools", "App"), "C:\\Tools\\App");
    EXPECT_EQ(Appended("C:\\Tools\\", "App"), "C:\\Tools\\App");
    EXPECT_EQ(Appended("C:\\", "App"), "C:\\App");
    EXPECT_EQ(Appended("C:\\Tools\\App", "App"), "C:\\Tools\\App");
    EXPECT_EQ(Appended("C:\\Tools\\APP", "App"), "C:\\Tools\\APP") << "compared without regard to case";
    EXPECT_EQ(Appended("C:\\MyApp", "App"), "C:\\MyApp\\App") << "only the whole last component counts";
    EXPECT_EQ(Appended("C:\\App\\Tools", "App"), "C:\\App\\Tools\\App");
    EXPECT_EQ(Appended("C:\\Programs\\My Product", "My Product"), "C:\\Programs\\My Product");
    EXPECT_EQ(Appended("C:\\Tools", ""), "C:\\Tools");
}

TEST(AppendFolderName, StaysInsideThePathBuffer) {
    char buffer[MAX_PATH + 16];
    memset(buffer, 'G', sizeof buffer);
    std::string path = "C:\\" + std::string(250, 'x');
    strcpy(buffer, path.c_str());
    AppendFolderName(buffer, "A Rather Long Product Name");
    EXPECT_NE(memchr(buffer, 0, MAX_PATH), nullptr) << "not terminated inside 260 bytes";
    EXPECT_EQ(std::string(buffer).substr(0, path.size()), path);
    for (size_t i = MAX_PATH; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'G') << "written past the buffer at " << i;
}

TEST(FormatMenuLocationTitle, NamesTheMenuFolderInTheSystemLanguage) {
    char title[MAX_PATH];
    FormatMenuLocationTitle(title, sizeof title, "My Product");
    if (GetOEMCP() == 932)
        EXPECT_STREQ(title, "ﾒﾆｭｰ \"My Product\" の作成位置");
    else
        EXPECT_STREQ(title, "Where \"My Product\" is ?");

    char small[24 + 8];
    memset(small, 'G', sizeof small);
    FormatMenuLocationTitle(small, 24, "A menu name much longer than the buffer");
    EXPECT_NE(memchr(small, 0, 24), nullptr);
    for (size_t i = 24; i < sizeof small; ++i) EXPECT_EQ(small[i], 'G') << "written past the buffer at " << i;
}

}  // namespace
