// Launch entries called directly, with the real shell and the real loader: the test
// program records how it was started, the test libraries what was called, and the
// step's messages and told actions are recorded by the fixture.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "../shell/shell_fixture.h"
#include "run/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "launch/launch.h"
#include "launch_logs.h"
#include "recording_channel.h"

namespace {

const char kCaption[] = "Launch Test";

std::string Ja(const char* english, const char* japanese) { return stage::Japanese() ? japanese : english; }
std::string CouldNotExecute() { return Ja("Could not execute.", "実行を失敗しました"); }
std::string LoadHeading() { return Ja("Could not load library.\n\n", "ライブラリをロードできませんでした\n\n"); }
std::string NotLibraryHeading() { return Ja("Here is not library.\n\n", "ライブラリがありません\n\n"); }
std::string EntryHeading() {
    return Ja("Could not find entry.\n\n", "エントリポイントを見つけられませんでした\n\n");
}

std::string Narrow(const std::wstring& text) { return ui::Narrow(text, CP_ACP); }

class LaunchEntries : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        install_ = In("My App");  // blanks in the install folder, so %root% needs quoting
        stage::MakeFolders(install_);
        launch_logs::Clear();
        char here[MAX_PATH];
        GetCurrentDirectoryA(sizeof here, here);
        current_ = here;
    }
    void TearDown() override {
        launch_logs::WaitForStarts(0, 0);  // a late start must not land in the next test's log
        for (const std::string& file : planted_) DeleteFileA(file.c_str());
        RemoveDirectoryA((current_ + "\\bin").c_str());
        ShellTest::TearDown();
    }
    // A copy of a built test file outside the test's own folder (the current folder, the
    // system folders), deleted after the test.
    void Plant(const char* built, const std::string& destination) {
        planted_.push_back(destination);
        ASSERT_TRUE(launch_logs::Place(built, destination)) << destination;
    }
    // Runs the [Go2] entries with the prefix of a script made of lines; returns the
    // messages asked, as "caption: text". The actions told are in report_.
    std::vector<std::string> RunEntries(const std::vector<std::string>& lines, const char* prefix = "Make") {
        std::vector<std::string> all = {"[Setup]", std::string("Name=") + kCaption};
        all.insert(all.end(), lines.begin(), lines.end());
        WriteScript(all);
        CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, script_.c_str());
        testing_channel::RecordingChannel channel;
        report_ = testing_channel::RecordingReport();
        {
            ComInit com;
            testing_channel::Use use(&channel, &report_);
            RunLaunchEntries(nullptr, prefix);
        }
        std::vector<std::string> shown;
        for (const testing_channel::Seen& seen : channel.seen) {
            EXPECT_EQ(Message::Exclamation, seen.kind) << seen.text;
            shown.push_back(seen.caption + ": " + seen.text);
        }
        std::vector<BoxAnswerer::Box> boxes = boxes_.Take();
        EXPECT_TRUE(boxes.empty()) << "a box was shown past the run's channel: " << Narrow(boxes[0].text);
        return shown;
    }
    std::string current_;
    testing_channel::RecordingReport report_;
    std::vector<std::string> planted_;
};

std::string SystemFolder() {
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

// Where a program of this build started from the system folder finds itself: a 32-bit
// one on a 64-bit system in the folder the system folder is redirected to.
std::string ProgramSystemFolder() {
#if defined(__i386__)
    char folder[MAX_PATH] = "";
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64 && GetSystemWow64DirectoryA(folder, sizeof folder))
        return folder;
#endif
    return SystemFolder();
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = "";
    GetSystemWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

std::string CurrentFolder() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

}  // namespace

