#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "formats/gis/gis.h"
#include "formats/xml/landxml.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {

double Number(const PointTable& table, int16_t col, int32_t row)
{
    return std::strtod(CellText(table.Get(col, row)).c_str(), nullptr);
}

// The output of COMMAND; "" when it cannot be run.
std::string Output(const std::string& command)
{
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    return out;
}

PointTable OnePoint(const std::string& crs, double north, double east)
{
    PointTable table;
    table.AddPoint({Cell(std::string("1")), Cell(north), Cell(east), Cell(10.5), Cell(std::string("IP"))});
    table.SetCrs(crs);
    return table;
}

TEST(Crs, DescribesWhatProjKnowsAndRefusesTheRest)
{
    const CrsInfo info = DescribeCrs("EPSG:2263");
    EXPECT_EQ(info.definition, "EPSG:2263");
    EXPECT_NE(info.name.find("Long Island"), std::string::npos);
    EXPECT_NE(info.area.find("New York"), std::string::npos);
    EXPECT_EQ(CrsLinearUnit(info), LinearUnit::UsSurveyFoot);
    EXPECT_TRUE(DescribeCrs("EPSG:4326").geographic);
    EXPECT_EQ(CrsLinearUnit(DescribeCrs("+proj=utm +zone=18 +datum=WGS84")), LinearUnit::Metre);
    EXPECT_THROW(DescribeCrs("EPSG:999999"), Error);
    EXPECT_THROW(DescribeCrs("not a crs"), Error);
    const std::vector<CrsRow> found = SearchCrs("2263", 5);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].code, "EPSG:2263");
    EXPECT_FALSE(SearchCrs("long island", 5).empty());
}

TEST(Crs, UnitThatDisagreesWithThePointsIsSaid)
{
    PointTable table;
    table.SetUnit(LinearUnit::Metre);
    EXPECT_NE(AssignCrs(table, "EPSG:2263").find("US survey"), std::string::npos);
    EXPECT_EQ(table.Crs(), "EPSG:2263");
    EXPECT_EQ(AssignCrs(table, "EPSG:32618"), "");
    table.Clear();
    EXPECT_EQ(table.Crs(), "");
    EXPECT_EQ(AssignCrs(table, "EPSG:2263"), "");
    EXPECT_EQ(table.Unit(), LinearUnit::UsSurveyFoot);
}

// A LandXML file names its CRS by its EPSG code; a code that is no number is
// said and left.
TEST(Crs, LandXmlCarriesItsEpsgCode)
{
    TempDir dir;
    for (const auto& [attribute, crs, notices] :
         {std::tuple{"epsgCode=\" 2263\"", "EPSG:2263", 0u}, std::tuple{"epsgCode=\"x\"", "", 1u}}) {
        WriteBytes(dir.Path("p.xml"), std::string("<LandXML><CoordinateSystem ") + attribute +
                                          "/><Units><Metric linearUnit=\"meter\"/></Units>"
                                          "<CgPoints><CgPoint name=\"1\">1 2</CgPoint></CgPoints></LandXML>");
        PointTable table;
        EXPECT_EQ(ReadLandXml(table, dir.Path("p.xml")).notices.size(), notices);
        EXPECT_EQ(table.Crs(), crs);
        // Written back (its unit unchanged) and read again.
        WriteLandXmlFile(table, dir.Path("q.xml"), {});
        PointTable again;
        ReadLandXml(again, dir.Path("q.xml"));
        EXPECT_EQ(again.Crs(), crs);
    }
}

