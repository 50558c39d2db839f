// The field instrument readers (GSI, SDR, Nikon RAW, RW5, JobXML) from
// files written to their format descriptions, and the GSI and SDR writers
// back to the same table.
#include <gtest/gtest.h>

#include <functional>

#include "formats/formats.h"
#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
using Rows = std::vector<std::vector<std::string>>;
using Reader = ReadReport (*)(PointTable&, const std::string&, const ReadOptions&);

Rows Loaded(const PointTable& table)
{
    Rows rows;
    for (int32_t r = 0; r < table.CurrItems(); ++r) rows.push_back(RowTexts(table, r));
    return rows;
}

Reader ReaderFor(const std::string& name)
{
    if (name.ends_with(".gsi")) return ReadGsiFile;
    if (name.ends_with(".sdr")) return ReadSdrFile;
    if (name.ends_with(".raw")) return ReadNikonRawFile;
    if (name.ends_with(".rw5")) return ReadRw5File;
    return ReadJobXmlFile;
}

std::string Left(const std::string& text, size_t width = 16) { return text + std::string(width - text.size(), ' '); }
std::string Right(const std::string& text, size_t width = 16) { return std::string(width - text.size(), ' ') + text; }

// An SDR header: version, distance unit (1 metres, 2 feet), coordinate order (1 NEZ, 2 ENZ).
std::string SdrHeader(const std::string& version, char unit, char order)
{
    return "00NM" + Left(version) + "    " + Left("09-Dec-26 14:05") + '1' + unit + "11" + order + "1\r\n";
}

std::string Jxl(const std::string& fieldBook)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<JOBFile jobName=\"J\" version=\"5.6\">\n<FieldBook>\n" +
           fieldBook + "</FieldBook>\n<Reductions><Point><Name>9</Name><Grid><North>1</North><East>2</East>"
                       "</Grid></Point></Reductions>\n</JOBFile>\n";
}

std::string JxlPoint(const std::string& name, const std::string& deleted, const std::string& inside)
{
    return "<PointRecord ID=\"00000" + name + "\"><Name>" + name + "</Name><Code>C" + name + "</Code><Deleted>" +
           deleted + "</Deleted>" + inside + "</PointRecord>\n";
}

struct ReadCase {
    ReadCase(std::string n, std::string t, Rows r, LinearUnit u = LinearUnit::Unknown,
             std::vector<std::string> s = {}, std::string e = "")
        : name(std::move(n)), text(std::move(t)), rows(std::move(r)), unit(u), notices(std::move(s)),
          error(std::move(e))
    {
    }
    std::string name;  // its ending picks the reader
    std::string text;
    Rows rows;
    LinearUnit unit;
    std::vector<std::string> notices;
    std::string error;  // a part of the message of a failed load
};

