// The text points reader's rules, one case table.
#include <gtest/gtest.h>

#include "formats/formats.h"
#include "formats/text/text_points.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;
using Rows = std::vector<std::vector<std::string>>;

namespace {
struct Outcome {
    Rows rows;
    std::string error;
    ReadReport report;
    TextFound summary;
};

Outcome Load(const std::string& bytes, const TextReadOptions& options = {})
{
    TempDir dir;
    const auto path = dir.Path("job.csv");
    WriteBytes(path, bytes);
    PointTable table;
    Outcome out;
    try {
        out.report = ReadTextPointsFile(table, path, options, &out.summary);
    } catch (const Error& e) {
        out.error = e.what();
    }
    for (int32_t r = 0; r < table.CurrItems(); ++r) out.rows.push_back(RowTexts(table, r));
    return out;
}

TextReadOptions Mapped(std::string columns, std::optional<bool> header = std::nullopt, int skip = 0)
{
    TextReadOptions o;
    o.columns = std::move(columns);
    o.header = header;
    o.skipLines = skip;
    return o;
}

// The bytes of TEXT in UTF-16 with a byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}
}  // namespace

TEST(TextPointsReader, Rules)
{
    using L = TextLayout;
    const struct {
        const char* what;
        std::string bytes;
        TextReadOptions options;
        Rows rows;
        const char* error;   // a part of the message; "" for a complete load
        const char* notice;  // a part of one notice; "" for none at all
    } cases[] = {
        // Header lines
        {"header names the columns", "Point,Northing,Easting,Elevation,Description\r\n1,5000,1000,100,IP\r\n", L::ENZ,
         {{"1", "5000", "1000", "100", "IP"}}, "", ""},
        {"other names, any case, description not last is one field",
         "id;x;y;h;code;extra\n7;1000.5;5000.25;;TREE;zz\n", L::PNEZD, {{"7", "5000.25", "1000.5", "", "TREE"}}, "",
         "column not read: \"extra\""},
        {"header without a point column numbers the points", "N\tE\n5000\t1000\n5001\t1001\n", L::PNEZD,
         {{"1", "5000", "1000", "", ""}, {"2", "5001", "1001", "", ""}}, "", "points numbered 1 to 2: no point column"},
        {"blank-delimited header, description last", "PT NTH EST ELV DSC\n1 5000 1000 100  LOT 4, BLOCK 2 \n",
         L::PNEZD, {{"1", "5000", "1000", "100", "LOT 4, BLOCK 2"}}, "", ""},
        {"names with units: the header decides the delimiter",
         "Point Number,Northing (m),Easting (m),Elevation (m),Description\n1001,5000.5,1000.25,100,IP FOUND\n",
         L::PNEZD, {{"1001", "5000.5", "1000.25", "100", "IP FOUND"}}, "", ""},
        {"German names, Windows-1252", "Punkt;Rechtswert;Hochwert;H\xF6he;Code\n7;1000;5000;12;X\n", L::PNEZD,
         {{"7", "5000", "1000", "12", "X"}}, "", ""},
        {"several descriptions joined, other columns named", "Pt#\tY\tX\tElev [ft]\tCode\tNote\tLayer\n"
         "1\t5000\t1000\t10\tIPF\tFound and accepted\tPTS\n2\t5001\t1001\t11\t\tNOTE ONLY\tPTS\n", L::PNEZD,
         {{"1", "5000", "1000", "10", "IPF Found and accepted"}, {"2", "5001", "1001", "11", "NOTE ONLY"}}, "",
         "column not read: \"Layer\""},
        {"empty columns of a spreadsheet say nothing", "P,N,E,Z,D,,\n1,5000,1000,7,IP,,\n2,5000,1000,7,IP,,,\n",
         Mapped("PNEZD--"), {{"1", "5000", "1000", "7", "IP"}, {"2", "5000", "1000", "7", "IP"}}, "", ""},
        {"a second point column is not read", "Point ID,Station,Easting,Northing,CODIGO\nA1,S1,1000,5000,X\n", L::PNEZD,
         {{"A1", "5000", "1000", "", ""}}, "", "columns not read: \"Station\", \"CODIGO\""},
        {"a first line of names not known is a header", "Foo,Bar,Baz,Qux\n1,5000,1000,5\n", L::PNEZD,
         {{"1", "5000", "1000", "5", ""}}, "", "the first line read as column names not known"},
        {"a title line", "PNEZD export\r\n1,5000,1000,100,IP\r\n", L::PNEZD, {{"1", "5000", "1000", "100", "IP"}}, "",
         "the first line read as column names not known"},
        {"a number among the names: data, no point rows", "1,N,E\n", L::PNEZD, {{"1", "N", "E", "", ""}},
         "no point rows found", ""},
        {"header only", "P,N,E,Z,D\r\n", L::PNEZD, {}, "", ""},
        // Mappings
        {"a column not read", "1,L1,5000,1000,100,IP, FOUND\n", Mapped("p-nezd"),
         {{"1", "5000", "1000", "100", "IP, FOUND"}}, "", "column not read: column 2"},
        {"a column named after the description: one field, extra fields said", "1,5000,1000,100,IP, FOUND,X\n",
         Mapped("PNEZD-"), {{"1", "5000", "1000", "100", "IP"}}, "",
         "1 row has fields beyond the columns read, not read, the first on line 1"},
        {"two descriptions, the last the rest of the line", "1;5000;1000;A;B; C\n", Mapped("PNEDD"),
         {{"1", "5000", "1000", "", "A B; C"}}, "", ""},
        {"the mapping decides over a known header", "P,N,E,Z\n1,5000,1000,7\n", Mapped("PENZ"),
         {{"1", "1000", "5000", "7", ""}}, "", ""},
        {"lines skipped, no header", "JOB 12, site\nbase 5 6\n1,5000,1000\n", Mapped("PNE", false, 2),
         {{"1", "5000", "1000", "", ""}}, "", ""},
        {"no header: the first line is a row", "P,N,E\n1,2,3\n", Mapped("PNE", false),
         {{"P", "N", "E", "", ""}, {"1", "2", "3", "", ""}}, "",
         "1 row has a coordinate that is not a number, the first on line 1"},
        // Delimiters and layouts
        {"blanks, comma inside the description", "1 5000 1000 100 LOT 4, BLOCK 2", L::PNEZD,
         {{"1", "5000", "1000", "100", "LOT 4, BLOCK 2"}}, "", ""},
        // Quotes belong to the delimiter they fit: tabs inside quoted comma
        // fields never make the line tab-delimited.
        {"comma, tabs inside a quoted description", "1,5000,1000,100,\"A\t5\t6\t\"\n", L::PNEZD,
         {{"1", "5000", "1000", "100", "A\t5\t6\t"}}, "", ""},
        {"comma, tabs inside a quoted point", "\"P\t5\t6\",5000,1000\n", L::PNEZD,
         {{"P\t5\t6", "5000", "1000", "", ""}}, "", ""},
        {"comma: the description is the rest of the line", "3,503.25,407, 0 ,LOT 4, BLOCK 2 \r\n", L::PNEZD,
         {{"3", "503.25", "407", "0", "LOT 4, BLOCK 2 "}}, "", ""},
        {"tab with commas in the description", "1\t5000\t1000\t100\tA, B\n", L::PNEZD,
         {{"1", "5000", "1000", "100", "A, B"}}, "", ""},
        {"semicolon", "1;5000.5;1000.25;100;A, B\n", L::PNEZD, {{"1", "5000.5", "1000.25", "100", "A, B"}}, "", ""},
        {"semicolon with decimal commas", "1;5000,5;1000,25;100;X\n", L::PNEZD, {},
         "line 1: the numbers are written with a decimal comma (\"5000,5\")", ""},
        {"decimal commas under a header", "Punkt;Rechtswert;Hochwert\n1;3500000,12;5800000,5\n", L::PNEZD,
         {{"1", "5800000,5", "3500000,12", "", ""}}, "no point rows found: the numbers are written with a decimal comma", ""},
        {"PENZ", "1,1000,5000,100\n", L::PENZ, {{"1", "5000", "1000", "100", ""}}, "", ""},
        {"ENZD numbers the points; CR line ends", "1000 5000 100 A\r1001 5001 101 B\r", L::ENZD,
         {{"1", "5000", "1000", "100", "A"}, {"2", "5001", "1001", "101", "B"}}, "", "points numbered 1 to 2"},
        {"columns beyond the layout are said", "1,2,3,4,5,6\n", L::PNE, {{"1", "2", "3", "", ""}}, "",
         "1 row has fields beyond the columns read"},
        // Quotes
        {"quoted fields and doubled quotes", "1,\"5000\",1000,,\"say \"\"hi\"\", ok\"\n", L::PNEZD,
         {{"1", "5000", "1000", "", "say \"hi\", ok"}}, "", ""},
        {"quoted description across lines", "1,5,6,7,\"L1\r\nL2\"\r\n2,1,2,3,X\r\n", L::PNEZD,
         {{"1", "5", "6", "7", "L1\r\nL2"}, {"2", "1", "2", "3", "X"}}, "", ""},
        {"quoted point keeps its blanks; blanks description unquoted", "\"  7  \" 1 2 3 \"  A  B \"\n", L::PNEZD,
         {{"  7  ", "1", "2", "3", "  A  B "}}, "", ""},
        {"a quoted description is one field: the columns after it are extra",
         "1001,5000.000,1000.000,100.000,\"Iron pin found, capped LS 12345\",CONTROL\n", L::PNEZD,
         {{"1001", "5000.000", "1000.000", "100.000", "Iron pin found, capped LS 12345"}}, "",
         "1 row has fields beyond the columns read"},
        {"text after the quote: the rest of the line", "1,2,3\n2,3,4,5,\"A\" B,C\n", L::PNEZD,
         {{"1", "2", "3", "", ""}, {"2", "3", "4", "5", "\"A\" B,C"}}, "", ""},
        {"no closing quote", "1,2,3,4,\"open\n5,6,7\n", L::PNEZD, {}, "line 1: a quoted field has no closing", ""},
        {"text after a closing quote", "1,2,3\n2,\"5\"x,3\n", L::PNEZD, {{"1", "2", "3", "", ""}},
         "line 2, field 2 (northing): text follows the closing quotation mark", ""},
        // Line ends, comments, blank lines
        {"comments, blank lines and mixed line ends", "# job 12\n\n  \t\r\n  # note\r1,2,3\r\n2,4,5\n3,6,7\r\n#\n",
         L::PNEZD, {{"1", "2", "3", "", ""}, {"2", "4", "5", "", ""}, {"3", "6", "7", "", ""}}, "", ""},
        {"empty file", "", L::PNEZD, {}, "", ""},
        {"comments only", "# nothing\r\n\r\n", L::PNEZD, {}, "", ""},
        // Numbers
        {"numbers are stored as written", "1, +5.0E3 ,-.5,1.\n2,1e-2,7,\n3,1e-400,1E-999,-1e-400\n", L::PNEZD,
         {{"1", "+5.0E3", "-.5", "1.", ""}, {"2", "1e-2", "7", "", ""}, {"3", "1e-400", "1E-999", "-1e-400", ""}}, "", ""},
        {"empty coordinates stay empty", "1,,,,NOTE\n", L::PNEZD, {{"1", "", "", "", "NOTE"}}, "", ""},
        {"text coordinates are kept and counted", "1,2,3,4,A\n2,5000,x12,7,B\n3,4,5,N/A,C\n4,5;5,3\n", L::PNEZD,
         {{"1", "2", "3", "4", "A"}, {"2", "5000", "x12", "7", "B"}, {"3", "4", "5", "N/A", "C"},
          {"4", "5;5", "3", "", ""}},
         "", "3 rows have a coordinate that is not a number, the first on line 2"},
        {"a first row with a text coordinate is a row", "1,N/A,1000,5,A\n2,5001,1001,6,B\n", L::PNEZD,
         {{"1", "N/A", "1000", "5", "A"}, {"2", "5001", "1001", "6", "B"}}, "", "on line 1"},
        {"a first row that fits no delimiter, its quote open", "1,N/A,1000,5,\"A\n\n# B\"\n2,5001,1001,6,C\n", L::PNEZD,
         {{"1", "N/A", "1000", "5", "A\n\n# B"}, {"2", "5001", "1001", "6", "C"}}, "", "on line 1"},
        {"a first row without numbers whose quote runs on is a row", "A,B,C,D,\"E\n1,2,3\"\n2,5001,1001,6,F\n",
         L::PNEZD, {{"A", "B", "C", "D", "E\n1,2,3"}, {"2", "5001", "1001", "6", "F"}}, "", "on line 1"},
        {"no point rows: refused", "Hello world\nthis is not a point file\n", L::PNEZD,
         {{"this", "is", "not", "a", "point file"}}, "no point rows found: line 2, field 2 (northing): \"is\"", ""},
        // One row whose northing or easting is not a number: the refusal says
        // which, as a notice would on a later row.
        {"no point rows: nan", "1,nan,200\n", L::PNEZD, {{"1", "nan", "200", "", ""}},
         "no point rows found: line 1, field 2 (northing): \"nan\" is not a number", ""},
        {"no point rows: hexadecimal easting", "1 100 0x10\n", L::PNEZD, {{"1", "100", "0x10", "", ""}},
         "line 1, field 3 (easting): \"0x10\" is not a number", ""},
        {"no point rows: a full-width digit", "1;\xEF\xBC\x91;2\n", L::PNEZD, {{"1", "\xEF\xBC\x91", "2", "", ""}},
         "line 1, field 2 (northing): \"\xEF\xBC\x91\" is not a number", ""},
        {"no point rows: a no-break space after the number", "1\t5\xC2\xA0\t2\n", L::PNEZD,
         {{"1", "5\xC2\xA0", "2", "", ""}}, "line 1, field 2 (northing): \"5\xC2\xA0\" is not a number", ""},
        {"a short line before any point row", "1,N/A,3\n4\n", L::PNEZD, {{"1", "N/A", "3", "", ""}},
         "no point rows found: line 2: the line has 1 field and no northing or easting", ""},
        {"no northing or easting", "1,2,3\n4\n", L::PNEZD, {{"1", "2", "3", "", ""}},
         "line 2: the line has 1 field and no northing or easting", ""},
        // Encodings: everything is stored as UTF-8
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBFP,N,E,D\n1,2,3,CAF\xC3\x89 \xE2\x82\xAC \xCE\xA9?\n", L::PNEZD,
         {{"1", "2", "3", "", "CAF\xC3\x89 \xE2\x82\xAC \xCE\xA9?"}}, "", ""},
        {"malformed UTF-8 after a byte-order mark", "\xEF\xBB\xBF" "1,2,3,4,A\xFF\xC3\n", L::PNEZD,
         {{"1", "2", "3", "4", "A\xEF\xBF\xBD\xEF\xBF\xBD"}}, "", "2 malformed characters replaced by U+FFFD"},
        {"valid UTF-8 with high bytes", "\xC3\x89,2,3,4,\xC3\xA9t\xC3\xA9\n", L::PNEZD,
         {{"\xC3\x89", "2", "3", "4", "\xC3\xA9t\xC3\xA9"}}, "", ""},
        {"not UTF-8: Windows-1252", "1,2,3,4,CAF\xC9 \x80\x81\n", L::PNEZD,
         {{"1", "2", "3", "4", "CAF\xC3\x89 \xE2\x82\xAC\xC2\x81"}}, "", ""},
        {"UTF-16 LE", Utf16(u"Point,Northing,Easting,Description\r\n1,5000,1000,Caf\u00E9 \U0001D11E\r\n", false),
         L::PNEZD, {{"1", "5000", "1000", "", "Caf\xC3\xA9 \xF0\x9D\x84\x9E"}}, "", ""},
        {"UTF-16 BE, unpaired surrogates", Utf16(u"1\t5000\t1000\t7\tA\xD800" u"B\xDC00\n2\t1\t2\t3\tC\xD800", true),
         L::PNEZD, {{"1", "5000", "1000", "7", "A\xEF\xBF\xBD" "B\xEF\xBF\xBD"}, {"2", "1", "2", "3", "C\xEF\xBF\xBD"}}, "",
         "3 malformed characters replaced by U+FFFD"},
        {"stray NULs are dropped", std::string("1,5000,10\0\0" "00,7,A\0\n", 19), L::PNEZD,
         {{"1", "5000", "1000", "7", "A"}}, "", "3 NUL characters dropped"},
    };
    for (const auto& c : cases) {
        const Outcome out = Load(c.bytes, c.options);
        EXPECT_EQ(out.rows, c.rows) << c.what;
        if (*c.error == 0) EXPECT_EQ(out.error, "") << c.what;
        else EXPECT_NE(out.error.find(c.error), std::string::npos) << c.what << ": " << out.error;
        std::string notices;
        for (const std::string& n : out.report.notices) notices += n + "; ";
        if (*c.notice == 0) EXPECT_EQ(notices, "") << c.what;
        else EXPECT_NE(notices.find(c.notice), std::string::npos) << c.what << ": " << notices;
    }
}

