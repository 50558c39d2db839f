#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <libxml/parserInternals.h>
#include <sys/resource.h>
#include <regex>
#include <thread>
#include <tuple>
#include <sys/wait.h>

#include "formats/cad/dxf.h"
#include "formats/xml/landxml.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
using Row = std::array<Cell, PointTable::TotCols>;

struct Exchange : ::testing::Test {
    TempDir dir;
    PointTable table;
    void Fill(const std::vector<Row>& rows)
    {
        table.Clear();
        for (const auto& r : rows) table.AddPoint(r);
    }
    std::string Load(const std::string& xml, ReadReport* report = nullptr)
    {
        auto path = dir.Path("in.xml");
        WriteBytes(path, xml);
        try {
            auto r = ReadLandXml(table, path);
            if (report) *report = r;
            return "";
        } catch (const Error& e) {
            return e.what();
        }
    }
    std::vector<std::vector<std::string>> Rows() const
    {
        std::vector<std::vector<std::string>> rows;
        for (int32_t r = 0; r < table.CurrItems(); ++r) rows.push_back(RowTexts(table, r));
        return rows;
    }
};

std::string Doc(const std::string& body, const std::string& prolog = "")
{
    return "<?xml version=\"1.0\"?>\n" + prolog +
           "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\">" + body + "</LandXML>";
}

// Output and exit status of a shell command; -1 when it could not run.
std::pair<std::string, int> Shell(const std::string& command)
{
    std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return {"", -1};
    std::string out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    int status = ::pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

bool Have(const char* program) { return Shell(std::string("command -v ") + program).second == 0; }
}  // namespace

TEST_F(Exchange, WriterCases)
{
    // One row each: the CgPoint LandXML gets (empty: left out) and the
    // POINT and TEXT groups of the DXF.
    const struct {
        Row row;
        const char* cgPoint;
        const char* dxf;
        int32_t elevationsLeftOut = 0;
    } cases[] = {
        {{"12", "503.25", "407", "101.5", "IP FOUND"},
         "<CgPoint name=\"12\" desc=\"IP FOUND\">503.25 407 101.5</CgPoint>",
         "POINT\r\n  8\r\nPNT\r\n 10\r\n407\r\n 20\r\n503.25\r\n 30\r\n101.5\r\n"
         "  0\r\nTEXT\r\n  8\r\nPNT-NO\r\n 10\r\n407.5\r\n 20\r\n503.75\r\n 30\r\n101.5\r\n 40\r\n1\r\n  1\r\n12\r\n"
         "  0\r\nTEXT\r\n  8\r\nPNT-DESC\r\n 10\r\n407.5\r\n 20\r\n501.75\r\n 30\r\n101.5\r\n 40\r\n1\r\n"
         "  1\r\nIP FOUND\r\n"},
        // Digits pass as written; empty elevation left out (0 in DXF), empty
        // description and name left out.
        {{"", " 5000.1234567890123 ", "+1e3", Cell{}, ""}, "<CgPoint>5000.1234567890123 +1e3</CgPoint>",
         "POINT\r\n  8\r\nPNT\r\n 10\r\n+1e3\r\n 20\r\n5000.1234567890123\r\n 30\r\n0\r\n  0\r\nENDSEC"},
        // Number cells at full precision; a text elevation is left out and counted.
        {{"7", 0.1 + 0.2, -12.25, "N/A", Cell{}}, "<CgPoint name=\"7\">0.30000000000000004 -12.25</CgPoint>",
         " 10\r\n-12.25\r\n 20\r\n0.30000000000000004\r\n 30\r\n0\r\n", 1},
        // Escaping; C0 controls cannot stand in XML; DXF in Windows-1252.
        {{"A<1>", "1", "2", "3", "CAF\xC3\x89 & \"\xE2\x82\xAC\" \x01|\t|\n"},
         "<CgPoint name=\"A&lt;1&gt;\" desc=\"CAF\xC3\x89 &amp; &quot;\xE2\x82\xAC&quot; ?|&#9;|&#10;\">1 2 3</CgPoint>",
         "  1\r\nCAF\xC9 & \"\x80\"  | | \r\n"},
        {{"50%%", "1", "2", "", ""}, nullptr, "  1\r\n50%%%%%%\r\n"},
        // Not a coordinate: left out of both files.
        {{"9", "12,5", "1", "", ""}, "", ""},
        {{"9", "1", "", "", ""}, "", ""},
        {{"9", "1e999", "1", "", ""}, "", ""},
        {{"9", "1", std::numeric_limits<double>::quiet_NaN(), "", ""}, "", ""},
        {{"9", ".", "1", "", ""}, "", ""},
        {{"9", "1", "1e", "", ""}, "", ""},
        {{Cell{}, Cell{}, Cell{}, Cell{}, Cell{}}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CellText(c.row[ColPoint]) + " " + CellText(c.row[ColNorthing]));
        Fill({c.row});
        const bool kept = c.dxf[0] != '\0';
        auto xml = dir.Path("out.xml"), dxf = dir.Path("out.dxf");
        ExportReport r = WriteLandXmlFile(table, xml);
        EXPECT_EQ(r.written, kept ? 1 : 0);
        EXPECT_EQ(r.leftOut, kept ? 0 : 1);
        EXPECT_EQ(r.elevationsLeftOut, c.elevationsLeftOut);
        const std::string written = ReadBytes(xml);
        if (c.cgPoint && kept) {
            EXPECT_NE(written.find(c.cgPoint), std::string::npos) << written;
        }
        if (!kept) {
            EXPECT_EQ(written.find("</CgPoint>"), std::string::npos) << written;
        }
        r = WriteDxfFile(table, dxf);
        EXPECT_EQ(r.written, kept ? 1 : 0);
        EXPECT_EQ(r.leftOut, kept ? 0 : 1);
        const std::string drawing = ReadBytes(dxf);
        if (kept) EXPECT_NE(drawing.find(c.dxf), std::string::npos) << drawing;
        else EXPECT_EQ(drawing.find("POINT"), std::string::npos) << drawing;
    }
}

