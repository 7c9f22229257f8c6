// The file step driven directly: a hidden stand-in window carries the install
// folder field and the two check boxes, and a second thread answers the message
// boxes and keeps their texts.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "app/run_state.h"
#include "install/copy.h"
#include "install/record.h"
#include "res/resource.h"
#include "script/text.h"
#include "fixtures.h"
#include "stage.h"
#include "ui_driver.h"

namespace {

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// Gives path the last-write time of model.
bool CopyWriteTime(const std::string& model, const std::string& path) {
    HANDLE from = CreateFileA(model.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    FILETIME written{};
    GetFileTime(from, nullptr, nullptr, &written);
    CloseHandle(from);
    HANDLE to = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (to == INVALID_HANDLE_VALUE) return false;
    BOOL ok = SetFileTime(to, nullptr, nullptr, &written);
    CloseHandle(to);
    return ok != FALSE;
}

std::vector<std::string> FilesMatching(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// ---- delayed moves ---------------------------------------------------------------

// ---- the stand-in dialog and the message boxes ------------------------------------

// A hidden window with the controls the file step reads.
class FakeDialog {
public:
    FakeDialog(const std::string& folder, bool copyBox, bool deleteBox) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        window_ = CreateWindowExA(0, "STATIC", "Setup", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                  instance, nullptr);
        CreateWindowExA(0, "EDIT", folder.c_str(), WS_CHILD | ES_AUTOHSCROLL, 0, 0, 380, 20, window_,
                        (HMENU)(INT_PTR)IDC_FOLDER, instance, nullptr);
        AddBox(IDC_COPY, copyBox);
        AddBox(IDC_DELETE_AFTER, deleteBox);
    }
    ~FakeDialog() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    void AddBox(int id, bool checked) {
        HWND box = CreateWindowExA(0, "BUTTON", "box", WS_CHILD | BS_AUTOCHECKBOX, 0, 30 + 20 * (id - IDC_COPY), 100,
                                   20, window_, (HMENU)(INT_PTR)id, GetModuleHandleA(nullptr), nullptr);
        SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    HWND window_;
};

struct SeenBox {
    std::wstring caption, text;
    int defaultButton = 0;  // the button drawn as default, 0 when none was found
};

int DefaultButtonOf(HWND box) {
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && (GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) return id;
    }
    return 0;
}

// Answers every message box of this process in turn: with the given answers, then
// No or OK, so that the step under test can never hang on a box.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<int> answers) : answers_(std::move(answers)), thread_([this] { Loop(); }) {}
    ~BoxAnswerer() { Stop(); }
    std::vector<SeenBox> Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void Loop() {
        DWORD pid = GetCurrentProcessId();
        while (!stop_) {
            HWND box = ui::WaitForMessageBox(pid, 100);
            if (!box) continue;
            Sleep(50);  // let the box finish its set-up
            SeenBox seen;
            seen.caption = ui::Text(box);
            seen.text = ui::MessageBoxText(box);
            seen.defaultButton = DefaultButtonOf(box);
            int answer = seen_.size() < answers_.size() ? answers_[seen_.size()] : IDNO;
            if (!GetDlgItem(box, answer)) answer = GetDlgItem(box, IDNO) ? IDNO : IDOK;
            seen_.push_back(seen);
            ui::Click(box, answer);
            ui::WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
        }
    }
    std::vector<int> answers_;
    std::vector<SeenBox> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: starts after the members it uses
};

std::wstring Wide(const std::string& text) { return ui::Widen(text.c_str()); }

std::wstring PromptText(const std::vector<std::string>& destinations) {
    std::string text = "New file exist...\r\n\r\n";
    for (const std::string& d : destinations) text += d + "\r\n";
    return Wide(text + "\r\nOverwrite?");
}

std::wstring FailureText(const std::vector<std::string>& destinations) {
    std::string text = "Could not copy these...\r\n\r\n";
    for (const std::string& d : destinations) text += d + "\r\n";
    return Wide(text + "\r\nContinue...");
}

class CopyInstallFilesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        source_ = std::make_unique<stage::Folder>("copy_" + name, false);
        dst_ = "C:\\stage\\copy_" + name + "_dst";
        stage::DeleteTree(dst_);
        stage::MakeFolders(dst_);
        UseScript("Setup.ini");
        ::Run().restartNeeded = false;
        GetCurrentDirectoryA(sizeof savedFolder_, savedFolder_);
        SetCurrentDirectoryA(source_->dir().c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA(savedFolder_);
        ::Run().restartNeeded = false;
    }

