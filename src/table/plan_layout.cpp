#include "table/plan_layout.h"

#include <algorithm>
#include <cmath>

namespace tessaly {

double NiceStep(double x)
{
    if (!(x > 0) || !std::isfinite(x)) return 1;
    const double p = std::pow(10.0, std::floor(std::log10(x)));
    const double m = x / p;
    return (m <= 1 + 1e-9 ? 1 : m <= 2 + 1e-9 ? 2 : m <= 5 + 1e-9 ? 5 : 10) * p;
}

int DecimalsFor(double step) { return std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 12); }

PlanFit FitExtent(double e0, double n0, double e1, double n1, double width, double height, const Margins& m,
                  double least, double minScale, double maxScale)
{
    const double w = std::max(1.0, width - m.left - m.right), h = std::max(1.0, height - m.top - m.bottom);
    const double scale =
        std::clamp(std::min(w / std::max(e1 - e0, least), h / std::max(n1 - n0, least)), minScale, maxScale);
    // The middle of the free area sits on the middle of the points; the
    // widget's middle is off it by half the difference of the margins.
    const double dx = (m.left - m.right) / 2, dy = (m.top - m.bottom) / 2;
    return {e0 / 2 + e1 / 2 - dx / scale, n0 / 2 + n1 / 2 + dy / scale, scale};
}

ScreenBox AtCorner(Corner corner, double w, double h, double screenW, double screenH, double inset)
{
    const bool right = corner == Corner::TopRight || corner == Corner::BottomRight;
    const bool bottom = corner == Corner::BottomLeft || corner == Corner::BottomRight;
    return {right ? screenW - inset - w : inset, bottom ? screenH - inset - h : inset, w, h};
}

std::optional<ScreenBox> FreeCorner(std::span<const Corner> preferred, double w, double h, double screenW,
                                    double screenH, double inset, const std::function<bool(const ScreenBox&)>& blocked)
{
    for (Corner c : preferred) {
        const ScreenBox box = AtCorner(c, w, h, screenW, screenH, inset);
        if (!blocked(box)) return box;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- occupancy

void Occupancy::Reset(double width, double height)
{
    width_ = width;
    height_ = height;
    w_ = std::max(1, static_cast<int>(width) / kCell + 1);
    h_ = std::max(1, static_cast<int>(height) / kCell + 1);
    cells_.assign(static_cast<size_t>(w_) * static_cast<size_t>(h_), 0);
}

// Calls F with the index of each cell the box covers until F returns true.
template <typename F>
bool Occupancy::Each(const ScreenBox& r, F f) const
{
    if (!(r.w >= 0) || !(r.h >= 0)) return false;
    const int x0 = static_cast<int>(std::clamp(std::floor(r.x / kCell), 0.0, w_ - 1.0));
    const int x1 = static_cast<int>(std::clamp(std::floor(r.Right() / kCell), -1.0, w_ - 1.0));
    const int y0 = static_cast<int>(std::clamp(std::floor(r.y / kCell), 0.0, h_ - 1.0));
    const int y1 = static_cast<int>(std::clamp(std::floor(r.Bottom() / kCell), -1.0, h_ - 1.0));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (f(static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x))) return true;
    return false;
}

bool Occupancy::Taken(const ScreenBox& box) const
{
    return Each(box, [this](size_t i) { return cells_[i] != 0; });
}

void Occupancy::Take(const ScreenBox& box)
{
    Each(box, [this](size_t i) {
        cells_[i] = 1;
        return false;
    });
}

bool Occupancy::Outside(const ScreenBox& r) const
{
    return r.Right() < 0 || r.Bottom() < 0 || r.x >= width_ || r.y >= height_;
}

bool Occupancy::Inside(const ScreenBox& r) const
{
    return r.x >= 0 && r.y >= 0 && r.Right() <= width_ && r.Bottom() <= height_;
}

// ---------------------------------------------------------------- labels

namespace {
constexpr double kCell = Occupancy::kCell;

// The short part beside SPOT on the right or the left, or nothing.
std::optional<ScreenBox> ShortBox(Occupancy& grid, const LabelSpot& s, double lineH, const LabelWidths& widths)
{
    // A whole cell clear of its own marker, then the text.
    const double gap = s.half + kCell + 1;
    const double top = s.y - lineH / 2;
    std::optional<double> width;
    for (const bool right : {true, false}) {
        const ScreenBox near{right ? s.x + gap : s.x - gap - kCell, top, kCell, lineH};
        if (grid.Outside(near) || grid.Taken(near)) continue;
        if (!width) width = widths.shortPart(s.point);
        if (*width <= 0) return std::nullopt;
        const ScreenBox box{right ? s.x + gap : s.x - gap - *width, top, *width, lineH};
        if (grid.Inside(box) && !grid.Taken(box)) return box;
    }
    return std::nullopt;
}

// The cells the long form adds to the short part's BOX, beyond the cell the
// two share (which the short part holds already).
ScreenBox Addition(const ScreenBox& box, bool right, double add)
{
    if (right) {
        const double from = (std::floor(box.Right() / kCell) + 1) * kCell;
        return {from, box.y, box.Right() + add - from, box.h};
    }
    const double to = std::floor(box.x / kCell) * kCell - 1e-6;
    return {box.x - add, box.y, to - (box.x - add), box.h};
}
}  // namespace

std::vector<PlacedLabel> PlaceLabels(Occupancy& grid, std::span<const LabelSpot> spots, double lineHeight,
                                     const LabelWidths& widths)
{
    for (const LabelSpot& s : spots) grid.Take({s.x - s.half, s.y - s.half, 2 * s.half, 2 * s.half});
    std::vector<PlacedLabel> placed;
    std::vector<bool> onRight;
    for (const LabelSpot& s : spots)
        if (const std::optional<ScreenBox> box = ShortBox(grid, s, lineHeight, widths)) {
            grid.Take(*box);
            placed.push_back({s.point, box->x, box->y, false});
            onRight.push_back(box->x > s.x);
        }
    for (size_t k = 0; k < placed.size(); ++k) {
        PlacedLabel& l = placed[k];
        const double add = widths.longAddition(l.point);
        if (add <= 0) continue;
        const ScreenBox shortBox{l.left, l.top, widths.shortPart(l.point), lineHeight};
        const ScreenBox more = Addition(shortBox, onRight[k], add);
        const ScreenBox whole{onRight[k] ? l.left : l.left - add, l.top, shortBox.w + add, lineHeight};
        if (!grid.Inside(whole) || grid.Taken(more)) continue;
        grid.Take(more);
        l.left = whole.x;
        l.full = true;
    }
    return placed;
}

}  // namespace tessaly
