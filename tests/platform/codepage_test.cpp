#include <gtest/gtest.h>

#include <string>

#include "platform/text/codepage.h"

using namespace tessaly;
using namespace std::string_literals;

TEST(Codepage, Utf8ToCp1252)
{
    const struct {
        const char* what;
        std::string utf8, cp1252;
    } cases[] = {
        {"ASCII", "IP FOUND, 12", "IP FOUND, 12"},
        {"NUL and controls kept", "a\0\t\r\nb"s, "a\0\t\r\nb"s},
        {"Latin-1 letters", "CAF\xC3\x89 \xC3\xBF", "CAF\xC9 \xFF"},
        {"no-break space", "\xC2\xA0", "\xA0"},
        {"the 80..9F row", "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D\xC5\xB8\xE2\x84\xA2", "\x80\x93\x94\x9F\x99"},
        {"unassigned bytes keep their control characters", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D",
         "\x81\x8D\x8F\x90\x9D"},
        {"other C1 controls have no place", "\xC2\x80\xC2\x9F", "??"},
        {"Greek", "MEMO WITH \xC3\x89 AND \xCE\xA9", "MEMO WITH \xC9 AND ?"},
        {"CJK", "\xE4\xB8\xAD\xE6\x96\x87", "??"},
        {"one ? for a character beyond the BMP", "\xF0\x9F\x98\x80x", "?x"},
        {"stray continuation byte", "a\x80" "b", "a?b"},
        {"sequence cut by the end", "a\xC3", "a?"},
        {"sequence cut by ASCII", "\xE2\x82" "A", "?A"},
        {"overlong slash", "\xC0\xAF", "?"},
        {"overlong three bytes", "\xE0\x80\xAF", "?"},
        {"surrogate half", "\xED\xA0\x80", "?"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "?"},
        {"invalid lead bytes", "\xF8\xFF", "??"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.what;
}

TEST(Codepage, Cp1252ToUtf8)
{
    const struct {
        std::string cp1252, utf8;
    } cases[] = {
        {"A b,", "A b,"},
        {"\x80", "\xE2\x82\xAC"},
        {"\xC9", "\xC3\x89"},
        {"\x81\x9D", "\xC2\x81\xC2\x9D"},
        {"\x9F\xFF", "\xC5\xB8\xC3\xBF"},
        {"\0"s, "\0"s},
        {"twelve bytes\xE9", "twelve bytes\xC3\xA9"},  // past the first eight
    };
    std::string buffer;
    for (const auto& c : cases) {
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252, buffer), c.utf8);
    }
    const std::string ascii = "IP FOUND, NO COPY";
    EXPECT_EQ(Cp1252ToUtf8(ascii, buffer).data(), ascii.data());
}

TEST(Codepage, MendUtf8KeepsValidTextAndCountsWhatItMends)
{
    const struct {
        std::string text, mended;
        int64_t replaced;
    } cases[] = {
        {"plain ?", "plain ?", 0},
        {"\xCE\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80", "\xCE\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80", 0},
        {"a\x80" "b", "a?b", 1},
        {"CAF\xC9", "CAF?", 1},
        {"\xC0\xAF cut \xE2\x82", "? cut ?", 2},
    };
    for (const auto& c : cases) {
        int64_t replaced = 0;
        EXPECT_EQ(MendUtf8(c.text, replaced), c.mended);
        EXPECT_EQ(replaced, c.replaced) << c.text;
    }
}

TEST(Codepage, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Codepage, ReplacementsAreCountedAndUtf8IsCheckedPieceByPiece)
{
    const struct {
        std::string text;
        int64_t replaced;
        bool valid, high;
    } cases[] = {
        {"plain ? text", 0, true, false},
        {"CAF\xC3\x89 \xE2\x82\xAC", 0, true, true},
        {"\xCE\xA9 ? \xE4\xB8\xAD", 2, true, true},
        {"cut \xE2\x82", 1, false, true},
        {"\xC0\xAF overlong", 1, false, true},
        {"CAF\xC9", 1, false, true},
    };
    for (const auto& c : cases) {
        int64_t replaced = 0;
        Utf8ToCp1252(c.text, replaced);
        EXPECT_EQ(replaced, c.replaced) << c.text;
        // Fed one byte at a time, so every sequence is cut between pieces.
        Utf8Check check;
        for (char ch : c.text) check.Feed(std::string_view(&ch, 1));
        EXPECT_EQ(check.Valid(), c.valid) << c.text;
        EXPECT_EQ(check.HasHighBytes(), c.high) << c.text;
        Utf8Check whole;  // and in one piece, ASCII runs taken eight bytes at a time
        whole.Feed(std::string(20, 'a') + c.text + std::string(9, 'z'));
        EXPECT_EQ(whole.Valid(), c.valid) << c.text;
        EXPECT_EQ(whole.HasHighBytes(), c.high) << c.text;
    }
}