TEST_F(Exchange, LandXmlDocument)
{
    const struct {
        LinearUnit units;
        const char* element;
    } cases[] = {
        {LinearUnit::Metre,
         "<Metric areaUnit=\"squareMeter\" linearUnit=\"meter\" volumeUnit=\"cubicMeter\" "
         "temperatureUnit=\"celsius\" pressureUnit=\"milliBars\" elevationUnit=\"meter\"/>"},
        {LinearUnit::UsSurveyFoot,
         "<Imperial areaUnit=\"squareFoot\" linearUnit=\"USSurveyFoot\" volumeUnit=\"cubicFeet\" "
         "temperatureUnit=\"fahrenheit\" pressureUnit=\"inchHG\" elevationUnit=\"feet\"/>"},
        {LinearUnit::Foot, "<Imperial areaUnit=\"squareFoot\" linearUnit=\"foot\" "},
    };
    Fill({{"1", "2", "3", "", ""}});
    auto path = dir.Path("out.xml");
    for (const auto& c : cases) {
        WriteLandXmlFile(table, path, {c.units});
        const std::string xml = ReadBytes(path);
        EXPECT_NE(xml.find(c.element), std::string::npos) << xml;
        EXPECT_TRUE(std::regex_search(
            xml, std::regex("^<\\?xml version=\"1.0\" encoding=\"UTF-8\"\\?>\n<LandXML "
                            "xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" .*version=\"1.2\" "
                            "date=\"\\d{4}-\\d\\d-\\d\\d\" time=\"\\d\\d:\\d\\d:\\d\\d\">")))
            << xml;
        EXPECT_NE(xml.find("<Application name=\"Tessaly\" version=\"" TESSALY_VERSION "\"/>"), std::string::npos);
    }
}

