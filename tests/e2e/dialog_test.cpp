// The set-up of the main dialog as a user sees it: labels, caption, install folder,
// the option boxes and the close-up of the rows left out, the installed and
// version-up states and the automatic run, read from the real Setup.exe.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "stage.h"
#include "ui_driver.h"
#include "res/resource.h"

namespace {

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr int kAllControls[] = {IDC_HEADING, IDC_FOLDER, IDC_BROWSE, IDC_MENU,         IDC_LOCATION,   IDC_SHORTCUT,
                                IDC_STARTUP, IDC_EXT,    IDC_SENDTO, IDC_COPY,         IDC_DELETE_AFTER, IDC_ICON_FRAME,
                                IDC_RUN,     IDC_CANCEL, IDC_README, IDC_FILE_GROUP};
constexpr int kLeftColumn[] = {IDC_MENU, IDC_SHORTCUT, IDC_STARTUP, IDC_EXT, IDC_SENDTO};

// Profile text with readable line ends turned into CRLF.
std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The box modes of Menu, Desktop, Startup, Ext, Send, Copy and Del, one digit each.
std::string CheckSection(const std::string& modes) {
    const char* keys[] = {"Menu", "Desktop", "Startup", "Ext", "Send", "Copy", "Del"};
    std::string out = "[Check]\n";
    for (int i = 0; i < 7; ++i) out += std::string(keys[i]) + "=" + modes[i] + "\n";
    return out;
}

std::string ProgramFilesDir() {
    std::string value;
    stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", &value);
    return value;
}

std::string WindowsFolder() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    return windows;
}

std::string ProductKey(const std::string& name) { return kUninstallKey + name; }
std::wstring W(const std::string& ansi) { return ui::Widen(ansi.c_str()); }
// Texts the program shows, by the code page it runs with.
std::wstring Pick(const wchar_t* english, const wchar_t* japanese) { return stage::Japanese() ? japanese : english; }

struct Session {
    explicit Session(const std::string& name) : folder(name) {}
    // The script the running program works on: its private copy while it runs from a
    // setup script, the record itself in the installed state.
    std::string Ini(const char* section, const char* key) const {
        std::string working = e2e::WorkingScript(program.pid());
        return stage::Ini(working.empty() ? folder.Script() : working, section, key);
    }
    void Cancel() {  // the program must then end with 0
        if (!dialog) return;
        ui::Click(dialog, IDC_CANCEL);
        DWORD code = 99;
        EXPECT_TRUE(program.Wait(15000, &code) && code == 0) << folder.dir() << ": exit code after Cancel " << code;
        dialog = nullptr;
    }
    stage::Folder folder;
    ui::Program program;
    HWND dialog = nullptr;
};

// One Setup.exe per script, each in its own staged folder, started five at a time so that
// their 2 s waits overlap without crowding the machine; the dialogs still open are
// cancelled at the end.
struct Batch : std::vector<std::unique_ptr<Session>> {
    Batch(const std::string& name, const std::vector<std::string>& scripts) {
        for (size_t first = 0; first < scripts.size(); first += 5) {
            for (size_t i = first; i < std::min(first + 5, scripts.size()); ++i) {
                emplace_back(new Session(name + "-" + std::to_string(i)));
                back()->folder.WriteScript(Crlf(scripts[i]));
                back()->program.Start(back()->folder.Path("Setup.exe"), "", back()->folder.dir());
            }
            for (size_t i = first; i < size(); ++i) Await(*at(i));
        }
    }
    void Await(Session& s) {
        DWORD code = 0;
        if ((s.dialog = ui::WaitForMainDialog(s.program.pid(), 30000))) return;
        bool ended = s.program.Wait(0, &code);
        missing += s.folder.dir() + (ended ? " ended with " + std::to_string(code) : " runs without a dialog") + "; ";
    }
    ~Batch() { CancelAll(); }
    void CancelAll() { for (auto& s : *this) s->Cancel(); }
    HWND dialog(size_t i) const { return at(i)->dialog; }
    std::string missing;  // the folders whose dialog did not open within 30 s
};

