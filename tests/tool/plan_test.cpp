// The plans against what this prefix holds: each outcome of a copy entry, registry
// values new, replaced and unchanged, the ways an association meets its extension,
// what an uninstall removes and leaves; and that making a plan changes nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "fixtures.h"
#include "listing.h"
#include "plan_lines.h"
#include "shell_links.h"
#include "run/run_state.h"
#include "shell/shortcuts.h"
#include "stage.h"
#include "tool/plan.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string PlanOf(const std::string& folder, bool uninstall = false) {
    std::string out, errors;
    bool ok = uninstall ? PlanUninstall(folder, &out, &errors) : PlanInstall(folder, &out, &errors);
    EXPECT_TRUE(ok) << errors;
    return out;
}

std::string ShellFolder(const char* name) {
    std::string value;
    stage::GetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        name, &value);
    return value;
}

std::string Programs() { return ShellFolder("Programs"); }

// The moves and deletions the system holds for the next restart, as stored.
std::string PendingRenamesText() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return "(no Session Manager key)";
    std::string data(1 << 16, '\0');
    DWORD size = (DWORD)data.size(), type = 0;
    LONG rc = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, (BYTE*)&data[0], &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return "(none pending)";
    data.resize(size);
    return data;
}

TEST(Plan, EachCopyEntryGetsItsOutcome) {
    const std::string target = "C:\\PlanCopyApp";
    stage::DeleteTree(target);
    stage::Folder folder("plan-copy", false);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "h.txt", "sub\\i.txt"})
        folder.Put(name, std::string("new ") + name);
    for (const char* name : {"b.txt", "c.txt", "d.txt", "e.txt"}) stage::WriteFile(target + "\\" + name, "old");
    stage::Touch(target + "\\b.txt", -86400);  // older than the shipped file
    for (const char* name : {"c.txt", "d.txt", "e.txt"}) stage::Touch(target + "\\" + name, 86400);
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Copy", "[Root]", "Name=PlanCopyApp", "[MakeDirectory]", "1=logs\\old",
                             "2=..\\..\\Windows\\evil", "[CopyFile]", "0=a.txt", "1=b.txt", "2=c.txt", "3=&d.txt",
                             "4=?e.txt", "5=f.txt", "6=*g.txt", "7=!h.txt", "8=sub\\i.txt", "10=after-gap.txt",
                             "Self=a.txt", "[Check]", "Copy=2"}));
    std::vector<plan::Line> lines = plan::Lines(PlanOf(folder.dir()));
    const struct {
        const char* object;
        const char* outcome;
        const char* detail;  // a part of the detail
    } expected[] = {
        {"C:\\PlanCopyApp\\logs", "make", ""},
        {"C:\\PlanCopyApp\\logs\\old", "make", ""},
        {"..\\..\\Windows\\evil", "refused", "leaves the install folder"},
        {"C:\\PlanCopyApp\\a.txt", "new+replace", "<- C:\\stage\\plan-copy\\a.txt"},  // the entry, then "Self" over it
        {"C:\\PlanCopyApp\\b.txt", "replace", "the file there is older"},
        {"C:\\PlanCopyApp\\c.txt", "ask", "the user is asked"},
        {"C:\\PlanCopyApp\\d.txt", "keep", "kept, \"&\""},
        {"C:\\PlanCopyApp\\e.txt", "overwrite", "overwritten, \"?\""},
        {"C:\\PlanCopyApp\\f.txt", "missing", "listed as not copied"},
        {"C:\\PlanCopyApp\\g.txt", "missing-quietly", "not reported"},
        {"C:\\PlanCopyApp\\h.txt", "new", "not recorded"},
        // No folder sub is made: the copy fails (the plan once claimed it would be new).
        {"C:\\PlanCopyApp\\sub\\i.txt", "fails", "listed as not copied"},
        {"C:\\PlanCopyApp\\after-gap.txt", "", ""},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(plan::OutcomeOf(lines, e.object), e.outcome) << e.object;
        if (e.detail[0]) {
            std::string outcome = e.outcome;
            outcome = outcome.substr(0, outcome.find('+'));
            std::string detail = plan::DetailOf(lines, outcome, e.object);
            EXPECT_NE(detail.find(e.detail), std::string::npos) << e.object << ": expected \"" << e.detail << "\" in \""
                                                                << detail << "\"";
        }
    }
    // The install folder exists already, so it is not made again.
    EXPECT_EQ(plan::OutcomeOf(lines, target), "exists");
    stage::DeleteTree(target);
}

