#include <gtest/gtest.h>

#include <filesystem>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"
#include "support/reader_fixture.h"

using namespace tessaly;
using namespace tessaly::test;
using Row = std::vector<std::string>;

namespace {
struct SurveyorFixture : ReaderFixture {
    std::string path = dir.Path("job.pt");
    // Loads BYTES (and a companion file when given).
    std::string Load(std::string_view bytes, const std::string* companion = nullptr)
    {
        std::filesystem::remove(path + "W");
        if (companion) WriteBytes(path + "W", *companion);
        return LoadBytes("job.pt", bytes);
    }
    std::vector<std::string> PointNumbers() const
    {
        std::vector<std::string> out;
        for (int32_t r = 0; r < table.CurrItems(); ++r) out.push_back(RowTexts(table, r)[0]);
        return out;
    }
};

// Point i at northing i, easting 2i, elevation 10i: a record read with the
// wrong layout shows in its values.
std::string Records(int n, bool threeD)
{
    std::vector<SurveyorPoint> pts;
    for (int i = 1; i <= n; ++i) pts.push_back({double(i), 2.0 * i, 10.0 * i});
    return SurveyorOneFile(pts, threeD, static_cast<int16_t>(0x4141));
}
using Numbers = std::vector<std::string>;
}  // namespace

TEST_F(SurveyorFixture, LayoutAndCountFollowTheLength)
{
    const struct {
        std::string bytes;
        bool threeD;
        Numbers points;
        const char* error;  // part of the message, "" for a complete load
    } cases[] = {
        {Records(9, true), true, {"1", "2", "3", "4", "5", "6", "7", "8"}, ""},  // 234 bytes
        {Records(2, false), false, {"1"}, ""},                                   // 36
        {Records(4, false), false, {"1", "2", "3"}, ""},                         // 72
        {Records(1, true), true, {}, ""},                                        // 26
        {Records(2, false).substr(0, 27), false, {"1"}, ""},                     // 2 records
        {Records(3, false).substr(0, 45), false, {"1"}, ""},                     // 2 records
        {Records(4, false).substr(0, 63), false, {"1", "2", "3"}, ""},           // 4 records
        {Records(2, false).substr(0, 34), false, {"1"}, ""},                     // 2 records
        {Records(1, false).substr(0, 10), false, {}, ""},                        // 1 record
        {Records(1, false).substr(0, 9), false, {}, "no point record"},
        {"", true, {}, "no point record"},
    };
    for (const auto& c : cases) {
        std::string err = Load(c.bytes);
        if (*c.error == 0) EXPECT_EQ(err, "") << c.bytes.size();
        else EXPECT_NE(err.find(c.error), std::string::npos) << err;
        ASSERT_EQ(PointNumbers(), c.points) << c.bytes.size();
        for (int32_t r = 0; r < table.CurrItems(); ++r) {
            const double i = r + 1;
            const Cell& z = table.Get(ColElevation, r);
            EXPECT_EQ(RowTexts(table, r), (Row{NumberText(i), NumberText(i), NumberText(2 * i),
                                               c.threeD ? NumberText(10 * i) : "0", ""}));
            EXPECT_EQ(IsNumber(z), !c.threeD) << c.bytes.size();
        }
    }
}

TEST_F(SurveyorFixture, LeadingBytesDoNotMatter)
{
    for (bool threeD : {true, false}) {
        for (int16_t lead : {int16_t{0}, int16_t{-1}, int16_t{12345}}) {
            EXPECT_EQ(Load(SurveyorOneFile({{0.1, 1e6, -3.75}, {1, 1, 1}}, threeD, lead)), "");
            ASSERT_EQ(table.CurrItems(), 1);
            EXPECT_EQ(RowTexts(table, 0), (Row{"1", "0.1", "1000000", threeD ? "-3.75" : "0", ""}));
        }
    }
}

TEST_F(SurveyorFixture, CompactionDropsPointsWithoutPositiveCoordinatesAndKeepsNumbers)
{
    EXPECT_EQ(Load(SurveyorOneFile({{-5, 3, 1}, {0, 0, 9}, {-1, -2, 3}, {4, 0, 5}, {1, 1, 1}}, true)), "");
    ASSERT_EQ(table.CurrItems(), 2);
    EXPECT_EQ(RowTexts(table, 0), (Row{"1", "-5", "3", "1", ""}));
    EXPECT_EQ(RowTexts(table, 1), (Row{"4", "4", "0", "5", ""}));
}

