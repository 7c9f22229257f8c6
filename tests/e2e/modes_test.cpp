// Run modes of the real Setup.exe, started from a staged folder as a user would
// start it: what appears on the screen, when, and how the program ends.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "listing.h"
#include "stage.h"
#include "ui_driver.h"
#include "res/resource.h"

namespace {

constexpr char kBatchFile[] = "C:\\delus.bat";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Describe(HWND window) {
    wchar_t cls[128] = L"";
    GetClassNameW(window, cls, 128);
    return "class " + ui::Narrow(cls) + " caption \"" + ui::Narrow(ui::Text(window)) + "\"";
}

// One Setup.exe in its own staged folder, with every visible top-level window it showed.
struct Launch {
    Launch(const std::string& name, const std::string& script) : folder(name) {
        if (!script.empty()) folder.WriteScript(script);
    }
    bool Start(const std::string& args) {
        started = GetTickCount();
        return program.Start(folder.Path("Setup.exe"), args, folder.dir());
    }
    DWORD Elapsed() const { return GetTickCount() - started; }
    void Poll() { EnumWindows(AddVisible, reinterpret_cast<LPARAM>(this)); }
    bool Ended(DWORD* code) {
        Poll();
        return program.Wait(0, code);
    }
    static BOOL CALLBACK AddVisible(HWND window, LPARAM param) {
        auto* self = reinterpret_cast<Launch*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == self->program.pid() && IsWindowVisible(window) && self->seen.insert(window).second && !self->first) {
            self->first = window;
            self->firstAt = self->Elapsed();
        }
        if (!self->dialog && self->seen.count(window) && GetDlgItem(window, IDC_FOLDER)) {
            self->dialog = window;
            self->dialogAt = self->Elapsed();
        }
        return TRUE;
    }
    // Every window seen must be one of these, and each of these was seen.
    void ExpectSeenOnly(const std::set<HWND>& expected, const char* what) const {
        EXPECT_EQ(seen.size(), expected.size()) << what << ": number of windows seen";
        for (HWND w : seen)
            if (!expected.count(w)) ADD_FAILURE() << what << ": unexpected window " << Describe(w);
    }

    stage::Folder folder;
    ui::Program program;
    DWORD started = 0, firstAt = 0, dialogAt = 0;
    std::set<HWND> seen;
    HWND first = nullptr, dialog = nullptr;  // the first window, and the main dialog
};

}  // namespace

TEST(RebootMode, AsksOnlyTheRestartQuestionAfterFiveSeconds) {
    // The caption is shown in the ANSI code page, so a Japanese name only in the Japanese run.
    const std::string product = stage::Japanese() ? "再起動テスト製品" : "Reboot Product 2.0";
    const std::string scripts[] = {"[Setup]\r\nName=" + product + "\r\n",
                                   "[Setup]\r\nName=\r\n[Root]\r\nName=RebootApp\r\n"};
    const std::wstring question = stage::Japanese() ? L"いくつかのファイルは\n再起動後に有効になります\n\n今すぐ再起動しますか？"
                                                    : L"Some files will be enabled\nafter reboot.\n\nReboot now?";
    Launch runs[] = {{"reboot-named", scripts[0]}, {"reboot-unnamed", scripts[1]}};
    for (Launch& run : runs) ASSERT_TRUE(run.Start("reboot"));
    ui::WaitUntil([&] {
        for (Launch& run : runs) run.Poll();
        return runs[0].first && runs[1].first;
    }, 15000);
    ui::SaveScreenshot(stage::ArtifactPath("reboot-question.bmp"));
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "with [Setup] Name" : "without [Setup] Name");
        HWND box = runs[i].first;
        ASSERT_NE(box, nullptr) << "no window within 15 s of the start in reboot mode";
        EXPECT_GE(runs[i].firstAt, 3000u) << "the question must wait about 5 s; it came after " << runs[i].firstAt;
        EXPECT_LE(runs[i].firstAt, 9000u) << "the question came only after " << runs[i].firstAt << " ms";
        EXPECT_EQ(ui::Text(box), i ? L"" : ui::Widen(product.c_str())) << "caption of the question, " << Describe(box);
        EXPECT_EQ(ui::MessageBoxText(box), question)
            << "text of the question (OEM code page " << (stage::Japanese() ? "932 not inherited?)" : "not 932)");
        EXPECT_TRUE(ui::Visible(box, IDYES) && ui::Visible(box, IDNO)) << "a question has Yes and No";
        EXPECT_FALSE(ui::Visible(box, IDOK) || ui::Visible(box, IDCANCEL)) << "a question has no OK or Cancel";
        EXPECT_TRUE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the question is system-modal";

        ui::Click(box, IDNO);
        DWORD code = 99;
        EXPECT_TRUE(ui::WaitUntil([&] { return runs[i].Ended(&code); }, 15000)) << "the program must end after No";
        EXPECT_EQ(code, 0u) << "exit code after No";
        runs[i].ExpectSeenOnly({box}, "reboot mode must show only the question");
        EXPECT_EQ(stage::ReadFile(runs[i].folder.Script()), scripts[i]) << "reboot mode must not write the script";
        EXPECT_TRUE(stage::Exists(runs[i].folder.Path("Setup.exe"))) << "reboot mode must not remove the program";
    }
}

