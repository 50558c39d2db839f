#include "table/plan_index.h"

#include <algorithm>
#include <cmath>

namespace tessaly {

namespace {
constexpr int kMaxCells = 1024;  // buckets along either axis
constexpr double kPointsPerBucket = 8;
}  // namespace

void PlanIndex::Build(std::span<const PlanPoint> points, std::span<const uint8_t> outlying)
{
    points_ = points;
    const size_t n = points.size();
    double e0 = 0, e1 = 0, n0 = 0, n1 = 0;
    bool any = false;
    for (int pass = 0; pass < 2 && !any; ++pass)  // all points when every one is outlying
        for (size_t i = 0; i < n; ++i) {
            if (pass == 0 && i < outlying.size() && outlying[i]) continue;
            const PlanPoint& p = points[i];
            if (!any) {
                e0 = e1 = p.e;
                n0 = n1 = p.n;
                any = true;
            }
            e0 = std::min(e0, p.e), e1 = std::max(e1, p.e);
            n0 = std::min(n0, p.n), n1 = std::max(n1, p.n);
        }
    const double ext = std::max(e1 - e0, 0.0), nxt = std::max(n1 - n0, 0.0);
    const double target = std::max(1.0, static_cast<double>(n) / kPointsPerBucket);
    if (ext > 0 && nxt > 0) {
        cellsX_ = std::clamp(static_cast<int>(std::sqrt(target * ext / nxt)), 1, kMaxCells);
        cellsY_ = std::clamp(static_cast<int>(target / cellsX_), 1, kMaxCells);
    } else {
        cellsX_ = ext > 0 ? std::clamp(static_cast<int>(target), 1, kMaxCells) : 1;
        cellsY_ = nxt > 0 ? std::clamp(static_cast<int>(target), 1, kMaxCells) : 1;
    }
    e0_ = e0;
    n0_ = n0;
    cellW_ = ext > 0 ? ext / cellsX_ : 1;
    cellH_ = nxt > 0 ? nxt / cellsY_ : 1;

    // Counting sort of the points by bucket.
    const size_t cells = static_cast<size_t>(cellsX_) * static_cast<size_t>(cellsY_);
    cellStart_.assign(cells + 1, 0);
    cellPoints_.resize(n);
    for (const PlanPoint& p : points) ++cellStart_[BucketOf(p.e, p.n) + 1];
    for (size_t c = 0; c < cells; ++c) cellStart_[c + 1] += cellStart_[c];
    std::vector<int32_t> next(cellStart_.begin(), cellStart_.end() - 1);
    for (size_t i = 0; i < n; ++i)
        cellPoints_[static_cast<size_t>(next[BucketOf(points[i].e, points[i].n)]++)] = static_cast<int32_t>(i);
}

size_t PlanIndex::BucketOf(double e, double n) const
{
    const double cx = std::clamp(std::floor((e - e0_) / cellW_), 0.0, cellsX_ - 1.0);
    const double cy = std::clamp(std::floor((n - n0_) / cellH_), 0.0, cellsY_ - 1.0);
    return static_cast<size_t>(cy) * static_cast<size_t>(cellsX_) + static_cast<size_t>(cx);
}

// Calls F with each point index inside the rectangle until F returns true.
template <typename F>
bool PlanIndex::Visit(double e0, double n0, double e1, double n1, F f) const
{
    if (points_.empty() || !(e0 <= e1) || !(n0 <= n1)) return false;
    const size_t first = BucketOf(e0, n0), last = BucketOf(e1, n1);
    const size_t x0 = first % static_cast<size_t>(cellsX_), x1 = last % static_cast<size_t>(cellsX_);
    for (size_t row = first - x0; row <= last - x1; row += static_cast<size_t>(cellsX_))
        for (size_t c = row + x0; c <= row + x1; ++c)
            for (int32_t k = cellStart_[c]; k < cellStart_[c + 1]; ++k) {
                const int32_t i = cellPoints_[static_cast<size_t>(k)];
                const PlanPoint& p = points_[static_cast<size_t>(i)];
                if (p.e >= e0 && p.e <= e1 && p.n >= n0 && p.n <= n1 && f(i)) return true;
            }
    return false;
}

void PlanIndex::PointsIn(double e0, double n0, double e1, double n1, std::vector<int32_t>& out) const
{
    Visit(e0, n0, e1, n1, [&out](int32_t i) {
        out.push_back(i);
        return false;
    });
}

bool PlanIndex::AnyIn(double e0, double n0, double e1, double n1) const
{
    return Visit(e0, n0, e1, n1, [](int32_t) { return true; });
}

}  // namespace tessaly
