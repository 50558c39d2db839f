// What the plan shows: Render and its steps, the labels, the tooltips, and
// the export of what is drawn.
#include <QFile>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QToolTip>
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "app/plan_style.h"
#include "app/plan_view.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"
#include "qt/ansi_text.h"

namespace tessaly {

using namespace plan_style;

namespace {
const QColor kPaper(Qt::white);
const QColor kGridLine(222, 222, 222);
const QColor kGridText(128, 128, 128);
const QColor kPoint(31, 78, 154);
const QColor kSelected(255, 140, 0);
const QColor kFar(208, 0, 0);
const QColor kElevationFar(128, 0, 160);
const QColor kLabel(32, 32, 32);

QRectF ToRect(const ScreenBox& b) { return {b.x, b.y, b.w, b.h}; }

// A description of a megabyte would cost its measuring on every paint and
// fit nowhere.
QString Shortened(QString label)
{
    constexpr qsizetype kLongest = 200;
    if (label.size() <= kLongest) return label;
    qsizetype keep = kLongest - 1;
    if (label.at(keep - 1).isHighSurrogate()) --keep;
    label.truncate(keep);
    return label + QChar(0x2026);
}
}  // namespace

void PlanView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Render(painter);
}

void PlanView::Render(QPainter& p)
{
    Rebuild();
    ReadSelection();
    p.fillRect(rect(), kPaper);
    p.setFont(font());
    const QFontMetricsF fm(font());
    occupied_.Reset(width(), height());
    CollectVisible();
    PlaceFurniture(fm);
    DrawGrid(p, fm);
    DrawPoints(p);
    DrawLabels(p, fm);
    DrawScaleBar(p, fm);
    DrawNorthArrow(p, fm);
}

// The points in view, markers included, in row order.
void PlanView::CollectVisible()
{
    visible_.clear();
    const double m = kMarkerReach;
    index_.PointsIn(PlanE(-m), PlanN(height() + m), PlanE(width() + m), PlanN(-m), visible_);
    if (visible_.size() == points_.points.size()) std::iota(visible_.begin(), visible_.end(), 0);
    else std::sort(visible_.begin(), visible_.end());
}

// The north arrow goes top right and the scale bar bottom left, or to the
// first other corner where they cover no point (nor each other); they are
// left out when every corner has a point.
void PlanView::PlaceFurniture(const QFontMetricsF& fm)
{
    barUnits_ = NiceStep(80 / scale_);
    const QString barText = Coordinate(barUnits_, DecimalsFor(barUnits_));
    const double barW = std::max(barUnits_ * scale_, fm.horizontalAdvance(barText)) + 14;
    const double W = width(), H = height();
    auto coversPoint = [this](const ScreenBox& b) {
        const double m = kMarkerReach;
        return index_.AnyIn(PlanE(b.x - m), PlanN(b.Bottom() + m), PlanE(b.Right() + m), PlanN(b.y - m));
    };
    static constexpr std::array arrowCorners{Corner::TopRight, Corner::TopLeft, Corner::BottomRight, Corner::BottomLeft};
    static constexpr std::array barCorners{Corner::BottomLeft, Corner::BottomRight, Corner::TopLeft, Corner::TopRight};
    const std::optional<ScreenBox> arrow = FreeCorner(arrowCorners, kArrowW, kArrowH, W, H, kInset, coversPoint);
    arrowBox_ = arrow ? ToRect(*arrow) : QRectF();
    const std::optional<ScreenBox> bar =
        FreeCorner(barCorners, barW, BarHeight(fm), W, H, kInset, [&](const ScreenBox& b) {
            return (arrow && ToRect(b).intersects(arrowBox_)) || coversPoint(b);
        });
    barBox_ = bar ? ToRect(*bar) : QRectF();
    // The grid's values and the labels keep off them.
    if (arrow) occupied_.Take(*arrow);
    if (bar) occupied_.Take(*bar);
}

