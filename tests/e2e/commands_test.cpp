// The main dialog's commands seen from outside: keys, the two folder browsers,
// the install and uninstall runs with their progress texts, the installed state
// and what an uninstall leaves behind once the program has removed itself.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <ctype.h>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>
#include "res/resource.h"
#include "stage.h"
#include "ui_driver.h"

namespace {

constexpr DWORD kDialogWait = 25000;  // Wine start-up plus the 2 s before the dialog
constexpr DWORD kRunWait = 40000;     // one run with its pauses, with room to spare

const wchar_t* Pick(const wchar_t* english, const wchar_t* japanese) {
    return stage::Japanese() ? japanese : english;
}

const wchar_t* HeadingText() { return Pick(L"&Folder to install...", L"(&F)インストール先"); }
const wchar_t* InstalledText() { return Pick(L"Installed", L"インストール済です．"); }
const wchar_t* CopyingText() { return Pick(L"Copying files...", L"ファイルをコピーしています．"); }
const wchar_t* SystemText() { return Pick(L"System setup...", L"システムの設定をしています．"); }
const wchar_t* CompletedText() { return Pick(L"Completed.", L"終了しました．"); }
const wchar_t* UnsetupText() { return Pick(L"Unsetup system...", L"システムの設定を削除しています．"); }
const wchar_t* DeletingText() { return Pick(L"Deleting files...", L"ファイルを削除しています．"); }
const wchar_t* UninstalledText() { return Pick(L"Uninstall completed.", L"アンインストールは終了しました"); }

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string Utf8(const std::wstring& text) { return ui::Narrow(text); }

std::string Join(const std::vector<std::wstring>& texts) {
    std::string out;
    for (const std::wstring& t : texts) out += (out.empty() ? "\"" : " | \"") + Utf8(t) + "\"";
    return out.empty() ? "(none)" : out;
}

// Sections of a profile file as the program wrote them, read from the bytes on disk
// (no profile cache in between). Keys are lower-cased; values are kept exactly.
std::map<std::string, std::string> IniSection(const std::string& file, const std::string& section) {
    std::map<std::string, std::string> out;
    std::string text = stage::ReadFile(file);
    bool inside = false;
    size_t pos = 0;
    auto lower = [](std::string s) {
        for (char& c : s) c = (char)tolower((unsigned char)c);
        return s;
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            inside = close != std::string::npos && lower(line.substr(1, close - 1)) == lower(section);
            continue;
        }
        size_t eq = line.find('=');
        if (inside && eq != std::string::npos) out[lower(line.substr(0, eq))] = line.substr(eq + 1);
    }
    return out;
}

// The value of a key, or "<absent>" when the section has no such line.
std::string IniValue(const std::string& file, const std::string& section, const std::string& key) {
    auto values = IniSection(file, section);
    std::string lowerKey;
    for (char c : key) lowerKey += (char)tolower((unsigned char)c);
    auto it = values.find(lowerKey);
    return it == values.end() ? "<absent>" : it->second;
}

// Window text without sending a message: the label of a busy dialog still answers.
std::wstring TextNow(HWND window) {
    wchar_t buffer[1024] = L"";
    int n = GetWindowTextW(window, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n : 0);
}

void Shot(const char* name) { ui::SaveScreenshot(stage::ArtifactPath(std::string(name) + ".bmp")); }

// Every text that label 1013 showed, in order, until the program ended.
struct Trail {
    std::vector<std::wstring> texts;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD lastTextMs = 0;  // how long the last text stayed before the dialog went away
    std::wstring strayBox;
};