TEST(TextPointsReader, SummarySaysDelimiterHeaderEncodingAndReplacements)
{
    const struct {
        std::string bytes;
        TextDelimiter delimiter;
        bool header;
        TextEncoding encoding;
        int64_t replaced;
    } cases[] = {
        {"P\tN\tE\n", TextDelimiter::Tab, true, TextEncoding::Cp1252, 0},
        {"1 2 3 4 \xC9\n", TextDelimiter::Blanks, false, TextEncoding::Cp1252, 0},
        {"1;2;3;4;\xCE\xA9\xE4\xB8\xAD?\n", TextDelimiter::Semicolon, false, TextEncoding::Utf8, 0},
        {"\xEF\xBB\xBF" "1,2,3,4,\xFF\n", TextDelimiter::Comma, false, TextEncoding::Utf8, 1},
    };
    for (const auto& c : cases) {
        const Outcome out = Load(c.bytes);
        EXPECT_EQ(out.error, "") << c.bytes;
        EXPECT_EQ(out.summary.delimiter, c.delimiter) << c.bytes;
        EXPECT_EQ(out.summary.header, c.header) << c.bytes;
        EXPECT_EQ(out.summary.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(out.summary.replaced, c.replaced) << c.bytes;
    }
}

TEST(TextPointsReader, TextOrBinary)
{
    TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
        bool text;
    } cases[] = {
        {"a.csv", "1,2,3\r\n\f\x1A", true},
        {"b.asc", "", true},
        {"c.txt", std::string("1,2\0", 4), false},
        {"d.asc", std::string(64 << 10, '\0') + 'x', false},
        // Fewer than 1 in 100 bytes of the first 64 KiB control characters
        {"e.asc", std::string(100, 'x') + '\0', true},
        {"f.asc", std::string(98, 'x') + std::string("\0\x01", 2), false},
        {"g.asc", std::string(1000, 'x') + "\x7F\x01\x02\x03\x04\x05\x06\x07\x08\x0B\x0E", false},
        {"h.xml", std::string("\xFF\xFE<\0?\0x\0m\0l\0", 12), true},  // UTF-16 with a byte-order mark
        {"i.xml", std::string("<\0?\0x\0m\0l\0", 10), false},              // and without one
    };
    for (const auto& c : cases) {
        WriteBytes(dir.Path(c.name), c.bytes);
        EXPECT_EQ(LooksLikeText(dir.Path(c.name)), c.text) << c.name;
    }
    EXPECT_FALSE(LooksLikeText(dir.Path("missing.csv")));
    EXPECT_FALSE(LooksLikeText(dir.Root().string()));
}

