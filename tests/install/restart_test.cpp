// Replacement at restart: the delayed move this system accepts, and the
// WinInit.Ini instruction writer run against a file of the test's own.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "install/restart.h"
#include "fixtures.h"
#include "stage.h"
#include "ui_driver.h"

namespace {

std::string ShortForm(const std::string& path) {
    char out[1024];
    DWORD n = GetShortPathNameA(path.c_str(), out, sizeof out);
    return n > 0 && n < sizeof out ? std::string(out) : path;
}

// Shows CR and LF, so that a failure message tells the line ends apart.
std::string Visible(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "<CR>";
        else if (c == '\n')
            out += "<LF>\n";
        else
            out += c;
    }
    return out;
}

class RenameInstructionTest : public testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = "C:\\stage\\wininit_" + name + " folder";
        stage::DeleteTree(folder_);
        stage::MakeFolders(folder_);
        file_ = folder_ + "\\a long file name.txt";
        stage::WriteFile(file_, "x");
        shortFile_ = ShortForm(file_);
    }
    std::string Ini() const { return folder_ + "\\WinInit.Ini"; }
    // Writes the deletion of file_ into the instruction file holding old (none when null).
    std::string DeleteFileInstruction(const char* old) {
        if (old) stage::WriteFile(Ini(), old);
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", file_.c_str());
        WriteRenameInstruction(Ini().c_str(), path, nullptr);
        return stage::ReadFile(Ini());
    }
    std::string Line() const { return "NUL=" + shortFile_ + "\r\n"; }
    std::string folder_, file_, shortFile_;
};

TEST_F(RenameInstructionTest, InstructionLinesUseShortPaths) {
    EXPECT_NE(shortFile_, file_) << "this system gives no short names; the test cannot tell the forms apart";

    char path[MAX_PATH + 8];
    memset(path, 'G', sizeof path);
    snprintf(path, MAX_PATH, "%s", file_.c_str());
    WriteRenameInstruction(Ini().c_str(), path, nullptr);
    EXPECT_EQ(Visible(stage::ReadFile(Ini())), Visible("[Rename]\r\n" + Line())) << "a missing file is made";
    EXPECT_STREQ(path, shortFile_.c_str()) << "the caller's buffer holds the short form";
    EXPECT_EQ(path[MAX_PATH], 'G') << "written past the 260-byte buffer";

    std::string replacement = folder_ + "\\replacement temporary.tmp", target = folder_ + "\\the installed library.dll";
    stage::WriteFile(replacement, "new");
    stage::WriteFile(target, "old");
    DeleteFileA(Ini().c_str());
    char from[MAX_PATH], to[MAX_PATH];
    snprintf(from, sizeof from, "%s", replacement.c_str());
    snprintf(to, sizeof to, "%s", target.c_str());
    WriteRenameInstruction(Ini().c_str(), from, to);
    EXPECT_EQ(Visible(stage::ReadFile(Ini())),
              Visible("[Rename]\r\n" + ShortForm(target) + "=" + ShortForm(replacement) + "\r\n"))
        << "the target comes first, the file that replaces it second";
    EXPECT_STREQ(from, ShortForm(replacement).c_str());
    EXPECT_STREQ(to, ShortForm(target).c_str());

    std::string sub = folder_ + "\\a folder to delete later";
    stage::MakeFolders(sub);
    DeleteFileA(Ini().c_str());
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s", sub.c_str());
    WriteRenameInstruction(Ini().c_str(), folder, nullptr);
    EXPECT_EQ(Visible(stage::ReadFile(Ini())), Visible("[Rename]\r\nDIRNUL=" + ShortForm(sub) + "\r\n"));
}

TEST_F(RenameInstructionTest, InstructionGoesToTheEndOfTheRenameSection) {
    EXPECT_EQ(Visible(DeleteFileInstruction("[boot]\r\nshell=x\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n[386Enh]\r\na=b\r\n"
                                            "[Last]\r\nc=d\r\n")),
              Visible("[boot]\r\nshell=x\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n" + Line() +
                      "[386Enh]\r\na=b\r\n[Last]\r\nc=d\r\n"))
        << "inserted once, before the next section's header";
    EXPECT_EQ(Visible(DeleteFileInstruction("[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n")),
              Visible("[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n" + Line()))
        << "the header is matched without regard to case; a last section grows at the end";
    EXPECT_EQ(Visible(DeleteFileInstruction("[Rename]\nNUL=C:\\OLD.TXT\n")),
              Visible("[Rename]\nNUL=C:\\OLD.TXT\n[Rename]\r\n" + Line()))
        << "a header ending in LF alone is not the section";
    EXPECT_EQ(Visible(DeleteFileInstruction("[boot]\r\na=1\r\n")), Visible("[boot]\r\na=1\r\n[Rename]\r\n" + Line()))
        << "without the section, one is appended";
    EXPECT_EQ(Visible(DeleteFileInstruction("")), Visible("[Rename]\r\n" + Line())) << "an empty file";
}

