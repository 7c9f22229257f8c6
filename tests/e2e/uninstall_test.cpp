// Uninstall runs of a copy that the program installed itself: files and folders
// removed, leftovers reported or scheduled for the restart, and the uninstaller
// removing itself and its folder through the remove-mode process and the batch file.
#include <gtest/gtest.h>
#include <windows.h>
#include <set>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "plan_check.h"
#include "fixtures.h"
#include "listing.h"
#include "stage.h"
#include "ui_driver.h"
#include "res/resource.h"

namespace {

using e2e::BatchFiles;
using e2e::Lower;

std::wstring Pick(const wchar_t* english, const wchar_t* japanese) { return stage::Japanese() ? japanese : english; }
std::wstring W(const std::string& text) { return ui::Widen(text.c_str()); }
std::wstring CouldNotDelete() { return Pick(L"Could not delete these...\n\n", L"次のものは削除されませんでした．\n\n"); }

// Drive C: without the Windows and user folders and the stage.
listing::Entries DriveC(const std::string& stageDir) {
    const std::set<std::string> skipped = {"c:\\windows", "c:\\users", Lower(stageDir)};
    listing::FileOptions options;
    options.detail = listing::FileDetail::None;
    options.lowerCase = true;
    options.skip = [&](const std::string& path) { return skipped.count(path) != 0; };
    return listing::Files("C:", options);
}

// One product: staged with its script, installed unattended by the staged Setup.exe.
struct Product {
    stage::Folder stage;
    std::string folder;

    Product(const std::string& name, const std::string& installFolder) : stage(name), folder(installFolder) {
        stage::DeleteTree(folder);
    }
    ~Product() { stage::DeleteTree(folder); }

    std::string In(const std::string& relative) const { return folder + "\\" + relative; }
    std::string Exe() const { return In("Setup.exe"); }
    std::string Record() const { return In("Setup.ini"); }

    // Runs the install to its end; false (with a failure) when no uninstaller with a record was placed.
    // SetupTool's plan, made first, must come true.
    bool Install() {
        const plancheck::InstallPlan plan(stage.dir());
        ui::Program setup;
        if (!setup.Start(stage.Path("Setup.exe"), "", stage.dir()) || !setup.Wait(40000)) {
            ADD_FAILURE() << "the unattended install did not run to its end within 40 s";
            return false;
        }
        EXPECT_TRUE(plan.available()) << "SetupTool plan gave nothing";
        EXPECT_EQ("", plan.AfterInstall()) << "the plan and the install differ";
        if (!stage::Exists(Exe()) || stage::Ini(Record(), "CopiedFile", "Count").empty()) {
            ADD_FAILURE() << "the install placed no uninstaller with a record in " << folder;
            return false;
        }
        return true;
    }

    // Polls until the executable and the batch file are gone, and with wholeFolder the record and folder too.
    bool SelfRemoved(bool wholeFolder) const {
        return ui::WaitUntil([&] {
            return !stage::Exists(Exe()) && BatchFiles().empty() &&
                   (!wholeFolder || (!stage::Exists(Record()) && !stage::Exists(folder)));
        }, 40000, 200);
    }

    // Polls until the executable, the folder and the batch file are gone, often enough to
    // catch the batch file while it exists (its path in *where).
    bool SelfRemovedCatchingBatch(std::string* batch, std::string* where) const {
        return ui::WaitUntil([&] {
            std::vector<std::string> batches = BatchFiles();
            if (batch->empty() && !batches.empty()) {
                *where = batches[0];
                *batch = stage::ReadFile(*where);
            }
            return !stage::Exists(Exe()) && !stage::Exists(folder) && batches.empty();
        }, 40000, 10);
    }

    std::string State() const {
        auto one = [](const std::string& path) { return path + (stage::Exists(path) ? " present; " : " gone; "); };
        return one(Exe()) + one(Record()) + one(folder) + std::to_string(BatchFiles().size()) + " batch files";
    }
};

struct Report {
    HWND box = nullptr;
    std::wstring caption, text;
};

// Waits until the uninstaller ends or shows a message box; a box is read and answered OK.
Report AwaitEndOrReport(ui::Program& program, const char* shot = nullptr) {
    Report report;
    bool done = ui::WaitUntil([&] { return (report.box = ui::WaitForMessageBox(program.pid(), 0)) || program.Wait(0); },
                              40000, 100);
    EXPECT_TRUE(done) << "the uninstaller neither ended nor showed a message box within 40 s";
    if (!report.box) return report;
    report.caption = ui::Text(report.box);
    report.text = ui::MessageBoxText(report.box);
    if (shot) ui::SaveScreenshot(stage::ArtifactPath(std::string(shot) + ".bmp"));
    ui::Click(report.box, IDOK);
    return report;
}

}  // namespace

