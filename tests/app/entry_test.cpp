// The command line as the entry sees it: the argument text, the run mode, the
// script path and the hand-over command line.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "app/entry.h"
#include "run/handover.h"

namespace {

// The argument is what follows the program name and its blanks; only the exact, whole
// mode names choose a mode.
TEST(ArgumentsOf, ProgramNameSkippedAndModeChosenExactly) {
    const RunMode I = RunMode::Install;
    struct {
        const char* commandLine;
        const char* arguments;
        RunMode mode;
    } cases[] = {
        {"\"C:\\Program Files\\My App\\Setup.exe\" uninstall", "uninstall", RunMode::Uninstall},
        {"\"C:\\Program Files\\My App\\Setup.exe\"", "", I},
        {"\"C:\\a b\\Setup.exe\"remove", "remove", RunMode::Remove},  // the quote ends the name
        {"C:\\App\\Setup.exe reboot", "reboot", RunMode::Reboot},
        {"Setup.exe      remove", "remove", RunMode::Remove},
        {"Setup.exe remove ", "remove ", I},  // blanks after the argument stay
        {"Setup.exe two words", "two words", I},
        {"\"no closing quote uninstall", "", I},
        {"", "", I},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(ArgumentsOf(c.commandLine), c.arguments) << "[" << c.commandLine << "]";
        CommandLine line;
        ParseCommandLine(ArgumentsOf(c.commandLine), &line);
        EXPECT_EQ(line.mode, c.mode) << "[" << c.commandLine << "]";
        EXPECT_FALSE(line.switches) << "[" << c.commandLine << "]";
    }
    for (const char* install : {"Remove", "Reboot", "Uninstall", "UNINSTALL", " remove", "removex", "reboot\t"}) {
        CommandLine line;
        ParseCommandLine(install, &line);
        EXPECT_EQ(line.mode, I) << "argument [" << install << "]";
        EXPECT_FALSE(line.switches || line.bad) << "argument [" << install << "]";
    }
    EXPECT_STREQ(ArgumentsOf(nullptr), "");
    const char* line = "Setup.exe uninstall";
    EXPECT_EQ(ArgumentsOf(line), line + 10) << "points into the command line";
}

TEST(BuildScriptPath, ScriptBesideTheExecutable) {
    char exe[MAX_PATH], path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof exe), 0u);
    ASSERT_TRUE(BuildScriptPath(path, sizeof path));
    EXPECT_EQ(std::string(path), std::string(exe, strrchr(exe, '\\') + 1) + "Setup.ini");

    char small[8 + 8];
    memset(small, 'G', sizeof small);
    EXPECT_FALSE(BuildScriptPath(small, 8)) << "a path that does not fit is refused";
    EXPECT_NE(memchr(small, 0, 8), nullptr);
    EXPECT_EQ(std::string(small + 8, 8), std::string(8, 'G')) << "written past the buffer";
}

// The hand-over's command line must parse back to exactly its argument, blanks or not.
TEST(FormatHandOverCommand, QuotedProgramThenExactlyTheArgument) {
    char command[2 * MAX_PATH];
    for (const char* program : {"C:\\App\\Setup.exe", "C:\\Program Files\\My App\\Setup.exe"}) {
        for (const char* argument : {"reboot", "remove"}) {
            ASSERT_TRUE(FormatHandOverCommand(command, sizeof command, program, argument));
            EXPECT_EQ(std::string(command), "\"" + std::string(program) + "\" " + argument);
            CommandLine line;
            ParseCommandLine(ArgumentsOf(command), &line);
            EXPECT_EQ(line.mode, strcmp(argument, "reboot") == 0 ? RunMode::Reboot : RunMode::Remove) << command;
        }
    }
    char small[16];
    EXPECT_FALSE(FormatHandOverCommand(small, sizeof small, "C:\\Program Files\\Setup.exe", "reboot"))
        << "a cut command line must be refused, never started";
}

}  // namespace
