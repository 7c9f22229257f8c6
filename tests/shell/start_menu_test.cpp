// The Start-menu step and the record-based removal, against a Programs folder of the
// test: folders from names, entries beside the product's folder, the end of the
// list, overlong names, the warning box, and what removal leaves.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "shell/shortcuts.h"
#include "shell_fixture.h"

using links::Listing;

class StartMenu : public ShellTest {
protected:
    std::string Programs(const std::string& relative = "") const {
        return In("Programs") + (relative.empty() ? "" : "\\" + relative);
    }
};

TEST_F(StartMenu, EntriesGoIntoTheirFoldersAndGoAgainWithTheirEmptyFolders) {
    WriteScript({"[Check]", "Menu=1", "[Menu]", "Name=Tool", "[Menu0]", "Name=Help\\Read me", "Path=!C:\\x.exe",
                 "[Menu1]", "Name=\\Tool Home", "Path=!C:\\x.exe", "[Menu2]", "Name=Readme", "[Menu3]",
                 "Name=..\\Escape", "[Menu4]", "Name=Help\\", "[Menu5]", "Name=Deep\\er\\Guide", "[Menu7]",
                 "Name=After gap"});
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("Tool Home.lnk | Tool\\", Listing(Programs())) << "\"\\Tool Home\" goes beside the product's folder";
    EXPECT_EQ("Deep\\ | Help\\ | Readme.lnk", Listing(Programs("Tool")))
        << "\"..\\Escape\" and \"Help\\\" name no link; the list ends before [Menu7]";
    EXPECT_EQ("Read me.lnk", Listing(Programs("Tool\\Help")));
    EXPECT_EQ("Guide.lnk", Listing(Programs("Tool\\Deep\\er")));
    EXPECT_EQ("C:\\x.exe", links::Read(Programs("Tool\\Help\\Read me.lnk")).path);
    EXPECT_FALSE(stage::Exists(In("Escape.lnk")));
    EXPECT_EQ("2", Value("Check", "Menu"));
    // Each folder and link told as it is made, each unusable name as it is refused.
    EXPECT_EQ("make " + Programs("Tool") + "\n" + "make " + Programs("Tool\\Help") + "\n" + "new " +
                  Programs("Tool\\Help\\Read me.lnk") + "\n" + "new " + Programs("Tool Home.lnk") + "\n" + "new " +
                  Programs("Tool\\Readme.lnk") + "\n" + "refused ..\\Escape\n" + "refused Help\\\n" + "make " +
                  Programs("Tool\\Deep") + "\n" + "make " + Programs("Tool\\Deep\\er") + "\n" + "new " +
                  Programs("Tool\\Deep\\er\\Guide.lnk") + "\n",
              TakeTold());

    EXPECT_EQ(Programs("Tool") + " | " + Programs("Tool\\Help") + " | " + Programs("Tool\\Deep") + " | " +
                  Programs("Tool\\Deep\\er"),
              Facts("MenuFolder"));
    EXPECT_EQ(Programs("Tool\\Help\\Read me.lnk") + " | " + Programs("Tool Home.lnk") + " | " +
                  Programs("Tool\\Readme.lnk") + " | " + Programs("Tool\\Deep\\er\\Guide.lnk"),
              Facts("MenuLink"));

    // The box off in the next install. Files of the user keep their folders; a link no
    // entry names stays.
    Earlier(script_);
    ASSERT_TRUE(stage::WriteFile(Programs("Tool\\Help\\mine.txt"), "mine"));
    ASSERT_TRUE(stage::WriteFile(Programs("Tool\\Other.lnk"), "other"));
    SetStartMenuShortcuts(nullptr, script_.c_str(), false);
    EXPECT_EQ(std::vector<std::string>{"the Start-menu box is off: what the earlier install in this folder made is removed"},
              report_.notes);
    EXPECT_EQ("remove " + Programs("Tool\\Help\\Read me.lnk") + "\n" + "stays " + Programs("Tool\\Help") + "\n" +
                  "remove " + Programs("Tool Home.lnk") + "\n" + "remove " + Programs("Tool\\Readme.lnk") + "\n" +
                  "remove " + Programs("Tool\\Deep\\er\\Guide.lnk") + "\n" + "remove-folder " +
                  Programs("Tool\\Deep\\er") + "\n" + "remove-folder " + Programs("Tool\\Deep") + "\n" + "stays " +
                  Programs("Tool") + "\n",
              TakeTold())
        << "the user's file keeps Help, Other.lnk keeps Tool";
    EXPECT_EQ("Tool\\", Listing(Programs()));
    EXPECT_EQ("Help\\ | Other.lnk", Listing(Programs("Tool"))) << "Deep\\er went deepest first";
    EXPECT_EQ("mine.txt", Listing(Programs("Tool\\Help")));
    EXPECT_EQ("1", Value("Check", "Menu"));
    EXPECT_EQ(Programs("Tool\\Help") + " | " + Programs("Tool"), Facts("MenuFolder")) << "the folders that stay";
    EXPECT_EQ("", Facts("MenuLink"));

    ASSERT_TRUE(DeleteFileA(Programs("Tool\\Help\\mine.txt").c_str()));
    ASSERT_TRUE(DeleteFileA(Programs("Tool\\Other.lnk").c_str()));
    SetStartMenuShortcuts(nullptr, script_.c_str(), false);
    EXPECT_EQ("(empty)", Listing(Programs())) << "the emptied folders go; the Programs folder stays";
}

