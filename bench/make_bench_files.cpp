// Writes the same 10000 points in each format the peer comparison converts:
//   make_bench_files OUTDIR
// points.crd (coordinate file), points.cr5 (TDS), points.csv (for the CSV
// converters).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_bench_files OUTDIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    constexpr int kPoints = 10000;
    std::vector<CrdPoint> crd;
    std::vector<Cr5Point> cr5;
    std::string csv = "name,lat,lon,alt,desc\n";
    for (int i = 1; i <= kPoints; ++i) {
        const double n = 5000 + i * 0.125, e = 1000 + i * 0.5, z = 100 + (i % 100) * 0.01;
        const std::string d = "PT" + std::to_string(i);
        crd.push_back({n, e, z, d});
        cr5.push_back({i, n, e, z, d});
        // gpsbabel's CSV wants latitudes and longitudes: the same digits,
        // scaled into range.
        csv += std::to_string(i) + "," + NumberText(n / 100) + "," + NumberText(e / 100) + "," + NumberText(z) +
               "," + d + "\n";
    }
    WriteBytes(dir + "/points.crd", CrdNumeric(kPoints, crd));
    WriteBytes(dir + "/points.cr5", Cr5File(cr5));
    WriteBytes(dir + "/points.csv", csv);
    return 0;
}
