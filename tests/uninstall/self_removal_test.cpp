// The batch file through which the uninstaller removes its own executable and folder,
// and (i686 build) the routine that removes them from memory on the 9x family.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "base/text.h"
#include "fixtures.h"
#include "stage.h"
#include "uninstall/self_removal.h"

namespace {

constexpr char kBatch[] = "C:\\windows\\Temp\\Setup-7-0\\delus.bat";

std::string Batch(const std::string& exe, const std::string& folder) {
    return ":Repeat\r\ndel \"" + exe + "\"\r\nif exist \"" + exe + "\" goto Repeat\r\nrmdir \"" + folder +
           "\"\r\ndel \"" + kBatch + "\"\r\n";
}

std::string OwnFolder() {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    return std::string(exe, strrchr(exe, '\\'));
}

// Five lines, or nothing: a cut batch file could delete the wrong thing.
TEST(FormatRemovalBatch, FiveLinesThatDeleteExecutableFolderAndThemselves) {
    const char exe[] = "C:\\Program Files\\My App\\Setup.exe", folder[] = "C:\\Program Files\\My App";
    char text[1000];
    ASSERT_TRUE(FormatRemovalBatch(text, sizeof text, exe, folder, kBatch));
    EXPECT_EQ(std::string(text), Batch(exe, folder));

    std::string longFolder = "C:\\" + std::string(240, 'f');  // as long as a path buffer allows
    std::string longExe = longFolder + "\\" + std::string(MAX_PATH - 2 - longFolder.size(), 'e');
    ASSERT_EQ(longExe.size(), (size_t)MAX_PATH - 1);
    EXPECT_TRUE(FormatRemovalBatch(text, sizeof text, longExe.c_str(), longFolder.c_str(), kBatch));
    EXPECT_EQ(std::string(text), Batch(longExe, longFolder));

    // A folder the removal may not take (a shell folder the product was installed into)
    // leaves out the one line that would remove it.
    ASSERT_TRUE(FormatRemovalBatch(text, sizeof text, exe, nullptr, kBatch));
    EXPECT_EQ(std::string(text), ":Repeat\r\ndel \"" + std::string(exe) + "\"\r\nif exist \"" + exe +
                                     "\" goto Repeat\r\ndel \"" + kBatch + "\"\r\n");

    char small[80 + 16];
    memset(small, 'G', sizeof small);
    EXPECT_FALSE(FormatRemovalBatch(small, 80, exe, folder, kBatch)) << "a cut batch text was accepted";
    EXPECT_NE(memchr(small, 0, 80), nullptr) << "the text stays terminated inside its buffer";
    EXPECT_EQ(std::string(small + 80, 16), std::string(16, 'G')) << "written past the buffer";
}

// The command processor reads the batch file in the OEM code page and expands "%": a
// Western folder name with an accent or a per-cent sign must reach it as its own bytes.
TEST(FormatRemovalBatch, PathsInTheOemCodePageWithPerCentSignsDoubled) {
    struct {
        const char* ansi;  // code page 1252
        const char* oem;   // code page 437, or null when it cannot be expressed there
    } rows[] = {
        {"C:\\Jos\xE9\\Notes", "C:\\Jos\x82\\Notes"},
        {"C:\\100% Notes", "C:\\100% Notes"},
        {"C:\\Caf\xE9 \xFC\xF1", "C:\\Caf\x82 \x81\xA4"},
        {"C:\\Price \x80 list", nullptr},  // the euro sign has no place in code page 437
    };
    for (const auto& r : rows) {
        char out[MAX_PATH + 8];
        memset(out, 'G', sizeof out);
        bool ok = ToOemText(r.ansi, out, MAX_PATH, 1252, 437);
        EXPECT_EQ(ok, r.oem != nullptr) << r.ansi;
        if (ok) {
            EXPECT_EQ(std::string(out), r.oem);
        }
        EXPECT_EQ(std::string(out + MAX_PATH, 8), "GGGGGGGG") << "written past the buffer";
    }
    char text[2400];
    ASSERT_TRUE(FormatRemovalBatch(text, sizeof text, "C:\\100% Jos\x82\\Setup.exe", "C:\\100% Jos\x82", kBatch));
    EXPECT_EQ(std::string(text), Batch("C:\\100%% Jos\x82\\Setup.exe", "C:\\100%% Jos\x82"));
    std::string percents(MAX_PATH - 1, '%');  // the longest path, every byte doubled, still fits
    EXPECT_TRUE(FormatRemovalBatch(text, sizeof text, percents.c_str(), percents.c_str(), kBatch));
    EXPECT_EQ(std::string(text), Batch(std::string(2 * percents.size(), '%'), std::string(2 * percents.size(), '%')));
}

// Only an uninstaller in the folder its record names removes itself: a record beside a
// copy in a download folder, or a shipped script, does not make it the product's own.
TEST(RunsFromInstallFolder, OnlyTheFolderTheRecordNames) {
    const std::string here = OwnFolder();
    char shortHere[MAX_PATH] = "";
    GetShortPathNameA(here.c_str(), shortHere, sizeof shortHere);
    std::string upper = here;
    CharUpperA(&upper[0]);
    struct {
        const char* what;
        std::vector<std::string> lines;
        bool owns;
    } cases[] = {
        {"the record of this folder", {"[Root]", "Named=" + here, "[CopiedFile]", "Count=1"}, true},
        {"written with a trailing backslash", {"[Root]", "Named=" + here + "\\", "[CopiedFile]", "Count=2"}, true},
        {"in other letters", {"[Root]", "Named=" + upper, "[CopiedFile]", "Count=1"}, true},
        {"by its short name", {"[Root]", "Named=" + std::string(shortHere), "[CopiedFile]", "Count=1"}, true},
        {"another folder", {"[Root]", "Named=C:\\Program Files\\Other", "[CopiedFile]", "Count=1"}, false},
        {"its parent", {"[Root]", "Named=" + here.substr(0, here.rfind('\\')), "[CopiedFile]", "Count=1"}, false},
        {"a setup script naming this folder", {"[Root]", "Named=" + here}, false},
        {"a record without a folder", {"[CopiedFile]", "Count=1"}, false},
    };
    for (const auto& c : cases) {
        const std::string record = here + "\\runs_from.ini";
        stage::WriteFile(record, Crlf(c.lines));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, record.c_str());
        EXPECT_EQ(RunsFromInstallFolder(record.c_str()), c.owns) << c.what;
        DeleteFileA(record.c_str());
    }
}