using e2e::BatchFiles;

// "remove" by hand waits, shows nothing and removes nothing: only an uninstall of the
// executable's own folder hands the removal over (through the environment), and then the
// executable goes through a batch file, and its folder when emptied and not protected.
TEST(RemoveMode, ShowsNothingAndRemovesOnlyWhatAnUninstallHandedOver) {
    const std::string script = "[Setup]\r\nName=Remove Product\r\n[Del]\r\n0=Setup.ini\r\n";
    std::string music;
    ASSERT_TRUE(stage::GetRegString(HKEY_CURRENT_USER,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                    "My Music", &music));
    struct Case {
        const char* what;
        const char* name;  // stage folder; null: the user's Music folder
        bool withScript;
        int handOver;      // 0: by hand, 1: for this folder, 2: for another folder
        bool exeGoes, folderGoes;
    } cases[] = {
        {"by hand, alone in its folder", "remove-by-hand", false, 0, false, false},
        {"by hand, beside a script", "remove-by-hand-script", true, 0, false, false},
        {"handed over for another folder", "remove-other", false, 2, false, false},
        {"handed over, alone in its folder", "remove-alone", false, 1, true, true},
        {"handed over, beside a script", "remove-beside-script", true, 1, true, false},
        {"handed over, in the user's Music folder", nullptr, false, 1, true, false},
    };
    for (const Case& c : cases) {  // one after the other: each looks for the batch files
        SCOPED_TRACE(c.what);
        std::unique_ptr<Launch> run;
        std::string folder, exe;
        if (c.name) {
            run.reset(new Launch(c.name, c.withScript ? script : ""));
            folder = run->folder.dir();
        } else {
            run.reset(new Launch("remove-music-unused", ""));
            folder = music;
            stage::MakeFolders(folder);
            ASSERT_TRUE(CopyFileA(run->folder.Path("Setup.exe").c_str(), (folder + "\\Setup.exe").c_str(), FALSE));
        }
        exe = folder + "\\Setup.exe";
        SetEnvironmentVariableA("SETUP_SELF_REMOVAL", c.handOver == 0 ? nullptr
                                                      : c.handOver == 1 ? folder.c_str()
                                                                        : "C:\\Program Files\\Other");
        run->started = GetTickCount();
        bool started = run->program.Start(exe, "remove", folder);
        SetEnvironmentVariableA("SETUP_SELF_REMOVAL", nullptr);
        ASSERT_TRUE(started) << "error " << GetLastError();
        DWORD code = 99;
        ASSERT_TRUE(ui::WaitUntil([&] { return run->Ended(&code); }, 20000)) << "remove mode must end within 20 s";
        DWORD lasted = run->Elapsed();
        EXPECT_EQ(code, 0u) << "exit code of remove mode";
        EXPECT_GE(lasted, 4500u) << "remove mode must wait about 5 s before acting; it ended after " << lasted << " ms";
        EXPECT_LE(lasted, 12000u) << "remove mode took " << lasted << " ms";
        run->ExpectSeenOnly({}, "remove mode must show no window");
        if (c.exeGoes) {
            EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(exe) && BatchFiles().empty(); }, 20000, 100))
                << "after remove mode: Setup.exe " << (stage::Exists(exe) ? "still there" : "gone") << ", "
                << BatchFiles().size() << " batch files left";
        } else {
            Sleep(2000);  // a batch file would have deleted it by now
            EXPECT_TRUE(stage::Exists(exe)) << "nothing was handed over for this folder: the executable stays";
            EXPECT_TRUE(BatchFiles().empty()) << "no batch file without a hand-over";
        }
        EXPECT_FALSE(stage::Exists(kBatchFile)) << "never a batch file in the drive root";
        if (c.withScript) {
            EXPECT_EQ(stage::ReadFile(folder + "\\Setup.ini"), script) << "remove mode leaves the script alone";
        }
        if (c.folderGoes) {
            EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(folder); }, 5000, 100))
                << "the emptied folder " << folder << " must be removed";
        } else {
            Sleep(500);
            EXPECT_TRUE(stage::Exists(folder)) << "the folder " << folder << " must stay";
        }
        stage::DeleteTree(exe);
    }
}

