// The file step driven directly: a hidden stand-in window carries the install folder
// field and the two boxes, and a second thread answers the message boxes.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "run/run_state.h"
#include "install/copy.h"
#include "install/record.h"
#include "install/seal_check.h"
#include "install/seal_list.h"
#include "base/sha256.h"
#include "res/resource.h"
#include "base/text.h"
#include "fixtures.h"
#include "recording_channel.h"
#include "stage.h"
#include "ui_driver.h"

namespace {

constexpr long long kNoFile = 1LL << 40;

// Last-write time: a fixed moment plus offset, so that two files can share a time exactly.
void SetAge(const std::string& path, long long offsetSeconds) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ULARGE_INTEGER t;
    t.QuadPart = 133000000000000000ULL + offsetSeconds * 10000000LL;
    FILETIME when{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
}

// A hidden window with the controls the file step reads.
struct SeenBox {
    std::wstring caption, text;
    int defaultButton;
    std::vector<std::string> recorded;  // [CopiedFile] on disk while the box was open
};

// The lines of one section as the file on disk holds them, read past the profile calls.
std::vector<std::string> OnDisk(const std::string& file, const std::string& section) {
    std::vector<std::string> lines;
    std::string text = stage::ReadFile(file), header = "[" + section + "]";
    bool inside = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = end + 1;
        if (!line.empty() && line[0] == '[') inside = lstrcmpiA(line.c_str(), header.c_str()) == 0;
        else if (inside && !line.empty()) lines.push_back(line);
    }
    return lines;
}

std::wstring BoxText(const char* header, const std::vector<std::string>& destinations, const char* trailer) {
    std::string text = std::string(header) + "\r\n\r\n";
    for (const std::string& d : destinations) text += d + "\r\n";
    return ui::Widen((text + "\r\n" + trailer).c_str());
}
std::wstring PromptText(const std::vector<std::string>& d) { return BoxText("New file exist...", d, "Overwrite?"); }
std::wstring FailureText(const std::vector<std::string>& d) { return BoxText("Could not copy these...", d, "Continue..."); }

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
    // A script file of its own for each run, so that no cached older one is read.
    void UseScript(const std::string& file) {
        script_ = source_->Path(file);
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script_.c_str());
    }
    void WriteScript(const std::vector<std::string>& lines) { stage::WriteFile(script_, Crlf(lines)); }
    // Runs the step while the given destinations are held open; its questions get the
    // given answers, then No (a report OK), and what is on disk is read while each is open.
    std::vector<SeenBox> RunCopy(std::vector<int> answers, const std::vector<std::string>& held = {},
                                 bool copyBox = false, bool deleteBox = false) {
        std::vector<std::unique_ptr<LockedFile>> locks;
        for (const std::string& h : held) {
            locks.push_back(std::make_unique<LockedFile>(Dst(h)));
            EXPECT_TRUE(locks.back()->held()) << "could not hold " << h;
        }
        std::vector<Answer> given;
        for (int a : answers) given.push_back(a == IDYES ? Answer::Yes : a == IDOK ? Answer::Ok : Answer::No);
        testing_channel::RecordingChannel channel(given);
        std::vector<std::vector<std::string>> onDisk;
        channel.whileOpen = [&] { onDisk.push_back(OnDisk(script_, "CopiedFile")); };
        testing_channel::Use use(&channel, &report_);
        CopyInstallFiles(nullptr, dst_.c_str(), copyBox, deleteBox);
        std::vector<SeenBox> seen;
        for (size_t i = 0; i < channel.seen.size(); ++i) {
            const testing_channel::Seen& m = channel.seen[i];
            int defaultButton = m.kind == Message::Question ? (m.defaultNo ? IDNO : IDYES) : 0;
            seen.push_back({ui::Widen(m.caption.c_str()), ui::Widen(m.text.c_str()), defaultButton, onDisk[i]});
        }
        return seen;
    }
    std::string Dst(const std::string& relative) const { return dst_ + "\\" + relative; }
    // A shipped file and, unless dstAge is kNoFile, an installed "old" one that much newer.
    void Ship(const std::string& relative, long long dstAge = kNoFile, std::string dst = "") {
        if (dst.empty()) dst = relative;
        source_->Put(relative, "new " + dst);
        SetAge(source_->Path(relative), 0);
        if (dstAge == kNoFile) return;
        stage::WriteFile(Dst(dst), "old");
        SetAge(Dst(dst), dstAge);
    }
    std::vector<std::string> Copied() const { return SectionLines(script_, "CopiedFile"); }
    // The "CopiedFile" section that records these destinations ("Count" at least 1).
    std::vector<std::string> Recorded(const std::vector<std::string>& names) const {
        std::vector<std::string> lines;
        for (const std::string& n : names) lines.push_back(std::to_string(lines.size()) + "=" + Dst(n));
        lines.push_back("Count=" + std::to_string(names.empty() ? 1 : names.size()));
        return lines;
    }

    std::unique_ptr<stage::Folder> source_;
    std::string dst_, script_;
    testing_channel::RecordingReport report_;
    char savedFolder_[MAX_PATH] = "";
    PendingSnapshot pending_;
};

