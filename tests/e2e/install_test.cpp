// Unattended installs of small products seen from outside: the files, the
// uninstaller and its record in the install folder, the overwrite prompt, files in
// use with and without replacement at restart, and a second install into the same
// folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <set>
#include <memory>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "plan_check.h"
#include "res/resource.h"

using namespace e2e;

namespace {

constexpr DWORD kRunWait = 60000;
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A section as "key=value" lines, so that a mismatch shows the whole list.
std::string Describe(const Section& section) {
    std::string out;
    for (const auto& kv : section) out += kv.first + "=" + kv.second + "\n";
    return out.empty() ? "(empty)\n" : out;
}

std::string Listed(const std::string& file, const char* section) { return Describe(IniSection(file, section)); }

// A record list of base\name for each name ("" for base itself), then its Count.
std::string RecordList(const std::string& base, const std::vector<std::string>& names) {
    Section s{{"count", std::to_string(names.size())}};
    for (size_t i = 0; i < names.size(); ++i) s[std::to_string(i)] = names[i].empty() ? base : base + "\\" + names[i];
    return Describe(s);
}

// Message texts with line ends made alike: a box may keep CR LF or LF.
std::string Flat(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return ui::Narrow(text);
}

// Runs an unattended install to its end; any message box is a problem, answered
// with its default button so that the run can end.
// SetupTool's plan, made first, must come true.
std::string InstallUnattended(const stage::Folder& folder) {
    const plancheck::InstallPlan plan(folder.dir());
    ui::Program program;
    if (!program.Start(folder.Path("Setup.exe"), "", folder.dir())) return "Setup.exe did not start";
    std::string problem;
    for (HWND last = nullptr;;) {
        Outcome o = WaitForEndOrBox(program, kRunWait, last);
        if (o.ended && problem.empty() && o.exitCode == 0) {
            std::string differ = plan.available() ? plan.AfterInstall() : "SetupTool plan gave nothing";
            if (!differ.empty()) problem += "the plan and the install differ:\n" + differ;
        }
        if (o.ended) return problem + (o.exitCode ? "exit code " + std::to_string(o.exitCode) : "");
        if (!o.box) return problem + "the install did not end in time";
        Shot("unexpected-box");
        problem += "unexpected message box: " + ui::Narrow(ui::MessageBoxText(o.box)) + "\n";
        PostMessageW(o.box, WM_KEYDOWN, VK_RETURN, 1);
        ui::WaitUntil([&] { return !IsWindow(o.box); }, 5000);
        last = o.box;
    }
}

bool IsDefaultButton(HWND box, int id) {
    return (GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// The message box's buttons that are shown (the others of its template stay hidden).
std::string ShownButtons(HWND box) {
    std::string out;
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) out += ui::Visible(box, id) ? std::to_string(id) + " " : "";
    return out;
}

ULONGLONG WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
    return ULARGE_INTEGER{{d.ftLastWriteTime.dwLowDateTime, d.ftLastWriteTime.dwHighDateTime}}.QuadPart;
}

bool SetWriteTime(const std::string& path, ULONGLONG when) {
    FILETIME time{(DWORD)when, (DWORD)(when >> 32)};
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    BOOL ok = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &time);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok != FALSE;
}

}  // namespace