    // Each run gets a script file of its own, so no cached copy of an older one is read.
    void UseScript(const std::string& file) {
        script_ = source_->Path(file);
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script_.c_str());
    }
    void WriteScript(const std::string& text) { stage::WriteFile(script_, text); }

    std::vector<SeenBox> RunCopy(std::vector<int> answers, bool copyBox = false, bool deleteBox = false) {
        FakeDialog dialog(dst_, copyBox, deleteBox);
        BoxAnswerer answerer(std::move(answers));
        CopyInstallFiles(dialog.get());
        return answerer.Stop();
    }

    std::string Dst(const std::string& relative) const { return dst_ + "\\" + relative; }
    // A shipped file and, when destination is not empty, an installed one.
    void Ship(const std::string& relative, const std::string& destinationBytes = "",
              long long destinationAge = 0) {
        source_->Put(relative, "new " + relative);
        if (destinationBytes.empty()) return;
        stage::WriteFile(Dst(relative), destinationBytes);
        if (destinationAge == 0)
            CopyWriteTime(source_->Path(relative), Dst(relative));
        else
            stage::Touch(Dst(relative), destinationAge);
    }
    std::vector<std::string> Copied() const { return SectionLines(script_, "CopiedFile"); }

    std::unique_ptr<stage::Folder> source_;
    std::string dst_, script_;
    char savedFolder_[MAX_PATH] = "";
    PendingSnapshot pending_;
};

TEST_F(CopyInstallFilesTest, PrefixesDecideWhatHappensWithoutAsking) {
    WriteScript(Crlf({"[Setup]", "Name=Prefix Product", "[CopyFile]", "0=plain.txt", "1=&fresh1.txt",
                      "2=!&?*fresh2.txt", "3=&newer1.txt", "4=?newer2.txt", "5=&?newer3.txt", "6=older1.txt",
                      "7=!older2.txt", "8=*no-such-source.txt", "9=%root%token.txt"}));
    Ship("plain.txt");
    Ship("fresh1.txt");
    Ship("fresh2.txt");
    Ship("newer1.txt", "old", 3600);
    Ship("newer2.txt", "old", 3600);
    Ship("newer3.txt", "old", 3600);
    Ship("older1.txt", "old", -3600);
    Ship("older2.txt", "old", -3600);
    source_->Put("%root%token.txt", "new token");  // the source path keeps the token literally

    std::vector<SeenBox> boxes = RunCopy({});

    EXPECT_TRUE(boxes.empty()) << "no entry should ask or fail loudly, got " << boxes.size() << " box(es): "
                               << (boxes.empty() ? "" : ui::Narrow(boxes[0].text));
    struct Expect {
        const char* file;
        const char* bytes;
    } expected[] = {{"plain.txt", "new plain.txt"},   {"fresh1.txt", "new fresh1.txt"},
                    {"fresh2.txt", "new fresh2.txt"}, {"newer1.txt", "old"},
                    {"newer2.txt", "new newer2.txt"}, {"newer3.txt", "old"},
                    {"older1.txt", "new older1.txt"}, {"older2.txt", "new older2.txt"},
                    {"token.txt", "new token"}};
    for (const Expect& e : expected)
        EXPECT_EQ(stage::ReadFile(Dst(e.file)), e.bytes) << "destination " << e.file;
    EXPECT_FALSE(stage::Exists(Dst("no-such-source.txt")));
    std::vector<std::string> want = {"0=" + Dst("plain.txt"), "1=" + Dst("fresh1.txt"), "2=" + Dst("newer2.txt"),
                                     "3=" + Dst("older1.txt"), "4=" + Dst("token.txt"), "Count=5"};
    EXPECT_EQ(Copied(), want) << "CopiedFile section:\n" << Join(Copied());
    EXPECT_FALSE(::Run().restartNeeded);
}

