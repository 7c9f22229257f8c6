// The ReadMe dialog of the real Setup.exe as a user meets it: the agreement and what
// refusing it leaves behind, a plain read-me and every way to close it, picture pages
// with their buttons read back from the screen, hostile read-me scripts, and the font
// the English dialogs are given.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "../draw/draw_helpers.h"
#include "e2e_helpers.h"
#include "fixtures.h"
#include "stage.h"
#include "ui_driver.h"
#include "res/resource.h"

namespace {

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr int kText = IDC_README_TEXT, kButton1 = IDC_README_BUTTON1, kButton2 = IDC_README_BUTTON2,
              kButton3 = IDC_README_BUTTON3, kEnd = IDC_README_END;
constexpr int kReadmeButtons[] = {kButton1, kButton2, kButton3};

const std::string kLicense =
    "LICENSE AGREEMENT\r\n\r\n\tThe program is used at your own risk.\r\nInstall folder: C:\\Program Files\\App\r\n";

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::wstring Pick(const wchar_t* english, const wchar_t* japanese) { return stage::Japanese() ? japanese : english; }
std::wstring W(const std::string& ansi) { return ui::Widen(ansi.c_str()); }

// One staged product and the Setup.exe started from it.
struct Product {
    Product(const std::string& name, const std::string& script) : folder(name) { folder.WriteScript(Crlf(script)); }
    // The script the running program works on (its private copy from a setup script),
    // else the script beside it.
    std::string Ini(const char* section, const char* key) const {
        std::string working = e2e::WorkingScript(program.pid());
        return e2e::IniValue(working.empty() ? folder.Script() : working, section, key);
    }
    bool Start() { return program.Start(folder.Path("Setup.exe"), "", folder.dir()); }
    // The exit code once the program has ended within ms; 99 when it did not.
    DWORD EndCode(DWORD ms) {
        DWORD code = 99;
        if (!program.Wait(ms, &code)) return 99;
        return code;
    }
    stage::Folder folder;
    ui::Program program;
    HWND readme = nullptr;
};

using Products = std::vector<std::unique_ptr<Product>>;

void Add(Products& all, const std::string& name, const std::string& script) {
    all.emplace_back(new Product(name, script));
}

// Starts every product at once and waits for each one's ReadMe dialog (opened by itself
// with Done=2); the names of those without one come back.
std::string StartAndAwaitReadme(Products& all) {
    for (auto& p : all) p->Start();
    std::string missing;
    for (auto& p : all)
        if (!(p->readme = ui::WaitForReadmeDialog(p->program.pid(), 40000))) missing += p->folder.dir() + " ";
    return missing;
}

bool Closes(HWND window, DWORD ms = 5000) {
    return ui::WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, ms);
}

// Still there after a while: the last command did nothing.
bool StaysOpen(HWND window) {
    Sleep(700);
    return IsWindow(window) && IsWindowVisible(window);
}

// A command as the dialog receives it from a control, whether the control is shown or not.
void Command(HWND dialog, int id, int code = BN_CLICKED) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(dialog, id));
}

RECT ClientRect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

