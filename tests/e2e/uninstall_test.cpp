// Uninstall runs of a copy that the program installed itself: files and folders
// removed, leftovers reported or scheduled for the restart, and the uninstaller
// removing itself and its folder through the remove-mode process and the batch file.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include "stage.h"
#include "ui_driver.h"

namespace {

const char kBatch[] = "C:\\delus.bat";
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

const wchar_t* Pick(const wchar_t* english, const wchar_t* japanese) {
    return stage::Japanese() ? japanese : english;
}

// Script lines joined with CRLF, as real profile files are written.
std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = (char)tolower((unsigned char)c);
    return text;
}

// Every path under a folder, lower case, skipping the excluded subtrees.
void ListTree(const std::string& folder, const std::vector<std::string>& excluded, std::set<std::string>* out) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = Lower(folder + "\\" + name);
        if (std::find(excluded.begin(), excluded.end(), path) != excluded.end()) continue;
        out->insert(path);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListTree(folder + "\\" + name, excluded, out);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

std::set<std::string> SnapshotDriveC(const std::string& stageDir) {
    std::set<std::string> paths;
    ListTree("C:", {"c:\\windows", "c:\\users", Lower(stageDir)}, &paths);
    return paths;
}

std::string Difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::string out;
    for (const std::string& path : a)
        if (!b.count(path)) out += "  " + path + "\n";
    return out.empty() ? "  (none)\n" : out;
}

// Number of running processes with this executable name.
int CountProcesses(const char* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, exeName) == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

// The delayed deletions and moves, as (source, target) without the "\??\" prefix.
std::vector<std::pair<std::wstring, std::wstring>> PendingOperations() {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, (BYTE*)data.data(), &size);
        std::vector<std::wstring> strings;
        size_t count = size / sizeof(wchar_t);
        for (size_t i = 0; i < count;) {
            std::wstring s(&data[i]);
            strings.push_back(s);
            i += s.size() + 1;
        }
        // A multi-string ends in an empty string; a deletion's empty target is one too.
        for (size_t i = 0; i + 1 < strings.size(); i += 2) {
            std::wstring from = strings[i], to = strings[i + 1];
            if (from.empty()) break;
            if (from.compare(0, 4, L"\\??\\") == 0) from = from.substr(4);
            if (to.compare(0, 4, L"\\??\\") == 0) to = to.substr(4);
            out.emplace_back(from, to);
        }
    }
    RegCloseKey(key);
    return out;
}

void ClearPendingOperations() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);
}

bool SamePath(const std::wstring& a, const std::string& b) { return lstrcmpiW(a.c_str(), ui::Widen(b.c_str()).c_str()) == 0; }

// One product: staged with its script, installed unattended by the staged Setup.exe.
struct Product {
    stage::Folder stage;
    std::string folder;  // the install folder

    Product(const std::string& name, const std::string& installFolder) : stage(name), folder(installFolder) {
        stage::DeleteTree(folder);
        stage::DeleteTree(kBatch);
    }
    ~Product() { stage::DeleteTree(folder); }

    std::string In(const std::string& relative) const { return folder + "\\" + relative; }
    std::string Exe() const { return In("Setup.exe"); }
    std::string Record() const { return In("Setup.ini"); }

    // Runs the install to its end; false (with a test failure) when it did not place the uninstaller.
    bool Install() {
        ui::Program setup;
        if (!setup.Start(stage.Path("Setup.exe"), "", stage.dir())) {
            ADD_FAILURE() << "the staged Setup.exe did not start";
            return false;
        }
        DWORD code = 0;
        if (!setup.Wait(40000, &code)) {
            ui::SaveScreenshot(stage::ArtifactPath("install-hung.bmp"));
            ADD_FAILURE() << "the unattended install did not end within 40 s";
            return false;
        }
        if (!stage::Exists(Exe()) || stage::Ini(Record(), "CopiedFile", "Count").empty()) {
            ADD_FAILURE() << "the install placed no uninstaller with a record in " << folder;
            return false;
        }
        return true;
    }

    // Starts the installed copy with "uninstall" from its folder.
    bool StartUninstall(ui::Program& program) const { return program.Start(Exe(), "uninstall", folder); }