const std::vector<ReadCase>& ReadCases()
{
    static const std::vector<ReadCase> cases = {
        // GSI-16: exact decimals from the unit digit, signs, code and
        // attributes; measurement and code blocks counted.
        {"a.gsi",
         "*110001+0000000000001001 81..00+0000000000512345 82..00+0000000001234567 83..00-0000000000001234 "
         "71....+000000000000TREE 72....+0000000000000OAK \r\n"
         "*110002+0000000000000002 21.324+0000000009000000 22.324+0000000009000000 31..00+0000000000010000 \r\n"
         "410003+00000012 42....+00001810 \r\n"
         "*110004+000000000000PT04 81..08+0000000000100000 82..08-0000000000000001 83..08-0000000000000000\r\n",
         {{"1001", "1234.567", "512.345", "-1.234", "TREE OAK"}, {"PT04", "-0.00001", "1.00000", "0.00000", ""}},
         LinearUnit::Metre,
         {"1 observation without coordinates not read",
          "1 block without coordinates or observations (codes, station data) not read, the first on line 3"}},
        // GSI-8, 0.1 mm, no height; a point id of zeros is 0.
        {"b.gsi", "110001+0000PT02 81..06-00012345 82..06+05000000 \n110002+00000000 81..06+00000001 82..06+00000002\n",
         {{"PT02", "500.0000", "-1.2345", "", ""}, {"0", "0.0002", "0.0001", "", ""}},
         LinearUnit::Metre},
        // Feet are US survey feet; a length word of an angle unit and a
        // coordinate that is not digits are refused.
        {"c.gsi",
         "*110001+0000000000000001 81..01+0000000000100000 82..07+0000000000200000 \r\n"
         "*110002+0000000000000002 81..02+0000000000100000 82..02+0000000000200000 \r\n"
         "*110003+0000000000000003 81..01+00000000001000X0 82..01+0000000000200000 \r\n"
         "not a block\r\n",
         {{"1", "20.0000", "100.000", "", ""}},
         LinearUnit::UsSurveyFoot,
         {"1 line that are not GSI blocks skipped, the first on line 4",
          "1 block whose coordinates have no length unit, or two, not read, the first on line 2",
          "1 coordinate record with a northing or easting that is not a number not read, the first on line 3"}},
        {"d.gsi",
         "*110001+0000000000000001 81..00+0000000000100000 82..00+0000000000200000 \r\n"
         "*110002+0000000000000002 81..01+0000000000100000 82..01+0000000000200000 \r\n",
         {{"1", "200.000", "100.000", "", ""}, {"2", "200.000", "100.000", "", ""}},
         LinearUnit::Unknown,
         {"the coordinates are in metres and in US survey feet (kept as they are); their unit is left unknown"}},
        {"e.gsi", "*110002+0000000000000002 21.324+0000000009000000 31..00+0000000000010000 \r\n", {},
         LinearUnit::Unknown, {}, "the file holds no coordinate records, only 1 observation (angles and distances)"},
        // SDR33: 08KI and 08TP coordinates, a 02TP station with its
        // instrument height, observations counted, an empty elevation.
        {"a.sdr",
         SdrHeader("SDR33 V04-04.02", '1', '1') + "10NMJOB1            121111\r\n" + "02TP" + Right("31") +
             Left("509.97000000") + Left("937.27400000") + Left("20.05300000") + Left("1.50500000") + Left("STN") +
             "\r\n09F1" + Right("31") + Right("32") + Left("10.000") + Left("90.0000") + Left("45.0000") + "\r\n" +
             "08KI" + Right("1001") + Left("5000.123") + Left("-1000.5") + Left("") + Left("IP FOUND") + "\r\n" +
             "08TP" + Right("A7") + Left("1") + Left("2") + Left("3") + "\n",
         {{"31", "509.97000000", "937.27400000", "20.05300000", "STN"},
          {"1001", "5000.123", "-1000.5", "", "IP FOUND"},
          {"A7", "1", "2", "3", ""}},
         LinearUnit::Metre,
         {"1 observation without coordinates not read"}},
        // Easting first, in feet; SDR2x widths.
        {"b.sdr",
         SdrHeader("SDR20V03-05", '2', '2') + "08KI" + Right("12", 4) + Left("1000.25", 10) + Left("5000.5", 10) +
             Left("99.9", 10) + Left("CURB", 16) + "\r\n",
         {{"12", "5000.5", "1000.25", "99.9", "CURB"}},
         LinearUnit::UsSurveyFoot},
        {"c.sdr", SdrHeader("SDR33 V04-04.02", '1', '1') + "09F1" + Right("1") + Right("2") + "\r\n", {},
         LinearUnit::Unknown, {}, "only 1 observation"},
        {"d.sdr", SdrHeader("SDR33 V04-04.02", '1', '1'), {}, LinearUnit::Unknown, {},
         "the file holds no coordinate records"},
        // Nikon RAW: the CO lines' unit and order, a point id for an empty
        // number, an empty elevation, measurement records counted.
        {"a.raw",
         "CO,Nikon RAW data format V2.00\r\nCO,Dist Units: US Feet\r\nCO,Coord Order: ENZ\r\n"
         "UP,1,,1000.5,5000.25,100,CP\r\nST,1,,,,1.430,0.0000,0.0000\r\nF1,,1.500,,0.0000,110.5344,13:47:08\r\n"
         "SS,2,1.500,8.986,107.9916,102.3376,14:00:04,P\r\nMP,,A7,10,20,,\r\nCC,3,,x,1,2,BAD\r\n",
         {{"1", "5000.25", "1000.5", "100", "CP"}, {"A7", "20", "10", "", ""}},
         LinearUnit::UsSurveyFoot,
         {"2 observations without coordinates not read",
          "1 coordinate record with a northing or easting that is not a number not read, the first on line 9"}},
        {"b.raw", "CO,Dist Units: Metres\nCO,Coord Order: NEZ\nRE,5,,-1.5,2.5,3,RES, 2\n",
         {{"5", "-1.5", "2.5", "3", "RES, 2"}}, LinearUnit::Metre},
        // RW5: SP records with their note, the MO unit; side shots counted,
        // geographic-only points said.
        {"a.rw5",
         "JB,NMJOB1,DT12-09-2026,TM14:05:00\r\nMO,AD0,UN1,SF1.00000000,EC0,EO0.0,AU0\r\n"
         "SP,PN100,N 5000.0000,E 1000.0000,EL100.0000,--CP, found\r\n"
         "SS,OP100,FP101,AR90.0000,ZE90.0000,SD10.000,--TOPO\r\n"
         "SP,PN101,N -12.5,E 7,EL,--\r\n--a note line\r\nGPS,PN102,LA40.000000,LN-105.000000,EL1500.000,--\r\n",
         {{"100", "5000.0000", "1000.0000", "100.0000", "CP, found"}, {"101", "-12.5", "7", "", ""}},
         LinearUnit::Metre,
         {"1 observation without coordinates not read",
          "1 point given only in latitude and longitude not read, the first on line 7"}},
        {"b.rw5", "MO,AD0,UN2\nSP,PN1,N 1,E 2,EL3,--A\nMO,AD0,UN0\nSP,PN2,N 4,E 5,EL6,--B\n",
         {{"1", "1", "2", "3", "A"}, {"2", "4", "5", "6", "B"}},
         LinearUnit::Unknown,
         {"the coordinates are in US survey feet and in international feet (kept as they are); their unit is left "
          "unknown"}},
        {"c.rw5", "MO,AD0,UN1\nSS,OP1,FP2,AR0,ZE90,SD5,--\nSS,OP1,FP3,AR0,ZE90,SD5,--\n", {}, LinearUnit::Unknown,
         {}, "only 2 observations"},
        // JobXML: Grid, else ComputedGrid; deleted records and records
        // without grid coordinates left out; lengths in metres.
        {"a.jxl",
         Jxl("<UnitsRecord ID=\"1\"><DistanceUnits>USSurveyFeet</DistanceUnits></UnitsRecord>\n" +
             JxlPoint("1", "false",
                      "<Grid><North>5000.123</North><East>1000.5</East><Elevation>100</Elevation></Grid>") +
             JxlPoint("2", "true", "<Grid><North>1</North><East>2</East><Elevation>3</Elevation></Grid>") +
             JxlPoint("3", "false", "<Circle><HorizontalCircle>90</HorizontalCircle></Circle>") +
             JxlPoint("4", "false",
                      "<Grid><North/><East/><Elevation/></Grid><ComputedGrid><North> 10 </North><East>20</East>"
                      "<Elevation/></ComputedGrid>")),
         {{"1", "5000.123", "1000.5", "100", "C1"}, {"4", "10", "20", "", "C4"}},
         LinearUnit::Metre,
         {"1 observation without coordinates not read", "1 deleted point not read, the first on line 6",
          "the job shows US survey feet; the coordinates are read in metres, as JobXML stores them"}},
        {"b.jxl", Jxl(JxlPoint("2", "true", "<Grid><North>1</North><East>2</East></Grid>")), {},
         LinearUnit::Unknown, {}, "the file holds no coordinate records; 1 deleted point not read"},
        {"c.jxl", "<!DOCTYPE JOBFile [<!ENTITY a \"aaaaaaaa\">]>\n<JOBFile><FieldBook/></JOBFile>\n", {},
         LinearUnit::Unknown, {}, "declares XML entities"},
        {"d.jxl", "<LandXML/>\n", {}, LinearUnit::Unknown, {}, "its root element is <LandXML>, not <JOBFile>"},
        {"e.jxl", "<JOBFile><FieldBook>\n<PointRecord><Name>1</Name>\n</JOBFile>\n", {}, LinearUnit::Unknown, {},
         "not a well-formed XML document: line 3"},
    };
    return cases;
}
}  // namespace