std::string Str(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// The colour the screen shows at a point of a window's client area; the window is
// brought to the front first, since the dialogs of several products overlap.
COLORREF ClientPixel(HWND window, int x, int y) {
    if (GetForegroundWindow() != window) {
        SetForegroundWindow(window);
        // Raised by its own thread a moment later, then repainted where it was covered.
        ui::WaitUntil([&] { return ui::Uncovered(window); }, 3000);
        ui::WaitForScreenPaint();
    }
    POINT p = {x, y};
    ClientToScreen(window, &p);
    draw_test::Surface one(1, 1);
    HDC screen = GetDC(nullptr);
    BitBlt(one.dc(), 0, 0, 1, 1, screen, p.x, p.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return one.At(0, 0);
}

bool ShowsColour(HWND window, int x, int y, COLORREF c, DWORD ms = 3000) {
    return ui::WaitUntil([&] { return ClientPixel(window, x, y) == c; }, ms);
}

// Nothing of the product was installed and its script records no install.
void ExpectNothingInstalled(const Product& p, const std::string& installFolder) {
    EXPECT_FALSE(stage::Exists(installFolder)) << installFolder << " exists after a refused agreement";
    EXPECT_EQ(p.Ini("CopiedFile", "Count"), "<absent>") << p.folder.dir() << ": no files recorded";
    EXPECT_EQ(p.Ini("Root", "Named"), "<absent>") << p.folder.dir() << ": no install folder recorded";
    EXPECT_EQ(p.Ini("MakedDirectory", "Count"), "<absent>") << p.folder.dir();
}

// ---- fonts ---------------------------------------------------------------------------

// The font a dialog template of `points` gets, with another face.
LOGFONTW TemplateSized(LOGFONTW font, int points) {
    HDC screen = GetDC(nullptr);
    font.lfHeight = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font.lfWidth = 0;
    return font;
}

LOGFONTW WesternFont(int points) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return TemplateSized(metrics.lfMessageFont, points);
}

// A face at the template's size, as the dialog manager makes it.
LOGFONTW FaceFont(const wchar_t* face, int points) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return TemplateSized(font, points);
}

// Where an edit control with this font puts the characters of text, from the first one.
std::vector<int> LeftsWith(const LOGFONTW& font, const std::wstring& text) {
    std::vector<int> lefts;
    HDC screen = GetDC(nullptr);
    HFONT made = CreateFontIndirectW(&font);
    HGDIOBJ old = SelectObject(screen, made);
    for (size_t i = 0; i < text.size(); ++i) {
        SIZE size{};
        GetTextExtentPoint32W(screen, text.c_str(), (int)i, &size);
        lefts.push_back(size.cx);
    }
    SelectObject(screen, old);
    DeleteObject(made);
    ReleaseDC(nullptr, screen);
    return lefts;
}

std::vector<int> FromFirst(std::vector<int> lefts) {
    for (size_t i = lefts.size(); i-- > 0;) lefts[i] -= lefts[0];
    return lefts;
}

std::string Join(const std::vector<int>& v) {
    std::string out;
    for (int x : v) out += std::to_string(x) + " ";
    return out;
}

// The control's characters stand where the expected font puts them, and not where
// another would: English dialogs get the system's message font, Japanese ones keep the
// template's face (compared with a Western face, since under code page 932 the
// system's message font may place them like the template's).
void ExpectFontOf(HWND dialog, int id, const std::wstring& text, int points, const wchar_t* templateFace) {
    const bool english = !stage::Japanese();
    const LOGFONTW expected = english ? WesternFont(points) : FaceFont(templateFace, points);
    LOGFONTW other = english ? FaceFont(templateFace, points) : FaceFont(L"Tahoma", points);
    if (!english) other.lfCharSet = ANSI_CHARSET;  // or the font mapper finds a Japanese face
    const std::vector<int> want = LeftsWith(expected, text), unwanted = LeftsWith(other, text);
    ASSERT_NE(Join(want), Join(unwanted)) << ui::Narrow(expected.lfFaceName) << " and " << ui::Narrow(other.lfFaceName)
                                          << " place \"" << ui::Narrow(text) << "\" alike: no way to tell them apart";
    const std::vector<int> shown = FromFirst(ui::CharacterLefts(dialog, id, (int)text.size()));
    EXPECT_EQ(Join(shown), Join(want)) << "control " << id << " should use " << ui::Narrow(expected.lfFaceName) << "; "
                                       << ui::Narrow(other.lfFaceName) << " would give " << Join(unwanted);
}

// ---- the agreement ---------------------------------------------------------------------

std::string AgreementScript(const std::string& name, const std::string& setup = "", const std::string& root = "") {
    return "[Setup]\nName=" + name + "\n" + setup + "[Root]\nName=" + name + "\n" + root + "[Go]\nAgree=1\n"
           "[Readme]\nDone=2\nFile=license.txt\n[Check]\nCopy=0\nDel=0\n[CopyFile]\n0=app.txt\n";
}

