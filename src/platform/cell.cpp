#include "platform/cell.h"

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
    const std::string_view t = TrimBlanksAndTabs(*s);
    return !t.empty() && !IsDecimalNumber(t);
}

}  // namespace tessaly
