// What the ReadMe dialog reads: the [Readme] page list from one read of its section,
// and the read-me text file with its fall-back to the bare name.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "fixtures.h"
#include "stage.h"
#include "ui/readme_dialog.h"

namespace {

const std::string kFolder = "C:\\readme-unit";

std::string Script(const char* name, const std::vector<std::string>& lines) {
    std::string path = kFolder + "\\" + name;
    stage::MakeFolders(kFolder);
    stage::WriteFile(path, Crlf(lines));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // drop a cached older copy
    return path;
}

std::vector<std::string> Entries(const ReadmePageList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.lines()[i]);
    return out;
}

std::string Text(const UniqueHeapBlock& text) {
    return text ? std::string(static_cast<const char*>(text.get())) : "<none>";
}

// Runs in a folder of its own, so that bare names are looked up there.
struct InFolder {
    explicit InFolder(const std::string& folder) {
        GetCurrentDirectoryA(sizeof previous, previous);
        stage::MakeFolders(folder);
        SetCurrentDirectoryA(folder.c_str());
    }
    ~InFolder() { SetCurrentDirectoryA(previous); }
    char previous[MAX_PATH] = "";
};

TEST(ReadmePageList, ReadsNoEntriesFromTheSectionBoundedByTheKeysPresent) {
    const std::string line259 = "|" + std::string(258, 'L');
    const std::string line300 = "|" + std::string(299, 'M');
    const struct {
        const char* name;
        std::vector<std::string> section;
        std::vector<std::string> entries;
    } cases[] = {
        {"plain.ini", {"No=3", "0=page,install", "1=fill,1", "2=|text, with comma", "3=beyond No"},
         {"page,install", "fill,1", "|text, with comma"}},
        // Missing keys are empty entries; nothing is kept past the highest key present.
        {"gaps.ini", {"No=100000", "0=page,install", "2=fill,2", "4=button1,none"},
         {"page,install", "", "fill,2", "", "button1,none"}},
        {"negative.ini", {"No=-1", "0=page,install"}, {}},
        {"zero.ini", {"No=0", "0=page,install"}, {}},
        {"nono.ini", {"0=page,install"}, {}},
        {"nokeys.ini", {"No=50"}, {}},
        // Cut as a read into 260 bytes cuts: 259 bytes stay whole.
        {"long.ini", {"No=2", "0=" + line259, "1=" + line300}, {line259, line300.substr(0, 259)}},
        // A key written twice: the first one counts; quotes around a value are dropped.
        {"twice.ini", {"No=2", "0=first", "0=second", "1=\"quoted\""}, {"first", "quoted"}},
        {"empty.ini", {"No=2", "0=", "1=fill,1"}, {"", "fill,1"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = {"[Setup]", "Name=x", "[Readme]", "File=ReadMe.Special"};
        lines.insert(lines.end(), c.section.begin(), c.section.end());
        lines.push_back("[After]");
        lines.push_back("5=not in Readme");
        const std::string path = Script(c.name, lines);
        ReadmePageList list;
        ASSERT_TRUE(list.Read(path.c_str())) << c.name;
        EXPECT_EQ(Entries(list), c.entries) << c.name;
        list.Release();
        EXPECT_EQ(list.count(), 0) << c.name << ": released";
    }
    // The list is read again from scratch.
    ReadmePageList list;
    list.Read(Script("again1.ini", {"[Readme]", "No=2", "0=a", "1=b"}).c_str());
    list.Read(Script("again2.ini", {"[Readme]", "No=1", "0=c"}).c_str());
    EXPECT_EQ(Entries(list), std::vector<std::string>{"c"});
}

TEST(ReadmeText, OpensUnderTheBaseFolderThenByTheBareNameAndPreparesTheText) {
    const std::string base = kFolder + "\\installed", here = kFolder + "\\current";
    stage::DeleteTree(base);
    stage::DeleteTree(here);
    InFolder inside(here);
    stage::WriteFile(base + "\\readme.txt", "base copy\nsecond line\r\n");
    stage::WriteFile(base + "\\docs\\guide.txt", "guide\tcolumn");
    stage::WriteFile(here + "\\only-here.txt", "current folder");
    stage::WriteFile(here + "\\empty.txt", "");
    stage::WriteFile(here + "\\binary.bin", std::string("MZ\x01\0\x03\0\0\0\x04", 9));
    stage::WriteFile(base + "\\cut.txt", "under the base");
    const std::string longBase = "C:\\" + std::string(240, 'b');
    const struct {
        std::string file, base, text;
    } cases[] = {
        {"readme.txt", base, "base copy\r\nsecond line\r\n"},
        {"docs\\guide.txt", base, "guide\tcolumn"},
        {"%root%\\readme.txt", base, "base copy\r\nsecond line\r\n"},
        {"!" + base + "\\readme.txt", base, "base copy\r\nsecond line\r\n"},
        // Without a base folder tokens are not expanded: the name as written, then its last part.
        {"!" + base + "\\readme.txt", "", "<none>"},
        // Not under the base folder: the part after the last backslash, in the current folder.
        {"only-here.txt", base, "current folder"},
        {"docs\\sub\\only-here.txt", base, "current folder"},
        {"only-here.txt", "", "current folder"},
        // Without a base folder the name as written; without a backslash no second try.
        {"readme.txt", "", "<none>"},
        {base + "\\readme.txt", "", "base copy\r\nsecond line\r\n"},
        {"missing.txt", base, "<none>"},
        {"docs", base, "<none>"},  // a folder is no read-me
        {"empty.txt", base, ""},
        {"binary.bin", base, "MZ\x01"},
        // Too long under the base folder: never a cut name, only the bare one.
        {std::string(30, 'd') + "\\only-here.txt", longBase, "current folder"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(ReadReadmeText(c.file.c_str(), c.base.c_str())), c.text)
            << "file \"" << c.file << "\", base folder \"" << c.base << "\"";

    // Held by another program without sharing: nothing to show, and no hang.
    {
        LockedFile held(base + "\\readme.txt");
        ASSERT_TRUE(held.held());
        EXPECT_EQ(Text(ReadReadmeText("readme.txt", base.c_str())), "<none>");
    }
    // Held for reading only: it can still be read.
    {
        LockedFile held(base + "\\readme.txt", FILE_SHARE_READ);
        ASSERT_TRUE(held.held());
        EXPECT_EQ(Text(ReadReadmeText("readme.txt", base.c_str())), "base copy\r\nsecond line\r\n");
    }
}

TEST(ReadmeText, ALargeFileIsShownUpToItsLimit) {
    const std::string big = kFolder + "\\big.txt";
    const std::string line = std::string(62, 'x') + "\n";  // 63 bytes, 64 in the text box
    std::string bytes;
    while (bytes.size() < 3 * kMaxReadmeBytes) bytes += line;
    ASSERT_TRUE(stage::WriteFile(big, bytes));
    UniqueHeapBlock text = ReadReadmeText(big.c_str(), "");
    ASSERT_TRUE(text) << "a file over the limit still shows its beginning";
    const std::string shown = Text(text);
    const size_t lines = kMaxReadmeBytes / line.size(), rest = kMaxReadmeBytes % line.size();
    EXPECT_EQ(shown.size(), lines * 64 + rest) << "the first " << kMaxReadmeBytes << " bytes, line ends doubled";
    EXPECT_EQ(shown.substr(0, 128), std::string(62, 'x') + "\r\n" + std::string(62, 'x') + "\r\n");
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, text.get()), 2 * (size_t)kMaxReadmeBytes + 1)
        << "memory bounded by the limit, not by the file";
    stage::DeleteTree(kFolder);
}

}  // namespace