    // Starts the installed copy without argument, ticks the Uninstall box and presses Run.
    bool StartUninstallByBox(ui::Program& program) const {
        if (!program.Start(Exe(), "", folder)) return false;
        HWND dialog = ui::WaitForMainDialog(program.pid(), 20000);
        if (!dialog) {
            ADD_FAILURE() << "the installed copy showed no main dialog";
            return false;
        }
        EXPECT_TRUE(ui::Visible(dialog, 1009)) << "the Uninstall box is not shown in the installed state";
        EXPECT_FALSE(ui::Checked(dialog, 1009)) << "without \"uninstall\" the Uninstall box starts unchecked";
        ui::Click(dialog, 1009);
        if (!ui::WaitUntil([&] { return ui::Checked(dialog, 1009); }, 5000)) {
            ADD_FAILURE() << "the Uninstall box could not be ticked";
            return false;
        }
        ui::Click(dialog, 1);
        return true;
    }

    // Polls until the executable, the record, the install folder and the batch file are gone.
    bool WaitUntilSelfRemoved() const {
        return ui::WaitUntil(
            [&] {
                return !stage::Exists(Exe()) && !stage::Exists(Record()) && !stage::Exists(folder) &&
                       !stage::Exists(kBatch);
            },
            40000, 200);
    }

    // Polls until the executable and the batch file are gone (the folder holds other files).
    bool WaitUntilExecutableRemoved() const {
        return ui::WaitUntil([&] { return !stage::Exists(Exe()) && !stage::Exists(kBatch); }, 40000, 200);
    }

    std::string State() const {
        std::string out;
        out += "Setup.exe " + std::string(stage::Exists(Exe()) ? "present" : "gone");
        out += ", Setup.ini " + std::string(stage::Exists(Record()) ? "present" : "gone");
        out += ", folder " + std::string(stage::Exists(folder) ? "present" : "gone");
        out += ", delus.bat " + std::string(stage::Exists(kBatch) ? "present" : "gone");
        return out;
    }
};

// Waits for the uninstaller to end while watching for any message box; returns whether it ended.
bool EndsWithoutMessageBox(ui::Program& program, bool* sawBox) {
    *sawBox = false;
    bool ended = ui::WaitUntil(
        [&] {
            if (program.Wait(0)) return true;
            HWND dialog = ui::WaitForMainDialog(program.pid(), 0);
            if (ui::WaitForMessageBox(program.pid(), 0, dialog)) {
                *sawBox = true;
                return true;
            }
            return false;
        },
        40000, 100);
    return ended && !*sawBox;
}

struct Report {
    std::wstring caption, text;
    bool shown = false;
    HWND box = nullptr;
};

// Closes a handle the test holds, also when an assertion ends the test early.
struct Held {
    HANDLE handle;
    ~Held() { Close(); }
    void Close() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

// Waits for the leftover report over the main dialog, reads it and answers OK.
Report ReadLeftoverReport(ui::Program& program, const char* shotName) {
    Report report;
    HWND dialog = ui::WaitForMainDialog(program.pid(), 20000);
    HWND box = nullptr;
    ui::WaitUntil([&] { return (box = ui::WaitForMessageBox(program.pid(), 0, dialog)) != nullptr || program.Wait(0); },
                  40000, 100);
    if (!box) return report;
    report.shown = true;
    report.box = box;
    report.caption = ui::Text(box);
    report.text = ui::MessageBoxText(box);
    ui::SaveScreenshot(stage::ArtifactPath(std::string(shotName) + ".bmp"));
    ui::Click(box, IDOK);
    return report;
}

std::wstring W(const std::string& text) { return ui::Widen(text.c_str()); }

const wchar_t* CouldNotDelete() { return Pick(L"Could not delete these...\n\n", L"次のものは削除されませんでした．\n\n"); }
const wchar_t* ReportCaption() { return Pick(L"Delete files and folders", L"ファイル・フォルダの削除"); }

}  // namespace