Trail FollowHeading(ui::Program& program, HWND dialog, DWORD ms) {
    Trail trail;
    HWND label = GetDlgItem(dialog, IDC_HEADING);
    DWORD start = GetTickCount(), changed = start;
    bool gone = false;
    for (int round = 0;; ++round) {
        if (!gone && IsWindow(dialog) && IsWindowVisible(dialog)) {
            std::wstring now = TextNow(label);
            if (trail.texts.empty() || now != trail.texts.back()) {
                trail.texts.push_back(now);
                changed = GetTickCount();
            }
        } else if (!gone) {
            gone = true;
            trail.lastTextMs = GetTickCount() - changed;
        }
        if (program.Wait(0, &trail.exitCode)) {
            trail.ended = true;
            if (!gone) trail.lastTextMs = GetTickCount() - changed;
            break;
        }
        if (round % 20 == 0) {
            HWND box = ui::WaitForMessageBox(program.pid(), 0, dialog);
            if (box) {
                Shot("stray-box");
                trail.strayBox = ui::MessageBoxText(box);
                break;
            }
        }
        if (GetTickCount() - start > ms) break;
        Sleep(5);
    }
    return trail;
}

// The texts of the run: the trail without the heading shown before the run began.
std::vector<std::wstring> RunTexts(const Trail& trail, const std::wstring& before) {
    std::vector<std::wstring> texts = trail.texts;
    if (!texts.empty() && texts.front() == before) texts.erase(texts.begin());
    return texts;
}

std::wstring Heading(HWND dialog) { return TextNow(GetDlgItem(dialog, IDC_HEADING)); }

// The shell's folder browser: a dialog of the process holding a tree view.
struct BrowserSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK VisitForBrowser(HWND window, LPARAM param) {
    BrowserSearch* s = reinterpret_cast<BrowserSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid || !IsWindowVisible(window)) return TRUE;
    wchar_t cls[64] = L"";
    GetClassNameW(window, cls, 64);
    if (lstrcmpW(cls, L"#32770") != 0 || !FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr)) return TRUE;
    s->found = window;
    return FALSE;
}

HWND WaitForBrowser(DWORD pid, DWORD ms) {
    BrowserSearch s{pid, nullptr};
    ui::WaitUntil([&] {
        EnumWindows(VisitForBrowser, reinterpret_cast<LPARAM>(&s));
        return s.found != nullptr;
    }, ms);
    return s.found;
}

struct ChildTextSearch {
    std::wstring text;
    bool found;
};

BOOL CALLBACK VisitForText(HWND child, LPARAM param) {
    ChildTextSearch* s = reinterpret_cast<ChildTextSearch*>(param);
    if (TextNow(child) == s->text) {
        s->found = true;
        return FALSE;
    }
    return TRUE;
}

bool HasChildWithText(HWND window, const std::wstring& text) {
    ChildTextSearch s{text, false};
    EnumChildWindows(window, VisitForText, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND TreeOf(HWND browser) { return FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr); }

bool HasSelection(HWND browser) {
    DWORD_PTR item = 0;
    SendMessageTimeoutW(TreeOf(browser), TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 1000, &item);
    return item != 0;
}

// Presses OK (or Cancel) and waits until the browser has gone.
bool AnswerBrowser(HWND browser, int button) {
    ui::Click(browser, button);
    return ui::WaitUntil([&] { return !IsWindow(browser) || !IsWindowVisible(browser); }, 5000);
}

void SetFieldText(HWND dialog, const wchar_t* text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, IDC_FOLDER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &result);
}

std::string ProgramsFolder() {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE);
    return path;
}

// A small product installed from a stage folder into C:\CmdApp.
std::string ProductScript(const std::string& extra = "") {
    return Lines({"[Setup]", "Name=Cmd Product", "[Root]", "Name=CmdApp", "[CopyFile]", "0=app.txt",
                  "[Check]", "Menu=2", "Copy=1", "Del=1"}) +
           extra;
}

// An install record beside its uninstaller: the stage folder plays the install folder.
std::string InstalledRecord(const stage::Folder& folder, const std::string& extra = "") {
    const std::string& dir = folder.dir();
    return Lines({"[Setup]", "Name=Cmd Product", "[Root]", "Name=CmdApp", "Named=" + dir, "[MakedDirectory]",
                  "0=" + dir, "1=" + dir + "\\data", "Count=2", "[CopiedFile]", "0=" + dir + "\\app.txt",
                  "1=" + dir + "\\data\\info.txt", "Count=2", "[Check]", "Menu=2", "Desktop=1", "Startup=1",
                  "Ext=1", "Send=1", "Copy=2", "Del=0", "[Menu]", "Name=Cmd Menu", "Named="}) +
           extra;
}

