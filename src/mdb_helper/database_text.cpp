#include "mdb_helper/database_text.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/text/text_rules.h"

namespace tessaly {

std::string SingleText(float value)
{
    if (!std::isfinite(value) || value == 0) return NumberText(value);
    return GeneralForm(value, 7);
}

namespace {
// First and last day Access can hold: 100-01-01 and 9999-12-31.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465;
// 1899-12-30, day 0 of Access dates, counted from 1970-01-01.
constexpr int64_t kDayZero = -25569;

struct Civil {
    int64_t year;
    unsigned month, day;
};

// Proleptic Gregorian date of a day counted from 1970-01-01.
Civil CivilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}
}  // namespace

std::string DateText(double days)
{
    if (!(days >= kFirstDay && days < kLastDay + 1)) return NumberText(days);
    const double whole = std::trunc(days);
    auto day = static_cast<int64_t>(whole);
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
    if (seconds >= 86400) {  // rounds up to the next midnight
        seconds -= 86400;
        ++day;
    }
    const Civil c = CivilFromDays(day + kDayZero);
    std::array<char, 48> buf{};
    int n;
    if (seconds == 0) {
        n = std::snprintf(buf.data(), buf.size(), "%04lld-%02u-%02u", static_cast<long long>(c.year), c.month,
                          c.day);
    } else {
        n = std::snprintf(buf.data(), buf.size(), "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(c.year),
                          c.month, c.day, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                          static_cast<int>(seconds % 60));
    }
    return std::string(buf.data(), static_cast<size_t>(n));
}

}  // namespace tessaly
