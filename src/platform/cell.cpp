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
    if (t.empty()) return false;
    size_t i = 0;
    auto digits = [&] {
        const size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        return i - from;
    };
    if (t[i] == '+' || t[i] == '-') ++i;
    size_t n = digits();
    if (i < t.size() && t[i] == '.') {
        ++i;
        n += digits();
    }
    if (n == 0) return true;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() == 0) return true;
    }
    return i != t.size();
}

}  // namespace tessaly
