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

    Seed(out / "cr5", "three", Cr5File({{5, 512.5, 100, -12.25, "FENCE\0xx"}, {0, 1, 2, 3, "SKIPPED"},
                                        {7, 1, 2, 3, "ABCDEFGHIJKLMNOPQ"}}, "TDS HEADER"));

    Seed(out / "grd", "grid", "100, 500, 110, 520, 2, 1\r\n1,2,\"3 , 4\"\r\n\r\n101.50 5\n6\r\n");
    Seed(out / "grd", "short", "0 0 1 1 1 1\r\n7");

    const std::vector<SurveyorPoint> pts = {{100, 200, 10}, {0, 0, 0}, {-5, 7.5, 1}, {1, 1, 1}};
    Seed(out / "surveyor_one", "3d", SurveyorOneFile(pts, true));
    Seed(out / "surveyor_one", "2d", SurveyorOneFile(pts, false, 0x4142));

    // Companion target: two bytes giving the point file's length, the point
    // file, then its description file.
    auto companion = [](const std::string& points, const std::string& texts) {
        std::string bytes;
        bytes += static_cast<char>(points.size() & 0xff);
        bytes += static_cast<char>(points.size() >> 8);
        return bytes + points + texts;
    };
    Seed(out / "surveyor_one_companion", "3d",
         companion(SurveyorOneFile(pts, true), SurveyorDescriptions({"IP FOUND", "- SKIP", "  - KEPT", ""})));
    Seed(out / "surveyor_one_companion", "2d-short",
         companion(SurveyorOneFile(pts, false), SurveyorDescriptions({"ONE"}).substr(0, 20)));

    Seed(out / "text", "header-csv", "Point,Northing,Easting,Elevation,Description\r\n1,5000,1000,100,\"LOT 4, BLOCK 2\"\r\n");
    Seed(out / "text", "blanks", "# job\n1 5000 1000 100 IP FOUND\n2 5001.5 1001 \"\" \"A \"\"B\"\"\"\n");
    Seed(out / "text", "semicolon-utf8", "\xEF\xBB\xBFid;y;x;h;code\r5;1e3;-2.5;;CAF\xC3\x89\r");
    Seed(out / "text", "quoted-lines", "1\t2\t3\t4\t\"L1\r\nL2\"\r\n2\t\t\t\tx\r\n");
    Seed(out / "text", "decimal-comma", "1;5000,5;1000,25;100;X\n");
    const std::string landxml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\">\n";
    Seed(out / "landxml", "points",
         landxml + "<Units><Metric linearUnit=\"meter\"/></Units>\n<CgPoints>\n"
                   "<CgPoint name=\"1\" desc=\"IP FOUND\">5000.125 1000.5 100.25</CgPoint>\n"
                   "<CgPoints><CgPoint oID=\"2\" code=\"CAF\xC3\x89 &amp; \xE2\x82\xAC\">-7.5 1E3</CgPoint></CgPoints>\n"
                   "<CgPoint pntRef=\"1\"/><CgPoint name=\"4\" pntRef=\"none\"/>\n"
                   "<CgPoint name=\"5\"><![CDATA[1 2]]></CgPoint>\n</CgPoints>\n</LandXML>\n");
    Seed(out / "landxml", "doctype",
         "<!DOCTYPE LandXML [<!ENTITY e \"1 2\"><!ENTITY x SYSTEM \"/etc/hostname\">]>\n" +
             landxml.substr(landxml.find('\n') + 1) + "<CgPoints><CgPoint>&e;</CgPoint><CgPoint>&x;</CgPoint></CgPoints></LandXML>");
    Seed(out / "landxml", "not-landxml", "<?xml version=\"1.0\"?><kml><CgPoints><CgPoint>1 2</CgPoint></CgPoints></kml>");

    // DXF: a drawing as Tessaly writes it, one of a later release with
    // subclass markers, blocks, paper space and moved labels, a binary one,
    // and one cut short.
    auto group = [](int code, const std::string& value) { return std::to_string(code) + "\r\n" + value + "\r\n"; };
    auto section = [&](const std::string& name, const std::string& body) {
        return group(0, "SECTION") + group(2, name) + body + group(0, "ENDSEC");
    };
    auto entity = [&](const std::string& type, const std::string& layer, const std::string& x, const std::string& y,
                      const std::string& more = "") {
        return group(0, type) + group(8, layer) + group(10, x) + group(20, y) + group(30, "0") + more;
    };
    auto label = [&](const std::string& text) { return group(40, "1") + group(1, text); };
    const std::string own =
        section("HEADER", group(9, "$ACADVER") + group(1, "AC1009") + group(9, "$DWGCODEPAGE") + group(3, "ANSI_1252")) +
        section("ENTITIES", entity("POINT", "PNT", "1000.000", "5000.5") +
                                entity("TEXT", "PNT-NO", "1000.5", "5001", label("1001")) +
                                entity("TEXT", "PNT-DESC", "1000.5", "4999", label("IP, CAF\xC9 \\U+20AC %%%%%%")) +
                                entity("POINT", "PNT", "-2.5", "1E3")) +
        group(0, "EOF");
    Seed(out / "dxf", "tessaly", own);
    Seed(out / "dxf", "cut", own.substr(0, own.size() / 2));
    Seed(out / "dxf", "later-release",
         section("HEADER", group(9, "$ACADVER") + group(1, "AC1027")) +
             section("BLOCKS", group(0, "BLOCK") + entity("POINT", "0", "9", "9")) +
             section("ENTITIES", group(0, "POINT") + group(100, "AcDbEntity") + group(8, "0") + group(100, "AcDbPoint") +
                                     group(10, "1") + group(20, "2") + group(1010, "3") +
                                     entity("TEXT", "PNT-DESC", "4", "-7", label("moved \xC3\xA9 %%d")) +
                                     entity("POINT", "0", "5", "6", group(67, "1")) +
                                     entity("LINE", "0", "0", "0")) +
             group(0, "EOF"));
    Seed(out / "dxf", "binary", std::string("AutoCAD Binary DXF\r\n\x1A\0", 22));

    // As Tessaly writes them, and shapes it does not.
    Seed(out / "geojson", "tessaly",
         R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"point":"1","elevation":12.25,)"
         R"("description":"IP"},"geometry":{"type":"Point","coordinates":[-74.017205480,40.641305906]}},)"
         R"({"type":"Feature","properties":{"point":null},"geometry":{"type":"MultiPoint","coordinates":[[1,2]]}},)"
         R"({"type":"Feature","properties":{},"geometry":null}]})");
    Seed(out / "kml", "tessaly",
         "<?xml version=\"1.0\" encoding=\"utf-8\" ?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>"
         "<Folder><name>points</name><Placemark><name>1</name><description>IP</description><Point>"
         "<altitudeMode>absolute</altitudeMode><coordinates>-74.0172,40.6413,12.25</coordinates></Point>"
         "</Placemark><Placemark><LineString><coordinates>0,0 1,1</coordinates></LineString></Placemark>"
         "</Folder></Document></kml>");
    Seed(out / "gpkg", "header", std::string("SQLite format 3\0", 16) + std::string(84, '\0'));
    return 0;
}