TEST_F(SurveyorFixture, CompanionDescriptions)
{
    using namespace std::literals;
    const struct {
        std::string record;  // padded with blanks to 32 bytes
        std::string text;
    } cases[] = {
        {"- FENCE", ""},
        {"  - FENCE", "- FENCE"},
        {"-FENCE", "-FENCE"},
        {"", ""},
        {"  IP FOUND  ", "IP FOUND"},
        {"\tTAB", "\tTAB"},
        {"AB\0C"s, "AB\0C"s},
        {std::string(32, 'X'), std::string(32, 'X')},
        {" CAF\xC9 \x80\x8D ", "CAF\xC3\x89 \xE2\x82\xAC\xC2\x8D"},  // Windows-1252 to UTF-8
    };
    for (const auto& c : cases) {
        std::string companion = SurveyorDescriptions({c.record, "NEXT", "LAST"});
        EXPECT_EQ(Load(Records(3, true), &companion), "");
        ASSERT_EQ(table.CurrItems(), 2);
        EXPECT_EQ(RowTexts(table, 0)[4], c.text);
        EXPECT_EQ(RowTexts(table, 1)[4], "NEXT");
    }
}

TEST_F(SurveyorFixture, CompanionCutShortOrAbsent)
{
    const struct {
        std::string companion;
        Row descriptions;
    } cases[] = {
        {SurveyorDescriptions({"ONE"}) + "TW", {"ONE", "TW", ""}},
        {SurveyorDescriptions({"ONE"}) + "-", {"ONE", "", ""}},
        {"", {"", "", ""}},
        {SurveyorDescriptions({"A", "B", "C", "D", "E", "F"}), {"A", "B", "C"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(Records(4, false), &c.companion), "");
        ASSERT_EQ(table.CurrItems(), 3);
        for (int32_t r = 0; r < 3; ++r) EXPECT_EQ(RowTexts(table, r)[4], c.descriptions[static_cast<size_t>(r)]);
    }
    // The companion's name is the point file's name plus a capital W.
    EXPECT_EQ(Load(Records(2, false)), "");
    WriteBytes(path + "w", SurveyorDescriptions({"LOWER"}));
    ReadSurveyorOneFile(table, path);
    EXPECT_EQ(RowTexts(table, 0)[4], "");
}

TEST_F(SurveyorFixture, TooManyRecords)
{
    const struct {
        size_t length;
        bool overflow;  // else: the table fills up
    } cases[] = {
        {26 * 32768, true},       // 3D, 32768 records
        {18 * 32767 + 9, true},   // 2D, 32767.5 rounds to 32768
        {26 * 32767, false},      // 3D, 32767 records
        {18 * 32767 + 8, false},  // 2D, 32767 records
    };
    for (const auto& c : cases) {
        std::string bytes = Records(10001, c.length % 26 == 0);
        bytes.resize(c.length, '\0');
        std::string companion = SurveyorDescriptions({"D"});
        WriteBytes(path, bytes);
        WriteBytes(path + "W", companion);
        if (c.overflow) {
            EXPECT_THROW(ReadSurveyorOneFile(table, path), Overflow) << c.length;
            EXPECT_EQ(table.CurrItems(), 0);
            continue;
        }
        try {
            ReadSurveyorOneFile(table, path);
            ADD_FAILURE() << c.length << " loaded";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("more than 10000"), std::string::npos) << e.what();
        }
        // The rows stay as they were read: no descriptions, no compaction.
        ASSERT_EQ(table.CurrItems(), 10000);
        EXPECT_EQ(RowTexts(table, 0)[4], "");
        EXPECT_EQ(RowTexts(table, 9999)[0], "10000");
    }
    EXPECT_EQ(Load(Records(10000, true)), "");
    EXPECT_EQ(table.CurrItems(), 9999);
}

TEST_F(SurveyorFixture, MissingFileFailsWithoutCreatingIt)
{
    auto missing = dir.Path("none");
    table.AddPoint({"old", "", "", "", ""});
    try {
        ReadSurveyorOneFile(table, missing);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("file not found"), std::string::npos) << e.what();
    }
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_THROW(ReadSurveyorOneFile(table, dir.Root().string()), Error);
}
