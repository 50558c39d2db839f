// Writes the seed corpora of the fuzz targets from the test fixture writers:
//   make_fuzz_seeds OUTDIR
#include <filesystem>
#include <string>

#include "support/fixtures.h"

using namespace tessaly::test;
namespace fs = std::filesystem;

namespace {
void Seed(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    fs::create_directories(dir);
    WriteBytes((dir / name).string(), bytes);
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const fs::path out = argv[1];

    Seed(out / "crd", "numeric", CrdNumeric(3, {{100, 200, 10, "A"}, {0, 0, 0, "B"}, {-5, 7.5, 0, "C\0D"}}));
    Seed(out / "crd", "count-past-end", CrdNumeric(40, {{1, 2, 3, "IP FOUND"}}));
    Seed(out / "crd", "alpha", Bytes().Zeros(72).Text("New CRD Format", 32).Zeros(66).str());

    Seed(out / "coo", "two-blocks", CooBlock("0012", "FENCE COR", "407.000", "503.25", "12 ft") +
                                        CooBlock("13", "", "1E3", "-7.5", ""));
    Seed(out / "coo", "cut", CooBlock("1", "X", "1", "2", "3").substr(0, 40));
    return 0;
}