TEST(Plan, RegistryValuesNewReplacedAndUnchanged) {
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\PlanReg");
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\PlanReg");
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\PlanReg\\Old", "Mode", "slow"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\PlanReg\\Old", "Same", "kept"));
    stage::Folder folder("plan-reg", false);
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Reg", "[Root]", "Name=PlanRegApp", "[Reg]",
                             "Make0=HKEY_CURRENT_USER\\Software\\PlanReg\\Old\\\\Mode\\!fast",
                             "Make1=HKEY_CURRENT_USER\\Software\\PlanReg\\Old\\\\Same\\!kept",
                             "Make2=HKEY_CURRENT_USER\\Software\\PlanReg\\New\\Deeper\\\\\\%root%app.exe",
                             "Make3=HKCU\\Software\\PlanReg\\\\Where\\!machine",
                             "Make4=HKEY_CURRENT_USER\\Software\\PlanReg\\Old\\\\Mode\\!faster"}));
    std::vector<plan::Line> lines = plan::Lines(PlanOf(folder.dir()));
    const std::string cu = "HKEY_CURRENT_USER\\Software\\PlanReg";
    EXPECT_EQ(plan::DetailOf(lines, "replace", cu + "\\Old"), "\"Mode\" = \"fast\" (was \"slow\")");
    EXPECT_EQ(plan::DetailOf(lines, "same", cu + "\\Old"), "\"Same\" = \"kept\"");
    EXPECT_EQ(plan::OutcomeOf(lines, cu + "\\New"), "new-key") << "a key made once";
    EXPECT_EQ(plan::OutcomeOf(lines, cu + "\\New\\Deeper"), "new-key+set");
    EXPECT_EQ(plan::DetailOf(lines, "set", cu + "\\New\\Deeper"), "\"\" = \"C:\\PlanRegApp\\app.exe\"");
    EXPECT_EQ(plan::OutcomeOf(lines, cu), "") << "an existing key is not made";
    EXPECT_EQ(plan::OutcomeOf(lines, "HKEY_LOCAL_MACHINE\\Software\\PlanReg"), "new-key+set")
        << "HKCU is no root name: the entry goes to the machine";
    // The fifth entry replaces what the first one will have set.
    int replaced = 0;
    for (const plan::Line& l : lines)
        replaced += l.outcome == "replace" && l.detail == "\"Mode\" = \"faster\" (was \"fast\")";
    EXPECT_EQ(replaced, 1) << "a value the plan sets earlier is what a later entry replaces";
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\PlanReg");
}

