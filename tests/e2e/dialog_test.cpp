// The set-up of the main dialog as a user sees it: labels, caption, install folder,
// the option boxes and how the dialog closes up the rows it leaves out, the
// installed and version-up states and the automatic run, read from the real
// Setup.exe started from staged folders.
#include <gtest/gtest.h>
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "stage.h"
#include "ui_driver.h"

namespace {

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr int kAllControls[] = {1013, 1007, 1008, 1004, 1021, 1006, 1005, 1011,
                                1012, 1009, 1010, 1018, 1,    2,    3,    1022};
constexpr int kLeftColumn[] = {1004, 1006, 1005, 1011, 1012};
constexpr const char* kLeftKeys[] = {"Menu", "Desktop", "Startup", "Ext", "Send"};
constexpr int kBottomControls[] = {1, 2, 3, 1018};

// Profile text with readable line ends turned into CRLF.
std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct Modes {
    int left[5];
    int copy, del;
};

std::string CheckSection(const Modes& m) {
    std::string out = "[Check]\n";
    for (int i = 0; i < 5; ++i) out += std::string(kLeftKeys[i]) + "=" + std::to_string(m.left[i]) + "\n";
    out += "Copy=" + std::to_string(m.copy) + "\nDel=" + std::to_string(m.del) + "\n";
    return out;
}

std::string ProgramFilesDir() {
    std::string value;
    stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                        &value);
    return value;
}

std::string SystemDriveRoot() {
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system).substr(0, 3);
}

std::string WindowsFolder() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    return windows;
}

std::string ProductKey(const std::string& name) { return std::string(kUninstallKey) + "\\" + name; }

std::wstring W(const std::string& ansi) { return ui::Widen(ansi.c_str()); }

// Texts the program shows, by the code page it runs with.
std::wstring Pick(const wchar_t* english, const wchar_t* japanese) { return stage::Japanese() ? japanese : english; }

// One Setup.exe in its own staged folder, with its main dialog once it is up.
struct Session {
    Session(const std::string& name, const std::string& script) : folder(name) { folder.WriteScript(Crlf(script)); }
    bool Start(const std::string& args = "") { return program.Start(folder.Path("Setup.exe"), args, folder.dir()); }
    HWND Await(DWORD ms = 20000) { return dialog = ui::WaitForMainDialog(program.pid(), ms); }
    std::string Ini(const char* section, const char* key) const { return stage::Ini(folder.Script(), section, key); }
    // Cancel, then the program must end with 0.
    void Cancel() {
        if (!dialog) return;
        ui::Click(dialog, 2);
        DWORD code = 99;
        EXPECT_TRUE(program.Wait(15000, &code)) << folder.dir() << ": Cancel must end the program";
        EXPECT_EQ(code, 0u) << folder.dir() << ": exit code after Cancel";
    }

    stage::Folder folder;
    ui::Program program;
    HWND dialog = nullptr;
};

using Sessions = std::vector<std::unique_ptr<Session>>;

// Starts every session at once and waits for all dialogs: the 2 s waits overlap.
bool OpenAll(Sessions& sessions) {
    for (auto& s : sessions)
        if (!s->Start()) return false;
    bool all = true;
    for (auto& s : sessions) {
        if (!s->Await()) {
            ADD_FAILURE() << s->folder.dir() << ": no main dialog within 20 s";
            all = false;
        }
    }
    return all;
}

void CancelAll(Sessions& sessions) {
    for (auto& s : sessions) s->Cancel();
}

// Positions of a dialog in which every row is offered: the base the close-up is measured against.
struct Layout {
    std::map<int, RECT> items;
    RECT window{};
    int pitch = 0;
    int Top(int id) const { return items.at(id).top; }
    int Height() const { return window.bottom - window.top; }
};

const Layout& FullLayout() {
    static Layout layout;
    static bool measured = false;
    if (measured) return layout;
    measured = true;
    Session s("layout-full", "[Setup]\nName=Full Rows\n[Root]\nName=FullRows\n[Readme]\nDone=1\n" +
                                 CheckSection({{1, 1, 1, 1, 1}, 1, 1}));
    if (!s.Start() || !s.Await()) {
        ADD_FAILURE() << "the dialog with every row did not open";
        return layout;
    }
    for (int id : kAllControls) layout.items[id] = ui::ItemRect(s.dialog, id);
    layout.window = ui::WindowRect(s.dialog);
    layout.pitch = layout.Top(1006) - layout.Top(1004);
    s.Cancel();
    return layout;
}