// Lines at least 90 pixels apart at round values, eastings along the top,
// northings along the left, where the values cover nothing else.
void PlanView::DrawGrid(QPainter& p, const QFontMetricsF& fm)
{
    const double W = width(), H = height();
    const double step = NiceStep(90 / scale_);
    const int decimals = DecimalsFor(step);
    const double firstE = std::ceil(PlanE(0) / step), firstN = std::ceil(PlanN(H) / step);
    const int linesE = static_cast<int>(std::min(W / 90 + 2, std::floor(PlanE(W) / step) - firstE + 1));
    const int linesN = static_cast<int>(std::min(H / 90 + 2, std::floor(PlanN(0) / step) - firstN + 1));
    p.setPen(QPen(kGridLine, 0));
    for (int k = 0; k < linesE; ++k) {
        const double x = ToScreen((firstE + k) * step, 0).x();
        p.drawLine(QPointF(x, 0), QPointF(x, H));
    }
    for (int k = 0; k < linesN; ++k) {
        const double y = ToScreen(0, (firstN + k) * step).y();
        p.drawLine(QPointF(0, y), QPointF(W, y));
    }
    auto value = [&](const QPointF& baseline, double v) {
        const QString text = Coordinate(v, decimals);
        const ScreenBox box{baseline.x(), baseline.y() - fm.ascent(), fm.horizontalAdvance(text), fm.height()};
        if (occupied_.Taken(box)) return;
        occupied_.Take(box);
        p.drawText(baseline, text);
    };
    p.setPen(kGridText);
    for (int k = 0; k < linesE; ++k)
        value(QPointF(ToScreen((firstE + k) * step, 0).x() + 3, fm.ascent() + 2), (firstE + k) * step);
    for (int k = 0; k < linesN; ++k)
        value(QPointF(3, ToScreen(0, (firstN + k) * step).y() - 3), (firstN + k) * step);
}

void PlanView::DrawPoints(QPainter& p)
{
    const auto& pts = points_.points;
    auto square = [&](size_t i, double half) {
        const QPointF c = ToScreen(pts[i]);
        return QRectF(c.x() - half, c.y() - half, 2 * half, 2 * half);
    };
    std::vector<QRectF> plain;
    plain.reserve(visible_.size());
    for (int32_t v : visible_)
        if (const auto i = static_cast<size_t>(v); !selected_[i] && !isFar_[i]) plain.push_back(square(i, kPointHalf));
    p.setPen(Qt::NoPen);
    p.setBrush(kPoint);
    p.drawRects(plain.data(), static_cast<int>(plain.size()));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(kSelected);
    for (int32_t v : visible_)
        if (selected_[static_cast<size_t>(v)]) p.drawRect(square(static_cast<size_t>(v), kSelectedHalf));
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int32_t v : visible_) {
        const auto i = static_cast<size_t>(v);
        const QPointF c = ToScreen(pts[i]);
        if (isFar_[i]) {
            if (!selected_[i]) p.fillRect(square(i, kPointHalf), kFar);
            p.setPen(QPen(kFar, 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, kFarRadius, kFarRadius);
            for (const QPointF d : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)})
                p.drawLine(c + d * kFarRadius, c + d * (kFarRadius + 4));
        }
        if (isElevationFar_[i]) {
            p.setPen(QPen(kElevationFar, 2));
            p.setBrush(Qt::NoBrush);
            const double h = kDiamondHalf;
            p.drawPolygon(QPolygonF({c + QPointF(0, -h), c + QPointF(h, 0), c + QPointF(0, h), c + QPointF(-h, 0)}));
        }
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

double PlanView::MarkerHalf(size_t i) const
{
    return isFar_[i] ? kFarRadius : isElevationFar_[i] ? kDiamondHalf : selected_[i] ? kSelectedHalf : kPointHalf;
}

PlanView::Label& PlanView::LabelOf(int32_t i)
{
    Label& l = labels_[static_cast<size_t>(i)];
    if (!l.made) {
        l.made = true;
        const int32_t row = points_.points[static_cast<size_t>(i)].row;
        const QString number = TextAt(row, ColPoint), description = TextAt(row, ColDescription);
        l.brief = Shortened(number.isEmpty() ? description : number);
        if (!number.isEmpty() && !description.isEmpty()) l.full = Shortened(number + QStringLiteral("  ") + description);
    }
    return l;
}

float PlanView::Measure(const QString& text, float& width)
{
    if (width < 0) width = static_cast<float>(QFontMetricsF(font()).horizontalAdvance(text));
    return width;
}

