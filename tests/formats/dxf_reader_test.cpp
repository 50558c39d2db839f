// The DXF points reader: Tessaly's own drawings back to the same table, other
// drawings' points, and what it refuses.
#include <gtest/gtest.h>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
using Rows = std::vector<std::vector<std::string>>;

Rows Loaded(const PointTable& table)
{
    Rows rows;
    for (int32_t r = 0; r < table.CurrItems(); ++r) rows.push_back(RowTexts(table, r));
    return rows;
}

std::string Group(int code, const std::string& value) { return std::to_string(code) + "\n" + value + "\n"; }

std::string Point(const std::string& e, const std::string& n, const std::string& z = "0",
                  const std::string& extra = "")
{
    return Group(0, "POINT") + Group(8, "0") + extra + Group(10, e) + Group(20, n) + Group(30, z);
}

std::string Text(const std::string& layer, double x, double y, const std::string& text, double h = 1)
{
    return Group(0, "TEXT") + Group(8, layer) + Group(10, NumberText(x)) + Group(20, NumberText(y)) +
           Group(30, "0") + Group(40, NumberText(h)) + Group(1, text);
}

std::string Drawing(const std::string& entities, const std::string& version = "AC1009",
                    const std::string& blocks = "", const std::string& header = "")
{
    return Group(0, "SECTION") + Group(2, "HEADER") + Group(9, "$ACADVER") + Group(1, version) + header +
           Group(0, "ENDSEC") +
           Group(0, "SECTION") + Group(2, "BLOCKS") + blocks + Group(0, "ENDSEC") + Group(0, "SECTION") +
           Group(2, "ENTITIES") + entities + Group(0, "ENDSEC") + Group(0, "EOF");
}
// TEXT up to where AT starts.
std::string Cut(const std::string& text, const std::string& at) { return text.substr(0, text.find(at)); }
}  // namespace

TEST(DxfReader, TessalysOwnDrawingReopensWithTheSameTable)
{
    TempDir dir;
    PointTable table;
    const Rows rows = {
        {"1001", "5000.000", "1000.000", "100.25", "Iron pin found, capped LS 12345"},
        {"1001", "5000.000", "1000.000", "99", "same place, same number"},
        {"B7", "-12.5", "1E3", "0", "Café Ñandú € 50%% \"q\""},
        {"", "7", "8", "0", "no number"},
        {"9", "4", "3", "0", ""},
    };
    for (const auto& r : rows) table.AddTextPoint({r[0], r[1], r[2], r[3], r[4]});
    table.AddTextPoint({"10", "N/A", "1", "2", "left out by the writer"});
    const std::string path = dir.Path("out.dxf");
    for (double height : {1.0, 2.5, 0.001}) {
        WriteDxfFile(table, path, {height});
        PointTable back;
        EXPECT_EQ(LoadOutcome(back, path), "") << height;
        EXPECT_EQ(Loaded(back), rows) << height;
    }
    // Saved again by a program that groups the entities by layer: the labels
    // find their points by where they sit.
    WriteDxfFile(table, path);
    const std::string dxf = ReadBytes(path);
    const size_t begin = dxf.find("  0\r\nPOINT"), end = dxf.rfind("  0\r\nENDSEC");
    std::string byLayer[3];
    for (size_t at = begin; at < end;) {
        const size_t next = std::min(dxf.find("  0\r\n", at + 1), end);
        const std::string entity = dxf.substr(at, next - at);
        const bool number = entity.find("PNT-NO") != std::string::npos;
        byLayer[number ? 0 : entity.find("PNT-DESC") != std::string::npos ? 1 : 2] += entity;
        at = next;
    }
    WriteBytes(path, dxf.substr(0, begin) + byLayer[1] + byLayer[0] + byLayer[2] + dxf.substr(end));
    PointTable back;
    EXPECT_EQ(LoadOutcome(back, path), "");
    EXPECT_EQ(Loaded(back), rows);
}

