// WriteShortcut round trips: a shortcut made from a script entry, loaded back through
// IShellLinkA and IPersistFile, field by field; and the values it refuses.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "shell/shell_link.h"
#include "shell_fixture.h"

namespace {

std::string WindowsFolder() {
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

std::string SystemFolder() {
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

// A file type registered for the length of a test.
class DocumentType {
public:
    DocumentType(const char* extension, const char* type, const std::string& command)
        : extension_(extension), type_(type) {
        stage::SetRegString(HKEY_CLASSES_ROOT, extension, nullptr, type);
        stage::SetRegString(HKEY_CLASSES_ROOT, (type_ + "\\shell\\open\\command").c_str(), nullptr, command.c_str());
    }
    ~DocumentType() {
        stage::DeleteRegTree(HKEY_CLASSES_ROOT, extension_.c_str());
        stage::DeleteRegTree(HKEY_CLASSES_ROOT, type_.c_str());
    }

private:
    std::string extension_, type_;
};

}  // namespace

using ShortcutRoundTrip = ShellTest;

TEST_F(ShortcutRoundTrip, EveryFieldComesBackAsTheEntryAsked) {
    for (const char* file : {"app.exe", "tool.exe", "notes.shelltestdoc"}) stage::WriteFile(install_ + "\\" + file, file);
    const std::string app = install_ + "\\app.exe", viewer = In("Viewer\\viewer.exe");
    // A document's shortcut targets the program registered to open it.
    stage::WriteFile(viewer, "viewer");
    DocumentType type(".shelltestdoc", "ShellTestDoc", "\"" + viewer + "\" \"%1\"");
    struct Case {
        std::vector<std::string> entry;
        bool hotkeyAllowed;
        links::Link expected;
    };
    const std::vector<Case> cases = {
        /* 0 */ {{"Path=app.exe", "Arg=-x \"quoted arg\" %root%", "Show=1", "Work=bin", "Icon=app.exe", "IconNo=2",
                  "Short=T"},
                 true, links::Loaded(app, "-x \"quoted arg\" %root%", install_ + "\\bin", app, 2, SW_SHOWMAXIMIZED, 0x0654)},
        /* 1 */ {{"Path=app.exe", "Short=T"}, false, links::Loaded(app, "", install_, "", 0, SW_SHOWNORMAL, 0)},
        /* 2 */ {{"Path=%windows%\\notepad.exe", "Show=2", "Work=!D:\\Data"}, true,
                 links::Loaded(WindowsFolder() + "\\notepad.exe", "", "D:\\Data", "", 0, SW_SHOWMINNOACTIVE, 0)},
        /* 3 */ {{"Path=!C:\\Tools\\x.exe", "Short=\\112"}, true,
                 links::Loaded("C:\\Tools\\x.exe", "", install_, "", 0, SW_SHOWNORMAL, 0x0670)},
        /* 4 */ {{"Path=tool.exe", "Show=5", "Short=tool", "Icon=%system%\\shell32.dll", "IconNo=-3"}, true,
                 links::Loaded(install_ + "\\tool.exe", "", install_, SystemFolder() + "\\shell32.dll", -3, SW_SHOWNORMAL,
                      0x0654)},
        /* 5 */ {{"Path=notes.shelltestdoc", "Arg=notes.shelltestdoc", "Work=docs\\en"}, true,
                 links::Loaded(viewer, "notes.shelltestdoc", install_ + "\\docs\\en", "", 0, SW_SHOWNORMAL, 0)},
        /* 6 */ {{"Path=!C:\\Tools\\x.exe", "IconNo=4"}, true,  // an index without an icon file is not used
                 links::Loaded("C:\\Tools\\x.exe", "", install_, "", 0, SW_SHOWNORMAL, 0)},
    };
    std::vector<std::string> script;
    for (size_t i = 0; i < cases.size(); ++i) {
        script.push_back("[L" + std::to_string(i) + "]");
        script.insert(script.end(), cases[i].entry.begin(), cases[i].entry.end());
    }
    WriteScript(script);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const std::string section = "L" + std::to_string(i), file = In(section + ".lnk");
        EXPECT_TRUE(WriteShortcut(section.c_str(), file.c_str(), script_.c_str(), cases[i].hotkeyAllowed));
        links::Link got = links::Read(file);
        ASSERT_TRUE(got.loaded) << "no shortcut saved at " << file;
        EXPECT_EQ(links::Describe(cases[i].expected), links::Describe(got));
    }
}

// A value that would be cut names another file or folder: nothing is made, and the
// caller hears that no shortcut object was made.
TEST_F(ShortcutRoundTrip, OverlongValuesMakeNothing) {
    const std::string longName(250, 'w');
    WriteScript({"[Work]", "Path=!C:\\x.exe", "Work=" + longName, "[Target]", "Path=!C:\\" + std::string(300, 't'),
                 "[Icon]", "Path=!C:\\x.exe", "Icon=!C:\\" + std::string(280, 'i'), "[Args]", "Path=!C:\\x.exe",
                 "Arg=" + std::string(1100, 'a'), "[Fine]", "Path=!C:\\x.exe", "Arg=" + std::string(900, 'a')});
    for (const char* section : {"Work", "Target", "Icon", "Args"}) {
        const std::string file = In(std::string(section) + ".lnk");
        EXPECT_FALSE(WriteShortcut(section, file.c_str(), script_.c_str(), false)) << section;
        EXPECT_FALSE(stage::Exists(file)) << section << ": a shortcut was saved with a cut value";
    }
    const std::string fine = In("Fine.lnk");
    EXPECT_TRUE(WriteShortcut("Fine", fine.c_str(), script_.c_str(), false));
    EXPECT_EQ(900u, links::Read(fine).arguments.size()) << "arguments longer than a path are kept whole";
    const std::string tooLong = In(std::string(260, 'n') + ".lnk");
    EXPECT_FALSE(WriteShortcut("Fine", tooLong.c_str(), script_.c_str(), false)) << "a link path of 260 bytes or more";
}
