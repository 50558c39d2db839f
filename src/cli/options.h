#pragma once
// The converter's command line: the action it asks for, the names it gives
// and the options of the readers and writers.
#include <optional>
#include <string>
#include <vector>

#include "formats/formats.h"

namespace tessaly::cli {

// The options of one conversion, as the format table's rows list them.
struct ConvertOptions {
    ReadOptions read;      // the reader options given
    OptionValues write;    // the writer options given; the output's defaults for the rest
    // The writer options given, in the order given, to name the first that
    // does not fit the output.
    std::vector<std::string> writeOrder;
    // Every input and output: the points' coordinate reference system, and
    // the one to write them in ("" when not given).
    std::string crs, toCrs;  // --crs, --to-crs
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

// The usage text of the formats' options, a section for the inputs of
// each reader and for each set of outputs that take the same options.
std::string FormatOptionsUsage();

// Options may stand before, between and after the names; "--" ends them, for
// names that start with "-". An option's value follows as the next word or
// after "=" (--columns=PENZD).
CommandLine ParseCommandLine(int argc, char** argv);

// Why OPTIONS do not fit WRITER (an option of another writer, or no writer at
// all: null), or "" when they do.
std::string OutputMisfit(const Format* writer, const ConvertOptions& options);

}  // namespace tessaly::cli
