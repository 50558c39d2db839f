// The text points reader's rules, one case table.
#include <gtest/gtest.h>

#include "formats/formats.h"
#include "formats/text_points.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;
using Rows = std::vector<std::vector<std::string>>;

namespace {
struct Outcome {
    Rows rows;
    std::string error;
    TextReadSummary summary;
};

Outcome Load(const std::string& bytes, TextLayout layout = TextLayout::PNEZD)
{
    TempDir dir;
    const auto path = dir.Path("job.csv");
    WriteBytes(path, bytes);
    PointTable table;
    Outcome out;
    try {
        out.summary = ReadTextPointsFile(table, path, {layout});
    } catch (const Error& e) {
        out.error = e.what();
    }
    for (int32_t r = 0; r < table.CurrItems(); ++r) out.rows.push_back(RowTexts(table, r));
    return out;
}
}  // namespace

TEST(TextPointsReader, Rules)
{
    using L = TextLayout;
    const struct {
        const char* what;
        std::string bytes;
        L layout;
        Rows rows;
        const char* error;  // a part of the message; "" for a complete load
    } cases[] = {
        // Header lines
        {"header names the columns", "Point,Northing,Easting,Elevation,Description\r\n1,5000,1000,100,IP\r\n", L::ENZ,
         {{"1", "5000", "1000", "100", "IP"}}, ""},
        {"other names, any case, unknown columns ignored, description not last is one field",
         "id;x;y;h;code;extra\n7;1000.5;5000.25;;TREE;zz\n", L::PNEZD, {{"7", "5000.25", "1000.5", "", "TREE"}}, ""},
        {"header without a point column numbers the points", "N\tE\n5000\t1000\n5001\t1001\n", L::PNEZD,
         {{"1", "5000", "1000", "", ""}, {"2", "5001", "1001", "", ""}}, ""},
        {"blank-delimited header, description last", "PT NTH EST ELV DSC\n1 5000 1000 100  LOT 4, BLOCK 2 \n",
         L::PNEZD, {{"1", "5000", "1000", "100", "LOT 4, BLOCK 2"}}, ""},
        {"a number among the names: data", "1,N,E\n", L::PNEZD, {},
         "line 1: the line has 1 field and no northing or easting (\"1,N,E\")"},
        {"header only", "P,N,E,Z,D\r\n", L::PNEZD, {}, ""},
        // Delimiters and layouts
        {"blanks, comma inside the description", "1 5000 1000 100 LOT 4, BLOCK 2", L::PNEZD,
         {{"1", "5000", "1000", "100", "LOT 4, BLOCK 2"}}, ""},
        {"comma: the description is the rest of the line", "3,503.25,407, 0 ,LOT 4, BLOCK 2 \r\n", L::PNEZD,
         {{"3", "503.25", "407", "0", "LOT 4, BLOCK 2 "}}, ""},
        {"tab with commas in the description", "1\t5000\t1000\t100\tA, B\n", L::PNEZD,
         {{"1", "5000", "1000", "100", "A, B"}}, ""},
        {"semicolon", "1;5000.5;1000.25;100;A, B\n", L::PNEZD, {{"1", "5000.5", "1000.25", "100", "A, B"}}, ""},
        {"semicolon with decimal commas", "1;5000,5;1000,25;100;X\n", L::PNEZD, {},
         "line 1: the numbers are written with a decimal comma (\"5000,5\")"},
        {"PENZ", "1,1000,5000,100\n", L::PENZ, {{"1", "5000", "1000", "100", ""}}, ""},
        {"ENZD numbers the points; CR line ends", "1000 5000 100 A\r1001 5001 101 B\r", L::ENZD,
         {{"1", "5000", "1000", "100", "A"}, {"2", "5001", "1001", "101", "B"}}, ""},
        {"columns beyond the layout are ignored", "1,2,3,4,5,6\n", L::PNE, {{"1", "2", "3", "", ""}}, ""},
        // Quotes
        {"quoted fields and doubled quotes", "1,\"5000\",1000,,\"say \"\"hi\"\", ok\"\n", L::PNEZD,
         {{"1", "5000", "1000", "", "say \"hi\", ok"}}, ""},
        {"quoted description across lines", "1,5,6,7,\"L1\r\nL2\"\r\n2,1,2,3,X\r\n", L::PNEZD,
         {{"1", "5", "6", "7", "L1\r\nL2"}, {"2", "1", "2", "3", "X"}}, ""},
        {"quoted point keeps its blanks; blanks description unquoted", "\"  7  \" 1 2 3 \"  A  B \"\n", L::PNEZD,
         {{"  7  ", "1", "2", "3", "  A  B "}}, ""},
        {"description not one quoted field stays as it is", "1,2,3,4,\"A\",B\n", L::PNEZD,
         {{"1", "2", "3", "4", "\"A\",B"}}, ""},
        {"no closing quote", "1,2,3,4,\"open\n5,6,7\n", L::PNEZD, {}, "line 1: a quoted field has no closing"},
        {"text after a closing quote", "1,2,3\n2,\"5\"x,3\n", L::PNEZD, {{"1", "2", "3", "", ""}},
         "line 2, field 2 (northing): text follows the closing quotation mark"},
        // Line ends, comments, blank lines
        {"comments, blank lines and mixed line ends", "# job 12\n\n  \t\r\n  # note\r1,2,3\r\n2,4,5\n3,6,7\r\n#\n",
         L::PNEZD, {{"1", "2", "3", "", ""}, {"2", "4", "5", "", ""}, {"3", "6", "7", "", ""}}, ""},
        {"empty file", "", L::PNEZD, {}, ""},
        {"comments only", "# nothing\r\n\r\n", L::PNEZD, {}, ""},
        // Numbers
        {"numbers are stored as written", "1, +5.0E3 ,-.5,1.\n2,1e-2,7,\n", L::PNEZD,
         {{"1", "+5.0E3", "-.5", "1.", ""}, {"2", "1e-2", "7", "", ""}}, ""},
        {"empty coordinates stay empty", "1,,,,NOTE\n", L::PNEZD, {{"1", "", "", "", "NOTE"}}, ""},
        {"bad number names line, field and text", "1,2,3,4,A\n2,5000,x12,7,B\n", L::PNEZD,
         {{"1", "2", "3", "4", "A"}}, "line 2, field 3 (easting): \"x12\" is not a number"},
        {"bad elevation", "1,2,3,4..5\n", L::PNEZD, {}, "line 1, field 4 (elevation): \"4..5\" is not a number"},
        {"decimal comma in a later line", "1\t2\t3\n2\t5,5\t3\n", L::PNEZD, {{"1", "2", "3", "", ""}},
         "\"5,5\" is not a number (numbers need a decimal point"},
        {"no northing or easting", "1,2,3\n4\n", L::PNEZD, {{"1", "2", "3", "", ""}},
         "line 2: the line has 1 field and no northing or easting"},
        // Encodings
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBFP,N,E,D\n1,2,3,CAF\xC3\x89 \xE2\x82\xAC \xCE\xA9?\n", L::PNEZD,
         {{"1", "2", "3", "", "CAF\xC9 \x80 ??"}}, ""},
        {"valid UTF-8 with high bytes", "\xC3\x89,2,3,4,\xC3\xA9t\xC3\xA9\n", L::PNEZD,
         {{"\xC9", "2", "3", "4", "\xE9t\xE9"}}, ""},
        {"not UTF-8: Windows-1252", "1,2,3,4,CAF\xC9 \xC3\xA9\n", L::PNEZD, {{"1", "2", "3", "4", "CAF\xC9 \xC3\xA9"}},
         ""},
    };
    for (const auto& c : cases) {
        const Outcome out = Load(c.bytes, c.layout);
        EXPECT_EQ(out.rows, c.rows) << c.what;
        if (*c.error == 0) EXPECT_EQ(out.error, "") << c.what;
        else EXPECT_NE(out.error.find(c.error), std::string::npos) << c.what << ": " << out.error;
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
        {"1;2;3;4;\xCE\xA9\xE4\xB8\xAD?\n", TextDelimiter::Semicolon, false, TextEncoding::Utf8, 2},
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
        {"a.csv", "1,2,3\r\n", true},
        {"b.asc", "", true},
        {"c.txt", std::string("1,2\0", 4), false},
        {"d.asc", std::string(64 << 10, 'x') + '\0', true},  // a NUL after the first 64 KiB
        {"e.asc", std::string((64 << 10) - 1, 'x') + '\0', false},
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

TEST(TextPointsReader, HugeFieldsAreReadInOnePass)
{
    // A quotation mark that never closes: every later line is looked at once
    // (the test's time limit catches a quadratic scan).
    std::string bytes = "1,2,3,4,\"";
    for (int i = 0; i < 1000000; ++i) bytes += "x,y\n";
    EXPECT_NE(Load(bytes).error.find("no closing quotation mark"), std::string::npos);
    // A huge bad number: the message shows only its start.
    const Outcome huge = Load("1,2,3\n2," + std::string(20u << 20, '7') + "x,1\n");
    EXPECT_EQ(huge.rows.size(), 1u);
    EXPECT_LT(huge.error.size(), 200u);
    EXPECT_NE(huge.error.find("line 2, field 2 (northing): \"7777"), std::string::npos) << huge.error.substr(0, 200);
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
    WriteBytes(path, "N,E,D,X\r\n5,6,\"A,B\",7\r\n");
    const TextPreview h = PreviewTextPointsFile(path, TextLayout::PNEZD);
    EXPECT_TRUE(HasHeaderLine(path));
    EXPECT_TRUE(h.header);
    EXPECT_EQ(h.delimiter, TextDelimiter::Comma);
    EXPECT_EQ(h.rows, (Rows{{"N", "E", "D", "X"}, {"5", "6", "A,B", "7"}}));
    EXPECT_THROW(PreviewTextPointsFile(dir.Path("missing.txt"), TextLayout::PNEZD), Error);
}