TEST(TextPointsReader, TenThousandPointsStayAndTheRestIsReported)
{
    std::string bytes = "P,N,E\r\n";
    for (int i = 1; i <= PointTable::TotRows + 5; ++i) bytes += std::to_string(i) + ",1,2\r\n";
    TempDir dir;
    WriteBytes(dir.Path("big.txt"), bytes);
    PointTable table;
    ReaderFn read = ReadTextPointsFile;  // the shape of every other reader
    try {
        read(table, dir.Path("big.txt"));
        ADD_FAILURE() << "10005 points loaded without a word";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("only the first 10000"), std::string::npos) << e.what();
    }
    EXPECT_EQ(table.CurrItems(), PointTable::TotRows);
    EXPECT_EQ(RowTexts(table, PointTable::TotRows - 1)[0], "10000");
}

TEST(TextPointsReader, RecordsLongerThanOneMebibyteStopTheLoad)
{
    // A quotation mark that never closes: every later line is looked at once
    // (the test's time limit catches a quadratic scan) until 1 MiB.
    std::string bytes = "1,2,3\n1,2,3,4,\"";
    for (int i = 0; i < 1000000; ++i) bytes += "x,y\n";
    Outcome open = Load(bytes);
    EXPECT_EQ(open.rows.size(), 1u);
    EXPECT_NE(open.error.find("line 2: a quoted field runs on past 1 MiB"), std::string::npos) << open.error;
    // A huge line: stopped at its line, the rows before it kept; detection
    // and preview stop there too.
    const std::string huge = "1,2,3\n" + std::string(20u << 20, '7') + "\n";
    const Outcome stopped = Load(huge);
    EXPECT_EQ(stopped.rows.size(), 1u);
    EXPECT_NE(stopped.error.find("line 2: the line is longer than 1 MiB"), std::string::npos) << stopped.error.substr(0, 200);
    TempDir dir;
    WriteBytes(dir.Path("one.csv"), std::string(20u << 20, 'a'));
    EXPECT_FALSE(HeaderKnowsColumns(dir.Path("one.csv")));
    EXPECT_THROW(PreviewTextPointsFile(dir.Path("one.csv"), TextLayout::PNEZD), Error);
    // 1 MiB is still read, the preview showing a bounded start of it.
    const std::string longest = "1,2,3,4," + std::string((size_t{1} << 20) - 8, 'd');
    const Outcome read = Load(longest + "\n");
    EXPECT_EQ(read.error, "");
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(read.rows[0][4].size(), (size_t{1} << 20) - 8);
    WriteBytes(dir.Path("longest.csv"), longest);
    const TextPreview p = PreviewTextPointsFile(dir.Path("longest.csv"), TextLayout::PNEZD);
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].back(), std::string(1000, 'd') + "\xE2\x80\xA6");
}

