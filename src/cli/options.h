#pragma once
// The converter's command line: the action it asks for, the names it gives
// and the options of the readers and writers.
#include <optional>
#include <string>
#include <vector>

#include "formats/formats.h"

namespace tessaly::cli {

// The options of one conversion. The text options are kept as given, since
// what is not given follows the output name (comma for *.csv, blanks for
// *.txt).
struct ConvertOptions {
    ReadOptions read;  // --input-columns, --input-delimiter, --skip-lines

    std::optional<TextLayout> columns;        // --columns
    std::optional<TextDelimiter> delimiter;   // --delimiter
    bool header = false;                      // --header
    std::optional<TextEncoding> encoding;     // --encoding
    bool lf = false;                          // --lf
    std::optional<LinearUnit> units;          // --units
    std::optional<double> textHeight;         // --text-height
    // Every input and output: the points' coordinate reference system, and
    // the one to write them in ("" when not given).
    std::string crs, toCrs;  // --crs, --to-crs

    // The first option given for each kind of output, to name in a usage
    // error when the output is of another kind ("" when none was given).
    std::string textOption, landXmlOption, dxfOption;

    // The writer options for OUTPUT: what was given, the defaults of its
    // name for the rest.
    WriteOptions For(const std::string& output) const;
};

struct CommandLine {
    enum Action { Convert, Help, ListFormats, Version, Usage };
    Action action = Convert;
    std::string error;                // Usage: what is wrong ("" for a wrong number of names)
    std::vector<std::string> names;   // the words that are not options, in order
    ConvertOptions options;

    // The batch form: INPUT... --output-dir DIR [--to KIND] [--jobs N].
    std::optional<std::string> outputDir;  // --output-dir; set: the batch form
    const Format* to = nullptr;            // --to: a writing row; null when not given
    int jobs = 0;                          // --jobs; 0: one a processor
    std::string batchOption;               // the first of --to and --jobs given ("" when none)
};

// The short names of the writing rows, the kinds --to takes, in alphabetical
// order: "asc, csv, ...".
std::string WriterKinds();

// Options may stand before, between and after the names; "--" ends them, for
// names that start with "-". An option's value follows as the next word or
// after "=" (--columns=PENZD).
CommandLine ParseCommandLine(int argc, char** argv);

// Why OPTIONS do not fit WRITER (an option of another writer, or no writer at
// all: null), or "" when they do.
std::string OutputMisfit(const Format* writer, const ConvertOptions& options);

}  // namespace tessaly::cli
