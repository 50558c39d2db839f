#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/fixtures.h"
#include "table/point_table.h"

using namespace tessaly;
using test::RowTexts;

TEST(PointTable, StartsWithTenThousandEmptyRows)
{
    PointTable t;
    EXPECT_EQ(t.CurrItems(), 0);
    EXPECT_EQ(t.RowCapacity(), 10000);
    EXPECT_EQ(t.AllocatedRows(), 10000);
    for (int32_t r : {0, 5000, 9999})
        for (int16_t c = 0; c < 5; ++c) EXPECT_TRUE(IsEmpty(t.Get(c, r)));
    EXPECT_THROW(t.Get(0, 10000), OutOfRange);
    EXPECT_THROW(t.Get(0, -1), OutOfRange);
    EXPECT_THROW(t.Get(5, 0), OutOfRange);
}

TEST(PointTable, ExactlyTenThousandPointsFitAndTheNextFails)
{
    PointTable t;
    for (int i = 0; i < 10000; ++i) t.AddPoint({std::to_string(i), "1", "2", "3", "d"});
    EXPECT_EQ(t.CurrItems(), 10000);
    EXPECT_THROW(t.AddPoint(), OutOfRange);
    EXPECT_EQ(t.CurrItems(), 10000) << "a point that did not fit is not counted";
    EXPECT_EQ(RowTexts(t, 9999)[0], "9999");
}

TEST(PointTable, ClearForgetsAppendsAndDeletes)
{
    PointTable t;
    t.AddPoint({"1", "", "", "", ""});
    t.AppendRow();
    t.RemoveRow(0);
    t.RemoveRow(0);
    t.Clear();
    EXPECT_EQ(t.CurrItems(), 0);
    EXPECT_EQ(t.RowCapacity(), 10000);
    EXPECT_EQ(t.AllocatedRows(), 10000);
    EXPECT_TRUE(IsEmpty(t.Get(0, 0)));
}

TEST(PointTable, CompactKeepsRowsWithPositiveNorthingOrEasting)
{
    PointTable t;
    const char* rows[][2] = {{"100.5", "0"}, {"0", "7"}, {"-3", "2"}, {"0", "0"},
                             {"", ""},       {"abc", "-1"}, {"12ft", ""}};
    int n = 1;
    for (auto& r : rows) t.AddPoint({std::to_string(n++), r[0], r[1], "", ""});
    t.Set(ColNorthing, 4, Cell{});  // a truly empty cell, not empty text
    t.Set(ColEasting, 4, Cell{});
    t.CompactPoints();
    ASSERT_EQ(t.CurrItems(), 4);
    EXPECT_EQ(RowTexts(t, 0), (std::vector<std::string>{"1", "100.5", "0", "", ""}));
    EXPECT_EQ(RowTexts(t, 1)[0], "2");
    EXPECT_EQ(RowTexts(t, 2)[0], "3");
    EXPECT_EQ(RowTexts(t, 3), (std::vector<std::string>{"7", "12ft", "", "", ""}));
    EXPECT_TRUE(IsEmpty(t.Get(0, 4)));
    EXPECT_EQ(t.RowCapacity(), 10000);
}

TEST(PointTable, CompactOfNothingOrAllDroppedIsEmpty)
{
    PointTable t;
    t.CompactPoints();
    EXPECT_EQ(t.CurrItems(), 0);
    t.AddPoint({"1", "0", "0", "", ""});
    t.AddPoint({"2", "-1", "", "", ""});
    t.CompactPoints();
    EXPECT_EQ(t.CurrItems(), 0);
    EXPECT_TRUE(IsEmpty(t.Get(0, 0)));
}

TEST(PointTable, CompactLeavesTheTableAsAClearWould)
{
    PointTable t;
    t.AddPoint({"1", "0", "0", "", ""});
    t.AddPoint({"2", "5", "6", "", "kept"});
    t.Set(ColDescription, 500, std::string("edited beyond the points"));
    t.AppendRow();
    t.CompactPoints();
    ASSERT_EQ(t.CurrItems(), 1);
    EXPECT_EQ(RowTexts(t, 0), (std::vector<std::string>{"2", "5", "6", "", "kept"}));
    EXPECT_TRUE(IsEmpty(t.Get(ColDescription, 1)));
    EXPECT_TRUE(IsEmpty(t.Get(ColDescription, 500)));
    EXPECT_EQ(t.AllocatedRows(), 10000);
    EXPECT_EQ(t.RowCapacity(), 10000);
}

TEST(PointTable, CompactKeepsNumberCells)
{
    PointTable t;
    t.AddPoint({"1", "5", "6", 0.0, ""});
    t.CompactPoints();
    ASSERT_EQ(t.CurrItems(), 1);
    EXPECT_TRUE(IsNumber(t.Get(ColElevation, 0)));
}

TEST(PointTable, AppendAddsOneRowAtTheEnd)
{
    PointTable t;
    EXPECT_EQ(t.AppendRow(), 10000);
    EXPECT_EQ(t.RowCapacity(), 10001);
    EXPECT_EQ(t.AllocatedRows(), 10001);
    EXPECT_EQ(t.CurrItems(), 0);
    t.Clear();
    EXPECT_EQ(t.RowCapacity(), 10000);
}

