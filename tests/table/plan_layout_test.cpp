#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "table/plan_index.h"
#include "table/plan_layout.h"

using namespace tessaly;

TEST(PlanIndex, FindsWhatAScanFinds)
{
    // A block of points, two far ones (kept out of the buckets' span) and a
    // duplicate; the rectangles cross bucket edges, the far points and the
    // outside of everything.
    std::vector<PlanPoint> pts;
    for (int i = 0; i < 400; ++i) pts.push_back({1000 + (i % 20) * 5.0, 5000 + (i / 20) * 5.0, i});
    pts.push_back({-50000, 5000, 400});
    pts.push_back({1050, 9e6, 401});
    pts.push_back({1000, 5000, 402});
    std::vector<uint8_t> far(pts.size(), 0);
    far[400] = far[401] = 1;
    const struct {
        double e0, n0, e1, n1;
    } boxes[] = {{1000, 5000, 1000, 5000}, {1012, 5003, 1047, 5061}, {-1e9, -1e9, 1e9, 1e9},
                 {-60000, 4000, 1010, 5010}, {1040, 5050, 1060, 1e7}, {2000, 6000, 3000, 7000},
                 {1010, 5010, 1000, 5000}};
    for (const bool withFar : {true, false}) {
        PlanIndex index;
        index.Build(pts, withFar ? std::span<const uint8_t>(far) : std::span<const uint8_t>());
        for (const auto& b : boxes) {
            std::vector<int32_t> got, want;
            index.PointsIn(b.e0, b.n0, b.e1, b.n1, got);
            for (const PlanPoint& p : pts)
                if (p.e >= b.e0 && p.e <= b.e1 && p.n >= b.n0 && p.n <= b.n1) want.push_back(p.row);
            std::sort(got.begin(), got.end());
            EXPECT_EQ(got, want) << b.e0 << " " << b.n0 << " " << b.e1 << " " << b.n1;
            EXPECT_EQ(index.AnyIn(b.e0, b.n0, b.e1, b.n1), !want.empty());
        }
    }
}

TEST(PlanLayout, FitKeepsThePointsInsideTheMargins)
{
    const Margins m{30, 65, 30, 50};
    const struct {
        double e0, n0, e1, n1, width, height;
    } cases[] = {
        {1000, 5000, 1200, 5100, 400, 400},  // wider than high
        {1000, 5000, 1010, 5400, 300, 500},  // higher than wide
        {1000, 5000, 1000, 5000, 400, 400},  // one point
        {0, 0, 1e6, 0, 200, 600},            // a line
    };
    for (const auto& c : cases) {
        const PlanFit f = FitExtent(c.e0, c.n0, c.e1, c.n1, c.width, c.height, m, 10, 1e-12, 1e5);
        const double leftX = c.width / 2 + (c.e0 - f.e) * f.scale, rightX = c.width / 2 + (c.e1 - f.e) * f.scale;
        const double topY = c.height / 2 - (c.n1 - f.n) * f.scale, bottomY = c.height / 2 - (c.n0 - f.n) * f.scale;
        EXPECT_GE(leftX, m.left - 1e-6) << c.e1;
        EXPECT_LE(rightX, c.width - m.right + 1e-6) << c.e1;
        EXPECT_GE(topY, m.top - 1e-6) << c.e1;
        EXPECT_LE(bottomY, c.height - m.bottom + 1e-6) << c.e1;
        // Centred in the free area.
        EXPECT_NEAR(leftX - m.left, c.width - m.right - rightX, 1e-6) << c.e1;
        EXPECT_NEAR(topY - m.top, c.height - m.bottom - bottomY, 1e-6) << c.e1;
    }
    // The least extent: a single point is not blown up to a thousandth.
    EXPECT_DOUBLE_EQ(FitExtent(5, 5, 5, 5, 340, 340, {20, 20, 20, 20}, 10, 1e-12, 1e5).scale, 30);
}

TEST(PlanLayout, FurnitureTakesTheFirstFreeCorner)
{
    constexpr std::array order{Corner::TopRight, Corner::TopLeft, Corner::BottomLeft, Corner::BottomRight};
    auto blockedAt = [](std::vector<double> xs) {
        return [xs](const ScreenBox& b) { return std::find(xs.begin(), xs.end(), b.x) != xs.end(); };
    };
    // 400 by 300, a 30 by 40 box, 6 pixels in: x 364 on the right, 6 on the left.
    EXPECT_EQ(FreeCorner(order, 30, 40, 400, 300, 6, blockedAt({})), (ScreenBox{364, 6, 30, 40}));
    EXPECT_EQ(FreeCorner(order, 30, 40, 400, 300, 6, blockedAt({364})), (ScreenBox{6, 6, 30, 40}));
    EXPECT_EQ(FreeCorner(order, 30, 40, 400, 300, 6, [](const ScreenBox& b) { return b.y < 100; }),
              (ScreenBox{6, 254, 30, 40}));
    EXPECT_FALSE(FreeCorner(order, 30, 40, 400, 300, 6, blockedAt({364, 6})));
}

TEST(PlanLayout, NumbersFirstThenDescriptionsWhereThereIsRoom)
{
    // Point numbers 10 pixels wide, descriptions add 40; lines 12 high. Points
    // are 2.5 pixels half-wide: a label starts 7.5 pixels from its point.
    const LabelWidths widths{[](int32_t) { return 10.0; }, [](int32_t i) { return i == 9 ? 0.0 : 40.0; }};
    const struct {
        const char* name;
        std::vector<LabelSpot> spots;
        std::vector<PlacedLabel> placed;
    } cases[] = {
        {"alone: the long form on the right", {{0, 100, 100, 2.5}}, {{0, 107.5, 94, true}}},
        {"at the right edge: on the left", {{0, 190, 100, 2.5}}, {{0, 132.5, 94, true}}},
        {"a neighbour 30 pixels to the right: both numbers, one description",
         {{0, 100, 100, 2.5}, {1, 130, 100, 2.5}},
         {{0, 107.5, 94, false}, {1, 137.5, 94, true}}},
        {"a row 25 pixels apart: numbers only, but the last has room",
         {{0, 25, 100, 2.5}, {1, 50, 100, 2.5}, {2, 75, 100, 2.5}},
         {{0, 32.5, 94, false}, {1, 57.5, 94, false}, {2, 82.5, 94, true}}},
        {"nothing to add", {{9, 100, 100, 2.5}}, {{9, 107.5, 94, false}}},
        {"points stacked closer than a line: one right, one left",
         {{0, 100, 100, 2.5}, {1, 100, 104, 2.5}},
         {{0, 107.5, 94, true}, {1, 42.5, 98, true}}},
        {"a third stacked point finds no room",
         {{0, 100, 100, 2.5}, {1, 100, 104, 2.5}, {2, 100, 108, 2.5}},
         {{0, 107.5, 94, true}, {1, 42.5, 98, true}}},
    };
    for (const auto& c : cases) {
        Occupancy grid;
        grid.Reset(200, 200);
        EXPECT_EQ(PlaceLabels(grid, c.spots, 12, widths), c.placed) << c.name;
    }
}
