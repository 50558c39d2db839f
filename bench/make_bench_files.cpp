// Writes the same 10000 points in each format the peer comparison converts:
//   make_bench_files OUTDIR
// points.crd (coordinate file), points.cr5 (TDS), points.csv (for the CSV
// converters). With a second argument, the files of the batch benchmark:
//   make_bench_files OUTDIR batch
// 1000 files of 1000 points, 200 each of crd, coo, cr5, grd and Surveyor One
// (named NNNN.s1).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
// Point I (from 1) of batch file F.
struct Position {
    double n, e, z;
};
Position At(int f, int i) { return {5000 + i * 0.125 + f, 1000 + i * 0.5, 100 + (i % 100) * 0.01}; }
std::string Label(int i) { return "PT" + std::to_string(i); }

void WriteBatchFiles(const std::string& dir)
{
    constexpr int kFiles = 1000, kPoints = 1000;
    for (int f = 0; f < kFiles; ++f) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "/%04d", f);
        const std::string base = dir + stem;
        switch (f % 5) {
        case 0: {
            std::vector<CrdPoint> crd;
            for (int i = 1; i <= kPoints; ++i) {
                const Position p = At(f, i);
                crd.push_back({p.n, p.e, p.z, Label(i)});
            }
            WriteBytes(base + ".crd", CrdNumeric(kPoints, crd));
            break;
        }
        case 1: {
            std::string coo;
            for (int i = 1; i <= kPoints; ++i) {
                const Position p = At(f, i);
                coo += CooBlock(std::to_string(i), Label(i), NumberText(p.e), NumberText(p.n), NumberText(p.z));
            }
            WriteBytes(base + ".coo", coo);
            break;
        }
        case 2: {
            std::vector<Cr5Point> cr5;
            for (int i = 1; i <= kPoints; ++i) {
                const Position p = At(f, i);
                cr5.push_back({i, p.n, p.e, p.z, Label(i)});
            }
            WriteBytes(base + ".cr5", Cr5File(cr5));
            break;
        }
        case 3: {  // 25 rows of 40 nodes
            std::string grd = NumberText(5000 + f) + ",1000,5024,1039,39,24\r\n";
            for (int i = 0; i < kPoints; ++i) grd += NumberText(100 + (i % 100) * 0.01) + "\r\n";
            WriteBytes(base + ".grd", grd);
            break;
        }
        default: {
            // The first record of a Surveyor One file is not a point.
            std::vector<SurveyorPoint> s1{{0, 0, 0}};
            for (int i = 1; i <= kPoints; ++i) {
                const Position p = At(f, i);
                s1.push_back({p.n, p.e, p.z});
            }
            WriteBytes(base + ".s1", SurveyorOneFile(s1, true));
            break;
        }
        }
    }
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "batch")) {
        std::fputs("usage: make_bench_files OUTDIR [batch]\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    if (argc == 3) {
        WriteBatchFiles(dir);
        return 0;
    }
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
