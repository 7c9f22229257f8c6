// The listings the before-and-after comparisons rest on: a listing that lost a value,
// a type or a subtree would let every such comparison pass.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "listing.h"
#include "stage.h"
#include "ui_driver.h"

namespace {

const char kTestKey[] = "Software\\SetupListingTest";

std::vector<BYTE> Utf16(const wchar_t* text, size_t charsWithZeros) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(p, p + charsWithZeros * sizeof(wchar_t));
}

TEST(Listing, ValueDetailsTellTypesAndBytesApart) {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        const char* want;
    } cases[] = {
        {"text with its zero", REG_SZ, Utf16(L"abc", 4), "sz:abc"},
        {"only the zero", REG_SZ, Utf16(L"", 1), "sz:"},
        {"no zero", REG_SZ, Utf16(L"ab", 2), "type 1:61006200"},
        {"bytes after the zero", REG_SZ, Utf16(L"a\0b", 4), "type 1:6100000062000000"},
        {"two zeros", REG_SZ, Utf16(L"a\0", 3), "type 1:610000000000"},
        {"odd size", REG_SZ, {0x61, 0, 0}, "type 1:610000"},
        {"empty", REG_SZ, {}, "type 1:"},
        {"expandable", REG_EXPAND_SZ, Utf16(L"%TEMP%", 7), "expand_sz:%TEMP%"},
        {"number", REG_DWORD, {7, 0, 0, 0}, "dword:7"},
        {"short number", REG_DWORD, {1, 2, 3}, "type 4:010203"},
        {"binary", REG_BINARY, {0x00, 0xff}, "type 3:00ff"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listing::ValueDetail(c.type, c.data.data(), (DWORD)c.data.size()), c.want) << c.what;
    EXPECT_EQ(listing::Data("sz:a:b"), "a:b");
    EXPECT_EQ(listing::Data("dword:7"), "7");
}

// A key with values, a subkey, a path longer than the narrow calls take, and a subtree to skip.
TEST(Listing, KeysListEveryValueAndSubkeyAndTheirDifferences) {
    stage::DeleteRegTree(HKEY_CURRENT_USER, kTestKey);
    const std::string key = kTestKey, deep = key + "\\Sub\\" + std::string(250, 'd');
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, kTestKey, "Name", "One"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, (key + "\\Sub").c_str(), "", "default"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, (key + "\\Skipped").c_str(), "x", "y"));
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ui::Widen(deep.c_str()).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD number = 12;
    RegSetValueExW(k, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(k);

    listing::KeyOptions options;
    options.skip = [](const std::string& path) { return path == "HKEY_CURRENT_USER\\Software\\SetupListingTest\\Skipped"; };
    const std::string root = "HKEY_CURRENT_USER\\" + key;
    const listing::Entries want = {
        {"key " + root, ""},
        {"value " + root + " | Name", "sz:One"},
        {"key " + root + "\\Sub", ""},
        {"value " + root + "\\Sub | ", "sz:default"},
        {"key HKEY_CURRENT_USER\\" + deep, ""},
        {"value HKEY_CURRENT_USER\\" + deep + " | Count", "dword:12"},
    };
    const listing::Entries before = listing::Keys(HKEY_CURRENT_USER, {kTestKey}, options);
    EXPECT_EQ(listing::Text(before), listing::Text(want));

    listing::KeyOptions lower = options;
    lower.lowerCase = true;
    lower.skip = [](const std::string& path) { return path == "hkey_current_user\\software\\setuplistingtest\\skipped"; };
    const listing::Entries folded = listing::Keys(HKEY_CURRENT_USER, {kTestKey}, lower);
    EXPECT_EQ(folded.count("value hkey_current_user\\software\\setuplistingtest | name"), 1u) << listing::Text(folded);
    EXPECT_EQ(folded.size(), want.size()) << "the skipped subtree is left out in lower case too";

    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, kTestKey, "Name", "Two"));
    ASSERT_TRUE(stage::SetRegString(HKEY_CURRENT_USER, kTestKey, "Added", "new"));
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, ui::Widen(deep.c_str()).c_str()), ERROR_SUCCESS);
    const listing::Entries after = listing::Keys(HKEY_CURRENT_USER, {kTestKey}, options);
    const std::string goneKey = "  gone:    key HKEY_CURRENT_USER\\" + deep + "\n",
                      changed = "  changed: value " + root + " | Name (sz:One -> sz:Two)\n",
                      goneValue = "  gone:    value HKEY_CURRENT_USER\\" + deep + " | Count\n";
    EXPECT_EQ(listing::Difference(before, after),
              goneKey + changed + goneValue + "  new:     value " + root + " | Added = sz:new\n");
    EXPECT_EQ(listing::Difference(before, after, false), goneKey + changed + goneValue);
    EXPECT_EQ(listing::Difference(before, after, true, 2), goneKey + changed + "  ... 2 more\n");
    EXPECT_EQ(listing::Difference(after, after), "");
    EXPECT_EQ(listing::Text(listing::Added(before, after)),
              "value " + root + " | Added = sz:new\nvalue " + root + " | Name = sz:Two\n");
    stage::DeleteRegTree(HKEY_CURRENT_USER, kTestKey);
    EXPECT_TRUE(listing::Keys(HKEY_CURRENT_USER, {kTestKey}).empty()) << "a missing key lists nothing";
}

