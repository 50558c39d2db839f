// tessaly-convert INPUT OUTPUT: reads a point file with the reader its name
// chooses and writes the points as ASCII PNEZD text.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/batch.h"
#include "formats/formats.h"
#include "platform/error.h"

namespace {

using tessaly::Format;
using tessaly::Formats;

// The usage text; the formats come from the format table.
std::string Usage()
{
    std::string text =
        "Usage: tessaly-convert [--] INPUT OUTPUT.asc\n"
        "       tessaly-convert [--to KIND] [--jobs N] INPUT... --output-dir DIR\n"
        "       tessaly-convert --list-formats | --help | --version\n"
        "\n"
        "Reads the points of INPUT and writes them to OUTPUT as ASCII PNEZD text\n"
        "(point,northing,easting,elevation,description; CR LF line ends).\n"
        "\n"
        "The reader is chosen by the last three characters of INPUT, in any case:\n";
    std::string writers;
    for (const Format& format : Formats()) {
        const std::string patterns = tessaly::Patterns(format);
        if (format.read) {
            std::string line = "  " + (patterns == "*" ? std::string("other") : patterns);
            line.resize(std::max<size_t>(line.size() + 2, 9), ' ');
            text += line;
            text += tessaly::Description(format);
            text += '\n';
        }
        if (format.write) writers += (writers.empty() ? "" : " or ") + patterns.substr(1);
    }
    text += "OUTPUT must end in " + writers + " (any case). \"--\" ends the options, for\n"
            "names that start with \"-\".\n"
            "\n"
            "--list-formats prints one line a format: its short name, read and/or\n"
            "write, its name patterns and what it is, separated by tabs.\n"
            "\n" +
            tessaly::cli::BatchUsage() +
            "\n"
            "Exit status: 0 converted (every input), 1 an input could not be read or\n"
            "an output not written, 2 wrong usage.\n";
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

int main(int argc, char** argv)
{
    if (tessaly::cli::IsBatch(argc, argv)) return tessaly::cli::RunBatch(argc, argv);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--list-formats") == 0) {
        ListFormats();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tessaly-convert %s\n", TESSALY_VERSION);
        return 0;
    }
    const int first = argc > 1 && std::strcmp(argv[1], "--") == 0 ? 2 : 1;
    if (argc - first != 2) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    const std::string input = argv[first];
    const std::string output = argv[first + 1];
    const Format* writer = tessaly::ChooseWriter(output);
    if (!writer) {
        std::fprintf(stderr, "tessaly-convert: %s; nothing written\n",
                     tessaly::FileMessage(output, "the output name must end in .asc").c_str());
        return 2;
    }

    tessaly::PointTable table;
    try {
        tessaly::ChooseReader(input).read(table, input);
    } catch (...) {
        std::fprintf(stderr, "tessaly-convert: %s (%d points read before the stop); nothing written\n",
                     tessaly::FailureMessage(input).c_str(), table.CurrItems());
        return 1;
    }
    if (!table.PointsNotRead().empty()) {
        std::fprintf(stderr, "tessaly-convert: %s; nothing written\n", table.PointsNotRead().c_str());
        return 1;
    }
    try {
        writer->write(table, output);
    } catch (...) {
        std::fprintf(stderr, "tessaly-convert: %s\n", tessaly::FailureMessage(output).c_str());
        return 1;
    }
    return 0;
}
