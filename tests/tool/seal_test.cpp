// Sealing a folder into a copy of the real Setup.exe, then the folder changed in each
// way a seal must notice; what SetupTool says and what Setup.exe's own check decides
// must agree.
#include "tool/seal.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "base/sha256.h"
#include "install/seal_check.h"
#include "install/seal_list.h"
#include "run/progress.h"
#include "stage.h"

namespace {

class CountingProgress : public FileProgress {
public:
    void Begin(size_t total) override { begun = total; }
    void Advance(const char*) override { ++advanced; }
    void End() override { ended = true; }
    size_t begun = 0, advanced = 0;
    bool ended = false;
};

std::string Digest(const std::string& bytes) {
    Sha256 h;
    h.Add(bytes.data(), bytes.size());
    uint8_t d[32];
    h.Finish(d);
    return std::string(reinterpret_cast<char*>(d), 32);
}

// A staged product: Setup.exe, its script and files in folders.
class SealTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = "C:\\stage\\seal_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        stage::DeleteTree(dir_);
        ASSERT_TRUE(stage::MakeFolders(dir_ + "\\sub\\deeper"));
        ASSERT_TRUE(CopyFileA(stage::SetupExePath().c_str(), Exe().c_str(), FALSE));
        files_ = {{"Setup.ini", "[Setup]\r\nName=Sealed\r\n"},
                  {"a.txt", "alpha"},
                  {"sub\\b.bin", std::string("\0\x01\x02zero\0", 8)},
                  {"sub\\deeper\\c.txt", std::string(70000, 'c')}};
        for (auto& f : files_) ASSERT_TRUE(stage::WriteFile(Path(f.first), f.second));
    }
    void TearDown() override { stage::DeleteTree(dir_); }
    std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
    std::string Exe() const { return Path("Setup.exe"); }
    int Seal(std::string* report = nullptr) {
        std::string out, errors;
        int status = SealFolder(dir_, &out, &errors);
        if (report) *report = out + errors;
        return status;
    }
    std::string List() const {
        std::string list;
        EXPECT_TRUE(ReadSealOf(Exe(), &list));
        return list;
    }
    // Setup.exe's own decision: the script first, then the other files.
    SealVerdict SetupVerdict(CountingProgress* progress = nullptr) const {
        std::string list = List();
        SealVerdict v = CheckSealedScript(list.data(), list.size(), Path("Setup.ini").c_str());
        if (v.result != SealResult::Holds) return v;
        CountingProgress own;
        return CheckSealedFiles(list.data(), list.size(), dir_.c_str(), progress ? *progress : own);
    }
    int Verify(std::string* report = nullptr) const {
        std::string out, errors;
        int status = VerifySeal(dir_, &out, &errors);
        if (report) *report = out + errors;
        return status;
    }

    std::string dir_;
    std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(SealTest, TheListHoldsEveryFileButSetupExeWithItsSizeAndHash) {
    std::string report;
    ASSERT_EQ(0, Seal(&report)) << report;
    EXPECT_NE(std::string::npos, report.find("sealed 4 files")) << report;
    std::string list = List();
    SealReader reader(list.data(), list.size());
    ASSERT_TRUE(reader.Check()) << list;
    ASSERT_EQ(4u, reader.count());
    SealEntry e;
    const char* order[] = {"a.txt", "Setup.ini", "sub\\b.bin", "sub\\deeper\\c.txt"};  // by name, any case
    for (const char* name : order) {
        ASSERT_TRUE(reader.Next(&e));
        EXPECT_STREQ(name, e.name);
        for (auto& f : files_) {
            if (f.first != name) continue;
            EXPECT_EQ(f.second.size(), e.size) << name;
            EXPECT_EQ(Digest(f.second), std::string(reinterpret_cast<char*>(e.hash), 32)) << name;
        }
    }
    CountingProgress progress;
    EXPECT_EQ(SealResult::Holds, SetupVerdict(&progress).result);
    EXPECT_EQ(4u, progress.begun);
    EXPECT_GE(progress.advanced, 3u);  // the bar moves for both halves
    EXPECT_LE(progress.advanced, 5u);
    EXPECT_TRUE(progress.ended);
    EXPECT_EQ(0, Verify());
    // The sealed program still runs as a program: its resources load.
    HMODULE module = LoadLibraryExA(Exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    EXPECT_TRUE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)));  // the manifest
    FreeLibrary(module);
}