TEST(Listing, FilesWithTheirDetailAndNamesOfOneFolder) {
    const std::string top = "C:\\unit\\listing";
    stage::DeleteTree(top);
    ASSERT_TRUE(stage::WriteFile(top + "\\A.txt", "abc"));
    ASSERT_TRUE(stage::WriteFile(top + "\\Sub\\b.dat", "bytes"));
    ASSERT_TRUE(stage::WriteFile(top + "\\Skip\\c.txt", "c"));
    ASSERT_TRUE(stage::MakeFolders(top + "\\Empty"));

    listing::FileOptions contents;
    contents.detail = listing::FileDetail::Contents;
    contents.skip = [&](const std::string& path) { return path == top + "\\Skip"; };
    EXPECT_EQ(listing::Text(listing::Files(top, contents)),
              "file " + top + "\\A.txt = abc\nfile " + top + "\\Sub\\b.dat = bytes\nfolder " + top + "\\Empty\nfolder " +
                  top + "\\Sub\n");

    listing::FileOptions names;
    names.detail = listing::FileDetail::None;
    names.lowerCase = true;
    EXPECT_EQ(listing::Text(listing::Files(top, names)),
              "file c:\\unit\\listing\\a.txt\nfile c:\\unit\\listing\\skip\\c.txt\nfile c:\\unit\\listing\\sub\\b.dat\n"
              "folder c:\\unit\\listing\\empty\nfolder c:\\unit\\listing\\skip\nfolder c:\\unit\\listing\\sub\n");

    // Size and time: a rewrite of the same size shows, and so does a new time alone.
    const listing::Entries before = listing::Files(top);
    EXPECT_NE(before.at("file " + top + "\\A.txt").find("3 bytes"), std::string::npos) << listing::Text(before);
    ASSERT_TRUE(stage::Touch(top + "\\A.txt", -3600));
    const listing::Entries touched = listing::Added(before, listing::Files(top));
    EXPECT_EQ(touched.size(), 1u) << listing::Text(touched);
    EXPECT_EQ(touched.count("file " + top + "\\A.txt"), 1u) << listing::Text(touched);
    EXPECT_EQ(listing::Difference(before, before), "");

    EXPECT_EQ(listing::Names(top), (std::vector<std::string>{"A.txt", "Empty\\", "Skip\\", "Sub\\"}));
    EXPECT_EQ(listing::Names(top, "*.txt"), std::vector<std::string>{"A.txt"});
    EXPECT_TRUE(listing::Names(top + "\\missing").empty());
    stage::DeleteTree(top);
}

}  // namespace