TEST_F(LaunchEntries, ProgramsStartWithTheirParametersAndShowStatesInTheInstallFolder) {
    const std::string plain = In("Bin\\probe.exe");  // a path without blanks for the unquoted form
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", install_ + "\\probe copy.exe"));
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", plain));
    SetEnvironmentVariableA("LAUNCH_TEST_BIN", In("Bin").c_str());
    std::vector<std::string> boxes = RunEntries({
        "[Go2]",
        "Make0=\"%root%\\probe copy.exe\" first \"two words\"  last;;MIN",
        "Make1=\"%root%\\probe copy.exe\";",  // a closing ";": the profile read strips a pair of outer quotes
        "Make2=" + plain + " unquoted  parameters;;max",
        "Make3=" + plain + ";;hide",
        "Make4=\"%root%\\missing.exe\";;HIDE",
        "Make5=\"%root%\\no such.exe\" -x;",
        "Make6=%LAUNCH_TEST_BIN%\\probe.exe %other% 50%",
        "Make7=" + plain + ";;whatever",
        "Make9=" + plain + " after the gap",
    });
    ASSERT_TRUE(launch_logs::WaitForStarts(6)) << "started: " << launch_logs::StartedArguments();
    std::vector<launch_logs::Start> starts = launch_logs::Starts();
    ASSERT_EQ(6u, starts.size()) << "started: " << launch_logs::StartedArguments();
    const struct {
        std::string exe, arguments;
        int show;
    } expected[] = {
        {install_ + "\\probe copy.exe", "first \"two words\"  last", 6},
        {install_ + "\\probe copy.exe", "", 5},
        {plain, "unquoted  parameters", 3},
        {plain, "", 0},
        {plain, "%other% 50%", 5},
        {plain, "", 5},
    };
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(expected[i].exe, starts[i].exe) << "start " << i;
        EXPECT_EQ(expected[i].arguments, starts[i].arguments) << "start " << i;
        EXPECT_EQ(expected[i].show, starts[i].show) << "start " << i;
        EXPECT_EQ(install_, starts[i].folder) << "start " << i << " should start in the install folder";
    }
    ASSERT_EQ(1u, boxes.size()) << "only the missing program without \"hide\" warns";
    EXPECT_EQ("\"" + install_ + "\\no such.exe\": " + CouldNotExecute(), boxes[0]);
}

TEST_F(LaunchEntries, LibraryFunctionsAreCalledAndFailuresCollectedOneBoxPerKind) {
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", install_ + "\\launchlib.dll"));
    ASSERT_TRUE(launch_logs::Place("launchuser.dll", install_ + "\\Lib\\launchuser.dll"));
    ASSERT_TRUE(launch_logs::Place("launchdep.dll", install_ + "\\Lib\\launchdep.dll"));
    // Copies the bare and relative names must not reach: in the current folder.
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", current_ + "\\launchlib.dll"));
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", current_ + "\\sub\\launchlib.dll"));
    std::vector<std::string> boxes = RunEntries({
        "[Go2]",
        "Make0=%root%\\launchlib.dll;Trace",
        "Make1=%root%\\Lib\\launchuser.dll;UseDep",
        "Make2=no-such-one.dll;Init",
        "Make3=%root%\\no-such-two.dll;Init",
        "Make4=%root%\\launchlib.dll;NoSuchExport",
        "Make5=%root%\\absent.dll;#CheckExist;Install the runtime first",
        "Make6=%root%\\no-such-hidden.dll;Init;hide",
        "Make7=%root%\\launchlib.dll;AlsoMissing;HIDE",
        "Make8=%root%\\absent2.dll;#checkexist;hide",
        "Make9=kernel32.dll;#CheckExist",
        "Make10=sub\\launchlib.dll;Trace",
        "Make11=launchlib.dll;Trace",
        "Make12=%root%\\launchlib.dll;#CheckExist;not shown",
        "Make13=" + current_.substr(2) + "\\launchlib.dll;Trace",  // from the root of the current drive
        "Make15=%root%\\launchlib.dll;Trace",
    });
    EXPECT_EQ("Trace|" + install_ + "\\launchlib.dll / DepLoaded|" + install_ +
                  "\\Lib\\launchdep.dll / UseDep|dependency-answered",
              launch_logs::Calls())
        << "the library beside its dependency loads; bare and relative names and the entry after the gap do not";
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(std::string(kCaption) + ": " + LoadHeading() + "no-such-one.dll\n" + install_ +
                  "\\no-such-two.dll\nsub\\launchlib.dll\nlaunchlib.dll\n" + current_.substr(2) + "\\launchlib.dll\n",
              boxes[0]);
    EXPECT_EQ(std::string(kCaption) + ": " + NotLibraryHeading() + install_ + "\\absent.dll\n -> Install the runtime first\n" +
                  install_ + "\\absent2.dll\n -> hide\n",
              boxes[1])
        << "\"hide\" never silences the presence check";
    EXPECT_EQ(std::string(kCaption) + ": " + EntryHeading() + install_ + "\\launchlib.dll\n -> NoSuchExport\n", boxes[2]);
    EXPECT_FALSE(GetModuleHandleA("launchlib.dll")) << "every library is unloaded again";
    EXPECT_FALSE(GetModuleHandleA("launchuser.dll"));
}