TEST_F(CopyInstallFilesTest, NoAtThePromptLeavesEqualAndNewerFilesAlone) {
    std::vector<std::string> script = {"[Setup]", "Name=Prompt Product", "[CopyFile]", "DefaultNo=1",
                                       "0=same.txt",  "1=newer.txt", "2=fresh.txt", "3=!same-unrecorded.txt",
                                       "4=%root%token.txt"};
    Ship("same.txt", "old");
    Ship("newer.txt", "old", 7200);
    Ship("fresh.txt");
    Ship("same-unrecorded.txt", "old");
    Ship("%root%token.txt");
    stage::WriteFile(Dst("token.txt"), "old");
    stage::Touch(Dst("token.txt"), 7200);
    std::vector<std::string> waiting = {Dst("same.txt"), Dst("newer.txt"), Dst("same-unrecorded.txt"),
                                        Dst("token.txt")};
    // Enough waiting files that the prompt outgrows any fixed-size text.
    for (int i = 0; i < 12; ++i) {
        std::string name = "a rather long file name that fills the prompt " + std::to_string(i) + ".txt";
        script.push_back(std::to_string(5 + i) + "=" + name);
        Ship(name, "old", 60);
        waiting.push_back(Dst(name));
    }
    WriteScript(Crlf(script));

    std::vector<SeenBox> boxes = RunCopy({IDNO});

    ASSERT_EQ(boxes.size(), 1u) << "expected only the overwrite prompt";
    EXPECT_EQ(boxes[0].caption, L"Prompt Product");
    EXPECT_EQ(boxes[0].text, PromptText(waiting)) << "got: " << ui::Narrow(boxes[0].text);
    EXPECT_EQ(boxes[0].defaultButton, IDNO) << "DefaultNo should make No the default button";
    for (const std::string& d : waiting) EXPECT_EQ(stage::ReadFile(d), "old") << d << " was overwritten";
    EXPECT_EQ(stage::ReadFile(Dst("fresh.txt")), "new fresh.txt");
    std::vector<std::string> want = {"0=" + Dst("fresh.txt"), "Count=1"};
    EXPECT_EQ(Copied(), want) << "CopiedFile section:\n" << Join(Copied());
}

TEST_F(CopyInstallFilesTest, YesAtThePromptCopiesAndRecordsTheWaitingFiles) {
    WriteScript(Crlf({"[Setup]", "Name=Yes Product", "[CopyFile]", "0=same.txt", "1=!newer-unrecorded.txt",
                      "2=fresh.txt", "3=in-use.txt"}));
    Ship("same.txt", "old");
    Ship("newer-unrecorded.txt", "old", 7200);
    Ship("fresh.txt");
    Ship("in-use.txt", "old", 7200);
    std::vector<SeenBox> boxes;
    {
        LockedFile lock(Dst("in-use.txt"), FILE_SHARE_READ);  // its age can be read, it cannot be overwritten
        ASSERT_TRUE(lock.held());
        boxes = RunCopy({IDYES, IDOK});
    }

    ASSERT_EQ(boxes.size(), 2u) << "expected the overwrite prompt, then the failure list";
    EXPECT_EQ(boxes[0].text, PromptText({Dst("same.txt"), Dst("newer-unrecorded.txt"), Dst("in-use.txt")}))
        << "got: " << ui::Narrow(boxes[0].text);
    EXPECT_EQ(boxes[0].defaultButton, IDYES) << "without DefaultNo, Yes is the default button";
    EXPECT_EQ(boxes[1].caption, L"Yes Product");
    EXPECT_EQ(boxes[1].text, FailureText({Dst("in-use.txt")})) << "got: " << ui::Narrow(boxes[1].text);
    EXPECT_EQ(stage::ReadFile(Dst("same.txt")), "new same.txt");
    EXPECT_EQ(stage::ReadFile(Dst("newer-unrecorded.txt")), "new newer-unrecorded.txt");
    EXPECT_EQ(stage::ReadFile(Dst("in-use.txt")), "old");
    std::vector<std::string> want = {"0=" + Dst("fresh.txt"), "1=" + Dst("same.txt"), "Count=2"};
    EXPECT_EQ(Copied(), want) << "CopiedFile section:\n" << Join(Copied());
}

