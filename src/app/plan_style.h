#pragma once
// The measures the plan's drawing and its view share.
#include <QFontMetricsF>
#include <QString>

namespace tessaly::plan_style {

inline constexpr double kPointHalf = 2.5;     // normal marker: a 5-pixel square
inline constexpr double kSelectedHalf = 4.5;  // selected: a 9-pixel square
inline constexpr double kFarRadius = 7;       // far: a ring around the point, ticks to 11 pixels
inline constexpr double kDiamondHalf = 8;     // elevation far: a diamond around the point
inline constexpr double kMarkerReach = 12;    // pixels the largest marker reaches from its point
inline constexpr double kInset = 6;           // of the scale bar and the arrow from the edges
inline constexpr double kArrowW = 34, kArrowH = 46;

// The scale bar's height, which the fit keeps free below the points.
inline double BarHeight(const QFontMetricsF& fm) { return fm.height() + 16; }

// VALUE with DECIMALS decimals, "-0" written "0".
inline QString Coordinate(double value, int decimals)
{
    QString s = QString::number(value, 'f', decimals);
    if (s.startsWith(QLatin1Char('-')) && s.count(QLatin1Char('0')) + s.count(QLatin1Char('.')) == s.size() - 1)
        s.remove(0, 1);
    return s;
}

}  // namespace tessaly::plan_style
