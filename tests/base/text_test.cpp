// Bounded string helpers and the searches that step over double-byte characters.
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include <climits>
#include <string>
#include <windows.h>
#include "base/text.h"

namespace {

// cap bytes holding text, then guard bytes that no call may touch.
struct Buffer {
    size_t cap;
    std::string bytes;
    explicit Buffer(size_t c, const std::string& text = "") : cap(c), bytes(c + 16, '~') {
        size_t n = cap ? std::min(text.size(), cap - 1) : 0;
        memcpy(&bytes[0], text.data(), n);
        if (cap) bytes[n] = 0;
    }
    char* data() { return &bytes[0]; }
    std::string str() const {
        EXPECT_EQ(std::string(16, '~'), bytes.substr(cap)) << "written past the " << cap << "-byte buffer";
        return bytes.c_str();
    }
    // "fit:" or "cut:" by what the call returned, then the text.
    std::string Outcome(bool fit) const { return (fit ? "fit:" : "cut:") + str(); }
};

long Offset(const char* text, const char* found) { return found ? (long)(found - text) : -1L; }

}  // namespace

TEST(BoundedText, CopyAppendAndFormatCutAtTheCapacity) {
    Buffer b(8);
    EXPECT_EQ("fit:abcdefg", b.Outcome(CopyBounded(b.data(), 8, "abcdefg"))) << "7 bytes and the terminator fit";
    EXPECT_EQ("cut:abcdefg", b.Outcome(CopyBounded(b.data(), 8, "abcdefghijkl"))) << "cut to capacity - 1 bytes";
    EXPECT_EQ("cut:", b.Outcome(CopyBounded(b.data(), 1, "xyz"))) << "capacity 1 holds only the terminator";
    CopyBounded(b.data(), 8, "abc");
    CopyBounded(b.data(), 8, nullptr);
    EXPECT_EQ("", b.str()) << "a missing source gives an empty text";
    Buffer none(0);
    EXPECT_FALSE(CopyBounded(none.data(), 0, "abc"));
    none.str();  // capacity 0: not a single byte written

    Buffer a(8, "abc");
    EXPECT_EQ("fit:abcde", a.Outcome(AppendBounded(a.data(), 8, "de")));
    EXPECT_EQ("cut:abcdefg", a.Outcome(AppendBounded(a.data(), 8, "fghijk")));
    EXPECT_EQ("cut:abcdefg", a.Outcome(AppendBounded(a.data(), 8, "x"))) << "a full buffer takes nothing more";
    memset(a.data(), 'z', 8);
    EXPECT_EQ("cut:zzzzzzz", a.Outcome(AppendBounded(a.data(), 8, "a"))) << "unterminated: cut at the last byte";

    Buffer n(8, "ab");
    EXPECT_EQ("fit:abcd", n.Outcome(AppendBoundedN(n.data(), 8, "cdef", 2))) << "only n bytes of the source";
    EXPECT_EQ("fit:abcde", n.Outcome(AppendBoundedN(n.data(), 8, "e", 10))) << "n beyond the source's end";
    EXPECT_EQ("cut:abcdefg", n.Outcome(AppendBoundedN(n.data(), 8, "fghij", 4)));
    EXPECT_EQ("fit:abcdefg", n.Outcome(AppendBoundedN(n.data(), 8, "whatever", 0))) << "zero bytes always fit";

    Buffer f(8);
    EXPECT_EQ("fit:ab-12", f.Outcome(FormatBounded(f.data(), 8, "%s-%d", "ab", 12)));
    EXPECT_EQ("fit:1234567", f.Outcome(FormatBounded(f.data(), 8, "%d", 1234567))) << "an exact fit is no cut";
    EXPECT_EQ("cut:8765432", f.Outcome(FormatBounded(f.data(), 8, "%d", 87654321))) << "cut and still terminated";
    Buffer i(12);
    FormatInt(i.data(), 12, INT_MIN);
    EXPECT_EQ("-2147483648", i.str());
    FormatInt(i.data(), 4, 12345);
    EXPECT_EQ("123", i.str()) << "cut to the capacity given";
}

TEST(CharacterSearch, FindsFirstAndLastOccurrence) {
    const char* path = "C:\\Program Files\\Tool\\a.exe";
    EXPECT_EQ(21, Offset(path, FindLastBackslash(path)));
    EXPECT_EQ(2, Offset(path, FindFirstChar(path, '\\')));
    EXPECT_STREQ("a.exe", LastComponent(path));
    EXPECT_STREQ("", LastComponent("C:\\Tool\\")) << "a trailing backslash leaves an empty name";
    const char* tokens = "run %a% 50%";
    EXPECT_EQ(4, Offset(tokens, FindFirstChar(tokens, '%')));
    EXPECT_EQ(10, Offset(tokens, FindLastChar(tokens, '%')));
    EXPECT_EQ(nullptr, FindFirstChar("", '\\'));
    EXPECT_EQ(nullptr, FindFirstChar(nullptr, '\\'));
    EXPECT_EQ(nullptr, FindLastChar(nullptr, '\\'));
}