TEST(InstrumentReaders, CasesFromTheFormatDescriptions)
{
    TempDir dir;
    PointTable table;
    for (const ReadCase& c : ReadCases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Path(c.name);
        WriteBytes(path, c.text);
        table.SetUnit(LinearUnit::Foot);  // every load starts afresh
        ReadReport report;
        std::string error;
        try {
            report = ReaderFor(c.name)(table, path, {});
        } catch (const Error& e) {
            error = e.what();
        }
        if (!c.error.empty()) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_EQ(table.CurrItems(), 0);
            continue;
        }
        EXPECT_EQ(error, "");
        EXPECT_EQ(Loaded(table), c.rows);
        EXPECT_EQ(table.Unit(), c.unit);
        EXPECT_EQ(report.notices, c.notices);
    }
}

// Each reader claims its own files and no other: a binary file or a
// delimited point list of the same name goes on to the reader it had.
TEST(InstrumentReaders, ClaimFilesByContent)
{
    TempDir dir;
    const std::function<bool(const std::string&)> claims[] = {LooksLikeGsi, LooksLikeSdr, LooksLikeNikonRaw,
                                                             LooksLikeRw5, LooksLikeJobXml};
    const std::string others[] = {std::string("\x01\x00\x02\x40\x00\x00", 6), "1,5000.5,1000.25,100,IP\r\n",
                                  "Point Northing Easting\n1 2 3\n", ""};
    for (const ReadCase& c : ReadCases()) {
        const std::string path = dir.Path(c.name);
        WriteBytes(path, c.text);
        if (c.name[0] != 'a') continue;  // the first file of each reader is a typical one
        for (size_t k = 0; k < std::size(claims); ++k)
            EXPECT_EQ(claims[k](path), k == (std::string("gsisdrrawrw5jxl").find(c.name.substr(2)) / 3)) << c.name << " " << k;
    }
    for (const std::string& other : others) {
        WriteBytes(dir.Path("other"), other);
        for (const auto& claim : claims) EXPECT_FALSE(claim(dir.Path("other"))) << other;
    }
}