// An unattended install puts every file in place, "!" included, the "Self" file
// under its own name, Setup.exe and the record, whose lists hold the folders made
// (parents first) and the files copied, except the "!" one.
TEST(Install, UnattendedInstallPlacesFilesAndRecord) {
    const std::string target = "C:\\TinyApp";
    stage::DeleteTree(target);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "TinyApp").c_str());
    stage::Folder folder("tiny");
    folder.Put("app.exe", "app bytes");
    folder.Put("bin\\tool.dll", "tool bytes");
    folder.Put("data\\readme.txt", "readme bytes");
    folder.Put("keep.cfg", "kept bytes");
    folder.Put("extra\\self.bin", "self bytes");
    folder.WriteScript(Crlf({"[Setup]", "Name=Tiny Product", "Auto=1", "[Root]", "Name=TinyApp", "[MakeDirectory]",
                             "1=data", "2=data\\cache", "3=logs\\old", "4=bin", "[CopyFile]", "0=app.exe",
                             "1=bin\\tool.dll", "2=data\\readme.txt", "3=!keep.cfg", "Self=extra\\self.bin",
                             "[Check]", "Copy=2", "Del=1"}));
    const std::string shipped = stage::ReadFile(folder.Script());
    ASSERT_EQ("", InstallUnattended(folder));
    EXPECT_EQ(shipped, stage::ReadFile(folder.Script())) << "the shipped script stays as shipped";

    const char* files[][2] = {{"app.exe", "app.exe"},   {"bin\\tool.dll", "bin\\tool.dll"},
                              {"data\\readme.txt", "data\\readme.txt"}, {"keep.cfg", "keep.cfg"},
                              {"extra\\self.bin", "self.bin"}, {"Setup.exe", "Setup.exe"}};
    for (const auto& f : files) {
        std::string expected = stage::ReadFile(folder.Path(f[0])), got = stage::ReadFile(target + "\\" + f[1]);
        EXPECT_TRUE(!expected.empty() && expected == got) << target << "\\" << f[1] << ": expected the bytes of "
                                                          << f[0] << " (" << expected.size() << " bytes), got "
                                                          << got.size() << " bytes";
    }
    std::string record = target + "\\Setup.ini";
    ASSERT_TRUE(stage::Exists(record)) << "no record in the install folder";
    for (const char* section : {"Setup", "MakeDirectory", "CopyFile"})
        EXPECT_EQ(IniSection(folder.Script(), section), IniSection(record, section))
            << "the record is the script that ran: [" << section << "]";
    EXPECT_EQ(RecordList(target, {"", "data", "data\\cache", "logs", "logs\\old", "bin"}),
              Listed(record, "MakedDirectory"));
    EXPECT_TRUE(stage::Exists(target + "\\logs\\old") && stage::Exists(target + "\\data\\cache"));
    EXPECT_EQ(RecordList(target, {"app.exe", "bin\\tool.dll", "data\\readme.txt", "self.bin"}),
              Listed(record, "CopiedFile"));
    EXPECT_EQ(target, IniValue(record, "Root", "Named"));
    EXPECT_EQ("TinyApp", IniValue(record, "Root", "Name"));
    EXPECT_EQ("2", IniValue(record, "Check", "Copy")) << "box 1009 was checked";
    EXPECT_EQ("0", IniValue(record, "Check", "Del")) << "box 1010 was not checked";
    EXPECT_EQ("", IniValue(record, "Menu", "Named")) << "no Start-menu location was picked";
    stage::DeleteTree(target);
}

