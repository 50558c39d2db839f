// The format table: which reader and writer a name chooses.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

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
        {"JOB1", &text, "s1", "a Surveyor One coordinate file"},
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
