#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "formats/formats.h"
#include "platform/error.h"
#include "support/reader_fixture.h"

using namespace tessaly;
using namespace tessaly::test;
using Row = std::vector<std::string>;

namespace {
struct CrdFixture : ReaderFixture {
    // Loads BYTES, which must load completely.
    void Load(std::string_view bytes) { EXPECT_EQ(LoadBytes("job.crd", bytes), ""); }
};

// A 104-byte header with the given signature field. Read as "Numeric" the
// same bytes hold a count of 1 and a point 1 at (10, 20), so the layout the
// reader chose shows in the number of points loaded.
std::string AlphaHeader(std::string_view signatureField)
{
    return Bytes().F64(1).Zeros(48).F64(10).F64(20).Raw(signatureField).str();
}
}  // namespace

TEST_F(CrdFixture, NumericSkipsEmptySlotsAndKeepsRecordNumbers)
{
    Load(CrdNumeric(3, {{100, 200, 10, "A"}, {0, 0, 0, "B"}, {-5, 7.5, 0, "C"}}));
    ASSERT_EQ(table.CurrItems(), 2);
    EXPECT_EQ(RowTexts(table, 0), (Row{"1", "100", "200", "10", "A"}));
    EXPECT_EQ(RowTexts(table, 1), (Row{"3", "-5", "7.5", "0", "C"}));
}

TEST_F(CrdFixture, CountRoundsHalfToEven)
{
    std::vector<CrdPoint> five(5, CrdPoint{1, 1, 1, "P"});
    const struct {
        double count;
        int32_t loaded;
    } cases[] = {{2.5, 2}, {3.5, 4}, {-1, 0}, {0, 0}, {2.4, 2}};
    for (const auto& c : cases) {
        Load(CrdNumeric(c.count, five));
        EXPECT_EQ(table.CurrItems(), c.loaded) << c.count;
    }
}