TEST(Agreement, MustBeAcceptedBeforeAnythingIsInstalled) {
    const char* names[] = {"Agree Escape", "Agree Two", "Agree One", "Agree Auto No", "Agree Auto Yes", "AgreeInst",
                           "Agree Pictures"};
    for (const char* name : names) stage::DeleteTree(std::string("C:\\") + name);
    const std::string record = "C:\\AgreeInst", installedLicense = kLicense + "(installed copy)\r\n";
    ASSERT_TRUE(stage::WriteFile(record + "\\app.txt", "installed earlier"));
    ASSERT_TRUE(stage::WriteFile(record + "\\license.txt", installedLicense));
    Products all;
    Add(all, "agree-escape", AgreementScript("Agree Escape"));
    Add(all, "agree-two", AgreementScript("Agree Two"));
    Add(all, "agree-one", AgreementScript("Agree One"));
    // An automatic run waits for the agreement too.
    Add(all, "agree-auto-no", AgreementScript("Agree Auto No", "Auto=1\n"));
    Add(all, "agree-auto-yes", AgreementScript("Agree Auto Yes", "Auto=1\n"));
    // An install record whose agreement opens at start: refusing it must not touch the install.
    Add(all, "agree-installed",
        AgreementScript("AgreeInst", "", "Named=" + record + "\n") + "[CopiedFile]\nCount=1\n0=" + record +
            "\\app.txt\n");
    // An agreement on picture pages: its buttons 1 and 2 agree and refuse.
    Add(all, "agree-pictures",
        "[Setup]\nName=Agree Pictures\n[Root]\nName=Agree Pictures\n[Go]\nAgree=1\n[Readme]\nDone=2\n"
        "File=ReadMe.Special\nNo=5\n0=page,install\n1=mode,whole\n2=fill,0,0,160\n3=button1,2,I &agree\n"
        "4=button2,install,&Refuse\n[CopyFile]\n0=app.txt\n");
    for (auto& p : all) {
        p->folder.Put("license.txt", kLicense);
        p->folder.Put("app.txt", "app");
    }
    ASSERT_EQ(StartAndAwaitReadme(all), "") << "no agreement shown";

    Product& esc = *all[0];
    HWND d = esc.readme;
    EXPECT_EQ(ui::Text(d), L"Agree Escape") << "the title is [Setup] Name";
    EXPECT_EQ(ui::ItemText(d, kButton1), Pick(L"I &agree.", L"(&A) 同意します"));
    EXPECT_EQ(ui::ItemText(d, kButton2), Pick(L"&Cancel", L"(&C) 中止"));
    EXPECT_EQ(ui::ItemText(d, kEnd), Pick(L"&End readme", L"説明終了(&E)"));
    EXPECT_EQ(ui::ItemText(d, kText), W(kLicense)) << "the text box shows the file";
    for (int id : {kButton1, kButton2, kText}) EXPECT_TRUE(ui::Visible(d, id)) << "control " << id << " shown";
    for (int id : {kButton3, kEnd}) EXPECT_FALSE(ui::Visible(d, id)) << "control " << id << " hidden";
    RECT text = ui::ItemRect(d, kText), agree = ui::ItemRect(d, kButton1);
    EXPECT_LE(text.bottom, agree.top) << "the text box keeps its place above the buttons: " << Str(text);
    EXPECT_EQ(ui::Selection(d, kText), 0u) << "caret at the start, nothing selected";
    EXPECT_EQ(ui::FocusId(d), kText) << "the focus in the text";
    EXPECT_EQ(ui::WaitForMainDialog(esc.program.pid(), 0), nullptr) << "the agreement comes before the main dialog";
    ExpectFontOf(d, kText, L"LICENSE AGREEMENT", 10, L"ＭＳ ゴシック");
    e2e::Shot("agreement");

    // Enter, the end button and typing do nothing; Escape refuses.
    EXPECT_TRUE(ui::KeyToFocus(d, VK_RETURN)) << "no focus in the agreement";
    EXPECT_TRUE(StaysOpen(d)) << "Enter closed the agreement";
    Command(d, kEnd);
    EXPECT_TRUE(StaysOpen(d)) << "the end button closed the agreement";
    ui::Type(GetDlgItem(d, kText), L'x');
    EXPECT_TRUE(StaysOpen(d)) << "typing closed the agreement";
    ui::KeyToFocus(d, VK_ESCAPE);
    EXPECT_EQ(esc.EndCode(15000), 0u) << "Escape refuses: the program ends with 0";
    ExpectNothingInstalled(esc, "C:\\Agree Escape");

    // Button 2 refuses.
    ui::Click(all[1]->readme, kButton2);
    EXPECT_EQ(all[1]->EndCode(15000), 0u) << "Cancel refuses: the program ends with 0";
    ExpectNothingInstalled(*all[1], "C:\\Agree Two");

    // Button 1 agrees: the main dialog follows, without its ReadMe button, and installs.
    Product& one = *all[2];
    ui::Click(one.readme, kButton1);
    HWND main = ui::WaitForMainDialog(one.program.pid(), 15000);
    ASSERT_NE(main, nullptr) << "no main dialog after agreeing";
    EXPECT_TRUE(Closes(one.readme)) << "the agreement closed";
    EXPECT_FALSE(ui::Visible(main, IDC_README)) << "the agreement cannot be opened again";
    EXPECT_EQ(one.Ini("Readme", "Done"), "1");
    ui::Click(main, IDC_RUN);
    EXPECT_EQ(one.EndCode(60000), 0u) << "the install ends with 0";
    EXPECT_EQ(stage::ReadFile("C:\\Agree One\\app.txt"), "app") << "the install went on after the agreement";

    // An automatic run: refused, nothing; agreed, the run starts by itself.
    ui::Click(all[3]->readme, kButton2);
    EXPECT_EQ(all[3]->EndCode(15000), 0u);
    ExpectNothingInstalled(*all[3], "C:\\Agree Auto No");
    ui::Click(all[4]->readme, kButton1);
    EXPECT_EQ(all[4]->EndCode(60000), 0u) << "the automatic run ends by itself after the agreement";
    EXPECT_EQ(stage::ReadFile("C:\\Agree Auto Yes\\app.txt"), "app");

    // The installed copy: the close box refuses; the install and its record stay as they were.
    Product& inst = *all[5];
    EXPECT_EQ(ui::ItemText(inst.readme, kText), W(installedLicense)) << "read from the install folder";
    ui::CloseBox(inst.readme);
    EXPECT_EQ(inst.EndCode(15000), 0u);
    EXPECT_EQ(stage::ReadFile(record + "\\app.txt"), "installed earlier") << "the installed file stays";
    EXPECT_TRUE(stage::Exists(inst.folder.Path("Setup.exe")) && stage::Exists(inst.folder.Script()))
        << "the uninstaller and its record stay";
    EXPECT_EQ(inst.Ini("CopiedFile", "Count"), "1") << "the record still lists its file";
    EXPECT_EQ(inst.Ini("CopiedFile", "0"), record + "\\app.txt");
    EXPECT_EQ(inst.Ini("Root", "Named"), record);

    // Picture pages: Enter and the end button do nothing, button 2 refuses.
    Product& pictures = *all[6];
    d = pictures.readme;
    EXPECT_EQ(ui::ItemText(d, kButton1), L"I &agree");
    EXPECT_EQ(ui::ItemText(d, kButton2), L"&Refuse");
    EXPECT_TRUE(ui::Visible(d, kButton1) && ui::Visible(d, kButton2) && ui::Visible(d, kEnd) && !ui::Visible(d, kButton3));
    EXPECT_EQ(ui::FocusId(d), kEnd) << "the focus on button 1 would make Enter agree";
    EXPECT_TRUE(ui::KeyToFocus(d, VK_RETURN)) << "no focus on the picture agreement";
    EXPECT_TRUE(StaysOpen(d)) << "Enter agreed or closed";
    ui::Click(d, kEnd);
    EXPECT_TRUE(StaysOpen(d)) << "the end button closed the agreement";
    ui::Click(d, kButton2);
    EXPECT_EQ(pictures.EndCode(15000), 0u);
    ExpectNothingInstalled(pictures, "C:\\Agree Pictures");
}

