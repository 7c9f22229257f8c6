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

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kBatchFile[] = "C:\\delus.bat";

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == s->first && IsWindowVisible(window)) s->second->push_back(window);
    return TRUE;
}

// Every visible top-level window of the process, in z-order (topmost first).
std::vector<HWND> VisibleWindows(DWORD pid) {
    std::vector<HWND> found;
    std::pair<DWORD, std::vector<HWND>*> search(pid, &found);
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
    return found;
}

std::string Describe(HWND window) {
    wchar_t cls[128] = L"";
    GetClassNameW(window, cls, 128);
    return "class " + ui::Narrow(cls) + " caption \"" + ui::Narrow(ui::Text(window)) + "\"";
}

std::string CurrentFolder() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

std::string ProgramFilesDir() {
    std::string value;
    stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                        &value);
    return value;
}

// The names in a folder, sorted.
std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// What the script must look like after a cancelled dialog: the original bytes with
// only the writes a cancelled set-up may make, applied by the same profile calls.
std::string ExpectedAfterCancel(const std::string& original, const std::string& rootName) {
    std::string path = CurrentFolder() + "\\expected.ini";
    stage::WriteFile(path, original);
    if (!rootName.empty()) WritePrivateProfileStringA("Root", "Name", rootName.c_str(), path.c_str());
    WritePrivateProfileStringA("Menu", "Change", "", path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    std::string bytes = stage::ReadFile(path);
    DeleteFileA(path.c_str());
    return bytes;
}

// One Setup.exe in its own staged folder.
struct Launch {
    Launch(const std::string& name, const std::string& script) : folder(name) {
        if (!script.empty()) folder.WriteScript(script);
    }
    bool Start(const std::string& args) {
        started = GetTickCount();
        return program.Start(folder.Path("Setup.exe"), args, folder.dir());
    }
    DWORD Elapsed() const { return GetTickCount() - started; }
    DWORD pid() const { return program.pid(); }

    stage::Folder folder;
    ui::Program program;
    DWORD started = 0;
};

std::wstring RebootQuestion() {
    return stage::Japanese() ? L"いくつかのファイルは\n再起動後に有効になります\n\n今すぐ再起動しますか？"
                             : L"Some files will be enabled\nafter reboot.\n\nReboot now?";
}

const char* CodePageNote() {
    return stage::Japanese() ? " (the test runs with OEM code page 932; Setup.exe must have inherited it)"
                             : " (the test runs with a non-Japanese OEM code page)";
}

}  // namespace