TEST_F(CopyInstallFilesTest, FilesInUseFailWithoutRestartReplacement) {
    std::vector<std::string> lines = {"[Setup]", "Name=Locked Product", "[CopyFile]", "0=locked.txt",
                                      "1=*locked-silent.txt", "2=ok.txt"};
    Ship("locked.txt", "in use", -3600);
    Ship("locked-silent.txt", "in use", -3600);
    Ship("ok.txt");
    std::vector<std::string> failed = {Dst("locked.txt")};
    for (int i = 0; i < 8; ++i) {  // missing sources fail too; enough of them to outgrow a fixed text
        std::string name = "a shipped file that somebody forgot to ship " + std::to_string(i) + ".dll";
        lines.push_back(std::to_string(3 + i) + "=" + name);
        failed.push_back(Dst(name));
    }
    WriteScript(Crlf(lines));
    std::vector<SeenBox> boxes;
    {
        LockedFile a(Dst("locked.txt")), b(Dst("locked-silent.txt"));
        ASSERT_TRUE(a.held() && b.held());
        boxes = RunCopy({IDOK});
    }

    ASSERT_EQ(boxes.size(), 1u) << "expected the failure list alone";
    EXPECT_EQ(boxes[0].caption, L"Locked Product");
    EXPECT_EQ(boxes[0].text, FailureText(failed)) << "got: " << ui::Narrow(boxes[0].text);
    EXPECT_EQ(stage::ReadFile(Dst("locked.txt")), "in use");
    EXPECT_EQ(stage::ReadFile(Dst("locked-silent.txt")), "in use");
    std::vector<std::string> want = {"0=" + Dst("ok.txt"), "Count=1"};
    EXPECT_EQ(Copied(), want) << "CopiedFile section:\n" << Join(Copied());
    EXPECT_TRUE(FilesMatching(Dst("RBT*.tmp")).empty()) << "no temporary file without \"Reboot\"";
    EXPECT_FALSE(::Run().restartNeeded);
}

TEST_F(CopyInstallFilesTest, FileInUseIsReplacedAtRestartThroughATemporaryCopy) {
    WriteScript(Crlf({"[Setup]", "Name=Reboot Product", "[CopyFile]", "Reboot=1", "0=locked.txt", "1=ok.txt"}));
    Ship("locked.txt", "in use", -3600);
    Ship("ok.txt");
    std::vector<SeenBox> boxes;
    {
        LockedFile lock(Dst("locked.txt"));
        ASSERT_TRUE(lock.held());
        boxes = RunCopy({});
    }

    EXPECT_TRUE(boxes.empty()) << "a file replaced at restart is no failure";
    std::vector<std::string> temporaries = FilesMatching(Dst("RBT*.tmp"));
    ASSERT_EQ(temporaries.size(), 1u) << "expected one RBT*.tmp beside the destination";
    std::string temporary = Dst(temporaries[0]);
    EXPECT_EQ(stage::ReadFile(temporary), "new locked.txt");
    EXPECT_EQ(stage::ReadFile(Dst("locked.txt")), "in use") << "the file in use stays until the restart";
    std::vector<std::string> want = {"0=" + Dst("locked.txt"), "1=" + Dst("ok.txt"), "Count=2"};
    EXPECT_EQ(Copied(), want) << "recorded in long form, since the delayed move was accepted:\n" << Join(Copied());
    EXPECT_TRUE(::Run().restartNeeded);
    bool scheduled = false;
    for (const PendingRename& p : PendingRenames())
        if (SameText(p.from, temporary) && SameText(p.to, Dst("locked.txt"))) scheduled = true;
    EXPECT_TRUE(scheduled) << "PendingFileRenameOperations should move " << temporary << " over "
                           << Dst("locked.txt");
    DeleteFileA(temporary.c_str());
}