TEST(Units, ExactFactors)
{
    using U = LinearUnit;
    const struct {
        double value;
        U from, to;
        double expected;
    } cases[] = {
        {3937, U::UsSurveyFoot, U::Metre, 1200},     {1200, U::Metre, U::UsSurveyFoot, 3937},
        {10000, U::Foot, U::Metre, 3048},            {3048, U::Metre, U::Foot, 10000},
        {499999, U::UsSurveyFoot, U::Foot, 500000},  {500000, U::Foot, U::UsSurveyFoot, 499999},
        {1, U::UsSurveyFoot, U::Metre, 1200.0 / 3937}, {1, U::Foot, U::Metre, 0.3048},
        {-2.5, U::Metre, U::Metre, -2.5},            {7, U::Unknown, U::Metre, 7},
        {7, U::Foot, U::Unknown, 7},                 {1e308, U::Metre, U::UsSurveyFoot, 1e308 * (3937.0 / 1200)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertLength(c.value, c.from, c.to), c.expected)
            << c.value << " " << UnitName(c.from) << " to " << UnitName(c.to);
}

TEST_F(Exchange, LandXmlUnitsCarriedOrConverted)
{
    using U = LinearUnit;
    const std::string imperial = "<Units><Imperial linearUnit=\"USSurveyFoot\"/></Units>";
    const struct {
        std::string units;  // of the file read
        U chosen;           // the writer option
        const char* label;
        const char* point;
        const char* notice;  // "" for none
    } cases[] = {
        {imperial, U::Unknown, "linearUnit=\"USSurveyFoot\"", ">3937 39.37 -0.5</CgPoint>", ""},
        {imperial, U::UsSurveyFoot, "linearUnit=\"USSurveyFoot\"", ">3937 39.37 -0.5</CgPoint>", ""},
        {imperial, U::Metre, "linearUnit=\"meter\"", ">1200 12 -0.1524003048006096</CgPoint>",
         "coordinates converted from US survey feet to metres"},
        {imperial, U::Foot, "linearUnit=\"foot\"", ">3937.0078740157483 39.37007874015748 -0.500001000002</CgPoint>",
         "coordinates converted from US survey feet to international feet"},
        {"<Units><Metric linearUnit=\"meter\"/></Units>", U::Foot, "linearUnit=\"foot\"",
         ">12916.66666666666",  "coordinates converted from metres to international feet"},
        // Unknown: the chosen unit labels the values as they are.
        {"", U::Unknown, "linearUnit=\"meter\"", ">3937 39.37 -0.5</CgPoint>", ""},
        {"", U::Foot, "linearUnit=\"foot\"", ">3937 39.37 -0.5</CgPoint>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.units + " to " + std::string(UnitName(c.chosen)));
        ASSERT_EQ(Load(Doc(c.units + "<CgPoints><CgPoint>3937 39.37 -0.5</CgPoint></CgPoints>")), "");
        const LinearUnit read = table.Unit();
        auto path = dir.Path("out.xml");
        const ExportReport report = WriteLandXmlFile(table, path, {c.chosen});
        const std::string xml = ReadBytes(path);
        EXPECT_NE(xml.find(c.label), std::string::npos) << xml;
        EXPECT_NE(xml.find(c.point), std::string::npos) << xml;
        EXPECT_EQ(report.notices, *c.notice ? std::vector<std::string>{c.notice} : std::vector<std::string>{});
        // What we write reads back in the unit it is labelled with.
        ASSERT_EQ(Load(xml), "");
        EXPECT_EQ(table.Unit(), c.chosen != U::Unknown ? c.chosen : read != U::Unknown ? read : U::Metre);
    }
}

TEST_F(Exchange, DxfHeaderUnitAndLongOrForeignTexts)
{
    const std::string longText(300, 'x');
    Fill({{"\xCE\xA9\xE7\x82\xB9", "1", "2", "", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
          {"2", "1", "2", "", longText},
          {"3", "1", "2", "", std::string(247, 'y') + "\xCE\xA9"},
          {"4", "1", "2", "", "50%% \xCE\xA9"}});
    const struct {
        LinearUnit unit;
        const char* header;  // after $DWGCODEPAGE
    } units[] = {
        {LinearUnit::Unknown, "  0\r\nENDSEC\r\n"},
        {LinearUnit::Metre, "  9\r\n$INSUNITS\r\n 70\r\n6\r\n  9\r\n$MEASUREMENT\r\n 70\r\n1\r\n  0\r\nENDSEC"},
        {LinearUnit::Foot, "  9\r\n$INSUNITS\r\n 70\r\n2\r\n  9\r\n$MEASUREMENT\r\n 70\r\n0\r\n  0\r\nENDSEC"},
        {LinearUnit::UsSurveyFoot, "  9\r\n$INSUNITS\r\n 70\r\n21\r\n  9\r\n$MEASUREMENT\r\n 70\r\n0\r\n"},
    };
    auto path = dir.Path("out.dxf");
    for (const auto& u : units) {
        table.SetUnit(u.unit);
        const ExportReport report = WriteDxfFile(table, path);
        const std::string dxf = ReadBytes(path);
        EXPECT_EQ(dxf.find(std::string("  3\r\nANSI_1252\r\n") + u.header), dxf.find("  3\r\nANSI_1252")) << dxf;
        EXPECT_EQ(report.notices, (std::vector<std::string>{
                                      "2 texts cut to the 250 characters a release 12 text holds",
                                      "1 character the drawing cannot name (past U+FFFF, or not UTF-8) written as "
                                      "\"?\""}));
    }
    const std::string dxf = ReadBytes(path);
    const std::vector<std::string> texts = {"\\U+03A9\\U+70B9", "caf\xE9 \x80 ?", std::string(250, 'x'),
                                            std::string(247, 'y'), "50%%%%%% \\U+03A9"};
    for (const std::string& text : texts)
        EXPECT_NE(dxf.find("  1\r\n" + text + "\r\n"), std::string::npos) << text;

    // An independent reader decodes the escapes and finds the unit (the
    // recovering loader of ezdxf 0.18 decodes the escapes of release 12 files).
    if (Shell("/usr/bin/python3 -c 'import ezdxf'").second != 0)
        GTEST_SKIP() << "ezdxf not installed (Debian python3-ezdxf)";
    const std::string script = dir.Path("read.py");
    WriteBytes(script, "import sys, ezdxf.recover\n"
                       "doc, auditor = ezdxf.recover.readfile(sys.argv[1])\n"
                       "out = [str(doc.header.get('$INSUNITS')), str(doc.header.get('$MEASUREMENT'))]\n"
                       "out += [e.dxf.text for e in doc.modelspace().query('TEXT')]\n"
                       "sys.stdout.buffer.write('\\n'.join(out).encode('utf-8'))\n");
    auto [out, status] = Shell("/usr/bin/python3 '" + script + "' '" + path + "'");
    ASSERT_EQ(status, 0) << out;
    const std::string expected = "21\n0\n\xCE\xA9\xE7\x82\xB9\ncaf\xC3\xA9 \xE2\x82\xAC ?\n2\n" +
                                 std::string(250, 'x') + "\n3\n" + std::string(247, 'y') + "\n4\n50%%%%%% \xCE\xA9";
    EXPECT_EQ(out, expected);
}

TEST_F(Exchange, DxfDrawing)
{
    Fill({{"1", "2", "3", "", "D"}});
    auto path = dir.Path("out.dxf");
    WriteDxfFile(table, path, {2.5});
    const std::string dxf = ReadBytes(path);
    EXPECT_EQ(dxf.rfind("  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n  9\r\n$DWGCODEPAGE\r\n"
                        "  3\r\nANSI_1252\r\n  0\r\nENDSEC\r\n",
                        0),
              0u);
    for (const char* layer : {"PNT", "PNT-NO", "PNT-DESC"})
        EXPECT_NE(dxf.find("  0\r\nLAYER\r\n  2\r\n" + std::string(layer) + "\r\n"), std::string::npos) << layer;
    EXPECT_NE(dxf.find(" 10\r\n4.25\r\n 20\r\n3.25\r\n 30\r\n0\r\n 40\r\n2.5\r\n  1\r\n1\r\n"), std::string::npos) << dxf;
    EXPECT_NE(dxf.find(" 10\r\n4.25\r\n 20\r\n-1.75\r\n 30\r\n0\r\n 40\r\n2.5\r\n  1\r\nD\r\n"), std::string::npos) << dxf;
    EXPECT_TRUE(dxf.ends_with("  0\r\nENDSEC\r\n  0\r\nEOF\r\n"));
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::infinity()})
        EXPECT_THROW(WriteDxfFile(table, path, {bad}), Error);
    EXPECT_EQ(ReadBytes(path), dxf) << "a refused height leaves the file as it was";
}

TEST_F(Exchange, WritersReplaceTheTargetAtomically)
{
    // A file size limit makes the writes fail part-way, as a full disk would.
    std::vector<Row> rows(2000, Row{"1", "5000.125", "1000.5", "100", "DESC"});
    Fill(rows);
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    for (const char* name : {"out.xml", "out.dxf"}) {
        auto path = dir.Path(name);
        WriteBytes(path, "OLD");
        ::setrlimit(RLIMIT_FSIZE, &small);
        if (std::string(name).ends_with("xml")) EXPECT_THROW(WriteLandXmlFile(table, path), Error);
        else EXPECT_THROW(WriteDxfFile(table, path), Error);
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(ReadBytes(path), "OLD") << name;
    }
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 2) << "no temporary file left";
    EXPECT_THROW(WriteLandXmlFile(table, dir.Path("no-folder/out.xml")), Error);
    EXPECT_THROW(WriteDxfFile(table, dir.Path("no-folder/out.dxf")), Error);
}