// The Uninstall box route, a folder with blanks, a recorded file the user already deleted
// (skipped without a report although ShowError is set) and the whole drive back as it was.
TEST(Uninstall, TickedBoxRemovesEverythingAndLeavesTheDriveAsItWas) {
    Product p("cycle", "C:\\Program Files\\My App");
    p.stage.WriteScript(Crlf({"[Setup]", "Name=My App", "Auto=1", "[Root]", "Name=%programs%\\My App",
                              "[MakeDirectory]", "1=docs", "2=docs\\deep", "3=empty", "[CopyFile]", "0=a.txt",
                              "1=docs\\b.txt", "2=docs\\deep\\c.txt", "3=docs\\gone.txt", "[Del]", "ShowError=1"}));
    for (const char* file : {"a.txt", "docs\\b.txt", "docs\\deep\\c.txt", "docs\\gone.txt"}) p.stage.Put(file, file);
    const listing::Entries before = DriveC(p.stage.dir());
    ASSERT_TRUE(before.count("folder c:\\program files") && before.count("folder c:\\unit"))
        << "the drive listing is incomplete";

    ASSERT_TRUE(p.Install());
    for (const char* path : {"a.txt", "docs\\deep\\c.txt", "empty"})
        ASSERT_TRUE(stage::Exists(p.In(path))) << "the install did not make " << p.In(path);
    ASSERT_TRUE(DeleteFileA(p.In("docs\\gone.txt").c_str()));

    const plancheck::InstallPlan plan(p.folder, true);  // the uninstall, planned first
    ASSERT_TRUE(plan.available());
    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(p.Exe(), "", p.folder));
    HWND dialog = ui::WaitForMainDialog(uninstaller.pid(), 20000);
    ASSERT_TRUE(dialog) << "the installed copy showed no main dialog";
    EXPECT_TRUE(ui::Visible(dialog, IDC_COPY)) << "the Uninstall box is not shown in the installed state";
    EXPECT_FALSE(ui::Checked(dialog, IDC_COPY)) << "without \"uninstall\" the Uninstall box starts unchecked";
    ui::Click(dialog, IDC_COPY);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::Checked(dialog, IDC_COPY); }, 5000)) << "the box could not be ticked";
    ui::Click(dialog, IDC_RUN);
    Report report = AwaitEndOrReport(uninstaller);
    EXPECT_FALSE(report.box) << "a report although nothing was left: " << ui::Narrow(report.text);
    uninstaller.Kill();
    for (const char* path : {"a.txt", "docs\\b.txt", "docs\\deep\\c.txt", "docs\\deep", "docs", "empty"})
        EXPECT_FALSE(stage::Exists(p.In(path))) << "left behind: " << p.In(path);
    EXPECT_FALSE(stage::Exists(p.Record())) << "the record is deleted when the uninstaller ends";

    // Catch the batch file while it exists, to see what it was told to delete.
    std::string batch, where;
    bool removed = p.SelfRemovedCatchingBatch(&batch, &where);
    EXPECT_TRUE(removed) << "after 40 s: " << p.State();
    EXPECT_EQ("", plan.Disagreements()) << "the plan and the uninstall differ";
    // A new file in a folder of its own under the Windows folder's Temp, never the drive root.
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(0u, Lower(where).find(Lower(std::string(windows) + "\\Temp\\Setup-"))) << where;
    EXPECT_EQ(batch, ":Repeat\r\ndel \"C:\\Program Files\\My App\\Setup.exe\"\r\nif exist \"C:\\Program Files\\My "
                     "App\\Setup.exe\" goto Repeat\r\nrmdir \"C:\\Program Files\\My App\"\r\ndel \"" + where + "\"\r\n");

    EXPECT_EQ(listing::Difference(before, DriveC(p.stage.dir())), "") << "drive C: differs after install and uninstall";
}