// Another program's type (with a verb) stays as it is: an extension of it gets only
// Verb2, never over a verb it has; a new extension may name it, but nothing is written
// into it; Force never takes an extension from a system type.
TEST(Plan, AssociationsNewTakenOverForeignAndRefused) {
    const char* const keys[] = {".plnew", ".pltake", ".plforeign", ".plforeign2", ".plsysx", ".plkind",
                                "PlanNew.File", "PlanTake.File", "PlanOther.File"};
    for (const char* key : keys) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, "PlanOther.File", "", "Another program's file"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, "PlanOther.File\\shell\\open\\command", "", "other.exe \"%1\""));
    for (const char* ext : {".pltake", ".plforeign", ".plforeign2"})
        ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, ext, "", "PlanOther.File"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, ".plsysx", "", "txtfile"));
    stage::Folder folder("plan-ext", false);
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Ext", "[Root]", "Name=PlanExtApp", "[Check]", "Ext=2",
                             "[Ext0]", "Ext=.plnew", "Kind=PlanNew.File", "Icon=%root%app.exe", "IconNo=2", "Verb=open",
                             "Command=%root%app.exe \"%1\"",
                             "[Ext1]", "Ext=.pltake", "Kind=PlanTake.File", "Verb=open", "Command=app.exe", "Force=1",
                             "[Ext2]", "Ext=.plforeign", "Kind=PlanTake.File", "Verb=open", "Verb2=Open with Plan",
                             "Command=\"%root%app.exe\" /view",
                             "[Ext3]", "Ext=.plsys", "Kind=txtfile",
                             "[Ext4]", "Ext=.plforeign2", "Kind=PlanTake.File", "Verb2=open", "Command=app.exe",
                             "[Ext5]", "Ext=.plsysx", "Kind=PlanTake.File", "Force=1", "Verb2=Open with Plan",
                             "Command=app.exe",
                             "[Ext6]", "Ext=.plkind", "Kind=PlanOther.File", "Icon=%root%app.exe", "Verb=edit",
                             "Command=app.exe"}));
    const std::string text = PlanOf(folder.dir());
    std::vector<plan::Line> lines = plan::Lines(text);
    const std::string cr = "HKEY_CLASSES_ROOT\\";
    EXPECT_EQ(plan::OutcomeOf(lines, cr + ".plnew"), "new-key+set");
    EXPECT_EQ(plan::DetailOf(lines, "set", cr + "PlanNew.File\\DefaultIcon"), "\"\" = \"C:\\PlanExtApp\\app.exe,2\"");
    EXPECT_EQ(plan::DetailOf(lines, "set", cr + "PlanNew.File\\shell\\open\\command"),
              "\"\" = \"C:\\PlanExtApp\\app.exe \"%1\"\"");
    EXPECT_EQ(plan::OutcomeOf(lines, cr + ".pltake"), "set+replace") << "Old Name kept, then the type replaced";
    EXPECT_EQ(plan::DetailOf(lines, "set", cr + ".pltake"), "\"Old Name\" = \"PlanOther.File\"");
    EXPECT_EQ(plan::DetailOf(lines, "replace", cr + ".pltake"), "\"\" = \"PlanTake.File\" (was \"PlanOther.File\")");
    EXPECT_EQ(plan::OutcomeOf(lines, cr + ".plforeign"), "") << "a foreign extension is not touched";
    EXPECT_EQ(plan::DetailOf(lines, "set", cr + "PlanOther.File\\shell\\Open with Plan\\command"),
              "\"\" = \"\"C:\\PlanExtApp\\app.exe\" /view\"");
    EXPECT_EQ(plan::OutcomeOf(lines, ".plsys -> txtfile"), "refused");
    EXPECT_EQ(plan::OutcomeOf(lines, cr + "PlanOther.File\\shell\\open"), "keep") << "its own verb\n" << text;
    EXPECT_EQ(plan::OutcomeOf(lines, cr + "PlanOther.File\\shell\\open\\command"), "");
    EXPECT_EQ(plan::OutcomeOf(lines, cr + ".plsysx"), "") << "Force refused over a system type";
    EXPECT_EQ(plan::OutcomeOf(lines, cr + "txtfile\\shell\\Open with Plan"), "refused");
    EXPECT_NE(text.find(".plsysx belongs to txtfile, a system type (\"Force\" is refused): it stays there"),
              std::string::npos) << text;
    EXPECT_EQ(plan::OutcomeOf(lines, cr + ".plkind"), "new-key+set") << "a new extension may name another type";
    EXPECT_EQ(plan::OutcomeOf(lines, cr + "PlanOther.File"), "keep") << "but nothing is written into it";
    EXPECT_EQ(plan::OutcomeOf(lines, cr + "PlanOther.File\\DefaultIcon"), "");
    EXPECT_EQ(plan::OutcomeOf(lines, cr + "PlanOther.File\\shell\\edit\\command"), "");
    for (const char* key : keys) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
}