TEST_F(Exchange, LandXmlRoundTrip)
{
    const std::vector<Row> rows = {
        {"1", "5000.125", "1000.5", "100.25", "IP FOUND"},
        {"A-2", "-0.000001", "1E+16", Cell{}, "LOT 4, BLOCK 2 \"q\" <&> \xC3\x89\xE2\x82\xAC\xC5\xB8"},
        {"\xE7\x82\xB9\xEF\xBC\x91", "1", "2", "3", "\xE5\xA2\x83\xE7\x95\x8C \xCE\xA9 \xD0\x96 \xF0\x9F\x98\x80"},
        {" pad ", "1", "2", "3", "tab\there\r\nline"},
        {Cell{}, "7", "8", Cell{}, Cell{}},
        {"3", "", "1", "", "left out"},
    };
    Fill(rows);
    auto path = dir.Path("round.xml");
    EXPECT_EQ(WriteLandXmlFile(table, path).leftOut, 1);
    ReadReport report;
    ReadLandXmlFile(table, path);
    report = ReadLandXml(table, path);
    EXPECT_EQ(report.notices, std::vector<std::string>{});
    ASSERT_EQ(table.CurrItems(), 5);
    for (int32_t r = 0; r < 5; ++r) {
        PointTable expected;
        expected.AddPoint(rows[static_cast<size_t>(r)]);
        EXPECT_EQ(RowTexts(table, r), RowTexts(expected, 0)) << r;
    }
}