int RemovedAbove(const Modes& m, int row) {
    int removed = 0;
    for (int i = 0; i < row; ++i)
        if (m.left[i] == 0 || m.left[i] == 3) ++removed;
    return removed;
}

// The boxes of the left column each move up one pitch for every removed row above them.
void ExpectLeftColumnClosedUp(HWND dialog, const Modes& m, const Layout& base) {
    for (int i = 0; i < 5; ++i) {
        int expected = base.Top(kLeftColumn[i]) - RemovedAbove(m, i) * base.pitch;
        EXPECT_EQ(ui::ItemRect(dialog, kLeftColumn[i]).top, expected)
            << "top of box " << kLeftColumn[i] << " (" << RemovedAbove(m, i) << " removed rows above it)";
    }
}

// Buttons and icon frame up by n pitches, the dialog n pitches shorter, top left corner kept.
void ExpectShortenedBy(HWND dialog, int rows, int buttonRows, const Layout& base) {
    for (int id : kBottomControls)
        EXPECT_EQ(ui::ItemRect(dialog, id).top, base.Top(id) - buttonRows * base.pitch)
            << "control " << id << " moves up by " << buttonRows << " pitches of " << base.pitch;
    RECT r = ui::WindowRect(dialog);
    EXPECT_EQ(r.bottom - r.top, base.Height() - rows * base.pitch)
        << "dialog height: " << rows << " pitches of " << base.pitch << " shorter than " << base.Height();
    EXPECT_EQ(r.left, base.window.left) << "the dialog keeps its left edge";
    EXPECT_EQ(r.top, base.window.top) << "the dialog keeps its top edge";
    EXPECT_EQ(r.right - r.left, base.window.right - base.window.left) << "the dialog keeps its width";
}

bool HasFocus(HWND dialog, int id) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    return GetGUIThreadInfo(thread, &info) && info.hwndFocus == GetDlgItem(dialog, id);
}

struct Label {
    int id;
    const wchar_t* english;
    const wchar_t* japanese;
};
const Label kLabels[] = {
    {1013, L"&Folder to install...", L"(&F)インストール先"},
    {1004, L"&Menu", L"(&M)メニューに登録"},
    {1006, L"Short&Cut", L"(&C)ショートカットを作成"},
    {1005, L"&Startup", L"(&S)スタートアップに登録"},
    {1011, L"Relate to &Ext.", L"(&E)関連付けを行う"},
    {1012, L"Send &To", L"(&T)「送る」に登録する"},
    {1009, L"Co&py", L"(&P)コピー"},
    {1010, L"&Delete after...", L"(&D)終了後に削除"},
    {1, L"OK", L"実行"},
    {2, L"Cancel", L"中止"},
    {3, L"Readme", L"説明を読む"},
};

}  // namespace

