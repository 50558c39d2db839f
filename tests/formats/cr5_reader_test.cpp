#include <gtest/gtest.h>

#include <filesystem>

#include "formats/formats.h"
#include "platform/error.h"
#include "support/reader_fixture.h"

using namespace tessaly;
using namespace tessaly::test;
using Row = std::vector<std::string>;

namespace {
struct Cr5Fixture : ReaderFixture {
    std::string Load(std::string_view bytes) { return LoadBytes("job.cr5", bytes); }
};
const Cr5Point kPoint{1, 10, 20, 30, "P"};
}  // namespace

TEST_F(Cr5Fixture, RecordCountComesFromTheLength)
{
    const std::string three = Cr5File({kPoint, kPoint, kPoint});
    const struct {
        std::string bytes;
        int32_t rows;
        const char* error;  // part of the message, "" for a complete load
    } cases[] = {
        {std::string(38, '\x7f'), 0, ""},
        {three, 3, ""},
        {three + std::string(44, '\x01'), 3, ""},
        {three.substr(0, 38 + 45 * 2 + 44), 2, ""},
        {std::string(37, '\0'), 0, ""},
        {std::string(30, '\0'), 0, ""},
        {std::string(29, '\0'), 0, "byte 29"},
        {"", 0, "byte 0"},
    };
    for (const auto& c : cases) {
        std::string err = Load(c.bytes);
        if (*c.error == 0) EXPECT_EQ(err, "") << c.bytes.size();
        else EXPECT_NE(err.find(c.error), std::string::npos) << err;
        EXPECT_EQ(table.CurrItems(), c.rows) << c.bytes.size();
    }
}

TEST_F(Cr5Fixture, PointNumbersBelowOneGiveNoRow)
{
    EXPECT_EQ(Load(Cr5File({{5, 1, 2, 3, "A"}, {0, 9, 9, 9, "ZERO"}, {-3, 1, 1, 1, "N"}, {7, 4, 5, 6, "B"},
                            {12, 1, 1, 1, "C"}, {12, 2, 2, 2, "D"}, {INT32_MIN, 1, 1, 1, "E"}})),
              "");
    ASSERT_EQ(table.CurrItems(), 4);
    EXPECT_EQ(RowTexts(table, 0), (Row{"5", "1", "2", "3", "A "}));
    EXPECT_EQ(RowTexts(table, 1), (Row{"7", "4", "5", "6", "B "}));
    EXPECT_EQ(RowTexts(table, 2)[0], "12");
    EXPECT_EQ(RowTexts(table, 3), (Row{"12", "2", "2", "2", "D "}));
}

TEST_F(Cr5Fixture, DescriptionIsCutAfterItsNulAndCleaned)
{
    using namespace std::literals;
    const struct {
        std::string_view field;  // 17 bytes
        const char* text;
    } cases[] = {
        {"FENCE\0garbage!!!!"sv, "FENCE "},
        {"IP FOUND    12   "sv, "IP FOUND    12   "},
        {"\0ABCDEFGHIJKLMNOP"sv, " "},
        {"\t\x7f\xc8X\0YYYYYYYYYYYY"sv, "   X "},
        {"  LEAD\x01\x1f~ \0\0\0\0\0\0\0"sv, "  LEAD  ~  "},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.field.size(), 17u);
        EXPECT_EQ(Load(Cr5File({{1, 1, 1, 1, std::string(c.field)}})), "");
        ASSERT_EQ(table.CurrItems(), 1);
        EXPECT_EQ(RowTexts(table, 0)[4], c.text);
    }
}

TEST_F(Cr5Fixture, CoordinatesAndHeader)
{
    // The header's content has no influence.
    for (std::string_view header : {std::string_view(), std::string_view("\xff\xff\xff\xff\xff\xff\xff\xff")}) {
        EXPECT_EQ(Load(Cr5File({{2147483647, 512.5, 100.0, -12.25, "X"}}, header)), "");
        ASSERT_EQ(table.CurrItems(), 1);
        EXPECT_EQ(RowTexts(table, 0), (Row{"2147483647", "512.5", "100", "-12.25", "X "}));
    }
}

TEST_F(Cr5Fixture, TableFullStopsAfterTenThousandAcceptedPoints)
{
    std::vector<Cr5Point> pts(10000, kPoint);
    pts.insert(pts.begin(), 5, Cr5Point{0, 1, 1, 1, "SKIP"});
    EXPECT_EQ(Load(Cr5File(pts)), "");
    EXPECT_EQ(table.CurrItems(), 10000);
    pts.push_back({10001, 1, 1, 1, "LAST"});
    pts.push_back({10002, 1, 1, 1, "LAST"});
    EXPECT_NE(Load(Cr5File(pts)).find("more than 10000 points"), std::string::npos);
    EXPECT_EQ(table.CurrItems(), 10000);
}

TEST_F(Cr5Fixture, MissingFileFailsWithoutCreatingIt)
{
    auto path = dir.Path("none.cr5");
    table.AddPoint({"old", "", "", "", ""});
    EXPECT_THROW(ReadCr5File(table, path), Error);
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}
