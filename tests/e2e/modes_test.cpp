// Run modes of the real Setup.exe, started from a staged folder as a user would
// start it: what appears on the screen, when, and how the program ends.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "stage.h"
#include "ui_driver.h"

namespace {

constexpr char kBatchFile[] = "C:\\delus.bat";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Describe(HWND window) {
    wchar_t cls[128] = L"";
    GetClassNameW(window, cls, 128);
    return "class " + ui::Narrow(cls) + " caption \"" + ui::Narrow(ui::Text(window)) + "\"";
}

std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
        if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) names.insert(found.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return names;
}

// The script after a cancelled dialog: the original with only the writes a cancelled
// set-up may make, applied by the same profile calls.
std::string ExpectedAfterCancel(const std::string& original, const std::string& rootName) {
    std::string path = stage::Folder("expected", false).Script();
    stage::WriteFile(path, original);
    WritePrivateProfileStringA("Root", "Name", rootName.c_str(), path.c_str());
    WritePrivateProfileStringA("Menu", "Change", "", path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return stage::ReadFile(path);
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
        if (!self->dialog && self->seen.count(window) && GetDlgItem(window, 1007)) {
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

TEST(RemoveMode, ShowsNothingAndRemovesTheCopyThroughTheBatchFile) {
    const std::string script = "[Setup]\r\nName=Remove Product\r\n[Del]\r\n0=Setup.ini\r\n";
    for (bool withScript : {false, true}) {  // one after the other: both use the same batch file
        SCOPED_TRACE(withScript ? "beside a script" : "alone in its folder");
        stage::DeleteTree(kBatchFile);
        Launch run(withScript ? "remove-beside-script" : "remove-alone", withScript ? script : "");
        const std::string exe = run.folder.Path("Setup.exe");
        ASSERT_TRUE(run.Start("remove")) << "error " << GetLastError() << ", exe there: " << stage::Exists(exe);
        DWORD code = 99;
        ASSERT_TRUE(ui::WaitUntil([&] { return run.Ended(&code); }, 20000)) << "remove mode must end within 20 s";
        DWORD lasted = run.Elapsed();
        EXPECT_EQ(code, 0u) << "exit code of remove mode";
        EXPECT_GE(lasted, 4500u) << "remove mode must wait about 5 s before acting; it ended after " << lasted << " ms";
        EXPECT_LE(lasted, 12000u) << "remove mode took " << lasted << " ms";
        run.ExpectSeenOnly({}, "remove mode must show no window");
        EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(exe) && !stage::Exists(kBatchFile); }, 20000, 100))
            << "after remove mode: Setup.exe " << (stage::Exists(exe) ? "still there" : "gone") << ", "
            << kBatchFile << " " << (stage::Exists(kBatchFile) ? "still there" : "gone");
        if (withScript) {
            // Only the program itself goes: the script is not even looked at, so the folder stays.
            EXPECT_EQ(stage::ReadFile(run.folder.Script()), script) << "remove mode must leave the script alone";
            EXPECT_TRUE(stage::Exists(run.folder.dir())) << "a folder that still holds files must stay";
        } else {
            EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(run.folder.dir()); }, 5000, 100))
                << "the emptied folder " << run.folder.dir() << " must be removed";
        }
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
        EXPECT_EQ(ui::WaitUntil([&] { return ui::Checked(dialog, 1009); }, uninstall ? 3000 : 0), uninstall)
            << "box 1009 checked";
        ui::Click(dialog, 2);
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
            ui::Click(dialogs[0], 2);
        } else {
            ui::SaveScreenshot(stage::ArtifactPath("backdrop.bmp"));  // the plain dialog is gone by now
            ui::Key(GetDlgItem(dialogs[1], 1), VK_ESCAPE);
        }
        std::set<HWND> before = run.seen;
        DWORD code = 99;
        ASSERT_TRUE(ui::WaitUntil([&] { return run.Ended(&code); }, 15000)) << "the program must end";
        EXPECT_EQ(code, 0u) << "exit code";
        run.ExpectSeenOnly(before, "no new window on the way out");
        EXPECT_EQ(stage::ReadFile(run.folder.Script()), ExpectedAfterCancel(scripts[i], names[i]))
            << "the script may differ only by [Root] Name cut to its last part and [Menu] Change emptied";
        EXPECT_FALSE(stage::Exists(programFiles + "\\" + names[i])) << "the install folder must not be made";
        EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, (kUninstallKey + std::string(names[i])).c_str()))
            << "a cancelled set-up must leave no Uninstall key";
        EXPECT_EQ(FolderNames(run.folder.dir()), (std::set<std::string>{"Setup.exe", "Setup.ini", "payload.txt"}))
            << "no file may be added to or removed from the staged folder";
    }
}