TEST_F(CopyInstallFilesTest, PrefixesDecideWhatHappensWithoutAsking) {
    struct Row {
        const char* entry;
        const char* file;  // the destination's name
        long long dstAge;
        bool copied, recorded;
    } rows[] = {
        {"plain.txt", "plain.txt", kNoFile, true, true},
        {"&fresh1.txt", "fresh1.txt", kNoFile, true, true},  // a missing destination is copied whatever the prefixes
        {"!&?*fresh2.txt", "fresh2.txt", kNoFile, true, false},
        {"&newer1.txt", "newer1.txt", 3600, false, false},
        {"?newer2.txt", "newer2.txt", 3600, true, true},
        {"&?newer3.txt", "newer3.txt", 3600, false, false},  // "&" wins over "?"
        {"older1.txt", "older1.txt", -3600, true, true},
        {"!older2.txt", "older2.txt", -3600, true, false},
        {"*no-such-source.txt", "no-such-source.txt", kNoFile, false, false},  // silent, unrecorded
        {"%root%token.txt", "token.txt", kNoFile, true, true},  // the source keeps the token literally
    };
    std::vector<std::string> script = {"[Setup]", "Name=Prefix Product", "[CopyFile]"}, recorded;
    for (const Row& r : rows) {
        script.push_back(std::to_string(script.size() - 3) + "=" + r.entry);
        if (!strstr(r.entry, "no-such")) Ship(r.entry + strspn(r.entry, "!&?*"), r.dstAge, r.file);
        if (r.recorded) recorded.push_back(r.file);
    }
    WriteScript(script);

    std::vector<SeenBox> boxes = RunCopy({});

    EXPECT_TRUE(boxes.empty()) << "no entry should ask or fail loudly, got: "
                               << (boxes.empty() ? "" : ui::Narrow(boxes[0].text));
    for (const Row& r : rows) {
        if (!r.copied && r.dstAge == kNoFile)
            EXPECT_FALSE(stage::Exists(Dst(r.file))) << "entry " << r.entry;
        else
            EXPECT_EQ(stage::ReadFile(Dst(r.file)), r.copied ? "new " + std::string(r.file) : "old") << "entry " << r.entry;
    }
    EXPECT_EQ(Copied(), Recorded(recorded)) << Join(Copied());
    EXPECT_FALSE(::Run().restartNeeded);
}

