// The main dialog's commands seen from outside: keys, the two folder browsers,
// the install and uninstall runs with their progress texts, the installed state
// and what an uninstall leaves behind once the program has removed itself.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "res/resource.h"

using namespace e2e;

namespace {

constexpr DWORD kDialogWait = 25000;  // Wine start-up plus the 2 s before the dialog
constexpr DWORD kRunWait = 40000;     // one run with its pauses, with room to spare

const wchar_t* Pick(const wchar_t* english, const wchar_t* japanese) { return stage::Japanese() ? japanese : english; }
const wchar_t* HeadingText() { return Pick(L"&Folder to install...", L"(&F)インストール先"); }
const wchar_t* InstalledText() { return Pick(L"Installed", L"インストール済です．"); }
const wchar_t* CopyingText() { return Pick(L"Copying files...", L"ファイルをコピーしています．"); }
const wchar_t* SystemText() { return Pick(L"System setup...", L"システムの設定をしています．"); }
const wchar_t* CompletedText() { return Pick(L"Completed.", L"終了しました．"); }
const wchar_t* UnsetupText() { return Pick(L"Unsetup system...", L"システムの設定を削除しています．"); }
const wchar_t* DeletingText() { return Pick(L"Deleting files...", L"ファイルを削除しています．"); }
const wchar_t* UninstalledText() { return Pick(L"Uninstall completed.", L"アンインストールは終了しました"); }

std::string Utf8(const std::wstring& text) { return ui::Narrow(text); }

std::string Join(const std::vector<std::wstring>& texts) {
    std::string out;
    for (const std::wstring& t : texts) out += (out.empty() ? "\"" : " | \"") + Utf8(t) + "\"";
    return out.empty() ? "(none)" : out;
}

std::wstring Heading(HWND dialog) { return TextNow(GetDlgItem(dialog, IDC_HEADING)); }

HWND OpenDialog(ui::Program& program, const stage::Folder& folder, const std::string& args = "") {
    if (!program.Start(folder.Path("Setup.exe"), args, folder.dir())) return nullptr;
    return ui::WaitForMainDialog(program.pid(), kDialogWait);
}

// Every text label 1013 showed, in order, until the dialog went away.
struct Trail {
    std::vector<std::wstring> texts;
    DWORD lastTextMs = 0;  // how long the last text stayed
    std::wstring strayBox;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

Trail FollowHeading(ui::Program& program, HWND dialog, DWORD ms) {
    Trail t;
    DWORD start = GetTickCount(), changed = start;
    for (int round = 0; IsWindow(dialog) && IsWindowVisible(dialog); ++round, Sleep(5)) {
        std::wstring now = Heading(dialog);
        if (t.texts.empty() || now != t.texts.back()) {
            t.texts.push_back(now);
            changed = GetTickCount();
        }
        HWND box = round % 20 ? nullptr : ui::WaitForMessageBox(program.pid(), 0, dialog);
        if (box) {
            Shot("stray-box");
            t.strayBox = ui::MessageBoxText(box);
            return t;
        }
        if (GetTickCount() - start > ms) return t;
    }
    t.lastTextMs = GetTickCount() - changed;
    t.ended = program.Wait(ms, &t.exitCode);
    return t;
}

// The run ended the program with 0 after label 1013 showed `expected` (after `before`).
void ExpectRun(const Trail& t, const std::wstring& before, const std::vector<std::wstring>& expected) {
    ASSERT_EQ("", Utf8(t.strayBox)) << "unexpected message box";
    ASSERT_TRUE(t.ended) << "the run did not end the program; label texts: " << Join(t.texts);
    EXPECT_EQ(0u, t.exitCode);
    std::vector<std::wstring> texts = t.texts;
    if (!texts.empty() && texts.front() == before) texts.erase(texts.begin());
    EXPECT_EQ(Join(expected), Join(texts)) << "label 1013 texts in order, each once";
}

HWND TreeOf(HWND browser) { return FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr); }

// The shell's folder browser: a dialog of the process, other than the main one, with a tree.
HWND WaitForBrowser(DWORD pid, const wchar_t* title) {
    HWND browser = ui::WaitForMessageBox(pid, 10000);
    EXPECT_TRUE(browser && FindWindowExW(browser, nullptr, nullptr, title)) << "browser title " << Utf8(title);
    return browser && TreeOf(browser) ? browser : nullptr;
}

bool HasSelection(HWND browser) {
    DWORD_PTR item = 0;
    SendMessageTimeoutW(TreeOf(browser), TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 1000, &item);
    return item != 0;
}

// Presses OK or Cancel and waits until the browser has gone.
bool AnswerBrowser(HWND browser, int button) {
    ui::Click(browser, button);
    return ui::WaitUntil([&] { return !IsWindow(browser) || !IsWindowVisible(browser); }, 5000);
}

// An install registers the product; a registration left by an earlier run would make
// the next setup of the product a version-up into that run's folder.
void ForgetRegistration() {
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CmdApp");
}

// A small product installed from a stage folder into C:\CmdApp.
std::string ProductScript(const std::string& extra = "") {
    return Crlf({"[Setup]", "Name=Cmd Product", "[Root]", "Name=CmdApp", "[CopyFile]", "0=app.txt", "[Check]",
                 "Menu=2", "Copy=1", "Del=1"}) + extra;
}

// An install record beside its uninstaller, with its files: the stage folder plays the install folder.
void PutInstalledProduct(const stage::Folder& folder, const std::string& extra = "") {
    const std::string& dir = folder.dir();
    folder.Put("app.txt", "installed app");
    folder.Put("data\\info.txt", "installed info");
    folder.WriteScript(Crlf({"[Setup]", "Name=Cmd Product", "[Root]", "Name=CmdApp", "Named=" + dir,
                             "[MakedDirectory]", "0=" + dir, "1=" + dir + "\\data", "Count=2", "[CopiedFile]",
                             "0=" + dir + "\\app.txt", "1=" + dir + "\\data\\info.txt", "Count=2", "[Check]", "Menu=2",
                             "Desktop=1", "Startup=1", "Ext=1", "Send=1", "Copy=2", "Del=0", "[Menu]",
                             "Name=Cmd Menu", "Named="}) +
                       extra);
}

const int kOptionControls[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO, IDC_LOCATION};

// The ids of the option controls whose enabled state is not `enabled`, once they settle.
std::string OptionsNot(HWND dialog, bool enabled) {
    std::string wrong;
    ui::WaitUntil([&] {
        wrong.clear();
        for (int id : kOptionControls)
            if (ui::Enabled(dialog, id) != enabled) wrong += std::to_string(id) + " ";
        return wrong.empty();
    }, 3000);
    return wrong;
}

// After an uninstall the record is gone when the program ends; a second process
// then removes the executable (after about 5 s) and the emptied folder through a batch file.
void ExpectSelfRemoval(const stage::Folder& folder) {
    EXPECT_FALSE(stage::Exists(folder.Script())) << "the record should be deleted when the program ends";
    DWORD ended = GetTickCount();
    bool exeStayedAWhile = true;
    bool removed = ui::WaitUntil([&] {
        bool exeThere = stage::Exists(folder.Path("Setup.exe"));
        if (!exeThere && GetTickCount() - ended < 3000) exeStayedAWhile = false;
        return !exeThere && !stage::Exists(folder.dir()) && BatchFiles().empty();
    }, 30000, 100);
    EXPECT_TRUE(removed) << "still there after 30 s: Setup.exe " << stage::Exists(folder.Path("Setup.exe"))
                         << ", folder " << stage::Exists(folder.dir())
                         << ", batch files " << BatchFiles().size();
    EXPECT_TRUE(exeStayedAWhile) << "the removal process should wait about 5 s before it deletes the executable";
}

}  // namespace

