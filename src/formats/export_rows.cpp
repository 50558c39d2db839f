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
    return Counted(n, "character", "characters") + " that Windows-1252 cannot hold written as \"?\"";
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
    const std::optional<std::string_view> digits = CoordinateDigits(*text);
    if (!digits) return false;
    out.assign(*digits);
    return true;
}

char32_t NextCharacter(std::string_view text, size_t& i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i++);
    if (lead < 0x80) return lead;
    int more = 0;
    char32_t c = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) more = 1, c = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0) more = 2, c = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0) more = 3, c = lead & 0x07, least = 0x10000;
    else return kMalformed;
    for (; more > 0; --more, ++i) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return kMalformed;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kMalformed;
    return c;
}

}  // namespace tessaly
