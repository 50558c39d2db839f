// Load of the 10000-record reference database through the database reader.
#include <benchmark/benchmark.h>

#include <string>

#include "formats/formats.h"
#include "support/fixtures.h"

namespace {
void BM_LoadMdb(benchmark::State& state)
{
    const std::string path = tessaly::test::TestData("points-10000.mdb");
    tessaly::PointTable table;
    for (auto _ : state) {
        tessaly::ReadMdbFile(table, path);
        benchmark::DoNotOptimize(table.CurrItems());
    }
    if (table.CurrItems() != 10000) state.SkipWithError("wrong point count");
}
}  // namespace

BENCHMARK(BM_LoadMdb)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