TEST(DialogSetUp, LabelsFollowTheCodePageAndCaptionComesFromTheScript) {
    Sessions sessions;
    sessions.emplace_back(new Session("labels", ""));
    Session& full = *sessions.back();
    // Rewritten with the staged program as icon file, so the dialog has its icon.
    full.folder.WriteScript(Crlf("[Setup]\nName=Sample Tool 1.0\n[Root]\nName=%programs%\\Sample Tool\n"
                                 "[Desktop]\nIcon=" + full.folder.Path("Setup.exe") + "\n"
                                 "[CopyFile]\nSelf=%root%\\tools\\Helper.exe\n[Readme]\nDone=1\n" +
                                 CheckSection({{2, 2, 1, 1, 1}, 1, 1})));
    sessions.emplace_back(new Session("labels-nameless", "[Check]\nCopy=1\nDel=1\n"));
    Session& nameless = *sessions.back();
    ASSERT_TRUE(OpenAll(sessions));

    HWND d = full.dialog;
    EXPECT_EQ(ui::ItemText(d, 1013), Pick(kLabels[0].english, kLabels[0].japanese))
        << (stage::Japanese() ? "the test runs with OEM code page 932, so Setup.exe started from it must show the "
                                "Japanese template texts (it did not inherit code page 932?)"
                              : "with a code page other than 932 the labels are English");
    for (const Label& label : kLabels)
        EXPECT_EQ(ui::ItemText(d, label.id), Pick(label.english, label.japanese)) << "text of control " << label.id;
    EXPECT_EQ(ui::Text(d), L"Sample Tool 1.0") << "caption from [Setup] Name";
    EXPECT_EQ(ui::ItemText(d, 1022), L"Helper.exe") << "FILE group caption: the file name of [CopyFile] Self";
    EXPECT_EQ(ui::ItemText(d, 1007), W(ProgramFilesDir() + "\\Sample Tool")) << "install folder";
    for (int id : kAllControls)
        EXPECT_EQ(ui::Visible(d, id), id != 1018) << "visibility of control " << id << " with every row offered";
    EXPECT_TRUE(ui::Checked(d, 1004) && ui::Checked(d, 1006)) << "mode 2 boxes are checked";
    EXPECT_TRUE(ui::Enabled(d, 1)) << "OK is enabled";
    EXPECT_TRUE(ui::WaitUntil([&] { return HasFocus(d, 1); }, 2000)) << "the focus is on button 1";
    EXPECT_FALSE(GetWindowLongW(d, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the dialog is not topmost";

    HWND n = nameless.dialog;
    EXPECT_EQ(ui::Text(n), L"Install") << "caption without [Setup] Name";
    EXPECT_EQ(ui::ItemText(n, 1022), Pick(L"Installer", L"インストーラー")) << "FILE group caption without Self";
    EXPECT_EQ(ui::ItemText(n, 1007), W(SystemDriveRoot())) << "without [Root] Name the folder is the system drive's root";
    EXPECT_EQ(nameless.Ini("Root", "Name"), "") << "no [Root] Name is written when there was none";
    nameless.Cancel();

    Sleep(300);  // let the cancelled dialog's area repaint
    ui::SaveScreenshot(stage::ArtifactPath(stage::Japanese() ? "dialog-ja.bmp" : "dialog-en.bmp"));
    full.Cancel();
}

TEST(DialogSetUp, DefaultFolderComesFromRootNameWhichIsCutToItsLastPart) {
    struct Case {
        const char* rootName;
        std::string folder;
        const char* rewritten;
    };
    std::vector<Case> cases = {
        {"%programs%\\Foo", ProgramFilesDir() + "\\Foo", "Foo"},
        {"Foo", SystemDriveRoot() + "Foo", "Foo"},
        {"%Windows%\\Apps\\Foo", WindowsFolder() + "\\Apps\\Foo", "Foo"},
    };
    // The second byte of the first character is 0x5C in code page 932: not a separator.
    if (stage::Japanese()) cases.push_back({"%programs%\\表示", ProgramFilesDir() + "\\表示", "表示"});
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("Foo").c_str());
    Sessions sessions;
    for (const Case& c : cases)
        sessions.emplace_back(new Session("folder-" + std::to_string(sessions.size()),
                                          std::string("[Setup]\nName=Foo\n[Root]\nName=") + c.rootName + "\n"));
    ASSERT_TRUE(OpenAll(sessions));
    for (size_t i = 0; i < sessions.size(); ++i) {
        SCOPED_TRACE(std::string("[Root] Name ") + cases[i].rootName);
        HWND d = sessions[i]->dialog;
        EXPECT_EQ(ui::ItemText(d, 1007), W(cases[i].folder)) << "default install folder";
        EXPECT_EQ(sessions[i]->Ini("Root", "Name"), cases[i].rewritten) << "[Root] Name in the script";
        EXPECT_EQ(ui::ItemText(d, 1013), Pick(L"&Folder to install...", L"(&F)インストール先"))
            << "no earlier install";
        EXPECT_FALSE(ui::ReadOnly(d, 1007)) << "the folder can be edited";
        EXPECT_TRUE(ui::Visible(d, 1008)) << "the folder can be browsed";
    }
    CancelAll(sessions);
    EXPECT_FALSE(stage::RegKeyExists(HKEY_LOCAL_MACHINE, ProductKey("Foo").c_str()))
        << "looking for an earlier install must not leave an empty key " << ProductKey("Foo");
}

TEST(DialogSetUp, BoxModesShowAndCheckTheBoxesAsTheTableSays) {
    const Layout& base = FullLayout();
    ASSERT_GT(base.pitch, 0);
    // Each box meets every mode once over the four rotations; 4 is no mode at all.
    std::vector<Modes> cases;
    for (int k = 0; k < 4; ++k) {
        Modes m{};
        for (int i = 0; i < 5; ++i) m.left[i] = (i + k) % 4;
        m.copy = k;
        m.del = (k + 2) % 4;
        cases.push_back(m);
    }
    cases.push_back(Modes{{4, 4, 4, 4, 4}, 4, 4});
    Sessions sessions;
    for (const Modes& m : cases)
        sessions.emplace_back(new Session("modes-" + std::to_string(sessions.size()),
                                          "[Setup]\nName=Modes\n[Readme]\nDone=1\n" + CheckSection(m)));
    ASSERT_TRUE(OpenAll(sessions));
    for (size_t c = 0; c < cases.size(); ++c) {
        const Modes& m = cases[c];
        HWND d = sessions[c]->dialog;
        SCOPED_TRACE("modes " + CheckSection(m));
        auto expectBox = [&](int id, int mode) {
            bool shown = mode == 1 || mode == 2 || mode == 4;
            bool checked = mode == 2 || mode == 3;
            EXPECT_EQ(ui::Visible(d, id), shown) << "box " << id << " with mode " << mode << ": visible";
            EXPECT_EQ(ui::Checked(d, id), checked) << "box " << id << " with mode " << mode << ": checked";
        };
        for (int i = 0; i < 5; ++i) expectBox(kLeftColumn[i], m.left[i]);
        expectBox(1009, m.copy);
        expectBox(1010, m.del);
        EXPECT_EQ(ui::Visible(d, 1021), m.left[0] == 2 || m.left[0] == 4)
            << "location button with Menu mode " << m.left[0];
        ExpectLeftColumnClosedUp(d, m, base);
    }
    CancelAll(sessions);
}

TEST(DialogSetUp, RowsLeftOutCloseUpWithinTheShrinkLimit) {
    const Layout& base = FullLayout();
    ASSERT_GT(base.pitch, 0);
    struct Case {
        const char* what;
        Modes modes;
        int n;               // rows the buttons move up and the dialog gets shorter
        int deleteBoxUp;     // pitches box 1010 moves up
        int groupShorter;    // pitches the FILE group gets shorter
        bool groupVisible;
    } cases[] = {
        {"all left rows gone, both FILE boxes offered", {{3, 0, 0, 0, 0}, 1, 1}, 2, 0, 0, true},
        {"all left rows gone, Copy left out", {{3, 0, 0, 0, 0}, 0, 1}, 3, 1, 1, true},
        {"all left rows gone, Delete left out", {{3, 0, 0, 0, 0}, 2, 3}, 3, 0, 1, true},
        {"all left rows gone, FILE group unused", {{3, 0, 0, 0, 0}, 0, 3}, 5, 1, 2, false},
        {"ShortCut and Ext rows gone", {{1, 0, 2, 3, 1}, 1, 2}, 2, 0, 0, true},
        {"Startup row gone", {{2, 1, 0, 1, 1}, 2, 1}, 1, 0, 0, true},
    };
    Sessions sessions;
    for (const Case& c : cases)
        sessions.emplace_back(new Session("rows-" + std::to_string(sessions.size()),
                                          "[Setup]\nName=Rows\n[Readme]\nDone=1\n" + CheckSection(c.modes)));
    ASSERT_TRUE(OpenAll(sessions));
    for (size_t i = 0; i < sessions.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        HWND d = sessions[i]->dialog;
        ExpectLeftColumnClosedUp(d, c.modes, base);
        ExpectShortenedBy(d, c.n, c.n, base);
        EXPECT_EQ(ui::ItemRect(d, 1009).top, base.Top(1009)) << "box 1009 stays";
        EXPECT_EQ(ui::ItemRect(d, 1010).top, base.Top(1010) - c.deleteBoxUp * base.pitch) << "top of box 1010";
        RECT group = ui::ItemRect(d, 1022);
        RECT baseGroup = base.items.at(1022);
        EXPECT_EQ(group.top, baseGroup.top) << "the FILE group keeps its top";
        EXPECT_EQ(group.bottom - group.top, baseGroup.bottom - baseGroup.top - c.groupShorter * base.pitch)
            << "height of the FILE group";
        EXPECT_EQ(ui::Visible(d, 1022), c.groupVisible) << "FILE group visible";
        EXPECT_TRUE(ui::Visible(d, 1) && ui::Visible(d, 2) && ui::Visible(d, 3)) << "the buttons stay";
    }
    CancelAll(sessions);
}

TEST(DialogSetUp, InstallRecordOpensInTheInstalledState) {
    const Layout& base = FullLayout();
    ASSERT_GT(base.pitch, 0);
    const std::string record =
        "[Setup]\nName=Installed App\nAuto=1\n"
        "[Root]\nName=%programs%\\InstApp\nNamed=C:\\Program Files\\InstApp\n"
        "[CopiedFile]\nCount=2\n0=C:\\Program Files\\InstApp\\a.txt\n1=C:\\Program Files\\InstApp\\b.txt\n"
        "[Readme]\nDone=1\n";
    Sessions sessions;
    // Copy 3 and Del 2 are rewritten to 1 and 0 before the boxes are set up.
    sessions.emplace_back(new Session("installed", record + CheckSection({{0, 0, 0, 0, 0}, 3, 2})));
    sessions.emplace_back(new Session("installed-checked", record + "[Del]\nChecked=1\n" +
                                                               CheckSection({{1, 1, 1, 1, 1}, 1, 1})));
    sessions.emplace_back(new Session("installed-auto-del", record + "[Del]\nChecked=1\nAuto=1\n" +
                                                                CheckSection({{1, 1, 1, 1, 1}, 1, 1})));
    ASSERT_TRUE(OpenAll(sessions));
    Session& plain = *sessions[0];
    HWND d = plain.dialog;
    EXPECT_EQ(ui::ItemText(d, 1013), Pick(L"Installed", L"インストール済です．")) << "heading";
    EXPECT_EQ(ui::ItemText(d, 1009), Pick(L"Uninstall", L"アンインストール")) << "box 1009 becomes the Uninstall box";
    RECT box = ui::ItemRect(d, 1009);
    RECT menu = base.items.at(1004), copy = base.items.at(1009);
    EXPECT_EQ(box.top, menu.top) << "the Uninstall box takes the Menu row's top";
    EXPECT_EQ(box.bottom - box.top, menu.bottom - menu.top) << "the Uninstall box takes the Menu box's height";
    EXPECT_EQ(box.left, copy.left) << "the Uninstall box keeps its left edge";
    EXPECT_EQ(box.right - box.left, copy.right - copy.left) << "the Uninstall box keeps its width";
    EXPECT_TRUE(ui::Visible(d, 1009)) << "the Uninstall box is offered";
    EXPECT_FALSE(ui::Checked(d, 1009)) << "the Uninstall box starts unchecked without [Del] Checked";
    EXPECT_FALSE(ui::Visible(d, 1010)) << "box 1010 is left out ([Check] Del rewritten to 0)";
    EXPECT_FALSE(ui::Visible(d, 1022)) << "the FILE group is hidden";
    EXPECT_TRUE(ui::ReadOnly(d, 1007)) << "the folder field is read-only";
    EXPECT_FALSE(ui::Visible(d, 1008)) << "the browse button is hidden";
    EXPECT_EQ(plain.Ini("Setup", "Auto"), "0") << "an installed copy never runs by itself";
    EXPECT_EQ(plain.Ini("Check", "Copy"), "1") << "[Check] Copy of the record";
    EXPECT_EQ(plain.Ini("Check", "Del"), "0") << "[Check] Del of the record";
    // Five rows removed, but an installed copy shrinks by at most four.
    ExpectShortenedBy(d, 4, 4, base);
    EXPECT_TRUE(ui::Visible(d, 1) && ui::Visible(d, 2)) << "the buttons are shown although the record had Auto=1";
    Sleep(1500);
    EXPECT_TRUE(IsWindow(d) && IsWindowVisible(d)) << "the installed copy must not start a run by itself";

    EXPECT_TRUE(ui::Checked(sessions[1]->dialog, 1009)) << "[Del] Checked=1 checks the Uninstall box";
    EXPECT_FALSE(ui::Checked(sessions[2]->dialog, 1009)) << "[Del] Checked is not used when [Del] Auto is set";
    EXPECT_TRUE(IsWindowVisible(sessions[1]->dialog)) << "a checked Uninstall box alone starts nothing";
    CancelAll(sessions);
    for (auto& s : sessions) {
        EXPECT_TRUE(stage::Exists(s->folder.Path("Setup.exe")) && stage::Exists(s->folder.Script()))
            << s->folder.dir() << ": Cancel in the installed state removes nothing";
    }
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
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, ProductKey("NoBsApp").c_str(), "UninstallString",
                                    "Setup.exe"));
    Sessions sessions;
    const Modes modes{{1, 1, 2, 3, 0}, 1, 1};
    // Looked up by the last part of [Root] Name only.
    sessions.emplace_back(new Session("verup", "[Setup]\nName=VerApp 2.0\n[Root]\nName=%programs%\\Vendor\\VerApp\n"
                                               "[Menu]\nName=VerApp\n" + CheckSection(modes)));
    sessions.emplace_back(new Session("verup-nobackslash", "[Setup]\nName=NoBsApp\n[Root]\nName=%programs%\\NoBsApp\n"
                                                           "[Menu]\nName=NoBsApp\n" + CheckSection(modes)));
    bool opened = OpenAll(sessions);
    if (opened) {
        Session& up = *sessions[0];
        HWND d = up.dialog;
        EXPECT_EQ(ui::ItemText(d, 1013), Pick(L"&Folder to version up", L"(&F)バージョンアップ先")) << "heading";
        EXPECT_EQ(ui::ItemText(d, 1007), W(earlier)) << "the folder of the earlier install";
        EXPECT_EQ(up.Ini("Root", "Name"), "VerApp") << "[Root] Name cut to its last part";
        EXPECT_EQ(up.Ini("Menu", "Change"), "Old Place\\VerApp") << "the earlier menu location is offered again";
        // Modes 1 and 2 follow the earlier choice; 0 and 3 stay.
        EXPECT_TRUE(ui::Visible(d, 1004) && !ui::Checked(d, 1004)) << "Menu: earlier 0, offered unchecked";
        EXPECT_FALSE(ui::Visible(d, 1021)) << "Menu unchecked: no location button";
        EXPECT_TRUE(ui::Visible(d, 1006) && ui::Checked(d, 1006)) << "ShortCut: mode 1, earlier 2, checked";
        EXPECT_TRUE(ui::Visible(d, 1005) && !ui::Checked(d, 1005)) << "Startup: mode 2, earlier 1, unchecked";
        EXPECT_TRUE(!ui::Visible(d, 1011) && ui::Checked(d, 1011)) << "Ext: mode 3 stays forced";
        EXPECT_TRUE(!ui::Visible(d, 1012) && !ui::Checked(d, 1012)) << "SendTo: mode 0 stays left out";
        EXPECT_FALSE(ui::ReadOnly(d, 1007)) << "a version-up folder can still be changed";

        Session& nobs = *sessions[1];
        HWND n = nobs.dialog;
        EXPECT_EQ(ui::ItemText(n, 1013), Pick(L"&Folder to install...", L"(&F)インストール先"))
            << "an UninstallString without a backslash is no earlier install";
        EXPECT_EQ(ui::ItemText(n, 1007), W(ProgramFilesDir() + "\\NoBsApp")) << "the default folder";
        EXPECT_TRUE(ui::Visible(n, 1006) && !ui::Checked(n, 1006)) << "ShortCut keeps the script's mode 1";
        EXPECT_TRUE(ui::Visible(n, 1005) && ui::Checked(n, 1005)) << "Startup keeps the script's mode 2";
        EXPECT_EQ(nobs.Ini("Menu", "Change"), "") << "no earlier menu location";
    }
    CancelAll(sessions);
    EXPECT_EQ(sessions[0]->Ini("Menu", "Change"), "") << "Cancel drops the offered menu location";
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("VerApp").c_str());
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("NoBsApp").c_str());
    stage::DeleteTree("C:\\Earlier");
}