// Equal and newer destinations wait for one prompt; No leaves them, Yes copies them.
TEST_F(CopyInstallFilesTest, OverwritePromptAnswers) {
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDNO ? "No" : "Yes");
        stage::DeleteTree(dst_);
        UseScript(answer == IDNO ? "no.ini" : "yes.ini");
        std::vector<std::string> script = {"[Setup]", "Name=Prompt Product", "[CopyFile]", "0=same.txt",
                                           "1=!newer.txt", "2=fresh.txt", "3=%root%token.txt"};
        if (answer == IDNO) script.push_back("DefaultNo=1");
        Ship("same.txt", 0);
        Ship("newer.txt", 7200);
        Ship("fresh.txt");
        Ship("%root%token.txt", 7200, "token.txt");
        std::vector<std::string> waiting = {"same.txt", "newer.txt", "token.txt"}, prompt, want = {"fresh.txt"};
        for (int i = 0; i < 12; ++i) {  // enough that the prompt outgrows any fixed-size text
            std::string name = "a rather long file name that fills the prompt " + std::to_string(i) + ".txt";
            script.push_back(std::to_string(4 + i) + "=" + name);
            Ship(name, 60);
            waiting.push_back(name);
        }
        for (const std::string& w : waiting) prompt.push_back(Dst(w));
        if (answer == IDYES) want.insert(want.end(), {"same.txt", "token.txt"});
        if (answer == IDYES) want.insert(want.end(), waiting.begin() + 3, waiting.end());
        WriteScript(script);

        std::vector<SeenBox> boxes = RunCopy({answer});

        ASSERT_EQ(boxes.size(), 1u) << "expected only the overwrite prompt";
        EXPECT_EQ(boxes[0].caption, L"Prompt Product");
        EXPECT_EQ(boxes[0].text, PromptText(prompt)) << "got: " << ui::Narrow(boxes[0].text);
        EXPECT_EQ(boxes[0].defaultButton, answer) << "No is the default button with DefaultNo only";
        for (const std::string& w : waiting) EXPECT_EQ(stage::ReadFile(Dst(w)), answer == IDNO ? "old" : "new " + w) << w;
        EXPECT_EQ(stage::ReadFile(Dst("fresh.txt")), "new fresh.txt");
        EXPECT_EQ(Copied(), Recorded(want)) << Join(Copied());
    }
}

// Destinations in use fail without "Reboot"; with it they wait in an RBT copy, but an
// unreadable source is never scheduled (an empty file must not replace a destination).
TEST_F(CopyInstallFilesTest, DestinationsInUse) {
    for (int reboot : {0, 1}) {
        SCOPED_TRACE("Reboot=" + std::to_string(reboot));
        stage::DeleteTree(dst_);
        UseScript("reboot" + std::to_string(reboot) + ".ini");
        std::vector<std::string> script = {"[Setup]", "Name=Locked Product", "[CopyFile]",
                                           "Reboot=" + std::to_string(reboot), "0=held.txt", "1=gone.txt",
                                           "2=*gone-silent.txt", "3=ok.txt"};
        Ship("held.txt", -3600);
        Ship("ok.txt");
        stage::WriteFile(Dst("gone.txt"), "old");  // shipped file missing
        stage::WriteFile(Dst("gone-silent.txt"), "old");
        std::vector<std::string> failed = {Dst("gone.txt")};
        if (!reboot) failed.insert(failed.begin(), Dst("held.txt"));
        for (int i = 0; i < 8; ++i) {  // missing sources fail too; enough to outgrow a fixed text
            std::string name = "a shipped file that somebody forgot to ship " + std::to_string(i) + ".dll";
            script.push_back(std::to_string(4 + i) + "=" + name);
            failed.push_back(Dst(name));
        }
        WriteScript(script);

        std::vector<SeenBox> boxes = RunCopy({IDOK}, {"held.txt", "gone.txt", "gone-silent.txt"});

        ASSERT_EQ(boxes.size(), 1u) << "expected the failure list alone";
        EXPECT_EQ(boxes[0].caption, L"Locked Product");
        EXPECT_EQ(boxes[0].text, FailureText(failed)) << "got: " << ui::Narrow(boxes[0].text);
        for (const char* f : {"held.txt", "gone.txt", "gone-silent.txt"}) EXPECT_EQ(stage::ReadFile(Dst(f)), "old") << f;
        EXPECT_EQ(Copied(), reboot ? Recorded({"held.txt", "ok.txt"}) : Recorded({"ok.txt"})) << Join(Copied());
        EXPECT_EQ(::Run().restartNeeded, reboot == 1);
        std::vector<std::string> temporaries = stage::FilesMatching(Dst("RBT*.tmp"));
        ASSERT_EQ(temporaries.size(), (size_t)reboot) << "RBT files beside the destinations";
        int scheduled = 0;
        for (const PendingRename& p : PendingRenames()) scheduled += p.to.find(dst_) != std::string::npos;
        EXPECT_EQ(scheduled, reboot) << "delayed moves onto the destinations";
        if (reboot) {
            EXPECT_EQ(stage::ReadFile(Dst(temporaries[0])), "new held.txt");
            EXPECT_TRUE(IsPending(Dst(temporaries[0]), Dst("held.txt"))) << "no delayed move of " << temporaries[0];
        }
    }
}