// An installed copy made by hand: files, a read-only one, a foreign file, a pattern
// match, settings keys, erase entries and Start-menu links.
TEST(Plan, UninstallRemovesWhatTheRecordListsAndTellsWhatStays) {
    const std::string target = "C:\\PlanGone";
    const std::string menu = Programs() + "\\Plan Gone";
    stage::DeleteTree(target);
    stage::DeleteTree(menu);
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\PlanCo");
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanGone").c_str());
    for (const char* f : {"app.exe", "docs\\manual.txt", "keep\\ro.txt", "keep\\mine.txt", "x.log", "Setup.exe"})
        ASSERT_TRUE(stage::WriteFile(target + "\\" + f, "bytes"));
    SetFileAttributesA((target + "\\keep\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    // The product's link as its entry made it, and another program's where an entry names it.
    stage::MakeFolders(menu);
    ASSERT_TRUE(links::Make(menu + "\\Plan.lnk", target + "\\app.exe", ""));
    const std::string theirs = Programs() + "\\Plan Theirs.lnk";
    ASSERT_TRUE(links::Make(theirs, "C:\\Other\\other.exe", ""));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\PlanCo\\PlanGone", "v", "1"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\PlanErase\\Deep", "Mode", "x"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\PlanErase\\Other", "y", "1"));
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanGone").c_str(),
                                    "UninstallString", (target + "\\Setup.exe").c_str()));
    ASSERT_TRUE(stage::WriteFile(target + "\\Setup.ini",
        Crlf({"[Setup]", "Name=Plan Gone", "[Root]", "Name=PlanGone", "Named=" + target, "[Check]", "Menu=2", "[Menu]", "Name=Plan Gone",
              "[Menu0]", "Name=Plan", "Path=app.exe", "[Menu1]", "Name=\\Plan Theirs", "Path=app.exe", "[Registry]", "Company=PlanCo", "Name=PlanGone", "[Reg]",
              "Erase0=HKEY_CURRENT_USER\\Software\\PlanErase\\Deep", "Erase1=HKEY_CURRENT_USER\\Software",
              "[Del]", "0=*.log", "ShowError=1", "[MakedDirectory]", "0=" + target, "1=" + target + "\\docs",
              "2=" + target + "\\keep", "Count=3", "[CopiedFile]", "0=" + target + "\\app.exe",
              "1=" + target + "\\docs\\manual.txt", "2=" + target + "\\keep\\ro.txt", "3=" + target + "\\gone.txt",
              "Count=4"})));
    std::vector<plan::Line> lines = plan::Lines(PlanOf(target, true));
    const struct {
        std::string object, outcome;
    } expected[] = {
        {menu + "\\Plan.lnk", "remove"},
        {theirs, "keep"},  // it does not hold what the entry wrote
        {menu, "remove-folder"},
        {"HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) + "PlanGone", "remove-key"},
        {"HKEY_CURRENT_USER\\SOFTWARE\\PlanCo\\PlanGone", "remove-key"},
        {"HKEY_CURRENT_USER\\SOFTWARE\\PlanCo", "remove-key"},  // left empty
        {"HKEY_CURRENT_USER\\Software\\PlanErase\\Deep", "remove-key"},
        {"HKEY_CURRENT_USER\\Software\\PlanErase", ""},  // Other keeps it
        {"HKEY_CURRENT_USER\\Software", "refused"},
        {target + "\\x.log", "remove"},
        {target + "\\app.exe", "remove"},
        {target + "\\docs\\manual.txt", "remove"},
        {target + "\\keep\\ro.txt", "stays+left"},
        {target + "\\gone.txt", ""},
        {target + "\\docs", "remove-folder"},
        {target + "\\keep", "stays+left"},
        {target + "\\Setup.ini", "remove"},
        {target + "\\Setup.exe", "remove"},
        {target, "left+stays"},
    };
    for (const auto& e : expected) EXPECT_EQ(plan::OutcomeOf(lines, e.object), e.outcome) << e.object;
    EXPECT_EQ(plan::OutcomeOf(lines, "HKEY_CURRENT_USER\\Software\\PlanErase\\Other"), "") << "another key stays";
    SetFileAttributesA((target + "\\keep\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(stage::Exists(menu + "\\Plan.lnk")) << "a plan removes nothing";
    stage::DeleteTree(target);
    stage::DeleteTree(menu);
    DeleteFileA(theirs.c_str());
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\PlanCo");
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\PlanErase");
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanGone").c_str());
}

// Plans of both kinds over a script that names every kind of thing leave the folders,
// the keys and the script itself as they were.
TEST(Plan, MakingAPlanChangesNothing) {
    const std::string target = "C:\\PlanQuiet";
    stage::DeleteTree(target);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanQuiet").c_str());
    stage::Folder folder("plan-quiet", false);
    folder.Put("a.txt", "a");
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Quiet", "[Root]", "Name=PlanQuiet", "[Check]", "Menu=2", "Desktop=2",
                             "Ext=2", "Send=2", "Startup=2", "[MakeDirectory]", "1=docs", "[CopyFile]", "0=a.txt",
                             "[Menu]", "Name=Plan Quiet", "[Menu0]", "Name=Sub\\A", "Path=a.txt", "[Menu1]", "Name=$Once",
                             "Path=a.txt", "[LastGo]", "0=$Once", "DesktopAndGo=1", "[Desktop]",
                             "Name=Plan Quiet", "Path=a.txt", "[Startup]", "Name=Plan Quiet", "Path=a.txt", "[Send0]",
                             "Name=Folder\\Plan Quiet", "Path=a.txt", "[Ext0]", "Ext=.plquiet", "Kind=PlanQuiet.File",
                             "Verb=open", "Command=a.txt", "[Reg]", "Make0=HKEY_CURRENT_USER\\Software\\PlanQuiet\\\\v\\!1",
                             "Erase0=HKEY_CURRENT_USER\\Software\\PlanQuiet", "[Registry]", "Company=PlanQuiet", "[Go2]",
                             "Make0=cmd.exe /c mkdir " + target + "\\made-by-make", "Make1=%root%\\a.txt;Init",
                             "Erase0=cmd.exe /c mkdir " + target + "\\made-by-erase",
                             "Erase1=%root%\\a.txt;#CheckExist", "[Del]", "0=*.txt", "Reboot=1"}));
    // An installed copy too, so that the uninstall plan has a record to read.
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanQuiet").c_str(),
                                    "UninstallString", (target + "\\Setup.exe").c_str()));
    ASSERT_TRUE(stage::WriteFile(target + "\\a.txt", "a"));
    ASSERT_TRUE(stage::WriteFile(target + "\\docs\\user.txt", "the user's"));  // leftovers, at the restart
    std::string record = stage::ReadFile(folder.Script());
    const std::string root = "[Root]\r\nName=PlanQuiet\r\n";
    ASSERT_NE(record.find(root), std::string::npos);
    record.insert(record.find(root) + root.size(), "Named=" + target + "\r\n");
    ASSERT_TRUE(stage::WriteFile(target + "\\Setup.ini", record + "[CopiedFile]\r\n0=" + target + "\\a.txt\r\nCount=1\r\n"
                                                          "[MakedDirectory]\r\n0=" + target + "\r\n1=" + target +
                                                          "\\docs\r\n2=" + target + "\\empty\r\nCount=3\r\n"));
    ASSERT_TRUE(CreateDirectoryA((target + "\\empty").c_str(), nullptr));
    // What that install made, for the uninstall plan's steps to take away: its association
    // (a record kept before facts: the box state and the content decide).
    for (const char* key : {".plquiet", "PlanQuiet.File"}) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, ".plquiet", "", "PlanQuiet.File"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, "PlanQuiet.File", "", "PlanQuiet.File"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, "PlanQuiet.File\\shell\\open\\command", "", (target + "\\a.txt").c_str()));
    // The installed copy's own shortcuts, as its entries made them: the uninstall plan
    // removes them, the install plan replaces them, and both leave them.
    const std::string desktopLink = ShellFolder("Desktop") + "\\Plan Quiet.lnk";
    const std::string menuFolder = Programs() + "\\Plan Quiet";
    const std::string installed = target + "\\Setup.ini";
    ::Run().earlierRecord[0] = 0;  // a first install made them
    SetStartMenuShortcuts(nullptr, installed.c_str(), true);
    SetFolderShortcut(nullptr, installed.c_str(), true, "Desktop");
    ASSERT_TRUE(stage::Exists(desktopLink));
    ASSERT_TRUE(stage::Exists(menuFolder + "\\Sub\\A.lnk"));
    ASSERT_TRUE(stage::Exists(menuFolder + "\\$Once.lnk"));
    auto snapshot = [&] {
        listing::Entries out;
        out["script"] = stage::ReadFile(folder.Script()) + stage::ReadFile(target + "\\Setup.ini");
        listing::AddFiles(folder.dir(), {}, &out);
        listing::AddFiles(target, {}, &out);
        listing::AddFiles(Programs(), {}, &out);
        for (const char* f : {"Desktop", "Startup", "SendTo"}) {
            std::string path;
            stage::GetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", f, &path);
            listing::AddFiles(path, {}, &out);
        }
        listing::AddKeys(HKEY_CURRENT_USER, "Software", {}, &out);
        listing::AddKeys(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", {}, &out);
        listing::AddKeys(HKEY_CLASSES_ROOT, ".plquiet", {}, &out);
        listing::AddKeys(HKEY_CLASSES_ROOT, "PlanQuiet.File", {}, &out);
        out["pending renames"] = PendingRenamesText();  // nothing scheduled for the restart
        return out;
    };
    const listing::Entries before = snapshot();
    std::string install = PlanOf(folder.dir()), uninstall = PlanOf(folder.dir(), true);
    EXPECT_NE(install.find("new-key"), std::string::npos) << install;
    EXPECT_NE(uninstall.find(target + "\\a.txt"), std::string::npos) << "the setup script leads to the installed copy\n"
                                                                     << uninstall;
    const std::vector<plan::Line> installLines = plan::Lines(install), uninstallLines = plan::Lines(uninstall);
    EXPECT_EQ(plan::OutcomeOf(installLines, desktopLink), "replace+open") << install;
    EXPECT_EQ(plan::OutcomeOf(uninstallLines, desktopLink), "remove") << uninstall;
    EXPECT_EQ(plan::OutcomeOf(uninstallLines, menuFolder + "\\Sub\\A.lnk"), "remove") << uninstall;
    EXPECT_EQ(plan::DetailOf(installLines, "open", menuFolder + "\\$Once.lnk"), "(then deleted)") << install;
    EXPECT_EQ(plan::DetailOf(installLines, "open", desktopLink), "") << "opened, and kept";
    // The erase entry checks a.txt before the files go; the empty folder goes.
    EXPECT_EQ(plan::OutcomeOf(plan::Lines(uninstall), target + "\\a.txt"), "check+remove") << uninstall;
    EXPECT_EQ(plan::OutcomeOf(plan::Lines(uninstall), target + "\\empty"), "remove-folder") << uninstall;
    EXPECT_EQ(plan::OutcomeOf(plan::Lines(uninstall), target + "\\docs"), "stays+left") << uninstall;
    EXPECT_NE(install.find("start"), std::string::npos) << install;
    Sleep(2000);  // a program really started would have made its folder by now
    EXPECT_EQ(listing::Difference(before, snapshot()), "") << "a plan changed the machine or the script";
    const struct {
        std::string key, outcome;
    } removed[] = {
        {"HKEY_CLASSES_ROOT\\.plquiet", "remove-value+remove-key"},
        {"HKEY_CLASSES_ROOT\\PlanQuiet.File", "remove-key"},
        {"HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) + "PlanQuiet", "remove-key"},
    };
    for (const auto& r : removed) EXPECT_EQ(plan::OutcomeOf(uninstallLines, r.key), r.outcome) << r.key << "\n" << uninstall;
    DeleteFileA(desktopLink.c_str());
    stage::DeleteTree(menuFolder);
    stage::DeleteTree(target);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanQuiet").c_str());
    for (const char* key : {".plquiet", "PlanQuiet.File"}) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
}

// A version-up: the earlier install's folder, its box states (the Start-menu box it had
// off stays off, the desktop box it had on comes on) and its Start-menu location, where
// the final launch then opens the [LastGo] shortcuts.
TEST(Plan, VersionUpOffersTheEarlierChoicesAndTheFinalLaunchFollows) {
    const std::string earlier = "C:\\PlanUpOld";
    const std::string custom = Programs() + "\\Custom Place";
    std::string desktop;
    stage::GetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        "Desktop", &desktop);
    stage::DeleteTree(earlier);
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanUp").c_str(),
                                    "UninstallString", (earlier + "\\Setup.exe").c_str()));
    ASSERT_TRUE(stage::WriteFile(earlier + "\\Setup.ini", Crlf({"[Check]", "Menu=1", "Desktop=2", "[Menu]",
                                                                 "Named=" + custom, "[CopiedFile]", "Count=1"})));
    stage::Folder folder("plan-up", false);
    folder.Put("a.txt", "a");
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Up", "[Root]", "Name=%programs%\\PlanUp", "[Check]", "Menu=2",
                             "Desktop=1", "[Menu]", "Name=Plan Up", "[Menu0]", "Name=$Tour", "Path=a.txt", "[Menu1]",
                             "Name=Guide", "Path=a.txt", "[Desktop]", "Name=Plan Up", "Path=a.txt", "[LastGo]",
                             "0=$Tour", "1=Guide", "DesktopAndGo=1"}));
    const std::string text = PlanOf(folder.dir());
    std::vector<plan::Line> lines = plan::Lines(text);
    EXPECT_NE(text.find("    " + earlier + " (exists)\n"), std::string::npos) << "the earlier folder is offered\n" << text;
    EXPECT_NE(text.find("version-up of the install registered in " + earlier), std::string::npos) << text;
    EXPECT_NE(text.find("Start menu off, desktop shortcut on"), std::string::npos) << "the earlier states\n" << text;
    EXPECT_EQ(plan::DetailOf(lines, "open", custom + "\\Guide.lnk"), "(not there: nothing opens)")
        << "the box is off: not made\n" << text;
    EXPECT_EQ(plan::DetailOf(lines, "open", custom + "\\$Tour.lnk"), "(not there: nothing opens)")
        << "nothing to delete either";
    EXPECT_EQ(plan::OutcomeOf(lines, desktop + "\\Plan Up.lnk"), "new+open");
    EXPECT_EQ(plan::OutcomeOf(lines, earlier + "\\Setup.ini"), "replace") << "the earlier record is merged";
    stage::DeleteTree(earlier);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PlanUp").c_str());
}

