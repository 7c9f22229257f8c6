// Runs started with switches, as package managers and management tools start them: the
// sample installed silently and uninstalled through its registered quiet command, no
// window at any time, the exit codes of each kind of end, the log.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "e2e_helpers.h"
#include "fixtures.h"
#include "plan_check.h"
#include "res/resource.h"

using namespace e2e;

namespace {

constexpr DWORD kRunWait = 60000;
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample Notes";

// Visible top-level windows of the given processes seen while a run goes on.
class WindowWatch {
public:
    void Start(DWORD pid) {
        pid_ = pid;
        thread_ = std::thread([this] {
            while (!stop_) {
                EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
                Sleep(10);
            }
        });
    }
    std::vector<std::string> Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        auto* watch = reinterpret_cast<WindowWatch*>(self);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == watch->pid_ && IsWindowVisible(window)) {
            char cls[64] = "";
            GetClassNameA(window, cls, sizeof cls);
            watch->seen_.push_back(std::string(cls) + " \"" + ui::Narrow(ui::Text(window)) + "\"");
        }
        return TRUE;
    }
    DWORD pid_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::string> seen_;
};

struct Ended {
    bool ended = false;
    DWORD code = STILL_ACTIVE;
    DWORD ms = 0;
    std::vector<std::string> windows;
};

// Starts Setup.exe with the arguments and waits for its end, watching for windows.
Ended RunWithSwitches(const std::string& exe, const std::string& args, const std::string& folder) {
    Ended e;
    ui::Program program;
    if (!program.Start(exe, args, folder)) return e;
    WindowWatch watch;
    watch.Start(program.pid());
    DWORD start = GetTickCount();
    e.ended = program.Wait(kRunWait, &e.code);
    e.ms = GetTickCount() - start;
    e.windows = watch.Stop();
    return e;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// What an install leaves: the files under the folder, the registration's values, the
// shortcut files of the users' folders, the record's lists.
struct Snapshot {
    std::set<std::string> files, links;
    std::string registration, record;
};

std::string RegistrationValues() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
    std::string out;
    for (DWORD i = 0;; ++i) {
        char name[256], data[1024];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, (BYTE*)data, &dataSize) != ERROR_SUCCESS) break;
        out += std::string(name) + "=" + (type == REG_SZ ? std::string(data) : std::to_string(*(DWORD*)data)) + "\n";
    }
    RegCloseKey(key);
    return out;
}

Snapshot Take(const std::string& folder) {
    Snapshot s;
    ListTree(folder, {}, &s.files);
    std::set<std::string> users;
    ListTree("C:\\users", {}, &users);
    for (const auto& path : users)
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".lnk") == 0) s.links.insert(path);
    s.registration = RegistrationValues();
    for (const char* section : {"CopiedFile", "MakedDirectory", "Check", "Root", "Menu"})
        for (const auto& kv : IniSection(folder + "\\Setup.ini", section))
            s.record += std::string(section) + "." + kv.first + "=" + kv.second + "\n";
    return s;
}

std::string LogOf(const std::string& path) { return stage::ReadFile(path); }

std::string TempLog(const char* product) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "Setup " + product + ".log";
}

std::string SampleSource() {
    const char* source = getenv("SETUP_SOURCE_DIR");
    return source ? stage::HostToWindows(source) + "\\examples\\sample" : "";
}

}  // namespace