// A destination as new as the shipped file, or newer, is kept or asked about only when it
// opens for reading as a copy would: one in use is copied over at once, which fails and
// is listed, instead of a question whose Yes could not help.
TEST_F(CopyInstallFilesTest, InUseDestinationsAreNeitherKeptNorAskedAbout) {
    WriteScript({"[Setup]", "Name=Busy Product", "[CopyFile]", "0=same.txt", "1=&newer.txt", "2=?over.txt",
                 "3=free.txt", "4=&kept.txt"});
    Ship("same.txt", 0);
    Ship("newer.txt", 3600);
    Ship("over.txt", 3600);
    Ship("free.txt", 0);
    Ship("kept.txt", 3600);

    std::vector<SeenBox> boxes = RunCopy({IDYES, IDOK}, {"same.txt", "newer.txt", "over.txt"});

    ASSERT_EQ(boxes.size(), 2u) << "expected the overwrite question, then the failure list";
    EXPECT_EQ(boxes[0].text, PromptText({Dst("free.txt")})) << "got: " << ui::Narrow(boxes[0].text);
    EXPECT_EQ(boxes[1].text, FailureText({Dst("same.txt"), Dst("newer.txt"), Dst("over.txt")}))
        << "got: " << ui::Narrow(boxes[1].text);
    for (const char* f : {"same.txt", "newer.txt", "over.txt", "kept.txt"}) EXPECT_EQ(stage::ReadFile(Dst(f)), "old") << f;
    EXPECT_EQ(stage::ReadFile(Dst("free.txt")), "new free.txt");
    EXPECT_EQ(Copied(), Recorded({"free.txt"})) << Join(Copied());
}

// While the overwrite question or the failure report is open, a run may be ended (the
// task manager, a power cut): the record on disk then lists only files this install
// really wrote, never the entry written ahead of a copy that failed or still waits.
TEST_F(CopyInstallFilesTest, RecordOnDiskHoldsOnlyCopiedFilesWhileABoxIsOpen) {
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
        stage::DeleteTree(dst_);
        UseScript(answer == IDYES ? "open_yes.ini" : "open_no.ini");
        WriteScript({"[Setup]", "Name=Open Product", "[CopyFile]", "0=first.txt", "1=?system.dll", "2=newer.txt",
                     "3=?*quiet.dll", "4=last.txt"});
        Ship("first.txt");
        Ship("system.dll", -3600);  // an older file of someone else's, in use
        Ship("newer.txt", 3600);
        Ship("quiet.dll", -3600);
        Ship("last.txt");

        std::vector<SeenBox> boxes = RunCopy({answer, IDOK}, {"system.dll", "quiet.dll"});

        ASSERT_EQ(boxes.size(), 2u) << "expected the question, then the failure report";
        EXPECT_EQ(boxes[0].text, PromptText({Dst("newer.txt")})) << ui::Narrow(boxes[0].text);
        EXPECT_EQ(boxes[0].recorded, Recorded({"first.txt", "last.txt"})) << Join(boxes[0].recorded);
        std::vector<std::string> copied = {"first.txt", "last.txt"};
        if (answer == IDYES) copied.push_back("newer.txt");
        EXPECT_EQ(boxes[1].text, FailureText({Dst("system.dll")})) << ui::Narrow(boxes[1].text);
        EXPECT_EQ(boxes[1].recorded, Recorded(copied)) << Join(boxes[1].recorded);
        EXPECT_EQ(Copied(), Recorded(copied)) << Join(Copied());
        for (const char* f : {"system.dll", "quiet.dll"}) EXPECT_EQ(stage::ReadFile(Dst(f)), "old") << f;
    }
}