// Without a product folder the links go into the Programs folder itself, which the
// step never removes, even when it is left empty.
TEST_F(StartMenu, TheProgramsFolderItselfIsNeverRemoved) {
    WriteScript({"[Menu0]", "Name=Direct", "Path=!C:\\x.exe"});
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("Direct.lnk", Listing(Programs()));
    EXPECT_EQ("", Facts("MenuFolder")) << "the Programs folder was there before";
    Earlier(script_);
    SetStartMenuShortcuts(nullptr, script_.c_str(), false);
    EXPECT_EQ("(empty)", Listing(Programs()));

    WriteScript({"[Menu]", "Name="}, "empty.ini");
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("(empty)", Listing(Programs())) << "making nothing leaves the empty Programs folder";
    RemoveStartMenuShortcuts(In("missing\\Setup.ini").c_str());
    EXPECT_EQ("(empty)", Listing(Programs())) << "a missing record reads as empty; the Programs folder stays";
    // A record that claims the Programs folder as made: named without its trailing backslash.
    folders_.Set("Programs", Programs() + "\\", false);
    WriteScript({"[Created]", "Recorded=1", "MenuFolder0=" + Programs(), "[Check]", "Menu=2", "[Menu]",
                 "Named=" + Programs()},
                "named.ini", true);
    Earlier(script_);
    SetStartMenuShortcuts(nullptr, script_.c_str(), false);
    RemoveStartMenuShortcuts(script_.c_str());
    EXPECT_EQ("(empty)", Listing(Programs())) << "still the Programs folder, which stays";
}

TEST_F(StartMenu, AGapAtMenu0MakesNothingAndLeavesNoFolder) {
    WriteScript({"[Check]", "Menu=0", "[Menu]", "Name=Gap", "[Menu1]", "Name=Lost"});
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("(empty)", Listing(Programs())) << "the new empty folder is removed again";
    EXPECT_EQ("2", Value("Check", "Menu")) << "the folder was made, so the option counts as taken";
}

TEST_F(StartMenu, ANamedFolderIsUsedWhateverTheName) {
    const std::string named = In("Elsewhere\\Menu");
    ASSERT_TRUE(stage::MakeFolders(In("Elsewhere")));
    WriteScript({"[Menu]", "Name=Tool", "Named=" + named, "[Menu0]", "Name=Read me", "[Menu1]", "Name=\\Beside"});
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("Read me.lnk", Listing(named));
    EXPECT_EQ("Beside.lnk", Listing(Programs())) << "\"\\\" names still go beside, into the Programs folder";

    char startMenu[MAX_PATH], programs[MAX_PATH];
    FindStartMenuFolder(script_.c_str(), startMenu, programs);
    EXPECT_EQ(named, startMenu);
    EXPECT_EQ(Programs(), programs);
    WriteScript({"[Menu]", "Name=Tool"}, "plain.ini");
    FindStartMenuFolder(script_.c_str(), startMenu, programs);
    EXPECT_EQ(Programs("Tool"), startMenu);
    folders_.Remove("Programs");
    FindStartMenuFolder(script_.c_str(), startMenu, programs);
    EXPECT_EQ("", std::string(startMenu) + programs) << "no Programs folder: no Start-menu folder either";
}

