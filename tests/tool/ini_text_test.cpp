// The script check reads the file's text itself to find lines; what it takes for a
// section's key must be what the profile calls return for it, or every line number
// (and every "never read") would be wrong. Each case is checked against the real calls.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "stage.h"
#include "tool/ini_text.h"

namespace {

struct Probe {
    const char* section;
    const char* key;
    int line;  // where the scanner must find the key read (0: absent)
};

struct Case {
    const char* name;
    std::string text;
    std::vector<Probe> probes;
};

std::string ProfileRead(const std::string& file, const char* section, const char* key, bool* present) {
    char value[1100];
    DWORD n = GetPrivateProfileStringA(section, key, "\x01", value, sizeof value, file.c_str());
    *present = !(n == 1 && value[0] == '\x01');
    return *present ? std::string(value, n) : "";
}

TEST(IniText, KeysAndValuesAreThoseTheProfileCallsRead) {
    const std::vector<Case> cases = {
        {"blanks around names and values, CR LF and LF, blank lines",
         "[Setup]\r\n  Name  =  Tool  \r\n\r\nAuto=1\n\t[Root]\t\nName=%programs%\\Tool\n",
         {{"Setup", "Name", 2}, {"setup", "AUTO", 4}, {"Root", "Name", 6}, {"Root", "Named", 0}}},
        {"the first of duplicated keys and sections wins",
         "[A]\nk=first\nK=second\n[B]\nx=1\n[a]\nk=third\nnew=only in the second [A]\n",
         {{"A", "k", 2}, {"B", "x", 5}, {"A", "new", 0}}},
        {"quotes dropped in pairs only",
         "[Q]\nd=\"quoted\"\ns='single'\nhalf=\"open\nmixed=\"a'\nempty=\"\"\none=\"\ninner=\"a\" b \"c\"\nsp=  \"x\"  \n",
         {{"Q", "d", 2}, {"Q", "s", 3}, {"Q", "half", 4}, {"Q", "mixed", 5}, {"Q", "one", 7}, {"Q", "inner", 8},
          {"Q", "sp", 9}}},
        {"comments, lines without '=', lines before the first section",
         "top=1\n; [Hidden]\n[C]\n;k=v\nword\n[D\nk=in C still\n=empty name\nk2 = v2\n",
         {{"C", "k", 7}, {"C", "k2", 9}, {"C", "word", 0}, {"Hidden", "k", 0}, {"D", "k", 0}}},
        {"section headers: the last bracket, text after it, blanks inside",
         "[ S ]\nk=1\n[T]]\nt=2\n[U] ; note\nu=3\n[V]x\nv=4\n",
         {{"S", "k", 2}, {"T]", "t", 4}, {"T", "t", 0}, {"U", "u", 6}, {"V", "v", 8}}},
        {"key names keep inner blanks and special characters",
         "[K]\nkey with space=a\nk;x=b\n\"q\"=c\n[x=1\n",
         {{"K", "key with space", 2}, {"K", "k;x", 3}, {"K", "\"q\"", 4}, {"K", "[x", 5}}},
        {"a value of 300 characters",
         "[L]\nv=" + std::string(300, 'x') + "\n",
         {{"L", "v", 2}}},
    };
    const std::string file = "C:\\unit\\ini-text.ini";
    for (const Case& c : cases) {
        ASSERT_TRUE(stage::WriteFile(file, c.text));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());  // no cached copy of the last case
        IniFile ini = ParseIni(c.text.data(), c.text.size());
        for (const Probe& p : c.probes) {
            bool present = false;
            std::string expected = ProfileRead(file, p.section, p.key, &present);
            const IniKey* key = ini.Find(p.section, p.key);
            EXPECT_EQ(present, key != nullptr) << c.name << ": [" << p.section << "] " << p.key
                                               << (present ? " is read, the scanner finds no such key"
                                                           : " is not read, the scanner finds it");
            if (!key) {
                EXPECT_EQ(p.line, 0) << c.name << ": [" << p.section << "] " << p.key << " expected at line " << p.line;
                continue;
            }
            EXPECT_EQ(ReadValue(key->value), expected) << c.name << ": [" << p.section << "] " << p.key;
            EXPECT_EQ(key->line, p.line) << c.name << ": line of [" << p.section << "] " << p.key;
        }
    }
}

TEST(IniText, NotesMarkWhatIsNeverRead) {
    const std::string text = "\xEF\xBB\xBFtop=1\n[A]\nword only\n[Open\nk=v\n[A]\nx=1\n";
    IniFile ini = ParseIni(text.data(), text.size());
    std::vector<std::pair<IniNoteKind, int>> expected = {
        {IniNoteKind::ByteOrderMark, 1}, {IniNoteKind::OutsideSection, 1}, {IniNoteKind::NoEquals, 3},
        {IniNoteKind::OpenBracket, 4}};
    ASSERT_EQ(ini.notes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ini.notes[i].kind, expected[i].first) << "note " << i;
        EXPECT_EQ(ini.notes[i].line, expected[i].second) << "note " << i;
    }
    ASSERT_EQ(ini.sections.size(), 2u);
    EXPECT_EQ(ini.sections[1].firstOf, 0) << "the second [A] points at the first";
    EXPECT_EQ(ini.Find("A", "x"), nullptr) << "a key of the second [A] is never read";
    EXPECT_EQ(ini.LineOf("A", nullptr), 2);
    EXPECT_EQ(ini.LineOf("A", "k"), 5) << "k follows the open bracket line inside the first [A]";
}

TEST(IniText, BracketsAreCharactersNotTrailBytes) {
    // 0x81 0x5D is one character in Shift-JIS (whose second byte is ']') and two in
    // other code pages: which ']' is the last decides the section's name.
    const std::string text = "[Name]\x81\x5D\nk=v\n";
    const std::string file = "C:\\unit\\ini-trail.ini";
    ASSERT_TRUE(stage::WriteFile(file, text));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    IniFile ini = ParseIni(text.data(), text.size());
    ASSERT_EQ(ini.sections.size(), 1u);
    const std::string name = ini.sections[0].name;
    EXPECT_EQ(name, GetACP() == 932 ? "Name" : "Name]\x81") << "code page " << GetACP();
    bool present = false;
    EXPECT_EQ(ProfileRead(file, name.c_str(), "k", &present), "v");
    EXPECT_TRUE(present) << "the profile calls know no section named as the scanner names it";
}

}  // namespace