TEST_F(CopyInstallFilesTest, RecordAfterARun) {
    WriteScript({"[Setup]", "Name=Record Product", "[Root]", "Name=App", "[Check]", "Copy=1", "Menu=2",
                 "[MakeDirectory]", "1=sub\\deep", "2=sub", "3=%system%x", "5=never", "[CopyFile]",
                 "0=sub\\deep\\f.txt", "1=top.txt"});
    Ship("sub\\deep\\f.txt");
    Ship("top.txt");

    EXPECT_TRUE(RunCopy({}, {}, false, true).empty());

    EXPECT_EQ(SectionLines(script_, "Check"), (std::vector<std::string>{"Copy=0", "Menu=2", "Del=2"}));
    EXPECT_EQ(SectionLines(script_, "Root"), (std::vector<std::string>{"Name=App", "Named=" + dst_}));
    // The existing install folder is recorded too, a folder met twice twice, tokens
    // unexpanded; the list ends at its first gap.
    std::vector<std::string> made = {"0=" + dst_,       "1=" + Dst("sub"),       "2=" + Dst("sub\\deep"),
                                     "3=" + Dst("sub"), "4=" + Dst("%system%x"), "Count=5"};
    EXPECT_EQ(SectionLines(script_, "MakedDirectory"), made) << Join(SectionLines(script_, "MakedDirectory"));
    EXPECT_FALSE(stage::Exists(Dst("never")));
    EXPECT_EQ(Copied(), Recorded({"sub\\deep\\f.txt", "top.txt"}));
    EXPECT_EQ(stage::ReadFile(Dst("sub\\deep\\f.txt")), "new sub\\deep\\f.txt");
}

// "Count" is at least 1 with nothing recorded; "Self" goes with the Copy box only, and
// is recorded only when it was copied.
TEST_F(CopyInstallFilesTest, SelfAndEmptyRecords) {
    source_->Put("bin\\tool.exe", "tool bytes");
    source_->Put("a.txt", "a");
    source_->Put("b.txt", "b");
    struct Case {
        const char* name;
        std::vector<std::string> script;
        bool copyBox, deleteBox;
        const char* check;  // [Check] "Copy" and "Del"
        std::vector<std::string> copied;  // destinations recorded, in order
        const char* file;  // a destination that must exist afterwards, or not
        bool exists;
    } cases[] = {
        {"unchecked", {"[CopyFile]", "Self=bin\\tool.exe"}, false, true, "0,2", {}, "tool.exe", false},
        {"checked", {"[CopyFile]", "Self=bin\\tool.exe"}, true, false, "2,0", {"tool.exe"}, "tool.exe", true},
        // A "Self" that was not copied is not recorded: it may name a folder, which the
        // uninstall would otherwise take with everything in it.
        {"missing", {"[CopyFile]", "0=a.txt", "Self=gone.exe"}, true, false, "2,0", {"a.txt"}, "gone.exe", false},
        {"dot", {"[CopyFile]", "Self=."}, true, false, "2,0", {}, "bin", false},
        {"dotdot", {"[CopyFile]", "Self=.."}, true, false, "2,0", {}, "bin", false},
        {"folder", {"[CopyFile]", "Self=bin"}, true, false, "2,0", {}, "bin", false},
        {"from-one", {"[CopyFile]", "1=b.txt"}, false, false, "0,0", {}, "b.txt", false},  // "1" alone is no list
        {"unrecorded", {"[CopyFile]", "0=!b.txt"}, false, false, "0,0", {}, "b.txt", true},
    };
    for (const Case& c : cases) {
        UseScript(std::string(c.name) + ".ini");
        WriteScript(c.script);
        EXPECT_TRUE(RunCopy({}, {}, c.copyBox, c.deleteBox).empty()) << c.name;
        EXPECT_EQ(Copied(), Recorded(c.copied)) << c.name << ":\n" << Join(Copied());
        EXPECT_EQ(stage::Ini(script_, "Check", "Copy") + "," + stage::Ini(script_, "Check", "Del"), c.check) << c.name;
        EXPECT_EQ(stage::Exists(Dst(c.file)), c.exists) << c.name << ": " << c.file;
    }
    EXPECT_EQ(stage::ReadFile(Dst("tool.exe")), "tool bytes") << "copied under its own name into the folder";
}