// ---- a plain read-me ---------------------------------------------------------------------

TEST(PlainReadme, FillsTheDialogShowsTheFileAndClosesEveryWay) {
    const std::string readme = "Plain Notes\n===========\n\n\tA tab, a path: C:\\Program Files\\Plain\nlast line";
    Products all;
    Add(all, "plain",
        "[Setup]\nName=Plain App\n[Root]\nName=%programs%\\Plain App\n[Readme]\nDone=1\nFile=docs\\readme.txt\n");
    all[0]->folder.Put("docs\\readme.txt", readme);
    Product& p = *all[0];
    ASSERT_TRUE(p.Start());
    HWND main = ui::WaitForMainDialog(p.program.pid(), 30000);
    ASSERT_NE(main, nullptr) << "no main dialog";
    EXPECT_TRUE(ui::Visible(main, IDC_README)) << "the ReadMe button";
    ui::WaitForScreenPaint();
    ExpectFontOf(main, IDC_FOLDER, ui::ItemText(main, IDC_FOLDER), 9, L"ＭＳ Ｐゴシック");
    e2e::Shot("main-dialog");

    // Each way of closing, in turn; the main dialog carries on after every one.
    const struct {
        const char* way;
        void (*act)(HWND);
    } ways[] = {
        {"Escape", [](HWND d) { ui::KeyToFocus(d, VK_ESCAPE); }},
        {"Enter", [](HWND d) { ui::KeyToFocus(d, VK_RETURN); }},
        {"the close box", [](HWND d) { ui::CloseBox(d); }},
        {"the end button", [](HWND d) { Command(d, kEnd); }},
        {"typing", [](HWND d) { ui::Type(GetDlgItem(d, kText), L'q'); }},
    };
    bool first = true;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        ui::Click(main, IDC_README);
        HWND d = ui::WaitForReadmeDialog(p.program.pid(), 10000);
        ASSERT_NE(d, nullptr) << "the ReadMe button opens no read-me";
        if (first) {
            first = false;
            EXPECT_EQ(ui::Text(d), L"Plain App");
            EXPECT_EQ(ui::ItemText(d, kText), W(Crlf(readme))) << "the file, with its line ends made CR LF";
            EXPECT_EQ(Str(ui::ItemRect(d, kText)), Str(ClientRect(d))) << "the text box covers the whole dialog";
            for (int id : {kButton1, kButton2, kButton3, kEnd}) EXPECT_FALSE(ui::Visible(d, id)) << "control " << id;
            EXPECT_EQ(ui::Selection(d, kText), 0u) << "caret at the start, nothing selected";
            ExpectFontOf(d, kText, L"Plain Notes", 10, L"ＭＳ ゴシック");
            e2e::Shot("readme-text");
        }
        way.act(d);
        EXPECT_TRUE(Closes(d)) << "the read-me stays open";
        EXPECT_TRUE(IsWindowVisible(main) && IsWindowEnabled(main)) << "the main dialog carries on";
    }
    EXPECT_EQ(p.Ini("Root", "Named"), "<absent>") << "closing a read-me runs nothing";
    ui::Click(main, IDC_CANCEL);
    EXPECT_EQ(p.EndCode(15000), 0u);
}

