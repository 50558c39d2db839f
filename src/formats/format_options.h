#pragma once
// The options of a format as the format table lists them. The converter's
// command line, its usage text and its check that an option fits the output,
// and the window's export options dialog are all made from these lists, so a
// format declares an option once, beside its reader or writer.
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessaly {

// The options given, each by its name ("delimiter") with its value as it
// is written on the command line ("comma", "3", "PNEZD"); a flag given holds
// "yes". An option that is not given is absent and its default applies.
using OptionValues = std::map<std::string, std::string, std::less<>>;

struct FormatOption {
    enum class Kind {
        Flag,     // given or not: --header
        Choice,   // one of the words in VALUES
        Unit,     // a linear unit: metre, us-foot or foot; offered first as the points' own
        Number,   // a decimal number from MIN to MAX
        Integer,  // a whole number from MIN to MAX
        Text,     // a word that VALID accepts
    };
    const char* name;  // "delimiter": --delimiter on the command line
    Kind kind;
    // Choice: the words taken, separated by blanks ("comma tab space
    // semicolon"). The others: what the usage text shows for the value
    // ("LAYOUT", "N"); "" for a flag.
    const char* values;
    // The dialog's texts. Choice: one a word, separated by '|'
    // ("Comma|Tab|Space|Semicolon"); Flag: the check box's text; the others:
    // "". Null when the dialog does not offer the option.
    const char* labels;
    const char* caption;  // the dialog's row caption ("&Delimiter:"); "" for a flag
    // The usage text after the option and its value, wrapped as it is to be
    // shown: "comma, tab, space or semicolon (default comma for *.csv, ...)".
    const char* help;
    // The value when the option is not given; "" when the format decides
    // (by the output name, or by the points).
    const char* defaultValue = "";
    double min = 0, max = 0;                    // Number, Integer: the range taken
    bool (*valid)(std::string_view) = nullptr;  // Text: accepts a value
    // What a refused value is not, for the message "--NAME VALUE: not ...":
    // "a column order (PNEZD, PENZD, PNEZ, ...)". Choice, Unit and the ranges
    // say it themselves when this is "".
    const char* expected = "";
};

// An entry of the Open or Save dialog's filter: "Orvelle Coordinate Files
// (*.crd)|*.crd". The entries stand in the order of PLACE, and in the
// table's order where places are equal; the entries the window has always
// shown have the places 1 to 9 (Open) and 1 to 5 (Save), and a new format
// takes kLaterPlace, after them.
struct FilterEntry {
    int place;
    const char* text;
};
inline constexpr int kLaterPlace = 100;

// VALUE checked against OPTION: the value to keep (a choice word as the
// option spells it), or nothing, with WHY set to what follows "--NAME VALUE: "
// in the message ("use comma, tab, space or semicolon").
std::optional<std::string> CheckedValue(const FormatOption& option, std::string_view value, std::string& why);

// The value given for NAME, or null.
const std::string* Given(const OptionValues& values, std::string_view name);
// A checked Number or Integer value given for NAME; nothing when not given.
std::optional<double> GivenNumber(const OptionValues& values, std::string_view name);

// The option called NAME among OPTIONS, or null.
const FormatOption* FindOption(std::span<const FormatOption> options, std::string_view name);

}  // namespace tessaly