void PutInstalledFiles(const stage::Folder& folder) {
    folder.Put("app.txt", "installed app");
    folder.Put("data\\info.txt", "installed info");
}

const int kOptionControls[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO, IDC_LOCATION};

void PostCommand(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// After an uninstall run the program deletes its record, then a second process
// removes the executable and the emptied folder through a batch file.
void ExpectSelfRemoval(const stage::Folder& folder) {
    EXPECT_FALSE(stage::Exists(folder.Script())) << "the record should be deleted when the program ends";
    DWORD ended = GetTickCount();
    bool exeStayedAWhile = true;
    bool removed = ui::WaitUntil([&] {
        bool exeThere = stage::Exists(folder.Path("Setup.exe"));
        if (!exeThere && GetTickCount() - ended < 3000) exeStayedAWhile = false;
        return !exeThere && !stage::Exists(folder.dir()) && !stage::Exists("C:\\delus.bat");
    }, 30000, 100);
    if (!removed) Shot("self-removal");
    EXPECT_TRUE(removed) << "within 30 s: Setup.exe " << (stage::Exists(folder.Path("Setup.exe")) ? "still there" : "gone")
                         << ", folder " << (stage::Exists(folder.dir()) ? "still there" : "gone") << ", C:\\delus.bat "
                         << (stage::Exists("C:\\delus.bat") ? "still there" : "gone");
    EXPECT_TRUE(exeStayedAWhile) << "the removal process should wait about 5 s before it deletes the executable";
}

}  // namespace

// Picking a Start-menu location in the real browser writes [Menu] "Change"; the
// Escape key then cancels, which drops the pick and leaves [Menu] "Named" alone.
TEST(Commands, EscapeCancelsAndDropsAPickedMenuLocation) {
    std::string programs = ProgramsFolder();
    ASSERT_FALSE(programs.empty());
    // The only entry of the Programs folder that starts with Q, so that typing Q selects it.
    std::string earlier = programs + "\\Quiet Place";
    ASSERT_TRUE(stage::MakeFolders(earlier));
    stage::DeleteTree("C:\\CmdApp");
    stage::Folder folder("cancel");
    folder.Put("app.txt", "app");
    folder.WriteScript(ProductScript(Lines({"[Menu]", "Name=Cmd Menu", "Named=" + earlier})));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";
    ASSERT_TRUE(ui::Visible(dialog, IDC_LOCATION)) << "box 1004 with mode 2 should offer the location button";

    ui::Click(dialog, IDC_LOCATION);
    HWND browser = WaitForBrowser(program.pid(), 10000);
    ASSERT_TRUE(browser) << "no folder browser after the location button";
    Shot("menu-browser");
    EXPECT_TRUE(HasChildWithText(browser, Pick(L"Where \"Cmd Menu\" is ?", L"ﾒﾆｭｰ \"Cmd Menu\" の作成位置")))
        << "the browser should carry the location title";
    // Wine's first browser in a process often comes up without the initial selection,
    // so the folder is picked by typing its first letter into the tree, as a user may.
    PostMessageW(TreeOf(browser), WM_CHAR, L'Q', 1);
    ASSERT_TRUE(ui::WaitUntil([&] { return HasSelection(browser); }, 5000)) << "no folder selected in the browser";
    ASSERT_TRUE(AnswerBrowser(browser, IDOK)) << "the browser did not close on OK";
    std::string picked = earlier + "\\Cmd Menu";
    EXPECT_TRUE(ui::WaitUntil([&] { return IniValue(folder.Script(), "Menu", "Change") == picked; }, 5000))
        << "[Menu] \"Change\": expected " << picked << ", got " << IniValue(folder.Script(), "Menu", "Change");

    ui::Key(dialog, VK_ESCAPE);
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(program.Wait(15000, &code)) << "Escape did not end the program";
    EXPECT_EQ(0u, code);
    EXPECT_EQ("", IniValue(folder.Script(), "Menu", "Change")) << "Cancel should leave [Menu] \"Change\" empty";
    EXPECT_EQ(earlier, IniValue(folder.Script(), "Menu", "Named")) << "Cancel should leave [Menu] \"Named\" as it was";
    EXPECT_FALSE(stage::Exists("C:\\CmdApp")) << "a cancelled dialog installs nothing";
    stage::DeleteTree(earlier);
}

