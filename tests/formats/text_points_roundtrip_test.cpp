// Round trips: whatever a reader loads, written as ASCII PNEZD or as text in
// any layout, delimiter, header, encoding and line end, reads back as the
// same table, and that table gives the same ASCII PNEZD bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>

#include "formats/formats.h"
#include "formats/text/text_points.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {

struct Source {
    const char* name;
    std::function<void(const TempDir&, PointTable&)> load;
    bool asc = true;  // the ASCII PNEZD writer can carry it (no line ends in the text)
};

// Writes BYTES as NAME and loads it with the reader its name chooses.
std::function<void(const TempDir&, PointTable&)> File(std::string name, std::string bytes,
                                                      std::string companion = {})
{
    return [=](const TempDir& dir, PointTable& table) {
        WriteBytes(dir.Path(name), bytes);
        if (!companion.empty()) WriteBytes(dir.Path(name + "W"), companion);
        ChooseReader(dir.Path(name)).read(table, dir.Path(name), {});
    };
}

std::function<void(const TempDir&, PointTable&)> TextFile(std::string bytes)
{
    return [=](const TempDir& dir, PointTable& table) {
        WriteBytes(dir.Path("in.csv"), bytes);
        ReadTextPointsFile(table, dir.Path("in.csv"));
    };
}

const std::vector<Source>& Sources()
{
    static const std::vector<Source> sources = {
        {"crd", File("job.crd", CrdNumeric(3, {{5000.125, 1000.5, 100, "IP FOUND"},
                                              {-12.25, 7.5, 0, "LOT 4, BLOCK 2"},
                                              {0, 0, 0, ""}}))},
        {"coo", File("job.coo", CooBlock("0012", "FENCE COR", "407.000", "503.25", "12 ft") +
                                    CooBlock("13", "say \"hi\"; ok", "1E3", "-7.5", ""))},
        {"cr5", File("job.cr5", Cr5File({{5, 512.5, 100, -12.25, "FENCE"}, {7, 1, 2, 3, "IP, FOUND\t"}}))},
        {"grd", File("job.grd", "100,500,110,520,2,1\r\n101.50,7,8\r\n-3,4,5\r\n")},
        {"surveyor one 3D", File("SITE1", SurveyorOneFile({{100.5, 200.25, 10}, {3, 4, 5}, {9, 9, 9}}, true),
                                 SurveyorDescriptions({"  IP FOUND", "X Y", "LAST"}))},
        {"surveyor one 2D", File("SITE2", SurveyorOneFile({{100.5, 200.25, 0}, {3, 4, 0}, {9, 9, 9}}, false))},
        {"mdb", [](const TempDir&, PointTable& table) { ReadMdbFile(table, TestData("points-basic.mdb")); }},
        {"csv with header", TextFile("Name,X,Y,Code\r\nA1,1000.5,5000.25,\"TREE, OAK\"\r\nA2,,,\r\n")},
        {"blank-delimited txt", TextFile("1 5000 1000 100 IP FOUND\n2 5001 1001\n")},
        {"texts that need quoting",
         [](const TempDir&, PointTable& table) {
             table.AddPoint({"#1", "5000", "1000", "100", "say \"hi\", ok; \tx"});
             table.AddPoint({" 2 ", "", "", "", " lead and trail "});
             table.AddPoint({"", "", "", "", ""});
             table.AddPoint({"3", "-1.5E3", "+2", "", "two\r\nlines\rcr\nlf"});
             table.AddPoint({"4", 1.5, 0.0, -2.0, "\xC3\x89\xE2\x82\xAC\xC2\x81 caf\xC3\xA9"});
             table.AddPoint({"5", "1", "2", "3", "\"quoted\""});
             table.AddPoint({"6", "1", "2", "3", "a\tb  c"});
         },
         false},
        // What the grid keeps when a typed coordinate is not a number. (A
        // first line without any number would be taken for column names.)
        {"text coordinates",
         [](const TempDir&, PointTable& table) {
             table.AddPoint({"2", "5000", "1000", "", "B"});
             table.AddPoint({"1", "N/A", "12,5", "x", "A"});
             table.AddPoint({"3", "5001", "-", "1..2", "C"});
         },
         false},
        {"accented letters",
         [](const TempDir&, PointTable& table) {
             table.AddPoint({"\xC3\x89 4", "1", "2", "3", "\xC3\x89\xE2\x82\xAC\xC2\x81 caf\xC3\xA9, \"x\""});
             table.AddPoint({"5", "1", "2", "3", "H\xC3\xB6he"});
         }},
    };
    return sources;
}

std::string AscBytes(const PointTable& table, const TempDir& dir)
{
    WriteAscFile(table, dir.Path("check.asc"));
    return ReadBytes(dir.Path("check.asc"));
}

