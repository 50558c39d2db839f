// The format table: which reader and writer a name chooses.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "formats/formats.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

TEST(FormatTable, TheReaderIsChosenByTheNameAndForTextAndXmlByTheContent)
{
    TempDir dir;
    const std::string text = "1,5000,1000,100,IP\r\n";
    const std::string binary = std::string("\x01\x00\x02", 3) + text;
    const struct {
        const char* name;
        const std::string* content;  // null: no such file
        const char* id;
        const char* format;
    } cases[] = {
        {"survey.Coo", nullptr, "coo", "a COGO points file"},
        {"xcrd", nullptr, "crd", "an Orvelle coordinate file"},
        {"site.grd", nullptr, "grd", "an Orvelle grid file"},
        {"job.CR5", nullptr, "cr5", "a TDS coordinate file"},
        {"points.mdb", nullptr, "mdb", "an LDD point database"},
        {"xmdb", nullptr, "mdb", "an LDD point database"},
        {"points.ACCDB", nullptr, "mdb", "an LDD point database"},
        {"points.cdb", nullptr, "s1", "a Surveyor One coordinate file"},
        {"dir.crd/job.txt", nullptr, "s1", "a Surveyor One coordinate file"},
        {"job.asc", &text, "text", "a delimited text point file"},
        {"JOB.CSV", &text, "text", "a delimited text point file"},
        {"xtxt", &text, "text", "a delimited text point file"},
        {"job.txt", &binary, "s1", "a Surveyor One coordinate file"},
        {"job.asc", &binary, "s1", "a Surveyor One coordinate file"},
        {"job.asc", nullptr, "s1", "a Surveyor One coordinate file"},
        {"site.Xml", &text, "xml", "a LandXML point file"},
        {"site.xml", &binary, "s1", "a Surveyor One coordinate file"},
        {"JOB1", &text, "text-other", "a delimited text point file under another name"},
        {"site.DXF", nullptr, "dxf", "a DXF drawing"},
        {"rd", nullptr, "s1", "a Surveyor One coordinate file"},
        {"", nullptr, "s1", "a Surveyor One coordinate file"},
    };
    for (const auto& c : cases) {
        std::string path = c.name;
        if (c.content) WriteBytes(path = dir.Path(c.name), *c.content);
        const Format& chosen = ChooseReader(path);
        EXPECT_STREQ(chosen.id, c.id) << c.name;
        EXPECT_STREQ(chosen.name, c.format) << c.name;
        if (c.content) std::filesystem::remove(path);
    }
}

TEST(FormatTable, TheWriterIsChosenByTheNameAlone)
{
    const struct {
        const char* name;
        const char* id;  // null: no writer
    } cases[] = {
        {"out.asc", "asc"}, {"OUT.ASC", "asc"}, {"xasc", "asc"},     {"asc", "asc"},        {"out.csv", "csv"},
        {"out.TXT", "txt"}, {"out.xml", "xml"}, {"OUT.DXF", "dxf"},  {"out.as", nullptr},   {"sc", nullptr},
        {"", nullptr},      {"out.asc.bak", nullptr}, {"out.mdb", nullptr}, {"out.accdb", nullptr},
    };
    for (const auto& c : cases) {
        const Format* chosen = ChooseWriter(c.name);
        EXPECT_STREQ(chosen ? chosen->id : nullptr, c.id) << c.name;
    }
}

TEST(FormatTable, RowsHaveDistinctIdsAndAReaderOrWriter)
{
    std::set<std::string> ids;
    for (const Format& f : Formats()) {
        EXPECT_TRUE(ids.insert(f.id).second) << f.id;
        EXPECT_TRUE(f.read || f.write) << f.id;
        EXPECT_FALSE(Description(f).empty()) << f.id;
    }
    EXPECT_EQ(Patterns(ChooseReader("a.crd")), "*.crd");
    EXPECT_EQ(Patterns(ChooseReader("JOB1")), "*");
}

TEST(FormatTable, PlainlyOtherFilesAreRefusedAndTextPointsOfAnyNameRead)
{
    TempDir dir;
    const std::string png = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    const std::string zip = std::string("PK\x03\x04\x14\0\0\0", 8);
    const std::vector<SurveyorPoint> fractions = {{5000.123, 1000.456, 100.789}, {5001.77, 1002.31, 99.03}};
    const struct {
        const char* name;
        std::string content;
        const char* id;
        const char* message;  // part of the load's error; null: not looked at
    } cases[] = {
        {"photo.png", png, "refused", "not a point file: a PNG image"},
        {"photo.csv", png, "refused", "not a point file: a PNG image"},
        {"scan.JPG", "\xFF\xD8\xFF\xE0", "refused", "not a point file: a JPEG image"},
        {"logo.gif", "GIF89a\x01", "refused", "not a point file: a GIF image"},
        {"plan.pdf", "%PDF-1.7\n1,5000,1000\n", "refused", "not a point file: a PDF document"},
        {"pts.zip", zip + "a.txt", "refused", "not a point file: a ZIP archive"},
        {"pts.xlsx", zip + "[Content_Types].xml" + zip + "xl/workbook.xml", "refused", "an XLSX spreadsheet"},
        {"pts.ods", zip + "mimetypeapplication/vnd.oasis.opendocument.spreadsheet", "refused", "an ODS spreadsheet"},
        {"pts.gz", std::string("\x1F\x8B\x08\0", 4), "refused", "not a point file: gzip-compressed data"},
        {"README.md", "# Survey\n\nRun the 2 steps in 1.5 minutes.\n", "refused",
         "not a point file: text without point rows"},
        {"job.pnt", "# job\nPoint Northing Easting\n1 5000.5 1000 100 IP\n", "text-other", ""},
        {"job.xyz", "1000.25\t5000\t100", "text-other", ""},
        {"big.json", "[" + std::string(8 << 20, '1') + "]\n1,2,3", "refused", "text without point rows"},
        {"photo.crd", png, "crd", nullptr},
        {"empty.pts", "", "s1", nullptr},
        {"fractions.pts", SurveyorOneFile(fractions, true, 0x4142), "s1", ""},
        {"fractions2d.dat", SurveyorOneFile(fractions, false, 0x4142), "s1", ""},
        {"SITE1", ReadBytes(TestData("reference/SITE1")), "s1", ""},
        {"job.pts", ReadBytes(TestData("reference/job.pts")), "s1", ""},
    };
    // Binary numbers need not hold a NUL: such a file is no text all the same.
    EXPECT_EQ(SurveyorOneFile(fractions, true, 0x4142).find('\0'), std::string::npos);
    for (const auto& c : cases) {
        const std::string path = dir.Path(c.name);
        WriteBytes(path, c.content);
        EXPECT_STREQ(ChooseReader(path).id, c.id) << c.name;
        PointTable table;
        const std::string outcome = LoadOutcome(table, path);
        if (c.message) {
            EXPECT_NE(outcome.find(c.message), std::string::npos) << c.name << ": " << outcome;
            EXPECT_EQ(outcome.empty(), !*c.message) << c.name << ": " << outcome;
        }
        std::filesystem::remove(path);
    }
}