// Positions in a dialog that offers every row: the base the close-up is measured against.
const std::string kFullRows = "[Setup]\nName=Full Rows\n[Readme]\nDone=1\n" + CheckSection("1111111");
struct Layout {
    explicit Layout(HWND d) : window(ui::WindowRect(d)) {
        for (int id : kAllControls) items[id] = ui::ItemRect(d, id);
        pitch = Top(IDC_SHORTCUT) - Top(IDC_MENU);
    }
    int Top(int id) const { return items.at(id).top; }
    std::map<int, RECT> items;
    RECT window;
    int pitch;
};

// The left boxes move up one pitch per removed row above them, the buttons and the icon
// frame up by buttonsUp pitches (-1: not checked); the dialog gets `shorter` pitches
// shorter and keeps its top left corner and width.
void ExpectClosedUp(HWND d, const std::string& m, int shorter, int buttonsUp, const Layout& base) {
    int removed = 0;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ui::ItemRect(d, kLeftColumn[i]).top, base.Top(kLeftColumn[i]) - removed * base.pitch)
            << "top of box " << kLeftColumn[i] << " with " << removed << " removed rows above it";
        if (m[i] == '0' || m[i] == '3') ++removed;
    }
    for (int id : {IDC_RUN, IDC_CANCEL, IDC_README, IDC_ICON_FRAME}) {
        if (buttonsUp < 0) break;
        EXPECT_EQ(ui::ItemRect(d, id).top, base.Top(id) - buttonsUp * base.pitch)
            << "control " << id << " moves up by " << buttonsUp << " pitches of " << base.pitch;
    }
    RECT r = ui::WindowRect(d), b = base.window;
    EXPECT_EQ(r.bottom - r.top, b.bottom - b.top - shorter * base.pitch) << "dialog " << shorter << " pitches shorter";
    EXPECT_TRUE(r.left == b.left && r.top == b.top && r.right - r.left == b.right - b.left)
        << "the dialog keeps its top left corner and width";
}

bool HasFocus(HWND dialog, int id) {
    GUITHREADINFO info{sizeof info};
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    return GetGUIThreadInfo(thread, &info) && info.hwndFocus == GetDlgItem(dialog, id);
}

}  // namespace

