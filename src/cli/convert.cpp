#include "cli/convert.h"

#include <cstdio>
#include <sys/stat.h>

#include "formats/gis/gis.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"

namespace tessaly::cli {

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str()); }

int UsageError(const std::string& what)
{
    Say(what);
    std::fprintf(stderr, "Try %s --help.\n", kProgram);
    return 2;
}

Converted ConvertOne(PointTable& table, const std::string& input, const std::string& output, const Format& writer,
                     const ConvertOptions& options)
{
    Converted result;
    auto fail = [&](std::string message) {
        result.status = 1;
        result.messages.push_back(std::move(message));
        return result;
    };
    // The count of a failed load is of this file, not of one before it.
    table.Clear();
    ReadReport read;
    try {
        read = ChooseReader(input).read(table, input, options.read);
    } catch (...) {
        return fail(FailureMessage(input) + " (" + std::to_string(table.CurrItems()) +
                    " points read before the stop); nothing written");
    }
    if (!table.PointsNotRead().empty()) return fail(table.PointsNotRead() + "; nothing written");
    for (const std::string& clause : Clauses(read)) result.messages.push_back(FileMessage(input, clause));
    if (!read.beyondPoints.empty())
        result.messages.push_back(
            FileMessage(input, "holds " + read.beyondPoints + " besides its points; only the points are converted"));

    // The points' CRS as asked (the file's own moved to it), then the one
    // to write them in.
    try {
        if (!options.crs.empty())
            for (const std::string& notice : ApplyCrs(table, options.crs)) result.messages.push_back(FileMessage(input, notice));
        if (!options.toCrs.empty())
            for (const std::string& notice : TransformTable(table, options.toCrs))
                result.messages.push_back(FileMessage(output, notice));
    } catch (const Error& e) {
        return fail(FileMessage(input, e.what()) + "; nothing written");
    }
    ExportReport written;
    try {
        written = writer.write(table, output, options.write);
    } catch (...) {
        return fail(FailureMessage(output));
    }
    for (const std::string& clause : Clauses(written)) result.messages.push_back(FileMessage(output, clause));
    result.points = table.CurrItems();
    return result;
}

int ConvertOne(const std::string& input, const std::string& output, const ConvertOptions& options)
{
    const Format* writer = ChooseWriter(output);
    if (const std::string misfit = OutputMisfit(writer, options); !misfit.empty()) {
        Say(FileMessage(output, misfit) + "; nothing written");
        return 2;
    }
    // Writing over the input would lose what the output format cannot hold.
    if (SameFile(input, output)) {
        Say(FileMessage(output, "is the input " + QuotedName(input) + " itself; nothing written"));
        return 2;
    }
    PointTable table;
    const Converted converted = ConvertOne(table, input, output, *writer, options);
    for (const std::string& message : converted.messages) Say(message);
    return converted.status;
}

}  // namespace tessaly::cli