// The sample: an automatic (shown) install as the reference, its silent uninstall, then
// a silent install into the same folder with blanks in its name, which must leave the
// same machine; then the registered quiet command removes everything.
TEST(Unattended, SilentInstallMatchesTheShownOneAndTheQuietUninstallRemovesAll) {
    ASSERT_NE("", SampleSource()) << "SETUP_SOURCE_DIR is not set";
    stage::Folder folder("silent sample");
    ASSERT_TRUE(stage::CopyTree(SampleSource(), folder.dir()));
    const std::string target = "C:\\Program Files\\Sample Notes";
    stage::DeleteTree(target);

    // The reference: the dialog's automatic run (no switch: exit 0, no log).
    stage::SetIni(folder.Script(), "Setup", "Auto", "1");
    std::string plainLog = TempLog("Sample Notes");
    DeleteFileA(plainLog.c_str());
    Ended shown = RunWithSwitches(folder.Path("Setup.exe"), "", folder.dir());
    ASSERT_TRUE(shown.ended) << "the automatic install did not end";
    EXPECT_EQ(0u, shown.code);
    EXPECT_FALSE(shown.windows.empty()) << "the shown run shows its backdrop and dialog";
    EXPECT_FALSE(stage::Exists(plainLog)) << "a run without switches writes no log";
    Snapshot reference = Take(target);
    ASSERT_TRUE(reference.files.count(Lower(target + "\\Setup.exe"))) << Joined({reference.files.begin(), reference.files.end()});
    stage::SetIni(folder.Script(), "Setup", "Auto", "0");

    // The registered quiet command is what package managers run.
    std::string quiet;
    ASSERT_TRUE(stage::GetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &quiet));
    EXPECT_EQ("\"" + target + "\\Setup.exe\" uninstall /S", quiet);
    Ended removed = RunWithSwitches(target + "\\Setup.exe", "uninstall /S", target);
    ASSERT_TRUE(removed.ended);
    EXPECT_EQ(0u, removed.code);
    EXPECT_EQ("", Joined(removed.windows)) << "a silent uninstall shows no window";
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(target); }, 20000)) << "the uninstaller removes itself";
    EXPECT_EQ("<none>", RegistrationValues());

    // The silent install into the same folder, given with blanks as the last switch. The
    // plan is of the dialog's default folder, which is this one.
    DeleteFileA(plainLog.c_str());
    plancheck::InstallPlan plan(folder.dir());
    ASSERT_TRUE(plan.available()) << "SetupTool plan gave nothing";
    Ended silent = RunWithSwitches(folder.Path("Setup.exe"), "/S /D=" + target, folder.dir());
    ASSERT_TRUE(silent.ended) << "the silent install did not end";
    EXPECT_EQ(0u, silent.code);
    EXPECT_EQ("", Joined(silent.windows)) << "a silent install shows no window at all";
    EXPECT_LT(silent.ms, 10000u) << "no pauses: the sample takes about a second";
    std::printf("silent install of the sample: %lu ms (the shown one paces itself)\n", (unsigned long)silent.ms);
    EXPECT_EQ("", plan.Disagreements(target)) << "the plan and the silent install differ";
    Snapshot unattended = Take(target);
    EXPECT_EQ(Joined({reference.files.begin(), reference.files.end()}), Joined({unattended.files.begin(), unattended.files.end()}));
    EXPECT_EQ(Joined({reference.links.begin(), reference.links.end()}), Joined({unattended.links.begin(), unattended.links.end()}));
    EXPECT_EQ(reference.registration, unattended.registration);
    EXPECT_EQ(reference.record, unattended.record);
    EXPECT_EQ("", stage::Ini(folder.Script(), "Root", "Named")) << "the shipped script stays as shipped";

    std::string log = LogOf(plainLog);
    EXPECT_EQ(0u, log.find("Product: Sample Notes\r\nVersion: 1.0\r\nCommand line: /S /D=" + target + "\r\n")) << log;
    for (const std::string& line : {std::string("Install folder: ") + target, std::string("  new  ") + target + "\\readme.txt  <- ",
                                    std::string("== Files"), std::string("\r\nExit code: 0\r\n")})
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\n--- log:\n" << log;
    EXPECT_EQ(log.size() - 14, log.rfind("Exit code: 0\r\n")) << "the exit code comes last";

    // Out again through the registered command, with a log of its own.
    plancheck::InstallPlan removal(target, true);
    ASSERT_TRUE(removal.available());
    Ended again = RunWithSwitches(target + "\\Setup.exe", "uninstall /S /LOG=C:\\uninstall.log", target);
    EXPECT_EQ(0u, again.code);
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(target); }, 20000));
    EXPECT_EQ("", removal.Disagreements()) << "the uninstall plan and the uninstall differ";
    EXPECT_EQ("<none>", RegistrationValues());
    EXPECT_NE(std::string::npos, LogOf("C:\\uninstall.log").find("Exit code: 0")) << LogOf("C:\\uninstall.log");
    Snapshot after = Take(target);
    EXPECT_EQ("", Joined({after.links.begin(), after.links.end()})) << "every shortcut goes";
}

