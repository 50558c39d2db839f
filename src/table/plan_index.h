#pragma once
// The plan's spatial index: a uniform grid of buckets over the points, for the
// question the plan asks on every paint, click and box: which points lie in
// this rectangle. Queries cost the buckets they touch, not the whole table.
#include <cstdint>
#include <span>
#include <vector>

#include "table/plan_points.h"

namespace tessaly {

class PlanIndex {
public:
    // Indexes POINTS, which must stay in place until the next Build. The
    // buckets span the points not marked in OUTLYING (per point, or empty):
    // far points would stretch the buckets until every other point shared
    // one; they sit in the edge buckets instead.
    void Build(std::span<const PlanPoint> points, std::span<const uint8_t> outlying);

    // Appends the indexes of the points inside the rectangle, edges included,
    // in no particular order. An empty or NaN rectangle gives nothing.
    void PointsIn(double e0, double n0, double e1, double n1, std::vector<int32_t>& out) const;
    bool AnyIn(double e0, double n0, double e1, double n1) const;

private:
    size_t BucketOf(double e, double n) const;
    template <typename F>
    bool Visit(double e0, double n0, double e1, double n1, F f) const;

    std::span<const PlanPoint> points_;
    int cellsX_ = 1, cellsY_ = 1;
    double e0_ = 0, n0_ = 0, cellW_ = 1, cellH_ = 1;
    // The points of bucket b are cellPoints_[cellStart_[b] .. cellStart_[b + 1] - 1].
    std::vector<int32_t> cellStart_{0, 0};
    std::vector<int32_t> cellPoints_;
};

}  // namespace tessaly
