// The 32-bit Setup.exe on the NT family (Wine's default, a 64-bit Windows with its
// WoW64 side): the sample product installed through the dialog, the record, the files
// and the registry; then the installed copy's uninstall and its removal of itself
// through the batch file; the machine afterwards as it was. What the 32-bit build
// made is compared with what the x64 build makes of the same product, so shortcuts
// and registration are checked as soon as the x64 build makes them.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <algorithm>
#include <string>
#include <vector>
#include "plan_check.h"
#include "run32_helpers.h"
#include "res/resource.h"

using namespace e2e;

namespace {

constexpr DWORD kRunWait = 120000;  // an emulated run is 2-5 times slower than a native one
const char kBatch[] = "C:\\delus.bat";
const char kUninstallKey[] = "microsoft\\windows\\currentversion\\uninstall\\";

std::string Env(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}


// What a test compares: drive C: outside Windows, the test's folders and Wine's temp
// files, and the software keys of both registry views.
using Machine = listing::Entries;

Machine Now() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string tempFolder = temp;
    if (!tempFolder.empty() && tempFolder.back() == '\\') tempFolder.pop_back();
    return run32::Machine({"c:\\windows", "c:\\unit", "c:\\stage", Lower(tempFolder)});
}

std::string Lowered(std::string text) {
    CharLowerA(&text[0]);
    return text;
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

// A change seen from one build's side: lower case, the install folder (long and short)
// and the stage as words, the 32-bit registry view's node left out.
struct Normalizer {
    std::vector<std::pair<std::string, std::string>> words;
    std::string operator()(std::string text) const {
        text = Lowered(text);
        for (const auto& w : words) ReplaceAll(&text, w.first, w.second);
        ReplaceAll(&text, "\\wow6432node\\", "\\");
        return text;
    }
};

Normalizer For(const std::string& folder, const std::string& stageDir) {
    return Normalizer{{{Lowered(run32::ShortForm(folder)), "<folder>"},
                       {Lowered(folder), "<folder>"},
                       {Lowered(stageDir), "<stage>"}}};
}

std::string Changes(const Machine& before, const Machine& after, const Normalizer& normal) {
    std::vector<std::string> lines;
    for (const auto& kv : listing::Added(before, after))
        lines.push_back("+ " + normal(kv.first) + (kv.second.empty() ? "" : " = " + normal(kv.second)));
    for (const auto& kv : before)
        if (!after.count(kv.first)) lines.push_back("- " + normal(kv.first));
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// Puts back what an install added: its new files and folders, its new keys and values
// (values first, deeper keys and folders before those that hold them).
void Undo(const Machine& before, const Machine& after) {
    const listing::Entries added = listing::Added(before, after);
    for (auto it = added.rbegin(); it != added.rend(); ++it) {
        const std::string& entry = it->first;
        const size_t space = entry.find(' ');
        const std::string kind = entry.substr(0, space), path = entry.substr(space + 1);
        if (kind == "file" || kind == "folder") {
            stage::DeleteTree(path);
            continue;
        }
        // "key ROOT\parent\name" or "value ROOT\key | name"
        const bool isKey = kind == "key";
        const size_t cut = isKey ? path.rfind('\\') : path.rfind(" | ");
        if (cut == std::string::npos) continue;
        const std::string parent = path.substr(0, cut), name = path.substr(cut + (isKey ? 1 : 3));
        const size_t rootEnd = parent.find('\\');
        if (rootEnd == std::string::npos) continue;
        HKEY root = parent.compare(0, rootEnd, "hkey_local_machine") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        HKEY key;
        if (RegOpenKeyExA(root, parent.substr(rootEnd + 1).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS)
            continue;
        if (isKey) {
            SHDeleteKeyA(key, name.c_str());
        } else if (!before.count(entry)) {
            RegDeleteValueA(key, name.c_str());
        }
        RegCloseKey(key);
    }
}

struct Dialog {
    HWND window = nullptr;
    std::wstring folder;
};

// Starts Setup.exe, waits for its main dialog and reads the folder it proposes.
Dialog OpenDialog(ui::Program& program, const std::string& exe, const std::string& args, const std::string& dir) {
    Dialog d;
    if (!program.Start(exe, args, dir)) {
        ADD_FAILURE() << exe << " did not start";
        return d;
    }
    d.window = ui::WaitForMainDialog(program.pid(), 90000);
    if (!d.window) return d;
    d.folder = ui::ItemText(d.window, IDC_FOLDER);
    ui::WaitForPaint(d.window, 30000);  // an emulated dialog paints its controls well after it shows
    return d;
}

// Waits for the end of a run; a message box is a failure, answered with its default.
void AwaitEnd(ui::Program& program, const char* what) {
    for (HWND last = nullptr;;) {
        Outcome o = WaitForEndOrBox(program, kRunWait, last);
        if (o.ended) {
            EXPECT_EQ(o.exitCode, 0u) << what;
            return;
        }
        if (!o.box) {
            ADD_FAILURE() << what << " did not end within " << kRunWait / 1000 << " s";
            return;
        }
        Shot("unexpected-box");
        ADD_FAILURE() << what << ": unexpected message box: " << ui::Narrow(ui::MessageBoxText(o.box));
        PostMessageW(o.box, WM_KEYDOWN, VK_RETURN, 1);
        ui::WaitUntil([&] { return !IsWindow(o.box); }, 5000);
        last = o.box;
    }
}

}  // namespace

TEST(Win32OnNt, SampleInstalledThroughTheDialogThenUninstalledAndRemoved) {
    const std::string sample = stage::HostToWindows(Env("SETUP_SAMPLE").c_str());
    const std::string exe64 = stage::HostToWindows(Env("SETUP_EXE64").c_str());
    ASSERT_FALSE(Env("SETUP_SAMPLE").empty() || Env("SETUP_EXE64").empty()) << "SETUP_SAMPLE and SETUP_EXE64 must be set";
    const std::string programs32 = run32::ProgramFiles32();
    ASSERT_EQ(programs32, "C:\\Program Files (x86)") << "the 32-bit view's programs folder";
    const std::string folder = programs32 + "\\Sample Notes", installed = folder + "\\Setup.exe";
    const std::string folder64 = "C:\\Program Files\\Sample Notes";
    stage::DeleteTree(folder);
    stage::DeleteTree(folder64);
    stage::DeleteTree(kBatch);

    stage::Folder product("sample32");
    ASSERT_TRUE(stage::CopyTree(sample, product.dir())) << "could not stage " << sample;
    // The sample's copy list, in order.
    std::vector<std::string> payload;
    for (int i = 0;; ++i) {
        std::string entry = stage::Ini(product.Script(), "CopyFile", std::to_string(i).c_str());
        if (entry.empty()) break;
        payload.push_back(entry.substr(entry.find_first_not_of("!&?*")));
    }
    ASSERT_GE(payload.size(), 4u) << "the sample's copy list";
    for (const std::string& file : payload) ASSERT_TRUE(stage::Exists(product.Path(file))) << "the sample lacks " << file;
    const Machine start = Now();

    // Install through the dialog, as a user would.
    {
        ui::Program setup;
        Dialog d = OpenDialog(setup, product.Path("Setup.exe"), "", product.dir());
        ASSERT_TRUE(d.window) << "the 32-bit Setup.exe showed no main dialog within 90 s";
        Shot("x86-dialog");
        EXPECT_EQ(ui::Narrow(ui::Text(d.window)), "Sample Notes") << "caption";
        EXPECT_EQ(ui::Narrow(d.folder, CP_ACP), folder) << "%programs% of a 32-bit program is the x86 programs folder";
        EXPECT_TRUE(ui::Checked(d.window, IDC_MENU)) << "Menu=2 starts checked";
        ui::Click(d.window, IDC_RUN);
        AwaitEnd(setup, "the install");
    }
    const Machine installedState = Now();
    for (const std::string& file : payload)
        EXPECT_EQ(stage::ReadFile(folder + "\\" + file), stage::ReadFile(product.Path(file))) << file;
    EXPECT_FALSE(stage::Exists(folder + "\\license.txt")) << "the Self file is copied only when Copy is ticked";
    EXPECT_EQ(stage::ReadFile(installed), stage::ReadFile(product.Path("Setup.exe"))) << "the uninstaller is this Setup.exe";
    const std::string record = folder + "\\Setup.ini";
    EXPECT_EQ(IniValue(record, "Root", "Named"), folder);
    EXPECT_EQ(IniValue(record, "CopiedFile", "Count"), std::to_string(payload.size()));
    for (size_t i = 0; i < payload.size(); ++i)
        EXPECT_EQ(IniValue(record, "CopiedFile", std::to_string(i)), folder + "\\" + payload[i]);
    EXPECT_EQ(IniValue(record, "MakedDirectory", "Count"), "2");
    EXPECT_EQ(IniValue(record, "MakedDirectory", "0"), folder);
    EXPECT_EQ(IniValue(record, "MakedDirectory", "1"), folder + "\\docs");
    const std::string recordText = stage::ReadFile(record);

    // The installed copy opens in its installed state; the Uninstall box and OK remove it.
    std::string batch;
    {
        ui::Program uninstaller;
        Dialog d = OpenDialog(uninstaller, installed, "", folder);
        ASSERT_TRUE(d.window) << "the installed copy showed no main dialog";
        EXPECT_TRUE(ui::Visible(d.window, IDC_COPY)) << "the Uninstall box is shown in the installed state";
        ui::Click(d.window, IDC_COPY);
        ASSERT_TRUE(ui::WaitUntil([&] { return ui::Checked(d.window, IDC_COPY); }, 10000))
            << "Uninstall could not be ticked";
        Shot("x86-uninstall");
        ui::Click(d.window, IDC_RUN);
        AwaitEnd(uninstaller, "the uninstall");
    }
    std::string where;
    bool removed = ui::WaitUntil([&] {
        std::vector<std::string> batches = e2e::BatchFiles();
        if (batch.empty() && !batches.empty()) batch = stage::ReadFile(where = batches[0]);
        return !stage::Exists(installed) && !stage::Exists(folder) && batches.empty();
    }, 120000, 10);
    EXPECT_TRUE(removed) << "after 120 s: Setup.exe " << (stage::Exists(installed) ? "present" : "gone") << ", folder "
                         << (stage::Exists(folder) ? "present" : "gone") << ", batch files "
                         << e2e::BatchFiles().size();
    EXPECT_EQ(batch, ":Repeat\r\ndel \"" + installed + "\"\r\nif exist \"" + installed + "\" goto Repeat\r\nrmdir \"" +
                         folder + "\"\r\ndel \"" + where + "\"\r\n");
    EXPECT_FALSE(stage::Exists(kBatch)) << "never a batch file in the drive root";
    const Machine after = Now();
    EXPECT_EQ(Changes(start, after, Normalizer{}), "") << "the machine differs after install and uninstall";

    // The x64 build with the same product, unattended, for comparison; then taken back.
    stage::Folder product64("sample64");
    ASSERT_TRUE(stage::CopyTree(sample, product64.dir()));
    ASSERT_TRUE(CopyFileA(exe64.c_str(), product64.Path("Setup.exe").c_str(), FALSE));
    {
        ui::Program setup;
        Dialog d = OpenDialog(setup, product64.Path("Setup.exe"), "", product64.dir());
        ASSERT_TRUE(d.window) << "the x64 Setup.exe showed no main dialog";
        EXPECT_EQ(ui::Narrow(d.folder, CP_ACP), folder64);
        ui::Click(d.window, IDC_RUN);
        AwaitEnd(setup, "the x64 install");
    }
    const Machine installed64 = Now();
    std::string record64 = stage::ReadFile(folder64 + "\\Setup.ini");
    Undo(after, installed64);
    std::string changes32 = Changes(start, installedState, For(folder, product.dir()));
    std::string changes64 = Changes(after, installed64, For(folder64, product64.dir()));
    EXPECT_EQ(changes32, changes64) << "the 32-bit build made other changes than the x64 build";
    EXPECT_EQ(For(folder, product.dir())(recordText), For(folder64, product64.dir())(record64))
        << "the records differ beyond their folders";
    bool registers = changes64.find(kUninstallKey) != std::string::npos;
    if (registers) {
        // The 32-bit registration lives in the 32-bit view, as on 64-bit Windows.
        bool in32View = false;
        for (const auto& kv : listing::Added(start, installedState))
            in32View = in32View || Lowered(kv.first).find("wow6432node\\" + std::string(kUninstallKey)) != std::string::npos;
        EXPECT_TRUE(in32View) << "the 32-bit registration is not in the 32-bit registry view";
    }
    printf("note: registration %s\n", registers ? "compared with the x64 build's" : "made by neither build yet");
    EXPECT_EQ(Changes(start, Now(), Normalizer{}), "") << "the x64 comparison install was not taken back";
}

// The 32-bit build deployed as package managers do: a silent install of the sample, then
// the registered quiet uninstall; no window, exit codes 0, the registration in the 32-bit
// view of the registry while installed and gone afterwards.
TEST(Win32OnNt, SilentInstallAndQuietUninstall) {
    const std::string sample = stage::HostToWindows(Env("SETUP_SAMPLE").c_str());
    ASSERT_FALSE(Env("SETUP_SAMPLE").empty()) << "SETUP_SAMPLE must be set";
    stage::Folder folder("silent32");
    ASSERT_TRUE(stage::CopyTree(sample, folder.dir()));
    const std::string target = "C:\\Silent 32\\Sample Notes";
    const char kKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample Notes";
    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "/S /D=" + target, folder.dir()));
    bool window = false;
    DWORD code = 99;
    ASSERT_TRUE(ui::WaitUntil([&] {
        window = window || ui::HasVisibleWindow(program.pid());
        return program.Wait(0, &code);
    }, kRunWait, 20)) << "the silent install did not end";
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(window) << "a silent install shows no window";
    EXPECT_TRUE(stage::Exists(target + "\\readme.txt"));
    EXPECT_TRUE(stage::Exists(target + "\\Setup.exe"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_32KEY, &key))
        << "registered in the 32-bit view";
    char quiet[512] = "";
    DWORD size = sizeof quiet;
    RegQueryValueExA(key, "QuietUninstallString", nullptr, nullptr, (BYTE*)quiet, &size);
    RegCloseKey(key);
    EXPECT_EQ("\"" + target + "\\Setup.exe\" uninstall /S", std::string(quiet));

    ui::Program uninstall;
    // Started from elsewhere, as a package manager starts it (a process whose current
    // folder is the install folder keeps Windows from removing that folder).
    ASSERT_TRUE(uninstall.Start(target + "\\Setup.exe", "uninstall /S", "C:\\"));
    ASSERT_TRUE(uninstall.Wait(kRunWait, &code)) << "the silent uninstall did not end";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(target); }, 90000)) << "the uninstaller removes itself";
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_32KEY, &key));
    stage::DeleteTree("C:\\Silent 32");
}