TEST(RebootMode, AsksOnlyTheRestartQuestionAfterFiveSeconds) {
    // The caption is shown in the ANSI code page, so a Japanese name only in the Japanese run.
    const std::string product = stage::Japanese() ? "再起動テスト製品" : "Reboot Product 2.0";
    Launch named("reboot-named", "[Setup]\r\nName=" + product + "\r\n");
    Launch unnamed("reboot-unnamed", "[Setup]\r\nName=\r\n[Root]\r\nName=RebootApp\r\n");
    std::string namedScript = stage::ReadFile(named.folder.Script());
    std::string unnamedScript = stage::ReadFile(unnamed.folder.Script());
    Launch* runs[] = {&named, &unnamed};
    const std::wstring captions[] = {ui::Widen(product.c_str()), L""};
    for (Launch* run : runs) ASSERT_TRUE(run->Start("reboot"));

    std::set<HWND> seen[2];
    DWORD firstSeen[2] = {0, 0};
    HWND box[2] = {nullptr, nullptr};
    while (named.Elapsed() < 15000 && !(box[0] && box[1])) {
        for (int i = 0; i < 2; ++i) {
            for (HWND w : VisibleWindows(runs[i]->pid())) {
                if (seen[i].insert(w).second && !firstSeen[i]) firstSeen[i] = runs[i]->Elapsed();
                if (!box[i]) box[i] = w;
            }
        }
        Sleep(50);
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "with [Setup] Name" : "without [Setup] Name");
        ASSERT_NE(box[i], nullptr) << "no window within 15 s of the start in reboot mode";
        EXPECT_GE(firstSeen[i], 3000u) << "the question must wait about 5 s; it came after " << firstSeen[i] << " ms";
        EXPECT_LE(firstSeen[i], 9000u) << "the question came only after " << firstSeen[i] << " ms";
        wchar_t cls[64] = L"";
        GetClassNameW(box[i], cls, 64);
        EXPECT_STREQ(cls, L"#32770") << "the first window is not a message box: " << Describe(box[i]);
        EXPECT_EQ(ui::Text(box[i]), captions[i]) << "caption of the question";
        EXPECT_EQ(ui::MessageBoxText(box[i]), RebootQuestion()) << "text of the question" << CodePageNote();
        EXPECT_TRUE(ui::Visible(box[i], IDYES)) << "a question has a Yes button";
        EXPECT_TRUE(ui::Visible(box[i], IDNO)) << "a question has a No button";
        EXPECT_FALSE(ui::Visible(box[i], IDOK)) << "a question has no OK button";
        EXPECT_FALSE(ui::Visible(box[i], IDCANCEL)) << "a question has no Cancel button";
        EXPECT_TRUE(GetWindowLongW(box[i], GWL_EXSTYLE) & WS_EX_TOPMOST) << "the question is system-modal";
    }
    if (box[0]) ui::SaveScreenshot(stage::ArtifactPath("reboot-question.bmp"));

    for (int i = 0; i < 2; ++i) ui::Click(box[i], IDNO);
    DWORD codes[2] = {99, 99};
    bool ended[2] = {false, false};
    while (named.Elapsed() < 30000 && !(ended[0] && ended[1])) {
        for (int i = 0; i < 2; ++i) {
            if (ended[i]) continue;
            for (HWND w : VisibleWindows(runs[i]->pid())) seen[i].insert(w);
            ended[i] = runs[i]->program.Wait(0, &codes[i]);
        }
        Sleep(50);
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "with [Setup] Name" : "without [Setup] Name");
        ASSERT_TRUE(ended[i]) << "the program must end after No";
        EXPECT_EQ(codes[i], 0u) << "exit code after No";
        EXPECT_EQ(seen[i].size(), 1u) << "reboot mode must show only the question; windows seen: " << seen[i].size();
        for (HWND w : seen[i])
            if (w != box[i]) ADD_FAILURE() << "unexpected window " << Describe(w);
    }
    EXPECT_EQ(stage::ReadFile(named.folder.Script()), namedScript) << "reboot mode must not write the script";
    EXPECT_EQ(stage::ReadFile(unnamed.folder.Script()), unnamedScript) << "reboot mode must not write the script";
    EXPECT_TRUE(stage::Exists(named.folder.Path("Setup.exe"))) << "reboot mode must not remove the program";
}

TEST(RemoveMode, ShowsNothingAndRemovesTheCopyThroughTheBatchFile) {
    stage::DeleteTree(kBatchFile);
    struct Case {
        const char* folder;
        bool withScript;
    } cases[] = {{"remove-alone", false}, {"remove-beside-script", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string script = "[Setup]\r\nName=Remove Product\r\n[Del]\r\n0=Setup.ini\r\n";
        Launch run(c.folder, c.withScript ? script : std::string());
        const std::string exe = run.folder.Path("Setup.exe");
        ASSERT_TRUE(run.Start("remove"));
        DWORD code = 99;
        bool ended = false;
        std::set<HWND> seen;
        while (run.Elapsed() < 20000 && !ended) {
            for (HWND w : VisibleWindows(run.pid())) seen.insert(w);
            ended = run.program.Wait(0, &code);
            if (!ended) Sleep(50);
        }
        DWORD lasted = run.Elapsed();
        ASSERT_TRUE(ended) << "remove mode must end by itself within 20 s";
        EXPECT_EQ(code, 0u) << "exit code of remove mode";
        EXPECT_GE(lasted, 4500u) << "remove mode must wait about 5 s before acting; it ended after " << lasted << " ms";
        EXPECT_LE(lasted, 12000u) << "remove mode took " << lasted << " ms";
        EXPECT_TRUE(seen.empty()) << "remove mode must show no window; it showed " << seen.size()
                                  << (seen.empty() ? "" : ", the first " + Describe(*seen.begin()));

        bool removed = ui::WaitUntil([&] { return !stage::Exists(exe) && !stage::Exists(kBatchFile); }, 20000, 100);
        EXPECT_TRUE(removed) << "after remove mode: Setup.exe " << (stage::Exists(exe) ? "still there" : "gone")
                             << ", " << kBatchFile << " " << (stage::Exists(kBatchFile) ? "still there" : "gone");
        if (c.withScript) {
            // Only the program itself goes: the script is not even looked at, so the folder stays.
            EXPECT_EQ(stage::ReadFile(run.folder.Script()), script) << "remove mode must leave the script alone";
            EXPECT_TRUE(stage::Exists(run.folder.dir())) << "a folder that still holds files must stay";
        } else {
            EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(run.folder.dir()); }, 5000, 100))
                << "the emptied folder " << run.folder.dir() << " must be removed";
        }
        stage::DeleteTree(run.folder.dir());
        stage::DeleteTree(kBatchFile);
    }
}

