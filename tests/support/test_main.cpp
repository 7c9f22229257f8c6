// Runs every test of a group from a folder on C:, so that nothing a test does with
// relative or root paths reaches the host's file system through Z:.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <string>
#include "stage.h"

int main(int argc, char** argv) {
    const char* group = getenv("SETUP_TEST_GROUP");
    std::string folder = std::string("C:\\unit\\") + (group ? group : "default");
    stage::DeleteTree(folder);
    stage::MakeFolders(folder);
    SetCurrentDirectoryA(folder.c_str());
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