TEST(TextPointsReader, PreviewSplitsTheFirstLines)
{
    TempDir dir;
    const auto path = dir.Path("job.txt");
    WriteBytes(path, "# survey\r\n1 5000 1000 100 IP FOUND \r\n2 5001 1001\r\n3 5002 1002\r\n");
    const TextPreview p = PreviewTextPointsFile(path, TextLayout::PNEZD, 2);
    EXPECT_EQ(p.delimiter, TextDelimiter::Blanks);
    EXPECT_FALSE(p.header);
    EXPECT_EQ(p.rows, (Rows{{"1", "5000", "1000", "100", "IP FOUND"}, {"2", "5001", "1001"}}));
    EXPECT_EQ(p.mapping, "PNEZD");
    WriteBytes(path, "N,E,D,X\r\n5,6,\"A,B\",7\r\n");
    const TextPreview h = PreviewTextPointsFile(path, TextLayout::PNEZD);
    EXPECT_FALSE(HeaderKnowsColumns(path)) << "no point column";
    EXPECT_TRUE(h.header);
    EXPECT_EQ(h.delimiter, TextDelimiter::Comma);
    EXPECT_EQ(h.mapping, "NED-");
    EXPECT_EQ(h.names, (std::vector<std::string>{"N", "E", "D", "X"}));
    EXPECT_EQ(h.rows, (Rows{{"N", "E", "D", "X"}, {"5", "6", "A,B", "7"}}));
    EXPECT_THROW(PreviewTextPointsFile(dir.Path("missing.txt"), TextLayout::PNEZD), Error);
    EXPECT_FALSE(HeaderKnowsColumns(dir.Path("missing.txt")));

    // Names with units: the header, not the blanks inside it, decides.
    WriteBytes(path, Utf16(u"Point Number,Northing (m),Easting (m),Elevation (m),Description\r\n1,2,3,4,\u00C9\r\n", true));
    EXPECT_TRUE(HeaderKnowsColumns(path));
    const TextPreview u = PreviewTextPointsFile(path, TextReadOptions{});
    EXPECT_EQ(u.encoding, TextEncoding::Utf16Be);
    EXPECT_EQ(u.delimiter, TextDelimiter::Comma);
    EXPECT_EQ(u.mapping, "PNEZD");
    EXPECT_EQ(u.rows.back(), (std::vector<std::string>{"1", "2", "3", "4", "\xC3\x89"}));

    // A mapping and a delimiter given: the preview follows them.
    WriteBytes(path, "skip me\n1;A;5000;1000\n");
    TextReadOptions o = Mapped("P-NE", false, 1);
    o.delimiter = TextDelimiter::Semicolon;
    const TextPreview m = PreviewTextPointsFile(path, o);
    EXPECT_EQ(m.mapping, "P-NE");
    EXPECT_FALSE(m.header);
    EXPECT_EQ(m.rows, (Rows{{"1", "A", "5000", "1000"}}));

    for (const char* bad : {"", "PN", "PNEZDP", "PNEZX", "PNNE"}) EXPECT_EQ(ParseColumnMapping(bad), std::nullopt) << bad;
    EXPECT_EQ(ParseColumnMapping("p-nEzdd-"), "P-NEZDD-");
}