std::vector<std::vector<std::string>> Texts(const PointTable& table)
{
    std::vector<std::vector<std::string>> rows;
    for (int32_t r = 0; r < table.CurrItems(); ++r) rows.push_back(RowTexts(table, r));
    return rows;
}

// What a file of LAYOUT keeps of TABLE: the layout's columns as text, the
// running number for a missing point column, empty cells for the rest.
void Project(const PointTable& table, TextLayout layout, PointTable& out)
{
    out.Clear();
    const auto columns = LayoutColumns(layout);
    for (int32_t r = 0; r < table.CurrItems(); ++r) {
        std::array<Cell, PointTable::TotCols> cells{std::to_string(r + 1), std::string(), std::string(),
                                                    std::string(), std::string()};
        for (Column c : columns) cells[c] = CellText(table.Get(c, r));
        out.AddPoint(std::move(cells));
    }
}

}  // namespace

TEST(TextPointsRoundTrip, EveryReaderThroughEveryWriter)
{
    for (const Source& source : Sources()) {
        TempDir dir;
        PointTable loaded;
        ASSERT_NO_THROW(source.load(dir, loaded)) << source.name;
        ASSERT_GT(loaded.CurrItems(), 0) << source.name;

        PointTable expected, back;
        if (source.asc) {
            WriteAscFile(loaded, dir.Path("out.asc"));
            Project(loaded, TextLayout::PNEZD, expected);
            ReadTextPointsFile(back, dir.Path("out.asc"));
            EXPECT_EQ(Texts(back), Texts(expected)) << source.name << " as ASCII PNEZD";
            EXPECT_EQ(AscBytes(back, dir), AscBytes(expected, dir)) << source.name;
        }
        int variant = 0;
        for (TextLayout layout : kTextLayouts) {
            for (TextDelimiter delimiter :
                 {TextDelimiter::Comma, TextDelimiter::Tab, TextDelimiter::Semicolon, TextDelimiter::Blanks}) {
                // Header, encoding and line ends take turns over the layouts
                // and delimiters, so each meets every delimiter.
                ++variant;
                TextWriteOptions options{layout, delimiter, variant % 2 == 0,
                                         variant % 3 == 0 ? TextEncoding::Utf8 : TextEncoding::Cp1252,
                                         variant % 5 == 0 ? TextLineEnd::Lf : TextLineEnd::CrLf};
                const std::string what = std::string(source.name) + " as " + std::string(LayoutName(layout)) + " " +
                                         std::string(DelimiterName(delimiter)) + (options.header ? " header" : "") +
                                         (options.encoding == TextEncoding::Utf8 ? " utf-8" : "") +
                                         (options.lineEnd == TextLineEnd::Lf ? " lf" : "");
                const auto path = dir.Path("out.txt");
                WriteTextPointsFile(loaded, path, options);
                Project(loaded, layout, expected);
                try {
                    TextFound summary;
                    ReadTextPointsFile(back, path, {layout}, &summary);
                    EXPECT_EQ(summary.delimiter, delimiter) << what;
                    EXPECT_EQ(summary.replaced, 0) << what;
                } catch (const Error& e) {
                    ADD_FAILURE() << what << ": " << e.what() << "\n" << ReadBytes(path);
                    continue;
                }
                EXPECT_EQ(Texts(back), Texts(expected)) << what << "\n" << ReadBytes(path);
                if (source.asc) {
                    EXPECT_EQ(AscBytes(back, dir), AscBytes(expected, dir)) << what;
                }
            }
        }
    }
}

