// The run's private folders: always new, never one that someone made first.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "run/private_folder.h"
#include "stage.h"

TEST(MakePrivateFolder, ANewFolderUnderTheWindowsTempNeverAnExistingOne) {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    const std::string prefix = std::string(windows) + "\\Temp\\Setup-" + std::to_string(GetCurrentProcessId()) + "-";
    // Someone was first with the names this process would take: a folder with a file
    // planted in it, and a file under a folder's name.
    stage::MakeFolders(prefix + "0");
    ASSERT_TRUE(stage::WriteFile(prefix + "0\\Setup.ini", "[Go2]\r\nMake0=planted.exe\r\n"));
    ASSERT_TRUE(stage::WriteFile(prefix + "1", "a file"));

    char first[MAX_PATH], second[MAX_PATH];
    ASSERT_TRUE(MakePrivateFolder(first, sizeof first));
    ASSERT_TRUE(MakePrivateFolder(second, sizeof second));
    EXPECT_EQ(std::string(first), prefix + "2") << "the first name free of anyone's folder or file";
    EXPECT_EQ(std::string(second), prefix + "3");
    for (const char* made : {first, second}) {
        DWORD attributes = GetFileAttributesA(made);
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << made;
        int entries = 0;
        stage::ForEachEntry(made, [&](const std::string&, const WIN32_FIND_DATAA&) { ++entries; });
        EXPECT_EQ(entries, 0) << made << " must be empty";
    }
    EXPECT_EQ(stage::ReadFile(prefix + "0\\Setup.ini"), "[Go2]\r\nMake0=planted.exe\r\n") << "the planted folder";
    EXPECT_EQ(stage::ReadFile(prefix + "1"), "a file");

    char tiny[16];
    EXPECT_FALSE(MakePrivateFolder(tiny, sizeof tiny)) << "a name that does not fit is no folder";
    EXPECT_STREQ(tiny, "");
    for (const std::string& path : {prefix + "0", prefix + "1", std::string(first), std::string(second)})
        stage::DeleteTree(path);
}