// The install-folder browser starts at the field's folder; what it returns gets the
// product's folder name appended unless it already ends with it; Cancel changes nothing.
TEST(Commands, BrowsingAppendsTheProductFolderOnce) {
    ASSERT_TRUE(stage::MakeFolders("C:\\Tools\\App"));
    stage::Folder folder("browse");
    folder.WriteScript(Lines({"[Setup]", "Name=Browse Product", "[Root]", "Name=App"}));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";

    struct Case {
        const wchar_t* start;
        int button;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Tools", IDOK, L"C:\\Tools\\App"},
        {L"C:\\Tools\\App", IDOK, L"C:\\Tools\\App"},
        {L"C:\\Tools", IDCANCEL, L"C:\\Tools"},
    };
    for (const Case& c : cases) {
        SetFieldText(dialog, c.start);
        ui::Click(dialog, IDC_BROWSE);
        HWND browser = WaitForBrowser(program.pid(), 10000);
        ASSERT_TRUE(browser) << "no folder browser after the browse button";
        EXPECT_TRUE(HasChildWithText(browser, Pick(L"Install to...", L"ｲﾝｽﾄｰﾙ先の指定")))
            << "the browser should carry the install-folder title";
        // The field's folder is the browser's initial selection.
        EXPECT_TRUE(ui::WaitUntil([&] { return HasSelection(browser); }, 5000)) << "no initial selection";
        ASSERT_TRUE(AnswerBrowser(browser, c.button)) << "the browser did not close";
        std::wstring got;
        ui::WaitUntil([&] { return (got = ui::ItemText(dialog, IDC_FOLDER)) == c.expected; }, 3000);
        EXPECT_EQ(Utf8(c.expected), Utf8(got)) << "field 1007 after browsing from " << Utf8(c.start)
                                               << (c.button == IDOK ? " and OK" : " and Cancel");
    }

    ui::Click(dialog, IDCANCEL);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(program.Wait(15000, &code)) << "Cancel did not end the program";
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(stage::Exists("C:\\Tools\\App\\Setup.exe")) << "browsing alone installs nothing";
    stage::DeleteTree("C:\\Tools");
}

// Enter runs the install: the progress texts follow each other in label 1013, the last
// one stays about a second, the program ends with 0, and without a picked location
// [Menu] "Named" is written empty.
TEST(Commands, EnterRunsTheInstallWithProgressInOrder) {
    stage::DeleteTree("C:\\CmdApp");
    stage::Folder folder("enter");
    folder.Put("app.txt", "app");
    folder.WriteScript(ProductScript(Lines({"[Menu]", "Name=Cmd Menu", "Named=C:\\Somewhere\\Old"})));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";
    EXPECT_EQ(Utf8(HeadingText()), Utf8(Heading(dialog))) << "label 1013 before the run";
    ui::Key(dialog, VK_RETURN);
    Trail trail = FollowHeading(program, dialog, kRunWait);

    ASSERT_TRUE(trail.strayBox.empty()) << "unexpected message box: " << Utf8(trail.strayBox);
    ASSERT_TRUE(trail.ended) << "the run did not end the program; label texts: " << Join(trail.texts);
    EXPECT_EQ(0u, trail.exitCode);
    std::vector<std::wstring> expected = {CopyingText(), SystemText(), CompletedText()};
    EXPECT_EQ(Join(expected), Join(RunTexts(trail, HeadingText()))) << "label 1013 texts in order";
    EXPECT_GE(trail.lastTextMs, 800u) << "the final text should stay about 1000 ms";
    EXPECT_EQ("", IniValue(folder.Script(), "Menu", "Named")) << "[Menu] \"Named\" after a run without a pick";
    EXPECT_EQ("app", stage::ReadFile("C:\\CmdApp\\app.txt")) << "the run should have copied the product";
    stage::DeleteTree("C:\\CmdApp");
}

