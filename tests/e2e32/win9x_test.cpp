// The 32-bit Setup.exe on the 9x family. Wine reports Windows 98 to every process named
// Setup.exe in this prefix, so the uninstaller removes itself through the routine it
// copies into memory. Wine's delayed moves keep working under that setting (as they do
// under Windows' own compatibility modes), so the tests also make them fail, as on a 9x
// system: with the list of pending moves stored as a number, Wine refuses to add to it.
// Restart instructions then go to WinInit.Ini. What Wine cannot show: a running image
// that unmaps itself (Wine keeps the executable mapped, so the routine's delete fails).
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "run32_helpers.h"

using namespace e2e;

namespace {

constexpr DWORD kRunWait = 120000;  // an emulated run is 2-5 times slower than a native one
const char kWinInit[] = "C:\\windows\\WinInit.Ini";
const char kBatch[] = "C:\\delus.bat";
const char kWineDirNul[] = "C:\\windows\\DIRNUL";

class Win9xFamily : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Setup.exe", "Version", "win98"));
    }
    void SetUp() override {
        DeleteFileA(kWinInit);
        DeleteFileA("C:\\windows\\wininit.bak");
        DeleteFileA(kBatch);
        stage::DeleteTree(kWineDirNul);
        BlockDelayedMoves();
    }
    void TearDown() override { ForgetPendingRenames(); }

    static void BlockDelayedMoves() {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
        DWORD number = 1;
        RegSetValueExW(key, kPendingValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        RegCloseKey(key);
        ASSERT_FALSE(MoveFileExA("C:\\nothing.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            << "delayed moves still work: the 9x route cannot be reached";
    }
    // True while the blocking number is all the list holds.
    static bool DelayedMovesStillBlocked() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
        DWORD type = 0, number = 0, size = sizeof number;
        LONG rc = RegQueryValueExW(key, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS && type == REG_DWORD && number == 1;
    }
};

// Runs Setup.exe to its end, answering nothing; the problem, or "" when it ended with 0.
std::string RunToEnd(const std::string& exe, const std::string& args, const std::string& folder) {
    ui::Program program;
    if (!program.Start(exe, args, folder)) return "Setup.exe did not start";
    Outcome o = WaitForEndOrBox(program, kRunWait);
    if (o.box) {
        Shot("unexpected-box");
        return "unexpected message box: " + ui::Narrow(ui::MessageBoxText(o.box));
    }
    if (!o.ended) return "it did not end within " + std::to_string(kRunWait / 1000) + " s";
    return o.exitCode ? "exit code " + std::to_string(o.exitCode) : "";
}

// The installed copy in reboot mode asks whether to restart; answered No.
void AnswerRebootQuestionNo(DWORD installer) {
    ui::Program asker;
    ASSERT_TRUE(run32::AdoptSetupProcess(&asker, installer, 20000)) << "no reboot-mode process after the install";
    HWND question = ui::WaitForMessageBox(asker.pid(), 60000);
    ASSERT_TRUE(question) << "no reboot question";
    ui::Click(question, IDNO);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(asker.Wait(30000, &code)) << "the reboot-mode process did not end after No";
    EXPECT_EQ(code, 0u);
}

}  // namespace

// A file in use, with "Reboot": the new content waits in an RBT file and WinInit.Ini's
// [Rename] section names the target and that file in their short forms, instead of a
// delayed move. Wine's restart (wineboot -r) carries the line out.
TEST_F(Win9xFamily, FileInUseIsReplacedThroughWinInitIni) {
    const std::string target = "C:\\Held Product Folder", dll = target + "\\held library.dll";
    stage::DeleteTree(target);
    stage::Folder product("win98-held");
    product.Put("held library.dll", "new library");
    product.Put("plain.txt", "plain text");
    product.WriteScript(Crlf({"[Setup]", "Name=Held98", "Auto=1", "[Root]", "Name=Held Product Folder", "[CopyFile]",
                              "0=held library.dll", "1=plain.txt", "Reboot=1"}));
    ASSERT_TRUE(stage::WriteFile(dll, "old library"));
    LockedFile held(dll);
    ASSERT_TRUE(held.held());
    ASSERT_NE(run32::ShortForm(dll), dll) << "no short names here: the test could not tell the forms apart";

    ui::Program installer;
    ASSERT_TRUE(installer.Start(product.Path("Setup.exe"), "", product.dir()));
    Outcome end = WaitForEndOrBox(installer, kRunWait);
    ASSERT_FALSE(end.box) << "unexpected message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended) << "the install did not end";
    EXPECT_EQ(end.exitCode, 0u);
    AnswerRebootQuestionNo(installer.pid());

    std::vector<std::string> temporaries = stage::FilesMatching(target + "\\RBT*");
    ASSERT_EQ(temporaries.size(), 1u) << "one RBT temporary file beside the destination";
    const std::string temporary = target + "\\" + temporaries[0];
    EXPECT_EQ(stage::ReadFile(temporary), "new library");
    EXPECT_EQ(stage::ReadFile(kWinInit), "[Rename]\r\n" + run32::ShortForm(dll) + "=" + run32::ShortForm(temporary) + "\r\n")
        << "the instruction: the short target, an equals sign, the short replacement";
    EXPECT_TRUE(DelayedMovesStillBlocked()) << "no delayed move on the 9x family";
    EXPECT_EQ(IniValue(target + "\\Setup.ini", "CopiedFile", "0"), run32::ShortForm(dll))
        << "the record keeps the short form the instruction names";
    EXPECT_EQ(IniValue(target + "\\Setup.ini", "CopiedFile", "1"), target + "\\plain.txt");
    EXPECT_EQ(stage::ReadFile(target + "\\plain.txt"), "plain text");

    held.Release();
    ForgetPendingRenames();  // the restart sees WinInit.Ini alone
    EXPECT_EQ(stage::ReadFile(dll), "old library") << "replaced only at the restart";
    EXPECT_TRUE(RunAndWait("C:\\windows\\system32\\wineboot.exe -r", 120000)) << "wineboot -r did not end in 120 s";
    EXPECT_EQ(stage::ReadFile(dll), "new library") << "wineboot -r did not carry out the [Rename] line";
    EXPECT_FALSE(stage::Exists(temporary)) << "the temporary file was moved onto the destination";
    EXPECT_FALSE(stage::Exists(kWinInit)) << "a processed WinInit.Ini is put aside";
    stage::DeleteTree(target);
}

// An uninstall that leaves a file in use, with [Del] "Reboot": the uninstaller, its record
// and the leftovers become NUL= and DIRNUL= lines; the restart deletes them.
TEST_F(Win9xFamily, LeftoversOfTheUninstallGoToWinInitIni) {
    const std::string folder = "C:\\Leftover Product", sub = folder + "\\sub folder", held = sub + "\\held data.dat";
    stage::DeleteTree(folder);
    stage::Folder product("win98-leftover");
    product.Put("free.txt", "free");
    product.Put("sub folder\\held data.dat", "held");
    product.WriteScript(Crlf({"[Setup]", "Name=Leftover98", "Auto=1", "[Root]", "Name=Leftover Product",
                              "[MakeDirectory]", "1=sub folder", "[CopyFile]", "0=free.txt", "1=sub folder\\held data.dat",
                              "[Del]", "Reboot=1"}));
    ASSERT_EQ(RunToEnd(product.Path("Setup.exe"), "", product.dir()), "") << "the install";
    const std::string exe = folder + "\\Setup.exe", record = folder + "\\Setup.ini";
    ASSERT_TRUE(stage::Exists(exe) && stage::Exists(record)) << "no uninstaller placed";
    // Short forms now: the restart deletes the paths these name.
    const std::vector<std::string> lines = {"NUL=" + run32::ShortForm(exe), "NUL=" + run32::ShortForm(record),
                                            "NUL=" + run32::ShortForm(held), "DIRNUL=" + run32::ShortForm(sub),
                                            "DIRNUL=" + run32::ShortForm(folder)};
    LockedFile holder(held);
    ASSERT_TRUE(holder.held());

    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(exe, "uninstall", folder));
    Outcome report = WaitForEndOrBox(uninstaller, kRunWait);
    ASSERT_TRUE(report.box) << "no report of what waits for the restart";
    ui::Click(report.box, IDOK);
    HWND question = nullptr;
    ui::WaitUntil([&] { return (question = ui::WaitForMessageBox(uninstaller.pid(), 0, report.box)) != nullptr; }, 60000);
    ASSERT_TRUE(question) << "no end-of-uninstall question";
    ui::Click(question, IDNO);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(uninstaller.Wait(30000, &code)) << "the uninstaller did not end after No";
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(stage::Exists(folder + "\\free.txt")) << "a free file is deleted at once";

    std::string expected = "[Rename]\r\n";
    for (const std::string& line : lines) expected += line + "\r\n";
    EXPECT_EQ(stage::ReadFile(kWinInit), expected)
        << "the uninstaller and its record first, then the leftovers, files before their folders";
    EXPECT_TRUE(DelayedMovesStillBlocked()) << "no delayed move on the 9x family";

    holder.Release();
    ForgetPendingRenames();
    EXPECT_TRUE(RunAndWait("C:\\windows\\system32\\wineboot.exe -r", 120000)) << "wineboot -r did not end in 120 s";
    for (const std::string& path : {exe, record, held})
        EXPECT_FALSE(stage::Exists(path)) << "NUL= line not carried out: " << path;
    // Wine's restart reads DIRNUL= as a rename to a folder of that name in the Windows
    // folder; a 9x start-up removes the folder. Reported, not required.
    printf("note: after wineboot -r: %s %s, %s %s, C:\\windows\\DIRNUL %s\n", sub.c_str(),
           stage::Exists(sub) ? "kept" : "gone", folder.c_str(), stage::Exists(folder) ? "kept" : "gone",
           stage::Exists(kWineDirNul) ? "present" : "absent");
    stage::DeleteTree(folder);
    stage::DeleteTree(kWineDirNul);
}

