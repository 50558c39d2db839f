#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/fixtures.h"
#include "table/grid_adapter.h"

using namespace tessaly;

namespace {
RowBuf Asking(int n)
{
    RowBuf b;
    b.rows.resize(static_cast<size_t>(n));
    for (auto& r : b.rows) r.cells.resize(PointTable::TotCols);  // a grid of the five point columns
    return b;
}
std::vector<std::string> Bookmarks(const RowBuf& b)
{
    std::vector<std::string> out;
    for (auto& r : b.rows) out.push_back(r.bookmark);
    return out;
}
std::vector<std::string> Seq(int from, int to)
{
    std::vector<std::string> out;
    for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1) out.push_back(std::to_string(i));
    return out;
}
}  // namespace

TEST(GridRead, PagesEitherWay)
{
    const struct {
        std::optional<std::string_view> start;
        bool prior;
        int asked;
        std::vector<std::string> rows;
    } cases[] = {
        {std::nullopt, false, 30, Seq(0, 29)},
        {"9995", false, 10, Seq(9996, 9999)},
        {"3", true, 10, Seq(2, 0)},
        {std::nullopt, true, 10, Seq(9999, 9990)},
        {"9999", false, 10, {}},
        {"0", true, 5, {}},
        {std::nullopt, false, 0, {}},
    };
    PointTable t;
    for (const auto& c : cases) {
        RowBuf b = Asking(c.asked);
        DBGrid1_UnboundReadData(t, b, c.start, c.prior);
        EXPECT_EQ(b.RowCount(), static_cast<int32_t>(c.rows.size()));
        EXPECT_EQ(Bookmarks(b), c.rows);
    }
}

TEST(GridRead, DeliversCellsAsStored)
{
    PointTable t;
    t.AddPoint({"7", "1.5", "", 0.0, "IP"});
    RowBuf b = Asking(2);
    DBGrid1_UnboundReadData(t, b, std::nullopt, false);
    ASSERT_EQ(b.RowCount(), 2);
    EXPECT_EQ(std::get<std::string>(*b.rows[0].cells[0]), "7");
    EXPECT_EQ(std::get<std::string>(*b.rows[0].cells[2]), "");
    EXPECT_TRUE(IsNumber(*b.rows[0].cells[3]));
    EXPECT_TRUE(IsEmpty(*b.rows[1].cells[0]));
}

TEST(GridRead, FollowsRowCapacityAfterAppendAndDelete)
{
    PointTable t;
    t.AppendRow();
    RowBuf b = Asking(1);
    DBGrid1_UnboundReadData(t, b, std::nullopt, true);
    EXPECT_EQ(Bookmarks(b), Seq(10000, 10000));
    t.RemoveRow(0);
    t.RemoveRow(0);
    b = Asking(5);
    DBGrid1_UnboundReadData(t, b, "9996", false);
    EXPECT_EQ(Bookmarks(b), Seq(9997, 9998));
}

TEST(GridWrite, ChangesOnlyTheGivenColumns)
{
    PointTable t;
    t.AddPoint({"1", "2", "3", "4", "5"});
    RowBuf b = Asking(1);
    b.rows[0].cells[2] = Cell{std::string("99")};
    DBGrid1_UnboundWriteData(t, b, "0");
    EXPECT_EQ(test::RowTexts(t, 0), (std::vector<std::string>{"1", "2", "99", "4", "5"}));
    EXPECT_EQ(t.CurrItems(), 1);
    EXPECT_THROW(DBGrid1_UnboundWriteData(t, b, "10000"), OutOfRange);
    EXPECT_THROW(DBGrid1_UnboundWriteData(t, b, "x"), OutOfRange);
}

TEST(GridAdd, AppendsAfterEveryShownRow)
{
    PointTable t;
    t.Set(0, 10000 - 1, std::string("last"));
    RowBuf b = Asking(1);
    b.rows[0].cells[0] = Cell{std::string("42")};
    b.rows[0].cells[4] = Cell{std::string("NEW")};
    int32_t bookmark = -1;
    DBGrid1_UnboundAddData(t, b, bookmark);
    EXPECT_EQ(bookmark, 10000);
    EXPECT_EQ(t.RowCapacity(), 10001);
    EXPECT_EQ(t.CurrItems(), 0);
    EXPECT_EQ(test::RowTexts(t, 10000), (std::vector<std::string>{"42", "", "", "", "NEW"}));
    EXPECT_TRUE(IsEmpty(t.Get(1, 10000)));
}

TEST(GridDelete, MovesLaterRowsUp)
{
    PointTable t;
    for (int i = 0; i < 3; ++i) t.AddPoint({std::to_string(i), "", "", "", ""});
    DBGrid1_UnboundDeleteRow(t, "0");
    EXPECT_EQ(test::RowTexts(t, 0)[0], "1");
    EXPECT_EQ(t.RowCapacity(), 9999);
    EXPECT_EQ(t.CurrItems(), 2);
    EXPECT_THROW(DBGrid1_UnboundDeleteRow(t, "-1"), OutOfRange);
}
