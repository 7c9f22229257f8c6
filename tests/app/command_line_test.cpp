// The switches of an unattended run taken apart: spellings, case, quotes, the folder to
// the end of the text, unknown words, and the mode words of before left as they were.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "app/command_line.h"

namespace {

const RunMode I = RunMode::Install, U = RunMode::Uninstall;
const Quietness Shown = Quietness::Shown, Progress = Quietness::Progress, Silent = Quietness::Silent;

struct Case {
    const char* arguments;
    RunMode mode;
    bool switches, bad;
    Quietness quiet;
    const char* folder;   // null: none given
    const char* logPath;  // null: no log; "": the default file
    bool noRestart, forceRestart, help;
};

TEST(ParseCommandLine, SwitchesSpellingsQuotesAndModes) {
    const Case cases[] = {
        // The texts of before.
        {"", I, false, false, Shown, nullptr, nullptr, false, false, false},
        {"uninstall", U, false, false, Shown, nullptr, nullptr, false, false, false},
        {"Uninstall", I, false, false, Shown, nullptr, nullptr, false, false, false},
        {"anything else", I, false, false, Shown, nullptr, nullptr, false, false, false},
        {"uninstall now", I, false, false, Shown, nullptr, nullptr, false, false, false},
        // The spellings administrators know, in any case.
        {"/S", I, true, false, Silent, nullptr, nullptr, false, false, false},
        {"/s", I, true, false, Silent, nullptr, nullptr, false, false, false},
        {"/VERYSILENT", I, true, false, Silent, nullptr, nullptr, false, false, false},
        {"-quiet", I, true, false, Silent, nullptr, nullptr, false, false, false},
        {"/QN", I, true, false, Silent, nullptr, nullptr, false, false, false},
        {"/SILENT", I, true, false, Progress, nullptr, nullptr, false, false, false},
        {"/passive", I, true, false, Progress, nullptr, nullptr, false, false, false},
        {"-qb", I, true, false, Progress, nullptr, nullptr, false, false, false},
        {"/qb /S", I, true, false, Silent, nullptr, nullptr, false, false, false},  // the quieter wins
        {"/S /qb", I, true, false, Silent, nullptr, nullptr, false, false, false},
        {"uninstall /S", U, true, false, Silent, nullptr, nullptr, false, false, false},
        {"UNINSTALL   -passive", U, true, false, Progress, nullptr, nullptr, false, false, false},
        // Folders: to the end of the text, one word, quoted.
        {"/S /D=C:\\Program Files\\My App", I, true, false, Silent, "C:\\Program Files\\My App", nullptr, false,
         false, false},
        {"/S /D=C:\\My App  ", I, true, false, Silent, "C:\\My App", nullptr, false, false, false},
        {"/S /d=\"C:\\My App\"", I, true, false, Silent, "C:\\My App", nullptr, false, false, false},
        {"/S \"/D=C:\\My App\"", I, true, false, Silent, "C:\\My App", nullptr, false, false, false},
        {"/D=C:\\A /S", I, true, false, Shown, "C:\\A /S", nullptr, false, false, false},  // the rest is the folder
        {"/DIR=\"C:\\My App\" /S", I, true, false, Silent, "C:\\My App", nullptr, false, false, false},
        {"-dir=C:\\App", I, true, false, Shown, "C:\\App", nullptr, false, false, false},
        {"INSTALLDIR=\"C:\\My App\" /qn", I, true, false, Silent, "C:\\My App", nullptr, false, false, false},
        {"/qn installdir=C:\\App", I, true, false, Silent, "C:\\App", nullptr, false, false, false},
        {"/S /D=", I, true, false, Silent, "", nullptr, false, false, false},  // given empty: refused later
        // The log, the restart, the usage.
        {"/S /LOG", I, true, false, Silent, nullptr, "", false, false, false},
        {"/S /log=\"C:\\Logs\\my app.log\"", I, true, false, Silent, nullptr, "C:\\Logs\\my app.log", false, false,
         false},
        {"/LOG= /S", I, true, false, Silent, nullptr, "", false, false, false},
        {"/S /NORESTART", I, true, false, Silent, nullptr, nullptr, true, false, false},
        {"/passive /forcerestart", I, true, false, Progress, nullptr, nullptr, false, true, false},
        {"/?", I, true, false, Shown, nullptr, nullptr, false, false, true},
        {"-HELP", I, true, false, Shown, nullptr, nullptr, false, false, true},
        // Unknown switches and stray words among switches: nothing runs.
        {"/X", I, true, true, Shown, nullptr, nullptr, false, false, false},
        {"/S /X", I, true, true, Silent, nullptr, nullptr, false, false, false},
        {"/S=1", I, true, true, Shown, nullptr, nullptr, false, false, false},
        {"/SS", I, true, true, Shown, nullptr, nullptr, false, false, false},
        {"/S extra", I, true, true, Silent, nullptr, nullptr, false, false, false},
        {"/DIR", I, true, true, Shown, nullptr, nullptr, false, false, false},
        {"uninstall /S /bogus", U, true, true, Silent, nullptr, nullptr, false, false, false},
        {"/", I, true, true, Shown, nullptr, nullptr, false, false, false},
    };
    for (const Case& c : cases) {
        CommandLine line;
        memset(static_cast<void*>(&line), 0x5A, sizeof line);  // no field left from before
        ParseCommandLine(c.arguments, &line);
        SCOPED_TRACE(std::string("[") + c.arguments + "]");
        EXPECT_EQ(line.mode, c.mode);
        EXPECT_EQ(line.switches, c.switches);
        EXPECT_EQ(line.bad, c.bad);
        EXPECT_EQ(line.quiet, c.quiet);
        EXPECT_EQ(line.folderGiven, c.folder != nullptr);
        if (c.folder) {
            EXPECT_STREQ(line.folder, c.folder);
        }
        EXPECT_FALSE(line.folderCut);
        EXPECT_EQ(line.log, c.logPath != nullptr);
        if (c.logPath) {
            EXPECT_STREQ(line.logPath, c.logPath);
        }
        EXPECT_EQ(line.noRestart, c.noRestart);
        EXPECT_EQ(line.forceRestart, c.forceRestart);
        EXPECT_EQ(line.help, c.help);
    }
}

TEST(ParseCommandLine, TheFirstStrayWordIsNamedAndLongValuesAreNeverCutSilently) {
    CommandLine line;
    ParseCommandLine("/S /Bogus /Other", &line);
    EXPECT_STREQ(line.badWord, "/Bogus");
    ParseCommandLine(("/X" + std::string(500, 'x')).c_str(), &line);
    EXPECT_TRUE(line.bad);
    EXPECT_LT(strlen(line.badWord), sizeof line.badWord);

    // A folder that does not fit is marked (the run refuses it as too long), never cut into
    // another folder; a log path that does not fit is a bad command line.
    const std::string longFolder = "C:\\" + std::string(300, 'f');
    for (const std::string& arguments : {"/S /D=" + longFolder, "/S /DIR=" + longFolder, "INSTALLDIR=" + longFolder}) {
        ParseCommandLine(arguments.c_str(), &line);
        EXPECT_TRUE(line.folderGiven && line.folderCut) << arguments.substr(0, 12);
        EXPECT_FALSE(line.bad);
        EXPECT_LT(strlen(line.folder), sizeof line.folder);
    }
    std::string exact = "C:\\" + std::string(sizeof line.folder - 4, 'f');  // 259 bytes: fits
    ParseCommandLine(("/S /D=" + exact).c_str(), &line);
    EXPECT_FALSE(line.folderCut);
    EXPECT_EQ(line.folder, exact);
    ParseCommandLine(("/S /LOG=C:\\" + std::string(300, 'l')).c_str(), &line);
    EXPECT_TRUE(line.bad);
    EXPECT_FALSE(line.log);

    // Double-byte folder names: a trail byte that looks like a blank-free byte is kept whole.
    ParseCommandLine("/S /D=C:\\\x83\x5c\x83\x74\x83\x67 \x8f\x5c", &line);
    EXPECT_STREQ(line.folder, "C:\\\x83\x5c\x83\x74\x83\x67 \x8f\x5c");
    ParseCommandLine("/S /DIR=\"C:\\\x83\x5c \x95\x5c\"", &line);
    EXPECT_STREQ(line.folder, "C:\\\x83\x5c \x95\x5c");
}

}  // namespace