// The uninstall ends with the remove-mode process, which on the 9x family runs the
// routine it copied out of its image: FreeLibrary of its own module, DeleteFileA of its
// own path, RemoveDirectoryA of its folder, ExitProcess(0), all called from outside the
// image (Wine's relay trace shows the calls and where they came from), no batch file,
// no crash.
TEST_F(Win9xFamily, UninstallerRemovesItselfFromMemory) {
    const std::string folder = "C:\\Memory Removal", exe = folder + "\\Setup.exe";
    stage::DeleteTree(folder);
    stage::Folder product("win98-remove");
    product.Put("one.txt", "1");
    product.WriteScript(Crlf({"[Setup]", "Name=Memory98", "Auto=1", "[Root]", "Name=Memory Removal", "[CopyFile]",
                              "0=one.txt", "[Del]", "ShowError=1"}));
    ASSERT_EQ(RunToEnd(product.Path("Setup.exe"), "", product.dir()), "") << "the install";
    ASSERT_TRUE(stage::Exists(exe)) << "no uninstaller placed";

    // Trace the four calls in the processes started from here on.
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\Wine\\Debug", "RelayInclude",
                                    "kernel32.FreeLibrary;kernel32.DeleteFileA;kernel32.RemoveDirectoryA;"
                                    "kernel32.ExitProcess"));
    const size_t logStart = stage::ReadFile(run32::WineLogPath()).size();
    SetEnvironmentVariableA("WINEDEBUG", "+relay");
    ui::Program uninstaller;
    bool started = uninstaller.Start(exe, "uninstall", folder);
    SetEnvironmentVariableA("WINEDEBUG", "-all");
    ASSERT_TRUE(started);
    Outcome end = WaitForEndOrBox(uninstaller, kRunWait);
    ASSERT_FALSE(end.box) << "unexpected message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended);
    EXPECT_FALSE(stage::Exists(folder + "\\one.txt"));
    EXPECT_FALSE(stage::Exists(folder + "\\Setup.ini")) << "the record goes before the self-removal";

    ui::Program remover;
    ASSERT_TRUE(run32::AdoptSetupProcess(&remover, uninstaller.pid(), 20000)) << "no remove-mode process";
    EXPECT_EQ(Lower(run32::ImagePath(remover.info.hProcess)), Lower(exe)) << "not the installed copy";
    bool batchSeen = false;
    DWORD code = STILL_ACTIVE;
    bool ended = ui::WaitUntil([&] {
        batchSeen = batchSeen || !e2e::BatchFiles().empty();
        return remover.Wait(0, &code);
    }, 60000, 20);
    ASSERT_TRUE(ended) << "the remove-mode process did not end within 60 s";
    EXPECT_EQ(code, 0u) << "the remove-mode process ended with an exception or another code";
    EXPECT_FALSE(batchSeen) << "the batch file is the NT family's method";
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\Wine\\Debug");

    std::string log = stage::ReadFile(run32::WineLogPath());
    log = log.size() > logStart ? log.substr(logStart) : "";
    // The remover's thread is the one that deletes the executable.
    std::string exeArgument = "\"" + folder + "\\Setup.exe\"", thread;
    std::vector<run32::RelayCall> calls = run32::RelayCalls(log), mine;
    for (auto& c : calls) {
        std::string unescaped;
        for (size_t i = 0; i < c.arguments.size(); ++i) {
            if (c.arguments[i] == '\\' && i + 1 < c.arguments.size() && c.arguments[i + 1] == '\\') ++i;
            unescaped += c.arguments[i];
        }
        c.arguments = unescaped;
        if (c.function == "KERNEL32.DeleteFileA" && c.arguments.find(exeArgument) != std::string::npos) thread = c.thread;
    }
    ASSERT_FALSE(thread.empty()) << "no DeleteFileA of the executable in Wine's relay trace:\n" << log.substr(0, 4000);
    std::string sequence, module;
    for (const auto& c : calls) {
        if (c.thread != thread) continue;
        mine.push_back(c);
        sequence += c.function + "(" + c.arguments + ") ";
    }
    ASSERT_GE(mine.size(), 4u) << sequence;
    const std::vector<run32::RelayCall> last(mine.end() - 4, mine.end());
    EXPECT_EQ(last[0].function, "KERNEL32.FreeLibrary") << sequence;
    EXPECT_EQ(last[1].function, "KERNEL32.DeleteFileA") << sequence;
    EXPECT_EQ(last[2].function, "KERNEL32.RemoveDirectoryA") << sequence;
    EXPECT_NE(last[2].arguments.find("\"" + folder + "\""), std::string::npos) << "the folder: " << last[2].arguments;
    EXPECT_EQ(last[3].function, "KERNEL32.ExitProcess") << sequence;
    EXPECT_EQ(last[3].arguments, "00000000") << "ExitProcess with the block's code 0";
    // Called from the copy of the routine, not from the image that FreeLibrary was given.
    unsigned long image = strtoul(last[0].arguments.c_str(), nullptr, 16);
    for (const auto& c : last) {
        unsigned long from = strtoul(c.returnAddress.c_str(), nullptr, 16);
        EXPECT_TRUE(from < image || from >= image + 0x100000)
            << c.function << " was called from " << c.returnAddress << ", inside the image at " << last[0].arguments;
    }
    EXPECT_EQ(log.find("Unhandled"), std::string::npos) << "an unhandled exception:\n" << log.substr(0, 4000);
    // Wine keeps a running image mapped, so the routine's delete fails there; a 9x system unmaps it.
    printf("note: after the in-memory removal the executable was %s\n", stage::Exists(exe) ? "kept" : "deleted");
    stage::DeleteTree(folder);
}
