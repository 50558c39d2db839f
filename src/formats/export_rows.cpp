#include "formats/export_rows.h"

#include <charconv>
#include <cmath>

#include "platform/text/text_rules.h"

namespace tessaly {

ShortestText::ShortestText(double value)
    : size_(static_cast<size_t>(std::to_chars(chars_.data(), chars_.data() + chars_.size(), value).ptr - chars_.data()))
{
}

std::string Cp1252ReplacedNotice(int64_t n)
{
    if (n == 0) return {};
    return std::to_string(n) + (n == 1 ? " character" : " characters") +
           " that Windows-1252 cannot hold written as \"?\"";
}

bool CoordinateText(const Cell& cell, std::string& out)
{
    if (auto number = std::get_if<double>(&cell)) {
        if (!std::isfinite(*number)) return false;
        out.assign(ShortestText(*number));
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