// ---- picture pages -------------------------------------------------------------------------

const COLORREF kBlue = RGB(0, 0, 160), kYellow = RGB(255, 255, 0), kGreen = RGB(0, 200, 0), kRed = RGB(200, 0, 0),
               kTeal = RGB(0, 128, 128), kMaroon = RGB(128, 0, 0);

const std::string kPages =
    "[Readme]\nDone=1\nFile=readme.SPECIAL\nNo=40\n"
    "0=page,install\n1=mode,whole\n2=fill,0,0,160\n3=mode,rect\n4=rect,20,20,120,60\n5=fill,255,255,0\n"
    "6=button1,2,&Next\n7=button2,none,Hidden\n8=button3,uninstall,To &uninstall\n"
    "9=page,2\n10=mode,rect\n11=rect,200,100,300,200\n12=fill,0,200,0\n13=button1,install,&Back\n14=button3,3,Three\n"
    "15=page,3\n16=mode,rect\n17=rect,50,150,100,200\n18=fill,200,0,0\n"
    "19=page,versionup\n20=mode,whole\n21=fill,0,128,128\n22=button2,install,Install page\n"
    "23=page,Uninstall\n24=mode,whole\n25=fill,128,0,0\n26=button1,install,&Install page\n";

TEST(PicturePages, StartPerSituationButtonsAndPagesDrawnOverEachOther) {
    const std::string installed = "C:\\PicInst";
    stage::DeleteTree(installed);
    stage::MakeFolders(installed);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PicVer").c_str());
    ASSERT_TRUE(stage::SetRegString(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PicVer").c_str(),
                                    "UninstallString", "C:\\PicVerOld\\Setup.exe"));
    // The earlier install's record, without which the key would be no install of the product's.
    ASSERT_TRUE(stage::WriteFile("C:\\PicVerOld\\Setup.ini", "[CopiedFile]\r\nCount=1\r\n"));
    Products all;
    Add(all, "pictures", "[Setup]\nName=Pictures\n[Root]\nName=Pictures\n" + kPages);
    Add(all, "pictures-installed", "[Setup]\nName=Pictures Installed\n[Root]\nName=PicInst\nNamed=" + installed +
                                       "\n[CopiedFile]\nCount=1\n0=" + installed + "\\none.txt\n" + kPages);
    Add(all, "pictures-versionup", "[Setup]\nName=Pictures Up\n[Root]\nName=PicVer\n" + kPages);
    std::vector<HWND> mains;
    for (auto& p : all) p->Start();
    for (auto& p : all) {
        mains.push_back(ui::WaitForMainDialog(p->program.pid(), 30000));
        ASSERT_NE(mains.back(), nullptr) << p->folder.dir() << ": no main dialog";
    }

    // An ordinary install starts at "install".
    Product& p = *all[0];
    ui::Click(mains[0], IDC_README);
    HWND d = ui::WaitForReadmeDialog(p.program.pid(), 10000);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(ShowsColour(d, 5, 5, kBlue)) << "page install's background, got " << draw_test::Hex(ClientPixel(d, 5, 5));
    EXPECT_EQ(draw_test::Hex(ClientPixel(d, 30, 30)), draw_test::Hex(kYellow)) << "page install's rectangle";
    EXPECT_FALSE(ui::Visible(d, kText)) << "no text box with picture pages";
    EXPECT_EQ(ui::ItemText(d, kButton1), L"&Next");
    EXPECT_EQ(ui::ItemText(d, kButton3), L"To &uninstall");
    EXPECT_EQ(ui::ItemText(d, kButton2), L"Hidden") << "a hidden button still takes its caption";
    EXPECT_TRUE(ui::Visible(d, kButton1) && ui::Visible(d, kButton3) && ui::Visible(d, kEnd));
    EXPECT_FALSE(ui::Visible(d, kButton2)) << "target none hides button 2";
    EXPECT_EQ(ui::ItemText(d, kEnd), Pick(L"&End readme", L"説明終了(&E)"));
    e2e::Shot("readme-picture");

    // Button 1 goes to page 2, drawn over page install.
    ui::Click(d, kButton1);
    EXPECT_TRUE(ShowsColour(d, 250, 150, kGreen)) << "page 2 not shown: " << draw_test::Hex(ClientPixel(d, 250, 150));
    EXPECT_EQ(draw_test::Hex(ClientPixel(d, 5, 5)), draw_test::Hex(kBlue)) << "page 2 is drawn over page install";
    EXPECT_EQ(draw_test::Hex(ClientPixel(d, 30, 30)), draw_test::Hex(kYellow));
    EXPECT_EQ(ui::ItemText(d, kButton1), L"&Back");
    EXPECT_EQ(ui::ItemText(d, kButton3), L"Three");
    EXPECT_TRUE(ui::Visible(d, kButton1) && !ui::Visible(d, kButton2) && ui::Visible(d, kButton3));
    e2e::Shot("readme-picture-page2");

    // Button 3 goes to page 3, which has no buttons: only the end button stays.
    ui::Click(d, kButton3);
    EXPECT_TRUE(ShowsColour(d, 75, 175, kRed)) << "page 3 not shown";
    EXPECT_EQ(draw_test::Hex(ClientPixel(d, 250, 150)), draw_test::Hex(kGreen)) << "page 2's rectangle remains";
    for (int id : kReadmeButtons) EXPECT_FALSE(ui::Visible(d, id)) << "button " << id << " on a page without buttons";
    EXPECT_TRUE(ui::Visible(d, kEnd));

    // Escape closes; opened again it starts afresh at "install"; Enter closes, and so does the end button.
    ui::KeyToFocus(d, VK_ESCAPE);
    EXPECT_TRUE(Closes(d));
    for (const char* way : {"Enter", "end button"}) {
        ui::Click(mains[0], IDC_README);
        d = ui::WaitForReadmeDialog(p.program.pid(), 10000);
        ASSERT_NE(d, nullptr) << way;
        EXPECT_TRUE(ShowsColour(d, 250, 150, kBlue)) << way << ": a fresh surface shows page install alone";
        EXPECT_EQ(ui::ItemText(d, kButton1), L"&Next");
        if (way[0] == 'E') {
            EXPECT_TRUE(ui::KeyToFocus(d, VK_RETURN)) << "no focus in the read-me";
        } else {
            ui::Click(d, kEnd);
        }
        EXPECT_TRUE(Closes(d)) << way << " did not close the read-me";
        EXPECT_TRUE(IsWindowVisible(mains[0])) << "the main dialog carries on after " << way;
    }

    // An installed copy starts at "uninstall"; its button leads back to "install".
    ui::Click(mains[1], IDC_README);
    d = ui::WaitForReadmeDialog(all[1]->program.pid(), 10000);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(ShowsColour(d, 5, 5, kMaroon)) << "page uninstall, got " << draw_test::Hex(ClientPixel(d, 5, 5));
    EXPECT_EQ(ui::ItemText(d, kButton1), L"&Install page");
    EXPECT_TRUE(ui::Visible(d, kButton1) && !ui::Visible(d, kButton2) && !ui::Visible(d, kButton3))
        << "only the buttons named on the page";
    e2e::Shot("readme-picture-uninstall");
    ui::Click(d, kButton1);
    EXPECT_TRUE(ShowsColour(d, 30, 30, kYellow) && ShowsColour(d, 5, 5, kBlue)) << "back on page install";
    ui::Click(d, kEnd);
    EXPECT_TRUE(Closes(d));

    // A version-up starts at "versionup".
    ui::Click(mains[2], IDC_README);
    d = ui::WaitForReadmeDialog(all[2]->program.pid(), 10000);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(ShowsColour(d, 5, 5, kTeal)) << "page versionup, got " << draw_test::Hex(ClientPixel(d, 5, 5));
    EXPECT_TRUE(!ui::Visible(d, kButton1) && ui::Visible(d, kButton2) && !ui::Visible(d, kButton3));
    EXPECT_EQ(ui::ItemText(d, kButton2), L"Install page");
    ui::Click(d, kEnd);
    EXPECT_TRUE(Closes(d));

    for (size_t i = 0; i < all.size(); ++i) {
        ui::Click(mains[i], IDC_CANCEL);
        EXPECT_EQ(all[i]->EndCode(15000), 0u) << all[i]->folder.dir();
    }
    EXPECT_TRUE(stage::Exists(all[1]->folder.Script())) << "reading the pages leaves the record alone";
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "PicVer").c_str());
}

