#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "formats/gis/gis.h"
#include "platform/error.h"

namespace tessaly::cli {

namespace {
// The options that take a value.
constexpr std::string_view kValued[] = {"--input-columns", "--input-delimiter", "--skip-lines", "--columns",
                                        "--delimiter",     "--encoding",        "--units",      "--text-height",
                                        "--output-dir",    "--to",              "--jobs",       "--crs",
                                        "--to-crs"};

std::optional<LinearUnit> ParseUnits(std::string_view word)
{
    if (word == "metre") return LinearUnit::Metre;
    if (word == "us-foot") return LinearUnit::UsSurveyFoot;
    if (word == "foot") return LinearUnit::Foot;
    return std::nullopt;
}

std::optional<TextEncoding> ParseEncoding(std::string_view word)
{
    if (word == "cp1252") return TextEncoding::Cp1252;
    if (word == "utf-8") return TextEncoding::Utf8;
    return std::nullopt;
}

// A positive, finite decimal number.
std::optional<double> ParseHeight(std::string_view word)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    return value;
}
}  // namespace

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

WriteOptions ConvertOptions::For(const std::string& output) const
{
    WriteOptions out;
    TextWriteOptions text = DefaultTextWriteOptions(output);
    if (columns) text.layout = *columns;
    if (delimiter) text.delimiter = *delimiter;
    text.header = header;
    if (encoding) text.encoding = *encoding;
    if (lf) text.lineEnd = TextLineEnd::Lf;
    out.text = text;
    if (units) out.landXml.units = *units;
    if (textHeight) out.dxf.textHeight = *textHeight;
    return out;
}

CommandLine ParseCommandLine(int argc, char** argv)
{
    CommandLine line;
    ConvertOptions& o = line.options;
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
        auto take = [&](std::string& kind) { kind = kind.empty() ? name : kind; };
        if (name == "--header" || name == "--lf") {
            if (equals != std::string::npos) return fail(name + " takes no value");
            (name == "--header" ? o.header : o.lf) = true;
            take(o.textOption);
            continue;
        }
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued))
            return fail("unknown option " + name);
        std::string value;
        if (equals != std::string::npos) value = word.substr(equals + 1);
        else if (i + 1 < argc) value = argv[++i];
        else return fail(name + " needs a value");
        if (name == "--input-columns" && !ParseLayout(value)) {
            // A mapping with columns not read, or description columns
            // joined: it decides over a header line too.
            const auto mapping = ParseColumnMapping(value);
            if (!mapping)
                return fail("--input-columns " + value +
                            ": not a column order (PNEZD, PENZD, ...) or mapping (P, N, E, Z, D or - a column, "
                            "N and E once: P-NEZD)");
            o.read.text.columns = *mapping;
        } else if (name == "--input-delimiter") {
            o.read.text.delimiter = ParseDelimiter(value);
            if (!o.read.text.delimiter) return fail("--input-delimiter " + value + ": use comma, tab, space or semicolon");
        } else if (name == "--skip-lines") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 0 || n > 1000000)
                return fail("--skip-lines needs a number from 0 to 1000000, not " + QuotedName(value));
            o.read.text.skipLines = static_cast<int>(n);
        } else if (name == "--input-columns" || name == "--columns") {
            const auto layout = ParseLayout(value);
            if (!layout) return fail(name + " " + value + ": not a column order (PNEZD, PENZD, PNEZ, ...)");
            if (name == "--columns") {
                o.columns = layout;
                take(o.textOption);
            } else {
                o.read.text.layout = *layout;
            }
        } else if (name == "--delimiter") {
            o.delimiter = ParseDelimiter(value);
            if (!o.delimiter) return fail("--delimiter " + value + ": use comma, tab, space or semicolon");
            take(o.textOption);
        } else if (name == "--encoding") {
            o.encoding = ParseEncoding(value);
            if (!o.encoding) return fail("--encoding " + value + ": use cp1252 or utf-8");
            take(o.textOption);
        } else if (name == "--units") {
            o.units = ParseUnits(value);
            if (!o.units) return fail("--units " + value + ": use metre, us-foot or foot");
            take(o.landXmlOption);
        } else if (name == "--text-height") {
            o.textHeight = ParseHeight(value);
            if (!o.textHeight) return fail("--text-height " + value + ": not a positive number");
            take(o.dxfOption);
        } else if (name == "--crs" || name == "--to-crs") {
            if (!IsCrsDefinitionText(value)) return fail(name + " needs a coordinate reference system (EPSG:2263)");
            (name == "--crs" ? o.crs : o.toCrs) = value;
        } else if (name == "--output-dir") {
            if (value.empty()) return fail("--output-dir needs a folder");
            line.outputDir = value;
        } else if (name == "--to") {
            line.to = nullptr;
            for (const Format& format : Formats())
                if (format.write && value == format.id) line.to = &format;
            if (!line.to) return fail("--to takes " + WriterKinds() + ", not " + QuotedName(value));
            take(line.batchOption);
        } else if (name == "--jobs") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 1024)
                return fail("--jobs needs a number from 1 to 1024, not " + QuotedName(value));
            line.jobs = static_cast<int>(n);
            take(line.batchOption);
        }
    }
    if (!line.outputDir && !line.batchOption.empty())
        return fail(line.batchOption + " belongs to the batch form: INPUT... --output-dir DIR");
    return line;
}

std::string OutputMisfit(const Format* writer, const ConvertOptions& options)
{
    if (!writer) return "the output name must end in .asc, .csv, .txt, .xml, .dxf, .geojson, .json, .kml, .shp or .gpkg";
    const std::string kind = writer->id;
    const bool text = kind == "csv" || kind == "txt";
    const std::string* misfit = !text && !options.textOption.empty()        ? &options.textOption
                                : kind != "xml" && !options.landXmlOption.empty() ? &options.landXmlOption
                                : kind != "dxf" && !options.dxfOption.empty()     ? &options.dxfOption
                                                                                  : nullptr;
    if (!misfit) return "";
    const char* forWhat = misfit == &options.textOption      ? ".csv and .txt"
                          : misfit == &options.landXmlOption ? ".xml"
                                                             : ".dxf";
    return *misfit + " is an option of " + forWhat + " outputs, not of ." + kind;
}

}  // namespace tessaly::cli
