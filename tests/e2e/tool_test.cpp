// SetupTool beside the real Setup.exe: its preview against what the backdrop and the
// read-me show on screen for the same script, pixel by pixel; its plan of the sample
// product against what the install then really does, and its plan of the uninstall
// against what the uninstall removes and leaves. Making a plan changes nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "../draw/draw_helpers.h"
#include "bmp_file.h"
#include "e2e_helpers.h"
#include "listing.h"
#include "plan_check.h"
#include "plan_lines.h"
#include "shell_links.h"
#include "stage.h"
#include "ui_driver.h"
#include "res/resource.h"

namespace {

constexpr DWORD kRunWait = 90000;
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

using plancheck::RunTool;
using plancheck::ToolPath;

std::string ShellFolder(const char* name) {
    std::string value;
    stage::GetRegString(HKEY_CURRENT_USER, kShellFolders, name, &value);
    return value;
}

// ---- the screen against the preview ----------------------------------------------

void CaptureScreen(draw_test::Surface& into) {
    HDC screen = GetDC(nullptr);
    BitBlt(into.dc(), 0, 0, into.w(), into.h(), screen, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

// Pixels of the picture at (x0 + x, y0 + y) on the screen against the preview at (x, y),
// for every (x, y) inside the picture, on screen, and not hidden(x0 + x, y0 + y).
template <typename Hidden>
std::string CompareWithScreen(const draw_test::Surface& screen, const BmpFile& picture, int x0, int y0,
                              Hidden hidden, long* compared) {
    std::string out;
    long differ = 0;
    *compared = 0;
    for (int y = 0; y < picture.h; ++y) {
        for (int x = 0; x < picture.w; ++x) {
            int sx = x0 + x, sy = y0 + y;
            if (sx < 0 || sy < 0 || sx >= screen.w() || sy >= screen.h() || hidden(sx, sy)) continue;
            ++*compared;
            COLORREF want = picture.At(x, y), got = screen.At(sx, sy);
            if (want == got) continue;
            if (differ++ < 5)
                out += " " + std::to_string(x) + "," + std::to_string(y) + " preview " + draw_test::Hex(want) +
                       " screen " + draw_test::Hex(got) + ";";
        }
    }
    if (differ) out += " " + std::to_string(differ) + " pixels differ";
    return out;
}

// Whether (x, y) on screen lies on a visible window other than the one compared.
struct Covered {
    std::vector<RECT> rects;
    bool operator()(int x, int y) const {
        POINT p = {x, y};
        for (const RECT& r : rects)
            if (PtInRect(&r, p)) return true;
        return false;
    }
};

BOOL CALLBACK AddVisibleChild(HWND child, LPARAM covered) {
    if (IsWindowVisible(child)) reinterpret_cast<Covered*>(covered)->rects.push_back(ui::WindowRect(child));
    return TRUE;
}

TEST(Preview, AgreesPixelForPixelWithTheBackdropAndTheReadmeOnScreen) {
    const draw_test::Bmp image = draw_test::PatternBmp(300, 120, 8);
    stage::Folder folder("tool-preview");
    folder.Put("art\\picture.bmp", image.Bytes());
    folder.Put("intro.txt", "Lines of the read-me page,\r\ndrawn by the same interpreter.\r\n");
    folder.WriteScript(Crlf({
        "[Setup]", "Name=Preview Product", "[Root]", "Name=%programs%\\Preview Product",
        "[Back]", "Do=1", "0=mode,top", "1=rect,0,0,%100,%100", "2=gradation,0,40,120,200,220,255,37",
        "3=mode,center", "4=bitmap,art\\picture.bmp", "5=mode,bottom", "6=rect,%5,%4,%5,%4",
        "7=font,255,255,255,0,0,0,0,700", "8=height,%6", "9=|Preview Product", "10=font,255,240,160,0,0,0,0,400",
        "11=height,18", "12=|Drawn once by Setup.exe, once by SetupTool.", "13=mode,rect", "14=rect,%70,%80,%95,%95",
        "15=fill,180,30,60",
        "[Readme]", "Done=2", "File=ReadMe.Special", "No=14", "0=page,install", "1=mode,left",
        "2=rect,0,0,%100,%100", "3=gradation,10,10,40,90,120,200", "4=mode,bottom", "5=rect,16,12,16,12",
        "6=font,255,255,255,0,0,0,0,700", "7=height,24", "8=|The read-me page", "9=font,230,230,255",
        "10=height,15", "11=mode,rect", "12=rect,16,56,%96,%80", "13=text,intro.txt"}));
    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND readme = ui::WaitForReadmeDialog(program.pid(), 30000);
    ASSERT_NE(readme, nullptr) << "the read-me did not open by itself";
    Sleep(700);  // its first paint
    e2e::Shot("tool-preview-screen");
    RECT screenRect = ui::WindowRect(GetDesktopWindow());
    draw_test::Surface screen(screenRect.right, screenRect.bottom);
    CaptureScreen(screen);
    RECT readmeWindow = ui::WindowRect(readme);
    POINT clientOrigin = {0, 0};
    ClientToScreen(readme, &clientOrigin);
    Covered onPage;
    EnumChildWindows(readme, AddVisibleChild, reinterpret_cast<LPARAM>(&onPage));

    const std::string out = "C:\\stage\\tool-preview-out";
    stage::DeleteTree(out);
    std::string report;
    ASSERT_EQ(RunTool("preview \"" + folder.dir() + "\" --size " + std::to_string(screenRect.right) + "x" +
                          std::to_string(screenRect.bottom) + " --out " + out,
                      &report),
              0u)
        << report;

    BmpFile backdrop(out + "\\backdrop.bmp");
    ASSERT_EQ(backdrop.w, screenRect.right) << report;
    Covered aroundReadme{{readmeWindow}};
    long compared = 0;
    EXPECT_EQ(CompareWithScreen(screen, backdrop, 0, 0, aroundReadme, &compared), "") << "the backdrop";
    EXPECT_GT(compared, (long)screenRect.right * screenRect.bottom / 2) << "too little of the backdrop in sight";

    BmpFile page(out + "\\readme-page-install.bmp");
    RECT client{};
    GetClientRect(readme, &client);
    ASSERT_EQ(page.w, client.right) << "the page area is the read-me's client area\n" << report;
    ASSERT_EQ(page.h, client.bottom);
    EXPECT_EQ(CompareWithScreen(screen, page, clientOrigin.x, clientOrigin.y, onPage, &compared), "") << "the page";
    EXPECT_GT(compared, (long)page.w * page.h * 3 / 4) << "the buttons cover too much of the page";

    // Once the read-me is closed, the main dialog stands on the same backdrop.
    ui::KeyToFocus(readme, VK_ESCAPE);
    HWND dialog = ui::WaitForMainDialog(program.pid(), 20000);
    ASSERT_NE(dialog, nullptr);
    Sleep(500);
    CaptureScreen(screen);
    Covered aroundDialog{{ui::WindowRect(dialog)}};
    EXPECT_EQ(CompareWithScreen(screen, backdrop, 0, 0, aroundDialog, &compared), "") << "the backdrop, after the read-me";
    ui::Click(dialog, IDC_CANCEL);
    DWORD code = 99;
    EXPECT_TRUE(program.Wait(15000, &code));
}

// Dark pixels, where a glyph's ink lies, whatever the shade of the renderer's edges.
bool Ink(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 110; }

// The ink of a control's inside on screen against the preview: the rows that hold ink
// must be the same rows (the lines of text and the captions, where they stand), and the
// ink pixels may differ in only a few places (a caret). Columns [skipLeft, skipLeft+skip)
// of the rectangle are left out, where the caret blinks.
std::string CompareInk(const draw_test::Surface& screen, POINT origin, const BmpFile& picture, const RECT& r,
                       int skip, long* inkPixels) {
    std::string rowsScreen, rowsPicture;
    long differ = 0;
    *inkPixels = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        bool onScreen = false, inPicture = false;
        for (int x = r.left + skip; x < r.right; ++x) {
            const bool a = Ink(screen.At(origin.x + x, origin.y + y)), b = Ink(picture.At(x, y));
            onScreen |= a;
            inPicture |= b;
            *inkPixels += a;
            differ += a != b;
        }
        rowsScreen += onScreen ? '#' : '.';
        rowsPicture += inPicture ? '#' : '.';
    }
    std::string out;
    if (rowsScreen != rowsPicture) out += "ink rows differ:\n  screen  " + rowsScreen + "\n  preview " + rowsPicture + "\n";
    if (differ * 50 > *inkPixels) out += std::to_string(differ) + " of " + std::to_string(*inkPixels) + " ink pixels differ\n";
    return out;
}

// A control's client rectangle in the dialog's client coordinates.
RECT InsideOf(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT r{};
    GetClientRect(control, &r);
    MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A text agreement as the preview draws it beside the dialog on screen: the same size,
// the same lines of the licence where the text box shows them, at the top and scrolled
// to its end, and the same two buttons with their captions.
TEST(Preview, ShowsTheTextAgreementAsTheDialogDoes) {
    stage::Folder folder("tool-agreement");
    std::string licence;
    for (int i = 1; i <= 40; ++i) licence += "Clause " + std::to_string(i) + "\tof the licence, " + std::string(i % 7 * 3, 'x') + "\r\n";
    folder.Put("license.txt", licence);
    folder.WriteScript(Crlf({"[Setup]", "Name=Agreement Product", "[Root]", "Name=%programs%\\Agreement Product",
                             "[Go]", "Agree=1", "[Readme]", "Done=2", "File=license.txt"}));
    const std::string out = "C:\\stage\\tool-agreement-out";
    stage::DeleteTree(out);
    std::string report;
    ASSERT_EQ(RunTool("preview \"" + folder.dir() + "\" --out " + out, &report), 0u) << report;
    stage::WriteFile(stage::ArtifactPath("tool-agreement-preview.txt"), report);
    if (!stage::Japanese()) {
        EXPECT_NE(report.find("agreement-1.bmp  "), std::string::npos) << report;
        EXPECT_NE(report.find(" agreement, lines 1 to "), std::string::npos) << report;
        EXPECT_NE(report.find(" of 41, buttons: I agree., Cancel\n"), std::string::npos) << report;
    }
    const BmpFile first(out + "\\agreement-1.bmp"), last(out + "\\agreement-2.bmp");
    ASSERT_GT(first.w, 0) << report;
    ASSERT_GT(last.w, 0) << "41 lines take two pictures\n" << report;
    EXPECT_FALSE(stage::Exists(out + "\\agreement-3.bmp")) << report;

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND readme = ui::WaitForReadmeDialog(program.pid(), 30000);
    ASSERT_NE(readme, nullptr) << "the agreement did not open by itself";
    Sleep(700);
    RECT client{};
    GetClientRect(readme, &client);
    ASSERT_EQ(first.w, client.right) << "the picture is the dialog's inside";
    ASSERT_EQ(first.h, client.bottom);
    POINT origin = {0, 0};
    ClientToScreen(readme, &origin);
    RECT screenRect = ui::WindowRect(GetDesktopWindow());
    draw_test::Surface screen(screenRect.right, screenRect.bottom);
    const struct {
        int id;
        int skip;  // columns left out at the left: the text box's caret
    } controls[] = {{IDC_README_TEXT, 8}, {IDC_README_BUTTON1, 0}, {IDC_README_BUTTON2, 0}};
    for (const BmpFile* picture : {&first, &last}) {
        const bool end = picture == &last;
        if (end) SendDlgItemMessageA(readme, IDC_README_TEXT, EM_LINESCROLL, 0, 1000);
        Sleep(500);
        CaptureScreen(screen);
        e2e::Shot(end ? "tool-agreement-end" : "tool-agreement-top");
        for (const auto& c : controls) {
            RECT inside = InsideOf(readme, c.id);
            // A focused or default button draws its own frames inside its edge.
            if (c.id != IDC_README_TEXT) InflateRect(&inside, -4, -4);
            long ink = 0;
            EXPECT_EQ(CompareInk(screen, origin, *picture, inside, c.skip, &ink), "")
                << (end ? "scrolled to the end, " : "at the top, ") << "control " << c.id;
            EXPECT_GT(ink, c.id == IDC_README_TEXT ? 2000 : 20) << "too little ink to compare in control " << c.id;
        }
    }
    ui::Click(readme, IDC_README_BUTTON2);  // Cancel: the agreement refused, nothing installed
    DWORD code = 99;
    EXPECT_TRUE(program.Wait(15000, &code));
}

// ---- the plans against the install and the uninstall ------------------------------

// What the plans are compared with: files (size and bytes), keys and values.
using Snapshot = listing::Entries;

struct Watched {
    std::string install, programs, desktop;
    Snapshot Take() const {
        Snapshot s;
        listing::FileOptions files;
        files.detail = listing::FileDetail::Contents;
        files.lowerCase = true;
        for (const std::string& folder : {install, programs, desktop}) {
            if (stage::Exists(folder)) s["folder " + e2e::Lower(folder)] = "";
            listing::AddFiles(folder, files, &s);
        }
        listing::KeyOptions keys;
        keys.lowerCase = true;
        listing::AddKeys(HKEY_CURRENT_USER, "Software\\Sample Software", keys, &s);
        listing::AddKeys(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\Sample Notes", keys, &s);
        listing::AddKeys(HKEY_CLASSES_ROOT, ".snote", keys, &s);
        listing::AddKeys(HKEY_CLASSES_ROOT, "SampleNotes.Note", keys, &s);
        return s;
    }
};

// The snapshot entries a plan line stands for ("file x", "key k", "value k | name").
std::vector<std::string> EntriesOf(const plan::Line& l) {
    std::string object = e2e::Lower(l.object);
    if (object.compare(0, 5, "hkey_") == 0) {
        if (l.detail.size() > 1 && l.detail[0] == '"') {
            size_t close = l.detail.find('"', 1);
            return {"value " + object + " | " + e2e::Lower(l.detail.substr(1, close - 1))};
        }
        return {"key " + object};
    }
    return {"file " + object, "folder " + object};
}

// The data of a value line: "name" = "data" [(was "old")], or "name" = 1 (a number).
std::string DataOf(const std::string& detail) {
    size_t eq = detail.find("\" = ");
    if (eq == std::string::npos) return "<no data>";
    std::string rest = detail.substr(eq + 4);
    if (rest.empty() || rest[0] != '"') return rest.substr(0, rest.find(' '));
    size_t was = rest.find("\" (was \"");
    return rest.substr(1, (was == std::string::npos ? rest.rfind('"') : was) - 1);
}

std::string Describe(const std::set<std::string>& items) {
    std::string out;
    for (const std::string& i : items) out += "  " + i + "\n";
    return out.empty() ? "  (none)\n" : out;
}


std::string Flat(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return ui::Narrow(text, CP_ACP);
}

TEST(Plan, OfTheSampleAgreesWithItsInstallAndItsUninstall) {
    const char* source = getenv("SETUP_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    stage::Folder folder("tool-sample");
    stage::CopyTree(stage::HostToWindows(source) + "\\examples\\sample", folder.dir());
    // Unattended, and with entries for every outcome an unattended install can have.
    stage::SetIni(folder.Script(), "Setup", "Auto", "1");
    stage::SetIni(folder.Script(), "CopyFile", "5", "&kept.cfg");
    stage::SetIni(folder.Script(), "CopyFile", "6", "*gone.txt");
    stage::SetIni(folder.Script(), "CopyFile", "7", "!extra.txt");
    folder.Put("kept.cfg", "shipped settings");
    folder.Put("extra.txt", "extra");
    Watched watched{"C:\\Program Files\\Sample Notes", ShellFolder("Programs"), ShellFolder("Desktop")};
    stage::DeleteTree(watched.install);
    stage::DeleteTree(watched.programs + "\\Sample Notes");
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\Sample Software");
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\Sample Notes").c_str());
    for (const char* key : {".snote", "SampleNotes.Note"}) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);
    ASSERT_TRUE(stage::WriteFile(watched.install + "\\kept.cfg", "the user's settings"));
    ASSERT_TRUE(stage::WriteFile(watched.install + "\\docs\\changes.txt", "newer changes"));
    ASSERT_TRUE(stage::WriteFile(watched.install + "\\notes.cfg", "older notes"));
    stage::Touch(watched.install + "\\kept.cfg", 86400);
    stage::Touch(watched.install + "\\docs\\changes.txt", 86400);
    stage::Touch(watched.install + "\\notes.cfg", -86400);

    // The install plan; the machine stays as it was.
    const Snapshot beforePlan = watched.Take();
    const std::string script = stage::ReadFile(folder.Script());
    std::string text;
    ASSERT_EQ(RunTool("plan \"" + folder.dir() + "\"", &text), 0u) << text;
    EXPECT_TRUE(beforePlan == watched.Take()) << "the plan changed the machine";
    EXPECT_EQ(script, stage::ReadFile(folder.Script())) << "the plan changed the script";
    stage::WriteFile(stage::ArtifactPath("tool-plan.txt"), text);
    const std::vector<plan::Line> planned = plan::Lines(text);
    const std::string dest = watched.install + "\\";
    EXPECT_EQ(plan::OutcomeOf(planned, dest + "kept.cfg"), "keep") << text;
    EXPECT_EQ(plan::OutcomeOf(planned, dest + "docs\\changes.txt"), "overwrite");
    EXPECT_EQ(plan::OutcomeOf(planned, dest + "notes.cfg"), "replace");
    EXPECT_EQ(plan::OutcomeOf(planned, dest + "readme.txt"), "new");
    EXPECT_EQ(plan::OutcomeOf(planned, dest + "gone.txt"), "missing-quietly");
    EXPECT_EQ(plan::OutcomeOf(planned, dest + "extra.txt"), "new");

    // The install itself.
    ui::Program setup;
    ASSERT_TRUE(setup.Start(folder.Path("Setup.exe"), "", folder.dir()));
    e2e::Outcome end = e2e::WaitForEndOrBox(setup, kRunWait);
    ASSERT_TRUE(end.ended) << (end.box ? "a message box: " + ui::Narrow(ui::MessageBoxText(end.box)) : "no end in time");
    const Snapshot installed = watched.Take();

    // Every line of the plan came true...
    std::set<std::string> predicted;
    for (const plan::Line& l : planned) {
        for (const std::string& e : EntriesOf(l)) predicted.insert(e);
        const std::string what = l.outcome + " " + l.object + "  " + l.detail;
        if (l.outcome == "new" || l.outcome == "replace" || l.outcome == "overwrite") {
            if (l.object.size() > 4 && e2e::Lower(l.object.substr(l.object.size() - 4)) == ".lnk") {
                links::Link link = links::Read(l.object);
                ASSERT_TRUE(link.loaded) << what;
                std::string target = l.detail.substr(3, l.detail.find("  (in ") - 3);
                EXPECT_EQ(link.path + (link.arguments.empty() ? "" : " " + link.arguments), target) << what;
                EXPECT_EQ("(in " + link.workFolder + ")", l.detail.substr(l.detail.find("  (in ") + 2)) << what;
            } else if (l.detail.compare(0, 3, "<- ") == 0) {
                std::string from = l.detail.substr(3, l.detail.find("  ") == std::string::npos ? std::string::npos
                                                                                                 : l.detail.find("  ") - 3);
                EXPECT_EQ(stage::ReadFile(l.object), stage::ReadFile(from)) << what;
            } else {
                EXPECT_TRUE(stage::Exists(l.object)) << what;
            }
        } else if (l.outcome == "keep") {
            EXPECT_EQ(installed.at("file " + e2e::Lower(l.object)), beforePlan.at("file " + e2e::Lower(l.object))) << what;
        } else if (l.outcome == "missing" || l.outcome == "missing-quietly") {
            EXPECT_FALSE(stage::Exists(l.object)) << what;
        } else if (l.outcome == "make" || l.outcome == "exists" || l.outcome == "new-key") {
            EXPECT_TRUE(installed.count(EntriesOf(l)[0]) || (EntriesOf(l).size() > 1 && installed.count(EntriesOf(l)[1])))
                << what;
        } else if (l.outcome == "set" || l.outcome == "replace" || l.outcome == "same") {
            auto found = installed.find(EntriesOf(l)[0]);
            ASSERT_TRUE(found != installed.end()) << what;
            EXPECT_EQ(listing::Data(found->second), DataOf(l.detail)) << what;
        }
    }
    // ... and nothing came about that it did not tell.
    std::set<std::string> untold;
    for (const auto& item : installed) {
        auto was = beforePlan.find(item.first);
        if ((was == beforePlan.end() || was->second != item.second) && !predicted.count(item.first))
            untold.insert(item.first);
    }
    EXPECT_EQ(Describe(untold), Describe({})) << "changed by the install, not in the plan";

    // A file of the user's in a product folder, and a log the [Del] pattern takes.
    ASSERT_TRUE(stage::WriteFile(dest + "docs\\mine.txt", "the user's"));
    ASSERT_TRUE(stage::WriteFile(dest + "notes.log", "log"));
    const Snapshot beforeUninstallPlan = watched.Take();
    ASSERT_EQ(RunTool("plan --uninstall \"" + folder.dir() + "\"", &text), 0u) << text;
    EXPECT_TRUE(beforeUninstallPlan == watched.Take()) << "the uninstall plan changed the machine";
    stage::WriteFile(stage::ArtifactPath("tool-plan-uninstall.txt"), text);
    const std::vector<plan::Line> removal = plan::Lines(text);
    std::string leftReport = "Could not delete these...\n\n";
    for (const plan::Line& l : removal)
        if (l.outcome == "left") leftReport += l.object + "\n";

    ui::Program uninstall;
    ASSERT_TRUE(uninstall.Start(dest + "Setup.exe", "uninstall", watched.install));
    e2e::Outcome box = e2e::WaitForEndOrBox(uninstall, kRunWait);
    ASSERT_TRUE(box.box) << "no leftover report";
    e2e::Shot("tool-uninstall-leftovers");
    if (!stage::Japanese()) {
        EXPECT_EQ(Flat(ui::MessageBoxText(box.box)), leftReport) << "the leftover report";
    }
    ui::Click(box.box, IDOK);
    ASSERT_TRUE(uninstall.Wait(kRunWait)) << "the uninstall did not end";
    // The self-removal waits 5 s, then a batch file deletes the uninstaller.
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(dest + "Setup.exe"); }, 30000)) << "the uninstaller stayed";
    Sleep(1000);
    const Snapshot after = watched.Take();

    std::set<std::string> removedTold, keptTold;
    for (const plan::Line& l : removal) {
        const std::string what = l.outcome + " " + l.object + "  " + l.detail;
        std::vector<std::string> entries = EntriesOf(l);
        bool there = false;
        for (const std::string& e : entries) there |= after.count(e) != 0;
        if (l.outcome == "remove" || l.outcome == "remove-key" || l.outcome == "remove-value" ||
            l.outcome == "remove-folder") {
            EXPECT_FALSE(there) << what;
            for (const std::string& e : entries) removedTold.insert(e);
        } else if (l.outcome == "stays" || l.outcome == "left") {
            EXPECT_TRUE(there) << what;
            for (const std::string& e : entries) keptTold.insert(e);
        }
    }
    std::set<std::string> untoldRemovals;
    for (const auto& item : beforeUninstallPlan) {
        if (after.count(item.first)) continue;
        // A key removed with everything in it takes its subkeys and values along.
        bool told = removedTold.count(item.first) != 0;
        for (const std::string& r : removedTold) {
            if (r.compare(0, 4, "key ") != 0) continue;
            const std::string key = r.substr(4);
            size_t at = item.first.find(' ');
            const std::string name = item.first.substr(at + 1);
            told |= name.compare(0, key.size() + 1, key + "\\") == 0 ||
                    name.compare(0, key.size() + 3, key + " | ") == 0;
        }
        if (!told) untoldRemovals.insert(item.first);
    }
    EXPECT_EQ(Describe(untoldRemovals), Describe({})) << "removed by the uninstall, not in the plan";
    EXPECT_TRUE(keptTold.count("file " + e2e::Lower(dest + "docs\\mine.txt")) || after.count("file " + e2e::Lower(dest + "docs\\mine.txt")))
        << "the user's file stays";
    stage::DeleteTree(watched.install);
}

}  // namespace

