#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "formats/gis/gis.h"
#include "platform/error.h"

namespace tessaly::cli {

namespace {
// The converter's own options that take a value; those of the formats come
// from the format table.
constexpr std::string_view kValued[] = {"--output-dir", "--to", "--jobs", "--crs", "--to-crs"};

// The option called NAME (without "--") of any reading row (READING) or any
// writing row, or null.
const FormatOption* TableOption(std::string_view name, bool& reading)
{
    for (const bool read : {true, false})
        for (const Format& format : Formats())
            if (const FormatOption* option = FindOption(read ? format.readOptions : format.writeOptions, name)) {
                reading = read;
                return option;
            }
    return nullptr;
}

// The endings of the writing rows that take OPTION: ".csv and .txt".
std::string EndingsTaking(std::string_view option)
{
    std::vector<std::string> endings;
    for (const Format& format : Formats())
        // Appended rather than "." + endings (GCC 12's -Wrestrict at -O3).
        if (format.write && FindOption(format.writeOptions, option)) endings.emplace_back(".").append(format.endings);
    std::string out;
    for (size_t i = 0; i < endings.size(); ++i)
        out += (i == 0 ? "" : i + 1 == endings.size() ? " and " : ", ") + endings[i];
    return out;
}
}  // namespace

namespace {
// "  --name VALUE          help", the help's further lines under its first.
std::string UsageLines(const FormatOption& option)
{
    constexpr size_t kHelpColumn = 26;
    std::string line = "  --" + std::string(option.name);
    if (option.kind == FormatOption::Kind::Choice) {
        // The words are in the help; the value is named by the first letter
        // of the option's last word: --input-delimiter D.
        const std::string_view name = option.name;
        line += ' ';
        line += static_cast<char>(std::toupper(static_cast<unsigned char>(name[name.rfind('-') + 1])));
    } else if (*option.values) {
        line.append(" ").append(option.values);
    }
    line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
    for (const char c : std::string_view(option.help)) {
        line += c;
        if (c == '\n') line += std::string(kHelpColumn, ' ');
    }
    return line + "\n";
}
}  // namespace

std::string FormatOptionsUsage()
{
    // Sections in the order their first option appears in the table.
    std::vector<std::pair<std::string, std::string>> sections;  // heading, lines
    std::vector<std::string> shown;
    for (const bool reading : {true, false})
        for (const Format& format : Formats())
            for (const FormatOption& option : reading ? format.readOptions : format.writeOptions) {
                const std::string key = (reading ? "r:" : "w:") + std::string(option.name);
                if (std::find(shown.begin(), shown.end(), key) != shown.end() || FindOption(kCrsOptions, option.name))
                    continue;
                shown.push_back(key);
                const std::string heading =
                    reading ? "Options of inputs read as " + std::string(Description(format)) + "s:\n"
                            : "Options of " + EndingsTaking(option.name) + " outputs:\n";
                auto section = std::find_if(sections.begin(), sections.end(),
                                            [&](const auto& s) { return s.first == heading; });
                if (section == sections.end()) section = sections.insert(sections.end(), {heading, ""});
                section->second += UsageLines(option);
            }
    std::string text = "Options of every input and output:\n";
    for (const FormatOption& option : kCrsOptions) text += UsageLines(option);
    for (const auto& [heading, lines] : sections) text += heading + lines;
    return text;
}

std::string WriterKinds()
{
    std::vector<std::string> ids;
    for (const Format& format : Formats())
        if (format.write) ids.emplace_back(format.id);
    std::sort(ids.begin(), ids.end());
    std::string kinds;
    for (const std::string& id : ids) kinds += (kinds.empty() ? "" : ", ") + id;
    return kinds;
}

namespace {
// Takes one of the batch form's options, NAME with VALUE, into LINE; says
// why not, or "".
std::string TakeBatchOption(CommandLine& line, const std::string& name, const std::string& value)
{
    if (name == "--output-dir") {
        if (value.empty()) return "--output-dir needs a folder";
        line.outputDir = value;
        return "";
    }
    if (line.batchOption.empty()) line.batchOption = name;
    if (name == "--to") {
        line.to = nullptr;
        for (const Format& format : Formats())
            if (format.write && value == format.id) line.to = &format;
        return line.to ? "" : "--to takes " + WriterKinds() + ", not " + QuotedName(value);
    }
    char* end = nullptr;  // --jobs
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || n < 1 || n > 1024) return "--jobs needs a number from 1 to 1024, not " + QuotedName(value);
    line.jobs = static_cast<int>(n);
    return "";
}

// Takes --crs or --to-crs; says why not, or "".
std::string TakeCrsOption(ConvertOptions& o, const FormatOption& option, const std::string& name,
                          const std::string& value)
{
    std::string why;
    const std::optional<std::string> checked = CheckedValue(option, value, why);
    if (!checked) return name + " " + value + ": " + why;
    (name == "--crs" ? o.crs : o.toCrs) = *checked;
    return "";
}

// Takes a format's option, checked, into the values of the readers (READ)
// or of the writers; says why not, or "".
std::string TakeFormatOption(ConvertOptions& o, OptionValues& read, const FormatOption& option, bool reading,
                             const std::string& name, const std::string& value)
{
    std::string why;
    const std::optional<std::string> checked = CheckedValue(option, value, why);
    if (!checked) return name + " " + value + ": " + why;
    if (reading) {
        read[option.name] = *checked;
    } else {
        if (!o.write.count(option.name)) o.writeOrder.push_back(option.name);
        o.write[option.name] = *checked;
    }
    return "";
}
}  // namespace

CommandLine ParseCommandLine(int argc, char** argv)
{
    CommandLine line;
    OptionValues readValues;
    auto fail = [&](std::string why) {
        line.action = CommandLine::Usage;
        line.error = std::move(why);
        return line;
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            line.names.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") return line.action = CommandLine::Help, line;
        if (word == "--list-formats") return line.action = CommandLine::ListFormats, line;
        if (word == "--version") return line.action = CommandLine::Version, line;

        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        bool reading = false;
        // --crs and --to-crs belong to every input and output, whichever
        // rows also list them.
        const FormatOption* every = name.size() > 2 ? FindOption(kCrsOptions, name.substr(2)) : nullptr;
        const FormatOption* option =
            !every && name.size() > 2 && name[1] == '-' ? TableOption(name.substr(2), reading) : nullptr;
        if (!option && std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued))
            return fail("unknown option " + name);
        std::string value;
        if (option && option->kind == FormatOption::Kind::Flag) {
            if (equals != std::string::npos) return fail(name + " takes no value");
        } else if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return fail(name + " needs a value");
        }
        const std::string why = option  ? TakeFormatOption(line.options, readValues, *option, reading, name, value)
                                : every ? TakeCrsOption(line.options, *every, name, value)
                                        : TakeBatchOption(line, name, value);
        if (!why.empty()) return fail(why);
    }
    if (!line.outputDir && !line.batchOption.empty())
        return fail(line.batchOption + " belongs to the batch form: INPUT... --output-dir DIR");
    line.options.read = ReadOptionsFor(readValues);
    return line;
}

std::string OutputMisfit(const Format* writer, const ConvertOptions& options)
{
    if (!writer) return "the output name must end in " + WriterEndings();
    for (const std::string& name : options.writeOrder)
        if (!FindOption(writer->writeOptions, name))
            return "--" + name + " is an option of " + EndingsTaking(name) + " outputs, not of ." + writer->id;
    return "";
}

}  // namespace tessaly::cli
