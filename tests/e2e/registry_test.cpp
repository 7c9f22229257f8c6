// The registry seen from outside: an install through the dialog registers the product
// with every value of the list of installed programs, applies its [Reg] entries and
// associates two extensions (one new, one taken over from another type); a later
// install finds the earlier folder; the registered command uninstalls, which removes
// the registration, the erase entries, the settings keys and the associations and
// leaves every other key of the user's and the machine's software, the system's keys
// and the file types as it was. Another program's key in the list of installed
// programs is neither offered, written nor removed, and an install into a folder named
// otherwise than the product keeps and removes the key it registered.
#include <gtest/gtest.h>
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "plan_check.h"
#include "launch_logs.h"
#include "listing.h"
#include "../registry/registry_fixtures.h"
#include "res/resource.h"

using namespace e2e;

namespace {

constexpr DWORD kDialogWait = 25000;
constexpr DWORD kRunWait = 60000;
const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Pick(const wchar_t* english, const wchar_t* japanese) { return stage::Japanese() ? japanese : english; }
std::wstring W(const std::string& text) { return ui::Widen(text.c_str()); }

// ---- registry dumps ---------------------------------------------------------------

using Dump = listing::Entries;

Dump DumpOf(const std::vector<std::pair<HKEY, std::string>>& keys) {
    listing::KeyOptions options;
    // Wine keeps its own temporary keys there while programs run, whatever they do.
    options.skip = [](const std::string& key) {
        return _stricmp(key.c_str(), "HKEY_CURRENT_USER\\Software\\Wine") == 0;
    };
    Dump out;
    for (const auto& k : keys) listing::AddKeys(k.first, k.second, options, &out);
    return out;
}

using listing::Difference;

// ---- helpers ----------------------------------------------------------------------

HWND OpenDialog(ui::Program& program, const stage::Folder& folder) {
    if (!program.Start(folder.Path("Setup.exe"), "", folder.dir())) return nullptr;
    return ui::WaitForMainDialog(program.pid(), kDialogWait);
}

void TypeFolder(HWND dialog, const std::string& folder) {
    SendMessageW(GetDlgItem(dialog, IDC_FOLDER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(folder).c_str()));
}

// Starts a command line as the list of installed programs would, from the root folder.
bool StartCommand(const std::string& command, PROCESS_INFORMATION* info) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &startup, info) != FALSE;
}

void RemoveKey(HKEY root, const std::string& key) { stage::DeleteRegTree(root, key.c_str()); }

// Runs the command (the registered one, as the list of installed programs would) and
// waits until it ended and the install folder is gone.
void UninstallByCommand(const std::string& command, const std::string& folder) {
    const plancheck::InstallPlan plan(folder, true);  // SetupTool's plan of this uninstall
    ASSERT_TRUE(plan.available()) << "no uninstall plan for " << folder;
    PROCESS_INFORMATION run{};
    ASSERT_TRUE(StartCommand(command, &run)) << command;
    DWORD waited = WaitForSingleObject(run.hProcess, kRunWait);
    if (waited != WAIT_OBJECT_0) {
        Shot("uninstall-stuck");
        TerminateProcess(run.hProcess, 99);
    }
    CloseHandle(run.hThread);
    CloseHandle(run.hProcess);
    ASSERT_EQ(waited, (DWORD)WAIT_OBJECT_0) << command << " did not uninstall within 60 s";
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(folder); }, 40000, 200))
        << "the install folder is still there 40 s after the uninstall";
    EXPECT_EQ("", plan.Disagreements()) << "the plan and the uninstall differ";
}

