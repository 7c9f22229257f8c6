// Unattended installs of small products seen from outside: the files, the
// uninstaller and its record in the install folder, the overwrite prompt, files in
// use with and without replacement at restart, and a second install into the same
// folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <ctype.h>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>
#include "stage.h"
#include "ui_driver.h"

namespace {

constexpr DWORD kRunWait = 60000;
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

std::wstring LowerW(std::wstring s) {
    for (wchar_t& c : s) c = (wchar_t)towlower(c);
    return s;
}

using Section = std::map<std::string, std::string>;

// One section of a profile file read from its bytes (no profile cache in between);
// keys lower-cased, values exact.
Section IniSection(const std::string& file, const std::string& name) {
    Section out;
    std::string text = stage::ReadFile(file);
    bool inside = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            inside = close != std::string::npos && Lower(line.substr(1, close - 1)) == Lower(name);
            continue;
        }
        size_t eq = line.find('=');
        if (inside && eq != std::string::npos) out[Lower(line.substr(0, eq))] = line.substr(eq + 1);
    }
    return out;
}

std::string Describe(const Section& section) {
    std::string out;
    for (const auto& kv : section) out += kv.first + "=" + kv.second + "\n";
    return out.empty() ? "(empty)\n" : out;
}

std::string Value(const std::string& file, const std::string& section, const std::string& key) {
    Section s = IniSection(file, section);
    auto it = s.find(Lower(key));
    return it == s.end() ? "<absent>" : it->second;
}

std::wstring TextNow(HWND window) {
    wchar_t buffer[1024] = L"";
    int n = GetWindowTextW(window, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n : 0);
}

// Message texts compared with line ends made alike: a box may keep CR LF or LF.
std::string Flat(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) out += text[i];
    return ui::Narrow(out);
}

void Shot(const char* name) { ui::SaveScreenshot(stage::ArtifactPath(std::string(name) + ".bmp")); }

// Waits until the program ends or shows a message box (other than skip).
struct Outcome {
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    HWND box = nullptr;
};

Outcome WaitForEndOrBox(ui::Program& program, DWORD ms, HWND skip = nullptr) {
    Outcome o;
    ui::WaitUntil([&] {
        if (program.Wait(0, &o.exitCode)) return o.ended = true;
        HWND box = ui::WaitForMessageBox(program.pid(), 0, skip);
        if (box && IsWindow(box)) o.box = box;
        return o.box != nullptr;
    }, ms);
    return o;
}

// Runs an unattended install to its end; any message box is a failure, answered
// with its default button so that the run can end.
bool InstallUnattended(const stage::Folder& folder, DWORD* exitCode, std::string* problem) {
    ui::Program program;
    if (!program.Start(folder.Path("Setup.exe"), "", folder.dir())) {
        *problem = "Setup.exe did not start";
        return false;
    }
    for (HWND last = nullptr;;) {
        Outcome o = WaitForEndOrBox(program, kRunWait, last);
        if (o.ended) {
            *exitCode = o.exitCode;
            return problem->empty();
        }
        if (!o.box) {
            *problem += "the install did not end in time";
            Shot("install-timeout");
            return false;
        }
        Shot("unexpected-box");
        *problem += "unexpected message box: " + ui::Narrow(ui::MessageBoxText(o.box)) + "\n";
        PostMessageW(o.box, WM_KEYDOWN, VK_RETURN, 1);
        ui::WaitUntil([&] { return !IsWindow(o.box); }, 5000);
        last = o.box;
    }
}

bool IsDefaultButton(HWND box, int id) {
    return (GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

int VisibleButtons(HWND box) {
    int n = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[32] = L"";
        GetClassNameW(child, cls, 32);
        if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(child)) ++n;
    }
    return n;
}

bool SetWriteTime(const std::string& path, const FILETIME& when) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL ok = SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
    return ok != FALSE;
}