TEST_F(SealTest, EachChangeIsFoundByTheToolAndBySetup) {
    ASSERT_EQ(0, Seal());
    struct Case {
        const char* what;
        void (*change)(const std::string& dir);
        void (*undo)(const std::string& dir);
        const char* name;
        SealResult result;
        const char* said;
    } cases[] = {
        {"a payload byte", [](const std::string& d) { stage::WriteFile(d + "\\sub\\b.bin", std::string("\0\x01\x03zero\0", 8)); },
         [](const std::string& d) { stage::WriteFile(d + "\\sub\\b.bin", std::string("\0\x01\x02zero\0", 8)); },
         "sub\\b.bin", SealResult::Changed, "sub\\b.bin: changed"},
        {"a script line", [](const std::string& d) { stage::WriteFile(d + "\\Setup.ini", "[Setup]\r\nName=Sealex\r\n"); },
         [](const std::string& d) { stage::WriteFile(d + "\\Setup.ini", "[Setup]\r\nName=Sealed\r\n"); },
         "Setup.ini", SealResult::Changed, "Setup.ini: changed"},
        {"a missing file", [](const std::string& d) { DeleteFileA((d + "\\a.txt").c_str()); },
         [](const std::string& d) { stage::WriteFile(d + "\\a.txt", "alpha"); }, "a.txt", SealResult::Missing,
         "a.txt: missing"},
        {"a file made a folder",
         [](const std::string& d) {
             DeleteFileA((d + "\\sub\\deeper\\c.txt").c_str());
             CreateDirectoryA((d + "\\sub\\deeper\\c.txt").c_str(), nullptr);
         },
         [](const std::string& d) {
             RemoveDirectoryA((d + "\\sub\\deeper\\c.txt").c_str());
             stage::WriteFile(d + "\\sub\\deeper\\c.txt", std::string(70000, 'c'));
         },
         "sub\\deeper\\c.txt", SealResult::Missing, "sub\\deeper\\c.txt: not a file"},
        {"the same size, another last byte",
         [](const std::string& d) { stage::WriteFile(d + "\\sub\\deeper\\c.txt", std::string(69999, 'c') + "d"); },
         [](const std::string& d) { stage::WriteFile(d + "\\sub\\deeper\\c.txt", std::string(70000, 'c')); },
         "sub\\deeper\\c.txt", SealResult::Changed, "sub\\deeper\\c.txt: changed"},
    };
    for (const Case& c : cases) {
        c.change(dir_);
        SealVerdict v = SetupVerdict();
        EXPECT_EQ(c.result, v.result) << c.what;
        EXPECT_STREQ(c.name, v.name) << c.what;
        std::string report;
        EXPECT_EQ(2, Verify(&report)) << c.what;
        EXPECT_NE(std::string::npos, report.find(c.said)) << c.what << "\n" << report;
        Findings findings;
        CheckSeal(dir_, findings);
        EXPECT_EQ(2, findings.ExitStatus()) << c.what;
        c.undo(dir_);
        EXPECT_EQ(SealResult::Holds, SetupVerdict().result) << c.what << " undone";
    }
    // Two halves of the list are checked side by side: the first file that differs in the
    // list's order is named, whichever half found it.
    stage::WriteFile(Path("sub\\deeper\\c.txt"), "short");
    stage::WriteFile(Path("sub\\b.bin"), "other");
    EXPECT_STREQ("sub\\b.bin", SetupVerdict().name);
    stage::WriteFile(Path("a.txt"), "alpha!");
    EXPECT_STREQ("a.txt", SetupVerdict().name);
    stage::WriteFile(Path("a.txt"), "alpha");
    stage::WriteFile(Path("sub\\b.bin"), std::string("\0\x01\x02zero\0", 8));
    EXPECT_STREQ("sub\\deeper\\c.txt", SetupVerdict().name);
    stage::WriteFile(Path("sub\\deeper\\c.txt"), std::string(70000, 'c'));
    EXPECT_EQ(SealResult::Holds, SetupVerdict().result);

    // A file added after sealing is not checked by Setup.exe: the verification names it
    // and still passes.
    stage::WriteFile(Path("sub\\new.txt"), "new");
    EXPECT_EQ(SealResult::Holds, SetupVerdict().result);
    std::string report;
    EXPECT_EQ(0, Verify(&report));
    EXPECT_NE(std::string::npos, report.find("new.txt: added after sealing")) << report;
}