TEST(DialogSetUp, AutoRunHidesTheButtonsAndRunsWithoutAClick) {
    const Layout& base = FullLayout();
    ASSERT_GT(base.pitch, 0);
    const std::string installFolder = SystemDriveRoot() + "AutoApp";
    stage::DeleteTree(installFolder);
    const Modes modes{{0, 1, 1, 1, 1}, 1, 1};  // one row removed: n = 1
    Session s("auto", "[Setup]\nName=Auto App\nAuto=1\n[Root]\nName=AutoApp\n[Readme]\nDone=1\n[CopyFile]\n" +
                          CheckSection(modes));
    ASSERT_TRUE(s.Start());
    ASSERT_TRUE(s.Await()) << "the dialog of an automatic run must still show";
    HWND d = s.dialog;
    for (int id : {1, 2, 3, 1018, 1008}) EXPECT_FALSE(ui::Visible(d, id)) << "control " << id << " is hidden";
    ExpectLeftColumnClosedUp(d, modes, base);
    RECT r = ui::WindowRect(d);
    EXPECT_EQ(r.bottom - r.top, base.Height() - 2 * base.pitch) << "one row removed plus one more for the buttons";
    EXPECT_EQ(r.top, base.window.top) << "the dialog keeps its top edge";

    DWORD code = 99;
    ASSERT_TRUE(s.program.Wait(60000, &code)) << "the automatic run must end the program by itself";
    EXPECT_EQ(code, 0u) << "exit code after the automatic run";
    EXPECT_EQ(s.Ini("Root", "Named"), installFolder) << "the run took the dialog's install folder";
    EXPECT_TRUE(stage::Exists(installFolder + "\\Setup.ini")) << "the run placed the install record";
    stage::DeleteTree(installFolder);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("AutoApp").c_str());
}

