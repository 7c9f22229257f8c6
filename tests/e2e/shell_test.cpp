// Shortcuts as the real Setup.exe makes and removes them: one product with Start-menu,
// desktop, startup and Send To shortcuts, installed, installed again with the
// Start-menu box unchecked, and uninstalled, among links of another program that two
// of its entries name. The user's special folders point at folders of the test for its
// length.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "plan_check.h"
#include "shell_links.h"
#include "res/resource.h"

using namespace e2e;
using links::Listing;

namespace {

constexpr DWORD kRunWait = 60000;
const std::string kInstall = "C:\\ShellApp";
const std::string kFolders = "C:\\ShellFolders";
const std::string kPrograms = kFolders + "\\Programs", kDesktop = kFolders + "\\Desktop",
                  kStartup = kFolders + "\\Startup", kSendTo = kFolders + "\\SendTo";

std::vector<std::string> ProductScript(bool unattended) {
    return {"[Setup]", "Name=Shell Product", std::string("Auto=") + (unattended ? "1" : "0"), "[Root]",
            "Name=ShellApp", "[CopyFile]", "0=?app.exe", "1=?readme.txt", "[Check]", "Menu=2", "Desktop=2",
            "Startup=2", "Send=3", "[Del]", "ShowError=1", "[Menu]", "Name=Shell Product",
            // Start menu: a plain entry (its "Short" is not used there), one in a sub-folder, one beside
            "[Menu0]", "Name=Shell App", "Path=app.exe", "Arg=/fresh", "Icon=app.exe", "IconNo=1", "Short=X",
            "[Menu1]", "Name=Help\\Read me", "Path=app.exe", "Arg=readme.txt", "Work=docs",
            "[Menu2]", "Name=\\Shell Home", "Path=app.exe", "Work=!C:\\ShellData", "Show=1",
            "[Desktop]", "Name=Shell App", "Path=app.exe", "Short=S", "Show=1",
            "[Startup]", "Name=Shell Agent", "Path=app.exe", "Arg=/background", "Short=\\113", "Show=2",
            "[Send0]", "Name=Shell\\Send to App", "Path=app.exe", "Short=Q",
            "[Send1]", "Name=Shell Quick", "Path=app.exe",
            // names that another program's links already have
            "[Menu3]", "Name=\\Command Prompt", "Path=app.exe", "[Send2]", "Name=Notepad", "Path=app.exe"};
}

// Runs Setup.exe to its end, answering each message box with OK; the boxes' texts in order.
std::vector<std::string> AnswerBoxesUntilEnd(ui::Program& program, bool* ended) {
    std::vector<std::string> texts;
    HWND last = nullptr;
    for (;;) {
        Outcome o = WaitForEndOrBox(program, kRunWait, last);
        *ended = o.ended;
        if (!o.box) return texts;
        ui::WaitUntil([&] { return !ui::MessageBoxText(o.box).empty(); }, 5000);
        texts.push_back(ui::Narrow(ui::MessageBoxText(o.box)));
        ui::Click(o.box, IDOK);
        ui::WaitUntil([&] { return !IsWindow(o.box); }, 5000);
        last = o.box;
    }
}

// The warning box of a step that left another program's link as it was.
std::string LeftBox(const std::string& link) {
    return std::string(stage::Japanese() ? "次のショートカットは他のプログラムのものなので，そのままにしました．\n\n"
                                         : "These shortcuts belong to another program and were left as they are:\n\n") +
           link;
}

}  // namespace

