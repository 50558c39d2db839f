#include <gtest/gtest.h>

#include <filesystem>

#include "formats/formats.h"
#include "platform/error.h"
#include "support/reader_fixture.h"

using namespace tessaly;
using namespace tessaly::test;
using Row = std::vector<std::string>;

namespace {
struct GrdFixture : ReaderFixture {
    std::string Load(std::string_view text) { return LoadBytes("site.grd", text); }
    std::vector<std::string> Column(int16_t col) const
    {
        std::vector<std::string> out;
        for (int32_t r = 0; r < table.CurrItems(); ++r) out.push_back(RowTexts(table, r)[static_cast<size_t>(col)]);
        return out;
    }
};
using Texts = std::vector<std::string>;

std::string Values(int n)
{
    std::string out;
    for (int i = 1; i <= n; ++i) out += std::to_string(i) + "\r\n";
    return out;
}
}  // namespace

TEST_F(GrdFixture, NodesRunRowByRowFromTheFirstCorner)
{
    EXPECT_EQ(Load("100,500,110,520,2,1\r\n1.1,1.2,1.3\r\n2.1,2.2,2.3\r\n"), "");
    ASSERT_EQ(table.CurrItems(), 6);
    EXPECT_EQ(Column(ColNorthing), (Texts{"100", "100", "100", "110", "110", "110"}));
    EXPECT_EQ(Column(ColEasting), (Texts{"500", "510", "520", "500", "510", "520"}));
    EXPECT_EQ(Column(ColElevation), (Texts{"1.1", "1.2", "1.3", "2.1", "2.2", "2.3"}));
    for (int32_t r = 0; r < 6; ++r) {
        EXPECT_TRUE(IsText(table.Get(ColPoint, r)));
        EXPECT_EQ(RowTexts(table, r)[0], "");
        EXPECT_EQ(RowTexts(table, r)[4], "");
    }

    // Falling corners give negative steps; zero coordinates stay.
    EXPECT_EQ(Load("10 0 0 -10 1 1\na\nb\nc\nd"), "");
    EXPECT_EQ(Column(ColNorthing), (Texts{"10", "10", "0", "0"}));
    EXPECT_EQ(Column(ColEasting), (Texts{"0", "-10", "0", "-10"}));
}

TEST_F(GrdFixture, CoordinatesAccumulateByRepeatedAddition)
{
    EXPECT_EQ(Load("0,0,100,1,1,1000\r\n" + Values(2002)), "");
    ASSERT_EQ(table.CurrItems(), 2002);
    EXPECT_EQ(RowTexts(table, 2000)[1], "99.9999999999986");
    EXPECT_EQ(RowTexts(table, 2001)[2], "1");
    EXPECT_EQ(RowTexts(table, 2)[1], "0.1");
    EXPECT_EQ(RowTexts(table, 6)[1], "0.3");  // 0.1 + 0.1 + 0.1, not 0.30000000000000004 shown
}

TEST_F(GrdFixture, NodeValuesAreTheFieldTextUnconverted)
{
    const struct {
        const char* values;
        Texts elevations;
    } cases[] = {
        {"101.50,\"1,5\",,x", {"101.50", "1,5", "", "x"}},
        {"100.5 101.2\r\n3\r\n4\r\n5", {"100.5 101.2", "3", "4", "5"}},
        {"1\r\n\r\n3\r\n4", {"1", "", "3", "4"}},
        {"1,2\r\n3\r\n4\r\n99,98", {"1", "2", "3", "4"}},
        {"  -7.25  ,1e3,\" q \",ABC", {"-7.25", "1e3", " q ", "ABC"}},
        {"1\xB0,2,3,\x80", {"1\xC2\xB0", "2", "3", "\xE2\x82\xAC"}},  // Windows-1252 to UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(std::string("0,0,1,1,1,1\r\n") + c.values), "") << c.values;
        EXPECT_EQ(Column(ColElevation), c.elevations);
    }
}

TEST_F(GrdFixture, HeaderCounts)
{
    const std::string nine = "\r\n" + Values(9);
    const struct {
        std::string file;
        int32_t rows;
        const char* error;  // part of the message, "" for a complete load
    } cases[] = {
        {"0,0,1,1,1.5,0.5" + nine, 0, "CN"},           // 0.5 rounds to 0
        {"0,0,1,1,2.5,1.5" + nine, 9, ""},             // 2 by 2 intervals
        {"0,0,1,1,0,0" + nine, 0, "CN (field 6) is 0"},  // CN is checked first
        {"0,0,1,1,0,1" + nine, 0, "CE (field 5) is 0"},
        {"0,0,1,1,1,," + nine, 0, "CN"},               // an empty count is 0
        {"0,0,1,1,x,1" + nine, 0, "CE"},
        {"0,0,1,1,1,-1" + nine, 0, ""},
        {"0,0,1,1,-1,2147483647" + nine, 0, ""},
        {"0,0,1,1,-5,-5", 0, ""},
        {"0,0,1,1,3E10,1" + nine, 0, "32-bit"},
        {"0,0,1,1,1\r\n", 0, "field 6"},
        {"", 0, "field 1"},
    };
    for (const auto& c : cases) {
        std::string err = Load(c.file);
        if (*c.error == 0) EXPECT_EQ(err, "") << c.file;
        else EXPECT_NE(err.find(c.error), std::string::npos) << c.file << ": " << err;
        EXPECT_EQ(table.CurrItems(), c.rows) << c.file;
    }
}

TEST_F(GrdFixture, ShortFilesKeepTheNodesRead)
{
    std::string err = Load("0,0,1,1,2,2\r\n5,6,7\r\n8");
    EXPECT_NE(err.find("field 11"), std::string::npos) << err;
    EXPECT_EQ(Column(ColElevation), (Texts{"5", "6", "7", "8"}));

    // Huge counts read only what the file holds.
    err = Load("0,0,1,1,2147483647,2147483647,1,2,3");
    EXPECT_NE(err.find("field 10"), std::string::npos) << err;
    EXPECT_EQ(table.CurrItems(), 3);
}

TEST_F(GrdFixture, TableFullStopsAtTheFirstNodeThatDoesNotFit)
{
    std::string err = Load("0,0,100,99,99,100\r\n" + Values(10100));
    EXPECT_NE(err.find("more than 10000"), std::string::npos) << err;
    ASSERT_EQ(table.CurrItems(), 10000);
    EXPECT_EQ(RowTexts(table, 9999), (Row{"", "99", "99", "10000", ""}));

    EXPECT_EQ(Load("0,0,99,99,99,99\r\n" + Values(10000)), "");
    EXPECT_EQ(table.CurrItems(), 10000);
}

TEST_F(GrdFixture, MissingFileFailsWithoutCreatingIt)
{
    auto path = dir.Path("none.grd");
    table.AddPoint({"old", "", "", "", ""});
    EXPECT_THROW(ReadGrdFile(table, path), Error);
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}