TEST(InstrumentWriters, ScaledDigitsAreExact)
{
    const struct {
        std::string text;
        int decimals;
        std::string digits;
        bool negative, rounded;
    } cases[] = {
        {"1234.567", 3, "1234567", false, false}, {"-0.0005", 3, "1", true, true},
        {"0.0004", 3, "0", false, true},          {"-0.0004", 3, "0", false, true},
        {"99.9995", 3, "100000", false, true},    {"1.5E-05", 5, "2", false, true},
        {"1E+3", 3, "1000000", false, false},     {"+.5", 0, "1", false, true},
        {"12", 4, "120000", false, false},        {"0.00001", 5, "1", false, false},
    };
    for (const auto& c : cases) {
        bool negative = false, rounded = false;
        EXPECT_EQ(instruments::ScaledDigits(c.text, c.decimals, 16, negative, rounded), c.digits) << c.text;
        EXPECT_EQ(negative, c.negative) << c.text;
        EXPECT_EQ(rounded, c.rounded) << c.text;
    }
    bool negative = false, rounded = false;
    EXPECT_FALSE(instruments::ScaledDigits("1E+20", 3, 16, negative, rounded));
    EXPECT_EQ(instruments::PlainDecimal(true, "0000012345", 3), "-12.345");
    EXPECT_EQ(instruments::PlainDecimal(true, "000", 3), "0.000");
    EXPECT_EQ(instruments::PlainDecimal(false, "5", 5), "0.00005");
}

namespace {
PointTable TableOf(const Rows& rows, LinearUnit unit)
{
    PointTable table;
    for (const auto& r : rows) table.AddTextPoint({r[0], r[1], r[2], r[3], r[4]});
    table.SetUnit(unit);
    return table;
}
}  // namespace