TEST(Shell, ShortcutsAreMadeReplacedAndRemoved) {
    stage::DeleteTree(kInstall);
    stage::DeleteTree(kFolders);
    links::ShellFolders folders;
    folders.Set("Programs", kPrograms);
    folders.Set("Desktop", kDesktop);
    folders.Set("Startup", kStartup);
    folders.Set("SendTo", kSendTo);
    stage::Folder stage("shell");
    stage.Put("app.exe", "app");
    stage.Put("readme.txt", "readme");
    stage.WriteScript(Crlf(ProductScript(true)));
    // Another program's links, where [Menu3] and [Send2] point, and a copy of each to
    // compare with byte for byte.
    const std::string prompt = kPrograms + "\\Command Prompt.lnk", notepad = kSendTo + "\\Notepad.lnk";
    for (const std::string& link : {prompt, notepad})
        ASSERT_TRUE(links::Make(link, "C:\\Other\\other.exe", "/other")) << link;
    const std::string promptBytes = stage::ReadFile(prompt), notepadBytes = stage::ReadFile(notepad);
    auto foreignIntact = [&](const char* when) {
        EXPECT_EQ(promptBytes, stage::ReadFile(prompt)) << when;
        EXPECT_EQ(notepadBytes, stage::ReadFile(notepad)) << when;
    };

    // 1. Unattended install: every shortcut with its fields; each step that met another
    // program's link says so, once.
    {
        const plancheck::InstallPlan plan(stage.dir());
        ui::Program setup;
        ASSERT_TRUE(setup.Start(stage.Path("Setup.exe"), "", stage.dir()));
        bool ended = false;
        std::vector<std::string> boxes = AnswerBoxesUntilEnd(setup, &ended);
        ASSERT_TRUE(ended) << "the install did not end in time";
        EXPECT_EQ((std::vector<std::string>{LeftBox(prompt), LeftBox(notepad)}), boxes);
        ASSERT_TRUE(plan.available());
        EXPECT_EQ("", plan.AfterInstall()) << "the plan and the install differ";
    }
    foreignIntact("after the install");
    const std::string app = kInstall + "\\app.exe", menu = kPrograms + "\\Shell Product";
    const struct {
        std::string link;
        links::Link expected;
    } made[] = {
        {menu + "\\Shell App.lnk", links::Loaded(app, "/fresh", kInstall, app, 1, SW_SHOWNORMAL, 0)},
        {menu + "\\Help\\Read me.lnk", links::Loaded(app, "readme.txt", kInstall + "\\docs", "", 0, SW_SHOWNORMAL, 0)},
        {kPrograms + "\\Shell Home.lnk", links::Loaded(app, "", "C:\\ShellData", "", 0, SW_SHOWMAXIMIZED, 0)},
        {kDesktop + "\\Shell App.lnk", links::Loaded(app, "", kInstall, "", 0, SW_SHOWMAXIMIZED, 0x0653)},
        {kStartup + "\\Shell Agent.lnk", links::Loaded(app, "/background", kInstall, "", 0, SW_SHOWMINNOACTIVE, 0x0671)},
        {kSendTo + "\\Shell\\Send to App.lnk", links::Loaded(app, "", kInstall, "", 0, SW_SHOWNORMAL, 0)},
        {kSendTo + "\\Shell Quick.lnk", links::Loaded(app, "", kInstall, "", 0, SW_SHOWNORMAL, 0)},
    };
    for (const auto& m : made)
        EXPECT_EQ(links::Describe(m.expected), links::Describe(links::Read(m.link))) << m.link;
    EXPECT_EQ("Command Prompt.lnk | Shell Home.lnk | Shell Product\\", Listing(kPrograms));
    EXPECT_EQ("Help\\ | Shell App.lnk", Listing(menu));
    const std::string record = kInstall + "\\Setup.ini";
    EXPECT_EQ(kDesktop + "\\Shell App.lnk", IniValue(record, "LastGo", "Desktop"));
    EXPECT_EQ(kStartup + "\\Shell Agent.lnk", IniValue(record, "LastGo", "Startup"));
    for (const char* key : {"Menu", "Desktop", "Startup"}) EXPECT_EQ("2", IniValue(record, "Check", key)) << key;
    EXPECT_EQ("3", IniValue(record, "Check", "Send")) << "a forced box keeps its mode";
    EXPECT_EQ(menu, IniValue(record, "Created", "MenuFolder0"));
    EXPECT_EQ("<absent>", IniValue(record, "Created", "MenuLink3")) << "three of the four Start-menu links are the product's";
    EXPECT_EQ(kSendTo + "\\Shell Quick.lnk", IniValue(record, "Created", "SendLink1"));
    EXPECT_EQ("<absent>", IniValue(record, "Created", "SendLink2"));

    // 2. The same product again into the same folder, its Start-menu box unchecked by the user.
    stage.WriteScript(Crlf(ProductScript(false)));
    {
        ui::Program setup;
        ASSERT_TRUE(setup.Start(stage.Path("Setup.exe"), "", stage.dir()));
        HWND dialog = ui::WaitForMainDialog(setup.pid(), 20000);
        ASSERT_TRUE(dialog) << "no main dialog for the second install";
        ASSERT_TRUE(ui::Visible(dialog, IDC_MENU) && ui::Checked(dialog, IDC_MENU))
            << "the Start-menu box should start checked";
        ui::Click(dialog, IDC_MENU);
        ASSERT_TRUE(ui::WaitUntil([&] { return !ui::Checked(dialog, IDC_MENU); }, 5000))
            << "the box could not be unchecked";
        Shot("menu-box-unchecked");
        ui::Click(dialog, IDC_RUN);
        bool ended = false;
        std::vector<std::string> boxes = AnswerBoxesUntilEnd(setup, &ended);
        ASSERT_TRUE(ended) << "the second install did not end in time";
        EXPECT_EQ(std::vector<std::string>{LeftBox(notepad)}, boxes) << "the Send To step meets the link again";
    }
    foreignIntact("after the version-up");
    EXPECT_EQ("Command Prompt.lnk", Listing(kPrograms)) << "the earlier Start-menu shortcuts and their folders are gone";
    EXPECT_EQ("1", IniValue(record, "Check", "Menu"));
    EXPECT_EQ("Shell App.lnk", Listing(kDesktop));
    EXPECT_EQ("Shell Agent.lnk", Listing(kStartup));
    EXPECT_EQ("Notepad.lnk | Shell Quick.lnk | Shell\\", Listing(kSendTo));
    EXPECT_EQ(kDesktop + "\\Shell App.lnk", IniValue(record, "Created", "DesktopLink0")) << "made again, the product's";

    // 3. Uninstall. Copies of the product's links put back in the Start menu are no longer
    // its own (the version-up removed them, one is read-only): they stay. A read-only link
    // the product made goes. A file of the user keeps the install folder, so the report
    // shows while the record exists.
    ASSERT_TRUE(stage::MakeFolders(menu));
    ASSERT_TRUE(CopyFileA((kDesktop + "\\Shell App.lnk").c_str(), (menu + "\\Shell App.lnk").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((kDesktop + "\\Shell App.lnk").c_str(), (kPrograms + "\\Shell Home.lnk").c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesA((menu + "\\Shell App.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA((kDesktop + "\\Shell App.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string putBack = stage::ReadFile(menu + "\\Shell App.lnk");
    ASSERT_TRUE(stage::WriteFile(kInstall + "\\user.txt", "mine"));
    {
        ui::Program uninstaller;
        ASSERT_TRUE(uninstaller.Start(kInstall + "\\Setup.exe", "uninstall", kInstall));
        Outcome report = WaitForEndOrBox(uninstaller, kRunWait);
        ASSERT_TRUE(report.box) << "no leftover report for the user's file";
        Shot("uninstall-report");
        EXPECT_EQ("", IniValue(record, "LastGo", "Desktop")) << "the key stays, empty";
        EXPECT_EQ("", IniValue(record, "LastGo", "Startup")) << "the key stays, empty";
        for (const char* key : {"Desktop", "Startup", "Send"}) EXPECT_EQ("1", IniValue(record, "Check", key)) << key;
        ui::Click(report.box, IDOK);
        Outcome end = WaitForEndOrBox(uninstaller, kRunWait, report.box);
        EXPECT_TRUE(end.ended && !end.box) << "the uninstaller did not end after the report";
    }
    foreignIntact("after the uninstall");
    EXPECT_EQ("Command Prompt.lnk | Shell Home.lnk | Shell Product\\", Listing(kPrograms));
    EXPECT_EQ(putBack, stage::ReadFile(menu + "\\Shell App.lnk"));
    EXPECT_EQ("Notepad.lnk", Listing(kSendTo));
    for (const std::string& folder : {kDesktop, kStartup}) EXPECT_EQ("(empty)", Listing(folder)) << "left in " << folder;
    EXPECT_TRUE(ui::WaitUntil([] { return !stage::Exists(kInstall + "\\Setup.exe"); }, 40000, 200))
        << "the uninstaller did not remove itself";
    EXPECT_EQ("mine", stage::ReadFile(kInstall + "\\user.txt"));
    SetFileAttributesA((menu + "\\Shell App.lnk").c_str(), FILE_ATTRIBUTE_NORMAL);
    stage::DeleteTree(kInstall);
    stage::DeleteTree(kFolders);
}

// The plan's shortcuts beside the real ones, for the three ways an entry names its
// target and icon: a plain name (looked up as a program from the install folder, where
// it is only after the copy), a name after %root%, and a complete path after "!". The
// target, arguments, working folder and icon the plan shows are the link's own, and so
// is the registration's DisplayIcon; nothing may point into the setup folder, which
// holds files of the same names.
TEST(Shell, ThePlanNamesTheTargetsTheRunMakes) {
    const std::string install = "C:\\ShellPaths", tools = "C:\\ShellTools";
    stage::DeleteTree(install);
    stage::DeleteTree(kFolders);
    stage::DeleteTree(tools);
    const std::string product = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ShellPaths";
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, product.c_str());
    links::ShellFolders folders;
    folders.Set("Programs", kPrograms);
    folders.Set("Desktop", kDesktop);
    folders.Set("Startup", kStartup);
    folders.Set("SendTo", kSendTo);
    ASSERT_TRUE(stage::WriteFile(tools + "\\tool.exe", "a tool of another folder"));
    stage::Folder stage("shell-paths");
    stage.Put("app.exe", "app");
    stage.Put("app.ico", "icon");
    stage.Put("bin\\helper.exe", "helper");
    stage.WriteScript(Crlf({"[Setup]", "Name=Shell Paths", "Auto=1", "[Root]", "Name=ShellPaths", "[MakeDirectory]",
                            "1=bin", "[CopyFile]", "0=app.exe", "1=app.ico", "2=bin\\helper.exe", "[Check]", "Menu=2",
                            "Desktop=2", "[Menu]", "Name=Shell Paths",
                            "[Menu0]", "Name=Plain", "Path=app.exe", "Arg=/plain", "Icon=app.ico",
                            "[Menu1]", "Name=Rooted", "Path=%root%bin\\helper.exe", "Icon=%root%app.exe", "IconNo=1",
                            "Work=bin",
                            "[Menu2]", "Name=Complete", "Path=!" + tools + "\\tool.exe", "Icon=!" + tools + "\\tool.exe",
                            "Work=!" + tools,
                            "[Desktop]", "Name=Shell Paths", "Path=app.exe", "Icon=app.exe", "IconNo=2"}));
    const plancheck::InstallPlan plan(stage.dir());
    ASSERT_TRUE(plan.available());
    ui::Program setup;
    ASSERT_TRUE(setup.Start(stage.Path("Setup.exe"), "", stage.dir()));
    bool ended = false;
    EXPECT_EQ(std::vector<std::string>{}, AnswerBoxesUntilEnd(setup, &ended));
    ASSERT_TRUE(ended) << "the install did not end in time";
    EXPECT_EQ("", plan.AfterInstall()) << "the plan and the install differ";

    // What each link holds, as the plan words it.
    auto told = [](const links::Link& l) {
        std::string out = "-> " + l.path + (l.arguments.empty() ? "" : " " + l.arguments) + "  (in " + l.workFolder + ")";
        if (!l.icon.empty()) out += "  (icon " + l.icon + "," + std::to_string(l.iconIndex) + ")";
        return out;
    };
    const std::string menu = kPrograms + "\\Shell Paths\\";
    const struct {
        std::string link, target, icon;
    } expected[] = {
        // A plain name is looked up as a program, for the icon too: no program opens .ico here.
        {menu + "Plain.lnk", install + "\\app.exe", ""},
        {menu + "Rooted.lnk", install + "\\bin\\helper.exe", install + "\\app.exe"},
        {menu + "Complete.lnk", tools + "\\tool.exe", tools + "\\tool.exe"},
        {kDesktop + "\\Shell Paths.lnk", install + "\\app.exe", install + "\\app.exe"},
    };
    for (const auto& e : expected) {
        const links::Link link = links::Read(e.link);
        ASSERT_TRUE(link.loaded) << e.link;
        EXPECT_EQ(e.target, link.path) << e.link;
        EXPECT_EQ(e.icon, link.icon) << e.link;
        EXPECT_EQ(told(link), plan::DetailOf(plan.lines(), "new", e.link)) << e.link << "\n" << plan.text();
    }
    std::string icon;
    ASSERT_TRUE(stage::GetRegString(HKEY_LOCAL_MACHINE, product.c_str(), "DisplayIcon", &icon));
    EXPECT_EQ(install + "\\app.exe,2", icon);
    std::string planned = "<no DisplayIcon line>";
    for (const plan::Line& l : plan.lines())
        if (l.object == "HKEY_LOCAL_MACHINE\\" + product && l.detail.compare(0, 16, "\"DisplayIcon\" = ") == 0)
            planned = l.detail;
    EXPECT_EQ("\"DisplayIcon\" = \"" + icon + "\"", planned) << plan.text();

    const plancheck::InstallPlan removal(install, true);
    ASSERT_TRUE(removal.available());
    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(install + "\\Setup.exe", "uninstall", install));
    EXPECT_TRUE(uninstaller.Wait(kRunWait)) << "the uninstall did not end";
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(install + "\\Setup.exe"); }, 40000, 200))
        << "the uninstaller did not remove itself";
    EXPECT_EQ("", removal.Disagreements()) << "the plan and the uninstall differ";
    EXPECT_TRUE(stage::Exists(tools + "\\tool.exe")) << "a complete path outside the product stays";
    stage::DeleteTree(install);
    stage::DeleteTree(tools);
    stage::DeleteTree(kFolders);
}
