#include "table/plan_points.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
// Nothing in it: empty, or text of blanks and tabs only.
bool Blank(const Cell& c)
{
    if (IsEmpty(c)) return true;
    const std::string* s = std::get_if<std::string>(&c);
    return s && TrimBlanksAndTabs(*s).empty();
}

// The median of V, which it reorders; V is not empty.
double Median(std::vector<double>& v)
{
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 != 0) return upper;
    const double lower = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid));
    return lower / 2 + upper / 2;
}
}  // namespace

std::optional<double> CoordinateValue(const Cell& cell)
{
    if (const double* d = std::get_if<double>(&cell)) {
        if (std::isfinite(*d)) return *d;
        return std::nullopt;
    }
    const std::string* s = std::get_if<std::string>(&cell);
    if (!s) return std::nullopt;
    return DecimalValue(TrimBlanksAndTabs(*s));
}

void CollectPlanPoints(const PointTable& table, PlanPoints& out)
{
    out.points.clear();
    out.undrawn.clear();
    const int32_t rows = table.RowCapacity();
    for (int32_t r = 0; r < rows; ++r) {
        const Cell& n = table.Get(ColNorthing, r);
        const Cell& e = table.Get(ColEasting, r);
        if (Blank(n) && Blank(e)) continue;
        const std::optional<double> nv = CoordinateValue(n);
        const std::optional<double> ev = CoordinateValue(e);
        if (nv && ev) {
            const std::optional<double> z = CoordinateValue(table.Get(ColElevation, r));
            out.points.push_back({*ev, *nv, r, z.value_or(std::numeric_limits<double>::quiet_NaN())});
        } else {
            out.undrawn.push_back({r, !nv, !ev});
        }
    }
    out.notNumeric = static_cast<int32_t>(out.undrawn.size());
}

std::vector<size_t> FarPoints(std::span<const PlanPoint> points)
{
    std::vector<size_t> far;
    if (points.size() < 3) return far;
    std::vector<double> v(points.size());
    std::transform(points.begin(), points.end(), v.begin(), [](const PlanPoint& p) { return p.e; });
    const double midE = Median(v);
    std::transform(points.begin(), points.end(), v.begin(), [](const PlanPoint& p) { return p.n; });
    const double midN = Median(v);
    std::vector<double> dist(points.size());
    std::transform(points.begin(), points.end(), dist.begin(),
                   [&](const PlanPoint& p) { return std::hypot(p.e - midE, p.n - midN); });
    v = dist;
    const double spread = std::max(Median(v), kSpreadFloor);
    const double limit = kFarFactor * spread;
    for (size_t i = 0; i < dist.size(); ++i)
        if (dist[i] > limit) far.push_back(i);
    return far;
}

std::vector<size_t> ElevationOutliers(std::span<const PlanPoint> points)
{
    std::vector<size_t> with;
    for (size_t i = 0; i < points.size(); ++i)
        if (!std::isnan(points[i].z)) with.push_back(i);
    std::vector<size_t> out;
    if (with.size() < 3) return out;
    std::vector<double> v(with.size());
    std::transform(with.begin(), with.end(), v.begin(), [&](size_t i) { return points[i].z; });
    const double mid = Median(v);
    std::transform(with.begin(), with.end(), v.begin(), [&](size_t i) { return std::abs(points[i].z - mid); });
    const double limit = kElevationFactor * std::max(Median(v), kSpreadFloor);
    for (size_t i : with)
        if (std::abs(points[i].z - mid) > limit) out.push_back(i);
    return out;
}

}  // namespace tessaly
