// tessaly-convert INPUT OUTPUT: reads a point file with the reader its name
// chooses and writes the points as ASCII PNEZD text.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "formats/readers.h"
#include "platform/error.h"

namespace {

const char kUsage[] =
    "Usage: tessaly-convert INPUT OUTPUT.asc\n"
    "\n"
    "Reads the points of INPUT and writes them to OUTPUT as ASCII PNEZD text\n"
    "(point,northing,easting,elevation,description; CR LF line ends).\n"
    "\n"
    "The reader is chosen by the last three characters of INPUT, in any case:\n"
    "  *.coo  COGO points          *.crd  Orvelle coordinate file\n"
    "  *.cr5  TDS coordinate file  *.grd  Orvelle grid file\n"
    "  *.mdb  LDD point database   other  Surveyor One coordinate file\n"
    "OUTPUT must end in .asc (any case).\n"
    "\n"
    "Exit status: 0 converted, 1 the input could not be read or the output\n"
    "not written, 2 wrong usage.\n";

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tessaly-convert %s\n", TESSALY_VERSION);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    if (!tessaly::IsAscName(output)) {
        std::fprintf(stderr, "tessaly-convert: %s: the output name must end in .asc; nothing written\n",
                     output.c_str());
        return 2;
    }

    tessaly::PointTable table;
    try {
        tessaly::ChooseReader(input).read(table, input);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-convert: %s (%d points read before the stop); nothing written\n", e.what(),
                     table.CurrItems());
        return 1;
    }
    if (!table.PointsNotRead().empty()) {
        std::fprintf(stderr, "tessaly-convert: %s; nothing written\n", table.PointsNotRead().c_str());
        return 1;
    }
    try {
        tessaly::WriteAscFile(table, output);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-convert: %s\n", e.what());
        return 1;
    }
    return 0;
}
