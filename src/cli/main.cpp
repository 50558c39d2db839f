// tessaly-convert [OPTIONS] INPUT OUTPUT: reads a point file with the reader
// its name chooses and writes the points with the writer the output name
// chooses.
#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "cli/batch.h"
#include "cli/convert.h"
#include "cli/options.h"
#include "formats/formats.h"

namespace {

using tessaly::Format;
using tessaly::Formats;

// The usage text; the formats come from the format table.
std::string Usage()
{
    std::string text =
        "Usage: tessaly-convert [OPTIONS] [--] INPUT OUTPUT\n"
        "       tessaly-convert [OPTIONS] [--to KIND] [--jobs N] INPUT... --output-dir DIR\n"
        "       tessaly-convert --list-formats | --help | --version\n"
        "\n"
        "Reads the points of INPUT and writes them to OUTPUT.\n"
        "\n"
        "The reader is chosen by the end of INPUT's name, in any case (text and\n"
        "LandXML names only when the file is text):\n";
    std::string writers;
    for (const Format& format : Formats()) {
        const std::string patterns = tessaly::Patterns(format);
        std::string line = "  " + (patterns == "*" ? std::string("other") : patterns);
        line.resize(std::max<size_t>(line.size() + 2, 9), ' ');
        line += tessaly::Description(format);
        line += '\n';
        if (format.read) text += line;
        if (format.write) writers += line;
    }
    text += "\nThe writer is chosen by the end of OUTPUT's name, in any case:\n" + writers +
            "*.asc is ASCII PNEZD (point,northing,easting,elevation,description; CR LF).\n"
            "\n" + tessaly::cli::FormatOptionsUsage() +
            "\"--\" ends the options, for names that start with \"-\". An option of\n"
            "another output kind than OUTPUT's is a usage error.\n"
            "\n"
            "--list-formats prints one line a format: its short name, read and/or\n"
            "write, its name patterns and what it is, separated by tabs.\n"
            "\n" +
            tessaly::cli::BatchUsage() +
            "\n"
            "Exit status: 0 converted, every input of a batch too (rows that LandXML or\n"
            "DXF cannot hold are left out and counted on stderr), 1 an input could not\n"
            "be read or an output not written, 2 wrong usage (an OUTPUT that is the\n"
            "INPUT file itself, by any name or link, too).\n";
    return text;
}

void ListFormats()
{
    for (const Format& format : Formats()) {
        const char* modes = format.read && format.write ? "read,write" : format.read ? "read" : "write";
        std::printf("%s\t%s\t%s\t%.*s\n", format.id, modes, tessaly::Patterns(format).c_str(),
                    static_cast<int>(tessaly::Description(format).size()), tessaly::Description(format).data());
    }
}

}  // namespace

// Memory running out where no conversion catches it ends the program with
// a message, its temporaries removed on the way out, instead of an abort.
int main(int argc, char** argv)
try {
    using tessaly::cli::CommandLine;
    const CommandLine line = tessaly::cli::ParseCommandLine(argc, argv);
    switch (line.action) {
    case CommandLine::Help: std::fputs(Usage().c_str(), stdout); return 0;
    case CommandLine::ListFormats: ListFormats(); return 0;
    case CommandLine::Version: std::printf("%s %s\n", tessaly::cli::kProgram, TESSALY_VERSION); return 0;
    case CommandLine::Usage: return tessaly::cli::UsageError(line.error);
    case CommandLine::Convert: break;
    }
    if (line.outputDir) return tessaly::cli::RunBatch(line);
    if (line.names.size() != 2) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    return tessaly::cli::ConvertOne(line.names[0], line.names[1], line.options);
} catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: not enough memory to go on\n", tessaly::cli::kProgram);
    return 1;
}