ULONGLONG WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return ((ULONGLONG)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Holds a file open without sharing, as a program that uses it would.
struct HeldFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit HeldFile(const std::string& path) {
        handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~HeldFile() { Release(); }
    bool held() const { return handle != INVALID_HANDLE_VALUE; }
    void Release() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

std::vector<std::string> FilesMatching(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// Running processes of this prefix whose executable is named Setup.exe.
std::vector<DWORD> SetupProcesses() {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, L"Setup.exe") == 0) pids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

std::wstring ImagePath(HANDLE process) {
    typedef BOOL(WINAPI * QueryImage)(HANDLE, DWORD, LPWSTR, PDWORD);
    QueryImage query = reinterpret_cast<QueryImage>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW"));
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (!query || !query(process, 0, path, &size)) return L"";
    return std::wstring(path, size);
}

// The pending moves of the next restart, as pairs of source and target without the
// "\??\" and "!" markers.
std::vector<std::pair<std::wstring, std::wstring>> PendingRenames() {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return pairs;
    DWORD type = 0, size = 0;
    std::vector<wchar_t> data;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size) {
        data.resize(size / sizeof(wchar_t) + 2, 0);
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, (BYTE*)data.data(), &size);
    }
    RegCloseKey(key);
    std::vector<std::wstring> strings;
    for (size_t i = 0; i < data.size() && i < size / sizeof(wchar_t);) {
        std::wstring s(&data[i]);
        strings.push_back(s);
        i += s.size() + 1;
    }
    auto clean = [](std::wstring s) {
        if (!s.empty() && s[0] == L'!') s.erase(0, 1);
        if (s.compare(0, 4, L"\\??\\") == 0) s.erase(0, 4);
        return LowerW(s);
    };
    for (size_t i = 0; i + 1 < strings.size(); i += 2) pairs.push_back({clean(strings[i]), clean(strings[i + 1])});
    return pairs;
}

void ForgetPendingRenames() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
}

// The reboot question of another Setup.exe process: a message box captioned with the
// product name. A main dialog with that caption means the process ran an install instead.
struct QuestionSearch {
    DWORD notPid;
    std::wstring caption;
    HWND question;
    HWND mainDialog;
};

BOOL CALLBACK VisitForQuestion(HWND window, LPARAM param) {
    QuestionSearch* s = reinterpret_cast<QuestionSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == s->notPid || !IsWindowVisible(window)) return TRUE;
    wchar_t cls[64] = L"";
    GetClassNameW(window, cls, 64);
    if (lstrcmpW(cls, L"#32770") != 0 || TextNow(window) != s->caption) return TRUE;
    if (GetDlgItem(window, 1007))
        s->mainDialog = window;
    else
        s->question = window;
    return TRUE;
}