// Existing destinations as new as or newer than the shipped files wait for one
// prompt listing them in order; "&" keeps and "?" overwrites without asking. With
// "DefaultNo" the default button is No, and No leaves them untouched and unrecorded.
TEST(Install, OverwritePromptAnsweredNoKeepsNewerFiles) {
    const std::string target = "C:\\OwApp";
    stage::DeleteTree(target);
    stage::Folder folder("overwrite");
    for (const char* name : {"a.txt", "b.txt", "e.txt", "k.txt", "q.txt"}) folder.Put(name, std::string("new ") + name);
    for (const char* name : {"a.txt", "e.txt", "k.txt", "q.txt"})
        ASSERT_TRUE(stage::WriteFile(target + "\\" + name, std::string("old ") + name));
    for (const char* name : {"a.txt", "k.txt", "q.txt"}) stage::Touch(target + "\\" + name, 3600);
    ASSERT_TRUE(stage::Touch(folder.Path("e.txt"), -86400));
    ASSERT_TRUE(SetWriteTime(target + "\\e.txt", WriteTime(folder.Path("e.txt"))));  // equally old
    ULONGLONG aTime = WriteTime(target + "\\a.txt"), eTime = WriteTime(target + "\\e.txt");
    folder.WriteScript(Crlf({"[Setup]", "Name=Ow Product", "Auto=1", "[Root]", "Name=OwApp", "[CopyFile]",
                             "0=a.txt", "1=b.txt", "2=e.txt", "3=&k.txt", "4=?q.txt", "DefaultNo=1"}));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    Outcome o = WaitForEndOrBox(program, kRunWait);
    ASSERT_TRUE(o.box) << (o.ended ? "the install ended without the overwrite prompt" : "no overwrite prompt in time");
    Shot("overwrite-prompt");
    EXPECT_EQ("Ow Product", ui::Narrow(TextNow(o.box))) << "caption of the prompt";
    EXPECT_EQ(Flat(L"New file exist...\r\n\r\nC:\\OwApp\\a.txt\r\nC:\\OwApp\\e.txt\r\n\r\nOverwrite?"),
              Flat(ui::MessageBoxText(o.box)));
    EXPECT_EQ("6 7 ", ShownButtons(o.box)) << "the prompt asks Yes or No";
    EXPECT_TRUE(IsDefaultButton(o.box, IDNO) && !IsDefaultButton(o.box, IDYES)) << "DefaultNo makes No the default";
    ui::Click(o.box, IDNO);

    Outcome end = WaitForEndOrBox(program, kRunWait, o.box);
    ASSERT_FALSE(end.box) << "another message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended) << "the install did not end after the answer";
    EXPECT_EQ(0u, end.exitCode);
    EXPECT_EQ("old a.txt", stage::ReadFile(target + "\\a.txt")) << "answered No";
    EXPECT_EQ("old e.txt", stage::ReadFile(target + "\\e.txt")) << "answered No";
    EXPECT_EQ(aTime, WriteTime(target + "\\a.txt")) << "a.txt should not be touched";
    EXPECT_EQ(eTime, WriteTime(target + "\\e.txt")) << "e.txt should not be touched";
    EXPECT_EQ("old k.txt", stage::ReadFile(target + "\\k.txt")) << "\"&\" keeps a newer file without asking";
    EXPECT_EQ("new b.txt", stage::ReadFile(target + "\\b.txt")) << "a missing destination is copied";
    EXPECT_EQ("new q.txt", stage::ReadFile(target + "\\q.txt")) << "\"?\" overwrites a newer file without asking";
    EXPECT_EQ(RecordList(target, {"b.txt", "q.txt"}), Listed(target + "\\Setup.ini", "CopiedFile"))
        << "only the files copied are recorded";
    stage::DeleteTree(target);
}