// Installs the staged product through the dialog into folder; expects the dialog to
// offer offered first, under the heading of a first install.
void InstallInto(const stage::Folder& staged, const std::string& offered, const std::string& folder) {
    ui::Program setup;
    HWND dialog = OpenDialog(setup, staged);
    ASSERT_TRUE(dialog) << "no main dialog";
    EXPECT_EQ(ui::ItemText(dialog, IDC_FOLDER), W(offered));
    EXPECT_EQ(ui::ItemText(dialog, IDC_HEADING), Pick(L"&Folder to install...", L"(&F)インストール先")) << "not a version-up";
    TypeFolder(dialog, folder);
    ui::Click(dialog, IDC_RUN);
    DWORD code = 99;
    ASSERT_TRUE(setup.Wait(kRunWait, &code)) << "the install did not end";
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(stage::Exists(folder + "\\Setup.exe")) << "no uninstaller in " << folder;
}

}  // namespace

TEST(Registry, RegisteredInstallIsFoundAgainAndItsUninstallLeavesTheRegistryAsItWas) {
    // A blank in the folder: the registered command starts the uninstall all the same.
    const std::string place = "C:\\Reg E2E Place", folder = place + "\\RegCycle", product = kUninstall + "RegCycle";
    stage::DeleteTree(place);
    stage::DeleteTree("C:\\RegCycle");
    RemoveKey(HKEY_LOCAL_MACHINE, product);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        for (const char* key : {"SOFTWARE\\SetupE2ECo", "SOFTWARE\\SetupE2ETool", "SOFTWARE\\SetupE2EShared",
                                "SOFTWARE\\SetupE2EEmpty"})
            RemoveKey(root, key);
    const std::vector<std::string> types = {".rege2e", ".rege2eold", "RegE2EFile", "RegE2EPrior"};
    for (const std::string& type : types) RemoveKey(HKEY_CLASSES_ROOT, type);
    // An extension that another program registered first, and its type.
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, ".rege2eold", "", "RegE2EPrior"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, "RegE2EPrior", "", "Prior Document"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CLASSES_ROOT, "RegE2EPrior\\shell\\open\\command", "", "prior.exe \"%1\""));
    // Keys of others that the product's entries touch: a sibling product of the same
    // company and a shared key holding another program's value.
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\SetupE2ECo\\Sibling", "Mode", "keep"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, "Software\\SetupE2EShared", "Other", "keep"));
    // An empty key of the user's into which the product writes a value and takes it again.
    ASSERT_TRUE(regtest::PutKey(HKEY_CURRENT_USER, "Software\\SetupE2EEmpty"));
    const std::vector<std::pair<HKEY, std::string>> watched = {
        {HKEY_CURRENT_USER, "Software"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager"},
        {HKEY_CLASSES_ROOT, "exefile"}};
    std::vector<std::pair<HKEY, std::string>> typeKeys;
    for (const std::string& type : types) typeKeys.push_back({HKEY_CLASSES_ROOT, type});
    const Dump before = DumpOf(watched), typesBefore = DumpOf(typeKeys);
    ASSERT_GT(before.size(), 100u) << "the dump of the registry is too small to prove anything";
    ASSERT_EQ(8u, typesBefore.size()) << "the prior extension and type: five keys, three values";

    stage::Folder first("regcycle");
    first.Put("app.exe", std::string(3000, 'a'));
    first.Put("data\\big.dat", std::string(5000, 'b'));  // 8000 bytes: 8 KiB
    const std::vector<std::string> script = {
        "[Setup]", "Name=Reg Cycle", "Publisher=Setup Tests", "Version=1.2.3",
        "[Root]", "Name=RegCycle",
        "[Check]", "Menu=0", "Desktop=0", "Startup=0", "Ext=1", "Send=0", "Copy=0", "Del=0",
        "[MakeDirectory]", "1=data",
        "[CopyFile]", "0=app.exe", "1=data\\big.dat",
        "[Del]", "Auto=1",
        "[Registry]", "Company=SetupE2ECo", "Name=RegCycle",
        "[Reg]",
        "Make0=HKEY_CURRENT_USER\\Software\\SetupE2ECo\\RegCycle\\Settings\\\\Theme\\!dark",
        "Make1=HKEY_CURRENT_USER\\Software\\SetupE2ECo\\RegCycle\\Settings\\\\Exe\\%root%app.exe",
        "Make2=HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupE2ETool\\Paths\\\\\\%root%data",
        "Make3=HKLM\\SOFTWARE\\SetupE2ETool\\Empty\\Deep",
        "Make4=hkey_current_user\\Software\\SetupE2EShared\\\\RegCycle\\!1",
        "Make5=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\\\RegCycle\\%root%app.exe",
        "Make6=HKEY_CURRENT_USER\\Software\\SetupE2EEmpty\\\\RegCycle\\!1",
        "Erase0=HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupE2ETool\\Paths",
        "Erase1=HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupE2ETool\\Empty",
        "Erase2=HKEY_CURRENT_USER\\Software\\SetupE2EShared\\RegCycle",
        "Erase3=HKEY_CURRENT_USER\\Software\\Microsoft",
        "Erase4=HKEY_LOCAL_MACHINE\\SOFTWARE",
        // The product's own autostart value goes; the system's keys stay whole.
        "Erase5=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\RegCycle",
        "Erase6=HKEY_CURRENT_USER\\Software\\SetupE2EEmpty\\RegCycle",
        "Erase7=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
        "Erase8=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer",
        "Erase9=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
        "Erase10=HKEY_CLASSES_ROOT\\exefile\\shell",
        "[Ext0]", "Ext=.rege2e", "Kind=RegE2EFile", "Icon=%root%app.exe", "IconNo=0", "Verb=open",
        "Command=\"\"%root%app.exe\" \"%1\"\"",
        "[Ext1]", "Ext=.rege2eold", "Kind=RegE2EFile", "Verb=edit", "Command=%root%app.exe %1", "Force=1",
    };
    first.WriteScript(Crlf(script));

    // Install through the dialog into a folder other than the default one.
    {
        ui::Program setup;
        HWND dialog = OpenDialog(setup, first);
        ASSERT_TRUE(dialog) << "no main dialog";
        EXPECT_EQ(ui::ItemText(dialog, IDC_FOLDER), L"C:\\RegCycle") << "a first install offers the default folder";
        TypeFolder(dialog, folder);
        EXPECT_TRUE(ui::Visible(dialog, IDC_EXT) && !ui::Checked(dialog, IDC_EXT)) << "the association box, offered";
        ui::Click(dialog, IDC_EXT);
        ASSERT_TRUE(ui::WaitUntil([&] { return ui::Checked(dialog, IDC_EXT); }, 5000)) << "could not tick box 1011";
        ui::Click(dialog, IDC_RUN);
        DWORD code = 99;
        ASSERT_TRUE(setup.Wait(kRunWait, &code)) << "the install did not end";
        EXPECT_EQ(code, 0u);
    }
    ASSERT_TRUE(stage::Exists(folder + "\\Setup.exe")) << "no uninstaller in " << folder;

    const struct {
        const char* name;
        std::string want;
    } texts[] = {
        {"DisplayName", "Reg Cycle"},
        {"UninstallString", "\"" + folder + "\\Setup.exe\" uninstall"},
        {"QuietUninstallString", "\"" + folder + "\\Setup.exe\" uninstall /S"},
        {"InstallLocation", folder},
        {"DisplayIcon", folder + "\\Setup.exe"},
        {"Publisher", "Setup Tests"},
        {"DisplayVersion", "1.2.3"},
    };
    for (const auto& t : texts) EXPECT_EQ(t.want, regtest::Value(HKEY_LOCAL_MACHINE, product, t.name)) << t.name;
    const struct {
        const char* name;
        const char* want;
    } numbers[] = {{"NoModify", "1"}, {"NoRepair", "1"}, {"EstimatedSize", "8"}};
    for (const auto& n : numbers) EXPECT_EQ(n.want, regtest::Value(HKEY_LOCAL_MACHINE, product, n.name, true)) << n.name;

    const std::string settings = "Software\\SetupE2ECo\\RegCycle\\Settings";
    EXPECT_EQ("dark", regtest::Value(HKEY_CURRENT_USER, settings, "Theme"));
    EXPECT_EQ(folder + "\\app.exe", regtest::Value(HKEY_CURRENT_USER, settings, "Exe"));
    EXPECT_EQ(folder + "\\data", regtest::Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupE2ETool\\Paths", ""));
    EXPECT_TRUE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupE2ETool\\Empty\\Deep"));
    EXPECT_EQ(folder + "\\app.exe", regtest::Value(HKEY_CURRENT_USER, kRun, "RegCycle"));
    EXPECT_EQ("1", regtest::Value(HKEY_CURRENT_USER, "Software\\SetupE2EEmpty", "RegCycle"));
    EXPECT_EQ("1", regtest::Value(HKEY_CURRENT_USER, "Software\\SetupE2EShared", "RegCycle"));
    const struct {
        const char* key;
        const char* name;
        std::string want;
    } associations[] = {
        {".rege2e", "", "RegE2EFile"},
        {"RegE2EFile", "", "RegE2EFile"},
        {"RegE2EFile\\DefaultIcon", "", folder + "\\app.exe,0"},
        {"RegE2EFile\\shell\\open\\command", "", "\"" + folder + "\\app.exe\" \"%1\""},
        // Unquoted in the script: quoted once expanded, the folder holding a blank.
        {"RegE2EFile\\shell\\edit\\command", "", "\"" + folder + "\\app.exe\" %1"},
        {".rege2eold", "", "RegE2EFile"},
        {".rege2eold", "Old Name", "RegE2EPrior"},
        {"RegE2EPrior\\shell\\open\\command", "", "prior.exe \"%1\""},
    };
    for (const auto& a : associations)
        EXPECT_EQ(a.want, regtest::Value(HKEY_CLASSES_ROOT, a.key, a.name)) << "HKEY_CLASSES_ROOT\\" << a.key << " " << a.name;
    EXPECT_EQ("2", IniValue(folder + "\\Setup.ini", "Check", "Ext")) << "the record keeps the association made";

    // What the product itself keeps while it is used goes with it as well.
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupE2ECo\\RegCycle\\Runtime", "Runs", "3"));

    // A new setup of the product offers the registered folder as a version-up, and the
    // installed copy opens in its installed state.
    {
        stage::Folder second("regcycle-2");
        second.WriteScript(Crlf(script));
        ui::Program next, installed;
        ASSERT_TRUE(next.Start(second.Path("Setup.exe"), "", second.dir()));
        ASSERT_TRUE(installed.Start(folder + "\\Setup.exe", "", folder));
        HWND d = ui::WaitForMainDialog(next.pid(), kDialogWait);
        HWND i = ui::WaitForMainDialog(installed.pid(), kDialogWait);
        ASSERT_TRUE(d && i) << "no main dialog of the new setup or of the installed copy";
        EXPECT_EQ(ui::ItemText(d, IDC_FOLDER), W(folder)) << "the folder of the registered install";
        EXPECT_EQ(ui::ItemText(d, IDC_HEADING), Pick(L"&Folder to version up", L"(&F)バージョンアップ先"));
        EXPECT_EQ(ui::ItemText(i, IDC_HEADING), Pick(L"Installed", L"インストール済です．"));
        EXPECT_EQ(ui::ItemText(i, IDC_FOLDER), W(folder));
        Shot("installed-copy");  // the two dialogs lie on each other: one at a time
        ui::Click(i, IDC_CANCEL);
        EXPECT_TRUE(installed.Wait(15000)) << "Cancel did not end the installed copy";
        Shot("version-up");
        ui::Click(d, IDC_CANCEL);
        EXPECT_TRUE(next.Wait(15000)) << "Cancel did not end the new setup";
    }

    // The uninstall, started by the registered command exactly as the system would; a
    // program at C:\Reg.exe is what an unquoted command would start first.
    launch_logs::Clear();
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", "C:\\Reg.exe"));
    ASSERT_NO_FATAL_FAILURE(UninstallByCommand(regtest::Value(HKEY_LOCAL_MACHINE, product, "UninstallString"), folder));
    EXPECT_EQ(0u, launch_logs::Starts().size()) << "the registered command started C:\\Reg.exe";
    DeleteFileA("C:\\Reg.exe");

    // The registration, the erase entries, the settings keys with the product's runtime
    // key, the emptied company key and the associations are gone; the sibling product,
    // the other program's value and the earlier type of the taken extension are back.
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, product.c_str())) << "the registration is gone";
    EXPECT_EQ("", Difference(typesBefore, DumpOf(typeKeys))) << "the file types differ after install and uninstall";
    EXPECT_EQ("", Difference(before, DumpOf(watched)))
        << "HKCU\\Software and HKLM\\SOFTWARE differ after install and uninstall";

    RemoveKey(HKEY_CURRENT_USER, "Software\\SetupE2ECo");
    RemoveKey(HKEY_CURRENT_USER, "Software\\SetupE2EShared");
    RemoveKey(HKEY_CURRENT_USER, "Software\\SetupE2EEmpty");
    for (const std::string& type : types) RemoveKey(HKEY_CLASSES_ROOT, type);
    stage::DeleteTree(place);
}

