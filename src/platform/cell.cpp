#include "platform/cell.h"

#include <cmath>
#include <string_view>

#include "platform/text/text_rules.h"

namespace tessaly {

std::string CellText(const Cell& c)
{
    if (auto s = std::get_if<std::string>(&c)) return *s;
    if (auto d = std::get_if<double>(&c)) return NumberText(*d);
    return {};
}

bool IsNonNumber(const Cell& c)
{
    const auto* s = std::get_if<std::string>(&c);
    if (!s) return false;
    return !TrimBlanksAndTabs(*s).empty() && !CoordinateDigits(*s);
}

std::optional<double> CoordinateValue(const Cell& cell)
{
    if (const double* d = std::get_if<double>(&cell)) {
        if (std::isfinite(*d)) return *d;
        return std::nullopt;
    }
    const std::string* s = std::get_if<std::string>(&cell);
    if (!s) return std::nullopt;
    return CoordinateValue(std::string_view(*s));
}

}  // namespace tessaly