// Without "Reboot", a destination in use is listed once the prompt (default Yes,
// answered Yes) is over; it stays as it was, is not recorded, and no restart
// question is prepared.
TEST(Install, FileInUseWithoutRebootIsReportedAndSkipped) {
    const std::string target = "C:\\LkApp";
    stage::DeleteTree(target);
    ForgetPendingRenames();
    stage::Folder folder("locked");
    folder.Put("locked.dll", "new library");
    folder.Put("newer.txt", "new text");
    ASSERT_TRUE(stage::WriteFile(target + "\\locked.dll", "old library"));
    ASSERT_TRUE(stage::WriteFile(target + "\\newer.txt", "old text"));
    stage::Touch(target + "\\newer.txt", 3600);
    folder.WriteScript(Crlf({"[Setup]", "Name=Lk Product", "Auto=1", "[Root]", "Name=LkApp", "[CopyFile]",
                             "0=locked.dll", "1=newer.txt"}));
    LockedFile held(target + "\\locked.dll");
    ASSERT_TRUE(held.held());

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    Outcome prompt = WaitForEndOrBox(program, kRunWait);
    ASSERT_TRUE(prompt.box) << "no overwrite prompt for the newer destination";
    EXPECT_EQ(Flat(L"New file exist...\r\n\r\nC:\\LkApp\\newer.txt\r\n\r\nOverwrite?"),
              Flat(ui::MessageBoxText(prompt.box)));
    EXPECT_TRUE(IsDefaultButton(prompt.box, IDYES) && !IsDefaultButton(prompt.box, IDNO))
        << "without DefaultNo the Yes button should be the default";
    ui::Click(prompt.box, IDYES);
    ui::WaitUntil([&] { return !IsWindow(prompt.box); }, 5000);

    Outcome failure = WaitForEndOrBox(program, kRunWait, prompt.box);
    ASSERT_TRUE(failure.box) << "no failure list for the file in use";
    EXPECT_EQ("Lk Product", ui::Narrow(TextNow(failure.box))) << "caption of the failure list";
    EXPECT_EQ(Flat(L"Could not copy these...\r\n\r\nC:\\LkApp\\locked.dll\r\n\r\nContinue..."),
              Flat(ui::MessageBoxText(failure.box)));
    EXPECT_EQ("1 ", ShownButtons(failure.box)) << "the failure list has a single OK button";
    ui::Click(failure.box, IDOK);

    Outcome end = WaitForEndOrBox(program, kRunWait, failure.box);
    ASSERT_FALSE(end.box) << "another message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended) << "the install did not go on to its end";
    EXPECT_EQ(0u, end.exitCode);
    EXPECT_TRUE(SetupProcesses().empty()) << "with nothing scheduled no reboot-mode process may be started";
    held.Release();
    EXPECT_EQ("old library", stage::ReadFile(target + "\\locked.dll")) << "the file in use stays as it was";
    EXPECT_EQ("new text", stage::ReadFile(target + "\\newer.txt")) << "answered Yes";
    EXPECT_TRUE(stage::FilesMatching(target + "\\RBT*").empty()) << "no temporary file without \"Reboot\"";
    EXPECT_EQ(RecordList(target, {"newer.txt"}), Listed(target + "\\Setup.ini", "CopiedFile"));
    EXPECT_TRUE(PendingRenames().empty()) << "nothing is scheduled for the restart";
    EXPECT_TRUE(stage::Exists(target + "\\Setup.exe")) << "the uninstaller is placed after a failure";
    stage::DeleteTree(target);
}

