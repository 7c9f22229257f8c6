// Small helpers of the main dialog: the folder name added to a chosen folder, the title
// of the Start-menu location browser and the lookup of an earlier install.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "stage.h"
#include "install/choices.h"
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

TEST(FindEarlierInstall, OnlyThisInstallersUninstallerBesideAnInstallRecord) {
    const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SetupFindTest";
    char here[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof here, here);
    const std::string base = std::string(here) + "\\find", record = base + "\\Rec App", script = base + "\\Script",
                      none = base + "\\None";
    stage::DeleteTree(base);
    ASSERT_TRUE(stage::WriteFile(record + "\\Setup.ini", "[CopiedFile]\r\nCount=1\r\n0=" + record + "\\a.txt\r\n"));
    ASSERT_TRUE(stage::WriteFile(script + "\\Setup.ini", "[Root]\r\nName=SetupFindTest\r\n[CopyFile]\r\n0=a.txt\r\n"));
    const struct {
        std::string command, folder;  // "": no earlier install
    } cases[] = {
        {"\"" + record + "\\Setup.exe\" uninstall", record},
        {"\"" + record + "\\SETUP.EXE\"", record},
        // Registrations written before were never quoted.
        {record + "\\Setup.exe uninstall", record},
        {record + "\\Setup.exe", record},
        // Another program beside the record, or an argument of another's.
        {"\"" + record + "\\unins000.exe\"", ""},
        {record + "\\Setup.exe /x", ""},
        // A Setup.exe without an install record beside it.
        {"\"" + script + "\\Setup.exe\"", ""},
        {"\"" + none + "\\Setup.exe\"", ""},
        {"Setup.exe", ""},
        {"\"" + record + "\\Setup.exe", ""},
    };
    char folder[MAX_PATH];
    for (const auto& c : cases) {
        ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, key, "UninstallString", c.command.c_str()));
        memset(folder, 'x', sizeof folder);
        EXPECT_EQ(!c.folder.empty(), FindEarlierInstall("SetupFindTest", folder)) << c.command;
        EXPECT_EQ(c.folder, std::string(folder)) << c.command;
    }
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, key);
    EXPECT_FALSE(FindEarlierInstall("SetupFindTest", folder)) << "no key";
    stage::DeleteTree(base);
}

}  // namespace