TEST_F(LaunchEntries, ADependencyIsNeverTakenFromTheProgramOrCurrentFolder) {
    // launchdep.dll lies beside this test program (the build folder) and in the current
    // folder, as beside a Setup.exe in a download folder, but not beside launchuser.dll.
    ASSERT_TRUE(launch_logs::Place("launchuser.dll", install_ + "\\launchuser.dll"));
    ASSERT_TRUE(launch_logs::Place("launchdep.dll", current_ + "\\launchdep.dll"));
    ASSERT_TRUE(stage::Exists(launch_logs::Built("launchdep.dll")));
    std::vector<std::string> boxes = RunEntries({"[Go2]", "Erase0=%root%\\launchuser.dll;UseDep"}, "Erase");
    EXPECT_EQ("", launch_logs::Calls()) << "a dependency was loaded from outside the library's own folder";
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::string(kCaption) + ": " + LoadHeading() + install_ + "\\launchuser.dll\n", boxes[0]);
}

TEST_F(LaunchEntries, LongValuesAreCutButNeverStartedOrLoadedUnderACutName) {
    const std::string plain = In("Bin\\probe.exe");
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", plain));
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", install_ + "\\launchlib.dll"));
    const std::string value1039 = plain + " " + std::string(1039 - plain.size() - 1, 'a');
    const std::string target600 = install_ + "\\" + std::string(600, 'd') + ".dll";
    std::vector<std::string> boxes = RunEntries({
        "[Go2]",
        "Make0=" + value1039,                                          // longer than a target may expand to
        "Make1=%root%\\launchlib.dll;Trace;" + std::string(5000, 'n'),  // only the note is cut: called
        "Make2=%root%\\launchlib.dll;Trace" + std::string(5000, 'x'),   // the entry is cut: not looked up
        "Make3=" + target600 + ";Trace",
        "Make4=" + plain + " " + std::string(5000, 'b'),
        "Make5=" + plain + " short;;hide" + std::string(2000, 'h'),  // a cut "hide..." is no keyword
    });
    ASSERT_EQ(1039u, value1039.size());
    EXPECT_TRUE(launch_logs::WaitForStarts(1));
    EXPECT_EQ("short", launch_logs::StartedArguments()) << "only the entry whose program and parameters are whole";
    EXPECT_EQ("Trace|" + install_ + "\\launchlib.dll", launch_logs::Calls());
    ASSERT_EQ(4u, boxes.size());
    const std::string warning = ": " + CouldNotExecute();
    // The caption is the cut program: the start of the value, as far as it fits.
    EXPECT_EQ(0u, boxes[0].find(plain)) << boxes[0];
    EXPECT_EQ(boxes[0].size() - warning.size(), boxes[0].rfind(warning)) << boxes[0];
    EXPECT_EQ(0u, boxes[1].find(plain)) << boxes[1];
    EXPECT_EQ(std::string(kCaption) + ": " + LoadHeading(), boxes[2].substr(0, strlen(kCaption) + 2 + LoadHeading().size()));
    EXPECT_NE(std::string::npos, boxes[2].find(install_ + "\\dddd")) << boxes[2];
    EXPECT_EQ(std::string(kCaption) + ": " + EntryHeading() + install_ + "\\launchlib.dll\n -> Trace" +
                  std::string(259 - 5, 'x') + "\n",
              boxes[3]);
}