// An entry whose destination or source does not fit a path fails: its cut name is
// another file's, which must be neither overwritten nor recorded.
TEST_F(CopyInstallFilesTest, CutPathsAreFailures) {
    std::string relative = "sub\\" + std::string(MAX_PATH, 'n') + ".txt";
    std::string cutDestination = Dst(relative).substr(0, MAX_PATH - 1);
    std::string cutSource = source_->Path(relative).substr(0, MAX_PATH - 1);
    ASSERT_TRUE(stage::WriteFile(cutDestination, "innocent"));
    SetAge(cutDestination, -3600);
    ASSERT_TRUE(stage::WriteFile(cutSource, "what the cut source names"));
    SetAge(cutSource, 0);
    Ship("fine.txt");
    WriteScript({"[Setup]", "Name=Cut Product", "[CopyFile]", "0=" + relative, "1=fine.txt", "2=*" + relative});

    std::vector<SeenBox> boxes = RunCopy({IDOK});

    EXPECT_EQ(stage::ReadFile(cutDestination), "innocent") << "a cut destination was overwritten";
    ASSERT_EQ(boxes.size(), 1u) << "expected the failure list";
    EXPECT_EQ(boxes[0].text, FailureText({cutDestination})) << "the \"*\" entry fails silently; got: "
                                                              << ui::Narrow(boxes[0].text);
    EXPECT_EQ(Copied(), Recorded({"fine.txt"})) << Join(Copied());
}

// A seal's list of these names and contents, as SetupTool writes it.
std::string SealOf(const std::vector<std::pair<std::string, std::string>>& files) {
    char line[kPathSize + 128];
    FormatSealHeader(files.size(), line, sizeof line);
    std::string list = line;
    for (const auto& f : files) {
        SealEntry e{};
        CopyBounded(e.name, sizeof e.name, f.first.c_str());
        e.size = f.second.size();
        Sha256 h;
        h.Add(f.second.data(), f.second.size());
        h.Finish(e.hash);
        EXPECT_TRUE(FormatSealLine(e, line, sizeof line)) << f.first;
        list += line;
    }
    return list;
}