TEST(DialogSetUp, SetupScriptGivesLabelsCaptionFolderAndReadmeButton) {
    const std::string pf = ProgramFilesDir(), windows = WindowsFolder(), drive = windows.substr(0, 3);
    const std::string longName(300, 'N'), longFolder(300, 'x');
    // The 259 characters read from [Root] Name, expanded and cut to the 260-byte path buffer.
    const std::string cut = (pf + "\\" + longFolder.substr(0, 259 - 11)).substr(0, 259);
    const std::wstring installer = Pick(L"Installer", L"インストーラー");
    auto named = [](const std::string& name, const std::string& root) {
        return "[Setup]\nName=" + name + "\n[Root]\nName=" + root + "\n";
    };
    struct Case { std::string script; std::wstring caption; std::string folder, rootAfter; std::wstring group; };
    std::vector<Case> cases = {
        // The built program as icon file, so that the dialog has its icon.
        {named("Sample Tool 1.0", "%programs%\\Sample Tool") + "[Desktop]\nIcon=" + stage::SetupExePath() +
             "\n[CopyFile]\nSelf=%root%\\tools\\Helper.exe\n",
         L"Sample Tool 1.0", pf + "\\Sample Tool", "Sample Tool", L"Helper.exe"},
        {"", L"Install", drive, "", installer},
        {named("Foo", "Foo"), L"Foo", drive + "Foo", "Foo", installer},
        {named("Foo", "%Windows%\\Apps\\Foo"), L"Foo", windows + "\\Apps\\Foo", "Foo", installer},
        {named(longName, "%programs%\\" + longFolder), W(longName.substr(0, 259)), cut, cut.substr(cut.rfind('\\') + 1),
         installer},
        // Registered, yet no earlier install: no backslash, or too long for the 260-byte buffer.
        {named("NoBsApp", "%programs%\\NoBsApp"), L"NoBsApp", pf + "\\NoBsApp", "NoBsApp", installer},
        {named("LongUn", "%programs%\\LongUn"), L"LongUn", pf + "\\LongUn", "LongUn", installer},
    };
    // The second byte of the first character is 0x5C in code page 932: not a separator.
    if (stage::Japanese()) cases.push_back({named("Foo", "%programs%\\表示"), L"Foo", pf + "\\表示", "表示", installer});
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("Foo").c_str());
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, ProductKey("NoBsApp").c_str(), "UninstallString", "Setup.exe"));
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, ProductKey("LongUn").c_str(), "UninstallString",
                                    ("C:\\" + std::string(400, 'u') + "\\Setup.exe").c_str()));
    // The ReadMe button by [Readme] Done and [Go] Agree, one of these a row.
    const struct { const char* readme; bool shown; const char* doneAfter; } readmes[] = {
        {"Done=1\n", true, "1"}, {"Done=0\n", false, "0"}, {"Done=3\n", true, "3"},
        {"Done=3\n[Go]\nAgree=1\n", false, "1"}, {"Done=0\n[Go]\nAgree=1\n", false, "1"}};
    std::vector<std::string> scripts;
    for (const Case& c : cases)
        scripts.push_back(c.script + "[Readme]\n" + readmes[scripts.size() % 5].readme + CheckSection("2211111"));
    Batch b("labels", scripts);
    ASSERT_EQ(b.missing, "") << "no main dialog";
    const struct { int id; const wchar_t *english, *japanese; } labels[] = {
        {IDC_HEADING, L"&Folder to install...", L"(&F)インストール先"}, {IDC_MENU, L"&Menu", L"(&M)メニューに登録"},
        {IDC_SHORTCUT, L"Short&Cut", L"(&C)ショートカットを作成"},     {IDC_STARTUP, L"&Startup", L"(&S)スタートアップに登録"},
        {IDC_EXT, L"Relate to &Ext.", L"(&E)関連付けを行う"},      {IDC_SENDTO, L"Send &To", L"(&T)「送る」に登録する"},
        {IDC_COPY, L"Co&py", L"(&P)コピー"},                        {IDC_DELETE_AFTER, L"&Delete after...", L"(&D)終了後に削除"},
        {1, L"OK", L"実行"}, {2, L"Cancel", L"中止"},           {3, L"Readme", L"説明を読む"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const auto& readme = readmes[i % 5];
        SCOPED_TRACE(c.script.substr(0, 80) + "\n[Readme] " + readme.readme);
        HWND d = b.dialog(i);
        for (const auto& label : labels)
            EXPECT_EQ(ui::ItemText(d, label.id), Pick(label.english, label.japanese))
                << "text of control " << label.id
                << (stage::Japanese() ? " (OEM code page 932 not inherited by Setup.exe?)" : " (code page not 932)");
        EXPECT_EQ(ui::Text(d), c.caption) << "caption from [Setup] Name";
        EXPECT_EQ(ui::ItemText(d, IDC_FOLDER), W(c.folder)) << "default install folder";
        EXPECT_EQ(b[i]->Ini("Root", "Name"), c.rootAfter) << "[Root] Name in the script";
        EXPECT_EQ(ui::ItemText(d, IDC_FILE_GROUP), c.group) << "FILE group caption: the file name of [CopyFile] Self";
        for (int id : kAllControls)
            EXPECT_EQ(ui::Visible(d, id), id == IDC_README ? readme.shown : id != IDC_ICON_FRAME)
                << "visibility of control " << id;
        EXPECT_EQ(b[i]->Ini("Readme", "Done"), readme.doneAfter) << "[Readme] Done in the script";
        EXPECT_TRUE(ui::Enabled(d, IDC_RUN) && !ui::ReadOnly(d, IDC_FOLDER)) << "OK enabled, the folder editable";
        EXPECT_FALSE(GetWindowLongW(d, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the dialog is not topmost";
    }
    for (size_t i = 1; i < b.size(); ++i) b[i]->Cancel();
    // A dialog in the background reports no focus: the one left is brought to the front, where the
    // focus it had is given back to it.
    SetForegroundWindow(b.dialog(0));
    EXPECT_TRUE(ui::WaitUntil([&] { return HasFocus(b.dialog(0), IDC_RUN); }, 3000)) << "the focus is on button 1";
    ui::WaitForScreenPaint();  // where the cancelled dialogs were
    ui::SaveScreenshot(stage::ArtifactPath(stage::Japanese() ? "dialog-ja.bmp" : "dialog-en.bmp"));
    b.CancelAll();
    // Opened, never created: looking for an earlier install must not leave an empty key.
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, ProductKey("Foo").c_str())) << ProductKey("Foo");
}