TEST_F(Exchange, ReaderCases)
{
    const struct {
        std::string xml;
        std::vector<std::vector<std::string>> rows;
        std::string error = {};  // part of the message; empty for a complete load
        int32_t skipped = 0;
        std::string beyond = {};  // what the file holds besides points
        LinearUnit unit = LinearUnit::Unknown;
        std::string notice = {};
    } cases[] = {
        // Nested groups, name or oID, desc or code, two or three numbers as written.
        {Doc("<Units/><CgPoints><CgPoint name=\"1\" desc=\"A\" code=\"C\">1.50 2e3 -3</CgPoint>"
             "<CgPoints name=\"inner\"><CgPoint oID=\"x\" code=\"C\">\n\t4 5 </CgPoint></CgPoints>"
             "<CgPoint><![CDATA[7 8]]></CgPoint></CgPoints>"
             "<Surface><CgPoint name=\"not in a group\">1 1</CgPoint></Surface>"),
         {{"1", "1.50", "2e3", "-3", "A"}, {"x", "4", "5", "", "C"}, {"", "7", "8", "", ""}}, "", 0, "Surface"},
        // Units; what the root holds besides points, each kind once.
        {Doc("<Units><Imperial areaUnit=\"squareFoot\" linearUnit=\"USSurveyFoot\"/></Units>"
             "<Project name=\"p\"><x/></Project><Surfaces><Surface/></Surfaces>"
             "<CgPoints><CgPoint>1 2</CgPoint></CgPoints>"
             "<Alignments><Alignment/></Alignments><Surfaces><Surface/></Surfaces><Parcels/>"),
         {{"", "1", "2", "", ""}}, "", 0, "Surfaces, Alignments", LinearUnit::UsSurveyFoot},
        {Doc("<Units><Imperial linearUnit=\"foot\"/></Units>"), {}, "", 0, "", LinearUnit::Foot},
        {Doc("<Units><Metric linearUnit=\"meter\"/><Imperial linearUnit=\"foot\"/></Units>"), {}, "", 0, "",
         LinearUnit::Metre},
        {Doc("<Units><Metric linearUnit=\"kilometer\"/></Units>"), {}, "", 0, "", LinearUnit::Unknown,
         "linear unit \"kilometer\" not known (meter, foot, USSurveyFoot); the coordinates are read as they are"},
        {Doc("<Units><Imperial/></Units>"), {}, "", 0, "", LinearUnit::Unknown, "the Units give no linear unit"},
        // Units inside another element are not the file's.
        {Doc("<Survey><Units><Metric linearUnit=\"meter\"/></Units></Survey>"), {}, "", 0, "Survey"},
        // Japanese point names and every other character kept.
        {Doc("<CgPoints><CgPoint name=\"\xE5\x9F\xBA\xE6\xBA\x96\xE7\x82\xB9\" "
             "desc=\"\xE5\xA2\x83\xE7\x95\x8C\xE6\x9D\xAD\">1 2</CgPoint></CgPoints>"),
         {{"\xE5\x9F\xBA\xE6\xBA\x96\xE7\x82\xB9", "1", "2", "", "\xE5\xA2\x83\xE7\x95\x8C\xE6\x9D\xAD"}}},
        // pntRef before and after its point; a missing one and an empty point are skipped.
        {Doc("<CgPoints><CgPoint pntRef=\"P2\"/><CgPoint name=\"P2\" desc=\"D\">1 2 3</CgPoint>"
             "<CgPoint name=\"R\" pntRef=\"P2\"></CgPoint><CgPoint pntRef=\"nowhere\"/><CgPoint name=\"E\"/>"
             "<CgPoint name=\"own\" pntRef=\"P2\">9 9</CgPoint></CgPoints>"),
         {{"P2", "1", "2", "3", "D"}, {"P2", "1", "2", "3", "D"}, {"R", "1", "2", "3", "D"}, {"own", "9", "9", "", ""}},
         "", 2},
        // Every character kept; any namespace.
        {"<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.1\"><CgPoints>"
         "<CgPoint name=\"\xE2\x82\xAC\" desc=\"\xC3\xA9 \xE2\x88\x9A \xF0\x9F\x98\x80 &amp;&#x2211;\">1 2</CgPoint>"
         "</CgPoints></LandXML>",
         {{"\xE2\x82\xAC", "1", "2", "", "\xC3\xA9 \xE2\x88\x9A \xF0\x9F\x98\x80 &\xE2\x88\x91"}}},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><LandXML><CgPoints><CgPoint desc=\"\xE9\">1 2</CgPoint>"
         "</CgPoints></LandXML>",
         {{"", "1", "2", "", "\xC3\xA9"}}},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><LandXML><CgPoints><CgPoint name=\"\x8A\xEE\x8F\x80\x93\x5F\">1 2"
         "</CgPoint></CgPoints></LandXML>",
         {{"\xE5\x9F\xBA\xE6\xBA\x96\xE7\x82\xB9", "1", "2", "", ""}}},
        {Doc(""), {}},
        // Faults: the points before stay.
        {"<?xml version=\"1.0\"?><kml><CgPoints/></kml>", {}, "not a LandXML document: its root element is <kml>"},
        {"", {}, "not a well-formed XML document"},
        {"just text", {}, "not a well-formed XML document: line 1"},
        {Doc("<CgPoints><CgPoint>1 2</CgPoint>" + std::string(4000, ' ') + "<CgPoint>3 4</CgPoint>").substr(0, 4130),
         {{"", "1", "2", "", ""}},
         "not a well-formed XML document"},
        {Doc("<CgPoints><CgPoint>1 2</CgPoint><CgPoint name=\"B\">\n1 2 3 4</CgPoint></CgPoints>"),
         {{"", "1", "2", "", ""}}, "line 2: point \"B\" has more than 3 numbers"},
        {Doc("<CgPoints><CgPoint name=\"B\">1</CgPoint></CgPoints>"), {}, "point \"B\" has 1 numbers"},
        {Doc("<CgPoints><CgPoint name=\"B\">1 2,5</CgPoint></CgPoints>"), {}, "has \"2,5\" where a coordinate belongs"},
        {Doc("<CgPoints><CgPoint>1 &undefined;</CgPoint></CgPoints>"), {}, "not a well-formed XML document"},
        {Doc([] {
             std::string s;
             for (int i = 0; i < 70; ++i) s += "<a>";
             for (int i = 0; i < 70; ++i) s += "</a>";
             return s;
         }()),
         {}, "elements nest deeper than 64 levels"},
        {Doc("<CgPoints><CgPoint>" + std::string(5000, '1') + "</CgPoint></CgPoints>"), {}, "run past 4096 characters"},
        // Entities that expand a billionfold.
        {[] {
             std::string entities = "<!ENTITY a0 \"lol lol lol lol lol lol lol lol lol lol\">";
             for (int i = 1; i < 10; ++i) {
                 entities += "<!ENTITY a" + std::to_string(i) + " \"";
                 for (int k = 0; k < 10; ++k) entities += "&a" + std::to_string(i - 1) + ";";
                 entities += "\">";
             }
             return Doc("<CgPoints><CgPoint desc=\"&a9;\">1 2</CgPoint></CgPoints>",
                        "<!DOCTYPE LandXML [" + entities + "]>");
         }(),
         {}, "entity reference loop"},
        // Entities that expand only when a value is asked for: the issue's
        // file, 100000 characters ten times in each description, refused
        // before its first point; so is any entity declaration.
        {[] {
             std::string points;
             for (int i = 0; i < 1000; ++i) points += "<CgPoint desc=\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">1 2</CgPoint>";
             return Doc("<CgPoints>" + points + "</CgPoints>",
                        "<!DOCTYPE LandXML [<!ENTITY a \"" + std::string(100000, 'x') + "\">]>");
         }(),
         {}, "declares XML entities"},
        {Doc("<CgPoints><CgPoint>1 2</CgPoint></CgPoints>", "<!DOCTYPE LandXML [<!ENTITY % p \"\">]>"), {},
         "declares XML entities"},
        // A type declaration without entities is harmless.
        {Doc("<CgPoints><CgPoint>1 2</CgPoint></CgPoints>", "<!DOCTYPE LandXML [<!ELEMENT LandXML ANY>]>"),
         {{"", "1", "2", "", ""}}},
        // Fields past 64 KiB are cut, at a character's start.
        {Doc("<CgPoints><CgPoint>1 2</CgPoint>\n<CgPoint name=\"" + std::string(70000, 'n') + "\" desc=\"a" + [] {
                 std::string s;
                 for (int i = 0; i < 35000; ++i) s += "\xC3\xA9";
                 return s;
             }() + "\">3 4</CgPoint></CgPoints>"),
         {{"", "1", "2", "", ""}, {std::string(65536, 'n'), "3", "4", "", "a" + [] {
                                       std::string s;
                                       for (int i = 0; i < 32767; ++i) s += "\xC3\xA9";
                                       return s;
                                   }()}},
         "", 0, "", LinearUnit::Unknown, "2 fields longer than 64 KiB cut to 64 KiB, the first on line 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml.substr(0, 200));
        ReadReport report;
        const std::string error = Load(c.xml, &report);
        if (c.error.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(report.skipped, c.skipped);
            EXPECT_EQ(report.beyondPoints, c.beyond);
            EXPECT_EQ(table.Unit(), c.unit);
            EXPECT_EQ(report.notices.empty(), c.notice.empty());
            for (const auto& notice : report.notices) EXPECT_NE(notice.find(c.notice), std::string::npos) << notice;
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_EQ(error.rfind(dir.Path("in.xml"), 0), 0u) << "the message names the file: " << error;
        }
        EXPECT_EQ(Rows(), c.rows);
    }
}

