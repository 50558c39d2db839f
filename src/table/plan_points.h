#pragma once
// The points as the plan draws them: the rows whose northing and easting are
// both numbers, and the checks that pick out the points lying far from the
// rest (a swapped northing and easting, a slipped digit, a point in the wrong
// zone) and the elevations far from the others (9999 among elevations near
// 100).
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "table/point_table.h"

namespace tessaly {

// The number a coordinate cell holds: a finite number, or text that is one
// number and nothing else (blanks and tabs around it allowed, "." as the
// decimal point, an optional sign and exponent). Empty cells, other text,
// NaN and the infinities give nothing.
std::optional<double> CoordinateValue(const Cell& cell);

struct PlanPoint {
    double e = 0;     // easting
    double n = 0;     // northing
    int32_t row = 0;  // the table row it comes from
    // The elevation, NaN when the cell holds no number.
    double z = std::numeric_limits<double>::quiet_NaN();
};

// A row with something in the northing or easting cell that is not drawn, and
// which of the two is not a number.
struct UndrawnRow {
    int32_t row = 0;
    bool northing = false;
    bool easting = false;
    bool operator==(const UndrawnRow&) const = default;
};

struct PlanPoints {
    std::vector<PlanPoint> points;  // in row order
    // Rows where both cells are empty (or blank text) are not points and are
    // not listed.
    std::vector<UndrawnRow> undrawn;  // in row order
    int32_t notNumeric = 0;           // undrawn.size()
};

// Every shown row of TABLE (0 to RowCapacity - 1) with numeric northing and
// easting, into OUT, reusing its memory.
void CollectPlanPoints(const PointTable& table, PlanPoints& out);

// The far-point rule. The middle of the points is their median easting and
// median northing; the spread is the median of the points' distances from
// that middle (the median absolute deviation, taken in the plane). A point is
// far from the others when its distance from the middle exceeds
// kFarFactor times the spread, the spread taken as at least kSpreadFloor
// coordinate units so that a tight cluster flags nothing. Evenly covered
// sites stay well inside: the corners of a square lie 1.9 spreads from the
// middle, the ends of a straight line 2. Medians ignore how far the wild
// points lie, so one wild point cannot hide another as long as fewer than
// half the points are wild; fewer than three points flag nothing.
inline constexpr double kFarFactor = 4.0;
inline constexpr double kSpreadFloor = 1.0;

// Indexes into POINTS of the far points, ascending.
std::vector<size_t> FarPoints(std::span<const PlanPoint> points);

// The same rule for elevations, along one axis: the middle is the median
// elevation, the spread the median absolute deviation from it, at least
// kSpreadFloor. Terrain spreads its elevations less evenly than a site spreads
// its points (a flat site with a bank, a mound), so the limit is wider:
// kElevationFactor spreads. Points without an elevation take no part; fewer
// than three with one flag nothing.
inline constexpr double kElevationFactor = 8.0;

// Indexes into POINTS of the points whose elevation is far from the others,
// ascending.
std::vector<size_t> ElevationOutliers(std::span<const PlanPoint> points);

}  // namespace tessaly
