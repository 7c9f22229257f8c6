// The command line as the entry sees it: the argument text and the run mode.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include "app/entry.h"

namespace {

TEST(ArgumentsOf, SkipsTheProgramNameAndTheBlanksAfterIt) {
    struct Case {
        const char* commandLine;
        const char* arguments;
    } cases[] = {
        {"\"C:\\Program Files\\My App\\Setup.exe\" uninstall", "uninstall"},
        {"\"C:\\Program Files\\My App\\Setup.exe\"", ""},
        {"\"C:\\a b\\Setup.exe\"remove", "remove"},  // the quote ends the name
        {"C:\\App\\Setup.exe reboot", "reboot"},
        {"Setup.exe      remove", "remove"},
        {"Setup.exe", ""},
        {"Setup.exe remove ", "remove "},  // blanks after the argument stay
        {"Setup.exe two words", "two words"},
        {"\"no closing quote uninstall", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(ArgumentsOf(c.commandLine), c.arguments) << "command line [" << c.commandLine << "]";
    EXPECT_STREQ(ArgumentsOf(nullptr), "");
    const char* line = "Setup.exe uninstall";
    EXPECT_EQ(ArgumentsOf(line), line + 10) << "points into the command line";
}

TEST(ChooseRunMode, WholeArgumentComparedExactly) {
    EXPECT_EQ(ChooseRunMode("remove"), RunMode::Remove);
    EXPECT_EQ(ChooseRunMode("reboot"), RunMode::Reboot);
    EXPECT_EQ(ChooseRunMode("uninstall"), RunMode::Uninstall);
    for (const char* install : {"", "Remove", "Reboot", "Uninstall", "UNINSTALL", "remove ", " remove", "removex",
                                "uninstall now", "reboot\t", "install"})
        EXPECT_EQ(ChooseRunMode(install), RunMode::Install) << "argument [" << install << "]";
    EXPECT_EQ(ChooseRunMode(ArgumentsOf("\"C:\\My Folder\\Setup.exe\" remove")), RunMode::Remove);
    EXPECT_EQ(ChooseRunMode(ArgumentsOf("C:\\App\\Setup.exe Uninstall")), RunMode::Install);
}

TEST(BuildScriptPath, ScriptBesideTheExecutable) {
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof exe), 0u);
    std::string want = exe;
    want = want.substr(0, want.find_last_of('\\') + 1) + "Setup.ini";
    char path[MAX_PATH];
    ASSERT_TRUE(BuildScriptPath(path, sizeof path));
    EXPECT_EQ(std::string(path), want);

    char small[8 + 8];
    memset(small, 'G', sizeof small);
    EXPECT_FALSE(BuildScriptPath(small, 8)) << "a path that does not fit is refused";
    EXPECT_NE(memchr(small, 0, 8), nullptr);
    for (size_t i = 8; i < sizeof small; ++i) EXPECT_EQ(small[i], 'G') << "written past the buffer at " << i;
}

}  // namespace

#include "app/handover.h"

namespace {

// The hand-over's command line must parse back to exactly its argument, blanks or not.
TEST(FormatHandOverCommand, QuotedProgramThenExactlyTheArgument) {
    char command[2 * MAX_PATH];
    for (const char* program : {"C:\\App\\Setup.exe", "C:\\Program Files\\My App\\Setup.exe"}) {
        for (const char* argument : {"reboot", "remove"}) {
            ASSERT_TRUE(FormatHandOverCommand(command, sizeof command, program, argument));
            EXPECT_EQ(std::string(command), "\"" + std::string(program) + "\" " + argument);
            EXPECT_STREQ(ArgumentsOf(command), argument) << command;
        }
    }
    char small[16];
    EXPECT_FALSE(FormatHandOverCommand(small, sizeof small, "C:\\Program Files\\Setup.exe", "reboot"))
        << "a cut command line must be refused, never started";
}

}  // namespace