TEST(DialogSetUp, BoxModesShowCheckAndCloseUpTheRowsWithinTheShrinkLimit) {
    struct Case {
        const char* modes;
        int n;             // rows the buttons move up and the dialog gets shorter
        int deleteBoxUp;   // pitches box 1010 moves up
        int groupShorter;  // pitches the FILE group gets shorter
        bool groupVisible;
    } cases[] = {
        // Over these four every box meets every mode once.
        {"0123002", 3, 1, 1, true}, {"1230113", 2, 0, 1, true},
        {"2301220", 2, 0, 1, true}, {"3012331", 3, 1, 1, true},
        {"4444444", 0, 0, 0, false},  // no mode at all: shown as the template has them
        // Every left row gone: n is the shrink limit, set by the FILE group.
        {"3000011", 2, 0, 0, true}, {"3000001", 3, 1, 1, true},
        {"3000023", 3, 0, 1, true}, {"3000003", 5, 1, 2, false},
    };
    std::vector<std::string> scripts;
    for (const Case& c : cases) scripts.push_back("[Setup]\nName=Modes\n[Readme]\nDone=1\n" + CheckSection(c.modes));
    scripts.push_back(kFullRows);
    Batch b("modes", scripts);
    ASSERT_EQ(b.missing, "") << "no main dialog";
    const Layout base(b.dialog(scripts.size() - 1));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string m = c.modes;
        HWND d = b.dialog(i);
        SCOPED_TRACE("modes " + m);
        auto expectBox = [&](int id, int mode) {
            EXPECT_EQ(ui::Visible(d, id), mode == 1 || mode == 2 || mode == 4) << "box " << id << ", mode " << mode;
            EXPECT_EQ(ui::Checked(d, id), mode == 2 || mode == 3) << "box " << id << " checked, mode " << mode;
        };
        for (int j = 0; j < 5; ++j) expectBox(kLeftColumn[j], m[j] - '0');
        expectBox(IDC_COPY, m[5] - '0');
        expectBox(IDC_DELETE_AFTER, m[6] - '0');
        EXPECT_EQ(ui::Visible(d, IDC_LOCATION), m[0] == '2' || m[0] == '4') << "location button, Menu mode " << m[0];
        ExpectClosedUp(d, m, c.n, c.n, base);
        EXPECT_EQ(ui::ItemRect(d, IDC_COPY).top, base.Top(IDC_COPY)) << "box 1009 stays";
        EXPECT_EQ(ui::ItemRect(d, IDC_DELETE_AFTER).top, base.Top(IDC_DELETE_AFTER) - c.deleteBoxUp * base.pitch)
            << "top of box 1010";
        RECT group = ui::ItemRect(d, IDC_FILE_GROUP), full = base.items.at(IDC_FILE_GROUP);
        EXPECT_EQ(group.top, full.top) << "the FILE group keeps its top";
        EXPECT_EQ(group.bottom - group.top, full.bottom - full.top - c.groupShorter * base.pitch) << "group height";
        EXPECT_EQ(ui::Visible(d, IDC_FILE_GROUP), c.groupVisible) << "FILE group visible";
    }
}