// Each kind of end has its code; none of these shows a window.
TEST(Unattended, ExitCodes) {
    stage::Folder folder("codes");
    folder.Put("a.txt", "a");
    folder.WriteScript("[Setup]\r\nName=Codes\r\n[Root]\r\nName=Codes\r\n[CopyFile]\r\n0=?a.txt\r\nReboot=1\r\n");
    stage::DeleteTree("C:\\Codes");

    struct Case {
        const char* name;
        std::string args;
        DWORD code;
    } cases[] = {
        {"unknown switch", "/S /bogus", 1639},
        {"a plain word among switches", "/S install", 1639},
        {"a drive root", "/S /D=C:\\", 1603},
        {"a relative folder", "/S /D=Codes", 1603},
        {"a log that cannot be written", "/S \"/LOG=C:\\no such folder\\x.log\"", 1603},
    };
    for (const Case& c : cases) {
        Ended e = RunWithSwitches(folder.Path("Setup.exe"), c.args, folder.dir());
        ASSERT_TRUE(e.ended) << c.name;
        EXPECT_EQ(c.code, e.code) << c.name;
        EXPECT_EQ("", Joined(e.windows)) << c.name;
        EXPECT_FALSE(stage::Exists("C:\\Codes")) << c.name << ": nothing is installed";
        EXPECT_FALSE(stage::Exists("C:\\Setup.exe")) << c.name;
    }

    // The usage asked for is shown (there is no console here), and the run ends with 0.
    {
        ui::Program program;
        ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "/?", folder.dir()));
        HWND box = ui::WaitForMessageBox(program.pid(), 20000);
        ASSERT_TRUE(box) << "no usage shown";
        EXPECT_NE(std::string::npos, ui::Narrow(ui::MessageBoxText(box)).find("/D=")) << ui::Narrow(ui::MessageBoxText(box));
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
        DWORD code = 99;
        ASSERT_TRUE(program.Wait(kRunWait, &code));
        EXPECT_EQ(0u, code);
    }

    // A file in use, replaced at the restart: done, but the restart must finish it; the
    // restart question is not handed to another process.
    ASSERT_TRUE(stage::MakeFolders("C:\\Codes"));
    ASSERT_TRUE(stage::WriteFile("C:\\Codes\\a.txt", "old"));
    {
        LockedFile held("C:\\Codes\\a.txt");
        ASSERT_TRUE(held.held());
        Ended e = RunWithSwitches(folder.Path("Setup.exe"), "/S /LOG=C:\\codes.log /D=C:\\Codes", folder.dir());
        EXPECT_EQ(3010u, e.code) << LogOf("C:\\codes.log");
        EXPECT_TRUE(SetupProcesses().empty()) << "no process is left to ask for the restart";
    }
    ForgetPendingRenames();
    EXPECT_NE(std::string::npos, LogOf("C:\\codes.log").find("Exit code: 3010"));

    // A file the script needs is missing: incomplete. Marked optional ("*"): done.
    folder.WriteScript("[Setup]\r\nName=Codes\r\n[Root]\r\nName=Codes\r\n[CopyFile]\r\n0=?a.txt\r\n1=gone.txt\r\n");
    stage::DeleteTree("C:\\Codes");
    Ended missing = RunWithSwitches(folder.Path("Setup.exe"), "/VERYSILENT /LOG=C:\\missing.log /D=C:\\Codes", folder.dir());
    EXPECT_EQ(1603u, missing.code);
    EXPECT_NE(std::string::npos, LogOf("C:\\missing.log").find("missing  C:\\Codes\\gone.txt")) << LogOf("C:\\missing.log");
    EXPECT_TRUE(stage::Exists("C:\\Codes\\a.txt")) << "what could be copied is";
    RunAndWait("\"C:\\Codes\\Setup.exe\" uninstall /S", kRunWait);
    ui::WaitUntil([&] { return !stage::Exists("C:\\Codes"); }, 20000);
    folder.WriteScript("[Setup]\r\nName=Codes\r\n[Root]\r\nName=Codes\r\n[CopyFile]\r\n0=?a.txt\r\n1=*gone.txt\r\n");
    Ended optional = RunWithSwitches(folder.Path("Setup.exe"), "/qn INSTALLDIR=C:\\Codes", folder.dir());
    EXPECT_EQ(0u, optional.code);
    EXPECT_EQ("", Joined(optional.windows));

    // An uninstall where there is no install record: nothing to remove.
    Ended noRecord = RunWithSwitches(folder.Path("Setup.exe"), "uninstall /S", folder.dir());
    EXPECT_EQ(1603u, noRecord.code);
    RunAndWait("\"C:\\Codes\\Setup.exe\" uninstall /S", kRunWait);
    ui::WaitUntil([&] { return !stage::Exists("C:\\Codes"); }, 20000);
}