TEST_F(Exchange, ReaderReadsNoOtherFile)
{
    // Every way a document can make a parser open another file: an external
    // entity in text and in an attribute, a parameter entity, an external
    // DTD, XInclude. None of the secret may reach the table.
    auto secret = dir.Path("secret.txt");
    WriteBytes(secret, "99 98 97");
    WriteBytes(dir.Path("secret.dtd"), "<!ENTITY leak \"99 98\">");
    const std::string uri = "file://" + secret;
    const std::string dtd = "file://" + dir.Path("secret.dtd");
    const std::string docs[] = {
        Doc("<CgPoints><CgPoint name=\"a\">&xxe;</CgPoint></CgPoints>",
            "<!DOCTYPE LandXML [<!ENTITY xxe SYSTEM \"" + uri + "\">]>"),
        Doc("<CgPoints><CgPoint name=\"a\">1 2 &xxe;</CgPoint></CgPoints>",
            "<!DOCTYPE LandXML [<!ENTITY xxe SYSTEM \"secret.txt\">]>"),
        Doc("<CgPoints><CgPoint desc=\"&xxe;\">1 2</CgPoint></CgPoints>",
            "<!DOCTYPE LandXML [<!ENTITY xxe SYSTEM \"" + uri + "\">]>"),
        Doc("<CgPoints><CgPoint>&leak;</CgPoint></CgPoints>",
            "<!DOCTYPE LandXML [<!ENTITY % ext SYSTEM \"" + dtd + "\"> %ext;]>"),
        Doc("<CgPoints><CgPoint>&leak;</CgPoint></CgPoints>", "<!DOCTYPE LandXML SYSTEM \"" + dtd + "\">"),
        Doc("<CgPoints><CgPoint><xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"" + uri +
            "\" parse=\"text\"/></CgPoint></CgPoints>"),
    };
    if (Have("xmllint")) {
        // The attack is real: a parser that substitutes entities reads the secret.
        WriteBytes(dir.Path("attack.xml"), docs[0]);
        EXPECT_NE(Shell("xmllint --noent '" + dir.Path("attack.xml") + "'").first.find("99 98 97"), std::string::npos);
    }
    for (const auto& doc : docs) {
        SCOPED_TRACE(doc);
        Load(doc);
        for (const auto& row : Rows())
            for (const auto& cell : row) EXPECT_EQ(cell.find("9"), std::string::npos) << cell;
    }
    // The refusal is the process's, not one load's: a load that ends on
    // another thread leaves it in place for the parses still running.
    WriteBytes(dir.Path("plain.xml"), Doc("<CgPoints><CgPoint>1 2</CgPoint></CgPoints>"));
    std::thread([&] {
        PointTable other;
        ReadLandXml(other, dir.Path("plain.xml"));
    }).join();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    xmlParserInputPtr input = xmlLoadExternalEntity(uri.c_str(), nullptr, context);
    EXPECT_EQ(input, nullptr) << "libxml2 opens outside files again after a load";
    if (input) xmlFreeInputStream(input);
    xmlFreeParserCtxt(context);
}

