#pragma once
// Where things go on the plan's screen (pixels, x to the right, y down): the
// view that fits the points, the round steps of the coordinate grid and the
// scale bar, the corners of the scale bar and the north arrow, and which
// labels are drawn where without covering each other or a point.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tessaly {

struct ScreenBox {
    double x = 0, y = 0, w = 0, h = 0;
    double Right() const { return x + w; }
    double Bottom() const { return y + h; }
    bool Contains(double px, double py) const { return px >= x && px <= Right() && py >= y && py <= Bottom(); }
    bool operator==(const ScreenBox&) const = default;
};

// The round step (1, 2 or 5 times a power of ten) not below X.
double NiceStep(double x);
// Decimals that show multiples of STEP exactly.
int DecimalsFor(double step);

// The view that shows the plan rectangle E0..E1, N0..N1 whole inside a
// WIDTH by HEIGHT screen, leaving the margins free: its middle and its scale
// (pixels per unit, between MINSCALE and MAXSCALE). An extent below LEAST
// units (one point, points in a line) counts as LEAST.
struct Margins {
    double left = 0, top = 0, right = 0, bottom = 0;
};
struct PlanFit {
    double e = 0, n = 0, scale = 1;
};
PlanFit FitExtent(double e0, double n0, double e1, double n1, double width, double height, const Margins& margins,
                  double least, double minScale, double maxScale);

// The corners of the screen, in the order they are tried.
enum class Corner { TopRight, TopLeft, BottomLeft, BottomRight };
// A W by H box at CORNER of a SCREENW by SCREENH screen, INSET from its edges.
ScreenBox AtCorner(Corner corner, double w, double h, double screenW, double screenH, double inset);
// The first of PREFERRED corners whose box BLOCKED says is free, or nothing.
std::optional<ScreenBox> FreeCorner(std::span<const Corner> preferred, double w, double h, double screenW,
                                    double screenH, double inset, const std::function<bool(const ScreenBox&)>& blocked);

// The screen in cells of kCell pixels, each free or taken.
class Occupancy {
public:
    static constexpr int kCell = 4;
    void Reset(double width, double height);
    bool Taken(const ScreenBox& box) const;
    void Take(const ScreenBox& box);
    // Wholly off the screen.
    bool Outside(const ScreenBox& box) const;
    bool Inside(const ScreenBox& box) const;

private:
    template <typename F>
    bool Each(const ScreenBox& box, F f) const;
    double width_ = 0, height_ = 0;
    int w_ = 1, h_ = 1;
    std::vector<uint8_t> cells_;
};

// A point to label: where its marker is, and half the marker's size.
struct LabelSpot {
    int32_t point = 0;
    double x = 0, y = 0, half = 0;
};
// The widths of a point's label: the short part (the point number, or the
// description when there is no number), and what the long form adds (the
// description after the number; 0 when there is nothing to add). Asked for
// only when there may be room, as measuring text costs.
struct LabelWidths {
    std::function<double(int32_t)> shortPart;
    std::function<double(int32_t)> longAddition;
};
struct PlacedLabel {
    int32_t point = 0;
    double left = 0, top = 0;  // of the label's text box, LINEHEIGHT high
    bool full = false;         // the long form: number and description
    bool operator==(const PlacedLabel&) const = default;
};
// Labels beside their points, in the order of SPOTS (most wanted first),
// each to the right of its marker or else to its left, wholly on screen,
// covering no taken cell (points, other labels, whatever GRID holds already).
// Every point gets its short part first where it has room; then, in the same
// order, the long form where the room beyond the short part is free. The
// markers of SPOTS are taken first.
std::vector<PlacedLabel> PlaceLabels(Occupancy& grid, std::span<const LabelSpot> spots, double lineHeight,
                                     const LabelWidths& widths);

}  // namespace tessaly
