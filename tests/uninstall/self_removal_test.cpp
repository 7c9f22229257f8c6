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

// The command processor reads the batch file in the OEM code page and expands "%": a
// Western folder name with an accent or a per-cent sign must reach it as its own bytes.
TEST(FormatRemovalBatch, PathsInTheOemCodePageWithPerCentSignsDoubled) {
    struct {
        const char* ansi;  // code page 1252
        const char* oem;   // code page 437, or null when it cannot be expressed there
    } rows[] = {
        {"C:\\Jos\xE9\\Notes", "C:\\Jos\x82\\Notes"},
        {"C:\\100% Notes", "C:\\100% Notes"},
        {"C:\\Caf\xE9 \xFC\xF1", "C:\\Caf\x82 \x81\xA4"},
        {"C:\\Price \x80 list", nullptr},  // the euro sign has no place in code page 437
    };
    for (const auto& r : rows) {
        char out[MAX_PATH + 8];
        memset(out, 'G', sizeof out);
        bool ok = ToOemText(r.ansi, out, MAX_PATH, 1252, 437);
        EXPECT_EQ(ok, r.oem != nullptr) << r.ansi;
        if (ok) EXPECT_EQ(std::string(out), r.oem);
        EXPECT_EQ(std::string(out + MAX_PATH, 8), "GGGGGGGG") << "written past the buffer";
    }
    char text[2400];
    ASSERT_TRUE(FormatRemovalBatch(text, sizeof text, "C:\\100% Jos\x82\\Setup.exe", "C:\\100% Jos\x82", "\\delus.bat"));
    EXPECT_EQ(std::string(text), Batch("C:\\100%% Jos\x82\\Setup.exe", "C:\\100%% Jos\x82"));
    std::string percents(MAX_PATH - 1, '%');  // the longest path, every byte doubled, still fits
    EXPECT_TRUE(FormatRemovalBatch(text, sizeof text, percents.c_str(), percents.c_str(), "\\delus.bat"));
    EXPECT_EQ(std::string(text), Batch(std::string(2 * percents.size(), '%'), std::string(2 * percents.size(), '%')));
}

}  // namespace