// With "Reboot", a destination in use (in a folder whose path has blanks) is copied
// to an RBT file beside it, the move is scheduled and the destination recorded; the
// installed copy, started in reboot mode, asks its question about 5 s later, after
// the installer has ended. After a restart the destination holds the new content.
TEST(Install, FileInUseWithRebootIsReplacedAtRestart) {
    std::string programFiles;
    ASSERT_TRUE(stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                    "ProgramFilesDir", &programFiles));
    ASSERT_NE(std::string::npos, programFiles.find(' ')) << "the default programs folder should have a blank";
    const std::string target = programFiles + "\\My App";
    stage::DeleteTree(target);
    ForgetPendingRenames();
    stage::Folder folder("reboot");
    folder.Put("locked.dll", "new library");
    folder.Put("plain.txt", "plain text");
    folder.WriteScript(Crlf({"[Setup]", "Name=Rb Product", "Auto=1", "[Root]", "Name=%programs%\\My App",
                             "[CopyFile]", "0=locked.dll", "1=plain.txt", "Reboot=1"}));
    // Once, in a loaded run, a file just written could not be held (no process of the test
    // had it open): it is then written afresh, a few times, before the test gives up.
    std::unique_ptr<LockedFile> locked;
    std::string errors;
    for (int attempt = 0; attempt < 5 && !(locked && locked->held()); ++attempt) {
        if (locked) errors += " " + std::to_string(locked->error());
        locked.reset();
        DeleteFileA((target + "\\locked.dll").c_str());
        if (attempt) Sleep(200);
        ASSERT_TRUE(stage::WriteFile(target + "\\locked.dll", "old library"));
        locked = std::make_unique<LockedFile>(target + "\\locked.dll");
    }
    LockedFile& held = *locked;
    ASSERT_TRUE(held.held()) << "the test could not hold the file: errors" << errors << " " << held.error();
    if (!errors.empty()) fprintf(stderr, "holding locked.dll needed a fresh file after errors%s\n", errors.c_str());

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    Outcome end = WaitForEndOrBox(program, kRunWait);
    ASSERT_FALSE(end.box) << "unexpected message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended) << "the install did not end";
    EXPECT_EQ(0u, end.exitCode);
    DWORD installerEnded = GetTickCount();

    std::vector<DWORD> others;
    ASSERT_TRUE(ui::WaitUntil([&] { return !(others = SetupProcesses(program.pid())).empty(); }, 5000))
        << "no reboot-mode process after the install";
    ui::Program asker;  // adopted, so that it is killed should the test stop early
    asker.info.dwProcessId = others[0];
    asker.info.hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                                      others[0]);
    ASSERT_TRUE(asker.info.hProcess);
    EXPECT_EQ(Lower(target + "\\Setup.exe"), Lower(ImagePath(asker.info.hProcess))) << "not the installed copy";
    // Any other argument would open the main dialog, which a message-box wait skips.
    HWND question = ui::WaitForMessageBox(asker.pid(), 25000);
    DWORD asked = GetTickCount() - installerEnded;
    Shot("reboot-question");
    ASSERT_TRUE(question) << "no reboot question within 25 s of the installer's end"
                          << (ui::WaitForMainDialog(asker.pid(), 0) ? " (it opened the main dialog)" : "");
    EXPECT_GE(asked, 2000u) << "the reboot mode waits about 5 s, so its question comes well after the installer ends";
    EXPECT_EQ("Rb Product", ui::Narrow(TextNow(question))) << "caption of the question";
    EXPECT_EQ(Flat(L"Some files will be enabled\nafter reboot.\n\nReboot now?"), Flat(ui::MessageBoxText(question)));
    ui::Click(question, IDNO);
    DWORD askerCode = STILL_ACTIVE;
    EXPECT_TRUE(asker.Wait(10000, &askerCode)) << "the reboot-mode process did not end after No";
    EXPECT_EQ(0u, askerCode);

    std::vector<std::string> temporaries = stage::FilesMatching(target + "\\RBT*");
    ASSERT_EQ(1u, temporaries.size()) << "one RBT temporary file beside the destination";
    std::string temporary = target + "\\" + temporaries[0];
    EXPECT_EQ("new library", stage::ReadFile(temporary)) << "the temporary file holds the new content";
    EXPECT_TRUE(IsPending(temporary, target + "\\locked.dll"))
        << "PendingFileRenameOperations should move " << temporary << " onto the destination";
    EXPECT_EQ(RecordList(target, {"locked.dll", "plain.txt"}), Listed(target + "\\Setup.ini", "CopiedFile"))
        << "the scheduled file is recorded";

    held.Release();
    EXPECT_EQ("old library", stage::ReadFile(target + "\\locked.dll")) << "replaced only at the restart";
    EXPECT_TRUE(RunAndWait("C:\\windows\\system32\\wineboot.exe -r", 120000)) << "wineboot -r did not end in 120 s";
    EXPECT_EQ("new library", stage::ReadFile(target + "\\locked.dll")) << "after the restart";
    EXPECT_FALSE(stage::Exists(temporary)) << "the temporary file was moved onto the destination";
    stage::DeleteTree(target);
}

