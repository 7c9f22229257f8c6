// The final launch against special folders of the test: shortcuts made as an install
// makes them, pointing at the test program, then opened, and the one-time ones thrown
// away.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "../shell/shell_fixture.h"
#include "run/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "launch/launch.h"
#include "launch_logs.h"
#include "shell/shortcuts.h"

using links::Listing;

namespace {

class FinalLaunchTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        launch_logs::Clear();
        probe_ = install_ + "\\probe.exe";
        ASSERT_TRUE(launch_logs::Place("launchprobe.exe", probe_));
    }
    void TearDown() override {
        launch_logs::WaitForStarts(0, 0);
        ShellTest::TearDown();
    }
    // A shortcut entry that starts the test program with arguments.
    std::vector<std::string> Entry(const std::string& section, const std::string& name, const std::string& arguments) {
        return {"[" + section + "]", "Name=" + name, "Path=!" + probe_, "Arg=" + arguments};
    }
    // Writes the script, makes its shortcuts as the install does, then the final launch.
    void InstallAndLaunch(std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> lines;
        for (const auto& part : parts) lines.insert(lines.end(), part.begin(), part.end());
        WriteScript(lines);
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script_.c_str());
        ComInit com;
        SetStartMenuShortcuts(nullptr, script_.c_str(), true);
        SetFolderShortcut(nullptr, script_.c_str(), true, "Desktop");
        SetFolderShortcut(nullptr, script_.c_str(), true, "Startup");
        made_ = Listing(In("Programs")) + " // " + Listing(In("Desktop")) + " // " + Listing(In("Startup"));
        TakeTold();
        FinalLaunch();
        told_ = Launched();
    }
    // The actions told since the last call, one "word object detail" a line.
    std::string Launched() {
        std::string out;
        for (const testing_channel::Action& a : report_.actions)
            out += a.word + " " + a.object + (a.detail.empty() ? "" : " " + a.detail) + "\n";
        report_.actions.clear();  // the notes stay to be looked at
        return out;
    }
    std::string probe_, made_, told_;
};

}  // namespace

TEST_F(FinalLaunchTest, ShortcutsOpenInOrderAndOneTimeShortcutsGo) {
    InstallAndLaunch({{"[Menu]", "Name=Tool"},
                      Entry("Menu0", "First", "menu-first"),
                      Entry("Menu1", "$Once", "menu-once"),
                      Entry("Menu2", "Help\\Third", "menu-third"),
                      Entry("Menu3", "Not listed", "never"),
                      Entry("Desktop", "$Desk", "desktop"),
                      Entry("Startup", "Agent", "startup"),
                      {"[LastGo]", "0=First", "1=$Once", "2=Help\\Third", "4=Not listed", "StartupAndGo=1",
                       "DesktopAndGo=1"}});
    ASSERT_EQ("Tool\\ // $Desk.lnk // Agent.lnk", made_);
    ASSERT_TRUE(launch_logs::WaitForStarts(5)) << launch_logs::StartedArguments();
    EXPECT_EQ("menu-first / menu-once / menu-third / startup / desktop", launch_logs::StartedArguments())
        << "the numbered shortcuts in order up to the gap, then the startup and desktop ones";
    EXPECT_EQ("First.lnk | Help\\ | Not listed.lnk", Listing(In("Programs\\Tool"))) << "\"$Once\" is thrown away";
    EXPECT_EQ("(empty)", Listing(In("Desktop"))) << "the desktop shortcut's name begins with \"$\"";
    EXPECT_EQ("Agent.lnk", Listing(In("Startup")));
    const std::string menu = In("Programs\\Tool\\");
    EXPECT_EQ("open " + menu + "First.lnk\n" + "open " + menu + "$Once.lnk (then deleted)\n" + "open " + menu +
                  "Help\\Third.lnk\n" + "open " + In("Startup\\Agent.lnk") +
                  "\n" + "open " + In("Desktop\\$Desk.lnk") + " (then deleted)\n",
              told_);
}

TEST_F(FinalLaunchTest, NothingOpensWithoutAStartMenuFolder) {
    InstallAndLaunch({Entry("Menu0", "First", "menu-first"), Entry("Startup", "$Agent", "startup"),
                      Entry("Desktop", "Desk", "desktop"),
                      {"[LastGo]", "0=First", "StartupAndGo=1", "DesktopAndGo=1"}});
    ASSERT_EQ("First.lnk // Desk.lnk // $Agent.lnk", made_) << "shortcuts of the Programs folder itself";
    EXPECT_FALSE(launch_logs::WaitForStarts(1, 3000)) << "started: " << launch_logs::StartedArguments();
    EXPECT_EQ("$Agent.lnk", Listing(In("Startup")));
    EXPECT_EQ("", told_) << "nothing is opened, and a note says so";
    EXPECT_EQ(1u, std::count(report_.notes.begin(), report_.notes.end(),
                             "no Start-menu folder ([Menu] \"Name\"): nothing is opened"));

    // A Start-menu folder but no Programs folder to read: nothing either.
    folders_.Remove("Programs");
    WriteScript({"[Menu]", "Named=" + In("Programs\\Tool"), "[LastGo]", "0=First", "DesktopAndGo=1",
                 "Desktop=" + In("Desktop\\Desk.lnk")},
                "named.ini");
    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script_.c_str());
    FinalLaunch();
    EXPECT_FALSE(launch_logs::WaitForStarts(1, 3000)) << "started: " << launch_logs::StartedArguments();
}