// The seam of the search: what each form of program name is started from, with copies
// under the same names in the current folder (as beside a Setup.exe in a download
// folder) that must never be taken.
TEST_F(LaunchEntries, ProgramNamesAreFoundInTheSystemFoldersOrBelowTheInstallFolderOnly) {
    const std::string sys = SystemFolder(), win = WindowsFolder();
    ASSERT_NE(sys, win);
    for (const char* name : {"notepad.exe", "regsvr32.com", "launchnowhere.exe", "launchwinonly.exe",
                             "launchboth.exe", "drivers.exe", "bin\\tool.exe"})
        Plant("launchprobe.exe", current_ + "\\" + name);
    Plant("launchprobe.exe", win + "\\launchwinonly.exe");
    Plant("launchprobe.exe", win + "\\launchboth.exe");
    Plant("launchprobe.exe", sys + "\\launchboth.cmd");
    SetEnvironmentVariableA("LAUNCH_TEST_NAME", "notepad");
    SetEnvironmentVariableA("LAUNCH_TEST_RELATIVE", "bin\\tool.exe");
    SetEnvironmentVariableA("LAUNCH_TEST_HERE", current_.c_str());
    const struct {
        std::string program, path;
    } rows[] = {
        {"notepad.exe", sys + "\\notepad.exe"},
        {"\"notepad.exe\"", sys + "\\notepad.exe"},
        {"regsvr32", sys + "\\regsvr32.exe"},
        {"launchnowhere.exe", ""},
        {"launchwinonly", win + "\\launchwinonly.exe"},
        /* 5 */ {"launchboth", sys + "\\launchboth.cmd"},  // the system folder first, whatever the extension
        {"drivers", ""},                                   // a folder is no program
        {"%LAUNCH_TEST_NAME%", sys + "\\notepad.exe"},     // the name once its variables are replaced
        {"%LAUNCH_TEST_RELATIVE%", install_ + "\\bin\\tool.exe"},
        {"bin\\tool.exe", install_ + "\\bin\\tool.exe"},
        /* 10 */ {"%LAUNCH_TEST_HERE%\\tool.exe", current_ + "\\tool.exe"},  // a complete path is the author's choice
        {"\\tool.exe", ""},
        {"%LAUNCH_TEST_UNSET%", ""},  // left as it is: a name with a percent sign found nowhere
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        char path[1041] = "x";
        EXPECT_EQ(!rows[i].path.empty(),
                  LaunchProgramPath(rows[i].program.c_str(), install_.c_str(), path, sizeof path))
            << "row " << i;
        EXPECT_EQ(rows[i].path, path) << "row " << i << " " << rows[i].program;
    }
    char path[1041] = "x";
    EXPECT_FALSE(LaunchProgramPath("bin\\tool.exe", "", path, sizeof path)) << "no install folder to take it below";
    EXPECT_STREQ("", path);
    EXPECT_FALSE(LaunchProgramPath("bin\\tool.exe", nullptr, path, sizeof path));
    char small[12] = "x";
    EXPECT_FALSE(LaunchProgramPath("notepad.exe", install_.c_str(), small, sizeof small)) << "never a cut path";
    EXPECT_STREQ("", small);
}

// One real start through the step for each kind: the planted copies beside the test
// program stay unstarted, and every program starts in the install folder, which is also
// the current folder of the library functions while the step runs.
TEST_F(LaunchEntries, BareNamesStartFromTheSystemFolderAndRelativeOnesFromTheInstallFolder) {
    const std::string sys = SystemFolder();
    Plant("launchprobe.exe", sys + "\\launchsysprobe.exe");
    for (const char* name : {"launchsysprobe.com", "launchsysprobe.exe", "launchnowhere.exe", "bin\\probe.exe"})
        Plant("launchprobe.exe", current_ + "\\" + name);
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", install_ + "\\bin\\probe.exe"));
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", install_ + "\\launchlib.dll"));
    std::vector<std::string> boxes = RunEntries({
        "[Go2]",
        "Make0=launchsysprobe from-system",
        "Make1=launchnowhere.exe planted",
        "Make2=bin\\probe.exe relative \"two words\"",
        "Make3=launchnowhere.exe;;hide",
        "Make4=\"bin\\probe.exe\" quoted;;min",
        "Make5=%root%\\launchlib.dll;Here",
    });
    EXPECT_EQ(current_, CurrentFolder()) << "the current folder is put back after the step";
    EXPECT_EQ("Here|" + install_, launch_logs::Calls());
    ASSERT_TRUE(launch_logs::WaitForStarts(3)) << "started: " << launch_logs::StartedArguments();
    std::vector<launch_logs::Start> starts = launch_logs::Starts();
    ASSERT_EQ(3u, starts.size()) << "started: " << launch_logs::StartedArguments();
    const struct {
        std::string exe, arguments;
        int show;
    } expected[] = {
        {ProgramSystemFolder() + "\\launchsysprobe.exe", "from-system", 5},
        {install_ + "\\bin\\probe.exe", "relative \"two words\"", 5},
        {install_ + "\\bin\\probe.exe", "quoted", 6},
    };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].exe, starts[i].exe) << "start " << i;
        EXPECT_EQ(expected[i].arguments, starts[i].arguments) << "start " << i;
        EXPECT_EQ(expected[i].show, starts[i].show) << "start " << i;
        EXPECT_EQ(install_, starts[i].folder) << "start " << i;
    }
    ASSERT_EQ(1u, boxes.size()) << "a bare name found in neither system folder fails like a missing program";
    EXPECT_EQ("launchnowhere.exe: " + CouldNotExecute(), boxes[0]);
}