TEST(Registry, AnotherProgramsKeyOfTheSameNameIsNeitherOfferedWrittenNorRemoved) {
    // Another program in the folder and under the key name the product's script names.
    const std::string other = "C:\\Program Files\\RegE2E Other", key = kUninstall + "RegE2E Other";
    const std::string mine = "C:\\Reg E2E Mine\\Other";
    stage::DeleteTree(other);
    stage::DeleteTree("C:\\Reg E2E Mine");
    RemoveKey(HKEY_LOCAL_MACHINE, key);
    ASSERT_TRUE(stage::WriteFile(other + "\\Setup.exe", "another vendor's uninstaller"));
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "Other Tool 5"));
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallString", (other + "\\Setup.exe").c_str()));
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "InstallLocation", other.c_str()));
    const std::vector<std::pair<HKEY, std::string>> watched = {{HKEY_LOCAL_MACHINE, key}};
    const Dump before = DumpOf(watched);

    stage::Folder staged("regother");
    staged.Put("app.exe", "mine");
    staged.WriteScript(Crlf({"[Setup]", "Name=Reg Other Mine", "[Root]", "Name=%programs%\\RegE2E Other", "[Check]",
                             "Copy=0", "Del=0", "[CopyFile]", "0=app.exe", "[Del]", "Auto=1"}));
    ASSERT_NO_FATAL_FAILURE(InstallInto(staged, other, mine));
    EXPECT_EQ("", Difference(before, DumpOf(watched))) << "the install wrote into another program's key";
    const std::string record = mine + "\\Setup.ini";
    EXPECT_EQ("RegE2E Other", IniValue(record, "Root", "Name"));
    EXPECT_EQ("<absent>", IniValue(record, "Created", "Uninstall0")) << "the record claims a registration";
    EXPECT_EQ("1", IniValue(record, "Created", "Recorded")) << "a record that keeps facts";

    // Its installed copy, opened, still finds no earlier install of its own there.
    {
        ui::Program installed;
        ASSERT_TRUE(installed.Start(mine + "\\Setup.exe", "", mine));
        HWND dialog = ui::WaitForMainDialog(installed.pid(), kDialogWait);
        ASSERT_TRUE(dialog) << "no main dialog of the installed copy";
        EXPECT_EQ(ui::ItemText(dialog, IDC_HEADING), Pick(L"Installed", L"インストール済です．"));
        ui::Click(dialog, IDC_CANCEL);
        EXPECT_TRUE(installed.Wait(15000)) << "Cancel did not end the installed copy";
    }
    EXPECT_EQ("RegE2E Other", IniValue(record, "Root", "Name")) << "the installed state renamed the registration";
    ASSERT_NO_FATAL_FAILURE(UninstallByCommand("\"" + mine + "\\Setup.exe\" uninstall", mine));
    EXPECT_EQ("", Difference(before, DumpOf(watched))) << "the uninstall touched another program's key";
    EXPECT_EQ("another vendor's uninstaller", stage::ReadFile(other + "\\Setup.exe"));
    RemoveKey(HKEY_LOCAL_MACHINE, key);
    stage::DeleteTree(other);
    stage::DeleteTree("C:\\Reg E2E Mine");
}