// A second install of other files into the same folder appends the older record's
// folders and files that it did not make itself, each path once whatever its case.
TEST(Install, SecondInstallMergesTheOlderRecord) {
    const std::string target = "C:\\MgApp", record = target + "\\Setup.ini";
    stage::DeleteTree(target);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "MgApp").c_str());
    stage::Folder first("merge-1");
    first.Put("one.txt", "one");
    first.Put("shared.txt", "shared 1");
    first.Put("sub\\x.txt", "x");
    first.WriteScript(Crlf({"[Setup]", "Name=Mg Product", "Auto=1", "[Root]", "Name=MgApp", "[MakeDirectory]",
                            "1=sub", "[CopyFile]", "0=one.txt", "1=shared.txt", "2=sub\\x.txt"}));
    ASSERT_EQ("", InstallUnattended(first)) << "first install";
    ASSERT_EQ(RecordList(target, {"one.txt", "shared.txt", "sub\\x.txt"}), Listed(record, "CopiedFile"));

    stage::Folder second("merge-2");
    second.Put("two.txt", "two");
    second.Put("SHARED.TXT", "shared 2");
    stage::Touch(second.Path("SHARED.TXT"), 120);  // newer than the first install's copy
    second.WriteScript(Crlf({"[Setup]", "Name=Mg Product 2", "Auto=1", "[Root]", "Name=MgApp", "[MakeDirectory]",
                             "1=other", "[CopyFile]", "0=two.txt", "1=SHARED.TXT"}));
    ASSERT_EQ("", InstallUnattended(second)) << "second install";
    EXPECT_EQ(RecordList(target, {"two.txt", "SHARED.TXT", "one.txt", "sub\\x.txt"}), Listed(record, "CopiedFile"))
        << "the second install's files, then the first one's not copied again";
    EXPECT_EQ(RecordList(target, {"", "other", "sub"}), Listed(record, "MakedDirectory"));
    EXPECT_EQ("Mg Product 2", IniValue(record, "Setup", "Name")) << "the record is the second script";
    EXPECT_EQ(IniSection(second.Script(), "CopyFile"), IniSection(record, "CopyFile")) << "the record is the second script";
    EXPECT_EQ("<absent>", IniValue(second.Script(), "CopiedFile", "Count")) << "the shipped script stays as shipped";
    EXPECT_EQ("shared 2", stage::ReadFile(target + "\\shared.txt"));
    EXPECT_EQ("one", stage::ReadFile(target + "\\one.txt"));
    stage::DeleteTree(target);
}

namespace {

size_t CountFiles(const std::string& folder) { return stage::FilesMatching(folder + "\\*.dat").size(); }


}  // namespace

// An install ended in the middle of its copies leaves, in the install folder, an
// uninstaller with a record that counts every file it copied: it opens in the installed
// state, and its uninstall removes every one of them. The shipped script stays as shipped.
TEST(Install, InterruptedInstallStaysUninstallable) {
    const std::string target = "C:\\Interrupted";
    const int files = 3000;
    stage::DeleteTree(target);
    stage::Folder folder("interrupted");
    std::vector<std::string> script = {"[Setup]", "Name=Interrupted Product", "Auto=1", "[Root]", "Name=Interrupted",
                                       "[CopyFile]"};
    for (int i = 0; i < files; ++i) {
        std::string name = "file" + std::to_string(i) + ".dat";
        folder.Put(name, name);
        script.push_back(std::to_string(i) + "=" + name);
    }
    folder.WriteScript(Crlf(script));
    const std::string shipped = stage::ReadFile(folder.Script());

    ui::Program install;
    ASSERT_TRUE(install.Start(folder.Path("Setup.exe"), "", folder.dir()));
    ASSERT_TRUE(ui::WaitUntil([&] { return CountFiles(target) >= 700; }, kRunWait, 20)) << "the copying did not start";
    install.Kill();
    size_t copied = CountFiles(target);
    ASSERT_LT(copied, (size_t)files) << "the install ended before it could be interrupted";

    // Every copied file is in the record, below its Count (read from the bytes on disk).
    EXPECT_EQ(shipped, stage::ReadFile(folder.Script())) << "the shipped script stays as shipped";
    Section record = IniSection(target + "\\Setup.ini", "CopiedFile");
    int count = atoi(record.count("count") ? record["count"].c_str() : "0");
    EXPECT_GE(count, (int)copied) << "the record does not count every copied file";
    std::set<std::string> recorded;
    for (int i = 0; i < count; ++i)
        if (record.count(std::to_string(i))) recorded.insert(Lower(record[std::to_string(i)]));
    std::string unrecorded;
    for (const std::string& name : stage::FilesMatching(target + "\\*.dat"))
        if (!recorded.count(Lower(target + "\\" + name))) unrecorded += " " + name;
    EXPECT_EQ("", unrecorded) << "copied but not in the record (" << copied << " copied, Count " << count << ")";

    ui::Program again;
    ASSERT_TRUE(again.Start(target + "\\Setup.exe", "", target));
    HWND dialog = ui::WaitForMainDialog(again.pid(), 25000);
    ASSERT_TRUE(dialog) << "no main dialog when started again";
    EXPECT_EQ("Installed", ui::Narrow(ui::ItemText(dialog, IDC_HEADING))) << "not the installed state";
    ui::Click(dialog, IDC_COPY);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::Checked(dialog, IDC_COPY); }, 5000)) << "no Uninstall box to tick";
    ui::Click(dialog, IDC_RUN);
    Outcome end = WaitForEndOrBox(again, 2 * kRunWait);
    EXPECT_FALSE(end.box) << "a message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    EXPECT_TRUE(end.ended) << "the uninstall did not end";
    EXPECT_EQ(0u, CountFiles(target)) << "the uninstall left copied files behind";
    stage::DeleteTree(target);
}