// A sealed run copies only the files its seal lists, each as sealed: one changed after
// the first check or one added beside them is not installed.
TEST_F(CopyInstallFilesTest, SealedRunCopiesOnlySealedFilesAsSealed) {
    for (const char* name : {"good.txt", "sub\\deep.txt", "sub\\two.txt", "changed.txt", "extra.txt", "opt.txt"})
        Ship(name);
    WriteScript({"[Setup]", "Name=Sealed Product", "[MakeDirectory]", "1=sub", "[CopyFile]", "0=good.txt",
                 "1=SUB\\DEEP.TXT", "2=sub\\.\\two.txt", "3=changed.txt", "4=extra.txt", "5=*opt.txt",
                 "6=*absent.txt"});
    // changed.txt was sealed with other content: it changed between the check and the copy.
    const std::string seal = SealOf({{"good.txt", "new good.txt"}, {"sub\\deep.txt", "new sub\\deep.txt"},
                                     {"sub\\two.txt", "new sub\\two.txt"}, {"changed.txt", "what the author sealed"},
                                     {"Setup.ini", ""}});
    ::Run().seal = seal.c_str();
    ::Run().sealSize = seal.size();
    std::vector<SeenBox> boxes = RunCopy({IDOK});
    ::Run().seal = nullptr;
    ::Run().sealSize = 0;

    EXPECT_EQ(stage::ReadFile(Dst("good.txt")), "new good.txt");
    EXPECT_EQ(stage::ReadFile(Dst("sub\\deep.txt")), "new sub\\deep.txt") << "a name in another case is the sealed file";
    EXPECT_EQ(stage::ReadFile(Dst("sub\\two.txt")), "new sub\\two.txt") << "a \".\" part names the sealed file";
    for (const char* refused : {"changed.txt", "extra.txt", "opt.txt"})
        EXPECT_FALSE(stage::Exists(Dst(refused))) << refused << " was installed";
    ASSERT_EQ(boxes.size(), 1u) << "expected the failure list";
    EXPECT_EQ(boxes[0].text, FailureText({Dst("changed.txt"), Dst("extra.txt")}))
        << ui::Narrow(boxes[0].text);
    EXPECT_EQ(Copied(), Recorded({"good.txt", "SUB\\DEEP.TXT", "sub\\.\\two.txt"})) << Join(Copied());
    std::vector<std::string> told;
    for (const testing_channel::Action& a : report_.actions) {
        const bool copied = a.word == "new" || a.word == "make";
        if (copied || a.object.compare(0, dst_.size() + 1, dst_ + "\\") != 0) continue;
        size_t why = a.detail.find("  (");
        told.push_back(a.word + " " + a.object.substr(dst_.size() + 1) + " " +
                       (why == std::string::npos ? a.detail : a.detail.substr(why + 2)));
    }
    EXPECT_EQ(told, (std::vector<std::string>{
                        "refused changed.txt (not as sealed: changed since the check, not copied)",
                        "refused extra.txt (not in the seal: not copied)",
                        "refused-quietly opt.txt (not in the seal: not copied)",
                        "missing-quietly absent.txt (not copied, not reported)",
                    }));
}