TEST(InstallMode, ArgumentsOtherThanTheExactModeNamesOpenTheDialog) {
    struct Case {
        const char* args;
        bool uninstallMode;
    } cases[] = {{"Remove", false}, {"Reboot", false}, {"Uninstall", false}, {"", false},
                 {"other text", false}, {"uninstall", true}};
    const int count = sizeof cases / sizeof cases[0];
    std::vector<std::unique_ptr<Launch>> runs;
    for (int i = 0; i < count; ++i) {
        // Box 1009 is offered unchecked; only the uninstall mode checks it.
        std::string script = "[Setup]\r\nName=Args " + std::to_string(i) + "\r\n[Check]\r\nCopy=1\r\n";
        runs.emplace_back(new Launch("args-" + std::to_string(i), script));
        ASSERT_TRUE(runs.back()->Start(cases[i].args));
    }
    std::vector<HWND> dialogs(count);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(std::string("argument \"") + cases[i].args + "\"");
        dialogs[i] = ui::WaitForMainDialog(runs[i]->pid(), 20000);
        ASSERT_NE(dialogs[i], nullptr) << "the main dialog must open";
        EXPECT_EQ(ui::Text(dialogs[i]), ui::Widen(("Args " + std::to_string(i)).c_str())) << "caption";
        if (cases[i].uninstallMode) {
            EXPECT_TRUE(ui::WaitUntil([&] { return ui::Checked(dialogs[i], 1009); }, 3000))
                << "the exact argument uninstall checks box 1009";
        } else {
            Sleep(300);  // the uninstall mode checks the box during set-up, before the dialog shows
            EXPECT_FALSE(ui::Checked(dialogs[i], 1009)) << "an install run leaves box 1009 unchecked";
        }
    }
    for (int i = 0; i < count; ++i) ui::Click(dialogs[i], 2);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(std::string("argument \"") + cases[i].args + "\"");
        DWORD code = 99;
        ASSERT_TRUE(runs[i]->program.Wait(15000, &code)) << "Cancel must end the program";
        EXPECT_EQ(code, 0u) << "exit code after Cancel";
    }
}

