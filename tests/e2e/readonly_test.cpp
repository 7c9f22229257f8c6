// A product started from a read-only place (a disc, a read-only share): the script
// cannot be written there, yet the install leaves a complete record in the install
// folder, and the uninstall removes everything. The host makes the stage read-only
// (tests/support/readonly-stage.sh) when the test asks for it.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "e2e_helpers.h"

using namespace e2e;

namespace {

// Asks the host to remount the stage read-only; false with a reason when it could not.
bool MakeStageReadOnly(std::string* why) {
    DeleteFileA("C:\\readonly-done");
    stage::WriteFile("C:\\readonly-request", "stage\\readonly");
    if (!ui::WaitUntil([] { return stage::Exists("C:\\readonly-done"); }, 20000, 100)) {
        *why = "the host did not answer (run the group through tests/support/readonly-stage.sh)";
        return false;
    }
    *why = stage::ReadFile("C:\\readonly-done");
    return *why == "ok";
}

// The run's private folders under the Windows folder's Temp.
std::vector<std::string> TempCopies() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    std::vector<std::string> out;
    stage::ForEachEntry(std::string(windows) + "\\Temp", [&](const std::string& path, const WIN32_FIND_DATAA& found) {
        if (std::string(found.cFileName).rfind("Setup-", 0) == 0) out.push_back(path);
    });
    return out;
}

}  // namespace

TEST(ReadOnlyMedia, InstallFromAReadOnlyStageLeavesACompleteRecord) {
    const std::string target = "C:\\ReadOnlyApp";
    stage::DeleteTree(target);
    stage::Folder folder("readonly");
    folder.Put("app.txt", "app");
    folder.Put("docs\\guide.txt", "guide");
    folder.WriteScript(Crlf({"[Setup]", "Name=Disc Product", "Auto=1", "[Root]", "Name=ReadOnlyApp",
                             "[MakeDirectory]", "1=docs", "[CopyFile]", "0=app.txt", "1=docs\\guide.txt"}));
    const std::string shipped = stage::ReadFile(folder.Script());
    std::vector<std::string> before = TempCopies();
    std::string why;
    if (!MakeStageReadOnly(&why)) GTEST_SKIP() << "no read-only stage: " << why;
    HANDLE probe = CreateFileA(folder.Script().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(INVALID_HANDLE_VALUE, probe) << "the stage is still writable";

    ui::Program install;
    ASSERT_TRUE(install.Start(folder.Path("Setup.exe"), "", folder.dir()));
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(install.Wait(60000, &code)) << "the install did not end";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(shipped, stage::ReadFile(folder.Script())) << "the read-only script changed";
    const std::string record = target + "\\Setup.ini";
    ASSERT_TRUE(stage::Exists(target + "\\Setup.exe") && stage::Exists(record)) << "no uninstaller placed";
    EXPECT_EQ("2", IniValue(record, "CopiedFile", "Count"));
    EXPECT_EQ(target + "\\app.txt", IniValue(record, "CopiedFile", "0"));
    EXPECT_EQ(target + "\\docs\\guide.txt", IniValue(record, "CopiedFile", "1"));
    EXPECT_EQ(target, IniValue(record, "Root", "Named"));
    EXPECT_EQ("2", IniValue(record, "MakedDirectory", "Count"));
    EXPECT_EQ(before, TempCopies()) << "the working copy of the script was left behind";

    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(target + "\\Setup.exe", "uninstall", target));
    EXPECT_TRUE(uninstaller.Wait(60000)) << "the uninstall did not end";
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(target); }, 40000, 200))
        << "the uninstall left " << target;
}
