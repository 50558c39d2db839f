#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/grid/row_window.h"

using namespace tessaly;

namespace {
// The first cell of row ROW. Appended rather than "r" + std::to_string(row):
// GCC 12 at -O3 takes the inlined insertion at the front for an overlapping
// copy (-Wrestrict).
std::string RowText(int row) { return std::string("r").append(std::to_string(row)); }

// A data source of ROWS rows whose first cell says which row it is ("r0",
// "r1", ...), recording each read as START<ASKED (backwards) or START>ASKED
// (forward), "-" for no start.
struct Source {
    int rows = 0;
    std::vector<std::string> reads;

    UnboundCallbacks Callbacks()
    {
        UnboundCallbacks c;
        c.ReadData = [this](RowBuf& buf, std::optional<std::string_view> start, bool prior) {
            reads.push_back((start ? std::string(*start) : "-") + (prior ? "<" : ">") + std::to_string(buf.RowCount()));
            const int d = prior ? -1 : 1;
            int b = start ? BookmarkRow(*start) + d : (prior ? rows - 1 : 0);
            size_t k = 0;
            for (; k < buf.rows.size() && b >= 0 && b < rows; ++k, b += d) {
                buf.rows[k].cells.at(0) = Cell{RowText(b)};
                buf.rows[k].bookmark = std::to_string(b);
            }
            buf.rows.resize(k);
        };
        return c;
    }
};

std::string Shown(const RowWindow::Row* row)
{
    if (!row) return "none";
    EXPECT_EQ(row->cells.size(), 2u) << "one cell a column";
    return row->cells[0] ? CellText(*row->cells[0]) : "null";
}
}  // namespace

TEST(RowWindow, ReadsAsScrollingNeeds)
{
    const struct {
        const char* what;
        int rows;
        std::vector<int> gets;
        std::vector<std::string> shown, reads;
    } cases[] = {
        {"the count comes from one read back from the end, whose rows serve", 100, {95, 90, 99},
         {"r95", "r90", "r99"}, {"-<10"}},
        {"scrolling down reads on after the last row held", 100, {0, 9, 10, 19},
         {"r0", "r9", "r10", "r19"}, {"-<10", "->10", "9>10"}},
        {"scrolling up reads before the first row held", 100, {50, 45, 40},
         {"r50", "r45", "r40"}, {"-<10", "49>10", "50<10"}},
        {"a jump near the end reads back from the end", 100, {0, 95}, {"r0", "r95"}, {"-<10", "->10", "-<10"}},
        {"a jump elsewhere reads forward from the row before", 100, {95, 30}, {"r95", "r30"}, {"-<10", "29>10"}},
        {"fewer rows than a screenful", 3, {0, 2, 3, -1}, {"r0", "r2", "none", "none"}, {"-<10"}},
        {"no rows at all", 0, {0}, {"none"}, {"-<10"}},
    };
    for (const auto& c : cases) {
        Source source{c.rows, {}};
        RowWindow w;
        w.SetWidth(2);
        w.SetPageSize(10);
        w.SetCallbacks(source.Callbacks());
        EXPECT_EQ(w.Count(), c.rows) << c.what;
        std::vector<std::string> shown;
        for (int p : c.gets) shown.push_back(Shown(w.Get(p)));
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_EQ(source.reads, c.reads) << c.what;
    }
}

TEST(RowWindow, KeepsAFewScreenfulsWhileScrollingFar)
{
    Source source{1000, {}};
    RowWindow w;
    w.SetWidth(2);
    w.SetPageSize(10);
    w.SetCallbacks(source.Callbacks());
    for (int p = 0; p < 300; ++p) ASSERT_EQ(Shown(w.Get(p)), RowText(p));
    source.reads.clear();
    EXPECT_EQ(Shown(w.Get(270)), "r270") << "held still";
    EXPECT_EQ(Shown(w.Get(100)), "r100");
    EXPECT_EQ(source.reads, std::vector<std::string>{"99>10"}) << "the top rows went";
}

TEST(RowWindow, ChangesOfTheSourceAndFailures)
{
    Source source{100, {}};
    RowWindow w;
    std::vector<std::string> reported;
    w.SetReport([&](const std::string& m) { reported.push_back(m); });
    w.SetWidth(2);
    w.SetPageSize(10);
    w.SetCallbacks(source.Callbacks());
    ASSERT_EQ(w.Count(), 100);

    source.rows = 99;
    w.Removed();
    EXPECT_EQ(w.Count(), 99) << "known without a read";
    EXPECT_EQ(Shown(w.Get(98)), "r98");
    source.rows = 100;
    w.Added();
    EXPECT_EQ(Shown(w.Get(99)), "r99");
    EXPECT_EQ(source.reads.size(), 3u);

    // A failing read is reported and leaves no rows; new callbacks read again.
    UnboundCallbacks failing = source.Callbacks();
    failing.ReadData = [](RowBuf&, std::optional<std::string_view>, bool) { throw Error("the disk went away"); };
    w.SetCallbacks(failing);
    EXPECT_EQ(w.Count(), 0);
    EXPECT_EQ(w.Get(0), nullptr);
    EXPECT_EQ(reported, std::vector<std::string>{"the disk went away"});
    w.SetCallbacks(source.Callbacks());
    EXPECT_EQ(w.Count(), 100);
}
