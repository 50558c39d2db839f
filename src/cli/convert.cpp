#include "cli/convert.h"

#include <cstdio>

#include "platform/error.h"

namespace tessaly::cli {

namespace {
void Say(const std::string& text) { std::fprintf(stderr, "tessaly-convert: %s\n", text.c_str()); }

std::string Count(int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
}  // namespace

int ConvertOne(const std::string& input, const std::string& output, const ConvertOptions& options)
{
    if (const std::string misfit = OutputMisfit(output, options); !misfit.empty()) {
        Say(FileMessage(output, misfit) + "; nothing written");
        return 2;
    }
    const Format& writer = *ChooseWriter(output);

    PointTable table;
    ReadReport read;
    try {
        read = ChooseReader(input).read(table, input, options.read);
    } catch (...) {
        Say(FailureMessage(input) + " (" + std::to_string(table.CurrItems()) +
            " points read before the stop); nothing written");
        return 1;
    }
    if (!table.PointsNotRead().empty()) {
        Say(table.PointsNotRead() + "; nothing written");
        return 1;
    }
    if (read.replaced > 0)
        Say(FileMessage(input, Count(read.replaced, "character", "characters") +
                                   " that Windows-1252 cannot hold stored as \"?\""));
    if (read.skipped > 0)
        Say(FileMessage(input, Count(read.skipped, "point", "points") +
                                   " skipped: no coordinates, or a reference to no point of the file"));

    ExportReport written;
    try {
        written = writer.write(table, output, options.For(output));
    } catch (...) {
        Say(FailureMessage(output));
        return 1;
    }
    if (written.leftOut > 0)
        Say(FileMessage(output, Count(written.leftOut, "row", "rows") +
                                    " left out: the northing or easting is not a number"));
    if (written.elevationsLeftOut > 0)
        Say(FileMessage(output, Count(written.elevationsLeftOut, "elevation", "elevations") +
                                    " left out: not a number"));
    return 0;
}

}  // namespace tessaly::cli