// Files written after the install keep the folder, which is reported; a [Del] pattern
// deletes matching files (any letter case) but never a matching folder.
TEST(Uninstall, UserFilesKeepTheFolderAndDelPatternsMatchFilesOnly) {
    Product p("userfile", "C:\\UninstUser");
    p.stage.WriteScript(Crlf({"[Setup]", "Name=User Files", "Auto=1", "[Root]", "Name=UninstUser", "[CopyFile]",
                              "0=one.txt", "[Del]", "0=*.log", "ShowError=1"}));
    p.stage.Put("one.txt", "1");
    ASSERT_TRUE(p.Install());
    for (const char* file : {"run.log", "error.LOG", "notes.txt", "x.log\\inside.txt"})
        ASSERT_TRUE(stage::WriteFile(p.In(file), file));

    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(p.Exe(), "uninstall", p.folder));
    Report report = AwaitEndOrReport(uninstaller, "report-userfile");
    ASSERT_TRUE(report.box) << "no leftover report although the folder holds files of the user";
    EXPECT_EQ(report.caption, Pick(L"Delete files and folders", L"ファイル・フォルダの削除"))
        << "got " << ui::Narrow(report.caption);
    EXPECT_EQ(report.text, CouldNotDelete() + W(p.folder) + L"\n") << "got " << ui::Narrow(report.text);
    EXPECT_TRUE(uninstaller.Wait(20000)) << "the uninstaller did not end after the report";

    EXPECT_TRUE(p.SelfRemoved(false)) << "after 40 s: " << p.State();
    EXPECT_FALSE(stage::Exists(p.Record())) << "the record goes with the uninstaller";
    EXPECT_FALSE(stage::Exists(p.In("one.txt")));
    EXPECT_FALSE(stage::Exists(p.In("run.log"))) << "a matching file is deleted";
    EXPECT_FALSE(stage::Exists(p.In("error.LOG"))) << "matching ignores letter case";
    EXPECT_EQ(stage::ReadFile(p.In("notes.txt")), "notes.txt") << "the user's file and its folder stay";
    EXPECT_TRUE(stage::Exists(p.In("x.log\\inside.txt"))) << "a folder that matches the pattern is never deleted";
}