TEST(InstrumentWriters, GsiBlocksAndRefusedRows)
{
    TempDir dir;
    const std::string path = dir.Path("out.gsi");
    const PointTable table = TableOf({{"1001", "1234.567", "512.345", "-1.234", "TREE OAK"},
                                      {"P2", "-0.0005", "1.23456", "", ""},
                                      {"007", "1", "2", "3", ""},
                                      {"3", "x", "2", "3", ""},
                                      {"4", "1", "2", "high", "0X"},
                                      {"5", "1", "2", "high", "POST"},
                                      {"6", "1E+14", "2", "", ""},
                                      {"0", "0", "0", "0", "A DESCRIPTION TOO LONG"}},
                                     LinearUnit::Metre);
    ExportReport report = WriteGsiFile(table, path, {});
    EXPECT_EQ(ReadBytes(path),
              "*110001+0000000000001001 81..00+0000000000512345 82..00+0000000001234567 83..00-0000000000001234 "
              "71....+00000000TREE OAK \r\n"
              "*110002+00000000000000P2 81..00+0000000000001235 82..00-0000000000000001 \r\n"
              "*110003+0000000000000005 81..00+0000000000002000 82..00+0000000000001000 71....+000000000000POST \r\n");
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(report.leftOut, 1);
    EXPECT_EQ(report.elevationsLeftOut, 2);
    EXPECT_EQ(report.notices,
              (std::vector<std::string>{
                  "1 point with coordinates rounded to 0.001",
                  "1 row left out: a point id GSI cannot hold (empty, longer than 16 characters, with a blank or a "
                  "character other than ASCII, or starting with 0), the first row 3",
                  "2 rows left out: a description GSI cannot hold (longer than 16 characters, a character other "
                  "than ASCII, or starting with 0), the first row 5",
                  "1 row left out: a coordinate of more than 16 digits at the resolution, the first row 7"}));

    // Feet to 0.0001, converted from metres; 0.00001 ft is refused.
    report = WriteGsiFile(TableOf({{"1", "0.3048", "1200", "", ""}}, LinearUnit::Metre), path,
                          {{"units", "foot"}, {"resolution", "0.0001"}});
    EXPECT_EQ(ReadBytes(path), "*110001+0000000000000001 81..07+0000000039370079 82..07+0000000000010000 \r\n");
    EXPECT_EQ(report.notices, (std::vector<std::string>{
                                  "coordinates converted from metres to international feet",
                                  "GSI says feet without telling international from US survey feet"}));
    EXPECT_THROW(WriteGsiFile(table, path, {{"units", "us-foot"}, {"resolution", "0.00001"}}), Error);
}

TEST(InstrumentWriters, SdrRecords)
{
    TempDir dir;
    const std::string path = dir.Path("out.sdr");
    const PointTable table = TableOf({{"1001", "5000.123", "1000.5", "", "IP FOUND"},
                                      {"A7", "1.5E-05", "2", "3", "CAFÉ"},
                                      {"12345678901234567", "1", "2", "3", ""},
                                      {"8", "12345678901234.567", "2", "3", ""},
                                      {"9", "1E3", "-2", "3", ""}},
                                     LinearUnit::UsSurveyFoot);
    const ExportReport report = WriteSdrFile(table, path, {{"order", "enz"}});
    const std::string text = ReadBytes(path);
    ASSERT_GT(text.size(), 48u);
    EXPECT_EQ(text.substr(0, 24), "00NMSDR33 V04-04.02     ");
    EXPECT_EQ(text.substr(40, 8), "121121\r\n");
    EXPECT_EQ(text.substr(48), "08KI" + Right("1001") + Left("1000.5") + Left("5000.123") + Left("") +
                                   Left("IP FOUND") + "\r\n08KI" + Right("9") + Left("-2") + Left("1000") +
                                   Left("3") + Left("") + "\r\n");
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(report.notices.size(), 3u);
}

