// Bounded string helpers and the searches that step over double-byte characters.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "script/text.h"

namespace {

// A buffer of Cap usable bytes followed by guard bytes that must survive every call.
template <size_t Cap>
struct Guarded {
    static constexpr size_t kGuard = 16;
    static constexpr char kMark = '\x7E';
    char bytes[Cap + kGuard];
    Guarded() {
        memset(bytes, 'Q', Cap);
        memset(bytes + Cap, kMark, kGuard);
        if (Cap) bytes[0] = 0;
    }
    char* data() { return bytes; }
    bool GuardIntact() const {
        for (size_t i = Cap; i < Cap + kGuard; ++i)
            if (bytes[i] != kMark) return false;
        return true;
    }
};

bool ShiftJis() { return GetOEMCP() == 932; }

// Offset of a found character, -1 for none.
long Offset(const char* text, const char* found) { return found ? (long)(found - text) : -1L; }

}  // namespace

TEST(BoundedCopy, CopiesWhatFitsAndReportsCuts) {
    Guarded<8> b;
    EXPECT_TRUE(CopyBounded(b.data(), 8, "abc"));
    EXPECT_STREQ("abc", b.data());

    EXPECT_TRUE(CopyBounded(b.data(), 8, "abcdefg")) << "7 bytes and the terminator fit in 8";
    EXPECT_STREQ("abcdefg", b.data());

    EXPECT_FALSE(CopyBounded(b.data(), 8, "abcdefghijkl"));
    EXPECT_STREQ("abcdefg", b.data()) << "a long text is cut to capacity - 1 bytes";
    EXPECT_TRUE(b.GuardIntact());

    EXPECT_FALSE(CopyBounded(b.data(), 1, "xyz"));
    EXPECT_STREQ("", b.data()) << "capacity 1 holds only the terminator";

    CopyBounded(b.data(), 8, nullptr);
    EXPECT_STREQ("", b.data()) << "a missing source gives an empty text";

    Guarded<0> none;
    EXPECT_FALSE(CopyBounded(none.data(), 0, "abc"));
    EXPECT_TRUE(none.GuardIntact()) << "capacity 0 must not write a single byte";
}

TEST(BoundedAppend, AppendsWhatFitsAndTerminatesBrokenBuffers) {
    Guarded<8> b;
    CopyBounded(b.data(), 8, "abc");
    EXPECT_TRUE(AppendBounded(b.data(), 8, "de"));
    EXPECT_STREQ("abcde", b.data());
    EXPECT_FALSE(AppendBounded(b.data(), 8, "fghijk"));
    EXPECT_STREQ("abcdefg", b.data());
    EXPECT_FALSE(AppendBounded(b.data(), 8, "x")) << "a full buffer takes nothing more";
    EXPECT_STREQ("abcdefg", b.data());
    EXPECT_TRUE(b.GuardIntact());

    // No terminator within the capacity: the helper terminates at the last byte.
    Guarded<8> broken;
    memset(broken.data(), 'z', 8);
    EXPECT_FALSE(AppendBounded(broken.data(), 8, "a"));
    EXPECT_STREQ("zzzzzzz", broken.data());
    EXPECT_TRUE(broken.GuardIntact());

    Guarded<8> n;
    CopyBounded(n.data(), 8, "ab");
    EXPECT_TRUE(AppendBoundedN(n.data(), 8, "cdef", 2));
    EXPECT_STREQ("abcd", n.data()) << "only n bytes of the source are taken";
    EXPECT_TRUE(AppendBoundedN(n.data(), 8, "e", 10));
    EXPECT_STREQ("abcde", n.data()) << "n beyond the source's end stops at its terminator";
    EXPECT_FALSE(AppendBoundedN(n.data(), 8, "fghij", 4));
    EXPECT_STREQ("abcdefg", n.data());
    EXPECT_TRUE(AppendBoundedN(n.data(), 8, "whatever", 0)) << "zero bytes always fit";
    EXPECT_STREQ("abcdefg", n.data());
    EXPECT_TRUE(n.GuardIntact());
}

TEST(BoundedFormat, FormatsAndCutsWithinCapacity) {
    Guarded<8> b;
    EXPECT_TRUE(FormatBounded(b.data(), 8, "%s-%d", "ab", 12));
    EXPECT_STREQ("ab-12", b.data());
    EXPECT_TRUE(FormatBounded(b.data(), 8, "%d", 1234567));
    EXPECT_STREQ("1234567", b.data());
    EXPECT_FALSE(FormatBounded(b.data(), 8, "%d", 12345678)) << "8 digits need 9 bytes";
    EXPECT_STREQ("1234567", b.data()) << "the cut text stays terminated";
    EXPECT_FALSE(FormatBounded(b.data(), 8, "Menu%d-%s", 3, "long tail"));
    EXPECT_STREQ("Menu3-l", b.data());
    EXPECT_TRUE(b.GuardIntact());

    Guarded<16> i;
    FormatInt(i.data(), 16, 0);
    EXPECT_STREQ("0", i.data());
    FormatInt(i.data(), 16, -2147483647 - 1);
    EXPECT_STREQ("-2147483648", i.data());
    Guarded<4> small;
    FormatInt(small.data(), 4, 12345);
    EXPECT_STREQ("123", small.data());
    EXPECT_TRUE(small.GuardIntact());
}

