// The WinInit.Ini route of replacement at restart, run against a file of the test's
// own (the delayed move that this system accepts is covered end to end).
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "run/restart.h"
#include "run/system.h"
#include "base/text.h"
#include "fixtures.h"
#include "stage.h"

namespace {

std::string ShortForm(const std::string& path) {
    char out[1024];
    DWORD n = GetShortPathNameA(path.c_str(), out, sizeof out);
    return n > 0 && n < sizeof out ? std::string(out) : path;
}

// A 260-byte path buffer with guard bytes after it.
struct PathBuffer {
    char bytes[MAX_PATH + 8];
    explicit PathBuffer(const std::string& path) {
        memset(bytes, 'G', sizeof bytes);
        CopyBounded(bytes, MAX_PATH, path.c_str());
    }
    bool Guarded() const { return memcmp(bytes + MAX_PATH, "GGGGGGGG", 8) == 0; }
};

class RenameInstructionTest : public testing::Test {
protected:
    void SetUp() override { stage::WriteFile(file_, "x"); }
    std::string Ini() const { return folder_.Path("WinInit.Ini"); }
    // The instruction file after writing the deletion of file_ into one holding old.
    std::string AfterDeletion(const std::string& old) {
        stage::WriteFile(Ini(), old);
        PathBuffer path(file_);
        EXPECT_TRUE(WriteRenameInstruction(Ini().c_str(), path.bytes, nullptr)) << "written, yet reported dropped";
        return stage::ReadFile(Ini());
    }
    std::string Line() const { return "NUL=" + ShortForm(file_) + "\r\n"; }
    stage::Folder folder_{"wininit_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                              " folder", false};
    std::string file_ = folder_.Path("a long file name.txt");
};

TEST_F(RenameInstructionTest, InstructionLinesUseShortPaths) {
    ASSERT_NE(ShortForm(file_), file_) << "this system gives no short names; the test cannot tell the forms apart";
    std::string tmp = folder_.Path("replacement temporary.tmp"), dll = folder_.Path("the installed library.dll"),
                sub = folder_.Path("a folder to delete later");
    stage::WriteFile(tmp, "new");
    stage::WriteFile(dll, "old");
    stage::MakeFolders(sub);
    struct {
        std::string path, target, line;
    } cases[] = {{file_, "", Line()},  // a deletion
                 {tmp, dll, ShortForm(dll) + "=" + ShortForm(tmp) + "\r\n"},  // the target first, its replacement second
                 {sub, "", "DIRNUL=" + ShortForm(sub) + "\r\n"}};
    for (const auto& c : cases) {
        DeleteFileA(Ini().c_str());
        PathBuffer path(c.path), target(c.target);
        WriteRenameInstruction(Ini().c_str(), path.bytes, c.target.empty() ? nullptr : target.bytes);
        EXPECT_EQ(stage::ReadFile(Ini()), "[Rename]\r\n" + c.line) << "a missing file is made";
        EXPECT_EQ(path.bytes, ShortForm(c.path)) << "the caller's buffers hold the short form";
        EXPECT_EQ(target.bytes, c.target.empty() ? "" : ShortForm(c.target));
        EXPECT_TRUE(path.Guarded() && target.Guarded()) << "written past a 260-byte buffer";
    }
}

// The line goes to the end of the [Rename] section; the rewrite splits at LF, drops
// empty lines, keeps a line of a lone CR and every other byte.
TEST_F(RenameInstructionTest, RewriteOfAnExistingFile) {
    const std::string japanese = "[boot]\r\nname=\x95\x5C\x8E\xA6\r\n";  // Shift-JIS, trail byte 0x5C included
    struct Case {
        std::string old, before, after, why;  // expected: before + the new line + after
    } cases[] = {
        {"[boot]\r\nshell=x\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n[386Enh]\r\na=b\r\n[Last]\r\nc=d\r\n",
         "[boot]\r\nshell=x\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n", "[386Enh]\r\na=b\r\n[Last]\r\nc=d\r\n",
         "inserted once, before the next section's header"},
        {"[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n", "[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n", "",
         "the header matched without regard to case; a last section grows at the end"},
        {"[Rename]\nNUL=C:\\OLD.TXT\n", "[Rename]\nNUL=C:\\OLD.TXT\n[Rename]\r\n", "",
         "a header ending in LF alone is not the section"},
        {"[boot]\r\na=1\r\n", "[boot]\r\na=1\r\n[Rename]\r\n", "", "without the section, one is appended"},
        {"", "[Rename]\r\n", "", "an empty file"},
        {"[boot]\n\n\nx=1\r\n\r\n[Rename]\r\n\n\nNUL=C:\\OLD.TXT\r\n\n[Next]\r\n",
         "[boot]\nx=1\r\n\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n", "[Next]\r\n", "empty lines go, a lone CR stays"},
        {"[Rename]\r\nNUL=C:\\OLD.TXT", "[Rename]\r\nNUL=C:\\OLD.TXT\n", "", "a last line without its end gets an LF"},
        {japanese, japanese + "[Rename]\r\n", "", "double-byte text kept"},
    };
    for (const Case& c : cases) EXPECT_EQ(AfterDeletion(c.old), c.before + Line() + c.after) << c.why;
}

// Never truncated: a file that cannot be read, or can be read but not written, stays as it was.
TEST_F(RenameInstructionTest, InstructionFileThatCannotBeReadOrWrittenIsLeftAlone) {
    const std::string old = "[boot]\r\na=1\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n";
    for (DWORD share : {0, FILE_SHARE_READ}) {
        stage::WriteFile(Ini(), old);
        {
            LockedFile held(Ini(), share);
            ASSERT_TRUE(held.held());
            PathBuffer path(file_);
            EXPECT_FALSE(WriteRenameInstruction(Ini().c_str(), path.bytes, nullptr)) << "dropped, yet reported written";
        }
        EXPECT_EQ(stage::ReadFile(Ini()), old) << (share ? "held shared for reading" : "held without sharing");
    }
}

// On the NT family a delayed move is the only route: one the system refuses is reported
// as nothing scheduled, and WinInit.Ini (which that family never reads) stays untouched.
TEST(ReplaceAtRestart, ReportsTheRouteTaken) {
    ASSERT_TRUE(IsNtFamily()) << "the test prefix reports the NT family";
    PendingSnapshot pending;
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string ini = std::string(windows) + "\\WinInit.Ini", before = stage::ReadFile(ini);
    bool existed = stage::Exists(ini);
    stage::Folder folder("replace_route", false);
    folder.Put("old.txt", "x");
    PathBuffer accepted(folder.Path("old.txt")), refused("");
    EXPECT_EQ(ReplaceAtRestart(accepted.bytes, nullptr), RestartRoute::DelayedMove);
    EXPECT_TRUE(IsPending(folder.Path("old.txt"), ""));
    EXPECT_EQ(ReplaceAtRestart(refused.bytes, nullptr), RestartRoute::None) << "an empty path cannot be moved";
    EXPECT_EQ(stage::Exists(ini), existed) << "WinInit.Ini was made on the NT family";
    EXPECT_EQ(stage::ReadFile(ini), before) << "WinInit.Ini was written on the NT family";
}

}  // namespace
