// Launch entries and the final launch as the real Setup.exe runs them: one product
// whose install opens its shortcuts, starts the test program, calls functions of its
// libraries and reports the failures, then an uninstall whose "Erase" entry sees every
// installed file still in place. The user's folders point at folders of the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "plan_check.h"
#include "launch_logs.h"
#include "shell_links.h"

using namespace e2e;
using links::Listing;

namespace {

constexpr DWORD kRunWait = 60000;
const std::string kInstall = "C:\\Launch App";
const std::string kFolders = "C:\\LaunchFolders";
const std::string kPrograms = kFolders + "\\Programs", kDesktop = kFolders + "\\Desktop";

std::string Ja(const char* english, const char* japanese) { return stage::Japanese() ? japanese : english; }

struct Box {
    std::string caption, text;
};

// Runs a Setup.exe to its end, answering every message box with OK and keeping them.
std::string RunAnswering(const std::string& exe, const std::string& arguments, const std::string& folder,
                         std::vector<Box>* boxes, const char* shotName) {
    ui::Program program;
    if (!program.Start(exe, arguments, folder)) return "Setup.exe did not start";
    for (HWND last = nullptr;;) {
        Outcome o = WaitForEndOrBox(program, kRunWait, last);
        if (o.ended) return o.exitCode ? "exit code " + std::to_string(o.exitCode) : "";
        if (!o.box) {
            program.Kill();
            return "the run did not end in time";
        }
        ui::WaitUntil([&] { return !ui::MessageBoxText(o.box).empty(); }, 3000);  // set after it shows
        std::wstring text = ui::MessageBoxText(o.box);
        text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
        boxes->push_back({ui::Narrow(ui::Text(o.box), CP_ACP), ui::Narrow(text, CP_ACP)});
        if (boxes->size() == 3) Shot(shotName);  // the first report
        ui::Click(o.box, IDOK);
        ui::WaitUntil([&] { return !IsWindow(o.box); }, 5000);
        last = o.box;
    }
}

std::vector<std::string> ProductScript() {
    return {"[Setup]", "Name=Launch Product", "Auto=1",
            "[Root]", "Name=Launch App",
            "[CopyFile]", "0=?probe.exe", "1=?launchlib.dll", "2=?launchuser.dll", "3=?launchdep.dll", "4=?data.txt",
            "[Check]", "Menu=3", "Desktop=3", "Startup=0", "Ext=0", "Send=0",
            "[Del]", "ShowError=1",
            "[Menu]", "Name=Launch Product",
            "[Menu0]", "Name=Launch Probe", "Path=probe.exe", "Arg=menu-lasting",
            "[Menu1]", "Name=$Launch Once", "Path=probe.exe", "Arg=menu-once",
            "[Desktop]", "Name=$Launch Desk", "Path=probe.exe", "Arg=desktop",
            "[LastGo]", "0=Launch Probe", "1=$Launch Once", "DesktopAndGo=1",
            "[Go2]",
            "Make0=\"%root%\\probe.exe\" go2 \"quoted words\";;max",
            "Make1=%root%\\launchlib.dll;Trace",
            "Make2=%root%\\launchuser.dll;UseDep",
            "Make3=missing-one.dll;Init",
            "Make4=%root%\\missing-two.dll;Init",
            "Make5=%windows%\\missing-three.dll;Init;",
            "Make6=%root%\\launchlib.dll;NoSuchExport",
            // Beside Setup.exe, but a bare name is looked for in the system folder only.
            "Make7=launchdep.dll;#CheckExist;Install the runtime first",
            "Make8=\"%root%\\no such program.exe\";",
            "Make9=\"%root%\\hidden missing.exe\";;hide",
            // Beside Setup.exe too, but a bare program name is looked for in the system
            // folders only.
            "Make10=launchbare.exe planted",
            "Make12=%root%\\launchlib.dll;Trace",
            "Erase0=%root%\\launchlib.dll;Survey",
            "Erase1=%root%\\gone.dll;Cleanup;hide"};
}

}  // namespace