TEST(MainDialog, OpensOnceAboutTwoSecondsAfterStartAndCancelChangesNothing) {
    const std::string installFolder = ProgramFilesDir() + "\\CancelApp";
    const std::string productKey = std::string(kUninstallKey) + "\\CancelApp";
    stage::DeleteTree(installFolder);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, productKey.c_str());
    const std::string script =
        "[Setup]\r\nName=Cancel Product\r\n"
        "[Root]\r\nName=%programs%\\CancelApp\r\n"
        "[Check]\r\nMenu=2\r\nDesktop=2\r\nCopy=2\r\nDel=1\r\n"
        "[Menu]\r\nName=Cancel Menu\r\nChange=C:\\Elsewhere\\Cancel Menu\r\n"
        "[CopyFile]\r\n0=payload.txt\r\n"
        "[MakeDirectory]\r\n1=data\r\n";
    Launch run("cancel-button", script);
    run.folder.Put("payload.txt", "payload\r\n");
    const std::string expected = ExpectedAfterCancel(script, "CancelApp");
    ASSERT_TRUE(run.Start(""));

    HWND dialog = nullptr;
    ui::WaitUntil([&] { return (dialog = ui::WaitForMainDialog(run.pid(), 0)) != nullptr; }, 15000, 20);
    DWORD appeared = run.Elapsed();
    ASSERT_NE(dialog, nullptr) << "no main dialog within 15 s";
    EXPECT_GE(appeared, 1500u) << "the dialog must wait for the backdrop's 2 s timer; it came after " << appeared << " ms";
    EXPECT_LE(appeared, 8000u) << "the dialog came only after " << appeared << " ms";

    // Watch for a second dialog (the timer must stop before the dialog opens).
    std::set<HWND> seen;
    DWORD watchStart = GetTickCount();
    while (GetTickCount() - watchStart < 3000) {
        for (HWND w : VisibleWindows(run.pid())) seen.insert(w);
        Sleep(50);
    }
    EXPECT_EQ(seen.size(), 1u) << "only the main dialog may be visible in the 3 s after it opened";
    for (HWND w : seen)
        if (w != dialog) ADD_FAILURE() << "second window " << Describe(w);

    ui::Click(dialog, 2);
    DWORD code = 99;
    bool ended = false;
    while (!ended && run.Elapsed() < appeared + 3000 + 15000) {
        for (HWND w : VisibleWindows(run.pid()))
            if (w != dialog) ADD_FAILURE() << "window after Cancel: " << Describe(w);
        ended = run.program.Wait(50, &code);
    }
    ASSERT_TRUE(ended) << "Cancel must end the program";
    EXPECT_EQ(code, 0u) << "exit code after Cancel";

    EXPECT_EQ(stage::ReadFile(run.folder.Script()), expected)
        << "after Cancel the script may differ only by [Root] Name cut to its last part and [Menu] Change emptied";
    EXPECT_EQ(stage::Ini(run.folder.Script(), "Menu", "Change"), "") << "Cancel drops the picked menu location";
    EXPECT_FALSE(stage::Exists(installFolder)) << "Cancel must not make the install folder " << installFolder;
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, productKey.c_str()))
        << "a cancelled set-up must leave no key " << productKey;
    std::set<std::string> names = FolderNames(run.folder.dir());
    EXPECT_EQ(names, (std::set<std::string>{"Setup.exe", "Setup.ini", "payload.txt"}))
        << "Cancel must not add or remove files in the staged folder (" << names.size() << " names)";
}

TEST(MainDialog, EscapeEndsLikeCancel) {
    const std::string script =
        "[Setup]\r\nName=Escape Product\r\n"
        "[Root]\r\nName=EscapeApp\r\n"
        "[Check]\r\nMenu=1\r\nSend=2\r\n"
        "[Menu]\r\nName=Escape Menu\r\nChange=Somewhere\\Escape Menu\r\n"
        "[CopyFile]\r\n0=payload.txt\r\n";
    stage::DeleteTree("C:\\EscapeApp");
    Launch run("cancel-escape", script);
    run.folder.Put("payload.txt", "payload\r\n");
    const std::string expected = ExpectedAfterCancel(script, "EscapeApp");
    ASSERT_TRUE(run.Start(""));
    HWND dialog = ui::WaitForMainDialog(run.pid(), 15000);
    ASSERT_NE(dialog, nullptr) << "no main dialog within 15 s";
    ui::Key(GetDlgItem(dialog, 1), VK_ESCAPE);
    DWORD code = 99;
    ASSERT_TRUE(run.program.Wait(15000, &code)) << "Escape must end the program";
    EXPECT_EQ(code, 0u) << "exit code after Escape";
    EXPECT_EQ(stage::ReadFile(run.folder.Script()), expected)
        << "after Escape the script may differ only by [Menu] Change emptied";
    EXPECT_FALSE(stage::Exists("C:\\EscapeApp")) << "Escape must not make the install folder";
    EXPECT_EQ(FolderNames(run.folder.dir()), (std::set<std::string>{"Setup.exe", "Setup.ini", "payload.txt"}))
        << "Escape must not add or remove files in the staged folder";
}