// The 32-bit program checks its seal (SHA-256 in its own code) under emulation: one
// changed byte of a payload file is refused with 1603 before anything is made; the
// folder as sealed installs, and the installed copy uninstalls without a check.
TEST(Win32OnNt, SealedSetupRefusesAChangedFileAndInstallsTheIntactOne) {
    const std::string sample = stage::HostToWindows(Env("SETUP_SAMPLE").c_str());
    ASSERT_FALSE(Env("SETUP_SAMPLE").empty()) << "SETUP_SAMPLE must be set";
    stage::Folder folder("sealed32");
    ASSERT_TRUE(stage::CopyTree(sample, folder.dir()));
    std::string said;
    ASSERT_EQ(0u, plancheck::RunTool("seal \"" + folder.dir() + "\"", &said)) << said;
    const std::string target = "C:\\Sealed 32";
    stage::DeleteTree(target);
    auto silent = [&](const std::string& exe, const std::string& args, const std::string& from) {
        ui::Program program;
        DWORD code = 99;
        if (program.Start(exe, args, from) && !program.Wait(kRunWait, &code)) program.Kill();
        return code;
    };
    std::string readme = stage::ReadFile(folder.Path("readme.txt"));
    std::string changed = readme;
    changed[0] ^= 0x20;
    ASSERT_TRUE(stage::WriteFile(folder.Path("readme.txt"), changed));
    EXPECT_EQ(1603u, silent(folder.Path("Setup.exe"), "/S /LOG=C:\\sealed32.log /D=" + target, "C:\\"));
    EXPECT_FALSE(stage::Exists(target)) << "nothing is made";
    EXPECT_NE(std::string::npos, stage::ReadFile("C:\\sealed32.log").find("readme.txt has been changed"))
        << stage::ReadFile("C:\\sealed32.log");

    ASSERT_TRUE(stage::WriteFile(folder.Path("readme.txt"), readme));
    EXPECT_EQ(0u, silent(folder.Path("Setup.exe"), "/S /D=" + target, "C:\\"));
    EXPECT_TRUE(stage::Exists(target + "\\readme.txt"));
    EXPECT_EQ(0u, silent(target + "\\Setup.exe", "uninstall /S", "C:\\"));
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(target); }, 90000)) << "the uninstaller removes itself";
}