TEST_F(CopyInstallFilesTest, UnreadableSourceIsNeverScheduled) {
    WriteScript(Crlf({"[Setup]", "Name=Empty Product", "[CopyFile]", "Reboot=1", "0=locked.txt",
                      "1=*locked-silent.txt"}));
    stage::WriteFile(Dst("locked.txt"), "in use");  // shipped file missing
    stage::WriteFile(Dst("locked-silent.txt"), "in use");
    std::vector<SeenBox> boxes;
    {
        LockedFile a(Dst("locked.txt")), b(Dst("locked-silent.txt"));
        ASSERT_TRUE(a.held() && b.held());
        boxes = RunCopy({IDOK});
    }

    ASSERT_EQ(boxes.size(), 1u) << "expected the failure list";
    EXPECT_EQ(boxes[0].text, FailureText({Dst("locked.txt")})) << "got: " << ui::Narrow(boxes[0].text);
    EXPECT_TRUE(FilesMatching(Dst("RBT*.tmp")).empty()) << "an empty temporary file was left behind";
    EXPECT_EQ(stage::ReadFile(Dst("locked.txt")), "in use");
    std::vector<std::string> want = {"Count=1"};
    EXPECT_EQ(Copied(), want) << "CopiedFile section:\n" << Join(Copied());
    EXPECT_FALSE(::Run().restartNeeded);
    for (const PendingRename& p : PendingRenames())
        EXPECT_EQ(p.to.find(dst_), std::string::npos) << "scheduled: " << p.from << " -> " << p.to;
}

TEST_F(CopyInstallFilesTest, RecordAfterARun) {
    WriteScript(Crlf({"[Setup]", "Name=Record Product", "[Root]", "Name=App", "[Check]", "Copy=1", "Menu=2",
                      "[MakeDirectory]", "1=sub\\deep", "2=sub", "3=%system%x", "5=never", "[CopyFile]",
                      "0=sub\\deep\\f.txt", "1=top.txt"}));
    Ship("sub\\deep\\f.txt");
    Ship("top.txt");

    std::vector<SeenBox> boxes = RunCopy({}, false, true);

    EXPECT_TRUE(boxes.empty());
    std::vector<std::string> check = {"Copy=0", "Menu=2", "Del=2"};
    EXPECT_EQ(SectionLines(script_, "Check"), check) << Join(SectionLines(script_, "Check"));
    std::vector<std::string> root = {"Name=App", "Named=" + dst_};
    EXPECT_EQ(SectionLines(script_, "Root"), root) << Join(SectionLines(script_, "Root"));
    // The install folder existed and is recorded too; a folder met twice is recorded twice;
    // tokens are not expanded; the list ends at its first gap.
    std::vector<std::string> made = {"0=" + dst_,         "1=" + Dst("sub"),        "2=" + Dst("sub\\deep"),
                                     "3=" + Dst("sub"),   "4=" + Dst("%system%x"), "Count=5"};
    EXPECT_EQ(SectionLines(script_, "MakedDirectory"), made) << Join(SectionLines(script_, "MakedDirectory"));
    EXPECT_FALSE(stage::Exists(Dst("never")));
    std::vector<std::string> copied = {"0=" + Dst("sub\\deep\\f.txt"), "1=" + Dst("top.txt"), "Count=2"};
    EXPECT_EQ(Copied(), copied) << Join(Copied());
    EXPECT_EQ(stage::ReadFile(Dst("sub\\deep\\f.txt")), "new sub\\deep\\f.txt");
}