TEST(DialogSetUp, ReadmeButtonFollowsDoneAndAgree) {
    struct Case {
        const char* readme;
        bool shown;
        const char* doneAfter;
    } cases[] = {
        {"[Readme]\nDone=0\n", false, "0"},
        {"[Readme]\nDone=1\n", true, "1"},
        {"[Readme]\nDone=3\n", true, "3"},
        {"[Readme]\nDone=3\n[Go]\nAgree=1\n", false, "1"},
        {"[Readme]\nDone=0\n[Go]\nAgree=1\n", false, "1"},
    };
    Sessions sessions;
    for (const Case& c : cases)
        sessions.emplace_back(new Session("readme-" + std::to_string(sessions.size()),
                                          std::string("[Setup]\nName=Readme\n") + c.readme));
    ASSERT_TRUE(OpenAll(sessions));
    for (size_t i = 0; i < sessions.size(); ++i) {
        SCOPED_TRACE(cases[i].readme);
        HWND d = sessions[i]->dialog;
        EXPECT_EQ(ui::Visible(d, 3), cases[i].shown) << "ReadMe button visible";
        EXPECT_EQ(sessions[i]->Ini("Readme", "Done"), cases[i].doneAfter) << "[Readme] Done in the script";
        EXPECT_TRUE(ui::Visible(d, 1) && ui::Visible(d, 2)) << "OK and Cancel are shown";
    }
    CancelAll(sessions);
}