TEST(CharacterSearch, FindsFirstAndLastOccurrence) {
    const char* path = "C:\\Program Files\\Tool\\a.exe";
    EXPECT_EQ(21, Offset(path, FindLastBackslash(path)));
    EXPECT_EQ(2, Offset(path, FindFirstChar(path, '\\')));
    EXPECT_STREQ("a.exe", LastComponent(path));
    EXPECT_STREQ("", LastComponent("C:\\Tool\\")) << "a trailing backslash leaves an empty name";
    EXPECT_STREQ("plain.txt", LastComponent("plain.txt"));

    const char* tokens = "run %a% 50%";
    EXPECT_EQ(4, Offset(tokens, FindFirstChar(tokens, '%')));
    EXPECT_EQ(10, Offset(tokens, FindLastChar(tokens, '%')));

    EXPECT_EQ(nullptr, FindLastBackslash("no separator"));
    EXPECT_EQ(nullptr, FindFirstChar("", '\\'));
    EXPECT_EQ(nullptr, FindFirstChar(nullptr, '\\'));
    EXPECT_EQ(nullptr, FindLastChar(nullptr, '\\'));
}

TEST(CharacterSearch, SingleByteCodePageTreatsEveryByteAsACharacter) {
    if (ShiftJis()) GTEST_SKIP() << "0x95 is a lead byte on code page 932";
    // 0x95 is an ordinary character here, so 0x5C after it is a backslash.
    const char* path = "C:\\dir\\\x95\x5C" "abc";
    EXPECT_EQ(8, Offset(path, FindLastBackslash(path)));
    EXPECT_STREQ("abc", LastComponent(path));
    const char* name = "\x95\x5C" "x\\y";
    EXPECT_EQ(1, Offset(name, FindFirstChar(name, '\\')));
}

TEST(CharacterSearch, ShiftJisTrailByteIsNeverASeparator) {
    if (!ShiftJis()) GTEST_SKIP() << "double-byte characters exist only on code page 932";
    // 0x95 0x5C is one Shift-JIS character; its trail byte equals a backslash.
    const char* path = "C:\\dir\\\x95\x5C" "abc";
    EXPECT_EQ(6, Offset(path, FindLastBackslash(path))) << "the real separator before the character";
    EXPECT_STREQ("\x95\x5C" "abc", LastComponent(path));

    const char* name = "\x95\x5C" "x\\y";
    EXPECT_EQ(3, Offset(name, FindFirstChar(name, '\\')));

    const char* only = "\x95\x5C";
    EXPECT_EQ(nullptr, FindLastBackslash(only));
    EXPECT_EQ(nullptr, FindFirstChar(only, '\\'));
    EXPECT_STREQ(only, LastComponent(only));

    const char* twice = "a\\\x95\x5C\x95\x5C" "b";
    EXPECT_EQ(1, Offset(twice, FindLastBackslash(twice)));
    EXPECT_STREQ("\x95\x5C\x95\x5C" "b", LastComponent(twice));
}

TEST(CharacterSearch, LoneLeadByteAtTheEndStopsAtTheTerminator) {
    // A cut double-byte character must not make the search step over the terminator.
    const char text[] = {'a', '\x95', 0, '\\', 0};
    EXPECT_EQ(nullptr, FindLastBackslash(text));
    EXPECT_EQ(nullptr, FindFirstChar(text, '\\'));
    EXPECT_STREQ(text, LastComponent(text));
}

TEST(CaseInsensitiveAffixes, CompareByByteLengthIgnoringCase) {
    EXPECT_TRUE(StartsWithNoCase("%WINDOWS%\\Fonts", "%windows%"));
    EXPECT_TRUE(StartsWithNoCase("%Root%", "%root%"));
    EXPECT_FALSE(StartsWithNoCase("%win", "%windows%")) << "a shorter text never matches";
    EXPECT_FALSE(StartsWithNoCase("%windows\\x", "%windows%"));
    EXPECT_FALSE(StartsWithNoCase("x%windows%", "%windows%"));
    EXPECT_TRUE(StartsWithNoCase("anything", ""));

    EXPECT_TRUE(EndsWithNoCase("Setup.INI", ".ini"));
    EXPECT_TRUE(EndsWithNoCase(".ini", ".INI"));
    EXPECT_FALSE(EndsWithNoCase("ini", ".ini"));
    EXPECT_FALSE(EndsWithNoCase("a.ini.bak", ".ini"));
}
