#include "formats/export_rows.h"

#include <array>
#include <charconv>
#include <cmath>

#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
bool Digit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with at most one point (at least one digit), optional
// exponent with at least one digit; nothing else. EXPONENT tells whether
// there is one.
bool DecimalForm(std::string_view t, bool& exponent)
{
    exponent = false;
    size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    for (; i < t.size() && Digit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && Digit(t[i]); ++i) ++digits;
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        exponent = true;
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
    const std::string_view t = TrimBlanks(*text);
    if (!IsDecimalNumber(t)) return false;
    out.assign(t);
    return true;
}

bool IsDecimalNumber(std::string_view t)
{
    bool exponent = false;
    if (!DecimalForm(t, exponent)) return false;
    // The form alone lets 1E999 through; the value must be a finite double.
    // Without an exponent a number of up to 300 characters always is one.
    if (!exponent && t.size() <= 300) return true;
    if (t.front() == '+') t.remove_prefix(1);
    double value = 0;
    auto res = std::from_chars(t.data(), t.data() + t.size(), value);
    return res.ec == std::errc() && std::isfinite(value);
}

}  // namespace tessaly
