#include <gtest/gtest.h>

#include <limits>

#include "mdb_helper/database_text.h"

using namespace tessaly;

TEST(DatabaseText, SingleHasSevenSignificantDigits)
{
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {100.1f, "100.1"},
        {-0.3f, "-0.3"},
        {12345.678f, "12345.68"},
        {1234567.0f, "1234567"},
        {16777216.0f, "1.677722E+07"},
        {1.5e-5f, "1.5E-05"},
        {0.0001f, "0.0001"},
        {0.0f, "0"},
        {-0.0f, "0"},
        {std::numeric_limits<float>::max(), "3.402823E+38"},
        {std::numeric_limits<float>::infinity(), "Infinity"},
        {std::numeric_limits<float>::quiet_NaN(), "NaN"},
    };
    for (const auto& c : cases) EXPECT_EQ(SingleText(c.value), c.text) << c.value;
}

TEST(DatabaseText, Dates)
{
    const double second = 1.0 / 86400;
    const struct {
        double days;
        const char* text;
    } cases[] = {
        {0, "1899-12-30"},
        {45366 + 14.5 / 24, "2024-03-15 14:30:00"},
        {36525, "1999-12-31"},
        {36925 + (4 * 3600 + 5 * 60 + 6) * second, "2001-02-03 04:05:06"},
        {60, "1900-02-28"},
        {36585, "2000-02-29"},
        // Before day 0 the fraction still counts forward from midnight.
        {-1.25, "1899-12-29 06:00:00"},
        {-0.5, "1899-12-30 12:00:00"},
        // The time is rounded to the second, up to the next midnight.
        {0.5 + 0.4 * second, "1899-12-30 12:00:00"},
        {0.5 + 0.6 * second, "1899-12-30 12:00:01"},
        {1 - 0.1 * second, "1899-12-31"},
        {-1.9999999999, "1899-12-30"},
        // The range Access allows, and beyond it the plain number.
        {-657434, "0100-01-01"},
        {2958465 + 86399 * second, "9999-12-31 23:59:59"},
        {2958466, "2958466"},
        {-657435, "-657435"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {1e300, "1E+300"},
    };
    for (const auto& c : cases) EXPECT_EQ(DateText(c.days), c.text) << c.days;
}