TEST_F(LaunchEntries, WithoutTheInstallFolderProgramsStartInTheSystemFolder) {
    const std::string plain = In("Bin\\probe.exe");
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", plain));
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", In("Bin\\launchlib.dll")));
    install_ = In("Not There");
    std::vector<std::string> boxes =
        RunEntries({"[Go2]", "Make0=" + plain + " absolute", "Make1=" + In("Bin\\launchlib.dll;Here")});
    EXPECT_EQ("Here|" + SystemFolder(), launch_logs::Calls());
    ASSERT_TRUE(launch_logs::WaitForStarts(1));
    std::vector<launch_logs::Start> starts = launch_logs::Starts();
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ("absolute", starts[0].arguments);
    EXPECT_EQ(SystemFolder(), starts[0].folder);
    EXPECT_EQ(current_, CurrentFolder());
    EXPECT_TRUE(boxes.empty());
}

// A function that takes arguments is called through the step with none: it finds
// zeroes, and on i686, where a stdcall function pops its arguments itself and may write
// to them, the step and its caller go on with their stack as it was.
TEST_F(LaunchEntries, FunctionsThatTakeArgumentsFindZeroesAndLeaveTheCallerIntact) {
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", install_ + "\\launchlib.dll"));
    volatile unsigned canary = 0x5EEDC0DEu;
    const std::string kept = "kept across the calls";
    std::vector<std::string> lines = {"[Go2]", "Make0=%root%\\launchlib.dll;TakesThree",
                                      "Make1=%root%\\launchlib.dll;TakesThree",
                                      "Make2=%root%\\launchlib.dll;NoSuchExport"};
    std::string expectedCalls = "TakesThree|0 0 0 / TakesThree|0 0 0";
    for (int i = 3; i < 12; ++i) {  // more floating-point results than the x87 stack holds
        lines.push_back("Make" + std::to_string(i) + "=%root%\\launchlib.dll;GivesDouble");
        expectedCalls += " / GivesDouble|";
    }
    std::vector<std::string> boxes = RunEntries(lines);
#if defined(__i386__)
    unsigned short status = 0xFFFF;
    __asm__ volatile("fnstsw %0" : "=m"(status));
    EXPECT_EQ(0, (status >> 11) & 7) << "floating-point results were left on the x87 stack";
#endif
    EXPECT_EQ(0x5EEDC0DEu, canary);
    EXPECT_EQ("kept across the calls", kept);
    EXPECT_EQ(expectedCalls, launch_logs::Calls());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::string(kCaption) + ": " + EntryHeading() + install_ + "\\launchlib.dll\n -> NoSuchExport\n",
              boxes[0]);
    EXPECT_FALSE(GetModuleHandleA("launchlib.dll"));
}