// The sample of the README's script reference, taken from the README itself, installs
// the sample product: every value is what it says (no comment is read into a value).
TEST(Install, ReadmeSampleInstallsTheSampleProduct) {
    const char* source = getenv("SETUP_SOURCE_DIR");
    ASSERT_TRUE(source) << "SETUP_SOURCE_DIR is not set";
    std::string root = stage::HostToWindows(source);
    std::string readme = stage::ReadFile(root + "\\README.md");
    size_t heading = readme.find("## Writing a Setup.ini");
    size_t begin = readme.find("```ini\n", heading), end = readme.find("```", begin + 7);
    ASSERT_TRUE(heading != std::string::npos && begin != std::string::npos && end != std::string::npos)
        << "no ini sample under \"## Writing a Setup.ini\" in the README";
    std::string sample = readme.substr(begin + 7, end - begin - 7);

    stage::Folder folder("readme-sample");
    stage::CopyTree(root + "\\examples\\sample", folder.dir());
    folder.WriteScript(sample);
    stage::SetIni(folder.Script(), "Setup", "Auto", "1");
    stage::SetIni(folder.Script(), "Root", "Name", "Readme Sample");  // a folder of the test's own
    const std::string target = "C:\\Readme Sample";
    stage::DeleteTree(target);
    ASSERT_EQ("", InstallUnattended(folder));

    EXPECT_EQ("Sample Notes", stage::Ini(target + "\\Setup.ini", "Setup", "Name")) << "the product name";
    int entries = 0;
    for (int i = 0;; ++i) {
        std::string entry = stage::Ini(folder.Script(), "CopyFile", std::to_string(i).c_str());
        if (entry.empty()) break;
        ++entries;
        EXPECT_EQ(std::string::npos, entry.find(';')) << "a comment was read into copy entry " << i << ": " << entry;
        std::string name = entry.substr(entry.find_first_not_of("!&?*"));
        if (name[0] == '%') continue;  // a folder token: installed elsewhere
        EXPECT_TRUE(stage::Exists(target + "\\" + name)) << "copy entry " << i << " (" << entry << ") not installed";
    }
    EXPECT_GE(entries, 3) << "the sample copies the sample product's files";
    for (const char* section : {"Setup", "Root", "Check", "CopyFile", "Del", "Readme"})
        for (const auto& kv : IniSection(folder.Script(), section))
            EXPECT_EQ(std::string::npos, kv.second.find(';')) << "[" << section << "] " << kv.first << "=" << kv.second;
    stage::DeleteTree(target);
}
