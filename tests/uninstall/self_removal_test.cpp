// The batch file through which the uninstaller removes its own executable and folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "uninstall/self_removal.h"

namespace {

TEST(FormatRemovalBatch, FiveLinesThatDeleteExecutableFolderAndThemselves) {
    char text[1000];
    ASSERT_TRUE(FormatRemovalBatch(text, sizeof text, "C:\\Program Files\\My App\\Setup.exe",
                                   "C:\\Program Files\\My App", "\\delus.bat"));
    EXPECT_STREQ(text,
                 ":Repeat\r\n"
                 "del \"C:\\Program Files\\My App\\Setup.exe\"\r\n"
                 "if exist \"C:\\Program Files\\My App\\Setup.exe\" goto Repeat\r\n"
                 "rmdir \"C:\\Program Files\\My App\"\r\n"
                 "del \"\\delus.bat\"\r\n");

    // Paths as long as a path buffer allows still fit the batch text.
    std::string folder = "C:\\" + std::string(240, 'f');
    std::string exe = folder + "\\" + std::string(MAX_PATH - 2 - folder.size(), 'e');
    ASSERT_EQ(exe.size(), (size_t)MAX_PATH - 1);
    EXPECT_TRUE(FormatRemovalBatch(text, sizeof text, exe.c_str(), folder.c_str(), "\\delus.bat"));
    EXPECT_EQ(std::string(text), ":Repeat\r\ndel \"" + exe + "\"\r\nif exist \"" + exe + "\" goto Repeat\r\nrmdir \"" +
                                     folder + "\"\r\ndel \"\\delus.bat\"\r\n");
}

TEST(FormatRemovalBatch, RefusesWhatDoesNotFit) {
    char text[80 + 16];
    memset(text, 'G', sizeof text);
    EXPECT_FALSE(FormatRemovalBatch(text, 80, "C:\\Program Files\\My App\\Setup.exe", "C:\\Program Files\\My App",
                                    "\\delus.bat"))
        << "a cut batch file could delete the wrong thing";
    EXPECT_NE(memchr(text, 0, 80), nullptr) << "the text stays terminated inside its buffer";
    for (size_t i = 80; i < sizeof text; ++i) EXPECT_EQ(text[i], 'G') << "written past the buffer at " << i;
}

}  // namespace