// Picking a Start-menu location in the real browser writes [Menu] "Change"; Escape
// then cancels, which drops the pick and leaves [Menu] "Named" alone.
TEST(Commands, EscapeCancelsAndDropsAPickedMenuLocation) {
    char programs[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
    // The only entry of the Programs folder that starts with Q, so that typing Q selects it.
    std::string earlier = std::string(programs) + "\\Quiet Place";
    ASSERT_TRUE(stage::MakeFolders(earlier));
    stage::DeleteTree("C:\\CmdApp");
    ForgetRegistration();
    stage::Folder folder("cancel");
    folder.Put("app.txt", "app");
    folder.WriteScript(ProductScript(Crlf({"[Menu]", "Name=Cmd Menu", "Named=" + earlier})));
    const std::string shipped = stage::ReadFile(folder.Script());

    ui::Program program;
    HWND dialog = OpenDialog(program, folder);
    ASSERT_TRUE(dialog) << "no main dialog";
    ASSERT_TRUE(ui::Visible(dialog, IDC_LOCATION)) << "box 1004 with mode 2 should offer the location button";
    ui::Click(dialog, IDC_LOCATION);
    HWND browser = WaitForBrowser(program.pid(), Pick(L"Where \"Cmd Menu\" is ?", L"ﾒﾆｭｰ \"Cmd Menu\" の作成位置"));
    ASSERT_TRUE(browser) << "no folder browser after the location button";
    Shot("menu-browser");
    // Wine's first browser in a process often lacks the initial selection, so type the letter as a user may.
    PostMessageW(TreeOf(browser), WM_CHAR, L'Q', 1);
    ASSERT_TRUE(ui::WaitUntil([&] { return HasSelection(browser); }, 5000)) << "no folder selected in the browser";
    ASSERT_TRUE(AnswerBrowser(browser, IDOK)) << "the browser did not close on OK";
    std::string picked = earlier + "\\Cmd Menu";
    EXPECT_EQ(picked, WaitForWorkingValue(program.pid(), "Menu", "Change", picked)) << "[Menu] \"Change\" after the pick";

    ui::Key(dialog, VK_ESCAPE);
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(program.Wait(15000, &code)) << "Escape did not end the program";
    EXPECT_EQ(0u, code);
    // The pick lived in the run's own copy of the script, which goes with the run.
    EXPECT_EQ(shipped, stage::ReadFile(folder.Script())) << "a cancelled run leaves the shipped script as it was";
    EXPECT_FALSE(ui::WaitUntil([&] { return !WorkingScript(program.pid()).empty(); }, 1000))
        << "the working copy goes with the run";
    EXPECT_FALSE(stage::Exists("C:\\CmdApp")) << "a cancelled dialog installs nothing";
    stage::DeleteTree(earlier);
}

// The install-folder browser starts at the field's folder; what it returns gets the
// product's folder name appended unless it already ends with it; Cancel changes nothing.
TEST(Commands, BrowsingAppendsTheProductFolderOnce) {
    ASSERT_TRUE(stage::MakeFolders("C:\\Tools\\App"));
    stage::Folder folder("browse");
    folder.WriteScript(Crlf({"[Setup]", "Name=Browse Product", "[Root]", "Name=App"}));
    ui::Program program;
    HWND dialog = OpenDialog(program, folder);
    ASSERT_TRUE(dialog) << "no main dialog";

    struct {
        const wchar_t* start;
        int button;
        const wchar_t* expected;
    } cases[] = {{L"C:\\Tools", IDOK, L"C:\\Tools\\App"},
                 {L"C:\\Tools\\App", IDOK, L"C:\\Tools\\App"},
                 {L"C:\\Tools", IDCANCEL, L"C:\\Tools"}};
    for (const auto& c : cases) {
        SetDlgItemTextW(dialog, IDC_FOLDER, c.start);
        ui::Click(dialog, IDC_BROWSE);
        HWND browser = WaitForBrowser(program.pid(), Pick(L"Install to...", L"ｲﾝｽﾄｰﾙ先の指定"));
        ASSERT_TRUE(browser) << "no folder browser after the browse button";
        EXPECT_TRUE(ui::WaitUntil([&] { return HasSelection(browser); }, 5000)) << "the field's folder is not selected";
        ASSERT_TRUE(AnswerBrowser(browser, c.button)) << "the browser did not close";
        std::wstring got;
        ui::WaitUntil([&] { return (got = ui::ItemText(dialog, IDC_FOLDER)) == c.expected; }, 3000);
        EXPECT_EQ(Utf8(c.expected), Utf8(got)) << "field 1007 after browsing from " << Utf8(c.start)
                                               << (c.button == IDOK ? " and OK" : " and Cancel");
    }
    stage::DeleteTree("C:\\Tools");
}

// Enter runs the install: the progress texts follow each other in label 1013, the
// last stays about a second, the program ends with 0, and without a picked location
// [Menu] "Named" is written empty. A Run request that arrives during the run is ignored.
TEST(Commands, EnterRunsTheInstallOnceWithProgressInOrder) {
    stage::DeleteTree("C:\\CmdApp");
    ForgetRegistration();
    stage::Folder folder("enter");
    folder.Put("app.txt", "app");
    folder.WriteScript(ProductScript(Crlf({"[Menu]", "Name=Cmd Menu", "Named=C:\\Somewhere\\Old"})));
    ui::Program program;
    HWND dialog = OpenDialog(program, folder);
    ASSERT_TRUE(dialog) << "no main dialog";
    EXPECT_EQ(Utf8(HeadingText()), Utf8(Heading(dialog))) << "label 1013 before the run";

    ui::Key(dialog, VK_RETURN);
    ASSERT_TRUE(ui::WaitUntil([&] { return Heading(dialog) != HeadingText(); }, 10000, 5)) << "Enter did not run";
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_RUN, BN_CLICKED), 0);
    Trail trail = FollowHeading(program, dialog, 2 * kRunWait);
    ASSERT_NO_FATAL_FAILURE(ExpectRun(trail, HeadingText(), {CopyingText(), SystemText(), CompletedText()}));
    EXPECT_GE(trail.lastTextMs, 800u) << "the final text should stay about 1000 ms";
    EXPECT_EQ("", IniValue("C:\\CmdApp\\Setup.ini", "Menu", "Named")) << "the record's [Menu] \"Named\" after a run without a pick";
    EXPECT_EQ("app", stage::ReadFile("C:\\CmdApp\\app.txt")) << "the run should have copied the product";
    stage::DeleteTree("C:\\CmdApp");
    ForgetRegistration();
}

