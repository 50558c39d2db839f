#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "table/plan_points.h"

using namespace tessaly;

TEST(PlanPoints, CoordinateValueTakesOneNumberAndNothingElse)
{
    const struct {
        Cell cell;
        std::optional<double> value;
    } cases[] = {
        {Cell{}, std::nullopt},
        {Cell{7.25}, 7.25},
        {Cell{std::numeric_limits<double>::quiet_NaN()}, std::nullopt},
        {Cell{std::numeric_limits<double>::infinity()}, std::nullopt},
        {Cell{"5187.412"}, 5187.412},
        {Cell{" \t-3 "}, -3.0},
        {Cell{"+4e2"}, 400.0},
        {Cell{".5"}, 0.5},
        {Cell{""}, std::nullopt},
        {Cell{"  "}, std::nullopt},
        {Cell{"-"}, std::nullopt},
        {Cell{"1,5"}, std::nullopt},
        {Cell{"12.5m"}, std::nullopt},
        {Cell{"1 000"}, std::nullopt},
        {Cell{"N5000"}, std::nullopt},
        {Cell{"inf"}, std::nullopt},
        {Cell{"nan"}, std::nullopt},
        {Cell{"1e999"}, std::nullopt},
        {Cell{"0x10"}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(CoordinateValue(c.cell), c.value) << CellText(c.cell);
}

TEST(PlanPoints, CollectsNumericRowsAndCountsTheOthers)
{
    PointTable t;
    t.AddPoint({"1", "5000", "1000", "101.5", "A"});
    t.AddPoint({"2", "abc", "1000", "", ""});  // counted: not a number
    t.AddPoint({"3", "", "", "", "no coordinates"});  // not a point at all
    t.AddPoint({"4", "5010", "", "", ""});  // counted: easting missing
    t.AddPoint({"5", 5020.0, 1020.0, "x", ""});
    t.Set(ColNorthing, 9999, "1");  // a row the user typed below the loaded points
    t.Set(ColEasting, 9999, "2");
    PlanPoints p;
    CollectPlanPoints(t, p);
    ASSERT_EQ(p.points.size(), 3u);
    EXPECT_EQ(p.points[0].row, 0);
    EXPECT_EQ(p.points[0].e, 1000);
    EXPECT_EQ(p.points[0].n, 5000);
    EXPECT_EQ(p.points[1].row, 4);
    EXPECT_EQ(p.points[2].row, 9999);
    EXPECT_EQ(p.notNumeric, 2);
    EXPECT_EQ(p.undrawn, (std::vector<UndrawnRow>{{1, true, false}, {3, false, true}}));
    EXPECT_EQ(p.points[0].z, 101.5);
    EXPECT_TRUE(std::isnan(p.points[1].z)) << "an elevation that is not a number is none";
}

namespace {
// A 7 by 7 grid of points 30 units apart at N 5000, E 1000 (a 180-unit site).
std::vector<PlanPoint> Site()
{
    std::vector<PlanPoint> s;
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j)
            s.push_back({1000 + 30.0 * j, 5000 + 30.0 * i, static_cast<int32_t>(s.size())});
    return s;
}

std::vector<PlanPoint> With(std::vector<PlanPoint> points, std::initializer_list<std::pair<size_t, PlanPoint>> changes)
{
    for (const auto& [i, p] : changes) {
        if (i < points.size()) points[i] = p;
        else points.push_back(p);
    }
    return points;
}
}  // namespace

TEST(PlanPoints, FarPointsCaseTable)
{
    std::vector<PlanPoint> line, cluster, twoSites;
    for (int i = 0; i < 100; ++i) line.push_back({1000 + 25.0 * i, 5000 + 10.0 * i, i});
    for (int i = 0; i < 20; ++i) cluster.push_back({1000 + 0.01 * (i % 5), 5000 + 0.01 * (i / 5), i});
    for (int i = 0; i < 40; ++i) twoSites.push_back({(i < 20 ? 1000.0 : 9000.0) + i % 5, 5000.0 + i % 7, i});
    const PlanPoint origin{0, 0, 0};

    const struct {
        const char* name;
        std::vector<PlanPoint> points;
        std::vector<size_t> far;
    } cases[] = {
        {"no points", {}, {}},
        {"one point", {origin}, {}},
        {"two points far apart", {origin, {1e6, 1e6, 1}}, {}},
        {"all identical", std::vector<PlanPoint>(6, {1000, 5000, 0}), {}},
        {"a tight cluster", cluster, {}},
        {"a tight cluster and one point a unit off", With(cluster, {{20, {1001, 5000, 20}}}), {}},
        {"a site", Site(), {}},
        {"a straight line of points", line, {}},
        {"two sites far apart, as many points each", twoSites, {}},
        {"swapped northing and easting", With(Site(), {{17, {5060, 1090, 17}}}), {17}},
        {"slipped digit: 5060 typed 5600", With(Site(), {{20, {1180, 5600, 20}}}), {20}},
        {"slipped digit in the easting: 1060 typed 1600", With(Site(), {{2, {1600, 5000, 2}}}), {2}},
        {"a point in the wrong zone does not hide a swapped one",
         With(Site(), {{3, {1090, 9e9, 3}}, {30, {5120, 1060, 30}}}),
         {3, 30}},
        {"three points far apart in three directions",
         With(Site(), {{0, {-4000, 5000, 0}}, {10, {1090, 12000, 10}}, {48, {8000, 5180, 48}}}),
         {0, 10, 48}},
        {"three points, one far", {{0, 0, 0}, {1, 0, 1}, {100, 0, 2}}, {2}},
    };
    for (const auto& c : cases) EXPECT_EQ(FarPoints(c.points), c.far) << c.name;
}

TEST(PlanPoints, ElevationOutliersCaseTable)
{
    // The site's elevations: a slope from 100 to 106.
    auto site = [](std::initializer_list<std::pair<size_t, double>> changes) {
        std::vector<PlanPoint> s = Site();
        for (PlanPoint& p : s) p.z = 100 + (p.n - 5000) / 30;
        for (const auto& [i, z] : changes) s[i].z = z;
        return s;
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<PlanPoint> flatWithBank = site({});
    for (PlanPoint& p : flatWithBank) p.z = p.e >= 1150 ? 103.5 : 100.02;
    const struct {
        const char* name;
        std::vector<PlanPoint> points;
        std::vector<size_t> flagged;
    } cases[] = {
        {"a slope", site({}), {}},
        {"9999 among elevations near 100", site({{12, 9999}}), {12}},
        {"a slipped digit and a zero", site({{3, 1012.5}, {40, 0}}), {3, 40}},
        {"points without an elevation take no part", site({{0, none}, {1, none}, {5, 9999}}), {5}},
        {"a flat site with a bank along one side", flatWithBank, {}},
        {"two elevations only", {{0, 0, 0, 100}, {1, 1, 1, 9999}}, {}},
        {"half the site without elevations", [&] {
             std::vector<PlanPoint> s = site({{48, -500}});
             for (size_t i = 0; i < 24; ++i) s[i].z = none;
             return s;
         }(), {48}},
    };
    for (const auto& c : cases) EXPECT_EQ(ElevationOutliers(c.points), c.flagged) << c.name;
}
