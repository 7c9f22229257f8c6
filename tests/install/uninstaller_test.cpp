// Merging an older install record into the current one.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include <atomic>
#include <thread>
#include "run/run_state.h"
#include "base/text.h"
#include "install/uninstaller.h"
#include "fixtures.h"
#include "stage.h"

namespace {

// The entries 0 .. Count-1 that are present, in order.
std::vector<std::string> ListEntries(const std::string& file, const char* section) {
    std::vector<std::string> out;
    for (int i = 0, n = (int)GetPrivateProfileIntA(section, "Count", 0, file.c_str()); i < n; ++i)
        if (std::string v = stage::Ini(file, section, std::to_string(i).c_str()); !v.empty()) out.push_back(v);
    return out;
}

class MergeRecordListTest : public testing::Test {
protected:
    // A record file holding text, under a name used once.
    std::string Record(const std::string& text) {
        std::string path = folder_.Path("record" + std::to_string(++files_) + ".ini");
        stage::WriteFile(path, text);
        return path;
    }
    stage::Folder folder_{"merge_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()), false};
    int files_ = 0;
};

// What the current list lacks is appended in the older order, each path once whatever
// its case; the older "Count" decides what takes part; missing keys add nothing.
TEST_F(MergeRecordListTest, AppendsWhatTheCurrentListLacks) {
    const std::string current = "[MakedDirectory]\r\n0=C:\\App\r\nCount=1\r\n";
    const std::vector<std::string> unchanged = {"0=C:\\App", "Count=1"};
    struct Case {
        std::string older, current;
        std::vector<std::string> want;
        const char* why;
    } cases[] = {
        {"[MakedDirectory]\r\n0=C:\\a\r\n1=C:\\B\r\n2=C:\\c\r\n3=C:\\d\r\n4=C:\\A\r\nCount=5\r\n",
         "[MakedDirectory]\r\n0=C:\\b\r\n1=C:\\e\r\nCount=2\r\n",
         {"0=C:\\b", "1=C:\\e", "2=C:\\a", "3=C:\\c", "4=C:\\d", "Count=5"}, "B and A are duplicates"},
        {"[MakedDirectory]\r\n0=C:\\Old\r\nCount=0\r\n", current, unchanged, "older Count 0"},
        {"[MakedDirectory]\r\n0=C:\\Old\r\n", current, unchanged, "older list without Count"},
        {"", current, unchanged, "no older record"},
        {"[MakedDirectory]\r\n0=C:\\Old\r\n2=C:\\Old\\Two\r\n3=C:\\Old\\Three\r\nCount=3\r\n",
         "[MakedDirectory]\r\n0=C:\\App\r\nCount=1\r\nNote=n\r\n",
         {"0=C:\\App", "Note=n", "1=C:\\Old", "2=C:\\Old\\Two", "Count=3"},
         "a missing key skipped, keys from Count on ignored, other keys kept"},
        // A current key at or above its own Count is no entry: the merged one replaces it.
        {"[MakedDirectory]\r\n0=C:\\App\\older\r\nCount=1\r\n", "[MakedDirectory]\r\n0=C:\\App\r\n1=C:\\stale\r\nCount=1\r\n",
         {"0=C:\\App", "1=C:\\App\\older", "Count=2"}, "stale current key"},
        // An install that copied nothing still wrote Count 1, without key 0.
        {"[MakedDirectory]\r\n0=C:\\a\r\n1=C:\\b\r\nCount=2\r\n", "[MakedDirectory]\r\nCount=1\r\n",
         {"1=C:\\a", "2=C:\\b", "Count=3"}, "after a list that recorded nothing"},
    };
    for (const Case& c : cases) {
        std::string target = Record(c.current);
        std::string older = c.older.empty() ? folder_.Path("no such record.ini") : Record(c.older);
        MergeRecordList(older.c_str(), target.c_str(), "MakedDirectory");
        EXPECT_EQ(SectionLines(target, "MakedDirectory"), c.want) << c.why << ":\n" << Join(SectionLines(target, "MakedDirectory"));
    }
}

TEST_F(MergeRecordListTest, LargeListsMergeInReasonableTime) {
    const int n = 3000;
    auto path = [](int i, bool upper) {
        char text[128];
        snprintf(text, sizeof text, "C:\\Program Files\\Product\\data %d\\file%05d.bin", i / 10, i);
        if (upper) CharUpperA(text);
        return std::string(text);
    };
    // The older install has 0 .. 2999, the current one 1500 .. 4499 in another letter case.
    std::string olderText = "[CopiedFile]\r\n", currentText = "[CopiedFile]\r\n";
    for (int i = 0; i < n; ++i) {
        olderText += std::to_string(i) + "=" + path(i, false) + "\r\n";
        currentText += std::to_string(i) + "=" + path(1500 + i, true) + "\r\n";
    }
    std::string older = Record(olderText + "Count=3000\r\n"), current = Record(currentText + "Count=3000\r\n");

    DWORD start = GetTickCount();
    MergeRecordList(older.c_str(), current.c_str(), "CopiedFile");
    DWORD elapsed = GetTickCount() - start;

    EXPECT_LT(elapsed, 20000u) << "merging two lists of " << n << " took " << elapsed << " ms";
    std::vector<std::string> entries = ListEntries(current, "CopiedFile");
    ASSERT_EQ(entries.size(), 4500u);
    EXPECT_EQ(entries[n - 1], path(4499, true));
    EXPECT_EQ(entries[n], path(0, false)) << "the older entries follow the current ones";
    EXPECT_EQ(entries[4499], path(1499, false));
}

// The uninstaller is the running program itself, whatever it was shipped as (the test
// program here), and a registration never stays pointing at an uninstaller that is not
// there: the failure is told and the product's entry taken back.
TEST(PlaceUninstaller, CopiesTheRunningProgramOrSaysSoAndWithdrawsTheRegistration) {
    constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PlaceTest";
    char own[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
    stage::Folder source("place_source", false);
    struct Case {
        const char* what;
        bool blockExe;     // a folder stands where Setup.exe goes
        bool blockRecord;  // and where Setup.ini goes
        bool placed;
    } cases[] = {
        {"a free install folder", false, false, true},
        {"Setup.exe cannot be written", true, false, false},
        {"Setup.ini cannot be written", false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = "C:\\unit\\place uninstaller";
        stage::DeleteTree(folder);
        stage::MakeFolders(folder);
        if (c.blockExe) stage::MakeFolders(folder + "\\Setup.exe");
        if (c.blockRecord) stage::MakeFolders(folder + "\\Setup.ini");
        const std::string script = source.Path(std::string("place") + (c.blockExe ? "1" : c.blockRecord ? "2" : "0") + ".ini");
        stage::WriteFile(script, Crlf({"[Setup]", "Name=Place Test", "[Root]", "Name=PlaceTest", "Named=" + folder,
                                       "[CopiedFile]", "0=" + folder + "\\a.txt", "Count=1"}));
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script.c_str());
        ::Run().restartNeeded = false;
        const std::string command = "\"" + folder + "\\Setup.exe\"";
        ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString", command.c_str()));

        std::atomic<bool> done{false};
        std::vector<std::wstring> boxes;
        std::thread answerer([&] {
            while (!done) {
                HWND box = ui::WaitForMessageBox(GetCurrentProcessId(), 100);
                if (!box) continue;
                ui::WaitUntil([&] { return !ui::MessageBoxText(box).empty(); }, 5000);
                boxes.push_back(ui::MessageBoxText(box));
                ui::Click(box, IDOK);
                ui::WaitUntil([&] { return !IsWindow(box); }, 5000);
            }
        });
        PlaceUninstaller(nullptr);
        done = true;
        answerer.join();

        if (c.placed) {
            EXPECT_TRUE(boxes.empty()) << "no box when all went well";
            EXPECT_EQ(stage::ReadFile(folder + "\\Setup.exe"), stage::ReadFile(own)) << "the running program";
            EXPECT_EQ(stage::ReadFile(folder + "\\Setup.ini"), stage::ReadFile(script)) << "the record";
        } else {
            ASSERT_EQ(boxes.size(), 1u) << "the failure is told once";
            EXPECT_NE(boxes[0].find(ui::Widen((folder + (c.blockExe ? "\\Setup.exe" : "\\Setup.ini")).c_str())),
                      std::wstring::npos)
                << ui::Narrow(boxes[0]);
        }
        EXPECT_EQ(stage::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstall), c.placed)
            << "the registration stays only with its uninstaller";
        stage::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstall);
    }