TEST_F(CopyInstallFilesTest, SelfIsCopiedOnlyWithTheCopyBox) {
    source_->Put("bin\\tool.exe", "tool bytes");

    UseScript("unchecked.ini");
    WriteScript(Crlf({"[CopyFile]", "Self=bin\\tool.exe"}));
    EXPECT_TRUE(RunCopy({}, false, true).empty());
    EXPECT_FALSE(stage::Exists(Dst("tool.exe"))) << "copied although box 1009 was clear";
    EXPECT_EQ(SectionLines(script_, "CopiedFile"), std::vector<std::string>{"Count=1"});
    EXPECT_EQ(stage::Ini(script_, "Check", "Copy"), "0");
    EXPECT_EQ(stage::Ini(script_, "Check", "Del"), "2");

    UseScript("checked.ini");
    WriteScript(Crlf({"[CopyFile]", "Self=bin\\tool.exe"}));
    EXPECT_TRUE(RunCopy({}, true, false).empty());
    EXPECT_EQ(stage::ReadFile(Dst("tool.exe")), "tool bytes") << "copied under its own name into the folder";
    std::vector<std::string> want = {"0=" + Dst("tool.exe"), "Count=1"};
    EXPECT_EQ(SectionLines(script_, "CopiedFile"), want) << Join(SectionLines(script_, "CopiedFile"));
    EXPECT_EQ(stage::Ini(script_, "Check", "Copy"), "2");
    EXPECT_EQ(stage::Ini(script_, "Check", "Del"), "0");

    UseScript("missing.ini");  // recorded whatever the copy gave
    WriteScript(Crlf({"[CopyFile]", "0=list.txt", "Self=gone.exe"}));
    source_->Put("list.txt", "list");
    EXPECT_TRUE(RunCopy({}, true, false).empty());
    want = {"0=" + Dst("list.txt"), "1=" + Dst("gone.exe"), "Count=2"};
    EXPECT_EQ(SectionLines(script_, "CopiedFile"), want) << Join(SectionLines(script_, "CopiedFile"));
}

TEST_F(CopyInstallFilesTest, NothingRecordedStillCountsOne) {
    source_->Put("a.txt", "a");
    UseScript("from-one.ini");  // the copy list starts at "0"; "1" alone is no list
    WriteScript(Crlf({"[CopyFile]", "1=a.txt"}));
    EXPECT_TRUE(RunCopy({}).empty());
    EXPECT_FALSE(stage::Exists(Dst("a.txt")));
    EXPECT_EQ(SectionLines(script_, "CopiedFile"), std::vector<std::string>{"Count=1"});

    UseScript("unrecorded.ini");
    WriteScript(Crlf({"[CopyFile]", "0=!a.txt"}));
    EXPECT_TRUE(RunCopy({}).empty());
    EXPECT_EQ(stage::ReadFile(Dst("a.txt")), "a");
    EXPECT_EQ(SectionLines(script_, "CopiedFile"), std::vector<std::string>{"Count=1"});
}

// ---- the helpers of the file step -----------------------------------------------