// 0x95 0x5C is one character on code page 932, where its trail byte is never a backslash;
// elsewhere it is two characters, the second a backslash.
TEST(CharacterSearch, TrailByte5CIsASeparatorOnlyOnSingleByteCodePages) {
    const bool sjis = GetOEMCP() == 932;
    struct Case { const char* text; long lastSjis, firstSjis, lastOther, firstOther; };
    const Case cases[] = {
        {"C:\\dir\\\x95\x5C" "abc", 6, 2, 8, 2},
        {"\x95\x5C" "x\\y", 3, 3, 3, 1},
        {"\x95\x5C", -1, -1, 1, 1},
        {"a\\\x95\x5C\x95\x5C" "b", 1, 1, 5, 1},
        {"a\x95" "\0\\", -1, -1, -1, -1},  // a cut character must not step over the terminator
    };
    for (const Case& c : cases) {
        long last = sjis ? c.lastSjis : c.lastOther, first = sjis ? c.firstSjis : c.firstOther;
        EXPECT_EQ(last, Offset(c.text, FindLastBackslash(c.text))) << "last in " << c.text;
        EXPECT_EQ(first, Offset(c.text, FindFirstChar(c.text, '\\'))) << "first in " << c.text;
        EXPECT_STREQ(c.text + last + 1, LastComponent(c.text)) << c.text;
    }
}

// A cut never ends in the lead byte of a character whose trail byte did not fit: that
// lone byte would join the terminator, or the next text appended, into a new character.
TEST(BoundedText, CutStepsBackOverAHalfCharacterOnCodePage932) {
    const bool sjis = GetOEMCP() == 932;
    Buffer b(6);
    EXPECT_EQ(sjis ? "cut:ab\x95\x5C" : "cut:ab\x95\x5C\x95", b.Outcome(CopyBounded(b.data(), 6, "ab\x95\x5C\x95\x5C")));
    Buffer a(5, "a");
    EXPECT_EQ(sjis ? "cut:a\x95\x5C" : "cut:a\x95\x5C\x95", a.Outcome(AppendBounded(a.data(), 5, "\x95\x5C\x95\x5C")));
    Buffer c(4);
    EXPECT_EQ("cut:xyz", c.Outcome(CopyBounded(c.data(), 4, "xyz\x95\x5C"))) << "single bytes are cut as before";
}

// A writer keeps its place: appends behave as AppendBounded would, from the text the
// buffer already held, and stop at the capacity.
TEST(BoundedText, WriterAppendsFromWhereTheTextEnds) {
    Buffer b(10, "ab");
    BoundedWriter w(b.data(), 10);
    EXPECT_EQ(2u, w.length());
    EXPECT_TRUE(w.Append("cd"));
    EXPECT_TRUE(w.Append(""));
    EXPECT_FALSE(w.Append("efghijk")) << "cut at the capacity";
    EXPECT_EQ("abcdefghi", b.str());
    EXPECT_EQ(9u, w.length());
    EXPECT_FALSE(w.Append("x")) << "a full buffer takes nothing";
    EXPECT_EQ("abcdefghi", b.str());
    Buffer full(4);
    memset(full.data(), 'z', 4);
    BoundedWriter unterminated(full.data(), 4);
    EXPECT_EQ("zzz", full.str()) << "an unterminated buffer is terminated at its last byte";
    BoundedWriter none(nullptr, 0);
    EXPECT_FALSE(none.Append("x"));
}

TEST(CaseInsensitiveAffixes, CompareByByteLengthIgnoringCase) {
    EXPECT_TRUE(StartsWithNoCase("%WINDOWS%\\Fonts", "%windows%"));
    EXPECT_FALSE(StartsWithNoCase("%win", "%windows%")) << "a shorter text never matches";
    EXPECT_FALSE(StartsWithNoCase("%windows\\x", "%windows%"));
    EXPECT_FALSE(StartsWithNoCase("x%windows%", "%windows%"));
    EXPECT_TRUE(EndsWithNoCase("Setup.INI", ".ini"));
    EXPECT_TRUE(EndsWithNoCase(".ini", ".INI"));
    EXPECT_FALSE(EndsWithNoCase("ini", ".ini"));
    EXPECT_FALSE(EndsWithNoCase("a.ini.bak", ".ini"));
}