TEST(Uninstall, UninstallArgumentRemovesEverythingAndLeavesTheDriveAsItWas) {
    Product p("cycle", "C:\\UninstCycle");
    p.stage.WriteScript(Lines({"[Setup]", "Name=Cycle Product", "Auto=1", "[Root]", "Name=UninstCycle",
                               "[MakeDirectory]", "1=docs", "2=docs\\deep", "3=empty", "[CopyFile]", "0=a.txt",
                               "1=docs\\b.txt", "2=docs\\deep\\c.txt"}));
    p.stage.Put("a.txt", "alpha");
    p.stage.Put("docs\\b.txt", "beta");
    p.stage.Put("docs\\deep\\c.txt", "gamma");
    std::set<std::string> before = SnapshotDriveC(p.stage.dir());
    ASSERT_TRUE(before.count("c:\\program files") && before.count("c:\\unit")) << "the drive listing is incomplete";

    ASSERT_TRUE(p.Install());
    for (const char* path : {"a.txt", "docs\\b.txt", "docs\\deep\\c.txt", "empty"})
        ASSERT_TRUE(stage::Exists(p.In(path))) << "the install did not make " << p.In(path);

    ui::Program uninstaller;
    ASSERT_TRUE(p.StartUninstall(uninstaller));
    bool sawBox = false;
    EXPECT_TRUE(EndsWithoutMessageBox(uninstaller, &sawBox))
        << (sawBox ? "a message box appeared although nothing was left" : "the uninstaller did not end");
    uninstaller.Kill();
    // The uninstaller itself has ended; its files stay until the remove-mode process and the batch act.
    for (const char* path : {"a.txt", "docs\\b.txt", "docs\\deep\\c.txt"})
        EXPECT_FALSE(stage::Exists(p.In(path))) << "copied file left behind: " << p.In(path);
    for (const char* path : {"docs\\deep", "docs", "empty"})
        EXPECT_FALSE(stage::Exists(p.In(path))) << "made folder left behind: " << p.In(path);
    EXPECT_FALSE(stage::Exists(p.Record())) << "the record is deleted when the uninstaller ends";

    // Catch the batch file while it exists, to see what it was told to delete.
    std::string batch;
    bool removed = ui::WaitUntil(
        [&] {
            if (batch.empty() && stage::Exists(kBatch)) batch = stage::ReadFile(kBatch);
            return !stage::Exists(p.Exe()) && !stage::Exists(p.folder) && !stage::Exists(kBatch);
        },
        40000, 10);
    EXPECT_TRUE(removed) << "after 40 s: " << p.State();
    EXPECT_EQ(batch, ":Repeat\r\ndel \"C:\\UninstCycle\\Setup.exe\"\r\nif exist \"C:\\UninstCycle\\Setup.exe\" goto "
                     "Repeat\r\nrmdir \"C:\\UninstCycle\"\r\ndel \"\\delus.bat\"\r\n");

    std::set<std::string> after = SnapshotDriveC(p.stage.dir());
    EXPECT_TRUE(before == after) << "drive C: differs after install and uninstall\nnew paths:\n"
                                 << Difference(after, before) << "missing paths:\n"
                                 << Difference(before, after);
}

TEST(Uninstall, TickedBoxRemovesAFolderWithBlanksAndSkipsFilesTheUserDeleted) {
    Product p("blanks", "C:\\Program Files\\My App");
    p.stage.WriteScript(Lines({"[Setup]", "Name=My App", "Auto=1", "[Root]", "Name=%programs%\\My App",
                               "[MakeDirectory]", "1=data", "[CopyFile]", "0=app.txt", "1=data\\gone.txt",
                               "2=data\\kept.txt", "[Del]", "ShowError=1"}));
    p.stage.Put("app.txt", "app");
    p.stage.Put("data\\gone.txt", "gone");
    p.stage.Put("data\\kept.txt", "kept");
    ASSERT_TRUE(p.Install());
    ASSERT_TRUE(DeleteFileA(p.In("data\\gone.txt").c_str())) << "could not delete the recorded file first";

    ui::Program uninstaller;
    ASSERT_TRUE(p.StartUninstallByBox(uninstaller));
    bool sawBox = false;
    bool quiet = EndsWithoutMessageBox(uninstaller, &sawBox);
    std::wstring boxText;
    if (sawBox) {
        HWND dialog = ui::WaitForMainDialog(uninstaller.pid(), 0);
        boxText = ui::MessageBoxText(ui::WaitForMessageBox(uninstaller.pid(), 1000, dialog));
    }
    EXPECT_TRUE(quiet) << (sawBox ? "a report appeared for a file the user had deleted: " + ui::Narrow(boxText)
                                  : std::string("the uninstaller did not end"));
    uninstaller.Kill();
    EXPECT_FALSE(stage::Exists(p.In("app.txt")));
    EXPECT_FALSE(stage::Exists(p.In("data"))) << "the made folder is removed";

    EXPECT_TRUE(p.WaitUntilSelfRemoved()) << "folder with blanks, after 40 s: " << p.State();
    EXPECT_TRUE(stage::Exists("C:\\Program Files")) << "only the install folder goes, never its parent";
}

