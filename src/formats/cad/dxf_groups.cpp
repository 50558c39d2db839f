#include "formats/cad/dxf_groups.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly::dxf {

namespace {
constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";

// A text for a message: at most 40 characters, control bytes as "?".
std::string Shown(std::string_view text)
{
    std::string out(text.substr(0, 40));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return "\"" + out + (text.size() > 40 ? "...\"" : "\"");
}

// Decodes "%%" control codes: "%%%" is "%", %%d, %%p and %%c the degree,
// plus-minus and diameter signs, %%nnn the character of that code; the
// underline and overline switches are dropped. RAW is in the drawing's code
// page, so is the result.
std::string ControlCodes(std::string_view raw, bool utf8)
{
    if (raw.find("%%") == std::string_view::npos) return std::string(raw);
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        if (raw.substr(i, 2) != "%%" || i + 2 >= raw.size()) {
            out += raw[i++];
            continue;
        }
        const char c = raw[i + 2];
        const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (c == '%') out += '%';
        else if (lower == 'd') out += utf8 ? "\xC2\xB0" : "\xB0";
        else if (lower == 'p') out += utf8 ? "\xC2\xB1" : "\xB1";
        else if (lower == 'c') out += utf8 ? "\xC3\x98" : "\xD8";
        else if (lower == 'u' || lower == 'o' || lower == 'k') {
        } else if (i + 4 < raw.size() && std::isdigit(static_cast<unsigned char>(c)) &&
                   std::isdigit(static_cast<unsigned char>(raw[i + 3])) &&
                   std::isdigit(static_cast<unsigned char>(raw[i + 4])) && raw.substr(i + 2, 3) < "256") {
            const int code = (c - '0') * 100 + (raw[i + 3] - '0') * 10 + (raw[i + 4] - '0');
            if (code == 0 || (utf8 && code >= 0x80)) {
                out.append(raw.substr(i, 5));
            } else {
                out += static_cast<char>(code);
            }
            i += 5;
            continue;
        } else {
            out.append(raw.substr(i, 3));
        }
        i += 3;
    }
    return out;
}

// The character of "\U+XXXX" at the start of TEXT, or nothing.
std::optional<char32_t> Escape(std::string_view text)
{
    if (text.size() < 7 || text[0] != '\\' || (text[1] != 'U' && text[1] != 'u') || text[2] != '+')
        return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data() + 3, text.data() + 7, value, 16);
    if (ec != std::errc() || end != text.data() + 7 || value == 0) return std::nullopt;
    return static_cast<char32_t>(value);
}

// UTF-8 with every "\U+XXXX" (a pair of them for a character beyond
// U+FFFF) replaced by its character; a lone surrogate stays as written.
std::string Unescaped(std::string_view text)
{
    if (text.find('\\') == std::string_view::npos) return std::string(text);
    std::string out;
    for (size_t i = 0; i < text.size();) {
        std::optional<char32_t> c = Escape(text.substr(i));
        if (c && *c >= 0xD800 && *c < 0xE000) {
            const std::optional<char32_t> low = *c < 0xDC00 ? Escape(text.substr(i + 7)) : std::nullopt;
            if (low && *low >= 0xDC00 && *low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((*c - 0xD800) << 10) + (*low - 0xDC00));
                i += 14;
                continue;
            }
            c.reset();
        }
        if (c) {
            AppendUtf8(out, *c);
            i += 7;
        } else {
            out += text[i++];
        }
    }
    return out;
}
}  // namespace

Groups::Read Groups::Next(int& code, std::string& value, bool& cut)
{
    code = -1;
    if (!lines_.Read(codeLine_)) return Read::End;
    if (lines_.Line() == 1) {
        if (codeLine_.starts_with("\xEF\xBB\xBF")) codeLine_.erase(0, 3);
        if (codeLine_.starts_with(kBinarySentinel)) {
            problem_ = "a binary DXF drawing; save it as ASCII DXF to read its points";
            return Read::Broken;
        }
    }
    const std::string_view trimmed = TrimBlanksAndTabs(codeLine_);
    int group = 0;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), group);
    if (trimmed.empty() || ec != std::errc() || end != trimmed.data() + trimmed.size()) {
        problem_ = "line " + std::to_string(lines_.Line()) + ": " + Shown(codeLine_) + " is not a DXF group code";
        if (lines_.Line() == 1) problem_ += ": not a DXF drawing";
        return Read::Broken;
    }
    code = group;
    if (!lines_.Read(value)) {
        problem_ = "the file ends in the middle of a group (line " + std::to_string(lines_.Line()) + ")";
        return Read::Broken;
    }
    cut = lines_.Cut();
    return Read::Group;
}

// A text that is UTF-8 with characters beyond ASCII is taken as UTF-8 in a
// drawing of any release: programs that write older releases put UTF-8 in
// them too, and Windows-1252 text is hardly ever valid UTF-8.
std::string DecodedText(const std::string& raw, bool utf8Drawing)
{
    Utf8Check check;
    check.Feed(raw);
    const bool utf8 = check.Valid() && (utf8Drawing || check.HasHighBytes());
    const std::string text = ControlCodes(raw, utf8);
    return Unescaped(utf8 ? text : Cp1252ToUtf8(text));
}

}  // namespace tessaly::dxf