// ---- hostile read-me scripts -----------------------------------------------------------

TEST(HostileReadme, HugeListsOverlongLinesAndUnusableFilesOpenSafely) {
    const std::string caption300(300 - 10, 'C');  // "button1,2," and 290 bytes: cut to 259 in all
    const std::string page259 = "page," + std::string(254, '7');
    auto script = [](const std::string& name, const std::string& readme) {
        return "[Setup]\nName=" + name + "\n[Root]\nName=" + name + "\n[Readme]\nDone=2\n" + readme;
    };
    Products all;
    Add(all, "huge-no", script("Huge No", "File=ReadMe.Special\nNo=100000\n0=page,install\n1=button1,2," + caption300 +
                                              "\n2=" + page259 + "\n3=mode,whole\n4=fill,0,160,0\n"));
    Add(all, "all-pages", script("All Pages", "File=ReadMe.Special\nNo=4\n0=page,\n1=page,\n2=page,\n3=page,\n"));
    Add(all, "negative-no", script("Negative No", "File=ReadMe.Special\nNo=-1\n0=page,install\n1=button1,2,X\n"));
    Add(all, "empty-file", script("Empty File", "File=empty.txt\n"));
    Add(all, "big-file", script("Big File", "File=big.txt\n"));
    Add(all, "binary-file", script("Binary File", "File=binary.bin\n"));
    Add(all, "locked-file", script("Locked File", "File=locked.txt\n"));
    all[3]->folder.Put("empty.txt", "");
    std::string big;
    const std::string line = std::string(98, 'b') + "\r\n";
    big.reserve(50u << 20);
    while (big.size() < (50u << 20)) big += line;
    all[4]->folder.Put("big.txt", big);
    big.clear();
    all[5]->folder.Put("binary.bin", std::string("\x7f" "ELF\x02\x01\x01\0\0\0binary", 16));
    all[6]->folder.Put("locked.txt", "never shown");
    LockedFile held(all[6]->folder.Path("locked.txt"));
    ASSERT_TRUE(held.held());
    ASSERT_EQ(StartAndAwaitReadme(all), "") << "a read-me did not open";

    // 100,000 entries asked for, five present: the first page, the cut caption.
    HWND d = all[0]->readme;
    EXPECT_EQ(ui::ItemText(d, kButton1), W(caption300.substr(0, 259 - 10))) << "the caption as far as 259 bytes go";
    EXPECT_TRUE(ui::Visible(d, kButton1) && ui::Visible(d, kEnd));
    // Page 2 does not exist: the content from entry 1 again, up to the 259-byte page line.
    ui::Click(d, kButton1);
    EXPECT_TRUE(StaysOpen(d));
    EXPECT_TRUE(ShowsColour(d, 5, 5, RGB(0, 0, 0))) << "entries after the page line drawn, got "
                                                    << draw_test::Hex(ClientPixel(d, 5, 5));

    // Only page lines, or no list at all: an empty black page with the end button.
    for (int i : {1, 2}) {
        HWND r = all[i]->readme;
        for (int id : kReadmeButtons) EXPECT_FALSE(ui::Visible(r, id)) << all[i]->folder.dir() << " button " << id;
        EXPECT_TRUE(ui::Visible(r, kEnd)) << all[i]->folder.dir();
        EXPECT_TRUE(ShowsColour(r, 100, 100, RGB(0, 0, 0)))
            << all[i]->folder.dir() << " got " << draw_test::Hex(ClientPixel(r, 100, 100));
    }

    EXPECT_EQ(ui::ItemText(all[3]->readme, kText), L"") << "an empty file";
    const std::wstring shown = ui::ItemText(all[4]->readme, kText);
    EXPECT_EQ(shown.size(), (size_t)(1u << 20)) << "a 50 MB file shows its first MiB";
    EXPECT_EQ(shown.substr(0, 100), W(line)) << "from its beginning";
    EXPECT_EQ(ui::ItemText(all[5]->readme, kText), W("\x7f" "ELF\x02\x01\x01")) << "a binary file up to its first zero";
    EXPECT_EQ(ui::ItemText(all[6]->readme, kText), L"") << "a file held by another program";

    for (auto& p : all) {
        ui::KeyToFocus(p->readme, VK_ESCAPE);
        HWND main = ui::WaitForMainDialog(p->program.pid(), 10000);
        EXPECT_NE(main, nullptr) << p->folder.dir() << ": no main dialog after the read-me";
        if (main) ui::Click(main, IDC_CANCEL);
        EXPECT_EQ(p->EndCode(15000), 0u) << p->folder.dir();
    }
    held.Release();
    stage::DeleteTree(all[4]->folder.dir());  // 50 MB the prefix need not keep
}

}  // namespace
