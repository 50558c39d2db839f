#include "formats/export_rows.h"

#include <array>
#include <charconv>
#include <cmath>

#include "platform/text/text_rules.h"

namespace tessaly {

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
    if (!IsCoordinateNumber(t)) return false;
    out.assign(t);
    return true;
}

bool IsCoordinateNumber(std::string_view t)
{
    // The form alone lets 1E999 through; the value must be a finite double.
    // Without an exponent a number of up to 300 characters always is one.
    if (t.size() <= 300 && t.find_first_of("eE") == std::string_view::npos) return IsDecimalNumber(t);
    return DecimalValue(t).has_value();
}

}  // namespace tessaly