TEST(InstallMode, ArgumentsOtherThanTheExactModeNamesOpenTheDialog) {
    // Only the exact argument "uninstall" checks box 1009, which the script offers unchecked.
    const char* args[] = {"Remove", "Reboot", "Uninstall", "", "other text", "uninstall"};
    std::vector<std::unique_ptr<Launch>> runs;
    for (const char* arg : args) {
        runs.emplace_back(new Launch("args-" + std::to_string(runs.size()), "[Check]\r\nCopy=1\r\n"));
        ASSERT_TRUE(runs.back()->Start(arg));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(std::string("argument \"") + args[i] + "\"");
        HWND dialog = ui::WaitForMainDialog(runs[i]->program.pid(), 20000);
        ASSERT_NE(dialog, nullptr) << "the main dialog must open";
        bool uninstall = std::string(args[i]) == "uninstall";
        if (!uninstall) Sleep(300);  // the uninstall mode checks the box during set-up, before the dialog shows
        EXPECT_EQ(ui::WaitUntil([&] { return ui::Checked(dialog, IDC_COPY); }, uninstall ? 3000 : 0), uninstall)
            << "box 1009 checked";
        ui::Click(dialog, IDC_CANCEL);
        DWORD code = 99;
        EXPECT_TRUE(runs[i]->program.Wait(15000, &code) && code == 0) << "Cancel must end with 0, got " << code;
    }
}