    // The installed copy run again works on the record in the install folder itself:
    // copying it onto itself is no failure, and it stays as it is.
    const std::string record = source.Path("Setup.ini");
    const std::string text = Crlf({"[Setup]", "Name=Place Test", "[Root]", "Name=PlaceTest", "Named=" + source.dir(),
                                   "[CopiedFile]", "Count=1"});
    stage::WriteFile(record, text);
    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, record.c_str());
    std::atomic<bool> done{false};
    int boxes = 0;
    std::thread answerer([&] {
        while (!done) {
            HWND box = ui::WaitForMessageBox(GetCurrentProcessId(), 100);
            if (!box) continue;
            ++boxes;
            ui::Click(box, IDOK);
            ui::WaitUntil([&] { return !IsWindow(box); }, 5000);
        }
    });
    PlaceUninstaller(nullptr);
    done = true;
    answerer.join();
    EXPECT_EQ(boxes, 0) << "the record placed onto itself is no failure";
    EXPECT_EQ(stage::ReadFile(record), text);
    EXPECT_EQ(stage::ReadFile(source.Path("Setup.exe")), stage::ReadFile(own));
}

// The run moves on to its record in the install folder once that folder exists; an earlier
// install's record there is kept aside in the private folder, and none leaves a name that
// no file answers to. Only a run on a private copy moves.
TEST(MoveRecordIntoInstallFolder, TheRecordGoesWhereItStaysAndTheEarlierOneAside) {
    char own[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameA(nullptr, own, sizeof own));
    RunState& run = ::Run();
    const RunState saved = run;
    for (bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "over an earlier install" : "a first install");
        const std::string privateFolder = "C:\\unit\\move private", install = "C:\\unit\\move install";
        stage::DeleteTree(privateFolder);
        stage::DeleteTree(install);
        stage::MakeFolders(privateFolder);
        stage::MakeFolders(install);
        const std::string working = Crlf({"[Setup]", "Name=Moving", "[Root]", "Named=" + install, "[MakedDirectory]",
                                          "0=" + install, "Count=1"});
        const std::string older = Crlf({"[CopiedFile]", "0=" + install + "\\old.txt", "Count=1"});
        stage::WriteFile(privateFolder + "\\Setup.ini", working);
        if (earlier) stage::WriteFile(install + "\\Setup.ini", older);
        CopyBounded(run.scriptCopyFolder, sizeof run.scriptCopyFolder, privateFolder.c_str());
        CopyBounded(run.scriptPath, sizeof run.scriptPath, (privateFolder + "\\Setup.ini").c_str());
        CopyBounded(run.earlierRecord, sizeof run.earlierRecord, (install + "\\Setup.ini").c_str());

        ASSERT_TRUE(MoveRecordIntoInstallFolder(install.c_str()));
        EXPECT_STREQ(run.scriptPath, (install + "\\Setup.ini").c_str()) << "the run works on the record in the folder";
        EXPECT_EQ(working, stage::ReadFile(run.scriptPath)) << "with everything written so far";
        EXPECT_STREQ(run.earlierRecord, (privateFolder + "\\Earlier.ini").c_str());
        EXPECT_EQ(earlier, stage::Exists(run.earlierRecord)) << "an earlier record kept aside, none made up";
        if (earlier) {
            EXPECT_EQ(older, stage::ReadFile(run.earlierRecord));
        }
        EXPECT_EQ(stage::ReadFile(own), stage::ReadFile(install + "\\Setup.exe")) << "the uninstaller comes along";
        EXPECT_FALSE(MoveRecordIntoInstallFolder(install.c_str())) << "already there";
        stage::DeleteTree(privateFolder);
        stage::DeleteTree(install);
    }
    run.scriptCopyFolder[0] = 0;  // a run on the script where it lies stays there
    CopyBounded(run.scriptPath, sizeof run.scriptPath, "C:\\unit\\in place\\Setup.ini");
    EXPECT_FALSE(MoveRecordIntoInstallFolder("C:\\unit\\elsewhere"));
    EXPECT_STREQ(run.scriptPath, "C:\\unit\\in place\\Setup.ini");
    run = saved;
}

}  // namespace