TEST(DialogSetUp, InstallRecordOpensInTheInstalledState) {
    const std::string record =
        "[Setup]\nName=Installed App\nAuto=1\n[Root]\nName=%programs%\\InstApp\nNamed=C:\\Program Files\\InstApp\n"
        "[CopiedFile]\nCount=2\n0=C:\\Program Files\\InstApp\\a.txt\n1=C:\\Program Files\\InstApp\\b.txt\n"
        "[Readme]\nDone=1\n";
    const std::string noRows = "0000032", allRows = "1111111";
    // Copy 3 and Del 2 are rewritten to 1 and 0 before the boxes are set up.
    Batch b("installed", {record + CheckSection(noRows), record + "[Del]\nChecked=1\n" + CheckSection(allRows),
                          record + "[Del]\nChecked=1\nAuto=1\n" + CheckSection(allRows), kFullRows});
    ASSERT_EQ(b.missing, "") << "no main dialog";
    const Layout base(b.dialog(3));
    HWND d = b.dialog(0);
    EXPECT_EQ(ui::ItemText(d, IDC_HEADING), Pick(L"Installed", L"インストール済です．")) << "heading";
    EXPECT_EQ(ui::ItemText(d, IDC_COPY), Pick(L"Uninstall", L"アンインストール")) << "box 1009 becomes the Uninstall box";
    RECT box = ui::ItemRect(d, IDC_COPY), menu = base.items.at(IDC_MENU), copy = base.items.at(IDC_COPY);
    EXPECT_TRUE(box.top == menu.top && box.bottom == menu.bottom) << "the Uninstall box takes the Menu row";
    EXPECT_TRUE(box.left == copy.left && box.right == copy.right) << "the Uninstall box keeps its left edge and width";
    EXPECT_TRUE(ui::Visible(d, IDC_COPY) && !ui::Checked(d, IDC_COPY)) << "offered, unchecked without [Del] Checked";
    EXPECT_FALSE(ui::Visible(d, IDC_DELETE_AFTER)) << "box 1010 is left out ([Check] Del rewritten to 0)";
    EXPECT_FALSE(ui::Visible(d, IDC_FILE_GROUP) || ui::Visible(d, IDC_BROWSE))
        << "the FILE group and the browse button are hidden";
    EXPECT_TRUE(ui::ReadOnly(d, IDC_FOLDER)) << "the folder field is read-only";
    EXPECT_EQ(b[0]->Ini("Setup", "Auto"), "0") << "an installed copy never runs by itself";
    EXPECT_EQ(b[0]->Ini("Check", "Copy"), "1") << "[Check] Copy of the record";
    EXPECT_EQ(b[0]->Ini("Check", "Del"), "0") << "[Check] Del of the record";
    // Five rows removed, but an installed copy shrinks by at most four.
    ExpectClosedUp(d, noRows, 4, 4, base);
    EXPECT_TRUE(ui::Visible(d, IDC_RUN) && ui::Visible(d, IDC_CANCEL))
        << "the buttons are shown although the record had Auto=1";
    EXPECT_TRUE(ui::Checked(b.dialog(1), IDC_COPY)) << "[Del] Checked=1 checks the Uninstall box";
    EXPECT_FALSE(ui::Checked(b.dialog(2), IDC_COPY)) << "[Del] Checked is not used when [Del] Auto is set";
    Sleep(1500);
    EXPECT_TRUE(IsWindowVisible(d) && IsWindowVisible(b.dialog(1))) << "no run starts by itself in the installed state";
    b.CancelAll();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(stage::Exists(b[i]->folder.Path("Setup.exe")) && stage::Exists(b[i]->folder.Script()))
            << b[i]->folder.dir() << ": Cancel in the installed state removes nothing";
}

