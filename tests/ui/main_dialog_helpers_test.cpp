// Small text helpers of the main dialog: the folder name added to a chosen folder
// and the title of the Start-menu location browser.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "ui/main_dialog.h"

namespace {

TEST(AppendFolderName, AddsTheNameUnlessItIsTheLastComponent) {
    const char* cases[][3] = {
        {"C:\\Tools", "App", "C:\\Tools\\App"},
        {"C:\\Tools\\", "App", "C:\\Tools\\App"},
        {"C:\\", "App", "C:\\App"},
        {"C:\\Tools\\App", "App", "C:\\Tools\\App"},
        {"C:\\Tools\\APP", "App", "C:\\Tools\\APP"},  // compared without regard to case
        {"C:\\MyApp", "App", "C:\\MyApp\\App"},       // only the whole last component counts
        {"C:\\App\\Tools", "App", "C:\\App\\Tools\\App"},
        {"C:\\Programs\\My Product", "My Product", "C:\\Programs\\My Product"},
        {"C:\\Tools", "", "C:\\Tools"},
    };
    char buffer[MAX_PATH + 16];
    for (const auto& c : cases) {
        strcpy(buffer, c[0]);
        AppendFolderName(buffer, c[1]);
        EXPECT_STREQ(buffer, c[2]) << "[" << c[0] << "] + [" << c[1] << "]";
    }

    memset(buffer, 'G', sizeof buffer);
    std::string path = "C:\\" + std::string(250, 'x');
    strcpy(buffer, path.c_str());
    AppendFolderName(buffer, "A Rather Long Product Name");
    EXPECT_NE(memchr(buffer, 0, MAX_PATH), nullptr) << "not terminated inside 260 bytes";
    EXPECT_EQ(std::string(buffer).substr(0, path.size()), path);
    EXPECT_EQ(std::string(buffer + MAX_PATH, 16), std::string(16, 'G')) << "written past the buffer";
}

TEST(FormatMenuLocationTitle, NamesTheMenuFolderInTheSystemLanguage) {
    char title[MAX_PATH];
    FormatMenuLocationTitle(title, sizeof title, "My Product");
    EXPECT_STREQ(title, GetOEMCP() == 932 ? "ﾒﾆｭｰ \"My Product\" の作成位置" : "Where \"My Product\" is ?");

    char small[24 + 8];
    memset(small, 'G', sizeof small);
    FormatMenuLocationTitle(small, 24, "A menu name much longer than the buffer");
    EXPECT_NE(memchr(small, 0, 24), nullptr);
    EXPECT_EQ(std::string(small + 24, 8), std::string(8, 'G')) << "written past the buffer";
}

}  // namespace