TEST_F(FinalLaunchTest, OnlyShortcutsTheInstallMadeAreThrownAway) {
    InstallAndLaunch({{"[Menu]", "Name=Tool"},
                      Entry("Menu0", "$Made", "made"),
                      Entry("Menu1", "$x\\..\\..\\$Beside", "never made"),
                      Entry("Desktop", "Desk", "desktop"),
                      {"[LastGo]", "0=$Made", "1=$Foreign", "2=$x\\..\\..\\$Beside", "StartupAndGo=1",
                       "Startup=", "DesktopAndGo=1"}});
    ASSERT_TRUE(launch_logs::WaitForStarts(2));
    // Links of someone else where the entries point, and a recorded desktop path changed
    // to another "$" link: each is opened but stays.
    std::string foreign = In("Programs\\Tool\\$Foreign.lnk"), beside = In("Programs\\$Beside.lnk");
    std::string other = In("Desktop\\$Other.lnk");
    ASSERT_EQ("(missing)", Listing(In("Programs\\Tool"))) << "emptied by its one-time shortcut";
    ASSERT_TRUE(stage::MakeFolders(In("Programs\\Tool")));
    ASSERT_TRUE(CopyFileA(In("Desktop\\Desk.lnk").c_str(), foreign.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(In("Desktop\\Desk.lnk").c_str(), beside.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(In("Desktop\\Desk.lnk").c_str(), other.c_str(), FALSE));
    WritePrivateProfileStringA("LastGo", "Desktop", other.c_str(), script_.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, script_.c_str());
    launch_logs::Clear();
    FinalLaunch();
    ASSERT_TRUE(launch_logs::WaitForStarts(3));
    EXPECT_EQ("desktop / desktop / desktop", launch_logs::StartedArguments())
        << "$Made is gone already; the foreign links and the changed desktop path open";
    EXPECT_EQ("open " + In("Programs\\Tool\\$Made.lnk") + " (not there: nothing opens)\n" + "open " + foreign + "\n" +
                  "open " + In("Programs\\Tool\\$x\\..\\..\\$Beside.lnk") + "\n" + "open " + other + "\n",
              Launched())
        << "what is not there is told so; an empty startup path is not opened";
    EXPECT_EQ("$Foreign.lnk", Listing(In("Programs\\Tool")));
    EXPECT_TRUE(stage::Exists(beside));
    EXPECT_EQ("$Other.lnk | Desk.lnk", Listing(In("Desktop")));
}

TEST_F(FinalLaunchTest, AnEmptiedStartMenuFolderGoesButNeverTheProgramsFolder) {
    InstallAndLaunch({{"[Menu]", "Name=Solo"}, Entry("Menu0", "$Only", "only"), {"[LastGo]", "0=$Only"}});
    ASSERT_EQ("Solo\\ // (empty) // (empty)", made_);
    ASSERT_TRUE(launch_logs::WaitForStarts(1));
    EXPECT_EQ("(empty)", Listing(In("Programs"))) << "the product's folder is empty after its one-time shortcut";
    EXPECT_EQ("open " + In("Programs\\Solo\\$Only.lnk") + " (then deleted)\nremove-folder " + In("Programs\\Solo") +
                  " (left empty)\n",
              told_);

    launch_logs::Clear();
    InstallAndLaunch({{"[Menu]", "Named=" + In("Programs")}, Entry("Menu0", "$Only", "direct"), {"[LastGo]", "0=$Only"}});
    ASSERT_TRUE(launch_logs::WaitForStarts(1));
    EXPECT_EQ("direct", launch_logs::StartedArguments());
    EXPECT_EQ("(empty)", Listing(In("Programs"))) << "the Programs folder itself stays, empty";
}

// Links of another program where the one-time entries point are left by the install
// and opened as asked, but never thrown away; a Start-menu folder that was there before
// stays when its one-time link has gone.
TEST_F(FinalLaunchTest, OnlyTheProductsOwnOneTimeLinksAndFolderGo) {
    const std::string menuLink = In("Programs\\Tool\\$Once.lnk"), deskLink = In("Desktop\\$Desk.lnk");
    ASSERT_TRUE(stage::MakeFolders(In("Programs\\Tool")));
    ASSERT_TRUE(links::Make(menuLink, probe_, "foreign"));
    ASSERT_TRUE(links::Make(deskLink, probe_, "foreign desk"));
    const std::string menuBytes = stage::ReadFile(menuLink), deskBytes = stage::ReadFile(deskLink);
    InstallAndLaunch({{"[Menu]", "Name=Tool"},
                      Entry("Menu0", "$Once", "menu-once"),
                      Entry("Desktop", "$Desk", "desktop"),
                      {"[LastGo]", "0=$Once", "DesktopAndGo=1"}});
    EXPECT_EQ(2u, TakeAsked().size()) << "the Start-menu and the desktop step each report the link they left";
    ASSERT_TRUE(launch_logs::WaitForStarts(1));
    EXPECT_FALSE(launch_logs::WaitForStarts(2, 3000)) << "the desktop link was not the install's: no path recorded";
    EXPECT_EQ("foreign", launch_logs::StartedArguments());
    EXPECT_EQ(menuBytes, stage::ReadFile(menuLink));
    EXPECT_EQ(deskBytes, stage::ReadFile(deskLink));

    ASSERT_TRUE(stage::MakeFolders(In("Programs\\Kept")));
    launch_logs::Clear();
    InstallAndLaunch({{"[Menu]", "Name=Kept"}, Entry("Menu0", "$Only", "only"), {"[LastGo]", "0=$Only"}});
    ASSERT_TRUE(launch_logs::WaitForStarts(1));
    EXPECT_EQ("(empty)", Listing(In("Programs\\Kept"))) << "the own one-time link goes, the folder from before stays";
}
