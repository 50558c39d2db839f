#include "formats/export_rows.h"

#include <array>
#include <charconv>
#include <cmath>

#include "platform/text_rules.h"

namespace tessaly {

std::vector<int32_t> RowsToExport(const PointTable& table)
{
    // The one place that decides which rows leave the table.
    std::vector<int32_t> rows(static_cast<size_t>(table.CurrItems()));
    for (int32_t row = 0; row < table.CurrItems(); ++row) rows[static_cast<size_t>(row)] = row;
    return rows;
}

namespace {
bool Digit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with at most one point (at least one digit), optional
// exponent with at least one digit; nothing else.
bool DecimalForm(std::string_view t)
{
    size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    for (; i < t.size() && Digit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && Digit(t[i]); ++i) ++digits;
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t exp = 0;
        for (; i < t.size() && Digit(t[i]); ++i) ++exp;
        if (exp == 0) return false;
    }
    return i == t.size();
}
}  // namespace

bool CoordinateText(const Cell& cell, std::string& out)
{
    if (auto number = std::get_if<double>(&cell)) {
        if (!std::isfinite(*number)) return false;
        std::array<char, 32> buf{};
        auto res = std::to_chars(buf.data(), buf.data() + buf.size(), *number);
        out.assign(buf.data(), res.ptr);
        return true;
    }
    auto text = std::get_if<std::string>(&cell);
    if (!text) return false;
    std::string_view t = TrimBlanks(*text);
    if (!DecimalForm(t)) return false;
    // The form alone lets 1E999 through; the value must be a finite double.
    std::string_view unsigned_t = t.front() == '+' ? t.substr(1) : t;
    double value = 0;
    auto res = std::from_chars(unsigned_t.data(), unsigned_t.data() + unsigned_t.size(), value);
    if (res.ec != std::errc() || !std::isfinite(value)) return false;
    out.assign(t);
    return true;
}

}  // namespace tessaly