void StopProcess(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return;
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

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
    folder.WriteScript(Lines({"[Setup]", "Name=Tiny Product", "Auto=1", "[Root]", "Name=TinyApp", "[MakeDirectory]",
                              "1=data", "2=data\\cache", "3=logs\\old", "4=bin", "[CopyFile]", "0=app.exe",
                              "1=bin\\tool.dll", "2=data\\readme.txt", "3=!keep.cfg", "Self=extra\\self.bin",
                              "[Check]", "Copy=2", "Del=1"}));

    DWORD code = STILL_ACTIVE;
    std::string problem;
    ASSERT_TRUE(InstallUnattended(folder, &code, &problem)) << problem;
    EXPECT_EQ(0u, code);

    struct {
        const char* source;
        const char* destination;
    } files[] = {{"app.exe", "app.exe"},       {"bin\\tool.dll", "bin\\tool.dll"},
                 {"data\\readme.txt", "data\\readme.txt"}, {"keep.cfg", "keep.cfg"},
                 {"extra\\self.bin", "self.bin"}, {"Setup.exe", "Setup.exe"}};
    for (const auto& f : files) {
        std::string expected = stage::ReadFile(folder.Path(f.source));
        std::string got = stage::ReadFile(target + "\\" + f.destination);
        EXPECT_FALSE(expected.empty()) << f.source;
        EXPECT_TRUE(expected == got) << target << "\\" << f.destination << ": expected the bytes of " << f.source
                                     << " (" << expected.size() << " bytes), got " << got.size() << " bytes";
    }
    for (const char* made : {"data\\cache", "logs\\old"})
        EXPECT_TRUE(stage::Exists(target + "\\" + made)) << "folder " << made;

    std::string record = target + "\\Setup.ini";
    ASSERT_TRUE(stage::Exists(record)) << "no record in the install folder";
    EXPECT_TRUE(stage::ReadFile(record) == stage::ReadFile(folder.Script()))
        << "with no earlier record the placed record equals the script that ran";
    Section made{{"0", target},
                 {"1", target + "\\data"},
                 {"2", target + "\\data\\cache"},
                 {"3", target + "\\logs"},
                 {"4", target + "\\logs\\old"},
                 {"5", target + "\\bin"},
                 {"count", "6"}};
    EXPECT_EQ(Describe(made), Describe(IniSection(record, "MakedDirectory"))) << "[MakedDirectory]";
    Section copied{{"0", target + "\\app.exe"},
                   {"1", target + "\\bin\\tool.dll"},
                   {"2", target + "\\data\\readme.txt"},
                   {"3", target + "\\self.bin"},
                   {"count", "4"}};
    EXPECT_EQ(Describe(copied), Describe(IniSection(record, "CopiedFile"))) << "[CopiedFile]";
    EXPECT_EQ(target, Value(record, "Root", "Named"));
    EXPECT_EQ("TinyApp", Value(record, "Root", "Name"));
    EXPECT_EQ("2", Value(record, "Check", "Copy")) << "box 1009 was checked";
    EXPECT_EQ("0", Value(record, "Check", "Del")) << "box 1010 was not checked";
    EXPECT_EQ("", Value(record, "Menu", "Named")) << "no Start-menu location was picked";
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
    FILETIME same{};
    GetSystemTimeAsFileTime(&same);
    ULARGE_INTEGER t{{same.dwLowDateTime, same.dwHighDateTime}};
    t.QuadPart -= t.QuadPart % 10000000ULL + 86400ULL * 10000000ULL;  // a day ago, whole seconds
    same = {t.LowPart, t.HighPart};
    ASSERT_TRUE(SetWriteTime(folder.Path("e.txt"), same) && SetWriteTime(target + "\\e.txt", same));
    ULONGLONG aTime = WriteTime(target + "\\a.txt"), eTime = WriteTime(target + "\\e.txt");
    folder.WriteScript(Lines({"[Setup]", "Name=Ow Product", "Auto=1", "[Root]", "Name=OwApp", "[CopyFile]",
                              "0=a.txt", "1=b.txt", "2=e.txt", "3=&k.txt", "4=?q.txt", "DefaultNo=1"}));

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    Outcome o = WaitForEndOrBox(program, kRunWait);
    ASSERT_TRUE(o.box) << (o.ended ? "the install ended without the overwrite prompt" : "no overwrite prompt in time");
    Shot("overwrite-prompt");
    HWND box = o.box;
    EXPECT_EQ("Ow Product", ui::Narrow(TextNow(box))) << "caption of the prompt";
    std::wstring expected = L"New file exist...\r\n\r\nC:\\OwApp\\a.txt\r\nC:\\OwApp\\e.txt\r\n\r\nOverwrite?";
    EXPECT_EQ(Flat(expected), Flat(ui::MessageBoxText(box))) << "text of the prompt";
    EXPECT_TRUE(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO)) << "the prompt asks Yes or No";
    EXPECT_TRUE(IsDefaultButton(box, IDNO)) << "with DefaultNo the No button should be the default";
    EXPECT_FALSE(IsDefaultButton(box, IDYES)) << "with DefaultNo the Yes button should not be the default";
    ui::Click(box, IDNO);

    Outcome end = WaitForEndOrBox(program, kRunWait, box);
    if (end.box) Shot("overwrite-second-box");
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
    Section copied{{"0", target + "\\b.txt"}, {"1", target + "\\q.txt"}, {"count", "2"}};
    EXPECT_EQ(Describe(copied), Describe(IniSection(target + "\\Setup.ini", "CopiedFile")))
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
    folder.WriteScript(Lines({"[Setup]", "Name=Lk Product", "Auto=1", "[Root]", "Name=LkApp", "[CopyFile]",
                              "0=locked.dll", "1=newer.txt"}));
    HeldFile held(target + "\\locked.dll");
    ASSERT_TRUE(held.held());

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    Outcome prompt = WaitForEndOrBox(program, kRunWait);
    ASSERT_TRUE(prompt.box) << "no overwrite prompt for the newer destination";
    EXPECT_EQ(Flat(L"New file exist...\r\n\r\nC:\\LkApp\\newer.txt\r\n\r\nOverwrite?"),
              Flat(ui::MessageBoxText(prompt.box)));
    EXPECT_TRUE(IsDefaultButton(prompt.box, IDYES)) << "without DefaultNo the Yes button should be the default";
    EXPECT_FALSE(IsDefaultButton(prompt.box, IDNO));
    ui::Click(prompt.box, IDYES);
    ui::WaitUntil([&] { return !IsWindow(prompt.box); }, 5000);

    Outcome failure = WaitForEndOrBox(program, kRunWait, prompt.box);
    ASSERT_TRUE(failure.box) << "no failure list for the file in use";
    Shot("failure-list");
    EXPECT_EQ("Lk Product", ui::Narrow(TextNow(failure.box))) << "caption of the failure list";
    EXPECT_EQ(Flat(L"Could not copy these...\r\n\r\nC:\\LkApp\\locked.dll\r\n\r\nContinue..."),
              Flat(ui::MessageBoxText(failure.box)));
    EXPECT_EQ(1, VisibleButtons(failure.box)) << "the failure list has a single OK button";
    ui::Click(failure.box, IDOK);

    Outcome end = WaitForEndOrBox(program, kRunWait, failure.box);
    ASSERT_FALSE(end.box) << "another message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended) << "the install did not go on to its end";
    EXPECT_EQ(0u, end.exitCode);
    EXPECT_TRUE(SetupProcesses().empty()) << "with nothing scheduled no reboot-mode process may be started";

    held.Release();
    EXPECT_EQ("old library", stage::ReadFile(target + "\\locked.dll")) << "the file in use stays as it was";
    EXPECT_EQ("new text", stage::ReadFile(target + "\\newer.txt")) << "answered Yes";
    EXPECT_TRUE(FilesMatching(target + "\\RBT*").empty()) << "no temporary file without \"Reboot\"";
    Section copied{{"0", target + "\\newer.txt"}, {"count", "1"}};
    EXPECT_EQ(Describe(copied), Describe(IniSection(target + "\\Setup.ini", "CopiedFile")));
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
    const std::string target = programFiles + "\\My App";
    ASSERT_NE(std::string::npos, programFiles.find(' ')) << "the default programs folder should have a blank";
    stage::DeleteTree(target);
    ForgetPendingRenames();
    stage::Folder folder("reboot");
    folder.Put("locked.dll", "new library");
    folder.Put("plain.txt", "plain text");
    ASSERT_TRUE(stage::WriteFile(target + "\\locked.dll", "old library"));
    folder.WriteScript(Lines({"[Setup]", "Name=Rb Product", "Auto=1", "[Root]", "Name=%programs%\\My App",
                              "[CopyFile]", "0=locked.dll", "1=plain.txt", "Reboot=1"}));
    HeldFile held(target + "\\locked.dll");
    ASSERT_TRUE(held.held());

    ui::Program program;
    ASSERT_TRUE(program.Start(folder.Path("Setup.exe"), "", folder.dir()));
    Outcome end = WaitForEndOrBox(program, kRunWait);
    if (end.box) Shot("reboot-install-box");
    ASSERT_FALSE(end.box) << "unexpected message box: " << ui::Narrow(ui::MessageBoxText(end.box));
    ASSERT_TRUE(end.ended) << "the install did not end";
    EXPECT_EQ(0u, end.exitCode);
    DWORD installerEnded = GetTickCount();

    QuestionSearch search{program.pid(), L"Rb Product", nullptr, nullptr};
    ui::WaitUntil([&] {
        search.question = search.mainDialog = nullptr;
        EnumWindows(VisitForQuestion, reinterpret_cast<LPARAM>(&search));
        return search.question || search.mainDialog;
    }, 25000);
    DWORD asked = GetTickCount() - installerEnded;
    Shot("reboot-question");
    DWORD questionPid = 0;
    if (search.mainDialog) {
        GetWindowThreadProcessId(search.mainDialog, &questionPid);
        StopProcess(questionPid);
        FAIL() << "the installed copy opened the main dialog: it did not get exactly the argument reboot";
    }
    ASSERT_TRUE(search.question) << "no reboot question within 25 s of the installer's end";
    GetWindowThreadProcessId(search.question, &questionPid);
    HANDLE asker = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, questionPid);
    ASSERT_TRUE(asker);
    EXPECT_EQ(LowerW(ui::Widen((target + "\\Setup.exe").c_str())), LowerW(ImagePath(asker)))
        << "the question should come from the installed copy";
    EXPECT_GE(asked, 2000u) << "the reboot mode waits about 5 s, so its question comes well after the installer ends";
    EXPECT_EQ(Flat(L"Some files will be enabled\nafter reboot.\n\nReboot now?"), Flat(ui::MessageBoxText(search.question)));
    ui::Click(search.question, IDNO);
    if (WaitForSingleObject(asker, 10000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the reboot-mode process did not end after No";
        TerminateProcess(asker, 99);
        WaitForSingleObject(asker, 5000);
    } else {
        DWORD askerCode = STILL_ACTIVE;
        GetExitCodeProcess(asker, &askerCode);
        EXPECT_EQ(0u, askerCode);
    }
    CloseHandle(asker);

    std::vector<std::string> temporaries = FilesMatching(target + "\\RBT*");
    ASSERT_EQ(1u, temporaries.size()) << "one RBT temporary file beside the destination";
    std::string temporary = target + "\\" + temporaries[0];
    EXPECT_EQ("new library", stage::ReadFile(temporary)) << "the temporary file holds the new content";
    std::wstring from = LowerW(ui::Widen(temporary.c_str())), to = LowerW(ui::Widen((target + "\\locked.dll").c_str()));
    bool scheduled = false;
    for (const auto& move : PendingRenames()) scheduled = scheduled || (move.first == from && move.second == to);
    EXPECT_TRUE(scheduled) << "PendingFileRenameOperations should move " << temporary << " onto the destination";
    Section copied{{"0", target + "\\locked.dll"}, {"1", target + "\\plain.txt"}, {"count", "2"}};
    EXPECT_EQ(Describe(copied), Describe(IniSection(target + "\\Setup.ini", "CopiedFile")))
        << "the scheduled file is recorded";

    held.Release();
    EXPECT_EQ("old library", stage::ReadFile(target + "\\locked.dll")) << "replaced only at the restart";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION boot{};
    char command[] = "C:\\windows\\system32\\wineboot.exe -r";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &boot));
    if (WaitForSingleObject(boot.hProcess, 120000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "wineboot -r did not end within 120 s";
        TerminateProcess(boot.hProcess, 99);
    }
    CloseHandle(boot.hThread);
    CloseHandle(boot.hProcess);
    EXPECT_EQ("new library", stage::ReadFile(target + "\\locked.dll")) << "after the restart";
    EXPECT_FALSE(stage::Exists(temporary)) << "the temporary file was moved onto the destination";
    stage::DeleteTree(target);
}