// Installed state: the Uninstall box disables the option boxes and the location
// button, unchecking enables them again; Run with the box unchecked is an install
// run that copies nothing and removes nothing.
TEST(Commands, InstalledStateRunsTheInstallWhileUninstallIsUnchecked) {
    stage::Folder folder("installed");
    PutInstalledProduct(folder);
    ui::Program program;
    HWND dialog = OpenDialog(program, folder);
    ASSERT_TRUE(dialog) << "no main dialog";
    ASSERT_FALSE(ui::Checked(dialog, IDC_COPY)) << "the Uninstall box starts unchecked";
    EXPECT_EQ("", OptionsNot(dialog, true)) << "controls disabled before any click";
    ui::Click(dialog, IDC_COPY);
    EXPECT_EQ("", OptionsNot(dialog, false)) << "controls still enabled with Uninstall checked";
    Shot("uninstall-checked");
    ui::Click(dialog, IDC_COPY);
    EXPECT_EQ("", OptionsNot(dialog, true)) << "controls still disabled after unchecking Uninstall";

    EXPECT_EQ(Utf8(InstalledText()), Utf8(Heading(dialog))) << "label 1013 in the installed state";
    ui::Click(dialog, IDC_RUN);
    // An install record copies nothing, so no copying text.
    ASSERT_NO_FATAL_FAILURE(ExpectRun(FollowHeading(program, dialog, kRunWait), InstalledText(),
                                      {SystemText(), CompletedText()}));
    EXPECT_EQ("installed app", stage::ReadFile(folder.Path("app.txt"))) << "the install run removes nothing";
    EXPECT_EQ("installed info", stage::ReadFile(folder.Path("data\\info.txt"))) << "the install run removes nothing";
    EXPECT_TRUE(stage::Exists(folder.Path("Setup.exe")));
    // The end of an uninstall deletes the record before the program ends; an install run must not.
    EXPECT_EQ("2", IniValue(folder.Script(), "CopiedFile", "Count")) << "the record and its list stay";
    ForgetRegistration();
}