// What Tessaly writes for upload reads back to the same table.
TEST(InstrumentWriters, GsiAndSdrReadBackTheSameTable)
{
    TempDir dir;
    const Rows rows = {{"1001", "1234.567", "512.345", "-1.234", "TREE OAK"},
                       {"PT04", "-0.001", "1.000", "0.000", ""},
                       {"0", "5000000.125", "-600000.250", "", "CP"}};
    const ReadCase* sdrCase = nullptr;
    for (const ReadCase& c : ReadCases())
        if (c.name == "a.sdr") sdrCase = &c;
    ASSERT_NE(sdrCase, nullptr);
    for (LinearUnit unit : {LinearUnit::Metre, LinearUnit::UsSurveyFoot}) {
        PointTable back;
        WriteGsiFile(TableOf(rows, unit), dir.Path("t.gsi"), {});
        ReadGsiFile(back, dir.Path("t.gsi"), {});
        EXPECT_EQ(Loaded(back), rows);
        EXPECT_EQ(back.Unit(), unit);
        for (const char* order : {"nez", "enz"}) {
            WriteSdrFile(TableOf(sdrCase->rows, unit), dir.Path("t.sdr"), {{"order", order}});
            ReadSdrFile(back, dir.Path("t.sdr"), {});
            EXPECT_EQ(Loaded(back), sdrCase->rows);
            EXPECT_EQ(back.Unit(), unit);
        }
    }
}

// A line of megabytes costs no more than its first kilobytes, and the
// table's last row ends a load with the message of every reader.
TEST(InstrumentReaders, HugeLinesAndAFullTable)
{
    TempDir dir;
    PointTable table;
    const std::string huge(std::size_t{20} << 20, '7');
    const struct {
        std::string name, record;
    } kinds[] = {
        {"h.gsi", "*110001+0000000000000001 81..00+0000000000100000 82..00+0000000000200000 \r\n"},
        {"h.sdr", "08KI" + Right("1") + Left("1") + Left("2") + "\r\n"},
        {"h.raw", "UP,1,,1,2,3,C\r\n"},
        {"h.rw5", "SP,PN1,N 1,E 2,EL3,--C\r\n"},
    };
    for (const auto& kind : kinds) {
        WriteBytes(dir.Path(kind.name), "--" + huge + "\r\n" + huge + "\r\n" + kind.record);
        EXPECT_NO_THROW(ReaderFor(kind.name)(table, dir.Path(kind.name), {})) << kind.name;
        EXPECT_EQ(table.CurrItems(), 1) << kind.name;
        std::string many;
        for (int i = 0; i <= PointTable::TotRows; ++i) many += kind.record;
        WriteBytes(dir.Path(kind.name), many);
        try {
            ReaderFor(kind.name)(table, dir.Path(kind.name), {});
            ADD_FAILURE() << kind.name;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("only the first 10000 were loaded"), std::string::npos) << e.what();
        }
        EXPECT_EQ(table.CurrItems(), PointTable::TotRows);
    }
}

// The reader is chosen by name and content: an instrument file of each name
// goes to its reader, any other file of those names where it went before.
TEST(InstrumentReaders, ChosenByNameAndContent)
{
    TempDir dir;
    const std::string binary("\x01\x00\x02\x40\x00\x00\x00\x00\x00\x00\x14\x40", 12);
    const std::string rows = "1,5000.5,1000.25,100,IP\r\n";
    for (const std::string ending : {"gsi", "sdr", "raw", "rw5", "jxl"}) {
        for (const ReadCase& c : ReadCases()) {
            if (c.name != "a." + ending) continue;
            WriteBytes(dir.Path(c.name), c.text);
            EXPECT_EQ(ChooseReader(dir.Path(c.name)).id, ending);
        }
        WriteBytes(dir.Path("b." + ending), binary);
        EXPECT_EQ(std::string(ChooseReader(dir.Path("b." + ending)).id), "s1") << ending;
        WriteBytes(dir.Path("c." + ending), rows);
        EXPECT_EQ(std::string(ChooseReader(dir.Path("c." + ending)).id), "text-other") << ending;
    }
    EXPECT_EQ(std::string(ChooseWriter(dir.Path("up.GSI"))->id), "gsi");
    EXPECT_EQ(std::string(ChooseWriter(dir.Path("up.sdr"))->id), "sdr");
}