// Two Run requests queued at once: the second arrives after the run has begun and
// does nothing, so the progress texts appear once.
TEST(Commands, SecondRunRequestRunsOnce) {
    stage::DeleteTree("C:\\CmdApp");
    stage::Folder folder("twice");
    folder.Put("app.txt", "app");
    folder.WriteScript(ProductScript());

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";
    EXPECT_EQ(Utf8(HeadingText()), Utf8(Heading(dialog))) << "label 1013 before the run";
    PostCommand(dialog, IDC_RUN);
    PostCommand(dialog, IDC_RUN);
    Trail trail = FollowHeading(program, dialog, 2 * kRunWait);

    ASSERT_TRUE(trail.strayBox.empty()) << "unexpected message box: " << Utf8(trail.strayBox);
    ASSERT_TRUE(trail.ended) << "the run did not end the program; label texts: " << Join(trail.texts);
    EXPECT_EQ(0u, trail.exitCode);
    std::vector<std::wstring> expected = {CopyingText(), SystemText(), CompletedText()};
    EXPECT_EQ(Join(expected), Join(RunTexts(trail, HeadingText()))) << "one run's texts, once";
    stage::DeleteTree("C:\\CmdApp");
}

// Installed state: the Uninstall box disables the option boxes and the location
// button and unchecking enables them again; Run with the box unchecked is an install
// run that copies nothing and removes nothing.
TEST(Commands, InstalledStateRunsTheInstallWhileUninstallIsUnchecked) {
    stage::Folder folder("installed");
    PutInstalledFiles(folder);
    folder.WriteScript(InstalledRecord(folder));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";
    ASSERT_FALSE(ui::Checked(dialog, IDC_COPY)) << "the Uninstall box starts unchecked";
    for (int id : kOptionControls) EXPECT_TRUE(ui::Enabled(dialog, id)) << "control " << id << " before any click";

    ui::Click(dialog, IDC_COPY);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::Checked(dialog, IDC_COPY); }, 3000));
    bool allOff = ui::WaitUntil([&] {
        for (int id : kOptionControls)
            if (ui::Enabled(dialog, id)) return false;
        return true;
    }, 3000);
    EXPECT_TRUE(allOff) << "checking Uninstall should disable the option boxes and the location button";
    for (int id : kOptionControls) EXPECT_FALSE(ui::Enabled(dialog, id)) << "control " << id << " while checked";
    Shot("uninstall-checked");

    ui::Click(dialog, IDC_COPY);
    EXPECT_TRUE(ui::WaitUntil([&] { return !ui::Checked(dialog, IDC_COPY); }, 3000));
    bool allOn = ui::WaitUntil([&] {
        for (int id : kOptionControls)
            if (!ui::Enabled(dialog, id)) return false;
        return true;
    }, 3000);
    EXPECT_TRUE(allOn) << "unchecking Uninstall should enable them again";
    for (int id : kOptionControls) EXPECT_TRUE(ui::Enabled(dialog, id)) << "control " << id << " after unchecking";

    EXPECT_EQ(Utf8(InstalledText()), Utf8(Heading(dialog))) << "label 1013 in the installed state";
    ui::Click(dialog, IDC_RUN);
    Trail trail = FollowHeading(program, dialog, kRunWait);
    ASSERT_TRUE(trail.strayBox.empty()) << "unexpected message box: " << Utf8(trail.strayBox);
    ASSERT_TRUE(trail.ended) << "the run did not end the program; label texts: " << Join(trail.texts);
    EXPECT_EQ(0u, trail.exitCode);
    std::vector<std::wstring> expected = {SystemText(), CompletedText()};
    EXPECT_EQ(Join(expected), Join(RunTexts(trail, InstalledText()))) << "an install record copies nothing, so no copying text";
    EXPECT_EQ("installed app", stage::ReadFile(folder.Path("app.txt"))) << "the install run removes nothing";
    EXPECT_EQ("installed info", stage::ReadFile(folder.Path("data\\info.txt"))) << "the install run removes nothing";
    EXPECT_TRUE(stage::Exists(folder.Path("Setup.exe")));
    // The end of an uninstall deletes the record before the program ends; an install run must not.
    EXPECT_TRUE(stage::Exists(folder.Script())) << "an install run must not delete the record";
    EXPECT_EQ("2", IniValue(folder.Script(), "CopiedFile", "Count")) << "the record's list stays";
}