// An uninstall, started by checking the box and Run or by the "uninstall" argument
// with [Del] "Checked" = 1 (which requests the run twice), runs once, removes the
// recorded files, and the program then removes its record, itself and the folder.
TEST(Commands, UninstallRunRemovesTheProductAndTheUninstaller) {
    for (bool byArgument : {false, true}) {
        SCOPED_TRACE(byArgument ? "started with uninstall" : "box 1009 checked and Run");
        stage::Folder folder(byArgument ? "auto-uninstall" : "uninstall");
        PutInstalledProduct(folder, byArgument ? "[Del]\r\nChecked=1\r\n" : "");
        ui::Program program;
        HWND dialog = OpenDialog(program, folder, byArgument ? "uninstall" : "");
        ASSERT_TRUE(dialog) << "no main dialog";
        if (!byArgument) {
            EXPECT_EQ(Utf8(InstalledText()), Utf8(Heading(dialog))) << "label 1013 in the installed state";
            ui::Click(dialog, IDC_COPY);
            ASSERT_TRUE(ui::WaitUntil([&] { return !ui::Enabled(dialog, IDC_MENU); }, 3000)) << "box not taken";
            ui::Click(dialog, IDC_RUN);
        }
        // Started by itself, the first look may come before or after the run has begun.
        Trail trail = FollowHeading(program, dialog, 2 * kRunWait);
        ASSERT_NO_FATAL_FAILURE(ExpectRun(trail, InstalledText(), {UnsetupText(), DeletingText(), UninstalledText()}));
        EXPECT_GE(trail.lastTextMs, 800u) << "the final text should stay about 1000 ms";
        EXPECT_FALSE(stage::Exists(folder.Path("app.txt"))) << "recorded files are removed";
        EXPECT_FALSE(stage::Exists(folder.Path("data"))) << "recorded folders are removed";
        ExpectSelfRemoval(folder);
    }
}