TEST(DialogSetUp, RegisteredEarlierInstallGivesVersionUp) {
    const std::string earlier = "C:\\Earlier\\VerApp";
    stage::DeleteTree("C:\\Earlier");
    ASSERT_TRUE(stage::WriteFile(earlier + "\\Setup.ini",
                                 Crlf("[Setup]\nName=VerApp 1.0\n[Root]\nName=VerApp\nNamed=" + earlier + "\n"
                                      "[Menu]\nName=VerApp\nNamed=Old Place\\VerApp\n"
                                      "[Check]\nMenu=0\nDesktop=2\nStartup=1\nExt=0\nSend=2\n"
                                      "[CopiedFile]\nCount=1\n0=" + earlier + "\\a.txt\n")));
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, ProductKey("VerApp").c_str(), "UninstallString",
                                    (earlier + "\\Setup.exe uninstall").c_str()));
    // A quoted command, as registrations are written now: the quotes are no part of the
    // folder, which holds the install record that makes it an earlier install.
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, ProductKey("QuoteApp").c_str(), "UninstallString",
                                    "\"C:\\Earlier\\Quote App\\Setup.exe\" uninstall"));
    ASSERT_TRUE(stage::WriteFile("C:\\Earlier\\Quote App\\Setup.ini", Crlf("[CopiedFile]\nCount=1\n")));
    // Looked up by the last part of [Root] Name only.
    Batch b("verup", {"[Setup]\nName=VerApp 2.0\n[Root]\nName=%programs%\\Vendor\\VerApp\n[Menu]\nName=VerApp\n" +
                          CheckSection("1123011"),
                      "[Setup]\nName=QuoteApp\n[Root]\nName=QuoteApp\n"});
    ASSERT_EQ(b.missing, "") << "no main dialog";
    HWND d = b.dialog(0);
    EXPECT_EQ(ui::ItemText(d, IDC_HEADING), Pick(L"&Folder to version up", L"(&F)バージョンアップ先")) << "heading";
    EXPECT_EQ(ui::ItemText(d, IDC_FOLDER), W(earlier)) << "the folder of the earlier install";
    EXPECT_FALSE(ui::ReadOnly(d, IDC_FOLDER)) << "a version-up folder can still be changed";
    EXPECT_EQ(b[0]->Ini("Root", "Name"), "VerApp") << "[Root] Name cut to its last part";
    EXPECT_EQ(b[0]->Ini("Menu", "Change"), "Old Place\\VerApp") << "the earlier menu location is offered again";
    // Modes 1 and 2 follow the earlier choice; 0 and 3 stay.
    EXPECT_TRUE(ui::Visible(d, IDC_MENU) && !ui::Checked(d, IDC_MENU)) << "Menu: earlier 0, offered unchecked";
    EXPECT_FALSE(ui::Visible(d, IDC_LOCATION)) << "Menu unchecked: no location button";
    EXPECT_TRUE(ui::Visible(d, IDC_SHORTCUT) && ui::Checked(d, IDC_SHORTCUT)) << "ShortCut: mode 1, earlier 2, checked";
    EXPECT_TRUE(ui::Visible(d, IDC_STARTUP) && !ui::Checked(d, IDC_STARTUP)) << "Startup: mode 2, earlier 1, unchecked";
    EXPECT_TRUE(!ui::Visible(d, IDC_EXT) && ui::Checked(d, IDC_EXT)) << "Ext: mode 3 stays forced";
    EXPECT_TRUE(!ui::Visible(d, IDC_SENDTO) && !ui::Checked(d, IDC_SENDTO)) << "SendTo: mode 0 stays left out";
    EXPECT_EQ(ui::ItemText(b.dialog(1), IDC_FOLDER), L"C:\\Earlier\\Quote App") << "a quoted command's folder";
    EXPECT_EQ(ui::ItemText(b.dialog(1), IDC_HEADING), Pick(L"&Folder to version up", L"(&F)バージョンアップ先"));
    b.CancelAll();
    EXPECT_EQ(b[0]->Ini("Menu", "Change"), "") << "Cancel drops the offered menu location";
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("QuoteApp").c_str());
}