// Installed state with the Uninstall box checked by a click: Run performs the
// uninstall with its texts, removes the recorded files, and the program then removes
// its record, itself and the emptied folder.
TEST(Commands, UninstallRunRemovesTheProductAndTheUninstaller) {
    stage::Folder folder("uninstall");
    PutInstalledFiles(folder);
    folder.WriteScript(InstalledRecord(folder));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";
    ui::Click(dialog, IDC_COPY);
    ASSERT_TRUE(ui::WaitUntil([&] { return !ui::Enabled(dialog, IDC_MENU); }, 3000)) << "Uninstall box not taken";
    EXPECT_EQ(Utf8(InstalledText()), Utf8(Heading(dialog))) << "label 1013 in the installed state";
    ui::Click(dialog, IDC_RUN);
    Trail trail = FollowHeading(program, dialog, kRunWait);

    ASSERT_TRUE(trail.strayBox.empty()) << "unexpected message box: " << Utf8(trail.strayBox);
    ASSERT_TRUE(trail.ended) << "the run did not end the program; label texts: " << Join(trail.texts);
    EXPECT_EQ(0u, trail.exitCode);
    std::vector<std::wstring> expected = {UnsetupText(), DeletingText(), UninstalledText()};
    EXPECT_EQ(Join(expected), Join(RunTexts(trail, InstalledText()))) << "label 1013 texts in order";
    EXPECT_GE(trail.lastTextMs, 800u) << "the final text should stay about 1000 ms";
    EXPECT_FALSE(stage::Exists(folder.Path("app.txt"))) << "recorded files are removed";
    EXPECT_FALSE(stage::Exists(folder.Path("data"))) << "recorded folders are removed";
    ExpectSelfRemoval(folder);
}

// Started with "uninstall" and [Del] "Checked" = 1, the uninstall starts by itself;
// both automatic start requests arrive, and the run still happens once.
TEST(Commands, UninstallArgumentRunsTheUninstallOnceByItself) {
    stage::Folder folder("auto-uninstall");
    PutInstalledFiles(folder);
    folder.WriteScript(InstalledRecord(folder, Lines({"[Del]", "Checked=1"})));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "uninstall", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(program.pid(), kDialogWait);
    ASSERT_TRUE(dialog) << "no main dialog";
    Trail trail = FollowHeading(program, dialog, 2 * kRunWait);

    ASSERT_TRUE(trail.strayBox.empty()) << "unexpected message box: " << Utf8(trail.strayBox);
    ASSERT_TRUE(trail.ended) << "the uninstall did not end the program; label texts: " << Join(trail.texts);
    EXPECT_EQ(0u, trail.exitCode);
    std::vector<std::wstring> expected = {UnsetupText(), DeletingText(), UninstalledText()};
    // The first look may come before or after the run has begun.
    EXPECT_EQ(Join(expected), Join(RunTexts(trail, InstalledText()))) << "one uninstall run's texts, once";
    EXPECT_FALSE(stage::Exists(folder.Path("app.txt"))) << "recorded files are removed";
    EXPECT_FALSE(stage::Exists(folder.Path("data\\info.txt"))) << "recorded files are removed";
    ExpectSelfRemoval(folder);
}