// The shortcut steps themselves decide in a plan: another program's link where the
// script names one stays, and a box switched off removes only what the earlier install's
// record says it made and that still holds what it wrote.
TEST(Plan, ShortcutsKeepWhatIsNotTheProducts) {
    const std::string target = "C:\\PlanOwn";
    const std::string desktop = ShellFolder("Desktop") + "\\Plan Own.lnk";
    const std::string startup = ShellFolder("Startup") + "\\Plan Own Agent.lnk";
    const std::string sendTo = ShellFolder("SendTo") + "\\Plan Own Send.lnk";
    const std::string menu = Programs() + "\\Plan Own";
    stage::DeleteTree(target);
    stage::DeleteTree(menu);
    const struct {
        std::string link, target;
    } links[] = {
        {desktop, "C:\\Other\\other.exe"},  // another program's, where the box is on
        {startup, target + "\\tool.exe"},    // the earlier install's, listed in its record
        {sendTo, target + "\\tool.exe"},     // holds the entry, but the record does not list it
        {menu + "\\Guide.lnk", target + "\\tool.exe"},
    };
    stage::MakeFolders(menu);
    for (const auto& l : links) ASSERT_TRUE(links::Make(l.link, l.target, "")) << l.link;
    const std::string path = "Path=!" + target + "\\tool.exe";
    const std::string common = Crlf({"[Startup]", "Name=Plan Own Agent", path, "[Send0]", "Name=Plan Own Send", path,
                                     "[Menu]", "Name=Plan Own", "[Menu0]", "Name=Guide", path});
    ASSERT_TRUE(stage::WriteFile(target + "\\Setup.ini",
        Crlf({"[Root]", "Name=PlanOwn", "Named=" + target, "[Check]", "Startup=2", "Send=2", "Menu=2", "[CopiedFile]",
              "Count=1", "[Created]", "Recorded=1", "StartupLink0=" + startup, "MenuLink0=" + menu + "\\Guide.lnk",
              "MenuFolder0=" + menu}) +
        common));
    stage::Folder folder("plan-own", false);
    folder.Put("a.txt", "a");
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Own", "[Root]", "Name=PlanOwn", "[Check]", "Desktop=2", "Startup=1",
                             "Send=1", "Menu=1", "[Desktop]", "Name=Plan Own", path}) + common);
    std::vector<std::string> bytes;
    for (const auto& l : links) bytes.push_back(stage::ReadFile(l.link));

    const std::string text = PlanOf(folder.dir());
    const std::vector<plan::Line> lines = plan::Lines(text);
    const struct {
        std::string object, outcome;
    } expected[] = {
        {desktop, "keep"},
        {startup, "remove"},
        {sendTo, "keep"},
        {menu + "\\Guide.lnk", "remove"},  // with the earlier install's shortcuts, first
        {menu, "remove-folder"},
    };
    for (const auto& e : expected) EXPECT_EQ(plan::OutcomeOf(lines, e.object), e.outcome) << e.object << "\n" << text;
    EXPECT_EQ(plan::DetailOf(lines, "keep", desktop),
              "(another program's shortcut, or one changed since: it stays, and the warning lists it)");
    EXPECT_NE(text.find("Start-menu shortcuts of the install already in this folder (removed first)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("the Send To box is off: what the earlier install in this folder made is removed"),
              std::string::npos) << text;
    for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], stage::ReadFile(links[i].link)) << links[i].link;
    for (const auto& l : links) DeleteFileA(l.link.c_str());
    stage::DeleteTree(menu);
    stage::DeleteTree(target);
}