// OK refuses an install folder that is empty, relative or a drive root: a box says why
// and the dialog stays open with its buttons. An automatic run whose default folder is
// the drive root (no [Root] "Name") shows the box and ends without installing anything.
TEST(Commands, RunRefusesAFolderThatIsEmptyRelativeOrARoot) {
    const std::wstring refusal =
        Pick(L"Please choose a complete folder to install to, such as C:\\Program Files\\Product.\n"
             L"A drive root, a relative folder or a folder of more than 249 characters cannot be used.",
             L"インストール先には C:\\Program Files\\製品名 のような完全なフォルダを指定してください．\n"
             L"ドライブのルート、相対パス、249文字を超えるフォルダは使えません．");
    stage::DeleteTree("C:\\CmdApp");
    ForgetRegistration();
    stage::Folder folder("refuse");
    folder.Put("app.txt", "app");
    folder.WriteScript(ProductScript());
    ui::Program program;
    HWND dialog = OpenDialog(program, folder);
    ASSERT_TRUE(dialog) << "no main dialog";
    const std::wstring tooLong = L"C:\\" + std::wstring(247, L'x');  // 250 characters: no room for the uninstaller beside it
    for (const wchar_t* bad : {L"", L"CmdApp", L"sub\\CmdApp", L"C:", L"C:\\", L"C:\\..", L"\\CmdApp",
                               L"\\\\server\\share", tooLong.c_str()}) {
        SetDlgItemTextW(dialog, IDC_FOLDER, bad);
        ui::Click(dialog, IDC_RUN);
        HWND box = ui::WaitForMessageBox(program.pid(), 10000, dialog);
        ASSERT_TRUE(box) << "no refusal for the folder \"" << Utf8(bad) << "\"";
        EXPECT_EQ(Utf8(refusal), Utf8(ui::MessageBoxText(box))) << "folder \"" << Utf8(bad) << "\"";
        EXPECT_EQ("Cmd Product", Utf8(ui::Text(box))) << "the caption is the product name";
        if (bad[0] == 0) Shot("folder-refused");
        ui::Click(box, IDOK);
        ASSERT_TRUE(ui::WaitUntil([&] { return !IsWindow(box); }, 5000));
        EXPECT_TRUE(IsWindowVisible(dialog) && ui::Visible(dialog, IDC_RUN) && ui::Visible(dialog, IDC_CANCEL))
            << "the dialog should stay open with its buttons after refusing \"" << Utf8(bad) << "\"";
    }
    SetDlgItemTextW(dialog, IDC_FOLDER, L"C:\\CmdApp");
    ui::Click(dialog, IDC_RUN);
    Trail trail = FollowHeading(program, dialog, 2 * kRunWait);
    ASSERT_NO_FATAL_FAILURE(ExpectRun(trail, HeadingText(), {CopyingText(), SystemText(), CompletedText()}));
    EXPECT_EQ("app", stage::ReadFile("C:\\CmdApp\\app.txt")) << "a complete folder is accepted";
    stage::DeleteTree("C:\\CmdApp");
    ForgetRegistration();

    stage::Folder automatic("refuse-auto");
    automatic.Put("app.txt", "app");
    automatic.WriteScript(Crlf({"[Setup]", "Name=Cmd Product", "Auto=1", "[CopyFile]", "0=app.txt"}));
    ui::Program autoRun;
    ASSERT_TRUE(autoRun.Start(automatic.Path("Setup.exe"), "", automatic.dir()));
    Outcome o = WaitForEndOrBox(autoRun, kDialogWait + kRunWait);
    ASSERT_TRUE(o.box) << "an automatic run into the drive root was not refused";
    EXPECT_EQ(Utf8(refusal), Utf8(ui::MessageBoxText(o.box)));
    ui::Click(o.box, IDOK);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(autoRun.Wait(15000, &code)) << "the automatic run did not end after the refusal";
    EXPECT_EQ(0u, code);
    for (const char* placed : {"C:\\Setup.exe", "C:\\Setup.ini", "C:\\app.txt"})
        EXPECT_FALSE(stage::Exists(placed)) << placed << " was installed into the drive root";
}