// "Self" in a sealed run: the sealed file is copied, a changed or an unsealed one is not,
// and a missing one is told as missing, as without a seal.
TEST_F(CopyInstallFilesTest, SealedSelfIsCopiedOnlyAsSealed) {
    source_->Put("tool.exe", "tool bytes");
    source_->Put("other.exe", "other bytes");
    struct Case {
        const char* self;
        const char* sealedContent;  // of tool.exe in the seal
        bool copied;
        const char* word;
    } cases[] = {
        {"tool.exe", "tool bytes", true, "new"},
        {"tool.exe", "what the author sealed", false, "refused"},
        {"other.exe", "tool bytes", false, "refused"},
        {"gone.exe", "tool bytes", false, "missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.self) + " sealed as " + c.sealedContent);
        stage::DeleteTree(dst_);
        stage::MakeFolders(dst_);
        UseScript(std::string(c.word) + "-" + c.self + ".ini");
        WriteScript({"[CopyFile]", "Self=" + std::string(c.self)});
        const std::string seal = SealOf({{"tool.exe", c.sealedContent}, {"Setup.ini", ""}});
        ::Run().seal = seal.c_str();
        ::Run().sealSize = seal.size();
        report_.actions.clear();
        RunCopy({}, {}, true, false);
        ::Run().seal = nullptr;
        ::Run().sealSize = 0;
        EXPECT_EQ(stage::Exists(Dst(c.self)), c.copied);
        EXPECT_EQ(Copied(), Recorded(c.copied ? std::vector<std::string>{c.self} : std::vector<std::string>{}));
        bool told = false;
        for (const testing_channel::Action& a : report_.actions) told |= a.word == c.word && a.object == Dst(c.self);
        EXPECT_TRUE(told) << "no \"" << c.word << "\" for " << Dst(c.self);
    }
}

// While a sealed file is held for its copy, no one can write, delete or rename it, and
// the copy can still read it; held again after a change, it is refused.
TEST(SealedSources, AHeldFileStaysAsCheckedUntilReleased) {
    stage::Folder folder("sealed_hold", false);
    folder.Put("a.txt", "sealed");
    folder.Put("b.txt", "sealed too");
    const std::string seal = SealOf({{"a.txt", "sealed"}, {"b.txt", "what the author sealed"}});
    SealedSources sources(seal.c_str(), seal.size(), (folder.dir() + "\\").c_str());
    const std::string a = folder.Path("a.txt"), moved = folder.Path("moved.txt"), copy = folder.Path("copy.txt");
    {
        UniqueFile held;
        ASSERT_EQ(sources.Take(a.c_str(), &held), SealedSources::Hold::Held);
        HANDLE writer = CreateFileA(a.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the held file opened for writing";
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        EXPECT_FALSE(DeleteFileA(a.c_str())) << "the held file was deleted";
        EXPECT_FALSE(MoveFileA(a.c_str(), moved.c_str())) << "the held file was renamed";
        EXPECT_TRUE(CopyFileA(a.c_str(), copy.c_str(), FALSE)) << "the copy could not read the held file";
        EXPECT_EQ(stage::ReadFile(copy), "sealed");
    }
    EXPECT_TRUE(stage::WriteFile(a, "changed")) << "released, the file could not be written";
    UniqueFile held;
    EXPECT_EQ(sources.Take(a.c_str(), &held), SealedSources::Hold::Changed);
    EXPECT_FALSE(held) << "a changed file stays held";
    EXPECT_EQ(sources.Take(folder.Path("b.txt").c_str(), &held), SealedSources::Hold::Changed);
    EXPECT_EQ(sources.Take(folder.Path("none.txt").c_str(), &held), SealedSources::Hold::NotSealed);
    EXPECT_EQ(sources.Take(copy.c_str(), &held), SealedSources::Hold::NotSealed);
    // The names are the setup folder's: the same name and content elsewhere is not sealed.
    stage::Folder elsewhere("sealed_hold_elsewhere", false);
    elsewhere.Put("a.txt", "sealed");
    EXPECT_EQ(sources.Take(elsewhere.Path("a.txt").c_str(), &held), SealedSources::Hold::NotSealed);
    EXPECT_EQ(sources.Take((folder.dir() + "\\sub\\..\\..\\sealed_hold_elsewhere\\a.txt").c_str(), &held),
              SealedSources::Hold::NotSealed);
    SealedSources none(nullptr, 0, folder.dir().c_str());
    EXPECT_EQ(none.Take(a.c_str(), &held), SealedSources::Hold::NotSealed);
}

TEST(MakeFolderTree, RecordsParentsBeforeChildren) {
    stage::Folder base("make_tree", false);
    std::string record = base.Path("record.ini"), top = base.Path("new"), deep = top + "\\a\\b";
    char folder[MAX_PATH + 8], existing[MAX_PATH], unreachable[MAX_PATH] = "?:\\no\\drive";
    memset(folder, 'G', sizeof folder);
    strcpy(folder, deep.c_str());
    strcpy(existing, base.dir().c_str());
    for (char c = 'Y'; c > 'D' && unreachable[0] == '?'; --c)
        if (!(GetLogicalDrives() & (1u << (c - 'A')))) unreachable[0] = c;
    std::string unreachableBefore = unreachable;
    {
        RecordList list("MakedDirectory", record.c_str(), false, false);
        EXPECT_EQ(MakeFolderTree(folder, 4, list), 7) << "three folders made";
        EXPECT_EQ(std::string(folder, deep.size() + 2), deep + '\0' + 'G') << "the buffer is given back as it came";
        EXPECT_EQ(MakeFolderTree(existing, 7, list), 8) << "an existing folder counts";
        EXPECT_EQ(MakeFolderTree(unreachable, 8, list), 8) << "nothing can be made on a missing drive";
        EXPECT_EQ(unreachable, unreachableBefore);
    }
    std::vector<std::string> want = {"4=" + top, "5=" + top + "\\a", "6=" + deep, "7=" + base.dir()};
    EXPECT_EQ(SectionLines(record, "MakedDirectory"), want) << Join(SectionLines(record, "MakedDirectory"));
    EXPECT_TRUE(stage::Exists(deep));
}

}  // namespace