TEST_F(CrdFixture, CountOutOfRangeFailsWithAnEmptyTable)
{
    for (double count : {32767.5, -32768.6, 1e300, std::nan("")}) {
        table.AddPoint({"old", "", "", "", ""});
        auto path = dir.Path("big.crd");
        WriteBytes(path, CrdNumeric(count, {{1, 1, 1, "P"}}));
        try {
            ReadCrdFile(table, path);
            ADD_FAILURE() << count << " loaded";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("byte 0"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
        }
        EXPECT_EQ(table.CurrItems(), 0);
    }
}

TEST_F(CrdFixture, CountBeyondTheFileReadsMissingRecordsAsEmptySlots)
{
    Load(CrdNumeric(32767, {{1, 2, 3, "ONLY"}}));
    ASSERT_EQ(table.CurrItems(), 1);
    EXPECT_EQ(RowTexts(table, 0)[4], "ONLY");
    // A point record cut off in the middle keeps the bytes that are there.
    std::string cut = CrdNumeric(1, {{5, 6, 7, "GONE"}}).substr(0, 56 + 12);
    Load(cut);
    ASSERT_EQ(table.CurrItems(), 1);
    EXPECT_EQ(RowTexts(table, 0), (Row{"1", "5", "0", "0", ""}));
}

TEST_F(CrdFixture, DescriptionsAreCleaned)
{
    using namespace std::string_view_literals;
    const struct {
        std::string_view field;
        const char* text;
    } cases[] = {
        {"IP FOUND\0garbage"sv, "IP FOUND"},
        {"    TEXT                        "sv, "TEXT"},
        {"\0LEFTOVER"sv, ""},
        {"  SPACED  \0xx"sv, "SPACED"},
        {"\tTAB"sv, "\tTAB"},
        // Windows-1252, the unassigned bytes included, to UTF-8.
        {"CAF\xC9 \x80 \x81\x9D\xFF\0\xE9"sv, "CAF\xC3\x89 \xE2\x82\xAC \xC2\x81\xC2\x9D\xC3\xBF"},
        {"\x93" "32 BYTES OF TEXT, ALL OF IT \x94 "sv, "\xE2\x80\x9C" "32 BYTES OF TEXT, ALL OF IT \xE2\x80\x9D"},
    };
    for (const auto& c : cases) {
        Load(CrdNumeric(1, {{1, 1, 1, std::string(c.field)}}));
        ASSERT_EQ(table.CurrItems(), 1);
        EXPECT_EQ(RowTexts(table, 0)[4], c.text);
    }
}

TEST_F(CrdFixture, AlphaLayoutNeedsSignatureAndLength)
{
    using namespace std::string_view_literals;
    const struct {
        std::string header;
        size_t records;
        bool alpha;
    } cases[] = {
        {AlphaHeader(Bytes().Text("New CRD Format", 32).str()), 0, true},
        {AlphaHeader(Bytes().Text("New CRD Format", 32).str()), 3, true},
        {AlphaHeader(Bytes().Text("   New CRD Format", 32, ' ').str()), 1, true},
        {AlphaHeader(Bytes().Text("new crd format", 32).str()), 1, false},
        {AlphaHeader(Bytes().Text("  New CRD Format", 32).str()), 1, false},
    };
    for (const auto& c : cases) {
        std::string file = c.header + std::string(66 * c.records, '\x01');
        Load(file);
        EXPECT_EQ(table.CurrItems(), c.alpha ? 0 : 1) << c.header.substr(72);
        EXPECT_EQ(table.PointsNotRead().find("in the Alpha layout, which is not read (" + std::to_string(c.records)) !=
                      std::string::npos,
                  c.alpha)
            << table.PointsNotRead();
        // A length off the 66-byte grid is always "Numeric".
        Load(file + "x");
        EXPECT_EQ(table.CurrItems(), 1);
        EXPECT_EQ(table.PointsNotRead(), "");
    }
}

TEST_F(CrdFixture, SignatureWithWrongLengthIsReadAsNumeric)
{
    // A Numeric file that happens to carry the signature bytes at 72..103
    // (inside record 1's easting and description) is still read as Numeric.
    std::string file = CrdNumeric(1, {{10, 20, 30, ""}});
    file.replace(72, 15, std::string("New CRD Format\0", 15));
    Load(file);
    ASSERT_EQ(table.CurrItems(), 1);
    EXPECT_EQ(RowTexts(table, 0)[1], "10");
}

TEST_F(CrdFixture, EmptyFileIsAnEmptyLoad)
{
    table.AddPoint({"old", "", "", "", ""});
    Load("");
    EXPECT_EQ(table.CurrItems(), 0);
}

TEST_F(CrdFixture, MissingFileFailsWithoutCreatingIt)
{
    table.AddPoint({"old", "", "", "", ""});
    auto path = dir.Path("nothere.crd");
    try {
        ReadCrdFile(table, path);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("file not found"), std::string::npos);
    }
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(CrdFixture, TenThousandFitTenThousandAndOneFail)
{
    std::vector<CrdPoint> pts(10001, CrdPoint{1, 2, 3, "P"});
    auto path = dir.Path("big.crd");
    WriteBytes(path, CrdNumeric(10000, pts));
    ReadCrdFile(table, path);
    EXPECT_EQ(table.CurrItems(), 10000);
    EXPECT_EQ(RowTexts(table, 9999)[0], "10000");

    WriteBytes(path, CrdNumeric(10001, pts));
    EXPECT_THROW(ReadCrdFile(table, path), Error);
    EXPECT_EQ(table.CurrItems(), 10000);
}

TEST_F(CrdFixture, NotFiniteCoordinates)
{
    Load(CrdNumeric(2, {{std::nan(""), 5, 1, "N"}, {std::nan(""), -std::numeric_limits<double>::infinity(), 0, "X"}}));
    ASSERT_EQ(table.CurrItems(), 1);
    EXPECT_EQ(RowTexts(table, 0), (Row{"1", "NaN", "5", "1", "N"}));
}