TEST_F(Exchange, ReaderBounds)
{
    // A file past the size bound fails at once (a sparse file: no disk used).
    auto huge = dir.Path("huge.xml");
    WriteBytes(huge, Doc(""));
    std::filesystem::resize_file(huge, (std::uintmax_t{512} << 20) + 1);
    EXPECT_THROW(
        try { ReadLandXmlFile(table, huge); } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("larger than 512 MiB"), std::string::npos) << e.what();
            throw;
        },
        Error);


    std::string body = "<CgPoints><CgPoint pntRef=\"last\"/>";
    for (int i = 1; i <= 10001; ++i) body += "<CgPoint name=\"" + std::to_string(i) + "\">1 2</CgPoint>";
    body += "<CgPoint name=\"last\">5 6</CgPoint></CgPoints>";
    const std::string error = Load(Doc(body));
    EXPECT_NE(error.find("more than 10000 points; only the first 10000 were loaded"), std::string::npos) << error;
    ASSERT_EQ(table.CurrItems(), 10000);
    EXPECT_EQ(RowTexts(table, 0), (std::vector<std::string>{"last", "5", "6", "", ""}));
    EXPECT_EQ(RowTexts(table, 9999)[0], "9999");
}

TEST_F(Exchange, OtherProgramsReadWhatWeWrite)
{
    std::vector<Row> rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back({std::to_string(i), std::to_string(5000 + i * 0.125), std::to_string(1000 - i * 0.5),
                        i % 3 ? Cell(std::to_string(100 + i)) : Cell(), i % 2 ? "D&<\xC3\xA9 \xE5\xA2\x83\xE7\x95\x8C>" : ""});
    rows.push_back({"x", "not a number", "1", "", ""});
    Fill(rows);
    auto xml = dir.Path("points.xml"), dxf = dir.Path("points.dxf");
    WriteLandXmlFile(table, xml);
    EXPECT_EQ(WriteDxfFile(table, dxf).written, 50);

    if (!Have("xmllint")) {
        std::printf("xmllint not installed (Debian libxml2-utils): LandXML check skipped\n");
    } else {
        auto [out, status] = Shell("xmllint --noout '" + xml + "'");
        EXPECT_EQ(status, 0) << out;
        std::tie(out, status) =
            Shell("xmllint --xpath 'string(//*[local-name()=\"CgPoint\"][2]/@desc)' '" + xml + "'");
        EXPECT_EQ(out, "D&<\xC3\xA9 \xE5\xA2\x83\xE7\x95\x8C>\n");
    }
    if (!Have("ogrinfo")) GTEST_SKIP() << "ogrinfo not installed (Debian gdal-bin)";
    auto [out, status] = Shell("ogrinfo -ro -q -al -where \"Layer='PNT'\" '" + dxf + "'");
    ASSERT_EQ(status, 0) << out;
    std::regex point(R"(POINT Z \(([-0-9.e+]+) ([-0-9.e+]+) ([-0-9.e+]+)\))");
    std::vector<std::array<double, 3>> found;
    for (std::sregex_iterator m(out.begin(), out.end(), point), end; m != end; ++m)
        found.push_back({std::stod((*m)[1]), std::stod((*m)[2]), std::stod((*m)[3])});
    ASSERT_EQ(found.size(), 50u) << out;
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_DOUBLE_EQ(found[i][0], 1000 - i * 0.5);
        EXPECT_DOUBLE_EQ(found[i][1], 5000 + i * 0.125);
        EXPECT_DOUBLE_EQ(found[i][2], i % 3 ? 100.0 + i : 0.0);
    }
}