TEST(Uninstall, FilesTheUserAddedKeepTheFolderAndAreReported) {
    Product p("userfile", "C:\\UninstUser");
    p.stage.WriteScript(Lines({"[Setup]", "Name=User Files", "Auto=1", "[Root]", "Name=UninstUser", "[CopyFile]",
                               "0=one.txt", "1=two.txt", "[Del]", "ShowError=1"}));
    p.stage.Put("one.txt", "1");
    p.stage.Put("two.txt", "2");
    ASSERT_TRUE(p.Install());
    ASSERT_TRUE(stage::WriteFile(p.In("notes.txt"), "the user's own"));
    ASSERT_TRUE(DeleteFileA(p.In("two.txt").c_str()));

    ui::Program uninstaller;
    ASSERT_TRUE(p.StartUninstall(uninstaller));
    Report report = ReadLeftoverReport(uninstaller, "report-userfile");
    ASSERT_TRUE(report.shown) << "no leftover report although the folder holds a file of the user";
    EXPECT_EQ(report.caption, ReportCaption()) << "got " << ui::Narrow(report.caption);
    // Only the folder is left over: the deleted recorded file is not listed.
    EXPECT_EQ(report.text, std::wstring(CouldNotDelete()) + W(p.folder) + L"\n")
        << "got " << ui::Narrow(report.text);
    EXPECT_TRUE(uninstaller.Wait(20000)) << "the uninstaller did not end after the report";

    EXPECT_TRUE(p.WaitUntilExecutableRemoved()) << "after 40 s: " << p.State();
    EXPECT_FALSE(stage::Exists(p.Record())) << "the record goes with the uninstaller";
    EXPECT_FALSE(stage::Exists(p.In("one.txt")));
    EXPECT_TRUE(stage::Exists(p.folder)) << "a folder that still holds a file of the user stays";
    EXPECT_EQ(stage::ReadFile(p.In("notes.txt")), "the user's own");
}