// The published vector of EPSG:2263, then the same points against cs2cs for
// a state plane, a UTM zone and a national grid.
TEST(Crs, TransformsAsPublishedAndAsCs2cs)
{
    PointTable table = OnePoint("EPSG:2263", 172921.880868694, 979475.050077194);
    // NAD83 to WGS 84 is a null transform, good to 4 m, and is said to be.
    const std::vector<std::string> notices = TransformTable(table, "EPSG:4326");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("accurate to 4 m"), std::string::npos) << notices[0];
    EXPECT_NEAR(Number(table, ColEasting, 0), -74.017205480267, 1e-9);
    EXPECT_NEAR(Number(table, ColNorthing, 0), 40.64130590646, 1e-9);
    EXPECT_EQ(Number(table, ColElevation, 0), 10.5);  // no vertical transform: unchanged
    EXPECT_EQ(table.Crs(), "EPSG:4326");

    struct Case {
        const char* crs;
        double east, north;
    };
    for (const Case& c : {Case{"EPSG:2263", 979475.050077194, 172921.880868694}, Case{"EPSG:32618", 500000, 4500000},
                          Case{"EPSG:27700", 530000, 180000}}) {
        const std::string out = Output("echo '" + std::to_string(c.east) + " " + std::to_string(c.north) +
                                    "' | cs2cs -f %.12f " + c.crs + " EPSG:4326 2>/dev/null");
        if (out.empty()) GTEST_SKIP() << "no cs2cs";
        double lat = 0, lon = 0;
        std::istringstream(out) >> lat >> lon;
        PointTable t = OnePoint(c.crs, c.north, c.east);
        TransformTable(t, "EPSG:4326");
        EXPECT_NEAR(Number(t, ColEasting, 0), lon, 1e-9) << c.crs;
        EXPECT_NEAR(Number(t, ColNorthing, 0), lat, 1e-9) << c.crs;
    }
}

TEST(Crs, PointsThatCannotBeMovedAreNamedAndNothingMoves)
{
    PointTable table = OnePoint("EPSG:32618", 4500000, 500000);
    table.AddPoint({Cell(std::string("FAR")), Cell(1e9), Cell(1e9), Cell(), Cell()});
    try {
        TransformTable(table, "EPSG:4326");
        FAIL() << "transformed";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("FAR"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Number(table, ColEasting, 0), 500000);
    EXPECT_EQ(table.Crs(), "EPSG:32618");
    // A projection without an inverse moves nothing.
    PointTable noInverse = OnePoint("+proj=lask +ellps=WGS84 +type=crs", 1000, 1000);
    EXPECT_THROW(TransformTable(noInverse, "EPSG:4326"), Error);
    EXPECT_EQ(Number(noInverse, ColEasting, 0), 1000);
    PointTable none;
    EXPECT_THROW(TransformTable(none, "EPSG:4326"), Error);
    EXPECT_THROW(TransformTable(table, "EPSG:999999"), Error);
}

struct Gis : ::testing::Test {
    TempDir dir;
    PointTable table;
    void SetUp() override
    {
        table.AddPoint({Cell(std::string("1")), Cell(172921.880868694), Cell(979475.050077194), Cell(12.25),
                        Cell(std::string("IP found"))});
        table.AddPoint({Cell(std::string("A12")), Cell(std::string("173000.5")), Cell(std::string("979500.25")), Cell(),
                        Cell(std::string("Grenzstein \u00e4\u00f6 \u00b0"))});
        table.AddPoint({Cell(std::string("3")), Cell(172800.125), Cell(979400.75), Cell(-1.5), Cell()});
        table.SetCrs("EPSG:2263");
    }
};

// Every writer's file read back by Tessaly's reader and by GDAL's ogr2ogr:
// the same count, places and attributes.
TEST_F(Gis, EveryOutputRoundTrips)
{
    PointTable wgs84 = table;
    TransformTable(wgs84, "EPSG:4326");
    struct Case {
        const char* name;
        ExportReport (*write)(const PointTable&, const std::string&, const OptionValues&);
        const char* crs;
    };
    for (const Case& c : {Case{"p.geojson", WriteGeoJsonFile, "EPSG:4326"}, Case{"p.kml", WriteKmlFile, "EPSG:4326"},
                          Case{"p.shp", WriteShapefile, "EPSG:2263"}, Case{"p.gpkg", WriteGeoPackageFile, "EPSG:2263"}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Path(c.name);
        EXPECT_EQ(c.write(table, path, {}).written, 3);
        const PointTable& expected = std::string(c.crs) == "EPSG:4326" ? wgs84 : table;
        PointTable back;
        ReadGisFile(back, path);
        ASSERT_EQ(back.CurrItems(), 3);
        EXPECT_EQ(back.Crs(), c.crs);
        for (int32_t r = 0; r < 3; ++r) {
            EXPECT_EQ(CellText(back.Get(ColPoint, r)), CellText(table.Get(ColPoint, r)));
            EXPECT_EQ(CellText(back.Get(ColDescription, r)), CellText(table.Get(ColDescription, r)));
            EXPECT_EQ(CellText(back.Get(ColElevation, r)), CellText(table.Get(ColElevation, r)));
            for (int16_t col : {ColNorthing, ColEasting})
                EXPECT_NEAR(Number(back, col, r), Number(expected, col, r), 1e-9);
        }
        // GDAL's own reading.
        const std::string csv = Output("ogr2ogr -f CSV /vsistdout/ " + path + " -lco GEOMETRY=AS_XY 2>/dev/null");
        if (csv.empty()) continue;
        std::istringstream lines(csv);
        std::string line;
        std::getline(lines, line);  // the header
        int32_t r = 0;
        while (std::getline(lines, line) && r < 3) {
            double x = 0, y = 0;
            char comma = 0;
            std::istringstream(line) >> x >> comma >> y;
            EXPECT_NEAR(x, Number(expected, ColEasting, r), 1e-9) << line;
            EXPECT_NEAR(y, Number(expected, ColNorthing, r), 1e-9) << line;
            EXPECT_NE(line.find(CellText(table.Get(ColPoint, r))), std::string::npos) << line;
            EXPECT_NE(line.find(CellText(table.Get(ColDescription, r))), std::string::npos) << line;
            ++r;
        }
        EXPECT_EQ(r, 3);
    }
    // The Shapefile's company: a .prj and a .cpg saying UTF-8; no staging
    // folder left.
    EXPECT_EQ(ReadBytes(dir.Path("p.cpg")).substr(0, 5), "UTF-8");
    EXPECT_NE(ReadBytes(dir.Path("p.prj")).find("Long_Island"), std::string::npos);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Root())) ++entries;
    EXPECT_EQ(entries, 8u);  // geojson, kml, shp, shx, dbf, prj, cpg, gpkg
}