// Launch entries are told, never run: a library looked for, a function to call, a name
// that is refused, programs with their parameters and show words, each found where the
// step looks for it: a bare name in the system and Windows folders only (never beside
// Setup.exe, where one is planted), a relative one below the install folder.
TEST(Plan, LaunchEntriesAreToldNotRun) {
    stage::Folder folder("plan-launch", false);
    folder.Put("tool.exe", "not a program");
    folder.Put("planted.exe", "a program beside Setup.exe");
    folder.Put("readme.txt", "a document beside Setup.exe");
    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    GetWindowsDirectoryA(windows, sizeof windows);
    folder.WriteScript(Crlf({"[Setup]", "Name=Plan Launch", "[Root]", "Name=PlanLaunchApp", "[CopyFile]", "0=tool.exe",
                             "[Go2]", "Make0=comctl32.dll;#CheckExist;needed", "Make1=nothere.dll;#CheckExist;needed",
                             "Make2=%root%\\plugin.dll;Init", "Make3=sub\\x.dll;Init",
                             "Make4=\"%root%\\tool.exe\" /setup;;max", "Make5=%root%\\gone.exe;;hide", "Make6=readme.txt",
                             "Make7=;;", "Make8=notepad.exe readme.txt", "Make9=bin\\tool.exe /x", "Make10=planted.exe;;hide",
                             "Make11=\\evil.exe", "Make12=C:evil.exe;;hide", "Make13=file:evil.exe",
                             "Erase0=%root%\\tool.exe /remove;;min", "[Check]", "Menu=2", "[Menu]",
                             "Name=Plan Launch", "[Menu0]", "Name=$Tour", "Path=tool.exe", "[LastGo]", "0=$Tour"}));
    const std::string text = PlanOf(folder.dir());
    std::vector<plan::Line> lines = plan::Lines(text);
    const std::string sys = system;
    EXPECT_EQ(plan::DetailOf(lines, "check", sys + "\\comctl32.dll"), "(present: nothing is shown)") << text;
    EXPECT_EQ(plan::DetailOf(lines, "check", sys + "\\nothere.dll"),
              "(missing: listed in \"Here is not library.\" with its note)");
    EXPECT_EQ(plan::DetailOf(lines, "call", "C:\\PlanLaunchApp\\plugin.dll"),
              "Init()  (missing now: listed in \"Could not load library.\")");
    EXPECT_EQ(plan::OutcomeOf(lines, "sub\\x.dll"), "refused");
    EXPECT_NE(text.find("    in C:\\PlanLaunchApp (the install folder): programs start there"), std::string::npos)
        << "the working folder\n" << text;
    // Programs are named by the file the step starts, without quotes.
    EXPECT_EQ(plan::OutcomeOf(lines, "C:\\PlanLaunchApp\\tool.exe"), "new+start")
        << "the copy, and the Make entry's program (the Erase entry is no install's)";
    EXPECT_EQ(plan::DetailOf(lines, "start", "C:\\PlanLaunchApp\\tool.exe"), "with /setup, maximised")
        << "the copy step puts tool.exe in place before";
    EXPECT_EQ(plan::DetailOf(lines, "start", "C:\\PlanLaunchApp\\gone.exe"), "hidden  (not there now)");
    // A bare document or program name is found in the system folders or not at all: the
    // copies beside Setup.exe never count.
    EXPECT_EQ(plan::OutcomeOf(lines, "readme.txt"), "fails") << text;
    const std::string notFound = "(not started: not found there, in " + sys + " or " + windows;
    EXPECT_EQ(plan::DetailOf(lines, "fails", "readme.txt"), notFound + "; \"Could not execute.\" is shown)");
    EXPECT_EQ(plan::DetailOf(lines, "fails", "planted.exe"), notFound + ")");
    EXPECT_EQ(plan::DetailOf(lines, "start", sys + "\\notepad.exe"), "with readme.txt, shown");
    EXPECT_EQ(plan::DetailOf(lines, "start", "C:\\PlanLaunchApp\\bin\\tool.exe"),
              "with /x, shown  (not there now: \"Could not execute.\" if it stays so)");
    for (const char* refused : {"\\evil.exe", "C:evil.exe", "file:evil.exe"})
        EXPECT_EQ(plan::OutcomeOf(lines, refused), "refused") << refused;
    EXPECT_EQ(plan::OutcomeOf(lines, "(no program)"), "fails");
    EXPECT_EQ(text.find(folder.dir() + "\\planted.exe"), std::string::npos) << text;
    // The one-time shortcut is opened, deleted, and its folder with it.
    const std::string menu = Programs() + "\\Plan Launch";
    EXPECT_EQ(plan::DetailOf(lines, "open", menu + "\\$Tour.lnk"), "(then deleted)") << text;
    EXPECT_EQ(plan::OutcomeOf(lines, menu), "make+remove-folder");
}

TEST(Plan, NoScriptAndNoInstalledCopyAreTold) {
    std::string out, errors;
    stage::Folder empty("plan-empty", false);
    DeleteFileA(empty.Script().c_str());
    EXPECT_FALSE(PlanInstall(empty.dir(), &out, &errors));
    EXPECT_EQ(errors, empty.Script() + ": no such file\n");
    stage::Folder fresh("plan-fresh", false);
    fresh.WriteScript("[Setup]\r\nName=Never\r\n[Root]\r\nName=PlanNeverInstalled\r\n");
    errors.clear();
    EXPECT_FALSE(PlanUninstall(fresh.dir(), &out, &errors));
    EXPECT_EQ(errors, fresh.Script() + ": a setup script, and no install of its product is registered\n");
}

}  // namespace