TEST(Uninstall, ReadOnlyFileStaysAndIsReportedWithoutForce) {
    for (int force = 0; force <= 1; ++force) {
        SCOPED_TRACE(force ? "Force=1" : "Force=0");
        std::string name = force ? "UninstForce" : "UninstReadOnly", forceLine = "Force=" + std::to_string(force);
        Product p(name, "C:\\" + name);
        p.stage.WriteScript(Crlf({"[Setup]", "Name=" + name, "Auto=1", "[Root]", "Name=" + name, "[CopyFile]",
                                  "0=plain.txt", "1=locked.txt", "[Del]", "ShowError=1", forceLine}));
        p.stage.Put("plain.txt", "p");
        p.stage.Put("locked.txt", "l");
        ASSERT_TRUE(p.Install());
        ASSERT_TRUE(SetFileAttributesA(p.In("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));

        ui::Program uninstaller;
        ASSERT_TRUE(uninstaller.Start(p.Exe(), "uninstall", p.folder));
        Report report = AwaitEndOrReport(uninstaller);
        EXPECT_TRUE(uninstaller.Wait(20000)) << "the uninstaller did not end";
        EXPECT_FALSE(stage::Exists(p.In("plain.txt")));
        if (force) {
            EXPECT_FALSE(report.box) << "with Force nothing is left to report: " << ui::Narrow(report.text);
            EXPECT_FALSE(stage::Exists(p.In("locked.txt"))) << "Force deletes the read-only file";
        } else {
            EXPECT_EQ(report.text, CouldNotDelete() + W(p.In("locked.txt")) + L"\n" + W(p.folder) + L"\n")
                << "got " << ui::Narrow(report.text);
            EXPECT_TRUE(stage::Exists(p.In("locked.txt"))) << "without Force a read-only file stays";
        }
        // The whole folder goes only when the read-only file went; wait for the batch before the next product.
        EXPECT_TRUE(p.SelfRemoved(!stage::Exists(p.In("locked.txt")))) << "after 40 s: " << p.State();
    }
}

TEST(Uninstall, HeldFileIsLeftForTheRestartWithTheUninstaller) {
    Product p("reboot", "C:\\UninstReboot");
    p.stage.WriteScript(Crlf({"[Setup]", "Name=Reboot Product", "Auto=1", "[Root]", "Name=UninstReboot",
                              "[MakeDirectory]", "1=sub", "[CopyFile]", "0=free.txt", "1=sub\\held.dat", "[Del]",
                              "Reboot=1"}));
    p.stage.Put("free.txt", "free");
    p.stage.Put("sub\\held.dat", "held");
    HKEY key;  // start from no restart instructions, and leave none behind
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegDeleteValueW(key, kPendingValue);
    RegCloseKey(key);
    PendingSnapshot restoreEmpty;
    ASSERT_TRUE(p.Install());
    ASSERT_TRUE(PendingRenames().empty()) << "the install scheduled something at restart";

    const std::string held = p.In("sub\\held.dat"), sub = p.In("sub");
    LockedFile holder(held);
    ASSERT_TRUE(holder.held()) << "could not hold the installed file";

    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(p.Exe(), "uninstall", p.folder));
    Report report = AwaitEndOrReport(uninstaller);
    ASSERT_TRUE(report.box) << "no report although a file was left for the restart (ShowError is 0)";
    EXPECT_EQ(report.text, Pick(L"These will delete after reboot.\n\n", L"次のものは再起動後に削除されます．\n\n") +
                               W(held) + L"\n" + W(sub) + L"\n" + W(p.folder) + L"\n")
        << "got " << ui::Narrow(report.text);

    // After the run the entry asks about the restart instead of removing itself.
    HWND question = nullptr;
    ui::WaitUntil([&] {
        question = ui::WaitForMessageBox(uninstaller.pid(), 0, report.box);
        return question && !ui::WaitForMainDialog(uninstaller.pid(), 0);
    }, 20000);
    ASSERT_TRUE(question) << "no end-of-uninstall question";
    EXPECT_EQ(ui::Text(question), L"Reboot Product") << "the question carries the product name";
    EXPECT_EQ(ui::MessageBoxText(question), Pick(L"Some files will delete\nafter reboot.\n\nReboot now?",
                                                 L"いくつかのファイルは\n再起動後に削除されます\n\n今すぐ再起動しますか？"))
        << "got " << ui::Narrow(ui::MessageBoxText(question));
    ui::SaveScreenshot(stage::ArtifactPath("reboot-question.bmp"));
    ui::Click(question, IDNO);
    DWORD code = 99;
    EXPECT_TRUE(uninstaller.Wait(20000, &code)) << "the uninstaller did not end after No";
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(stage::Exists(p.In("free.txt"))) << "a free file is deleted at once";

    // A remove-mode process would delete the executable through the batch file after its 5 s pause.
    bool removerSeen = ui::WaitUntil([&] { return !BatchFiles().empty() || !stage::Exists(p.Exe()); }, 10000, 200);
    EXPECT_FALSE(removerSeen) << "a remove-mode process ran: " << p.State();
    EXPECT_TRUE(stage::Exists(p.Record())) << "the record waits for the restart too";

    // The uninstaller and its record first, then the leftovers in listing order, files before their folders.
    std::vector<PendingRename> pending = PendingRenames();
    const std::vector<std::string> expected = {p.Exe(), p.Record(), held, sub, p.folder};
    bool same = pending.size() == expected.size();
    std::string listed;
    for (size_t i = 0; i < pending.size(); ++i) {
        listed += "  " + pending[i].from + " -> '" + pending[i].to + "'\n";
        same = same && lstrcmpiA(pending[i].from.c_str(), expected[i].c_str()) == 0 && pending[i].to.empty();
    }
    EXPECT_TRUE(same) << "expected deletions of Setup.exe, Setup.ini, the held file, its folder, the install folder; "
                         "scheduled:\n" << listed;

    holder.Release();
    ui::Program restart;
    ASSERT_TRUE(restart.Start("C:\\windows\\system32\\wineboot.exe", "-r", "C:\\"));
    EXPECT_TRUE(restart.Wait(60000)) << "wineboot -r did not end within 60 s";
    for (const std::string& path : expected)
        EXPECT_FALSE(stage::Exists(path)) << path << " is still there after the restart";
    EXPECT_TRUE(PendingRenames().empty()) << "the restart left operations behind";
}

// [Del] patterns that match everything spare the uninstaller and its record until the
// end, and a folder whose name holds a per-cent sign and an accented letter (code page
// 1252) is still removed by the batch file, which names it in the OEM code page.
TEST(Uninstall, PatternsSpareTheUninstallerAndAnyFolderNameIsRemoved) {
    Product p("special", "C:\\100% Jos\xE9 Notes");
    p.stage.WriteScript(Crlf({"[Setup]", "Name=Special", "Auto=1", "[Root]", "Name=100% Jos\xE9 Notes",
                              "[CopyFile]", "0=a.txt", "1=b.ini", "[Del]", "0=*.*", "1=*.ini", "2=Setup.*",
                              "ShowError=1"}));
    p.stage.Put("a.txt", "a");
    p.stage.Put("b.ini", "b");
    ASSERT_TRUE(p.Install());
    ASSERT_TRUE(stage::WriteFile(p.In("keep\\notes.txt"), "the user's"));  // a folder: no pattern takes it

    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(p.Exe(), "uninstall", p.folder));
    Report report;
    ASSERT_TRUE(ui::WaitUntil([&] { return (report.box = ui::WaitForMessageBox(uninstaller.pid(), 0)) != nullptr; },
                              40000, 100))
        << "no leftover report for the user's file";
    // The patterns have run: what they may take is gone, the uninstaller and its record are not.
    EXPECT_TRUE(stage::Exists(p.Record())) << "a pattern deleted the record during the uninstall";
    EXPECT_TRUE(stage::Exists(p.Exe())) << "a pattern deleted the running uninstaller";
    EXPECT_FALSE(stage::Exists(p.In("a.txt")) || stage::Exists(p.In("b.ini")));
    EXPECT_EQ(ui::Narrow(ui::MessageBoxText(report.box)), ui::Narrow(CouldNotDelete() + W(p.folder) + L"\n"));
    ASSERT_TRUE(stage::DeleteTree(p.In("keep")));  // now the folder can go as a whole
    ui::Click(report.box, IDOK);
    EXPECT_TRUE(uninstaller.Wait(20000)) << "the uninstaller did not end after the report";

    std::string batch, where;
    bool removed = p.SelfRemovedCatchingBatch(&batch, &where);
    EXPECT_TRUE(removed) << "after 40 s: " << p.State();
    if (!batch.empty()) {  // caught while it existed: the folder in code page 437, "%" doubled
        EXPECT_NE(std::string::npos, batch.find("rmdir \"C:\\100%% Jos\x82 Notes\"\r\n")) << batch;
    }
}

// An uninstall started from inside the product (a command prompt standing in one of its
// folders) still takes every folder the install made: the uninstaller's own current
// folder must not hold one.
TEST(Uninstall, StartedFromInsideTheProductTakesEveryFolder) {
    Product p("inside", "C:\\UninstInside");
    p.stage.WriteScript(Crlf({"[Setup]", "Name=Inside", "Auto=1", "[Root]", "Name=UninstInside", "[MakeDirectory]",
                              "1=bin", "2=bin\\deep", "[CopyFile]", "0=bin\\deep\\tool.txt", "1=top.txt"}));
    p.stage.Put("bin\\deep\\tool.txt", "tool");
    p.stage.Put("top.txt", "top");
    ASSERT_TRUE(p.Install());
    ASSERT_TRUE(stage::Exists(p.In("bin\\deep\\tool.txt")));

    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(p.Exe(), "uninstall /S", p.In("bin\\deep")));
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(uninstaller.Wait(40000, &code)) << "the silent uninstall did not end within 40 s";
    EXPECT_EQ(0u, code) << "a folder the install made was left (its current folder)";
    for (const char* path : {"bin\\deep\\tool.txt", "bin\\deep", "bin", "top.txt"})
        EXPECT_FALSE(stage::Exists(p.In(path))) << "left behind: " << p.In(path);
    EXPECT_TRUE(p.SelfRemoved(true)) << "after 40 s: " << p.State();
}