TEST(MainDialog, BackdropWindowIsShownOnlyWhenTheScriptAsksForIt) {
    // Every row offered, so that the dialog keeps its centred template size.
    const std::string rows = "[Check]\r\nMenu=1\r\nDesktop=1\r\nStartup=1\r\nExt=1\r\nSend=1\r\nCopy=1\r\nDel=1\r\n";
    Launch plain("backdrop-off", "[Setup]\r\nName=Plain\r\n[Back]\r\nDo=0\r\n" + rows);
    Launch backed("backdrop-on", "[Setup]\r\nName=Backed\r\n[Back]\r\nDo=1\r\n" + rows);
    ASSERT_TRUE(plain.Start(""));
    ASSERT_TRUE(backed.Start(""));
    HWND plainDialog = ui::WaitForMainDialog(plain.pid(), 20000);
    HWND backedDialog = ui::WaitForMainDialog(backed.pid(), 20000);
    ASSERT_NE(plainDialog, nullptr) << "[Back] Do=0: no main dialog";
    ASSERT_NE(backedDialog, nullptr) << "[Back] Do=1: no main dialog";
    Sleep(500);

    RECT screen = ui::WindowRect(GetDesktopWindow());
    for (HWND dialog : {plainDialog, backedDialog}) {
        RECT r = ui::WindowRect(dialog);
        EXPECT_NEAR((r.left + r.right) / 2, (screen.left + screen.right) / 2, 2) << "the dialog is centred";
        EXPECT_NEAR((r.top + r.bottom) / 2, (screen.top + screen.bottom) / 2, 2) << "the dialog is centred";
    }

    std::vector<HWND> plainWindows = VisibleWindows(plain.pid());
    EXPECT_EQ(plainWindows.size(), 1u) << "[Back] Do=0: only the dialog may be visible";
    for (HWND w : plainWindows)
        if (w != plainDialog) ADD_FAILURE() << "[Back] Do=0: visible " << Describe(w);

    HWND backdrop = nullptr;
    std::vector<HWND> backedWindows = VisibleWindows(backed.pid());
    for (HWND w : backedWindows)
        if (w != backedDialog) backdrop = w;
    EXPECT_EQ(backedWindows.size(), 2u) << "[Back] Do=1: the dialog and the backdrop";
    ASSERT_NE(backdrop, nullptr) << "[Back] Do=1: no backdrop window visible";
    RECT b = ui::WindowRect(backdrop);
    EXPECT_TRUE(EqualRect(&b, &screen)) << "the backdrop covers the screen: got " << b.left << "," << b.top << " - "
                                        << b.right << "," << b.bottom;
    EXPECT_EQ(GetWindow(backedDialog, GW_OWNER), backdrop) << "the backdrop owns the dialog";
    EXPECT_FALSE(GetWindowLongW(backdrop, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the backdrop is not topmost";
    bool dialogAbove = false;
    for (HWND w = GetWindow(backdrop, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        if (w == backedDialog) dialogAbove = true;
    EXPECT_TRUE(dialogAbove) << "the dialog is in front of the backdrop";
    // Without drawing commands the picture is the black surface.
    HDC dc = GetDC(nullptr);
    POINT corners[] = {{screen.left + 3, screen.top + 3},
                       {screen.right - 4, screen.top + 3},
                       {screen.left + 3, screen.bottom - 4},
                       {screen.right - 4, screen.bottom - 4}};
    for (POINT p : corners) {
        COLORREF c = GetPixel(dc, p.x, p.y);
        EXPECT_EQ(c, RGB(0, 0, 0)) << "backdrop pixel at " << p.x << "," << p.y << " is " << std::hex << c;
    }
    ReleaseDC(nullptr, dc);
    ui::SaveScreenshot(stage::ArtifactPath("backdrop.bmp"));

    ui::Click(plainDialog, 2);
    ui::Click(backedDialog, 2);
    DWORD code = 99;
    EXPECT_TRUE(plain.program.Wait(15000, &code) && code == 0) << "[Back] Do=0: Cancel ends with 0, got " << code;
    code = 99;
    EXPECT_TRUE(backed.program.Wait(15000, &code) && code == 0) << "[Back] Do=1: Cancel ends with 0, got " << code;
}
