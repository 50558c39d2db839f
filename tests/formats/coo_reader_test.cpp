#include <gtest/gtest.h>

#include "formats/formats.h"
#include "platform/error.h"
#include "support/reader_fixture.h"

using namespace tessaly;
using namespace tessaly::test;
using Row = std::vector<std::string>;

namespace {
struct CooFixture : ReaderFixture {
    std::string Load(std::string_view bytes) { return LoadBytes("job.coo", bytes); }
};
const std::string kBlock = CooBlock("12", "IP FOUND", "407.000", "503.25", "101.50 ft");
}  // namespace

TEST_F(CooFixture, OneBlockMapsEastingFromLineTwoAndNorthingFromLineThree)
{
    EXPECT_EQ(Load(kBlock), "");
    ASSERT_EQ(table.CurrItems(), 1);
    EXPECT_EQ(RowTexts(table, 0), (Row{"12", "503.25", "407", "101.5", "IP FOUND"}));
}

TEST_F(CooFixture, EndOfFileCases)
{
    const std::string noFinalEnd = kBlock.substr(0, kBlock.size() - 2);
    const struct {
        std::string file;
        int32_t rows;
        const char* error;  // part of the message, "" for a complete load
    } cases[] = {
        {kBlock, 1, ""},
        {noFinalEnd, 1, ""},
        {kBlock + kBlock, 2, ""},
        {kBlock + "\r\n", 1, "line 5"},
        {kBlock + "\r", 1, "line 5"},
        {"", 0, "empty"},
        {kBlock + "A\r\nB\r\nC\r\n", 1, "line 5 (line 8 is missing)"},
        {"A\nB\nC\nD\n", 0, "line 1 (line 2 is missing)"},
    };
    for (const auto& c : cases) {
        std::string err = Load(c.file);
        EXPECT_EQ(table.CurrItems(), c.rows);
        if (*c.error == 0) EXPECT_EQ(err, "");
        else EXPECT_NE(err.find(c.error), std::string::npos) << err;
    }
}

TEST_F(CooFixture, FieldPositions)
{
    const struct {
        std::string line1;
        std::string number, description;
    } cases[] = {
        {" 0012    FENCE COR", "0012", "FENCE COR"},
        {" 12", "12", ""},
        {"X", "", ""},
        {"", "", ""},
        {" 123456789ABC", "12345678", "9ABC"},
        {" 1       " + std::string(50, 'D') + "IGNORED", "1", std::string(50, 'D')},
        // Positions are bytes of Windows-1252; the text is stored as UTF-8.
        {" \xC9" "1234567\xE9" "CAF\xC9 \x80", "\xC3\x89" "1234567", "\xC3\xA9" "CAF\xC3\x89 \xE2\x82\xAC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(c.line1 + "\r\nE\r\nN\r\nZ\r\n"), "");
        ASSERT_EQ(table.CurrItems(), 1);
        EXPECT_EQ(RowTexts(table, 0)[0], c.number) << c.line1;
        EXPECT_EQ(RowTexts(table, 0)[4], c.description) << c.line1;
    }
}

TEST_F(CooFixture, ValuesUseTheLeadingNumber)
{
    const struct {
        std::string field;
        const char* text;
    } cases[] = {
        {"123.500", "123.5"}, {"12.5 ft", "12.5"},  {"", "0"},           {"      ", "0"},
        {"N/A", "0"},         {"-0.000", "0"},      {"  -7.25  ", "-7.25"}, {"1E3", "1000"},
        {std::string(50, '1') + "999", "1.11111111111111E+49"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(CooBlock("1", "", c.field, "0", "0")), "");
        EXPECT_EQ(RowTexts(table, 0)[2], c.text) << c.field;
    }
    // A value line shorter than 17 characters is 0.
    EXPECT_EQ(Load(" 1\r\nSHORT\r\nSHORT 12\r\n\r\n"), "");
    EXPECT_EQ(RowTexts(table, 0), (Row{"1", "0", "0", "0", ""}));
}

TEST_F(CooFixture, LoneLineFeedStaysInsideTheLine)
{
    EXPECT_EQ(Load(" 1\nX\r\nE\r\nN\r\nZ\r\n"), "");
    EXPECT_EQ(RowTexts(table, 0)[0], "1\nX");
}

TEST_F(CooFixture, MissingFileFails)
{
    table.AddPoint();
    EXPECT_THROW(ReadCooFile(table, dir.Path("none.coo")), Error);
    EXPECT_EQ(table.CurrItems(), 0);
}

TEST_F(CooFixture, TenThousandAndOneBlocks)
{
    std::string file;
    for (int i = 0; i < 10000; ++i) file += kBlock;
    EXPECT_EQ(Load(file), "");
    EXPECT_EQ(table.CurrItems(), 10000);
    EXPECT_NE(Load(file + kBlock).find("only the first 10000"), std::string::npos);
    EXPECT_EQ(table.CurrItems(), 10000);
}
