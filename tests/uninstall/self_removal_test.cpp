// The batch file through which the uninstaller removes its own executable and folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "uninstall/self_removal.h"

namespace {

std::string Batch(const std::string& exe, const std::string& folder) {
    return ":Repeat\r\ndel \"" + exe + "\"\r\nif exist \"" + exe + "\" goto Repeat\r\nrmdir \"" + folder +
           "\"\r\ndel \"\\delus.bat\"\r\n";
}

// Five lines, or nothing: a cut batch file could delete the wrong thing.
TEST(FormatRemovalBatch, FiveLinesThatDeleteExecutableFolderAndThemselves) {
    const char exe[] = "C:\\Program Files\\My App\\Setup.exe", folder[] = "C:\\Program Files\\My App";
    char text[1000];
    ASSERT_TRUE(FormatRemovalBatch(text, sizeof text, exe, folder, "\\delus.bat"));
    EXPECT_EQ(std::string(text), Batch(exe, folder));

    std::string longFolder = "C:\\" + std::string(240, 'f');  // as long as a path buffer allows
    std::string longExe = longFolder + "\\" + std::string(MAX_PATH - 2 - longFolder.size(), 'e');
    ASSERT_EQ(longExe.size(), (size_t)MAX_PATH - 1);
    EXPECT_TRUE(FormatRemovalBatch(text, sizeof text, longExe.c_str(), longFolder.c_str(), "\\delus.bat"));
    EXPECT_EQ(std::string(text), Batch(longExe, longFolder));

    char small[80 + 16];
    memset(small, 'G', sizeof small);
    EXPECT_FALSE(FormatRemovalBatch(small, 80, exe, folder, "\\delus.bat")) << "a cut batch text was accepted";
    EXPECT_NE(memchr(small, 0, 80), nullptr) << "the text stays terminated inside its buffer";
    EXPECT_EQ(std::string(small + 80, 16), std::string(16, 'G')) << "written past the buffer";
}

}  // namespace