// A link path that would not fit is skipped, never cut into the name of another file.
TEST_F(StartMenu, OverlongNamesAreSkippedAndNeverCut) {
    const std::string base = Programs("Tool");
    const std::string name(264 - base.size(), 'n');  // base\name.lnk is 269 bytes
    const std::string victim = (base + "\\" + name).substr(0, 259);
    ASSERT_TRUE(stage::WriteFile(victim, "someone else's")) << victim;
    WriteScript({"[Menu]", "Name=Tool", "[Menu0]", "Name=" + name, "[Menu1]", "Name=After"});
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("someone else's", stage::ReadFile(victim));
    EXPECT_TRUE(stage::Exists(base + "\\After.lnk")) << "the list goes on after a skipped entry";
    Earlier(script_);
    SetStartMenuShortcuts(nullptr, script_.c_str(), false);
    RemoveStartMenuShortcuts(script_.c_str());
    EXPECT_EQ("someone else's", stage::ReadFile(victim)) << "removal must not delete a cut path";
    EXPECT_FALSE(stage::Exists(base + "\\After.lnk"));
}

// Seven attempts about 500 ms apart, then one warning; nothing is made or recorded.
TEST_F(StartMenu, AFolderThatCannotBeMadeIsReportedAfterSevenAttempts) {
    const std::string named = In("no\\such\\parent\\Menu");
    WriteScript({"[Check]", "Menu=1", "[Menu]", "Named=" + named, "[Menu0]", "Name=Read me"});
    DWORD start = GetTickCount();
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    DWORD elapsed = GetTickCount() - start;
    std::vector<testing_channel::Seen> asked = TakeAsked();
    ASSERT_EQ(1u, asked.size()) << "one warning";
    EXPECT_EQ(Message::Warning, asked[0].kind);
    // Both texts reach the channel in the ANSI code page, as the literals here are built.
    EXPECT_EQ(stage::Japanese() ? "メニューを作成できませんでした" : "Could not make menu.", asked[0].caption);
    EXPECT_EQ(named, asked[0].text);
    EXPECT_GE(elapsed, 2900u) << "six waits of 500 ms come before the warning";
    EXPECT_FALSE(stage::Exists(In("no")));
    EXPECT_EQ("1", Value("Check", "Menu")) << "nothing was made, so nothing is recorded";
    ASSERT_EQ(1u, report_.actions.size()) << TakeTold();
    EXPECT_EQ(Outcome::Failed, report_.actions[0].outcome);
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, report_.actions[0].error);
    EXPECT_EQ("fails " + named + "\n", TakeTold());
}

// The record path deletes the listed links (read-only ones too) and an emptied
// Start-menu folder, but leaves the folders inside names and [Check] alone.
TEST_F(StartMenu, RecordRemovalKeepsNamedSubfolders) {
    WriteScript({"[Check]", "Menu=2", "[Menu]", "Name=Rec", "[Menu0]", "Name=Read me", "[Menu1]",
                 "Name=Help\\Guide", "[Menu2]", "Name=\\Rec Home"},
                "nested.ini");
    const std::string nested = script_;
    SetStartMenuShortcuts(nullptr, nested.c_str(), true);
    ASSERT_EQ("Help\\ | Read me.lnk", Listing(Programs("Rec")));
    ASSERT_TRUE(SetFileAttributesA(Programs("Rec\\Read me.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(ReadOnly(Programs("Rec\\Read me.lnk")));
    RemoveStartMenuShortcuts(nested.c_str());
    EXPECT_EQ("Rec\\", Listing(Programs())) << "\"\\Rec Home\" is deleted beside the folder";
    EXPECT_EQ("Help\\", Listing(Programs("Rec"))) << "the read-only link is deleted, Help stays";
    EXPECT_EQ("(empty)", Listing(Programs("Rec\\Help")));
    EXPECT_EQ("2", Value("Check", "Menu")) << "the record path leaves [Check] alone";

    WriteScript({"[Menu]", "Name=Flat", "[Menu0]", "Name=One", "[Menu1]", "Name=Two"}, "flat.ini");
    SetStartMenuShortcuts(nullptr, script_.c_str(), true);
    ASSERT_TRUE(stage::WriteFile(Programs("Flat\\Three.lnk"), "user's"));
    RemoveStartMenuShortcuts(script_.c_str());
    EXPECT_EQ("Three.lnk", Listing(Programs("Flat"))) << "only the links the record names are deleted";
    ASSERT_TRUE(DeleteFileA(Programs("Flat\\Three.lnk").c_str()));
    RemoveStartMenuShortcuts(script_.c_str());
    EXPECT_FALSE(stage::Exists(Programs("Flat"))) << "an emptied Start-menu folder is removed";
}
