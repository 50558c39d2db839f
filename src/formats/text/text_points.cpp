// What the text points reader and writer share: layouts, delimiters and the
// text/binary check.
#include <cstring>
#include <optional>

#include "formats/text/text_points.h"
#include "platform/files/file_kind.h"
#include "platform/text/text_rules.h"

namespace tessaly {

std::string_view LayoutName(TextLayout layout)
{
    static constexpr std::array<std::string_view, kTextLayouts.size()> kNames = {
        "PNEZD", "PENZD", "PNEZ", "PENZ", "PNE", "PEN", "NEZ", "ENZ", "NEZD", "ENZD"};
    return kNames[static_cast<size_t>(layout)];
}

std::optional<TextLayout> ParseLayout(std::string_view name)
{
    for (TextLayout layout : kTextLayouts)
        if (SameLetters(name, LayoutName(layout))) return layout;
    return std::nullopt;
}

std::vector<Column> LayoutColumns(TextLayout layout)
{
    std::vector<Column> out;
    for (char c : LayoutName(layout)) {
        switch (c) {
        case 'P': out.push_back(ColPoint); break;
        case 'N': out.push_back(ColNorthing); break;
        case 'E': out.push_back(ColEasting); break;
        case 'Z': out.push_back(ColElevation); break;
        default: out.push_back(ColDescription); break;
        }
    }
    return out;
}

std::string_view DelimiterName(TextDelimiter delimiter)
{
    switch (delimiter) {
    case TextDelimiter::Comma: return "comma";
    case TextDelimiter::Tab: return "tab";
    case TextDelimiter::Semicolon: return "semicolon";
    case TextDelimiter::Blanks: break;
    }
    return "space";
}

char DelimiterChar(TextDelimiter delimiter)
{
    switch (delimiter) {
    case TextDelimiter::Comma: return ',';
    case TextDelimiter::Tab: return '\t';
    case TextDelimiter::Semicolon: return ';';
    case TextDelimiter::Blanks: break;
    }
    return ' ';
}

std::optional<TextDelimiter> ParseDelimiter(std::string_view name)
{
    for (TextDelimiter d : {TextDelimiter::Comma, TextDelimiter::Tab, TextDelimiter::Semicolon, TextDelimiter::Blanks})
        if (SameLetters(name, DelimiterName(d))) return d;
    return std::nullopt;
}

std::optional<std::string> ParseColumnMapping(std::string_view mapping)
{
    std::string out;
    for (char c : mapping) {
        const char u = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (std::string_view("PNEZD-").find(u) == std::string_view::npos) return std::nullopt;
        // D may repeat (descriptions joined) and "-" too; each other once
        if (u != 'D' && u != '-' && out.find(u) != std::string::npos) return std::nullopt;
        out += u;
    }
    if (out.find('N') == std::string::npos || out.find('E') == std::string::npos) return std::nullopt;
    return out;
}

bool LooksLikeText(const std::string& file)
{
    // A file that cannot be read is not claimed: the reader that gets it
    // says why.
    const std::optional<std::string> head = FileHead(file);
    if (!head) return false;
    if (head->starts_with("\xFF\xFE") || head->starts_with("\xFE\xFF")) return true;
    // Text saved by a program that pads or ends with a few NULs is still
    // text; binary numbers are full of control bytes.
    return ControlBytes(*head) * 100 < head->size() || head->empty();
}

TextWriteOptions DefaultTextWriteOptions(const std::string& file)
{
    TextWriteOptions options;
    options.delimiter = EndsWithLetters(file, "csv") ? TextDelimiter::Comma : TextDelimiter::Blanks;
    return options;
}

bool IsColumnsValue(std::string_view text) { return ParseLayout(text) || ParseColumnMapping(text); }

OptionValues TextNameDefaults(const std::string& file)
{
    return {{"delimiter", std::string(DelimiterName(DefaultTextWriteOptions(file).delimiter))}};
}

TextWriteOptions TextWriteOptionsFor(const std::string& file, const OptionValues& values)
{
    TextWriteOptions options = DefaultTextWriteOptions(file);
    if (const std::string* columns = Given(values, "columns")) options.layout = ParseLayout(*columns).value_or(options.layout);
    if (const std::string* delimiter = Given(values, "delimiter"))
        options.delimiter = ParseDelimiter(*delimiter).value_or(options.delimiter);
    options.header = Given(values, "header") != nullptr;
    if (const std::string* encoding = Given(values, "encoding"))
        options.encoding = *encoding == "utf-8" ? TextEncoding::Utf8 : TextEncoding::Cp1252;
    if (Given(values, "lf")) options.lineEnd = TextLineEnd::Lf;
    return options;
}

TextReadOptions TextReadOptionsFor(const OptionValues& values)
{
    TextReadOptions options;
    if (const std::string* columns = Given(values, "input-columns")) {
        // A column order stands where no header line names the columns; a
        // mapping, with columns not read or joined, decides over a header
        // line too.
        if (const std::optional<TextLayout> layout = ParseLayout(*columns)) options.layout = *layout;
        else options.columns = ParseColumnMapping(*columns).value_or(std::string());
    }
    if (const std::string* delimiter = Given(values, "input-delimiter")) options.delimiter = ParseDelimiter(*delimiter);
    if (const std::optional<double> skip = GivenNumber(values, "skip-lines")) options.skipLines = static_cast<int>(*skip);
    return options;
}

}  // namespace tessaly