TEST(DialogSetUp, OverlongValuesAreCutAndRefused) {
    const std::string longName(300, 'N');
    const std::string longFolder(300, 'x');
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("LongUn").c_str());
    // An UninstallString longer than the 260-byte buffer cannot be read: no version-up.
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, ProductKey("LongUn").c_str(), "UninstallString",
                                    ("C:\\" + std::string(400, 'u') + "\\Setup.exe").c_str()));
    Sessions sessions;
    sessions.emplace_back(new Session("long-values", "[Setup]\nName=" + longName + "\n[Root]\nName=%programs%\\" +
                                                         longFolder + "\n"));
    sessions.emplace_back(new Session("long-uninstall", "[Setup]\nName=LongUn\n[Root]\nName=%programs%\\LongUn\n"));
    bool opened = OpenAll(sessions);
    if (opened) {
        HWND d = sessions[0]->dialog;
        EXPECT_EQ(ui::Text(d), W(longName.substr(0, 259))) << "a 300-character name arrives cut to 259";
        // The 259 characters read from [Root] Name, expanded and cut to the 260-byte path buffer.
        std::string expanded = (ProgramFilesDir() + "\\" + longFolder.substr(0, 259 - 11)).substr(0, 259);
        EXPECT_EQ(ui::ItemText(d, 1007), W(expanded)) << "the default folder is cut to 259 characters";
        EXPECT_EQ(sessions[0]->Ini("Root", "Name"), expanded.substr(expanded.rfind('\\') + 1))
            << "[Root] Name becomes the last part of the cut folder";

        HWND u = sessions[1]->dialog;
        EXPECT_EQ(ui::ItemText(u, 1013), Pick(L"&Folder to install...", L"(&F)インストール先"))
            << "an unreadable UninstallString is no earlier install";
        EXPECT_EQ(ui::ItemText(u, 1007), W(ProgramFilesDir() + "\\LongUn")) << "the default folder";
    }
    CancelAll(sessions);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey("LongUn").c_str());
}