TEST(CompareFileAge, SourceAgainstDestination) {
    stage::Folder folder("compare_age", false);
    std::string src = folder.Path("src.txt"), dst = folder.Path("dst.txt");
    folder.Put("src.txt", "s");
    folder.Put("dst.txt", "d");
    stage::Touch(dst, -60);
    EXPECT_EQ(CompareFileAge(dst.c_str(), src.c_str()), 1) << "source newer";
    stage::Touch(dst, 60);
    EXPECT_EQ(CompareFileAge(dst.c_str(), src.c_str()), -1) << "source older";
    CopyWriteTime(src, dst);
    EXPECT_EQ(CompareFileAge(dst.c_str(), src.c_str()), 0) << "same time";
    EXPECT_EQ(CompareFileAge(folder.Path("none.txt").c_str(), src.c_str()), 2) << "destination missing";
    EXPECT_EQ(CompareFileAge(dst.c_str(), folder.Path("none.txt").c_str()), 2) << "source missing";
    {
        LockedFile lock(dst);
        ASSERT_TRUE(lock.held());
        EXPECT_EQ(CompareFileAge(dst.c_str(), src.c_str()), 2) << "destination held without sharing";
    }
}

TEST(MakeFolderTree, RecordsParentsBeforeChildren) {
    stage::Folder base("make_tree", false);
    std::string record = base.Path("record.ini");
    std::string top = base.Path("new");
    char folder[MAX_PATH + 8];
    memset(folder, 'G', sizeof folder);
    std::string deep = top + "\\a\\b";
    strcpy(folder, deep.c_str());
    char existing[MAX_PATH];
    strcpy(existing, base.dir().c_str());
    DWORD drives = GetLogicalDrives();
    char letter = 0;
    for (char c = 'Y'; c > 'D' && !letter; --c)
        if (!(drives & (1u << (c - 'A')))) letter = c;
    ASSERT_NE(letter, 0) << "no unused drive letter";
    char unreachable[MAX_PATH];
    snprintf(unreachable, sizeof unreachable, "%c:\\no\\drive", letter);
    {
        RecordList list("MakedDirectory", record.c_str(), false, false);
        EXPECT_EQ(MakeFolderTree(folder, 4, list), 7) << "three folders made";
        EXPECT_STREQ(folder, deep.c_str()) << "the buffer is given back as it came";
        EXPECT_EQ(folder[deep.size() + 1], 'G') << "nothing written after the path";
        EXPECT_EQ(MakeFolderTree(existing, 7, list), 8) << "an existing folder counts";
        EXPECT_EQ(MakeFolderTree(unreachable, 8, list), 8) << "nothing can be made on a missing drive";
        EXPECT_STREQ(unreachable, std::string(1, letter).append(":\\no\\drive").c_str());
    }
    EXPECT_TRUE(stage::Exists(deep));
    std::vector<std::string> want = {"4=" + top, "5=" + top + "\\a", "6=" + deep, "7=" + base.dir()};
    EXPECT_EQ(SectionLines(record, "MakedDirectory"), want) << Join(SectionLines(record, "MakedDirectory"));
}

TEST(CopyViaTemporaryFile, NothingIsScheduledWithoutATemporaryCopy) {
    stage::Folder base("via_temporary", false);
    base.Put("src.txt", "s");
    PendingSnapshot keep;
    char destination[MAX_PATH];
    snprintf(destination, sizeof destination, "%s", base.Path("no folder\\dst.txt").c_str());
    bool scheduled = true;
    CopyViaTemporaryFile(base.Path("src.txt").c_str(), destination, &scheduled);
    EXPECT_FALSE(scheduled) << "no temporary file can be made in a missing folder";
    snprintf(destination, sizeof destination, "%s", base.Path("dst.txt").c_str());
    scheduled = true;
    CopyViaTemporaryFile(base.Path("missing.txt").c_str(), destination, &scheduled);
    EXPECT_FALSE(scheduled) << "an unreadable source must not be scheduled";
    EXPECT_TRUE(FilesMatching(base.Path("RBT*.tmp")).empty()) << "the empty temporary file stays behind";
    for (const PendingRename& p : PendingRenames())
        EXPECT_EQ(p.to.find(base.dir()), std::string::npos) << "scheduled: " << p.from << " -> " << p.to;
}

}  // namespace