// "remove" typed by hand finds nothing handed over and removes nothing; the hand-over
// names this folder (under any spelling) and is read once.
TEST(SelfRemovalWasHandedOver, OnlyForThisFolderAndOnlyOnce) {
    const std::string here = OwnFolder();
    std::string upper = here;
    CharUpperA(&upper[0]);
    struct {
        const char* value;  // null: unset
        bool handed;
    } cases[] = {{nullptr, false}, {"", false}, {"C:\\Program Files\\Other", false},
                 {here.c_str(), true}, {upper.c_str(), true}};
    for (const auto& c : cases) {
        SetEnvironmentVariableA("SETUP_SELF_REMOVAL", c.value);
        EXPECT_EQ(SelfRemovalWasHandedOver(), c.handed) << (c.value ? c.value : "(unset)");
        EXPECT_EQ(GetEnvironmentVariableA("SETUP_SELF_REMOVAL", nullptr, 0), 0u)
            << "the batch file's process must not inherit the hand-over";
        EXPECT_FALSE(SelfRemovalWasHandedOver()) << "a second look finds nothing";
    }
}

}  // namespace

#if !defined(_WIN64)
// The 9x family's removal from memory, run on a thread of its own: the block's entry
// points lead to recording doubles of the kernel calls, and the thread's end stands in
// for the end of the process.
namespace {

struct Call {
    std::string name;
    uintptr_t argument;
    std::string text;  // the path or folder a call was given
};
std::vector<Call> g_calls;

BOOL WINAPI FreeLibraryDouble(HMODULE module) {
    g_calls.push_back({"FreeLibrary", (uintptr_t)module, ""});
    return FreeLibrary(module);
}
BOOL WINAPI DeleteFileDouble(const char* path) {
    g_calls.push_back({"DeleteFileA", (uintptr_t)path, path});
    return DeleteFileA(path);
}
BOOL WINAPI RemoveDirectoryDouble(const char* folder) {
    g_calls.push_back({"RemoveDirectoryA", (uintptr_t)folder, folder});
    return RemoveDirectoryA(folder);
}
void WINAPI ExitDouble(UINT code) {
    g_calls.push_back({"Exit", code, ""});
    ExitThread(code);
}

uint32_t Address(const void* p) { return (uint32_t)(uintptr_t)p; }

std::string Sequence() {
    std::string out;
    for (const Call& c : g_calls) out += c.name + " ";
    return out;
}

TEST(RemovalRoutine, FreesDeletesRemovesAndEndsWithTheBlocksCode) {
    void* routine = PlaceRemovalRoutine();
    ASSERT_NE(routine, nullptr);
    MEMORY_BASIC_INFORMATION memory{};
    ASSERT_TRUE(VirtualQuery(routine, &memory, sizeof memory));
    EXPECT_EQ(memory.Protect, (DWORD)PAGE_EXECUTE_READWRITE) << "the routine's copy must be executable";

    struct {
        bool removeFolder;
        uint32_t exitCode;
        const char* sequence;
    } cases[] = {
        {true, 0, "FreeLibrary DeleteFileA RemoveDirectoryA Exit "},
        {true, 0x2A, "FreeLibrary DeleteFileA RemoveDirectoryA Exit "},
        {false, 7, "FreeLibrary DeleteFileA Exit "},  // no RemoveDirectoryA entry: the folder stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.removeFolder ? "with" : "without") + " the folder entry, exit code " +
                     std::to_string(c.exitCode));
        std::string folder = "C:\\unit\\removal routine " + std::to_string(c.exitCode), exe = folder + "\\Setup.exe";
        stage::DeleteTree(folder);
        ASSERT_TRUE(stage::WriteFile(exe, "MZ"));
        // A library no one else holds, so freeing it unloads it.
        ASSERT_EQ(GetModuleHandleA("lz32.dll"), nullptr) << "lz32.dll is already in use";
        HMODULE library = LoadLibraryA("lz32.dll");
        ASSERT_NE(library, nullptr);

        RemovalBlock block;
        memset(&block, 0xCC, sizeof block);  // every field must be set by hand below
        block.module = Address(library);
        block.freeLibrary = Address((void*)FreeLibraryDouble);
        block.deleteFile = Address((void*)DeleteFileDouble);
        block.removeDirectory = c.removeFolder ? Address((void*)RemoveDirectoryDouble) : 0;
        block.exitProcess = Address((void*)ExitDouble);
        block.exitCode = c.exitCode;
        CopyBounded(block.path, sizeof block.path, exe.c_str());
        CopyBounded(block.folder, sizeof block.folder, folder.c_str());

        g_calls.clear();
        HANDLE thread = CreateThread(nullptr, 0, (LPTHREAD_START_ROUTINE)routine, &block, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        bool ended = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        ASSERT_TRUE(ended) << "the routine's thread did not end within 30 s";

        EXPECT_EQ(code, c.exitCode) << "the thread's exit code is the block's";
        EXPECT_EQ(Sequence(), c.sequence);
        ASSERT_EQ(g_calls.size(), c.removeFolder ? 4u : 3u);
        EXPECT_EQ(g_calls[0].argument, (uintptr_t)library) << "FreeLibrary got another handle";
        EXPECT_EQ(GetModuleHandleA("lz32.dll"), nullptr) << "the module was not freed";
        EXPECT_EQ(g_calls[1].argument, (uintptr_t)block.path) << "DeleteFileA is given the block's own path";
        EXPECT_EQ(g_calls[1].text, exe);
        if (c.removeFolder) {
            EXPECT_EQ(g_calls[2].argument, (uintptr_t)block.folder) << "RemoveDirectoryA is given the block's folder";
            EXPECT_EQ(g_calls[2].text, folder);
        }
        EXPECT_EQ(g_calls.back().argument, c.exitCode) << "the exit entry is given the block's code";
        EXPECT_FALSE(stage::Exists(exe)) << "the file is still there";
        EXPECT_EQ(stage::Exists(folder), !c.removeFolder) << "folder " << folder;
        stage::DeleteTree(folder);
    }
    VirtualFree(routine, 0, MEM_RELEASE);
}

// Setup.exe's own block: this module, KERNEL32's entry points, its path and folder, code 0.
TEST(RemovalRoutine, OwnBlockNamesThisExecutableAndKernelEntries) {
    RemovalBlock block;
    memset(&block, 0xCC, sizeof block);
    ASSERT_TRUE(FillRemovalBlock(&block));
    HMODULE kernel = GetModuleHandleA("KERNEL32");
    char exe[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameA(nullptr, exe, sizeof exe));
    std::string folder(exe, strrchr(exe, '\\'));
    struct {
        const char* name;
        uint32_t got, expected;
    } fields[] = {
        {"module", block.module, Address(GetModuleHandleA(nullptr))},
        {"FreeLibrary", block.freeLibrary, Address((void*)GetProcAddress(kernel, "FreeLibrary"))},
        {"DeleteFileA", block.deleteFile, Address((void*)GetProcAddress(kernel, "DeleteFileA"))},
        {"RemoveDirectoryA", block.removeDirectory, Address((void*)GetProcAddress(kernel, "RemoveDirectoryA"))},
        {"ExitProcess", block.exitProcess, Address((void*)GetProcAddress(kernel, "ExitProcess"))},
        {"exit code", block.exitCode, 0},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(f.got, f.expected) << f.name;
        if (f.expected != 0) {
            EXPECT_NE(f.got, 0u) << f.name;
        }
    }
    EXPECT_STREQ(block.path, exe);
    EXPECT_EQ(std::string(block.folder), folder);
}

}  // namespace
#endif