// Far points first, then those with a far elevation, the selected ones, and
// the rest in row order: numbers first, descriptions where there is room.
void PlanView::DrawLabels(QPainter& p, const QFontMetricsF& fm)
{
    if (visible_.empty()) return;
    std::vector<LabelSpot> spots;
    spots.reserve(visible_.size());
    for (int pass = 0; pass < 4; ++pass)
        for (int32_t v : visible_) {
            const auto i = static_cast<size_t>(v);
            const int kind = isFar_[i] ? 0 : isElevationFar_[i] ? 1 : selected_[i] ? 2 : 3;
            if (kind != pass) continue;
            const QPointF c = ToScreen(points_.points[i]);
            spots.push_back({v, c.x(), c.y(), MarkerHalf(i)});
        }
    const LabelWidths widths{
        [this](int32_t i) {
            Label& l = LabelOf(i);
            return static_cast<double>(Measure(l.brief, l.briefWidth));
        },
        [this](int32_t i) {
            Label& l = LabelOf(i);
            return l.full.isEmpty() ? 0.0 : Measure(l.full, l.fullWidth) - Measure(l.brief, l.briefWidth);
        }};
    for (const PlacedLabel& placed : PlaceLabels(occupied_, spots, fm.height(), widths)) {
        const auto i = static_cast<size_t>(placed.point);
        p.setPen(isFar_[i] ? kFar : isElevationFar_[i] ? kElevationFar : kLabel);
        const Label& l = labels_[i];
        p.drawText(QPointF(placed.left, placed.top + fm.ascent()), placed.full ? l.full : l.brief);
    }
}

void PlanView::DrawScaleBar(QPainter& p, const QFontMetricsF& fm)
{
    if (barBox_.isEmpty()) return;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRect(barBox_);
    const double barPx = barUnits_ * scale_;
    const QString barText = Coordinate(barUnits_, DecimalsFor(barUnits_));
    const double bx = barBox_.left() + 7, by = barBox_.bottom() - 7;
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(bx, by), QPointF(bx + barPx, by));
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(bx, by - 5), QPointF(bx, by + 2));
    p.drawLine(QPointF(bx + barPx, by - 5), QPointF(bx + barPx, by + 2));
    p.drawText(QPointF(bx, by - 6 - fm.descent()), QStringLiteral("0"));
    p.drawText(QPointF(bx + barPx - fm.horizontalAdvance(barText), by - 6 - fm.descent()), barText);
}

void PlanView::DrawNorthArrow(QPainter& p, const QFontMetricsF& fm)
{
    if (arrowBox_.isEmpty()) return;
    const double ax = arrowBox_.center().x();
    const double at = arrowBox_.top() + fm.height() + 2;
    const QString north = tr("N", "north");
    p.setPen(Qt::black);
    p.drawText(QPointF(ax - fm.horizontalAdvance(north) / 2, arrowBox_.top() + fm.ascent()), north);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath arrow;
    arrow.moveTo(ax, at);
    arrow.lineTo(ax + 8, at + 26);
    arrow.lineTo(ax, at + 20);
    arrow.lineTo(ax - 8, at + 26);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawPath(arrow);
    p.setRenderHint(QPainter::Antialiasing, false);
}

bool PlanView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) QToolTip::hideText();
    else QToolTip::showText(help->globalPos(), text, this);
    return true;
}

// "12  CP2 MAG NAIL", then "N 5187.412  E 1242.886  Z 100.914".
QString PlanView::ToolTipAt(QPointF pos)
{
    const std::optional<int32_t> hit = PointAt(pos);
    if (!hit) return {};
    Label& l = LabelOf(*hit);
    const PlanPoint& p = points_.points[static_cast<size_t>(*hit)];
    QString coordinates = tr("N %1  E %2").arg(ShownCoordinate(p.row, ColNorthing, p.n),
                                               ShownCoordinate(p.row, ColEasting, p.e));
    if (!std::isnan(p.z)) coordinates += tr("  Z %1").arg(ShownCoordinate(p.row, ColElevation, p.z));
    return (l.full.isEmpty() ? l.brief : l.full) + QLatin1Char('\n') + coordinates;
}

// VALUE as the grid shows it: to the decimals chosen, or the cell's text as
// read.
QString PlanView::ShownCoordinate(int32_t row, int column, double value) const
{
    if (decimals_ >= 0) return Coordinate(value, decimals_);
    const QString read = TextAt(row, column);
    return read.isEmpty() ? QString::number(value, 'g', 15) : read;
}

void PlanView::ExportImage(const QString& file)
{
    auto fail = [&file](const QString& why) {
        return Error(QFile::encodeName(tr("cannot write the plan image %1: %2").arg(file, why)).toStdString());
    };
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) throw fail(out.errorString());
    if (file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(size());
        svg.setViewBox(QRect(QPoint(0, 0), size()));
        svg.setTitle(tr("Plan"));
        svg.setDescription(StatusText());
        QPainter painter;
        if (!painter.begin(&svg)) throw fail(tr("the drawing could not be started"));
        Render(painter);
        painter.end();
    } else {
        QImage image(size(), QImage::Format_RGB32);
        QPainter painter(&image);
        Render(painter);
        painter.end();
        if (!image.save(&out, "PNG")) throw fail(out.errorString());
    }
    if (!out.commit()) throw fail(out.errorString());
}

}  // namespace tessaly
