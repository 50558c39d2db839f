// LDD point databases, read from the reference databases in tests/data.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;
using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

namespace {
Rows AllRows(const PointTable& table)
{
    Rows rows;
    for (int32_t r = 0; r < table.CurrItems(); ++r) rows.push_back(RowTexts(table, r));
    return rows;
}

// Runs the reader; returns the error message, or "" for a complete load.
std::string Load(PointTable& table, const std::string& file) { return LoadOutcome(table, file, ReadMdbFile); }

const Rows kBasic = {
    {"1", "5000", "1000", "100", "IP FOUND"},
    {"2", "5012.345", "1020.5", "101.25", "  FENCE COR  "},
    {"3", "-12.25", "7.5", "0", "LOT 4, BLOCK 2"},
    {"17", "123456.789012", "654321.123456", "1234.5678", "CAF\xC3\x89"},
    {"20", "0", "0", "0", ""},
    {"21", "", "", "", ""},
};

std::string LongMemo()
{
    std::string memo;
    for (int i = 1; i <= 20; ++i) {
        if (i > 1) memo += ' ';
        memo += std::string("LINE ") + (i < 10 ? "0" : "") + std::to_string(i) + " OF A LONG MEMO FIELD.";
    }
    return memo;
}

// A table with something in it, to see whether a load touched it.
void Preload(PointTable& table)
{
    table.Clear();
    table.AddPoint({"old", "1", "2", "3", "OLD"});
    table.AddPoint({"old2", "", "", "", ""});
}
}  // namespace

TEST(MdbReader, ReferenceDatabases)
{
    const struct {
        const char* file;
        Rows rows;
    } cases[] = {
        {"points-basic.mdb", kBasic},
        {"points-v2003.mdb", kBasic},
        {"points-v2007.accdb", kBasic},
        // Text fields keep leading zeros and non-numbers; empty is empty.
        {"points-text.mdb",
         {{"0012", "5000.000", "1000.000", "100.000", "CP 12"},
          {"A7", "abc", "", "12ft", "TEXT VALUES"},
          {"", "1.5", "2.5", "3.5", "EMPTY PNO"}}},
        // Fields found by name wherever they stand; the others ignored.
        {"points-extra-fields.mdb",
         {{"101", "6000.75", "2050.25", "99.5", "TOP BANK"},
          {"102", "6010", "2060.5", "98.125", "EDGE PAVEMENT"},
          {"103", "6020.125", "2070", "97", "MANHOLE"}}},
        // A Single shows 7 digits; a memo comes whole; text keeps every
        // character.
        {"points-types.mdb",
         {{"P1", "5000", "1000", "100.1", "SHORT MEMO"},
          {"P2", "5001.5", "1001.25", "-0.3", LongMemo()},
          {"P3", "5002", "1002", "12345.68", "MEMO WITH \xC3\x89 AND \xCE\xA9"}}},
    };
    for (const auto& c : cases) {
        PointTable table;
        Preload(table);
        EXPECT_EQ(Load(table, TestData(c.file)), "") << c.file;
        EXPECT_EQ(AllRows(table), c.rows) << c.file;
        for (int32_t r = 0; r < table.CurrItems(); ++r)
            for (int16_t col = 0; col < PointTable::TotCols; ++col)
                EXPECT_TRUE(IsText(table.Get(col, r))) << c.file << " row " << r << " col " << col;
        EXPECT_TRUE(IsEmpty(table.Get(0, table.CurrItems()))) << c.file;
    }
}

TEST(MdbReader, EmptyTableGivesNoRows)
{
    PointTable table;
    Preload(table);
    EXPECT_EQ(Load(table, TestData("points-empty.mdb")), "");
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_TRUE(IsEmpty(table.Get(0, 0)));
}

TEST(MdbReader, TenThousandRecordsFillTheTable)
{
    PointTable table;
    EXPECT_EQ(Load(table, TestData("points-10000.mdb")), "");
    ASSERT_EQ(table.CurrItems(), 10000);
    for (int i = 1; i <= 10000; ++i) {
        const Row expected = {std::to_string(i), NumberText(5000 + i * 0.125), NumberText(1000 + i * 0.5),
                              NumberText(100 + (i % 100) * 0.01), "PT" + std::to_string(i)};
        ASSERT_EQ(RowTexts(table, i - 1), expected) << "record " << i;
    }
    EXPECT_EQ(RowTexts(table, 9999), (Row{"10000", "6250", "6000", "100", "PT10000"}));
}

