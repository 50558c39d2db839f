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
    std::string_view t = *s;
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return !t.empty() && !IsDecimalNumber(t);
}

}  // namespace tessaly