TEST(DialogSetUp, AutoRunHidesTheButtonsAndRunsWithoutAClick) {
    const std::string installFolder = WindowsFolder().substr(0, 3) + "AutoApp";
    stage::DeleteTree(installFolder);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("AutoApp").c_str());
    const std::string modes = "0111111";  // one row removed: n = 1
    Batch b("auto", {"[Setup]\nName=Auto App\nAuto=1\n[Root]\nName=AutoApp\n[Readme]\nDone=1\n[CopyFile]\n" +
                     CheckSection(modes), kFullRows});
    ASSERT_EQ(b.missing, "") << "the dialog of an automatic run must still show";
    const Layout base(b.dialog(1));
    for (int id : {IDC_RUN, IDC_CANCEL, IDC_README, IDC_ICON_FRAME, IDC_BROWSE})
        EXPECT_FALSE(ui::Visible(b.dialog(0), id)) << "control " << id << " is hidden";
    ExpectClosedUp(b.dialog(0), modes, 2, -1, base);  // one row removed plus one more for the buttons
    DWORD code = 99;
    ASSERT_TRUE(b[0]->program.Wait(60000, &code)) << "the automatic run must end the program by itself";
    b[0]->dialog = nullptr;
    EXPECT_EQ(code, 0u) << "exit code after the automatic run";
    EXPECT_TRUE(stage::Exists(installFolder + "\\Setup.ini")) << "the run placed the install record";
    EXPECT_EQ(stage::Ini(installFolder + "\\Setup.ini", "Root", "Named"), installFolder)
        << "the run took the dialog's install folder";
    EXPECT_EQ(b[0]->Ini("Root", "Named"), "") << "the shipped script stays as shipped";
}

// An agreement opened at once with a [Desktop] Icon that is not there as written: once
// agreed, the main dialog follows with the program's own icon (the missing icon once left
// the program spinning without a dialog).
TEST(DialogSetUp, AnIconNotThereGivesTheProgramsOwnAfterTheAgreement) {
    const char* icons[] = {"missing.exe", "%root%notepadlite.exe", "Setup.exe"};
    std::vector<std::unique_ptr<Session>> sessions;
    for (const char* icon : icons) {
        sessions.emplace_back(new Session("icon-" + std::to_string(sessions.size())));
        Session& s = *sessions.back();
        s.folder.Put("license.txt", "Licence terms");
        s.folder.WriteScript(Crlf(std::string("[Setup]\nName=Icon App\n[Root]\nName=IconApp\n[Go]\nAgree=1\n") +
                                  "[Readme]\nDone=2\nFile=license.txt\n[Desktop]\nName=Icon App\nIcon=" + icon + "\n"));
        ASSERT_TRUE(s.program.Start(s.folder.Path("Setup.exe"), "", s.folder.dir()));
    }
    for (size_t i = 0; i < sessions.size(); ++i) {
        SCOPED_TRACE(icons[i]);
        Session& s = *sessions[i];
        HWND readme = ui::WaitForReadmeDialog(s.program.pid(), 30000);
        ASSERT_TRUE(readme) << "no agreement";
        ui::Click(readme, IDC_README_BUTTON1);  // I agree
        s.dialog = ui::WaitForMainDialog(s.program.pid(), 15000);
        ASSERT_TRUE(s.dialog) << "no main dialog after agreeing";
        // The dialog draws its icon at the hidden frame 1018: some pixels there differ
        // from the dialog's face.
        SetForegroundWindow(s.dialog);
        RECT frame = ui::ItemRect(s.dialog, IDC_ICON_FRAME);
        POINT corner{frame.left, frame.top};
        ClientToScreen(s.dialog, &corner);
        EXPECT_TRUE(ui::WaitUntil([&] {
            HDC screen = GetDC(nullptr);
            COLORREF face = GetSysColor(COLOR_BTNFACE);
            int drawn = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) drawn += GetPixel(screen, corner.x + x, corner.y + y) != face;
            ReleaseDC(nullptr, screen);
            return drawn > 20;
        }, 5000)) << "no icon drawn at the icon frame";
        e2e::Shot(std::string("icon-after-agreement-") + std::to_string(i));
        s.Cancel();
    }
}