// The export dialog's "to-crs": a GeoPackage in UTM, the table unchanged.
TEST_F(Gis, WrittenInAnotherCrsWhenAsked)
{
    EXPECT_EQ(WriteGeoPackageFile(table, dir.Path("u.gpkg"), {{"to-crs", "EPSG:32618"}}).written, 3);
    EXPECT_EQ(table.Crs(), "EPSG:2263");
    PointTable back;
    ReadGisFile(back, dir.Path("u.gpkg"));
    EXPECT_EQ(back.Crs(), "EPSG:32618");
    EXPECT_NEAR(Number(back, ColEasting, 0), 583101.61, 0.01);
    EXPECT_THROW(WriteShapefile(table, dir.Path("u.shp"), {{"to-crs", "EPSG:999999"}}), Error);
}

TEST_F(Gis, WgsOutputsNeedACrsAndOthersDoWithout)
{
    table.SetCrs("");
    EXPECT_THROW(WriteGeoJsonFile(table, dir.Path("p.geojson")), Error);
    EXPECT_THROW(WriteKmlFile(table, dir.Path("p.kml")), Error);
    EXPECT_EQ(WriteShapefile(table, dir.Path("p.shp")).written, 3);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("p.prj")));
    PointTable back;
    ReadGisFile(back, dir.Path("p.shp"));
    EXPECT_EQ(back.CurrItems(), 3);
    EXPECT_EQ(back.Crs(), "");
    // --crs on a longitude and latitude file moves the points to it.
    table.SetCrs("EPSG:2263");
    WriteGeoJsonFile(table, dir.Path("p.geojson"));
    ReadGisFile(back, dir.Path("p.geojson"));
    EXPECT_FALSE(ApplyCrs(back, "EPSG:2263").empty());
    EXPECT_NEAR(Number(back, ColEasting, 1), 979500.25, 1e-3);
}

TEST_F(Gis, BadFilesFailWithAMessage)
{
    WriteBytes(dir.Path("bad.geojson"), "{\"type\": \"FeatureCollection\", \"features\": [");
    PointTable back;
    EXPECT_THROW(ReadGisFile(back, dir.Path("bad.geojson")), Error);
    WriteBytes(dir.Path("line.geojson"),
               R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},)"
               R"("geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]}},)"
               R"({"type":"Feature","properties":{"name":"P"},"geometry":{"type":"Point","coordinates":[1,2]}}]})");
    const ReadReport report = ReadGisFile(back, dir.Path("line.geojson"));
    EXPECT_EQ(back.CurrItems(), 1);
    ASSERT_EQ(report.notices.size(), 1u);
    EXPECT_NE(report.notices[0].find("not a point"), std::string::npos);
}

}  // namespace