TEST(Registry, AFolderNamedOtherwiseKeepsTheKeyItRegisteredUntilTheUninstallRemovesIt) {
    const std::string here = "C:\\Reg E2E Deploy Here", folder = here + "\\Prod", key = kUninstall + "RegE2E Deploy";
    stage::DeleteTree(here);
    for (const char* name : {"RegE2E Deploy", "Prod"}) RemoveKey(HKEY_LOCAL_MACHINE, kUninstall + name);
    const std::vector<std::string> script = {"[Setup]", "Name=Deploy Test", "[Root]", "Name=%programs%\\RegE2E Deploy",
                                             "[Check]", "Copy=0", "Del=0", "[CopyFile]", "0=app.exe", "[Del]",
                                             "Auto=1"};
    stage::Folder staged("regdeploy");
    staged.Put("app.exe", "deployed");
    staged.WriteScript(Crlf(script));
    std::string programFiles;
    ASSERT_TRUE(stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                    "ProgramFilesDir", &programFiles));
    ASSERT_NO_FATAL_FAILURE(InstallInto(staged, programFiles + "\\RegE2E Deploy", folder));
    const std::string command = "\"" + folder + "\\Setup.exe\" uninstall";
    EXPECT_EQ(command, regtest::Value(HKEY_LOCAL_MACHINE, key, "UninstallString"));
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, (kUninstall + "Prod").c_str()));
    const std::string record = folder + "\\Setup.ini";
    EXPECT_EQ("RegE2E Deploy", IniValue(record, "Created", "Uninstall0")) << "the record names the key it registered";

    // The installed copy and a version-up find the install and leave the name alone.
    {
        stage::Folder next("regdeploy-2");
        next.WriteScript(Crlf(script));
        ui::Program installed, versionUp;
        ASSERT_TRUE(installed.Start(folder + "\\Setup.exe", "", folder));
        ASSERT_TRUE(versionUp.Start(next.Path("Setup.exe"), "", next.dir()));
        HWND i = ui::WaitForMainDialog(installed.pid(), kDialogWait);
        HWND v = ui::WaitForMainDialog(versionUp.pid(), kDialogWait);
        ASSERT_TRUE(i && v) << "no main dialog of the installed copy or of the new setup";
        EXPECT_EQ(ui::ItemText(i, IDC_HEADING), Pick(L"Installed", L"インストール済です．"));
        EXPECT_EQ(ui::ItemText(i, IDC_FOLDER), W(folder));
        EXPECT_EQ(ui::ItemText(v, IDC_HEADING), Pick(L"&Folder to version up", L"(&F)バージョンアップ先"));
        EXPECT_EQ(ui::ItemText(v, IDC_FOLDER), W(folder));
        EXPECT_EQ("RegE2E Deploy", WaitForWorkingValue(versionUp.pid(), "Root", "Name", "RegE2E Deploy"))
            << "a version-up renamed the key";
        ui::Click(i, IDC_CANCEL);
        EXPECT_TRUE(installed.Wait(15000)) << "Cancel did not end the installed copy";
        ui::Click(v, IDC_CANCEL);
        EXPECT_TRUE(versionUp.Wait(15000)) << "Cancel did not end the new setup";
    }
    EXPECT_EQ("RegE2E Deploy", IniValue(record, "Root", "Name")) << "the installed state renamed the registration";

    ASSERT_NO_FATAL_FAILURE(UninstallByCommand(regtest::Value(HKEY_LOCAL_MACHINE, key, "UninstallString"), folder));
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, key.c_str())) << "the registration stays, pointing at nothing";
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, (kUninstall + "Prod").c_str()));
    stage::DeleteTree(here);
}
