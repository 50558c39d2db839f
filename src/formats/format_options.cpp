#include "formats/format_options.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const size_t end = std::min(text.find(' '), text.size());
        if (end > 0) words.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return words;
}

// "a, b or c"
std::string Alternatives(const std::vector<std::string_view>& words)
{
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) out += i + 1 == words.size() ? " or " : ", ";
        out += words[i];
    }
    return out;
}

// The shortest text of a range end: "1000000", "0.001".
std::string RangeText(double value)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
    return std::string(buffer, end);
}

std::optional<double> Number(std::string_view text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}
}  // namespace

std::optional<std::string> CheckedValue(const FormatOption& option, std::string_view value, std::string& why)
{
    using Kind = FormatOption::Kind;
    const std::string expected = *option.expected ? std::string("not ") + option.expected : std::string();
    switch (option.kind) {
    case Kind::Flag: return std::string("yes");
    case Kind::Unit:
    case Kind::Choice: {
        const std::vector<std::string_view> words =
            Words(option.kind == Kind::Unit ? std::string_view("metre us-foot foot") : option.values);
        // In any letter case: pnezd is the column order PNEZD.
        for (std::string_view word : words)
            if (SameLetters(word, value)) return std::string(word);
        why = expected.empty() ? "use " + Alternatives(words) : expected;
        return std::nullopt;
    }
    case Kind::Number:
    case Kind::Integer: {
        const std::optional<double> number = Number(value);
        const bool whole = option.kind == Kind::Integer;
        if (number && *number >= option.min && *number <= option.max && (!whole || std::floor(*number) == *number))
            return std::string(value);
        why = !expected.empty() ? expected
                                : std::string(whole ? "not a whole number" : "not a number") + " from " +
                                      RangeText(option.min) + " to " + RangeText(option.max);
        return std::nullopt;
    }
    case Kind::Text:
        if (!option.valid || option.valid(value)) return std::string(value);
        why = expected.empty() ? "not a valid value" : expected;
        return std::nullopt;
    }
    return std::nullopt;
}

const std::string* Given(const OptionValues& values, std::string_view name)
{
    const auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<double> GivenNumber(const OptionValues& values, std::string_view name)
{
    const std::string* text = Given(values, name);
    return text ? Number(*text) : std::nullopt;
}

const FormatOption* FindOption(std::span<const FormatOption> options, std::string_view name)
{
    for (const FormatOption& option : options)
        if (name == option.name) return &option;
    return nullptr;
}

}  // namespace tessaly