// Each entry's outcome is told once, in the order of the entries, with the words a plan
// prints: what started or was called, what failed and whether the user is told, what
// was refused. A failure "hide" silences counts as told, not as failed.
TEST_F(LaunchEntries, EachEntrysOutcomeIsToldInItsOrder) {
    ASSERT_TRUE(launch_logs::Place("launchprobe.exe", install_ + "\\probe copy.exe"));
    ASSERT_TRUE(launch_logs::Place("launchlib.dll", install_ + "\\launchlib.dll"));
    std::vector<std::string> boxes = RunEntries({
        "[Go2]",
        "Make0=\"%root%\\probe copy.exe\" first;;min",
        "Make1=\"%root%\\no such.exe\";",  // the closing ";" keeps the quotes
        "Make2=\"%root%\\no such.exe\";;hide",
        "Make3=\\tool.exe",
        "Make4=%root%\\launchlib.dll;Trace",
        "Make5=%root%\\launchlib.dll;NoSuchExport",
        "Make6=%root%\\absent.dll;#CheckExist;a note",
        "Make7=kernel32.dll;#CheckExist",
        "Make8=sub\\launchlib.dll;Trace",
        "Make9=%root%\\no-such.dll;Init;hide",
        "Make10=launchnowhere.exe",
    });
    const std::string sys = SystemFolder(), win = WindowsFolder();
    const std::string shown = "; \"Could not execute.\" is shown)";
    const struct {
        Outcome outcome;
        const char* word;
        std::string object, detail;
    } expected[] = {
        {Outcome::Told, "start", install_ + "\\probe copy.exe", "with first, minimised"},
        {Outcome::Failed, "fails", install_ + "\\no such.exe", "(not started: \"Could not execute.\" is shown)"},
        {Outcome::Told, "fails", install_ + "\\no such.exe", "(not started)"},
        {Outcome::Failed, "refused", "\\tool.exe",
         "(a path from the current drive's root, a drive without its backslash or a file: URL: never started" + shown},
        {Outcome::Told, "call", install_ + "\\launchlib.dll", "Trace()"},
        {Outcome::Failed, "call", install_ + "\\launchlib.dll",
         "NoSuchExport()  (not exported: listed in \"Could not find entry.\")"},
        {Outcome::Failed, "check", install_ + "\\absent.dll", "(missing: listed in \"Here is not library.\" with its note)"},
        {Outcome::Told, "check", sys + "\\kernel32.dll", "(present: nothing is shown)"},
        {Outcome::Failed, "refused", "sub\\launchlib.dll",
         "(neither a bare name nor a complete path: never loaded; listed in \"Could not load library.\")"},
        {Outcome::Told, "call", install_ + "\\no-such.dll", "Init()  (missing: nothing happens)"},
        {Outcome::Failed, "fails", "launchnowhere.exe", "(not started: not found there, in " + sys + " or " + win + shown},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], report_.actions.size());
    for (size_t i = 0; i < report_.actions.size(); ++i) {
        const testing_channel::Action& a = report_.actions[i];
        EXPECT_EQ(expected[i].outcome, a.outcome) << "entry " << i;
        EXPECT_EQ(expected[i].word, a.word) << "entry " << i;
        EXPECT_EQ(expected[i].object, a.object) << "entry " << i;
        EXPECT_EQ(expected[i].detail, a.detail) << "entry " << i;
    }
    EXPECT_NE(0u, report_.actions[1].error) << "the shell's reason goes with a failed start";
    EXPECT_EQ(std::vector<std::string>{"Launch entries ([Go2] \"Make\")"}, report_.sections);
    EXPECT_EQ(std::vector<std::string>{"in " + install_ +
                                       " (the install folder): programs start there, and it is the current folder "
                                       "while the entries run"},
              report_.notes);
    // Three starts that fail aloud, then one report of each kind of library failure.
    ASSERT_EQ(6u, boxes.size());
    EXPECT_EQ("\"" + install_ + "\\no such.exe\": " + CouldNotExecute(), boxes[0]);
    EXPECT_EQ("\\tool.exe: " + CouldNotExecute(), boxes[1]);
    EXPECT_EQ("launchnowhere.exe: " + CouldNotExecute(), boxes[2]);
    EXPECT_EQ(std::string(kCaption) + ": " + LoadHeading() + "sub\\launchlib.dll\n", boxes[3]);
    EXPECT_EQ(0u, boxes[4].find(std::string(kCaption) + ": " + NotLibraryHeading())) << boxes[4];
    EXPECT_EQ(0u, boxes[5].find(std::string(kCaption) + ": " + EntryHeading())) << boxes[5];
    EXPECT_TRUE(launch_logs::WaitForStarts(1));
    EXPECT_EQ("Trace|" + install_ + "\\launchlib.dll", launch_logs::Calls());

    // Nothing to run: no part, no note.
    boxes = RunEntries({"[Go2]", "Make1=after a gap"});
    EXPECT_TRUE(boxes.empty() && report_.actions.empty() && report_.sections.empty() && report_.notes.empty());
}