TEST(PointTable, RemoveMovesLaterRowsUpAndADeletedPointLeavesTheCount)
{
    PointTable t;
    for (int i = 0; i < 3; ++i) t.AddPoint({std::to_string(i), "", "", "", ""});
    t.Set(0, 3, std::string("after"));
    t.RemoveRow(1);
    EXPECT_EQ(t.RowCapacity(), 9999);
    EXPECT_EQ(t.CurrItems(), 2) << "a deleted point is no longer counted";
    EXPECT_EQ(RowTexts(t, 1)[0], "2");
    EXPECT_EQ(RowTexts(t, 2)[0], "after");
    EXPECT_TRUE(IsEmpty(t.Get(0, 3))) << "row 3 received the empty row 4";
    EXPECT_EQ(t.AllocatedRows(), 10000);
    t.RemoveRow(5);
    EXPECT_EQ(t.CurrItems(), 2) << "a row after the points is no point";
}

TEST(PointTable, RowsToSaveAreThePointsThenTypedRowsThatHoldSomething)
{
    auto Saved = [](const PointTable& t) {
        const RowList rows = t.RowsToSave();
        return std::vector<int32_t>(rows.begin(), rows.end());
    };
    // Deletes of points, deletes of typed rows and their undo keep the rows
    // to save in step with what the grid shows.
    PointTable t;
    for (int i = 0; i < 3; ++i) t.AddPoint({std::to_string(i), "", "", "", ""});
    t.Set(0, 9999, std::string("last"));
    t.Set(0, 5, std::string("typed"));
    t.SetTyped(5, true);
    t.Set(0, 4, std::string("not typed"));
    t.SetTyped(7, true);  // typed but empty
    EXPECT_EQ(Saved(t), (std::vector<int32_t>{0, 1, 2, 5}));

    t.RemoveRow(0);
    EXPECT_EQ(Saved(t), (std::vector<int32_t>{0, 1, 4}));
    EXPECT_TRUE(IsEmpty(t.Get(0, 9999))) << "the row that fell out at the end is emptied";
    EXPECT_EQ(RowTexts(t, 9998)[0], "last");

    t.InsertRow(0, {"0", "", "", "", ""}, false, true);
    EXPECT_EQ(t.CurrItems(), 3);
    EXPECT_EQ(t.RowCapacity(), 10000);
    EXPECT_EQ(Saved(t), (std::vector<int32_t>{0, 1, 2, 5}));
    EXPECT_EQ(RowTexts(t, 9999)[0], "last");

    t.RemoveRow(5);
    EXPECT_EQ(Saved(t), (std::vector<int32_t>{0, 1, 2}));
    t.InsertRow(5, {"typed", "", "", "", ""}, true, false);
    EXPECT_EQ(Saved(t), (std::vector<int32_t>{0, 1, 2, 5}));
    t.Clear();
    EXPECT_TRUE(t.RowsToSave().empty());
    EXPECT_FALSE(t.Typed(5));
}

TEST(PointTable, RemoveLastShownRowMovesNothing)
{
    PointTable t;
    t.Set(0, 9999, std::string("last"));
    t.Set(0, 9998, std::string("before"));
    t.RemoveRow(9999);
    EXPECT_EQ(t.RowCapacity(), 9999);
    EXPECT_EQ(RowTexts(t, 9998)[0], "before");
    EXPECT_EQ(RowTexts(t, 9999)[0], "last");
    EXPECT_THROW(t.RemoveRow(9999), OutOfRange);
}

TEST(PointTable, TwoDeletesThenAppendShrinkTheAllocation)
{
    PointTable t;
    t.RemoveRow(0);
    t.RemoveRow(0);
    EXPECT_EQ(t.AppendRow(), 9998);
    EXPECT_EQ(t.RowCapacity(), 9999);
    EXPECT_EQ(t.AllocatedRows(), 9999);
}

TEST(PointTable, RemoveWorksPast32768Rows)
{
    PointTable t;
    for (int i = 0; i < 23001; ++i) t.AppendRow();
    t.Set(0, 33000, std::string("x"));
    t.RemoveRow(32999);
    EXPECT_EQ(RowTexts(t, 32999)[0], "x");
    EXPECT_EQ(t.RowCapacity(), 33000);
}

TEST(PointTable, LoadedCountNeverExceedsTheAllocation)
{
    PointTable t;
    for (int i = 0; i < 10000; ++i) t.AddPoint();
    for (int i = 0; i < 5; ++i) t.RemoveRow(0);
    t.AppendRow();
    EXPECT_LE(t.CurrItems(), t.AllocatedRows());
    EXPECT_NO_THROW(t.Get(4, t.CurrItems() - 1));
}

TEST(Cell, NonNumbersAreTextThatDoesNotReadAsANumber)
{
    const struct {
        Cell cell;
        bool marked;
    } cases[] = {
        {Cell{}, false},          {std::string(""), false},    {std::string("  "), false},
        {std::string("503.25"), false}, {std::string(" -12 "), false}, {std::string("+.5"), false},
        {std::string("5."), false},     {std::string("1E+16"), false}, {2.5, false},
        {std::string("12ft"), true},    {std::string("."), true},      {std::string("1e"), true},
        {std::string("1,5"), true},     {std::string("1 2"), true},    {std::string("abc"), true},
        {std::string("\t5000"), false}, {std::string("\t"), false},   {std::string("1E999"), true},
        {std::string("5\n"), true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsNonNumber(c.cell), c.marked) << CellText(c.cell);
}
