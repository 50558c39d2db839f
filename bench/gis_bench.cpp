// Coordinate transforms and the GIS writers on 10000 points. The first
// transform of a pair of CRSs looks them up in PROJ's database; each figure
// is of the repeated work after that (TransformTable keeps the operation).
#include <benchmark/benchmark.h>

#include "formats/gis/gis.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
constexpr int kPoints = 10000;

PointTable StatePlane()
{
    PointTable table;
    for (int i = 0; i < kPoints; ++i)
        table.AddPoint({Cell(std::to_string(i + 1)), Cell(170000 + i * 0.5), Cell(980000 + i * 0.25),
                        Cell(10 + (i % 100) * 0.01), Cell(std::string("IP"))});
    table.SetCrs("EPSG:2263");
    return table;
}

void BM_TransformTable(benchmark::State& state)
{
    const PointTable start = StatePlane();
    PointTable warm = start;
    TransformTable(warm, "EPSG:4326");
    for (auto _ : state) {
        state.PauseTiming();
        PointTable table = start;
        state.ResumeTiming();
        TransformTable(table, "EPSG:4326");
        benchmark::DoNotOptimize(table);
    }
}

using Writer = ExportReport (*)(const PointTable&, const std::string&, const OptionValues&);

void BM_Write(benchmark::State& state, Writer write, const char* name)
{
    static TempDir dir;
    const PointTable table = StatePlane();
    for (auto _ : state) write(table, dir.Path(name), {});
}
}  // namespace

BENCHMARK(BM_TransformTable)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Write, geojson, WriteGeoJsonFile, "p.geojson")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, kml, WriteKmlFile, "p.kml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, shp, WriteShapefile, "p.shp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, gpkg, WriteGeoPackageFile, "p.gpkg")->Unit(benchmark::kMillisecond);