// A second install of other files into the same folder appends the older record's
// folders and files that it did not make itself, each path once whatever its case.
TEST(Install, SecondInstallMergesTheOlderRecord) {
    const std::string target = "C:\\MgApp";
    stage::DeleteTree(target);
    stage::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "MgApp").c_str());
    stage::Folder first("merge-1");
    first.Put("one.txt", "one");
    first.Put("shared.txt", "shared 1");
    first.Put("sub\\x.txt", "x");
    first.WriteScript(Lines({"[Setup]", "Name=Mg Product", "Auto=1", "[Root]", "Name=MgApp", "[MakeDirectory]",
                             "1=sub", "[CopyFile]", "0=one.txt", "1=shared.txt", "2=sub\\x.txt"}));
    DWORD code = STILL_ACTIVE;
    std::string problem;
    ASSERT_TRUE(InstallUnattended(first, &code, &problem)) << "first install: " << problem;
    Section firstCopied{{"0", target + "\\one.txt"},
                        {"1", target + "\\shared.txt"},
                        {"2", target + "\\sub\\x.txt"},
                        {"count", "3"}};
    ASSERT_EQ(Describe(firstCopied), Describe(IniSection(target + "\\Setup.ini", "CopiedFile"))) << "first record";

    stage::Folder second("merge-2");
    second.Put("two.txt", "two");
    second.Put("SHARED.TXT", "shared 2");
    stage::Touch(second.Path("SHARED.TXT"), 120);  // newer than the first install's copy
    second.WriteScript(Lines({"[Setup]", "Name=Mg Product 2", "Auto=1", "[Root]", "Name=MgApp", "[MakeDirectory]",
                              "1=other", "[CopyFile]", "0=two.txt", "1=SHARED.TXT"}));
    problem.clear();
    ASSERT_TRUE(InstallUnattended(second, &code, &problem)) << "second install: " << problem;
    EXPECT_EQ(0u, code);

    std::string record = target + "\\Setup.ini";
    Section copied{{"0", target + "\\two.txt"},
                   {"1", target + "\\SHARED.TXT"},
                   {"2", target + "\\one.txt"},
                   {"3", target + "\\sub\\x.txt"},
                   {"count", "4"}};
    EXPECT_EQ(Describe(copied), Describe(IniSection(record, "CopiedFile")))
        << "the second install's files, then the first one's not copied again";
    Section made{{"0", target}, {"1", target + "\\other"}, {"2", target + "\\sub"}, {"count", "3"}};
    EXPECT_EQ(Describe(made), Describe(IniSection(record, "MakedDirectory")));
    EXPECT_EQ("Mg Product 2", Value(record, "Setup", "Name")) << "the record is the second script";
    EXPECT_TRUE(stage::ReadFile(record) == stage::ReadFile(second.Script()))
        << "the merged lists are written into the running script before it is copied";
    EXPECT_EQ("shared 2", stage::ReadFile(target + "\\shared.txt"));
    EXPECT_EQ("one", stage::ReadFile(target + "\\one.txt"));
    stage::DeleteTree(target);
}