TEST(TextPointsWriter, BytesOfTheOptions)
{
    PointTable table;
    table.AddPoint({"1", "5000", "1000.5", 0.0, "LOT 4, BLOCK 2"});
    table.AddPoint({"#2", "", "", "", ""});
    // Greek, Cyrillic and Japanese: kept in UTF-8, "?" in Windows-1252.
    table.AddPoint({"3", "1", "2", "3", "caf\xC3\xA9 \"x\" \xCE\xA9\xD0\x96\xE6\x97\xA5"});
    table.Set(ColPoint, 3, std::string("typed after the points"));
    using L = TextLayout;
    using D = TextDelimiter;
    const struct {
        TextWriteOptions options;
        std::string bytes;
        std::vector<std::string> notices;
    } cases[] = {
        {{},
         "1,5000,1000.5,0,\"LOT 4, BLOCK 2\"\r\n\"#2\",,,,\r\n3,1,2,3,\"caf\xE9 \"\"x\"\" ???\"\r\n",
         {"3 characters that Windows-1252 cannot hold written as \"?\""}},
        {{L::ENZ, D::Tab, true, TextEncoding::Utf8, TextLineEnd::Lf},
         "Easting\tNorthing\tElevation\n1000.5\t5000\t0\n\"\"\t\t\n2\t1\t3\n", {}},
        {{L::PNEZD, D::Blanks, true, TextEncoding::Utf8, TextLineEnd::CrLf},
         "Point Northing Easting Elevation Description\r\n1 5000 1000.5 0 LOT 4, BLOCK 2\r\n"
         "\"#2\" \"\" \"\" \"\" \"\"\r\n3 1 2 3 \"caf\xC3\xA9 \"\"x\"\" \xCE\xA9\xD0\x96\xE6\x97\xA5\"\r\n", {}},
        {{L::PEN, D::Semicolon}, "1;1000.5;5000\r\n\"#2\";;\r\n3;2;1\r\n", {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const ExportReport report = WriteTextPointsFile(table, dir.Path("out.csv"), c.options);
        EXPECT_EQ(ReadBytes(dir.Path("out.csv")), c.bytes);
        EXPECT_EQ(report.notices, c.notices) << c.bytes;
        EXPECT_EQ(report.written, 3);
    }
    table.Clear();
    table.AddPoint({"", "", "", "", ""});
    WriteTextPointsFile(table, dir.Path("out.csv"), {L::PNE, D::Tab});
    EXPECT_EQ(ReadBytes(dir.Path("out.csv")), "\"\"\t\t\r\n") << "a line of tabs alone would be skipped";
    EXPECT_THROW(WriteTextPointsFile(table, dir.Path("no-folder/out.csv"), {}), Error);
}

TEST(TextPointsWriter, DefaultsFollowTheName)
{
    EXPECT_EQ(DefaultTextWriteOptions("/jobs/a.CSV").delimiter, TextDelimiter::Comma);
    EXPECT_EQ(DefaultTextWriteOptions("/jobs/a.txt").delimiter, TextDelimiter::Blanks);
    const TextWriteOptions o = DefaultTextWriteOptions("a.csv");
    EXPECT_EQ(o.layout, TextLayout::PNEZD);
    EXPECT_FALSE(o.header);
    EXPECT_EQ(o.encoding, TextEncoding::Cp1252);
    EXPECT_EQ(o.lineEnd, TextLineEnd::CrLf);
    for (TextLayout l : kTextLayouts) EXPECT_EQ(ParseLayout(std::string(LayoutName(l))), l);
    EXPECT_EQ(ParseLayout("penzd"), TextLayout::PENZD);
    EXPECT_EQ(ParseLayout("PNEZDX"), std::nullopt);
    EXPECT_EQ(ParseDelimiter("Space"), TextDelimiter::Blanks);
}

// GDAL reads a CSV we write with a header into the same points.
TEST(TextPointsWriter, GdalReadsWhatWeWrite)
{
    if (std::system("command -v ogr2ogr >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ogr2ogr not found: install gdal-bin (scripts/install-deps does) to run this test";
    TempDir dir;
    PointTable table;
    for (int i = 1; i <= 50; ++i)
        table.AddPoint({std::to_string(i), NumberText(5000 + i * 0.125), NumberText(1000 - i * 0.5),
                        NumberText(100 + i * 0.01), i % 7 ? "PT " + std::to_string(i) : "LOT 4, BLOCK \"2\""});
    const auto in = dir.Path("points.csv");
    WriteTextPointsFile(table, in, {TextLayout::PENZD, TextDelimiter::Comma, true});
    // GDAL turns the named columns into point geometry and writes it back out
    // as X, Y, Z columns in front of the others.
    const auto out = dir.Path("gdal.csv");
    const std::string cmd = "ogr2ogr -f CSV '" + out + "' '" + in +
                            "' -oo X_POSSIBLE_NAMES=Easting -oo Y_POSSIBLE_NAMES=Northing"
                            " -oo Z_POSSIBLE_NAMES=Elevation -oo KEEP_GEOM_COLUMNS=NO -lco GEOMETRY=AS_XYZ"
                            " -lco LINEFORMAT=CRLF 2>'" +
                            dir.Path("err.txt") + "'";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << ReadBytes(dir.Path("err.txt"));
    PointTable back;
    TextFound summary;
    ReadTextPointsFile(back, out, {}, &summary);
    EXPECT_TRUE(summary.header);
    ASSERT_EQ(back.CurrItems(), table.CurrItems()) << ReadBytes(out);
    for (int32_t r = 0; r < table.CurrItems(); ++r) {
        for (Column c : {ColPoint, ColNorthing, ColEasting, ColElevation})
            EXPECT_EQ(LeadingNumber(CellText(back.Get(c, r))), LeadingNumber(CellText(table.Get(c, r))))
                << "row " << r << " column " << c;
        EXPECT_EQ(CellText(back.Get(ColDescription, r)), CellText(table.Get(ColDescription, r))) << r;
    }
}
