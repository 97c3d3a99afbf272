// Text operations: copies and joins, trimming, case, blanks, bytes to text.
#include "hostops_test.h"

using Texts = HostOps;

TEST_F(Texts, CopyJoinAndCompareTreatNullAsEmpty)
{
    EXPECT_EQ("", Take(CopyText(nullptr)));
    EXPECT_EQ("abc", Take(CopyText("abc")));
    EXPECT_EQ("C:\\dir\\x.exe", Take(JoinTexts("C:\\dir\\", "x.exe")));
    EXPECT_EQ("left", Take(JoinTexts("left", nullptr)));
    EXPECT_EQ("right", Take(JoinTexts(nullptr, "right")));
    EXPECT_EQ("", Take(JoinTexts(nullptr, nullptr)));
    EXPECT_EQ("ab", Take(CopyTextBytes("abcdef", 2)));
    EXPECT_EQ(0u, TextLength(nullptr));
    EXPECT_EQ(3u, TextLength("\xD6\xD0z"));
    ExpectNoLeak("copies and joins");

    struct {
        const char *first, *second;
        bool equal;
    } rows[] = {
        {"SYSTEM", "SYSTEM", true}, {"SYSTEM", "system", false}, {"", nullptr, true},  {nullptr, nullptr, true},
        {"a", nullptr, false},      {"ab", "abc", false},        {"abc", "ab", false}, {"\xA1\xA1", "\xA1\xA1", true},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.equal, TextsEqual(row.first, row.second))
            << Shown(row.first ? row.first : "(null)") << " vs " << Shown(row.second ? row.second : "(null)");
}

TEST_F(Texts, TrimText)
{
    struct {
        std::string input, expected;
    } rows[] = {
        {"", ""},
        {"abc", "abc"},
        {"  abc  ", "abc"},
        {"a b  c", "a b  c"},                           // blanks inside stay
        {"\tabc\t", "\tabc\t"},                         // a tab is no blank
        {"   ", ""},                                    // blanks only
        {" \xA1\xA1 \xA1\xA1 ", ""},                    // spaces and full-width spaces only
        {"\xA1\xA1x\xA1\xA1", "x"},                     // full-width spaces at either end
        {"\xA1\xA1\xA1\xA1\xD6\xD0 \xA1\xA1", "\xD6\xD0"},
        {"x\xD6\xD0  ", "x\xD6\xD0"},                   // keeps both bytes of the last character
        {"x\xC4\xA1 ", "x\xC4\xA1"},                    // ...also when its second byte is 0xA1
        {"x\xC4\xA1\xA1\xA1 ", "x\xC4\xA1"},            // 0xA1 0xA1 after a whole character is a blank
        {"x\xC4\xA1\xA1 ", "x\xC4\xA1\xA1 "},           // ...but 0xA1 0xA1 across two characters is not,
                                                        // and the lead byte 0xA1 takes the space along
        {"\xB0\x20 ", "\xB0\x20"},                      // a second byte 0x20 is part of the character
        {" ab\x81", "ab\x81"},                          // a lone lead byte at the end
        {"\x81", "\x81"},
        {"\xA1", "\xA1"},                               // half a full-width space
        {" \xA1", "\xA1"},
    };
    for (const auto &row : rows) {
        std::string got = Take(TrimText(row.input.c_str()));
        EXPECT_EQ(row.expected, got) << "TrimText(" << Shown(row.input) << "): expected " << Shown(row.expected)
                                     << ", got " << Shown(got);
    }
    EXPECT_EQ("", Take(TrimText(nullptr)));
    ExpectNoLeak("TrimText");
}

TEST_F(Texts, CaseChangesOnlyAsciiLetters)
{
    struct {
        std::string input, upper, lower;
    } rows[] = {
        {"", "", ""},
        {"System", "SYSTEM", "system"},
        {"az@[`{AZ09", "AZ@[`{AZ09", "az@[`{az09"},
        // The second byte of a double-byte character in the letter range stays.
        {"\xB0" "a\xC4" "Z", "\xB0" "a\xC4" "Z", "\xB0" "a\xC4" "Z"},
        {"x\xB0" "ay", "X\xB0" "aY", "x\xB0" "ay"},
        {"\xD6\xD0" "Ab", "\xD6\xD0" "AB", "\xD6\xD0" "ab"},
        {"q\x81", "Q\x81", "q\x81"}, // a lone lead byte at the end
        {"\x7F\x80\x80" "a", "\x7F\x80\x80" "A", "\x7F\x80\x80" "a"},
    };
    for (const auto &row : rows) {
        std::string upper = Take(ToUpperText(row.input.c_str()));
        std::string lower = Take(ToLowerText(row.input.c_str()));
        EXPECT_EQ(row.upper, upper) << "ToUpperText(" << Shown(row.input) << "): expected " << Shown(row.upper)
                                    << ", got " << Shown(upper);
        EXPECT_EQ(row.lower, lower) << "ToLowerText(" << Shown(row.input) << "): expected " << Shown(row.lower)
                                    << ", got " << Shown(lower);
    }
    EXPECT_EQ("", Take(ToUpperText(nullptr)));
    ExpectNoLeak("case");
}

TEST_F(Texts, BlankText)
{
    struct {
        long count;
        size_t spaces;
    } rows[] = {{1, 1}, {3, 3}, {255, 255}, {0, 0}, {-1, 0}, {-2147483647L - 1, 0}};
    for (const auto &row : rows)
        EXPECT_EQ(std::string(row.spaces, ' '), Take(BlankText(row.count))) << "BlankText(" << row.count << ")";
    ExpectNoLeak("BlankText");
}

TEST_F(Texts, TextFromBytes)
{
    struct {
        std::string bytes, expected;
    } rows[] = {
        {"", ""},
        {std::string("\0abc", 4), ""},
        {"quench.exe", "quench.exe"}, // no zero byte: all of them
        {std::string("ab\0cd\0", 6), "ab"},
        {std::string("\xD6\xD0\0\0", 4), "\xD6\xD0"},
    };
    for (const auto &row : rows) {
        ByteArray array = {(const BYTE *)row.bytes.data(), (DWORD)row.bytes.size()};
        std::string got = Take(TextFromBytes(array));
        EXPECT_EQ(row.expected, got) << "TextFromBytes(" << Shown(row.bytes) << ")";
    }
    // Counted, not terminated: no byte past the count is read.
    const BYTE unterminated[] = {'a', 'b', 'c'};
    EXPECT_EQ("ab", Take(TextFromBytes(ByteArray{unterminated, 2})));
    EXPECT_EQ("", Take(TextFromBytes(ByteArray{nullptr, 0})));
    ExpectNoLeak("TextFromBytes");
}