TEST(DxfReader, Cases)
{
    TempDir dir;
    std::string many;
    for (int i = 0; i < 10001; ++i) many += Point(std::to_string(i), "1");
    const std::string subclassed = Group(0, "POINT") + Group(5, "2A") + Group(100, "AcDbEntity") + Group(8, "SURVEY") +
                                   Group(100, "AcDbPoint") + Group(10, " 1.5") + Group(20, "2.5") +
                                   Group(1010, "9") + Group(1020, "9");
    const struct {
        const char* what;
        std::string content;
        Rows rows;
        const char* error;   // part of the message; "" for a complete load
        const char* notice;  // part of a notice; "" for none
        const char* beyond;
    } cases[] = {
        {"a foreign drawing: POINTs numbered 1..n, BLOCKS and paper space left out",
         Drawing(Point("10", "20", "30") + Group(0, "LINE") + Group(8, "0") + Group(10, "0") + Group(20, "0") +
                     Point("7", "8", "9", Group(67, "1")) + subclassed + Text("NOTES", 1, 2, "not a label"),
                 "AC1015", Group(0, "BLOCK") + Point("99", "99")),
         {{"1", "20", "10", "30", ""}, {"2", "2.5", "1.5", "0", ""}},
         "",
         "numbered 1 to 2",
         "Lines, Texts"},
        {"LF and lone CR line ends, a UTF-8 drawing with escapes and control codes",
         std::string("0\rSECTION\r\n2\nHEADER\n9\n$ACADVER\n1\nAC1021\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n") +
             Point("1", "2") + Text("pnt-no", 1.5, 2.5, "P\\U+00E91") +
             Text("PNT-DESC", 1.5, 0.5, "\xC3\xA9 %%d %%%\\U+D83D\\U+DE00 \\U+12") + Group(0, "ENDSEC") +
             Group(0, "EOF"),
         {{"P\xC3\xA9" "1", "2", "1", "0", "\xC3\xA9 \xC2\xB0 %\xF0\x9F\x98\x80 \\U+12"}},
         "",
         "",
         ""},
        {"Windows-1252 text of an older release", Drawing(Point("1", "2") + Text("PNT-NO", 1.5, 2.5, "\xE9\x80")),
         {{"\xC3\xA9\xE2\x82\xAC", "2", "1", "0", ""}},
         "",
         "",
         ""},
        {"a label moved by hand stays with the point it follows; a stray one is said",
         Drawing(Point("100", "200") + Text("PNT-NO", 103, 198, "A") + Point("500", "500") +
                 Text("PNT-NO", 0, 0, "stray")),
         {{"A", "200", "100", "0", ""}, {"", "500", "500", "0", ""}},
         "",
         "1 label on layer PNT-NO or PNT-DESC belongs to no point",
         ""},
        {"a non-number coordinate is kept and said", Drawing(Point("1,5", "2")),
         {{"1", "2", "1,5", "0", ""}},
         "",
         "1 point has a coordinate that is not a number, the first on line 22",
         ""},
        {"binary DXF", std::string("AutoCAD Binary DXF\r\n\x1A\0\0\0SECTION", 31), {}, "binary DXF", "", ""},
        {"not a drawing", "# Points\n1,2,3\n", {}, "line 1: \"# Points\" is not a DXF group code", "", ""},
        {"cut in the middle of an entity",
         Cut(Drawing(Point("1", "2") + Text("PNT-NO", 1.5, 2.5, "7") + Point("3", "4")), "20\n4\n"),
         {{"7", "2", "1", "0", ""}},
         "the file ends before its drawing does",
         "",
         ""},
        {"cut between a group code and its value", "0\nSECTION\n2\nENTITIES\n" + Point("1", "2") + "0\n",
         {{"1", "2", "1", "0", ""}},
         "ends in the middle of a group",
         "",
         ""},
        {"a huge value is cut", Drawing(Point("1", "2") + Text("PNT-DESC", 1.5, 0.5, std::string(100000, 'x'))),
         {{"1", "2", "1", "0", std::string(4096, 'x')}},
         "",
         "1 text longer than 4096 characters was cut",
         ""},
        {"more than 10000 points", Drawing(many), {}, "only the first 10000 were loaded", "", ""},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Path("in.dxf");
        WriteBytes(path, c.content);
        PointTable table;
        ReadReport report;
        std::string error;
        try {
            report = ReadDxfFile(table, path);
        } catch (const Error& e) {
            error = e.what();
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.empty(), *c.error == '\0') << c.what << ": " << error;
        if (std::string(c.what) == "more than 10000 points") {
            EXPECT_EQ(table.CurrItems(), 10000);
            EXPECT_EQ(CellText(table.Get(ColEasting, 9999)), "9999");
            continue;
        }
        EXPECT_EQ(Loaded(table), c.rows) << c.what;
        std::string notices;
        for (const std::string& n : report.notices) notices += n + "\n";
        EXPECT_NE(notices.find(c.notice), std::string::npos) << c.what << ": " << notices;
        EXPECT_EQ(notices.empty(), *c.notice == '\0') << c.what << ": " << notices;
        EXPECT_EQ(report.beyondPoints, c.beyond) << c.what;
        EXPECT_EQ(table.Unit(), LinearUnit::Unknown) << c.what;
    }
    // The drawing's unit is the points' unit.
    const std::string path = dir.Path("units.dxf");
    PointTable table;
    const std::pair<const char*, LinearUnit> units[] = {
        {"21", LinearUnit::UsSurveyFoot}, {"6", LinearUnit::Metre}, {"4", LinearUnit::Unknown}};
    for (auto [code, unit] : units) {
        WriteBytes(path, Drawing(Point("1", "2"), "AC1015", "", Group(9, "$INSUNITS") + Group(70, code)));
        EXPECT_EQ(LoadOutcome(table, path), "");
        EXPECT_EQ(table.Unit(), unit) << code;
    }
}