TEST_F(RenameInstructionTest, RewriteDropsEmptyLinesAndKeepsBytes) {
    // Split at LF: empty lines go, a line of a lone CR is not empty and stays.
    EXPECT_EQ(Visible(DeleteFileInstruction("[boot]\n\n\nx=1\r\n\r\n[Rename]\r\n\n\nNUL=C:\\OLD.TXT\r\n\n[Next]\r\n")),
              Visible("[boot]\nx=1\r\n\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n" + Line() + "[Next]\r\n"));
    EXPECT_EQ(Visible(DeleteFileInstruction("[Rename]\r\nNUL=C:\\OLD.TXT")),
              Visible("[Rename]\r\nNUL=C:\\OLD.TXT\n" + Line()))
        << "a last line without its end gets an LF";
    std::string japanese = "[boot]\r\nname=\x95\x5C\x8E\xA6\r\n";  // Shift-JIS bytes, trail byte 0x5C included
    EXPECT_EQ(Visible(DeleteFileInstruction(japanese.c_str())), Visible(japanese + "[Rename]\r\n" + Line()));
}

TEST_F(RenameInstructionTest, InstructionFileThatCannotBeReadOrWrittenIsLeftAlone) {
    const char old[] = "[boot]\r\na=1\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n";
    stage::WriteFile(Ini(), old);
    {
        HANDLE held = CreateFileA(Ini().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", file_.c_str());
        WriteRenameInstruction(Ini().c_str(), path, nullptr);
        CloseHandle(held);
    }
    EXPECT_EQ(Visible(stage::ReadFile(Ini())), Visible(old)) << "a file held without sharing";

    // Readable but not writable. Where read-only files can still be written (an
    // administrator's account under Wine), this case cannot be set up.
    SetFileAttributesA(Ini().c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA(Ini().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    bool enforced = probe == INVALID_HANDLE_VALUE;
    if (!enforced) CloseHandle(probe);
    if (enforced) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", file_.c_str());
        WriteRenameInstruction(Ini().c_str(), path, nullptr);
        EXPECT_EQ(Visible(stage::ReadFile(Ini())), Visible(old)) << "a read-only file must not be truncated";
    }
    SetFileAttributesA(Ini().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ReplaceAtRestart, DelayedMoveKeepsLongPaths) {
    PendingSnapshot keep;
    std::string folder = "C:\\stage\\replace at restart";
    stage::DeleteTree(folder);
    stage::MakeFolders(folder);
    std::string doomed = folder + "\\a file deleted at restart.txt";
    std::string replacement = folder + "\\RBT temporary copy.tmp", target = folder + "\\library in use.dll";
    for (const std::string& f : {doomed, replacement, target}) stage::WriteFile(f, "x");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string winInit = std::string(windows) + "\\WinInit.Ini";
    bool hadWinInit = stage::Exists(winInit);
    std::string winInitBefore = stage::ReadFile(winInit);

    char path[MAX_PATH], from[MAX_PATH], to[MAX_PATH];
    snprintf(path, sizeof path, "%s", doomed.c_str());
    snprintf(from, sizeof from, "%s", replacement.c_str());
    snprintf(to, sizeof to, "%s", target.c_str());
    EXPECT_NE(ReplaceAtRestart(path, nullptr), 0) << "the delayed move is accepted here";
    EXPECT_NE(ReplaceAtRestart(from, to), 0);

    EXPECT_EQ(std::string(path), doomed) << "the paths keep their long form";
    EXPECT_EQ(std::string(from), replacement);
    EXPECT_EQ(std::string(to), target);
    EXPECT_TRUE(IsPending(doomed, "")) << "no deletion of " << doomed << " scheduled";
    EXPECT_TRUE(IsPending(replacement, target)) << "no replacement of " << target << " scheduled";
    EXPECT_EQ(stage::Exists(winInit), hadWinInit) << "WinInit.Ini must not be touched";
    EXPECT_EQ(stage::ReadFile(winInit), winInitBefore);
}

TEST(IsDirectory, OnlyFolders) {
    stage::Folder folder("is_directory", false);
    folder.Put("file.txt", "x");
    stage::MakeFolders(folder.Path("sub folder"));
    EXPECT_TRUE(IsDirectory(folder.dir().c_str()));
    EXPECT_TRUE(IsDirectory(folder.Path("sub folder").c_str()));
    EXPECT_FALSE(IsDirectory(folder.Path("file.txt").c_str()));
    EXPECT_FALSE(IsDirectory(folder.Path("missing").c_str()));
    EXPECT_FALSE(IsDirectory(""));
}

}  // namespace
