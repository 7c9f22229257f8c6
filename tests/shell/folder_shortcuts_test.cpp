// Send To, desktop and startup shortcuts against special folders of the test, and the
// option states that every shortcut step records.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "shell/shortcuts.h"
#include "shell_fixture.h"

using links::Listing;

using FolderShortcuts = ShellTest;

TEST_F(FolderShortcuts, SendToSubfoldersAreMadeAndRemoved) {
    WriteScript({"[Check]", "Send=1", "[Send0]", "Name=Tool\\Viewer", "Path=!C:\\x.exe", "Short=V", "[Send1]",
                 "Name=Plain", "[Send2]", "Name=..\\Outside", "[Send4]", "Name=Never"});
    SetSendToShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("Plain.lnk | Tool\\", Listing(In("SendTo")));
    EXPECT_EQ("Viewer.lnk", Listing(In("SendTo\\Tool")));
    links::Link viewer = links::Read(In("SendTo\\Tool\\Viewer.lnk"));
    EXPECT_EQ("C:\\x.exe", viewer.path);
    EXPECT_EQ(0, viewer.hotkey) << "Send To shortcuts get no hotkey";
    EXPECT_FALSE(stage::Exists(In("Outside.lnk")));
    EXPECT_EQ("2", Value("Check", "Send"));

    EXPECT_EQ(In("SendTo\\Tool"), Facts("SendFolder"));
    EXPECT_EQ(In("SendTo\\Tool\\Viewer.lnk") + " | " + In("SendTo\\Plain.lnk"), Facts("SendLink"));

    ASSERT_TRUE(SetFileAttributesA(In("SendTo\\Plain.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    Earlier(script_);
    SetSendToShortcuts(nullptr, script_.c_str(), false);
    EXPECT_EQ("(empty)", Listing(In("SendTo"))) << "Tool goes once empty; the Send To folder itself stays";
    EXPECT_EQ("1", Value("Check", "Send"));
}

TEST_F(FolderShortcuts, ASendToFolderThatCannotBeHadMeansNothingIsDone) {
    WriteScript({"[Check]", "Send=0", "[Send0]", "Name=Plain"});
    folders_.Set("SendTo", In("no\\parent\\SendTo"), false);
    SetSendToShortcuts(nullptr, script_.c_str(), true);
    EXPECT_FALSE(stage::Exists(In("no")));
    EXPECT_EQ("0", Value("Check", "Send")) << "nothing made, nothing recorded";
    ASSERT_EQ(1u, report_.actions.size());
    EXPECT_EQ(Outcome::Failed, report_.actions[0].outcome);
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, report_.actions[0].error);
    EXPECT_EQ("fails " + In("no\\parent\\SendTo") + "\n", TakeTold());
    folders_.Remove("SendTo");
    SetSendToShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("0", Value("Check", "Send"));
    EXPECT_EQ(std::vector<std::string>{"the Send To folder cannot be read: nothing is done"}, report_.notes);
    EXPECT_EQ("", TakeTold());

    folders_.Set("SendTo", In("Fresh"), false);  // its parent exists: it is made
    SetSendToShortcuts(nullptr, script_.c_str(), true);
    EXPECT_EQ("Plain.lnk", Listing(In("Fresh")));
    EXPECT_EQ("2", Value("Check", "Send"));
    EXPECT_EQ("make " + In("Fresh") + "\nnew " + In("Fresh\\Plain.lnk") + "\n", TakeTold());
    EXPECT_EQ(2, report_.totals.made) << "the folder and the link count as made";
    EXPECT_EQ(1, report_.totals.failed);
}

// The desktop and startup shortcuts carry hotkeys and are recorded in [LastGo] while they exist.
TEST_F(FolderShortcuts, DesktopAndStartupShortcutsAreRecordedWhileTheyExist) {
    const struct {
        const char* word;
        const char* shortKey;
        WORD hotkey;
    } cases[] = {{"Desktop", "T", 0x0654}, {"Startup", "\\113", 0x0671}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const std::string word = c.word, folder = In(word), link = folder + "\\Tool.lnk";
        WriteScript({"[Check]", word + "=1", "[" + word + "]", "Name=Tool", "Path=!C:\\x.exe", "Arg=/start",
                     std::string("Short=") + c.shortKey, "Show=2"},
                    word + ".ini");
        SetFolderShortcut(nullptr, script_.c_str(), true, c.word);
        links::Link made = links::Read(link);
        EXPECT_TRUE(made.loaded) << "no shortcut at " << link;
        EXPECT_EQ(c.hotkey, made.hotkey);
        EXPECT_EQ("/start", made.arguments);
        EXPECT_EQ(SW_SHOWMINNOACTIVE, made.show);
        EXPECT_EQ(link, Value("LastGo", c.word));
        EXPECT_EQ("2", Value("Check", c.word));
        EXPECT_EQ(link, Facts(word + "Link"));

        ASSERT_TRUE(SetFileAttributesA(link.c_str(), FILE_ATTRIBUTE_READONLY));
        Earlier(script_);
        SetFolderShortcut(nullptr, script_.c_str(), false, c.word);
        EXPECT_FALSE(stage::Exists(link)) << "a read-only shortcut is deleted too";
        EXPECT_EQ("", Value("LastGo", c.word)) << "the key stays, empty";
        EXPECT_EQ("1", Value("Check", c.word));
        EXPECT_EQ("(empty)", Listing(folder)) << "the special folder itself stays";
        Earlier("");
    }
}

TEST_F(FolderShortcuts, EntriesWithoutAUsableNameAreLeftAlone) {
    ASSERT_TRUE(stage::WriteFile(In("Desktop\\x.lnk"), "user's"));
    const std::vector<std::string> names = {"", "..\\Tool", "Sub\\"};
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE("Name=" + names[i]);
        WriteScript({"[Check]", "Desktop=1", "[Desktop]", "Name=" + names[i], "Path=!C:\\x.exe"},
                    "unusable" + std::to_string(i) + ".ini");
        SetFolderShortcut(nullptr, script_.c_str(), true, "Desktop");
        SetFolderShortcut(nullptr, script_.c_str(), false, "Desktop");
        EXPECT_EQ("<absent>", Value("LastGo", "Desktop"));
        EXPECT_EQ("1", Value("Check", "Desktop"));
        EXPECT_EQ("x.lnk", Listing(In("Desktop")));
        EXPECT_FALSE(stage::Exists(In("Tool.lnk")));
    }
}

// A name with a backslash needs the desktop's subfolder to exist already; none is made.
TEST_F(FolderShortcuts, DesktopSubfoldersAreNotMade) {
    WriteScript({"[Desktop]", "Name=Sub\\Tool", "Path=!C:\\x.exe"});
    SetFolderShortcut(nullptr, script_.c_str(), true, "Desktop");
    EXPECT_EQ("(empty)", Listing(In("Desktop")));
    // The shortcut object was made, so the step records the path although the save found no folder.
    EXPECT_EQ(In("Desktop\\Sub\\Tool.lnk"), Value("LastGo", "Desktop"));
    EXPECT_EQ("", Facts("DesktopLink")) << "but no link was made";

    ASSERT_TRUE(stage::MakeFolders(In("Desktop\\Sub")));
    SetFolderShortcut(nullptr, script_.c_str(), true, "Desktop");
    EXPECT_EQ("Tool.lnk", Listing(In("Desktop\\Sub")));
    Earlier(script_);
    SetFolderShortcut(nullptr, script_.c_str(), false, "Desktop");
    EXPECT_EQ("Sub\\", Listing(In("Desktop"))) << "the user's subfolder stays";
}

// Every shortcut step records "2" over 0 or 1 when it makes, "1" over any non-zero
// value when it removes, and leaves an absent key absent.
TEST_F(FolderShortcuts, OptionStatesForEveryStep) {
    const struct {
        const char* initial;  // null: no such key
        const char* afterMaking;
        const char* afterRemoving;
    } cases[] = {
        {nullptr, "<absent>", "<absent>"}, {"0", "2", "0"}, {"1", "2", "1"},   {"2", "2", "1"},
        {"3", "3", "1"},                   {"-1", "-1", "1"}, {"7", "7", "1"},
    };
    const char* keys[] = {"Menu", "Send", "Desktop", "Startup"};
    int row = 0;
    std::string made;  // the record of the last install, which the removal reads
    for (const auto& c : cases) {
        for (bool make : {true, false}) {
            SCOPED_TRACE(std::string(c.initial ? c.initial : "absent") + (make ? ", making" : ", removing"));
            std::vector<std::string> lines = {"[Menu]", "Name=States", "[Menu0]", "Name=One", "[Send0]", "Name=One",
                                              "[Desktop]", "Name=One", "[Startup]", "Name=One", "[Check]"};
            for (const char* key : keys)
                if (c.initial) lines.push_back(std::string(key) + "=" + c.initial);
            WriteScript(lines, "states" + std::to_string(row++) + ".ini");
            Earlier(make ? "" : made);
            if (make) made = script_;
            SetStartMenuShortcuts(nullptr, script_.c_str(), make);
            SetSendToShortcuts(nullptr, script_.c_str(), make);
            SetFolderShortcut(nullptr, script_.c_str(), make, "Desktop");
            SetFolderShortcut(nullptr, script_.c_str(), make, "Startup");
            for (const char* key : keys)
                EXPECT_EQ(make ? c.afterMaking : c.afterRemoving, Value("Check", key)) << "[Check] " << key;
        }
    }
    EXPECT_EQ("(empty)", Listing(In("Programs"))) << "the last removal took the Start-menu folder";
}
