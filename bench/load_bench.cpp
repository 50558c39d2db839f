// Loads of 10000-point files of each format, and the writers on 10000 points.
#include <benchmark/benchmark.h>

#include "formats/formats.h"
#include "formats/xml/landxml.h"
#include "formats/text/text_points.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
constexpr int kPoints = 10000;

const TempDir& Dir()
{
    static TempDir dir;
    return dir;
}

std::string CrdFile()
{
    static std::string path = [] {
        std::vector<CrdPoint> pts;
        for (int i = 1; i <= kPoints; ++i)
            pts.push_back({5000 + i * 0.125, 1000 + i * 0.5, 100 + (i % 100) * 0.01, "PT" + std::to_string(i)});
        auto p = Dir().Path("points.crd");
        WriteBytes(p, CrdNumeric(kPoints, pts));
        return p;
    }();
    return path;
}

std::string CooFile()
{
    static std::string path = [] {
        std::string text;
        for (int i = 1; i <= kPoints; ++i)
            text += CooBlock(std::to_string(i), "PT" + std::to_string(i), std::to_string(1000 + i * 0.5),
                             std::to_string(5000 + i * 0.125), std::to_string(100 + (i % 100) * 0.01));
        auto p = Dir().Path("points.coo");
        WriteBytes(p, text);
        return p;
    }();
    return path;
}

std::string Cr5File()
{
    static std::string path = [] {
        std::vector<Cr5Point> pts;
        for (int i = 1; i <= kPoints; ++i)
            pts.push_back({i, 5000 + i * 0.125, 1000 + i * 0.5, 100 + (i % 100) * 0.01, "PT" + std::to_string(i)});
        auto p = Dir().Path("points.cr5");
        WriteBytes(p, tessaly::test::Cr5File(pts));
        return p;
    }();
    return path;
}

// 10000 records with descriptions; the last record never becomes a point.
std::string SurveyorFile()
{
    static std::string path = [] {
        std::vector<SurveyorPoint> pts;
        std::vector<std::string> descriptions;
        for (int i = 1; i <= kPoints; ++i) {
            pts.push_back({5000 + i * 0.125, 1000 + i * 0.5, 100 + (i % 100) * 0.01});
            descriptions.push_back("  PT" + std::to_string(i));
        }
        auto p = Dir().Path("points");
        WriteBytes(p, SurveyorOneFile(pts, true));
        WriteBytes(p + "W", SurveyorDescriptions(descriptions));
        return p;
    }();
    return path;
}

// A 100 by 100 node grid.
std::string GrdFile()
{
    static std::string path = [] {
        std::string text = "5000,1000,5099,1099,99,99\r\n";
        for (int i = 1; i <= kPoints; ++i) text += std::to_string(100 + (i % 1000) * 0.01).substr(0, 6) + "\r\n";
        auto p = Dir().Path("points.grd");
        WriteBytes(p, text);
        return p;
    }();
    return path;
}

// 10000 points as comma-delimited text with a header, as the text writer
// writes them.
std::string TextFile()
{
    static std::string path = [] {
        std::string text = "Point,Northing,Easting,Elevation,Description\r\n";
        for (int i = 1; i <= kPoints; ++i)
            text += std::to_string(i) + "," + std::to_string(5000 + i * 0.125) + "," + std::to_string(1000 + i * 0.5) +
                    "," + std::to_string(100 + (i % 100) * 0.01) + ",PT " + std::to_string(i) + "\r\n";
        auto p = Dir().Path("points.csv");
        WriteBytes(p, text);
        return p;
    }();
    return path;
}

void Load(benchmark::State& state, const std::string& path, int32_t expected = kPoints)
{
    PointTable table;
    const Format& reader = ChooseReader(path);
    for (auto _ : state) {
        reader.read(table, path, {});
        benchmark::DoNotOptimize(table.CurrItems());
    }
    if (table.CurrItems() != expected) state.SkipWithError("wrong point count");
}

// The writer that NAME chooses, with OPTIONS, on the points of the coordinate
// file.
void Write(benchmark::State& state, const std::string& name, const OptionValues& options = {})
{
    PointTable table;
    ReadCrdFile(table, CrdFile());
    const std::string out = Dir().Path(name);
    const Format& writer = *ChooseWriter(out);
    for (auto _ : state) writer.write(table, out, options);
}

std::string LandXmlFile()
{
    static std::string path = [] {
        PointTable table;
        ReadCrdFile(table, CrdFile());
        auto p = Dir().Path("points.xml");
        WriteLandXmlFile(table, p);
        return p;
    }();
    return path;
}

void BM_LoadCrd(benchmark::State& state) { Load(state, CrdFile()); }
void BM_LoadCoo(benchmark::State& state) { Load(state, CooFile()); }
void BM_LoadCr5(benchmark::State& state) { Load(state, Cr5File()); }
void BM_LoadSurveyorOne(benchmark::State& state) { Load(state, SurveyorFile(), kPoints - 1); }
void BM_LoadGrd(benchmark::State& state) { Load(state, GrdFile()); }
void BM_LoadText(benchmark::State& state) { Load(state, TextFile()); }
void BM_LoadLandXml(benchmark::State& state) { Load(state, LandXmlFile()); }

void BM_WriteAsc(benchmark::State& state) { Write(state, "out.asc"); }
void BM_WriteText(benchmark::State& state)
{
    Write(state, "out.csv", {{"header", "yes"}});
}
void BM_WriteLandXml(benchmark::State& state) { Write(state, "out.xml"); }
void BM_WriteDxf(benchmark::State& state) { Write(state, "out.dxf"); }
}  // namespace

BENCHMARK(BM_LoadCrd)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadCoo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadCr5)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadSurveyorOne)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadGrd)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteAsc)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadText)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteText)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteLandXml)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteDxf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadLandXml)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