TEST(MainDialog, OpensOnceAfterTwoSecondsAndCancelOrEscapeChangesNothing) {
    // Every row offered, so that the dialog keeps its centred template size.
    const std::string body = "[Check]\r\nMenu=2\r\nDesktop=2\r\nStartup=1\r\nExt=1\r\nSend=2\r\nCopy=2\r\nDel=1\r\n"
                             "[Menu]\r\nName=Cancel Menu\r\nChange=C:\\Elsewhere\\Cancel Menu\r\n"
                             "[CopyFile]\r\n0=payload.txt\r\n[MakeDirectory]\r\n1=data\r\n";
    const char* names[] = {"CancelApp", "EscapeApp"};  // the second with a backdrop, closed by Escape
    std::string programFiles, scripts[2];
    stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                        &programFiles);
    std::unique_ptr<Launch> runs[2];
    for (int i = 0; i < 2; ++i) {
        stage::DeleteTree(programFiles + "\\" + names[i]);
        stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (kUninstallKey + std::string(names[i])).c_str());
        scripts[i] = std::string("[Setup]\r\nName=") + names[i] + "\r\n[Back]\r\nDo=" + (i ? "1" : "0") +
                     "\r\n[Root]\r\nName=%programs%\\" + names[i] + "\r\n" + body;
        runs[i].reset(new Launch(names[i], scripts[i]));
        runs[i]->folder.Put("payload.txt", "payload\r\n");
        ASSERT_TRUE(runs[i]->Start(""));
    }
    ui::WaitUntil([&] {
        for (auto& run : runs) run->Poll();
        return runs[0]->dialog && runs[1]->dialog;
    }, 15000, 20);
    HWND dialogs[2] = {runs[0]->dialog, runs[1]->dialog};
    ASSERT_TRUE(dialogs[0] && dialogs[1]) << "no main dialog within 15 s";
    // The timer must stop at its first expiry: a second dialog would show within these 3 s.
    ui::WaitUntil([&] {
        for (auto& run : runs) run->Poll();
        return false;
    }, 3000);
    RECT screen = ui::WindowRect(GetDesktopWindow());
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        // The set-up writes into the run's private copy, never into the shipped script.
        EXPECT_EQ(e2e::WaitForWorkingValue(runs[i]->program.pid(), "Root", "Name", names[i]), names[i])
            << "[Root] Name cut to its last part in the working copy";
        DWORD at = runs[i]->dialogAt;
        EXPECT_GE(at, 1500u) << "the dialog must wait for the 2 s timer; it came after " << at << " ms";
        EXPECT_LE(at, 8000u) << "the dialog came only after " << at << " ms";
        RECT r = ui::WindowRect(dialogs[i]);
        EXPECT_NEAR((r.left + r.right) / 2, (screen.left + screen.right) / 2, 2) << "the dialog is centred";
        EXPECT_NEAR((r.top + r.bottom) / 2, (screen.top + screen.bottom) / 2, 2) << "the dialog is centred";
    }
    runs[0]->ExpectSeenOnly({dialogs[0]}, "[Back] Do=0: only the dialog");

    HWND backdrop = nullptr;
    for (HWND w : runs[1]->seen)
        if (w != dialogs[1]) backdrop = w;
    ASSERT_NE(backdrop, nullptr) << "[Back] Do=1: no backdrop window visible";
    runs[1]->ExpectSeenOnly({dialogs[1], backdrop}, "[Back] Do=1: the dialog and the backdrop");
    RECT b = ui::WindowRect(backdrop);
    EXPECT_TRUE(EqualRect(&b, &screen)) << "the backdrop covers the screen: got " << b.left << "," << b.top << " - "
                                        << b.right << "," << b.bottom;
    // An owned window stays in front of its owner.
    EXPECT_EQ(GetWindow(dialogs[1], GW_OWNER), backdrop) << "the backdrop owns the dialog";
    EXPECT_FALSE(GetWindowLongW(backdrop, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the backdrop is not topmost";
    // Without drawing commands the picture is the black surface.
    HDC dc = GetDC(nullptr);
    for (POINT p : {POINT{3, 3}, POINT{screen.right - 4, 3}, POINT{3, screen.bottom - 4},
                    POINT{screen.right - 4, screen.bottom - 4}})
        EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(0, 0, 0)) << "backdrop pixel at " << p.x << "," << p.y;
    ReleaseDC(nullptr, dc);

    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i ? "Escape" : "Cancel button");
        Launch& run = *runs[i];
        if (i == 0) {
            ui::Click(dialogs[0], IDC_CANCEL);
        } else {
            ui::SaveScreenshot(stage::ArtifactPath("backdrop.bmp"));  // the plain dialog is gone by now
            ui::Key(GetDlgItem(dialogs[1], IDC_RUN), VK_ESCAPE);
        }
        std::set<HWND> before = run.seen;
        DWORD code = 99;
        ASSERT_TRUE(ui::WaitUntil([&] { return run.Ended(&code); }, 15000)) << "the program must end";
        EXPECT_EQ(code, 0u) << "exit code";
        run.ExpectSeenOnly(before, "no new window on the way out");
        EXPECT_EQ(stage::ReadFile(run.folder.Script()), scripts[i]) << "a cancelled run leaves the shipped script as it was";
        EXPECT_EQ(e2e::WorkingScript(run.program.pid()), "") << "the working copy goes with the run";
        EXPECT_FALSE(stage::Exists(programFiles + "\\" + names[i])) << "the install folder must not be made";
        EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, (kUninstallKey + std::string(names[i])).c_str()))
            << "a cancelled set-up must leave no Uninstall key";
        EXPECT_EQ(listing::Names(run.folder.dir()), (std::vector<std::string>{"Setup.exe", "Setup.ini", "payload.txt"}))
            << "no file may be added to or removed from the staged folder";
    }
}