TEST_F(SealTest, SealingAgainReplacesTheListAndADamagedListRefusesAll) {
    ASSERT_EQ(0, Seal());
    stage::WriteFile(Path("a.txt"), "alpha, changed by the author");
    EXPECT_EQ(2, Verify());
    ASSERT_EQ(0, Seal());
    EXPECT_EQ(0, Verify());
    std::string list = List();
    SealReader reader(list.data(), list.size());
    ASSERT_TRUE(reader.Check());
    EXPECT_EQ(4u, reader.count());  // one list, not two

    // A list edited by hand in the resource: damaged as a whole.
    std::string bad = list.substr(0, list.size() - 3);
    HANDLE update = BeginUpdateResourceA(Exe().c_str(), FALSE);
    ASSERT_TRUE(update);
    ASSERT_TRUE(UpdateResourceA(update, "SEAL", "SEAL", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &bad[0], (DWORD)bad.size()));
    ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
    EXPECT_EQ(SealResult::Damaged, SetupVerdict().result);
    std::string report;
    EXPECT_EQ(2, Verify(&report));
    EXPECT_NE(std::string::npos, report.find("damaged")) << report;
}

TEST_F(SealTest, ASignedSetupLosesItsSignatureAndIsToldSo) {
    std::string image = stage::ReadFile(Exe());
    std::vector<unsigned char> bytes(image.begin(), image.end());
    size_t offset = 0, size = 0, at = 0;
    ASSERT_FALSE(SignatureOf(std::string(bytes.begin(), bytes.end()), &offset, &size, &at));  // as built: unsigned
    // A certificate table at the end, as a signing tool appends it.
    uint32_t pe = *reinterpret_cast<const uint32_t*>(&image[0x3c]);
    uint16_t magic = *reinterpret_cast<const uint16_t*>(&image[pe + 24]);
    size_t directory = pe + 24 + (magic == 0x20b ? 112 : 96) + 4 * 8;
    uint32_t table[2] = {(uint32_t)image.size(), 16};
    memcpy(&image[directory], table, 8);
    image += std::string(16, 'S');
    ASSERT_TRUE(stage::WriteFile(Exe(), image));
    bytes.assign(image.begin(), image.end());
    ASSERT_TRUE(SignatureOf(std::string(bytes.begin(), bytes.end()), &offset, &size, &at));
    EXPECT_EQ(table[0], offset);
    EXPECT_EQ(16u, size);
    EXPECT_EQ(directory, at);
    std::string report;
    ASSERT_EQ(0, Seal(&report)) << report;
    EXPECT_NE(std::string::npos, report.find("signature is gone")) << report;
    std::string sealed = stage::ReadFile(Exe());
    bytes.assign(sealed.begin(), sealed.end());
    EXPECT_FALSE(SignatureOf(std::string(bytes.begin(), bytes.end()), &offset, &size, &at));
    EXPECT_EQ(std::string::npos, sealed.find(std::string(16, 'S')));
    EXPECT_EQ(0, Verify());
    // A table pointing past the file is no signature.
    table[1] = 1u << 30;
    memcpy(&image[directory], table, 8);
    bytes.assign(image.begin(), image.end());
    EXPECT_FALSE(SignatureOf(std::string(bytes.begin(), bytes.end()), &offset, &size, &at));
    bytes.resize(0x50);
    EXPECT_FALSE(SignatureOf(std::string(bytes.begin(), bytes.end()), &offset, &size, &at));
}

TEST_F(SealTest, FoldersWithoutAScriptOrASetupExeAreRefused) {
    DeleteFileA(Path("Setup.ini").c_str());
    std::string report;
    EXPECT_EQ(2, Seal(&report));
    EXPECT_NE(std::string::npos, report.find("Setup.ini is missing")) << report;
    stage::WriteFile(Path("Setup.ini"), "[Setup]\r\n");
    EXPECT_EQ(2, Verify(&report));  // not sealed yet
    EXPECT_NE(std::string::npos, report.find("carries no seal")) << report;
    Findings none;
    CheckSeal(dir_, none);
    EXPECT_EQ(0, none.ExitStatus());  // an unsealed product is no finding
    DeleteFileA(Exe().c_str());
    EXPECT_EQ(2, Seal(&report));
}

}  // namespace
