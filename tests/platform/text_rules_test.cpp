#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cstdio>
#include <random>
#include <vector>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "formats/strip_nul.h"
#include "platform/text/text_rules.h"

using namespace tessaly;

TEST(NumberText, GeneralForm)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {250, "250"},
        {250.75, "250.75"},
        {-12.25, "-12.25"},
        {0.5, "0.5"},
        {-0.0, "0"},
        {100.0, "100"},
        {1e16, "1E+16"},
        {1.5e-5, "1.5E-05"},
        {0.0001, "0.0001"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E+15"},
        {99.99999999999864, "99.9999999999986"},
        {0.1 + 0.2, "0.3"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {std::numeric_limits<double>::infinity(), "Infinity"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.text;
}

TEST(NumberText, MatchesPrintfGeneralFormWithFifteenDigits)
{
    // Short decimals take a fast path; it must agree with the general
    // conversion everywhere, at the edges of %G's fixed range included.
    std::vector<double> values = {0.0001,  0.00009999999999999999, 0.000099999, 1e15,       999999999999999.0,
                                  999999999999999.9, 99.99999999999999, 0.1 + 0.2, 1e-4 * 3, 5000.125,
                                  123456789.987654321, 0.30000000000000004, 1e14, 4503599627370497.0};
    std::mt19937_64 rng(3);
    for (int i = 0; i < 200000; ++i) {
        const double scale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
        int64_t whole = static_cast<int64_t>(rng() % 2000000000000000ull) >> (rng() % 50);
        values.push_back((i % 2 ? -1.0 : 1.0) * static_cast<double>(whole) / scale[rng() % 11]);
        double any = std::bit_cast<double>(rng());
        if (std::isfinite(any)) values.push_back(any);
    }
    for (double v : values) {
        if (v == 0) continue;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15G", v);
        ASSERT_EQ(NumberText(v), buf) << std::hexfloat << v;
    }
}

TEST(NumberText, IgnoresTheProcessLocale)
{
    // A German locale writes 250,75 through printf; the number text must not.
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    EXPECT_EQ(NumberText(250.75), "250.75");
    EXPECT_DOUBLE_EQ(LeadingNumber("250.75"), 250.75);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(LeadingNumber, TakesTheNumberAtTheStart)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"123.500", 123.5},
        {"12.5 ft", 12.5},
        {"", 0},
        {"   ", 0},
        {"N/A", 0},
        {"abc", 0},
        {"-1", -1},
        {"+7", 7},
        {"1 2 3", 123},
        {"\t-\n4 . 5", -4.5},
        {"1.2.3", 1.2},
        {".5", 0.5},
        {"5.", 5},
        {"-", 0},
        {"1E3", 1000},
        {"1e-2x", 0.01},
        {"2E", 2},
        {"2E+", 2},
        {"12ft", 12},
        {"1,5", 1},
        {"1e999", HUGE_VAL},
        {"1e-999", 0},
        {"+.5", 0.5},
        {"  -7 .5", -7.5},
        {"-.", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(DecimalValue, TooSmallIsZeroTooLargeIsNothing)
{
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"1e-400", 0.0},           {"-1e-400", -0.0},         {"0.0001e-330", 0.0},  {"1e999", std::nullopt},
        {"-1E+999", std::nullopt}, {"12.5e-1", 1.25},         {"0e-99999", 0.0},     {"1e-x", std::nullopt},
        {"1e308", 1e308},
    };
    for (const auto& c : cases) EXPECT_EQ(DecimalValue(c.text), c.value) << c.text;
    EXPECT_EQ(DecimalValue("1" + std::string(400, '0') + "e-1"), std::nullopt) << "too large, negative exponent";
}

TEST(TrimBlanks, RemovesOnlyCode32)
{
    EXPECT_EQ(TrimBlanks("  ABC  "), "ABC");
    EXPECT_EQ(TrimBlanks("\tABC\t"), "\tABC\t");
    EXPECT_EQ(TrimBlanks("    "), "");
    EXPECT_EQ(TrimBlanks(std::string_view("\0A \0", 4)), std::string_view("\0A \0", 4));
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(32767.5), 32768);
}

TEST(StripNul, CutsAtNulOrTrimsBlanks)
{
    using namespace std::string_view_literals;
    const struct {
        std::string_view field, result;
    } cases[] = {
        {"ABC\0XYZ"sv, "ABC"sv},
        {"  ABC  "sv, "ABC"sv},
        {"ABC  \0"sv, "ABC  "sv},
        {"\0ABC"sv, ""sv},
        {"                                "sv, ""sv},
        {""sv, ""sv},
        {"\tABC\t"sv, "\tABC\t"sv},
        {"  ABC\0  "sv, "  ABC"sv},
    };
    for (const auto& c : cases) EXPECT_EQ(StripNul(c.field), c.result);
}

TEST(RoundDecimalText, RoundsTheDecimalDigitsExactly)
{
    const struct {
        const char* text;
        int places;
        const char* shown;
    } cases[] = {
        {"1211.545", 2, "1211.55"},  // a binary double would make it ...54
        {"2.675", 2, "2.68"},
        {"1211.544999", 2, "1211.54"},
        {"-1211.545", 2, "-1211.55"},
        {"5000", 3, "5000.000"},
        {"1211.54", 3, "1211.540"},
        {"1211.54", 0, "1212"},
        {"99.995", 2, "100.00"},
        {"9.5", 0, "10"},
        {"-0.5", 0, "-1"},
        {"0.49", 0, "0"},
        {"0.005", 2, "0.01"},
        {"-0.004", 2, "0.00"},
        {"-0", 1, "0.0"},
        {".5", 1, "0.5"},
        {"5.", 1, "5.0"},
        {"007.25", 1, "7.3"},
        {"+3.14159", 4, "+3.1416"},
        {" 12.5\t", 0, "13"},
        {"0.12345678901234567890", 4, "0.1235"},
        {"1.5E-05", 2, "0.00"},
        {"5e-3", 2, "0.01"},
        {"1.2345e2", 1, "123.5"},
        {"1E+16", 1, "10000000000000000.0"},
        {"1E-999999999999", 2, "0.00"},
        // Left as they are.
        {"1E+999", 2, "1E+999"},
        {"1211.545", -1, "1211.545"},
        {"N/A", 2, "N/A"},
        {" 12,5", 2, " 12,5"},
        {"1.2.3", 2, "1.2.3"},
        {"1e", 2, "1e"},
        {"-", 2, "-"},
        {"NaN", 2, "NaN"},
        {"", 2, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundDecimalText(c.text, c.places), c.shown) << c.text << " to " << c.places;
}