// A shown run with a switch ends with a code too: the dialog's Cancel is 1602.
TEST(Unattended, CancelWithASwitchIs1602) {
    stage::Folder folder("cancel");
    folder.Put("a.txt", "a");
    folder.WriteScript("[Setup]\r\nName=Cancel\r\n[Root]\r\nName=%programs%\\Cancelled\r\n[CopyFile]\r\n0=a.txt\r\n");
    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "/LOG=C:\\cancel.log", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), 20000);
    ASSERT_TRUE(dialog);
    ui::Click(dialog, IDC_CANCEL);
    DWORD code = 0;
    ASSERT_TRUE(program.Wait(kRunWait, &code));
    EXPECT_EQ(1602u, code);
    EXPECT_FALSE(stage::Exists("C:\\Program Files\\Cancelled"));
    EXPECT_NE(std::string::npos, LogOf("C:\\cancel.log").find("Exit code: 1602")) << LogOf("C:\\cancel.log");
}

// Progress only: one small window with the product's name, the step and the bar, and no
// button; the install and the uninstall end by themselves with 0.
TEST(Unattended, ProgressOnlyShowsOneWindowWithoutButtons) {
    stage::Folder folder("passive");
    std::string script = "[Setup]\r\nName=Passive Product\r\n[Root]\r\nName=Passive\r\n[CopyFile]\r\n";
    for (int i = 0; i < 600; ++i) {
        folder.Put("f" + std::to_string(i) + ".txt", std::string(2048, 'p'));
        script += std::to_string(i) + "=f" + std::to_string(i) + ".txt\r\n";
    }
    folder.WriteScript(script);
    stage::DeleteTree("C:\\Passive");
    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "/passive /D=C:\\Passive", folder.dir()));
    WindowWatch watch;
    watch.Start(program.pid());
    HWND window = ui::WaitForTopWindow(program.pid(), L"SetupProgress", nullptr, 20000);
    ASSERT_TRUE(window) << "no progress window";
    EXPECT_EQ("Passive Product", ui::Narrow(ui::Text(window)));
    Shot("progress-only");
    int buttons = 0;
    EnumChildWindows(window, [](HWND child, LPARAM count) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0) ++*reinterpret_cast<int*>(count);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&buttons));
    EXPECT_EQ(0, buttons);
    DWORD code = 99;
    ASSERT_TRUE(program.Wait(kRunWait, &code));
    EXPECT_EQ(0u, code);
    for (const std::string& seen : watch.Stop())
        EXPECT_EQ(0u, seen.find("SetupProgress ")) << "another window: " << seen;
    EXPECT_TRUE(stage::Exists("C:\\Passive\\f599.txt"));

    Ended removed = RunWithSwitches("C:\\Passive\\Setup.exe", "uninstall /qb", "C:\\Passive");
    EXPECT_EQ(0u, removed.code);
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists("C:\\Passive"); }, 20000));
}