TEST(Launch, InstallLaunchesAndReportsAndTheUninstallCallsBeforeRemoving) {
    stage::DeleteTree(kInstall);
    stage::DeleteTree(kFolders);
    launch_logs::Clear();
    links::ShellFolders folders;
    folders.Set("Programs", kPrograms);
    folders.Set("Desktop", kDesktop);
    stage::Folder stage("launch");
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", stage.Path("probe.exe")));
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", stage.Path("launchbare.exe")));
    for (const char* lib : {"launchlib.dll", "launchuser.dll", "launchdep.dll"})
        ASSERT_TRUE(launch_logs::Place(lib, stage.Path(lib))) << lib;
    stage.Put("data.txt", "data");
    stage.WriteScript(Crlf(ProductScript()));

    // 1. The install: the final launch, then the launch entries with their boxes.
    std::vector<Box> boxes;
    const plancheck::InstallPlan plan(stage.dir());
    ASSERT_EQ("", RunAnswering(stage.Path("Setup.exe"), "", stage.dir(), &boxes, "launch-report"));
    ASSERT_TRUE(plan.available());
    EXPECT_EQ("", plan.AfterInstall()) << "the plan and the install differ";
    ASSERT_EQ(5u, boxes.size()) << "two warnings and three reports";
    EXPECT_EQ("\"" + kInstall + "\\no such program.exe\"", boxes[0].caption) << "the program, quotes and all";
    EXPECT_EQ(Ja("Could not execute.", "実行を失敗しました"), boxes[0].text);
    EXPECT_EQ("launchbare.exe", boxes[1].caption) << "never the copy beside Setup.exe";
    EXPECT_EQ(Ja("Could not execute.", "実行を失敗しました"), boxes[1].text);
    boxes.erase(boxes.begin() + 1);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ("Launch Product", boxes[i].caption) << "report " << i;
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(Ja("Could not load library.\n\n", "ライブラリをロードできませんでした\n\n") + "missing-one.dll\n" + kInstall +
                  "\\missing-two.dll\n" + windows + "\\missing-three.dll\n",
              boxes[1].text);
    EXPECT_EQ(Ja("Here is not library.\n\n", "ライブラリがありません\n\n") + "launchdep.dll\n -> Install the runtime first\n",
              boxes[2].text);
    EXPECT_EQ(Ja("Could not find entry.\n\n", "エントリポイントを見つけられませんでした\n\n") + kInstall +
                  "\\launchlib.dll\n -> NoSuchExport\n",
              boxes[3].text);

    ASSERT_TRUE(launch_logs::WaitForStarts(4)) << launch_logs::StartedArguments();
    std::vector<launch_logs::Start> starts = launch_logs::Starts();
    ASSERT_EQ(4u, starts.size()) << launch_logs::StartedArguments();
    const struct {
        std::string arguments, folder;
    } expected[] = {
        {"menu-lasting", kInstall}, {"menu-once", kInstall}, {"desktop", kInstall}, {"go2 \"quoted words\"", kInstall}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(kInstall + "\\probe.exe", starts[i].exe) << "start " << i;
        EXPECT_EQ(expected[i].arguments, starts[i].arguments) << "start " << i;
        EXPECT_EQ(expected[i].folder, starts[i].folder) << "start " << i << ": the shortcut's or the install folder";
    }
    EXPECT_EQ(SW_SHOWMAXIMIZED, starts[3].show) << "\"max\"";
    EXPECT_EQ("Trace|" + kInstall + "\\launchlib.dll / DepLoaded|" + kInstall +
                  "\\launchdep.dll / UseDep|dependency-answered",
              launch_logs::Calls())
        << "each function once, the dependency from beside its library; nothing after the gap";
    EXPECT_EQ("Launch Probe.lnk", Listing(kPrograms + "\\Launch Product")) << "the one-time shortcut is gone";
    EXPECT_EQ("(empty)", Listing(kDesktop)) << "the one-time desktop shortcut is gone";
    EXPECT_EQ(kDesktop + "\\$Launch Desk.lnk", IniValue(kInstall + "\\Setup.ini", "LastGo", "Desktop"));

    // 2. The uninstall: its "Erase" entry runs while every installed file is there.
    launch_logs::Clear();
    boxes.clear();
    ASSERT_EQ("", RunAnswering(kInstall + "\\Setup.exe", "uninstall", kInstall, &boxes, "uninstall-box"));
    for (const Box& box : boxes) ADD_FAILURE() << "unexpected box \"" << box.caption << "\": " << box.text;
    std::string calls = launch_logs::Calls();
    ASSERT_EQ(0u, calls.find("Survey|")) << calls;
    for (const char* name : {"Setup.exe", "Setup.ini", "probe.exe", "launchlib.dll", "launchuser.dll",
                             "launchdep.dll", "data.txt"})
        EXPECT_NE(std::string::npos, (" " + calls.substr(7) + " ").find(std::string(" ") + name + " "))
            << name << " was gone before the \"Erase\" entry ran: " << calls;
    EXPECT_TRUE(ui::WaitUntil([] { return !stage::Exists(kInstall); }, 40000, 200)) << "the install folder stays";
    EXPECT_EQ("(empty)", Listing(kPrograms));
    stage::DeleteTree(kInstall);
    stage::DeleteTree(kFolders);
    launch_logs::Clear();
}