namespace {

// The first ini block after the README's heading "## Your first product".
std::string FirstProductScript() {
    const char* source = getenv("SETUP_SOURCE_DIR");
    if (!source) return "";
    const std::string readme = stage::ReadFile(stage::HostToWindows(source) + "\\README.md");
    const size_t heading = readme.find("\n## Your first product\n");
    if (heading == std::string::npos) return "";
    const size_t open = readme.find("```ini\n", heading);
    if (open == std::string::npos) return "";
    const size_t begin = open + 7, end = readme.find("\n```", begin);
    if (end == std::string::npos) return "";
    std::string block = readme.substr(begin, end + 1 - begin), crlf;
    for (char c : block) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// The README's first product, staged with the files it names, taken the way the README
// walks it: check (clean), plan, preview, an install through the agreement and the dialog,
// the uninstall plan and the uninstall; every plan agrees with what then happens, and the
// uninstall leaves nothing of the product behind.
TEST(FirstProduct, TheReadmesScriptChecksCleanInstallsAndUninstalls) {
    const std::string script = FirstProductScript();
    ASSERT_FALSE(script.empty()) << "no ini block under \"## Your first product\" in the README";
    std::string licence;
    for (int i = 1; i <= 30; ++i) licence += std::to_string(i) + ". A clause of the licence.\r\n";
    auto ship = [&](stage::Folder& folder, const std::string& text) {
        folder.WriteScript(text);
        folder.Put("qmemo.exe", "MZ the product's program");
        folder.Put("qmemo.dll", "MZ its library");
        folder.Put("docs\\guide.txt", "The guide.\r\n");
        folder.Put("license.txt", licence);
    };
    stage::Folder folder("first-product");
    ship(folder, script);
    const std::string install = "C:\\Program Files\\Quick Memo", menu = ShellFolder("Programs") + "\\Quick Memo",
                      desktopLink = ShellFolder("Desktop") + "\\Quick Memo.lnk";
    const std::string product = std::string(kUninstallKey) + "\\Quick Memo";
    stage::DeleteTree(install);
    stage::DeleteTree(menu);
    DeleteFileA(desktopLink.c_str());
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, product.c_str());
    stage::DeleteRegTree(HKEY_CURRENT_USER, "Software\\Memo Works");
    for (const char* key : {".qmemo", "QuickMemo.Memo"}) stage::DeleteRegTree(HKEY_CLASSES_ROOT, key);

    // 1. check: clean, with nothing but the exit status.
    std::string text;
    EXPECT_EQ(RunTool("check \"" + folder.dir() + "\"", &text), 0u) << text;
    EXPECT_EQ(text, "");
    // The same with the dialog's icon behind a token: one finding at its line, and the
    // summary on a line of its own in the file both streams share.
    {
        std::string broken = script;
        const std::string icon = "\r\nIcon=qmemo.exe\r\n";
        const size_t at = broken.find(icon);
        ASSERT_NE(at, std::string::npos);
        broken.replace(at, icon.size(), "\r\nIcon=%root%qmemo.exe\r\n");
        const int line = 2 + (int)std::count(broken.begin(), broken.begin() + (long)at, '\n');
        stage::Folder copy("first-product-icon");
        ship(copy, broken);
        EXPECT_EQ(RunTool("check \"" + copy.dir() + "\"", &text), 1u) << text;
        const std::string finding = ":" + std::to_string(line) + ": warning: the setup dialog takes [Desktop] \"Icon\" as written";
        EXPECT_NE(text.find(finding), std::string::npos) << text;
        EXPECT_NE(text.find("Icon=qmemo.exe\n\n0 errors, 1 warning\n"), std::string::npos) << text;
    }
    // 2. plan and 3. preview.
    const plancheck::InstallPlan plan(folder.dir());
    ASSERT_TRUE(plan.available());
    stage::WriteFile(stage::ArtifactPath("first-product-plan.txt"), plan.text());
    EXPECT_EQ(plan::OutcomeOf(plan.lines(), menu + "\\Quick Memo.lnk"), "new") << plan.text();
    const std::string pictures = "C:\\stage\\first-product-pictures";
    stage::DeleteTree(pictures);
    ASSERT_EQ(RunTool("preview \"" + folder.dir() + "\" --out " + pictures, &text), 0u) << text;
    stage::WriteFile(stage::ArtifactPath("first-product-preview.txt"), text);
    EXPECT_TRUE(stage::Exists(pictures + "\\agreement-1.bmp") && stage::Exists(pictures + "\\agreement-2.bmp")) << text;

    // 4. The install: the agreement first, then the dialog's OK.
    {
        ui::Program setup;
        ASSERT_TRUE(setup.Start(folder.Path("Setup.exe"), "", folder.dir()));
        HWND agreement = ui::WaitForReadmeDialog(setup.pid(), 30000);
        ASSERT_NE(agreement, nullptr) << "the agreement did not open first";
        ui::Click(agreement, IDC_README_BUTTON1);
        HWND dialog = ui::WaitForMainDialog(setup.pid(), 30000);
        ASSERT_NE(dialog, nullptr) << "no main dialog after the agreement";
        e2e::Shot("first-product-dialog");
        ui::Click(dialog, IDC_RUN);
        e2e::Outcome end = e2e::WaitForEndOrBox(setup, kRunWait);
        ASSERT_TRUE(end.ended) << (end.box ? "a message box: " + ui::Narrow(ui::MessageBoxText(end.box)) : "no end in time");
    }
    EXPECT_EQ("", plan.AfterInstall()) << "the plan and the install differ";
    for (const char* file : {"qmemo.exe", "qmemo.dll", "docs\\guide.txt", "license.txt", "Setup.exe", "Setup.ini"})
        EXPECT_TRUE(stage::Exists(install + "\\" + file)) << file;
    EXPECT_EQ(install + "\\qmemo.exe", links::Read(menu + "\\Quick Memo.lnk").path);
    EXPECT_EQ(install + "\\qmemo.exe", links::Read(desktopLink).icon);
    std::string value;
    EXPECT_TRUE(stage::GetRegString(HKEY_CLASSES_ROOT, "QuickMemo.Memo", "", &value) && value == "Quick Memo note") << value;
    EXPECT_TRUE(stage::GetRegString(HKEY_CURRENT_USER, "Software\\Memo Works\\Quick Memo", "Folder", &value) &&
                value == install + "\\")
        << value;

    // 5. The uninstall, as the list of installed programs starts it.
    const plancheck::InstallPlan removal(install, true);
    ASSERT_TRUE(removal.available());
    stage::WriteFile(stage::ArtifactPath("first-product-plan-uninstall.txt"), removal.text());
    {
        ui::Program uninstall;
        ASSERT_TRUE(uninstall.Start(install + "\\Setup.exe", "uninstall", install));
        e2e::Outcome end = e2e::WaitForEndOrBox(uninstall, kRunWait);
        ASSERT_TRUE(end.ended) << (end.box ? "a message box: " + ui::Narrow(ui::MessageBoxText(end.box)) : "no end in time");
    }
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(install); }, 40000, 200)) << "the install folder stayed";
    EXPECT_EQ("", removal.Disagreements()) << "the plan and the uninstall differ";
    EXPECT_FALSE(stage::Exists(menu) || stage::Exists(desktopLink));
    for (const char* key : {".qmemo", "QuickMemo.Memo"}) EXPECT_FALSE(plancheck::KeyThere(std::string("HKEY_CLASSES_ROOT\\") + key)) << key;
    EXPECT_FALSE(plancheck::KeyThere("HKEY_CURRENT_USER\\Software\\Memo Works"));
    EXPECT_FALSE(plancheck::KeyThere("HKEY_LOCAL_MACHINE\\" + product));
    stage::DeleteTree(pictures);
}

}  // namespace