TEST(Uninstall, ReadOnlyFileNeedsForce) {
    // One product per [Del] "Force" value; both variants run even when the first fails.
    auto stageProduct = [](Product& p, const char* name, const char* force) {
        std::string root = "Name=" + p.folder.substr(3), title = std::string("Name=") + name;
        p.stage.WriteScript(Lines({"[Setup]", title.c_str(), "Auto=1", "[Root]", root.c_str(), "[CopyFile]",
                                   "0=plain.txt", "1=locked.txt", "[Del]", "ShowError=1", force}));
        p.stage.Put("plain.txt", "p");
        p.stage.Put("locked.txt", "l");
    };
    {
        Product p("readonly", "C:\\UninstReadOnly");
        stageProduct(p, "Read Only", "Force=0");
        ASSERT_TRUE(p.Install());
        ASSERT_TRUE(SetFileAttributesA(p.In("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));

        ui::Program uninstaller;
        ASSERT_TRUE(p.StartUninstall(uninstaller));
        Report report = ReadLeftoverReport(uninstaller, "report-readonly");
        EXPECT_TRUE(report.shown) << "without Force: no leftover report for the read-only file";
        if (report.shown) {
            EXPECT_EQ(report.text,
                      std::wstring(CouldNotDelete()) + W(p.In("locked.txt")) + L"\n" + W(p.folder) + L"\n")
                << "got " << ui::Narrow(report.text);
        }
        EXPECT_TRUE(uninstaller.Wait(20000));
        EXPECT_TRUE(stage::Exists(p.In("locked.txt"))) << "without Force a read-only file stays";
        EXPECT_FALSE(stage::Exists(p.In("plain.txt")));
        if (stage::Exists(p.In("locked.txt"))) {
            EXPECT_TRUE(p.WaitUntilExecutableRemoved()) << "after 40 s: " << p.State();
            EXPECT_TRUE(stage::Exists(p.folder)) << "the folder holding the read-only file stays";
        } else {
            p.WaitUntilSelfRemoved();  // let the batch file finish before the next product
        }
    }
    {
        Product p("force", "C:\\UninstForce");
        stageProduct(p, "Forced", "Force=1");
        ASSERT_TRUE(p.Install());
        ASSERT_TRUE(SetFileAttributesA(p.In("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));

        ui::Program uninstaller;
        ASSERT_TRUE(p.StartUninstall(uninstaller));
        bool sawBox = false;
        EXPECT_TRUE(EndsWithoutMessageBox(uninstaller, &sawBox))
            << (sawBox ? "with Force nothing should be left to report" : "the uninstaller did not end");
        uninstaller.Kill();
        EXPECT_FALSE(stage::Exists(p.In("locked.txt"))) << "Force deletes the read-only file";
        EXPECT_TRUE(p.WaitUntilSelfRemoved()) << "after 40 s: " << p.State();
    }
}

TEST(Uninstall, WildcardPatternDeletesMatchingFilesButNoFolder) {
    Product p("wildcard", "C:\\UninstWild");
    p.stage.WriteScript(Lines({"[Setup]", "Name=Wildcard", "Auto=1", "[Root]", "Name=UninstWild", "[CopyFile]",
                               "0=app.txt", "[Del]", "0=*.log", "ShowError=1"}));
    p.stage.Put("app.txt", "app");
    ASSERT_TRUE(p.Install());
    // Written by the product while it ran, so not in the record.
    ASSERT_TRUE(stage::WriteFile(p.In("run.log"), "log"));
    ASSERT_TRUE(stage::WriteFile(p.In("error.LOG"), "log"));
    ASSERT_TRUE(stage::WriteFile(p.In("keep.txt"), "txt"));
    ASSERT_TRUE(stage::WriteFile(p.In("x.log\\inside.txt"), "in a folder named like the pattern"));

    ui::Program uninstaller;
    ASSERT_TRUE(p.StartUninstall(uninstaller));
    Report report = ReadLeftoverReport(uninstaller, "report-wildcard");
    ASSERT_TRUE(report.shown) << "the folder still holds files: a report is due";
    EXPECT_EQ(report.text, std::wstring(CouldNotDelete()) + W(p.folder) + L"\n") << "got " << ui::Narrow(report.text);
    EXPECT_TRUE(uninstaller.Wait(20000));
    EXPECT_TRUE(p.WaitUntilExecutableRemoved()) << "after 40 s: " << p.State();

    EXPECT_FALSE(stage::Exists(p.In("run.log"))) << "a matching file is deleted";
    EXPECT_FALSE(stage::Exists(p.In("error.LOG"))) << "matching ignores letter case";
    EXPECT_TRUE(stage::Exists(p.In("keep.txt"))) << "a file that does not match stays";
    EXPECT_TRUE(stage::Exists(p.In("x.log\\inside.txt"))) << "a folder that matches the pattern is never deleted";
}

TEST(Uninstall, HeldFileIsLeftForTheRestartWithTheUninstaller) {
    Product p("reboot", "C:\\UninstReboot");
    p.stage.WriteScript(Lines({"[Setup]", "Name=Reboot Product", "Auto=1", "[Root]", "Name=UninstReboot",
                               "[MakeDirectory]", "1=sub", "[CopyFile]", "0=free.txt", "1=sub\\held.dat", "[Del]",
                               "Reboot=1"}));
    p.stage.Put("free.txt", "free");
    p.stage.Put("sub\\held.dat", "held");
    ClearPendingOperations();
    ASSERT_TRUE(p.Install());
    ASSERT_TRUE(PendingOperations().empty()) << "the install scheduled something at restart";

    const std::string held = p.In("sub\\held.dat"), sub = p.In("sub");
    Held holder{CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_NE(holder.handle, INVALID_HANDLE_VALUE) << "could not hold the installed file";

    ui::Program uninstaller;
    ASSERT_TRUE(p.StartUninstall(uninstaller));
    Report report = ReadLeftoverReport(uninstaller, "report-reboot");
    ASSERT_TRUE(report.shown) << "no report although a file was left for the restart (ShowError is 0)";
    EXPECT_EQ(report.caption, ReportCaption());
    EXPECT_EQ(report.text, std::wstring(Pick(L"These will delete after reboot.\n\n",
                                             L"次のものは再起動後に削除されます．\n\n")) +
                               W(held) + L"\n" + W(sub) + L"\n" + W(p.folder) + L"\n")
        << "got " << ui::Narrow(report.text);

    // After the run the entry asks about the restart instead of removing itself.
    HWND question = nullptr;
    ui::WaitUntil([&] {
        question = ui::WaitForMessageBox(uninstaller.pid(), 0, report.box);
        return question && ui::WaitForMainDialog(uninstaller.pid(), 0) == nullptr;
    }, 20000);
    ASSERT_NE(question, nullptr) << "no end-of-uninstall question";
    EXPECT_EQ(ui::Text(question), L"Reboot Product") << "the question carries the product name";
    EXPECT_EQ(ui::MessageBoxText(question), Pick(L"Some files will delete\nafter reboot.\n\nReboot now?",
                                                 L"いくつかのファイルは\n再起動後に削除されます\n\n今すぐ再起動しますか？"))
        << "got " << ui::Narrow(ui::MessageBoxText(question));
    ui::SaveScreenshot(stage::ArtifactPath("reboot-question.bmp"));
    ui::Click(question, IDNO);
    DWORD code = 99;
    EXPECT_TRUE(uninstaller.Wait(20000, &code)) << "the uninstaller did not end after No";
    EXPECT_EQ(code, 0u);

    EXPECT_FALSE(stage::Exists(p.In("free.txt"))) << "a free file is deleted at once";
    // No remove-mode process: nothing removes the uninstaller before the restart.
    bool removerSeen = ui::WaitUntil(
        [&] { return CountProcesses("Setup.exe") > 0 || stage::Exists(kBatch) || !stage::Exists(p.Exe()); }, 10000,
        200);
    EXPECT_FALSE(removerSeen) << "a remove-mode process or batch file ran: " << p.State();
    EXPECT_TRUE(stage::Exists(p.Exe()));
    EXPECT_TRUE(stage::Exists(p.Record())) << "the record waits for the restart too";
    EXPECT_TRUE(stage::Exists(held));

    std::vector<std::pair<std::wstring, std::wstring>> pending = PendingOperations();
    std::string listed;
    for (const auto& op : pending) listed += "  " + ui::Narrow(op.first) + " -> '" + ui::Narrow(op.second) + "'\n";
    // The uninstaller and its record first, then the leftovers in listing order: files
    // before their folders, so that the restart can remove the folders once empty.
    const std::vector<std::string> expected = {p.Exe(), p.Record(), held, sub, p.folder};
    bool same = pending.size() == expected.size();
    for (size_t i = 0; same && i < expected.size(); ++i)
        same = SamePath(pending[i].first, expected[i]) && pending[i].second.empty();
    EXPECT_TRUE(same) << "expected deletions of Setup.exe, Setup.ini, the held file, its folder, the install "
                         "folder; scheduled:\n"
                      << listed;

    holder.Close();
    ui::Program restart;
    ASSERT_TRUE(restart.Start("C:\\windows\\system32\\wineboot.exe", "-r", "C:\\"));
    EXPECT_TRUE(restart.Wait(60000)) << "wineboot -r did not end within 60 s";
    for (const std::string& path : {p.Exe(), p.Record(), held, sub, p.folder})
        EXPECT_FALSE(stage::Exists(path)) << path << " is still there after the restart";
    EXPECT_TRUE(PendingOperations().empty()) << "the restart left operations behind";
    ClearPendingOperations();
}
