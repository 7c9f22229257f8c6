// The launch entries taken apart without the system: fields, programs and their
// parameters, option words, library names, report lines and reports that cannot grow.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "base/growable_text.h"
#include "launch/launch_text.h"
#include "stage.h"

namespace {

std::string Flags(const LaunchFields& f) {
    return std::string(f.targetCut ? "T" : "-") + (f.entryCut ? "E" : "-") + (f.optionCut ? "O" : "-");
}

// Shift-JIS: 表 and ソ end in the byte 0x5C, a backslash when read byte by byte.
const std::string kHyou = "\x95\x5C", kSo = "\x83\x5C";

}  // namespace

TEST(LaunchText, ValuesSplitIntoTargetEntryAndOption) {
    const std::string a258(258, 'a'), a259(259, 'a'), long1039(1039, 'x');
    const bool ja = stage::Japanese();
    struct Row {
        std::string value;
        bool valueCut;
        std::string target, entry, option, flags;
    } rows[] = {
        {"C:\\Tool\\run.exe -x", false, "C:\\Tool\\run.exe -x", "", "", "---"},
        {"run.exe;;hide", false, "run.exe", "", "hide", "---"},
        {"tool.dll;Init", false, "tool.dll", "Init", "", "---"},
        {"tool.dll;#CheckExist;Needs 2.0; see the manual", false, "tool.dll", "#CheckExist",
         "Needs 2.0; see the manual", "---"},
        /* 4 */ {";;", false, "", "", "", "---"},
        {"C:\\" + kHyou + "\\" + kSo + "ft.dll;" + kHyou + "init;" + kSo + "note", false,
         "C:\\" + kHyou + "\\" + kSo + "ft.dll", kHyou + "init", kSo + "note", "---"},
        {"t;" + a259 + ";o", false, "t", a259, "o", "---"},
        {"t;" + a259 + "b;o", false, "t", a259, "o", "-E-"},
        {"t;;" + a259 + "b", false, "t", "", a259, "--O"},
        /* 9 */ {"t;" + a258 + kHyou, false, "t", ja ? a258 : a258 + kHyou.substr(0, 1), "", "-E-"},
        {long1039, false, long1039, "", "", "---"},
        {long1039, true, long1039, "", "", "T--"},
        {"lib.dll;Tra", true, "lib.dll", "Tra", "", "-E-"},
        {"lib.dll;Trace;hid", true, "lib.dll", "Trace", "hid", "--O"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        LaunchFields f;
        SplitLaunchValue(r.value.c_str(), r.valueCut, &f);
        EXPECT_EQ(r.target, f.target) << "row " << i;
        EXPECT_EQ(r.entry, f.entry) << "row " << i;
        EXPECT_EQ(r.option, f.option) << "row " << i;
        EXPECT_EQ(r.flags, Flags(f)) << "row " << i << ": expected cut fields " << r.flags;
    }
}

TEST(LaunchText, TargetsSplitIntoProgramAndParameters) {
    const std::string unclosed = "\"" + std::string(1038, 'p');  // a whole value
    struct Row {
        std::string target, program, parameters;
    } rows[] = {
        {"\"C:\\Program Files\\Tool\\run.exe\" -a \"b c\"", "\"C:\\Program Files\\Tool\\run.exe\"", "-a \"b c\""},
        {"\"C:\\Tool\\run.exe\"", "\"C:\\Tool\\run.exe\"", ""},
        {"\"C:\\Tool\\run.exe\" ", "\"C:\\Tool\\run.exe\"", ""},
        {"\"C:\\Tool\\run.exe\"  two", "\"C:\\Tool\\run.exe\"", " two"},
        /* 4 */ {"\"C:\\Tool\\run.exe -a", "\"C:\\Tool\\run.exe -a\"", ""},
        {"\"", "\"\"", ""},
        {"C:\\Tool\\run.exe -a  b", "C:\\Tool\\run.exe", "-a  b"},
        {"C:\\Tool\\run.exe", "C:\\Tool\\run.exe", ""},
        {"C:\\Tool\\run.exe\t-a", "C:\\Tool\\run.exe", "-a"},
        /* 9 */ {"\"C:\\Tool\\run.exe\"/a", "\"C:\\Tool\\run.exe\"", "/a"},
        {"\"C:\\" + kHyou + ".exe\"" + kSo + "x", "\"C:\\" + kHyou + ".exe\"", kSo + "x"},
        {"C:\\" + kSo + "ft\\" + kHyou + " " + kHyou, "C:\\" + kSo + "ft\\" + kHyou, kHyou},
        {"", "", ""},
        {" -a", "", "-a"},
        /* 14 */ {unclosed, unclosed + "\"", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        char program[kLaunchValueSize + 1], parameters[kLaunchValueSize];
        EXPECT_TRUE(SplitProgram(r.target.c_str(), program, sizeof program, parameters, sizeof parameters))
            << "row " << i << " was cut";
        EXPECT_EQ(r.program, program) << "row " << i;
        EXPECT_EQ(r.parameters, parameters) << "row " << i;
    }
    char small[8], parameters[8];
    EXPECT_FALSE(SplitProgram("\"C:\\Tool\\run.exe\" -a", small, sizeof small, parameters, sizeof parameters));
    EXPECT_EQ("\"C:\\Too", std::string(small)) << "cut, and terminated";
    EXPECT_FALSE(SplitProgram("run.exe 0123456789", small, sizeof small, parameters, sizeof parameters));
    EXPECT_EQ("0123456", std::string(parameters));
}

TEST(LaunchText, OptionWordsInAnyCase) {
    struct Row {
        const char* option;
        int show;
        bool hide;
    } rows[] = {
        {"hide", kLaunchHide, true},      {"HIDE", kLaunchHide, true},          {"MiN", kLaunchMinimized, false},
        {"max", kLaunchMaximized, false}, {"", kLaunchShown, false},            {"hidden", kLaunchShown, false},
        {" hide", kLaunchShown, false},   {"minimized", kLaunchShown, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.show, LaunchShowCommand(r.option)) << "\"" << r.option << "\"";
        EXPECT_EQ(r.hide, IsHideOption(r.option)) << "\"" << r.option << "\"";
    }
    EXPECT_TRUE(IsPresenceCheck("#CheckExist"));
    EXPECT_TRUE(IsPresenceCheck("#checkexist"));
    EXPECT_FALSE(IsPresenceCheck("CheckExist"));
    EXPECT_FALSE(IsPresenceCheck("#CheckExists"));

    LaunchFields cut;
    SplitLaunchValue("run.exe;;hide", true, &cut);
    EXPECT_STREQ("", OptionKeyword(cut)) << "a cut \"hide\" may have been \"hidexyz\"";
}

TEST(LaunchText, LibraryNames) {
    const bool ja = stage::Japanese();
    struct Row {
        std::string name;
        LibraryName kind;
    } rows[] = {
        {"kernel32.dll", LibraryName::Bare},
        {"tool", LibraryName::Bare},
        {"C:\\App\\tool.dll", LibraryName::Absolute},
        {"c:\\tool.dll", LibraryName::Absolute},
        {"\\\\server\\share\\tool.dll", LibraryName::Absolute},
        /* 5 */ {"bin\\tool.dll", LibraryName::Relative},
        {".\\tool.dll", LibraryName::Relative},
        {"..\\tool.dll", LibraryName::Relative},
        {"\\tool.dll", LibraryName::Relative},
        {"C:tool.dll", LibraryName::Relative},
        /* 10 */ {"C:/App/tool.dll", LibraryName::Relative},
        {"bin/tool.dll", LibraryName::Relative},
        {"\\\\server", LibraryName::Relative},
        {"", LibraryName::Relative},
        {kHyou + ".dll", ja ? LibraryName::Bare : LibraryName::Relative},
        /* 15 */ {"C:\\" + kHyou + "\\" + kSo + ".dll", LibraryName::Absolute},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ((int)rows[i].kind, (int)ClassifyLibraryName(rows[i].name.c_str()))
            << "row " << i << " \"" << rows[i].name << "\" (0 bare, 1 absolute, 2 relative)";
}

namespace {

// A report text that runs out of memory beyond a limit.
struct LimitedText {
    std::string text;
    size_t limit;
    int releases = 0;
    bool Append(const char* bytes, size_t n) {
        if (text.size() + n > limit) return false;
        text.append(bytes, n);
        return true;
    }
    size_t size() const { return text.size(); }
    void Release() {
        text.clear();
        ++releases;
    }
};

LaunchFields Fields(const char* value) {
    LaunchFields f;
    SplitLaunchValue(value, false, &f);
    return f;
}

}  // namespace

TEST(LaunchText, ReportLinesAndReportsThatCannotGrow) {
    struct Row {
        LaunchReport kind;
        const char* value;
        const char* text;
    } rows[] = {
        {LaunchReport::LoadFailure, "a.dll;Init;note", "H\na.dll\n"},
        {LaunchReport::NotALibrary, "b.dll;#CheckExist", "H\nb.dll\n"},
        {LaunchReport::NotALibrary, "b.dll;#CheckExist;Get it first", "H\nb.dll\n -> Get it first\n"},
        {LaunchReport::MissingEntry, "c.dll;Start;hide", "H\nc.dll\n -> Start\n"},
    };
    for (const Row& r : rows) {
        GrowableText report;
        EXPECT_TRUE(AddReportLine(report, "H\n", r.kind, Fields(r.value)));
        EXPECT_EQ(r.text, std::string(report.data(), report.size())) << r.value;
    }

    GrowableText two;
    AddReportLine(two, "Heading\n\n", LaunchReport::LoadFailure, Fields("one.dll;x"));
    AddReportLine(two, "Heading\n\n", LaunchReport::LoadFailure, Fields("two.dll;x"));
    EXPECT_EQ("Heading\n\none.dll\ntwo.dll\n", std::string(two.data(), two.size())) << "one heading per report";

    LimitedText limited{"", 20};
    EXPECT_TRUE(AddReportLine(limited, "H\n", LaunchReport::LoadFailure, Fields("abc")));
    EXPECT_TRUE(AddReportLine(limited, "H\n", LaunchReport::LoadFailure, Fields("defgh")));
    EXPECT_EQ("H\nabc\ndefgh\n", limited.text);
    EXPECT_FALSE(AddReportLine(limited, "H\n", LaunchReport::LoadFailure, Fields("0123456789")));
    EXPECT_EQ("", limited.text) << "a report that cannot grow is dropped";
    EXPECT_EQ(1, limited.releases);
    EXPECT_TRUE(AddReportLine(limited, "H\n", LaunchReport::LoadFailure, Fields("x")));
    EXPECT_EQ("H\nx\n", limited.text) << "the next failure starts a new report with its heading";
}

TEST(LaunchText, ProgramNamesWithoutTheirQuotes) {
    const bool ja = stage::Japanese();
    const ProgramName bare = ProgramName::Bare, inFolder = ProgramName::InFolder, asWritten = ProgramName::AsWritten,
                      refused = ProgramName::Refused;
    struct Row {
        std::string program, name;
        ProgramName kind;
    } rows[] = {
        {"notepad.exe", "notepad.exe", bare},
        {"regsvr32", "regsvr32", bare},
        {"\"notepad.exe\"", "notepad.exe", bare},
        {"readme.txt", "readme.txt", bare},
        {"..", "..", bare},  // a folder, which the search never takes for a program
        /* 5 */ {"bin\\tool.exe", "bin\\tool.exe", inFolder},
        {"\"bin\\my tool.exe\"", "bin\\my tool.exe", inFolder},
        {".\\tool.exe", ".\\tool.exe", inFolder},
        {"bin/tool.exe", "bin/tool.exe", inFolder},
        {"C:\\Tool\\run.exe", "C:\\Tool\\run.exe", asWritten},
        /* 10 */ {"\"C:\\Program Files\\Tool\\run.exe\"", "C:\\Program Files\\Tool\\run.exe", asWritten},
        {"c:/Tool/run.exe", "c:/Tool/run.exe", asWritten},
        {"\\\\server\\share\\run.exe", "\\\\server\\share\\run.exe", asWritten},
        {"http://example.com/a?b=c:d", "http://example.com/a?b=c:d", asWritten},
        {"mailto:someone@example.com", "mailto:someone@example.com", asWritten},
        /* 15 */ {"file:notepad.exe", "file:notepad.exe", refused},
        {"FILE:///C:/Tool/run.exe", "FILE:///C:/Tool/run.exe", refused},
        {"\\tool.exe", "\\tool.exe", refused},
        {"/tool.exe", "/tool.exe", refused},
        {"C:tool.exe", "C:tool.exe", refused},
        /* 20 */ {"bin\\tool.exe:stream", "bin\\tool.exe:stream", refused},
        {"\\\\server", "\\\\server", refused},
        {"\"", "", refused},
        {"", "", refused},
        {"1a:tool.exe", "1a:tool.exe", refused},  // no scheme starts with a digit
        /* 25 */ {kHyou + ".exe", kHyou + ".exe", ja ? bare : inFolder},
        {"\"" + kSo + "ft\\" + kHyou + ".exe\"", kSo + "ft\\" + kHyou + ".exe", inFolder},
        {"C:\\" + kHyou + "\\" + kSo + ".exe", "C:\\" + kHyou + "\\" + kSo + ".exe", asWritten},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        char name[kLaunchValueSize + 1];
        EXPECT_TRUE(UnquoteProgram(r.program.c_str(), name, sizeof name)) << "row " << i;
        EXPECT_EQ(r.name, name) << "row " << i;
        EXPECT_EQ((int)r.kind, (int)ClassifyProgramName(name))
            << "row " << i << " \"" << name << "\" (0 bare, 1 in a folder, 2 as written, 3 refused)";
    }
    char small[6];
    EXPECT_FALSE(UnquoteProgram("\"notepad.exe\"", small, sizeof small));
    EXPECT_EQ("notep", std::string(small)) << "cut, and terminated";
}

TEST(LaunchText, BareProgramsAreLookedForInTheSystemThenTheWindowsFolder) {
    const std::string sys = "C:\\WIN\\system32", win = "C:\\WIN";
    auto all = [](const std::string& name, const char* system, const char* windows, size_t cap = 260) {
        std::string out;
        char path[260];
        for (int i = 0; BareProgramCandidate(name.c_str(), system, windows, i, path, cap); ++i)
            out += std::string(i ? " | " : "") + path;
        return out;
    };
    EXPECT_EQ(sys + "\\regsvr32 | " + sys + "\\regsvr32.com | " + sys + "\\regsvr32.exe | " + sys +
                  "\\regsvr32.bat | " + sys + "\\regsvr32.cmd | " + win + "\\regsvr32 | " + win + "\\regsvr32.com | " +
                  win + "\\regsvr32.exe | " + win + "\\regsvr32.bat | " + win + "\\regsvr32.cmd",
              all("regsvr32", sys.c_str(), win.c_str()));
    EXPECT_EQ(sys + "\\notepad.exe | " + win + "\\notepad.exe", all("notepad.exe", sys.c_str(), win.c_str()))
        << "a name with an extension is tried as written only";
    EXPECT_EQ("C:\\notepad.exe | " + win + "\\notepad.exe", all("notepad.exe", "C:\\", win.c_str()))
        << "a folder's own backslash is not doubled";
    // Folders that could not be read give no candidates: a bare name alone would be
    // looked for in the current folder.
    EXPECT_EQ(" | " + win + "\\notepad.exe", all("notepad.exe", "", win.c_str()));
    EXPECT_EQ(" | ", all("notepad.exe", "system32", nullptr));
    EXPECT_EQ(sys + "\\tool |  |  |  |  | " + win + "\\tool | " + win + "\\tool.com | " + win + "\\tool.exe | " + win +
                  "\\tool.bat | " + win + "\\tool.cmd",
              all("tool", sys.c_str(), win.c_str(), 22))
        << "candidates that do not fit are left out, never cut";

    struct Row {
        std::string name;
        std::vector<std::string> files;
        std::string found;
    } rows[] = {
        {"notepad.exe", {win + "\\notepad.exe", sys + "\\notepad.exe"}, sys + "\\notepad.exe"},
        {"notepad", {win + "\\notepad.exe", sys + "\\notepad.exe"}, sys + "\\notepad.exe"},
        {"regsvr32", {sys + "\\regsvr32.exe", sys + "\\regsvr32.com"}, sys + "\\regsvr32.com"},
        {"tool", {sys + "\\tool.cmd", sys + "\\tool.bat"}, sys + "\\tool.bat"},
        {"tool", {win + "\\tool.com", sys + "\\tool.cmd"}, sys + "\\tool.cmd"},
        /* 5 */ {"tool", {sys + "\\tool", sys + "\\tool.exe"}, sys + "\\tool"},
        {"winonly", {win + "\\winonly.exe"}, win + "\\winonly.exe"},
        {"tool.exe", {sys + "\\tool.exe.exe", sys + "\\tool.com"}, ""},
        {"readme.txt", {"readme.txt", ".\\readme.txt"}, ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        std::vector<std::string> asked;
        char path[260] = "x";
        bool found = FindBareProgram(r.name.c_str(), sys.c_str(), win.c_str(), path, sizeof path, [&](const char* p) {
            asked.push_back(p);
            for (const std::string& file : r.files)
                if (file == p) return true;
            return false;
        });
        EXPECT_EQ(!r.found.empty(), found) << "row " << i;
        EXPECT_EQ(r.found, path) << "row " << i;
        for (const std::string& p : asked)
            EXPECT_TRUE(p.compare(0, win.size() + 1, win + "\\") == 0) << "row " << i << " asked about " << p;
    }
}