TEST(MdbReader, MoreThanTenThousandKeepsTheFirstAndFails)
{
    PointTable table;
    const std::string error = Load(table, TestData("points-10001.mdb"));
    EXPECT_EQ(error, TestData("points-10001.mdb") +
                         ": the file holds more than 10000 points; only the first 10000 were loaded");
    ASSERT_EQ(table.CurrItems(), 10000);
    EXPECT_EQ(RowTexts(table, 0), (Row{"1", "5000.125", "1000.5", "100.01", "PT1"}));
    EXPECT_EQ(RowTexts(table, 9999), (Row{"10000", "6250", "6000", "100", "PT10000"}));
}

TEST(MdbReader, RefusedFilesLeaveTheTableAlone)
{
    TempDir dir;
    WriteBytes(dir.Path("notes.mdb"), "PNO,NTH,EST,ELV,DSC\r\n1,2,3,4,TEXT\r\n");
    WriteBytes(dir.Path("empty.mdb"), "");
    std::filesystem::create_directory(dir.Path("folder.mdb"));
    const struct {
        std::string file;
        const char* error;
    } cases[] = {
        {TestData("no-points-table.mdb"), "the database has no table POINTS"},
        {TestData("damaged-crash.mdb"), "the database is damaged"},
        // mdbtools spins and allocates without end on these: the reader's
        // limits end it within seconds (the ctest time limit guards).
        {TestData("hostile-cut.mdb"), "the database is damaged"},
        {TestData("hostile-zeroed-page.mdb"), "the database is damaged"},
        {dir.Path("notes.mdb"), "is not an Access database"},
        {dir.Path("empty.mdb"), "is not an Access database"},
        {dir.Path("missing.mdb"), "file not found"},
        {dir.Path("folder.mdb"), "is a folder"},
    };
    for (const auto& c : cases) {
        PointTable table;
        Preload(table);
        const std::string error = Load(table, c.file);
        EXPECT_EQ(error.rfind(c.file + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        ASSERT_EQ(table.CurrItems(), 2) << c.file;
        EXPECT_EQ(RowTexts(table, 0), (Row{"old", "1", "2", "3", "OLD"})) << c.file;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.mdb")));
}

TEST(MdbReader, RecordsThatCannotBeFetchedAreAnError)
{
    PointTable table;
    Preload(table);
    EXPECT_EQ(Load(table, TestData("damaged-truncated.mdb")),
              TestData("damaged-truncated.mdb") + ": the database is damaged: 0 of 6 records could be read");
    EXPECT_EQ(table.CurrItems(), 0);
    EXPECT_TRUE(IsEmpty(table.Get(0, 0)));
}

TEST(MdbReader, SecondDatabaseReplacesTheFirst)
{
    PointTable table;
    EXPECT_EQ(Load(table, TestData("points-basic.mdb")), "");
    EXPECT_EQ(Load(table, TestData("points-extra-fields.mdb")), "");
    ASSERT_EQ(table.CurrItems(), 3);
    EXPECT_EQ(RowTexts(table, 0)[0], "101");
    for (int16_t col = 0; col < PointTable::TotCols; ++col) EXPECT_TRUE(IsEmpty(table.Get(col, 3)));
    EXPECT_EQ(Load(table, TestData("points-basic.mdb")), "");
    EXPECT_EQ(AllRows(table), kBasic);
}

TEST(MdbReader, GermanLocaleStillUsesThePoint)
{
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    if (!std::setlocale(LC_ALL, "")) {
        if (old) ::setenv("LC_ALL", saved.c_str(), 1);
        else ::unsetenv("LC_ALL");
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 2.5);
    const std::string localeShows = buf;
    PointTable table;
    const std::string error = Load(table, TestData("points-basic.mdb"));
    std::setlocale(LC_ALL, "C");
    if (old) ::setenv("LC_ALL", saved.c_str(), 1);
    else ::unsetenv("LC_ALL");

    EXPECT_EQ(localeShows, "2,5");  // the locale really was German
    EXPECT_EQ(error, "");
    EXPECT_EQ(AllRows(table), kBasic);
}
