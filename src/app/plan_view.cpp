#include "app/plan_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRubberBand>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "platform/error.h"
#include "qt/ansi_text.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
const QColor kPaper(Qt::white);
const QColor kGridLine(222, 222, 222);
const QColor kGridText(128, 128, 128);
const QColor kPoint(31, 78, 154);
const QColor kSelected(255, 140, 0);
const QColor kFar(208, 0, 0);
const QColor kLabel(32, 32, 32);

constexpr double kPointHalf = 2.5;     // normal marker: a 5-pixel square
constexpr double kSelectedHalf = 4.5;  // selected: a 9-pixel square
constexpr double kFarRadius = 7;       // far: a ring around the point
constexpr double kHitRadius = 6;       // pixels around a point that a click takes
constexpr double kFitMargin = 30;      // pixels left free around the points by Home
constexpr double kMinScale = 1e-12;    // pixels per coordinate unit
constexpr double kMaxScale = 1e5;
constexpr int kCell = 4;               // pixels per cell of the label occupancy grid
constexpr int kFarNamesListed = 10;

// The round step (1, 2 or 5 times a power of ten) not below X.
double NiceStep(double x)
{
    if (!(x > 0) || !std::isfinite(x)) return 1;
    const double p = std::pow(10.0, std::floor(std::log10(x)));
    const double m = x / p;
    return (m <= 1 + 1e-9 ? 1 : m <= 2 + 1e-9 ? 2 : m <= 5 + 1e-9 ? 5 : 10) * p;
}

// Decimals that show multiples of STEP exactly.
int DecimalsFor(double step) { return std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 12); }

QString Coordinate(double value, int decimals)
{
    QString s = QString::number(value, 'f', decimals);
    if (s.startsWith(QLatin1Char('-')) && s.count(QLatin1Char('0')) + s.count(QLatin1Char('.')) == s.size() - 1)
        s.remove(0, 1);  // "-0" and "-0.00"
    return s;
}

QString Count(qsizetype n, const char* one, const char* many)
{
    return n == 1 ? QString::fromLatin1(one) : QString::fromLatin1(many).arg(n);
}

// Which cells of the occupancy grid a rectangle covers, and whether any of
// them is taken.
struct Occupancy {
    std::vector<uint8_t>& cells;
    int w, h;

    template <typename F>
    bool Each(const QRectF& r, F f) const
    {
        const int x0 = std::max(0, static_cast<int>(std::floor(r.left() / kCell)));
        const int x1 = std::min(w - 1, static_cast<int>(std::floor(r.right() / kCell)));
        const int y0 = std::max(0, static_cast<int>(std::floor(r.top() / kCell)));
        const int y1 = std::min(h - 1, static_cast<int>(std::floor(r.bottom() / kCell)));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (f(cells[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)])) return true;
        return false;
    }
    bool Taken(const QRectF& r) const
    {
        return Each(r, [](uint8_t& c) { return c != 0; });
    }
    void Take(const QRectF& r) const
    {
        Each(r, [](uint8_t& c) {
            c = 1;
            return false;
        });
    }
    // Off the grid entirely counts as taken: such a label would not be seen.
    bool Outside(const QRectF& r) const { return r.right() < 0 || r.bottom() < 0 || r.left() >= w * kCell || r.top() >= h * kCell; }
};
}  // namespace

PlanView::PlanView(QWidget* parent) : QWidget(parent), rebuildTimer_(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setMinimumSize(120, 120);
    QFont f = font();
    f.setPointSizeF(8);
    setFont(f);
    rebuildTimer_->setSingleShot(true);
    rebuildTimer_->setInterval(0);
    connect(rebuildTimer_, &QTimer::timeout, this, &PlanView::Rebuild);
}

void PlanView::SetSource(const PointTable* table, QAbstractItemView* grid)
{
    if (grid_) {
        disconnect(grid_->model(), nullptr, this, nullptr);
        if (grid_->selectionModel()) disconnect(grid_->selectionModel(), nullptr, this, nullptr);
    }
    table_ = table;
    grid_ = grid;
    if (grid) {
        QAbstractItemModel* m = grid->model();
        connect(m, &QAbstractItemModel::dataChanged, this, &PlanView::TableChanged);
        connect(m, &QAbstractItemModel::rowsInserted, this, &PlanView::TableChanged);
        connect(m, &QAbstractItemModel::rowsRemoved, this, &PlanView::TableChanged);
        connect(m, &QAbstractItemModel::rowsMoved, this, &PlanView::TableChanged);
        connect(m, &QAbstractItemModel::layoutChanged, this, &PlanView::TableChanged);
        connect(m, &QAbstractItemModel::modelReset, this, &PlanView::TableReset);
        connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, &PlanView::SelectionChanged);
    }
    TableReset();
}

void PlanView::TableChanged()
{
    stale_ = true;
    // Several signals in a row (a delete of many rows) make one rebuild; a
    // hidden plan waits until it is shown.
    if (isVisible()) rebuildTimer_->start();
    update();
}

void PlanView::TableReset()
{
    fitPending_ = true;  // a load: show the new points whole
    TableChanged();
}

void PlanView::SelectionChanged()
{
    selectionStale_ = true;
    update();
}

void PlanView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Rebuild();
}

const PlanPoints& PlanView::Points()
{
    Rebuild();
    return points_;
}

const std::vector<size_t>& PlanView::Far()
{
    Rebuild();
    return far_;
}

QString PlanView::StatusText()
{
    Rebuild();
    return status_;
}

std::vector<int32_t> PlanView::SelectedRows()
{
    Rebuild();
    ReadSelection();
    std::vector<int32_t> rows;
    for (size_t i = 0; i < selected_.size(); ++i)
        if (selected_[i]) rows.push_back(points_.points[i].row);
    return rows;
}

QString PlanView::PointName(int32_t i) const
{
    const int32_t row = points_.points[static_cast<size_t>(i)].row;
    if (row >= table_->AllocatedRows()) return QStringLiteral("row %1").arg(row + 1);
    const std::string text = CellText(table_->Get(ColPoint, row));
    const QString name = TableTextToQString(TrimBlanks(text));
    return name.isEmpty() ? QStringLiteral("row %1").arg(row + 1) : name;
}

void PlanView::Rebuild()
{
    if (!stale_) return;
    stale_ = false;
    rebuildTimer_->stop();
    if (table_) CollectPlanPoints(*table_, points_);
    else points_ = {};
    const size_t n = points_.points.size();
    far_ = FarPoints(points_.points);
    isFar_.assign(n, 0);
    for (size_t i : far_) isFar_[i] = 1;
    pointOfRow_.assign(table_ ? static_cast<size_t>(table_->RowCapacity()) : 0, -1);
    for (size_t i = 0; i < n; ++i) pointOfRow_[static_cast<size_t>(points_.points[i].row)] = static_cast<int32_t>(i);
    labels_.assign(n, QString());
    labelWidths_.assign(n, -1.0f);
    labelMade_.assign(n, 0);
    selectionStale_ = true;
    BuildIndex();

    QString status = Count(static_cast<qsizetype>(n), "1 point drawn.", "%1 points drawn.");
    if (!far_.empty()) {
        QStringList names;
        for (size_t k = 0; k < far_.size() && k < kFarNamesListed; ++k) names << PointName(static_cast<int32_t>(far_[k]));
        QString list = names.join(QStringLiteral(", "));
        if (far_.size() > kFarNamesListed) list += QStringLiteral(" and %1 more").arg(far_.size() - kFarNamesListed);
        status += QLatin1Char(' ') +
                  Count(static_cast<qsizetype>(far_.size()), "1 point lies far from the others: %2.",
                        "%1 points lie far from the others: %2.")
                      .replace(QStringLiteral("%2"), list);
    }
    if (points_.notNumeric > 0)
        status += QLatin1Char(' ') + Count(points_.notNumeric, "1 row not drawn: its northing or easting is not a number.",
                                           "%1 rows not drawn: their northing or easting is not a number.");
    status_ = status;
    if (fitPending_) FitAll();
    emit StatusChanged(status_);
}

void PlanView::BuildIndex()
{
    const auto& pts = points_.points;
    const size_t n = pts.size();
    // Bounds of the bulk of the points: far points would stretch the buckets
    // until every other point shared one.
    double e0 = 0, e1 = 0, n0 = 0, n1 = 0;
    bool any = false;
    for (size_t pass = 0; pass < 2 && !any; ++pass)
        for (size_t i = 0; i < n; ++i) {
            if (pass == 0 && isFar_[i]) continue;
            const PlanPoint& p = pts[i];
            if (!any) {
                e0 = e1 = p.e;
                n0 = n1 = p.n;
                any = true;
            }
            e0 = std::min(e0, p.e), e1 = std::max(e1, p.e);
            n0 = std::min(n0, p.n), n1 = std::max(n1, p.n);
        }
    const double ext = std::max(e1 - e0, 0.0), nxt = std::max(n1 - n0, 0.0);
    const double target = std::max(1.0, static_cast<double>(n) / 8.0);
    if (ext > 0 && nxt > 0) {
        cellsX_ = std::clamp(static_cast<int>(std::sqrt(target * ext / nxt)), 1, 1024);
        cellsY_ = std::clamp(static_cast<int>(target / cellsX_), 1, 1024);
    } else {
        cellsX_ = ext > 0 ? std::clamp(static_cast<int>(target), 1, 1024) : 1;
        cellsY_ = nxt > 0 ? std::clamp(static_cast<int>(target), 1, 1024) : 1;
    }
    cellE0_ = e0;
    cellN0_ = n0;
    cellW_ = ext > 0 ? ext / cellsX_ : 1;
    cellH_ = nxt > 0 ? nxt / cellsY_ : 1;

    const size_t cells = static_cast<size_t>(cellsX_) * static_cast<size_t>(cellsY_);
    cellStart_.assign(cells + 1, 0);
    cellPoints_.resize(n);
    auto cellOf = [this](const PlanPoint& p) {
        const double cx = std::clamp(std::floor((p.e - cellE0_) / cellW_), 0.0, cellsX_ - 1.0);
        const double cy = std::clamp(std::floor((p.n - cellN0_) / cellH_), 0.0, cellsY_ - 1.0);
        return static_cast<size_t>(cy) * static_cast<size_t>(cellsX_) + static_cast<size_t>(cx);
    };
    for (const PlanPoint& p : pts) ++cellStart_[cellOf(p) + 1];
    for (size_t c = 0; c < cells; ++c) cellStart_[c + 1] += cellStart_[c];
    std::vector<int32_t> next(cellStart_.begin(), cellStart_.end() - 1);
    for (size_t i = 0; i < n; ++i) cellPoints_[static_cast<size_t>(next[cellOf(pts[i])]++)] = static_cast<int32_t>(i);
}

void PlanView::PointsIn(double e0, double n0, double e1, double n1, std::vector<int32_t>& out) const
{
    if (points_.points.empty() || !(e0 <= e1) || !(n0 <= n1)) return;
    auto col = [this](double e) {
        return static_cast<int>(std::clamp(std::floor((e - cellE0_) / cellW_), 0.0, cellsX_ - 1.0));
    };
    auto row = [this](double n) {
        return static_cast<int>(std::clamp(std::floor((n - cellN0_) / cellH_), 0.0, cellsY_ - 1.0));
    };
    const int cx0 = col(e0), cx1 = col(e1), cy0 = row(n0), cy1 = row(n1);
    for (int cy = cy0; cy <= cy1; ++cy)
        for (int cx = cx0; cx <= cx1; ++cx) {
            const size_t c = static_cast<size_t>(cy) * static_cast<size_t>(cellsX_) + static_cast<size_t>(cx);
            for (int32_t k = cellStart_[c]; k < cellStart_[c + 1]; ++k) {
                const int32_t i = cellPoints_[static_cast<size_t>(k)];
                const PlanPoint& p = points_.points[static_cast<size_t>(i)];
                if (p.e >= e0 && p.e <= e1 && p.n >= n0 && p.n <= n1) out.push_back(i);
            }
        }
}

void PlanView::ReadSelection()
{
    if (!selectionStale_) return;
    selectionStale_ = false;
    selected_.assign(points_.points.size(), 0);
    if (!grid_ || !grid_->selectionModel()) return;
    for (const QItemSelectionRange& range : grid_->selectionModel()->selection()) {
        const int last = std::min(range.bottom(), static_cast<int>(pointOfRow_.size()) - 1);
        for (int r = std::max(0, range.top()); r <= last; ++r)
            if (const int32_t i = pointOfRow_[static_cast<size_t>(r)]; i >= 0) selected_[static_cast<size_t>(i)] = 1;
    }
}

// ---------------------------------------------------------------- the view

QPointF PlanView::ToScreen(double e, double n) const
{
    return {width() / 2.0 + (e - centreE_) * scale_, height() / 2.0 - (n - centreN_) * scale_};
}

double PlanView::PlanE(double x) const { return centreE_ + (x - width() / 2.0) / scale_; }
double PlanView::PlanN(double y) const { return centreN_ - (y - height() / 2.0) / scale_; }

void PlanView::SetView(double e, double n, double pixelsPerUnit)
{
    centreE_ = e;
    centreN_ = n;
    scale_ = std::clamp(pixelsPerUnit, kMinScale, kMaxScale);
    fitPending_ = false;
    update();
}

void PlanView::FitAll()
{
    Rebuild();
    fitPending_ = true;
    const auto& pts = points_.points;
    if (pts.empty()) {
        centreE_ = centreN_ = 0;
        scale_ = 1;
        update();
        return;
    }
    double e0 = pts[0].e, e1 = e0, n0 = pts[0].n, n1 = n0;
    for (const PlanPoint& p : pts) {
        e0 = std::min(e0, p.e), e1 = std::max(e1, p.e);
        n0 = std::min(n0, p.n), n1 = std::max(n1, p.n);
    }
    centreE_ = e0 / 2 + e1 / 2;
    centreN_ = n0 / 2 + n1 / 2;
    // A single point, or points in a line, still get a scale: a thousandth of
    // a unit (and more for large coordinates) is the least extent fitted.
    const double least = std::max({1e-3, std::abs(centreE_) * 1e-9, std::abs(centreN_) * 1e-9});
    const double w = std::max(1.0, width() - 2 * kFitMargin), h = std::max(1.0, height() - 2 * kFitMargin);
    scale_ = std::clamp(std::min(w / std::max(e1 - e0, least), h / std::max(n1 - n0, least)), kMinScale, kMaxScale);
    update();
}

void PlanView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (fitPending_ && !stale_) FitAll();
}

// ---------------------------------------------------------------- drawing

const QString& PlanView::LabelOf(int32_t i)
{
    const auto k = static_cast<size_t>(i);
    if (!labelMade_[k]) {
        labelMade_[k] = 1;
        const int32_t row = points_.points[k].row;
        if (row >= table_->AllocatedRows()) return labels_[k];  // gone before the grid said so
        const std::string number = CellText(table_->Get(ColPoint, row));
        const std::string description = CellText(table_->Get(ColDescription, row));
        QString label = TableTextToQString(TrimBlanks(number));
        const QString d = TableTextToQString(TrimBlanks(description));
        if (!d.isEmpty()) label += label.isEmpty() ? d : QStringLiteral("  ") + d;
        // A label is measured and drawn beside its point: a description of
        // a megabyte would cost its measuring on every paint and fit nowhere.
        constexpr qsizetype kLongestLabel = 200;
        if (label.size() > kLongestLabel) {
            qsizetype keep = kLongestLabel - 1;
            if (label.at(keep - 1).isHighSurrogate()) --keep;
            label.truncate(keep);
            label += QChar(0x2026);
        }
        labels_[k] = label;
    }
    return labels_[k];
}

float PlanView::LabelWidth(int32_t i, const QFontMetricsF& fm)
{
    float& w = labelWidths_[static_cast<size_t>(i)];
    if (w < 0) w = static_cast<float>(fm.horizontalAdvance(LabelOf(i)));
    return w;
}

void PlanView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Render(painter);
}

void PlanView::Render(QPainter& p)
{
    Rebuild();
    ReadSelection();
    const double W = width(), H = height();
    p.fillRect(QRectF(0, 0, W, H), kPaper);
    p.setFont(font());
    const QFontMetricsF fm(font());

    // The coordinate grid: lines at least 90 pixels apart at round values,
    // eastings along the top, northings along the left.
    const double step = NiceStep(90 / scale_);
    const int decimals = DecimalsFor(step);
    p.setPen(QPen(kGridLine, 0));
    const double firstE = std::ceil(PlanE(0) / step), firstN = std::ceil(PlanN(H) / step);
    const int linesE = static_cast<int>(std::min(W / 90 + 2, std::floor(PlanE(W) / step) - firstE + 1));
    const int linesN = static_cast<int>(std::min(H / 90 + 2, std::floor(PlanN(0) / step) - firstN + 1));
    for (int k = 0; k < linesE; ++k) {
        const double x = ToScreen((firstE + k) * step, 0).x();
        p.drawLine(QPointF(x, 0), QPointF(x, H));
    }
    for (int k = 0; k < linesN; ++k) {
        const double y = ToScreen(0, (firstN + k) * step).y();
        p.drawLine(QPointF(0, y), QPointF(W, y));
    }

    // The scale bar, bottom left, and the north arrow, top right: the grid's
    // values and the point labels keep off them, and point labels off the
    // grid's values.
    const double barUnits = NiceStep(80 / scale_);
    const double barPx = barUnits * scale_;
    const QString barText = Coordinate(barUnits, DecimalsFor(barUnits));
    const QRectF barBox(6, H - 14 - fm.height() - 8, std::max(barPx, fm.horizontalAdvance(barText)) + 14,
                        fm.height() + 16);
    const QRectF arrowBox(W - 40, 4, 34, 46);
    const int gw = static_cast<int>(W) / kCell + 1, gh = static_cast<int>(H) / kCell + 1;
    occupied_.assign(static_cast<size_t>(gw) * static_cast<size_t>(gh), 0);
    const Occupancy grid{occupied_, gw, gh};
    grid.Take(barBox);
    grid.Take(arrowBox);
    auto gridValue = [&](const QPointF& baseline, const QString& text) {
        const QRectF box(baseline.x(), baseline.y() - fm.ascent(), fm.horizontalAdvance(text), fm.height());
        if (grid.Taken(box)) return;
        grid.Take(box);
        p.drawText(baseline, text);
    };
    p.setPen(kGridText);
    for (int k = 0; k < linesE; ++k) {
        const double x = ToScreen((firstE + k) * step, 0).x();
        gridValue(QPointF(x + 3, fm.ascent() + 2), Coordinate((firstE + k) * step, decimals));
    }
    for (int k = 0; k < linesN; ++k) {
        const double y = ToScreen(0, (firstN + k) * step).y();
        gridValue(QPointF(3, y - 3), Coordinate((firstN + k) * step, decimals));
    }

    // The points in view, in row order.
    visible_.clear();
    const double margin = kFarRadius + 2;
    PointsIn(PlanE(-margin), PlanN(H + margin), PlanE(W + margin), PlanN(-margin), visible_);
    if (visible_.size() == points_.points.size()) std::iota(visible_.begin(), visible_.end(), 0);
    else std::sort(visible_.begin(), visible_.end());
    const auto& pts = points_.points;
    {
        std::vector<QRectF> rects;
        rects.reserve(visible_.size());
        for (int32_t i : visible_) {
            if (selected_[static_cast<size_t>(i)] || isFar_[static_cast<size_t>(i)]) continue;
            const QPointF c = ToScreen(pts[static_cast<size_t>(i)]);
            rects.emplace_back(c.x() - kPointHalf, c.y() - kPointHalf, 2 * kPointHalf, 2 * kPointHalf);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(kPoint);
        p.drawRects(rects.data(), static_cast<int>(rects.size()));
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(kSelected);
    for (int32_t i : visible_)
        if (selected_[static_cast<size_t>(i)]) {
            const QPointF c = ToScreen(pts[static_cast<size_t>(i)]);
            p.drawRect(QRectF(c.x() - kSelectedHalf, c.y() - kSelectedHalf, 2 * kSelectedHalf, 2 * kSelectedHalf));
        }
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int32_t i : visible_)
        if (isFar_[static_cast<size_t>(i)]) {
            const QPointF c = ToScreen(pts[static_cast<size_t>(i)]);
            if (!selected_[static_cast<size_t>(i)]) {
                p.setPen(Qt::NoPen);
                p.setBrush(kFar);
                p.drawRect(QRectF(c.x() - kPointHalf, c.y() - kPointHalf, 2 * kPointHalf, 2 * kPointHalf));
            }
            p.setPen(QPen(kFar, 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, kFarRadius, kFarRadius);
            p.drawLine(c + QPointF(-kFarRadius - 4, 0), c + QPointF(-kFarRadius, 0));
            p.drawLine(c + QPointF(kFarRadius, 0), c + QPointF(kFarRadius + 4, 0));
            p.drawLine(c + QPointF(0, -kFarRadius - 4), c + QPointF(0, -kFarRadius));
            p.drawLine(c + QPointF(0, kFarRadius), c + QPointF(0, kFarRadius + 4));
        }
    p.setRenderHint(QPainter::Antialiasing, false);


    // Labels: point number and description beside the point, where they
    // cover no other label and no point; far points first, then the selected
    // ones, then the rest in row order.
    if (!visible_.empty()) {
        auto halfOf = [this](int32_t i) {
            return isFar_[static_cast<size_t>(i)] ? kFarRadius : selected_[static_cast<size_t>(i)] ? kSelectedHalf
                                                                                                   : kPointHalf;
        };
        for (int32_t i : visible_) {
            const QPointF c = ToScreen(pts[static_cast<size_t>(i)]);
            const double h = halfOf(i);
            grid.Take(QRectF(c.x() - h, c.y() - h, 2 * h, 2 * h));
        }
        const double lineH = fm.height();
        for (int pass = 0; pass < 3; ++pass) {
            p.setPen(pass == 0 ? kFar : kLabel);
            for (int32_t i : visible_) {
                const auto k = static_cast<size_t>(i);
                const int kind = isFar_[k] ? 0 : selected_[k] ? 1 : 2;
                if (kind != pass) continue;
                const QPointF c = ToScreen(pts[k]);
                // A whole cell clear of its own marker, to the right of the
                // point or else to its left, and wholly in view.
                const double gap = halfOf(i) + kCell + 1;
                const double top = c.y() - lineH / 2;
                const QString* text = nullptr;
                for (const bool right : {true, false}) {
                    const QRectF near(right ? c.x() + gap : c.x() - gap - kCell, top, kCell, lineH);
                    if (grid.Outside(near) || grid.Taken(near)) continue;
                    if (!text) text = &LabelOf(i);
                    if (text->isEmpty()) break;
                    const double width = LabelWidth(i, fm);
                    const QRectF box(right ? c.x() + gap : c.x() - gap - width, top, width, lineH);
                    if (box.left() < 0 || box.right() > W || box.top() < 0 || box.bottom() > H) continue;
                    if (grid.Taken(box)) continue;
                    grid.Take(box);
                    p.drawText(QPointF(box.left(), top + fm.ascent()), *text);
                    break;
                }
            }
        }
    }

    // Scale bar.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRect(barBox);
    const double bx = barBox.left() + 7, by = barBox.bottom() - 7;
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(bx, by), QPointF(bx + barPx, by));
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(bx, by - 5), QPointF(bx, by + 2));
    p.drawLine(QPointF(bx + barPx, by - 5), QPointF(bx + barPx, by + 2));
    p.drawText(QPointF(bx, by - 6 - fm.descent()), QStringLiteral("0"));
    p.drawText(QPointF(bx + barPx - fm.horizontalAdvance(barText), by - 6 - fm.descent()), barText);

    // North arrow.
    const double ax = arrowBox.center().x();
    const double at = arrowBox.top() + fm.height() + 2;
    p.setPen(Qt::black);
    p.drawText(QPointF(ax - fm.horizontalAdvance(QStringLiteral("N")) / 2, arrowBox.top() + fm.ascent()),
               QStringLiteral("N"));
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

void PlanView::ExportImage(const QString& file)
{
    auto fail = [&file](const QString& why) {
        return Error("cannot write the plan image " + QFile::encodeName(file).toStdString() + ": " +
                     QFile::encodeName(why).toStdString());
    };
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) throw fail(out.errorString());
    if (file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(size());
        svg.setViewBox(QRect(QPoint(0, 0), size()));
        svg.setTitle(QStringLiteral("Plan"));
        svg.setDescription(StatusText());
        QPainter painter;
        if (!painter.begin(&svg)) throw fail(QStringLiteral("the drawing could not be started"));
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

// ---------------------------------------------------------------- selection and the mouse

void PlanView::SelectRows(const std::vector<int32_t>& rows, bool add)
{
    if (!grid_ || !grid_->selectionModel()) return;
    QAbstractItemModel* m = grid_->model();
    const int cols = m->columnCount();
    if (cols == 0) return;
    std::vector<int32_t> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::erase_if(sorted, [m](int32_t r) { return r < 0 || r >= m->rowCount(); });
    QItemSelection selection;
    for (size_t a = 0; a < sorted.size();) {
        size_t b = a;
        while (b + 1 < sorted.size() && sorted[b + 1] == sorted[b] + 1) ++b;
        selection.append(QItemSelectionRange(m->index(sorted[a], 0), m->index(sorted[b], cols - 1)));
        a = b + 1;
    }
    QItemSelectionModel* sm = grid_->selectionModel();
    if (!sorted.empty()) {
        // The current row moves first: leaving an edited row hands it back.
        const QModelIndex first = m->index(sorted.front(), std::max(0, grid_->currentIndex().column()));
        sm->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        grid_->scrollTo(first);
    }
    sm->select(selection, (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                              QItemSelectionModel::Rows);
}

std::optional<int32_t> PlanView::PointAt(QPointF pos)
{
    Rebuild();
    std::vector<int32_t> near;
    const double r = std::max(kHitRadius, kFarRadius) / scale_;
    PointsIn(PlanE(pos.x()) - r, PlanN(pos.y()) - r, PlanE(pos.x()) + r, PlanN(pos.y()) + r, near);
    std::optional<int32_t> best;
    double bestD = 0;
    for (int32_t i : near) {
        const QPointF c = ToScreen(points_.points[static_cast<size_t>(i)]);
        const double d = std::hypot(c.x() - pos.x(), c.y() - pos.y());
        const double reach = isFar_[static_cast<size_t>(i)] ? kFarRadius : kHitRadius;
        if (d <= reach && (!best || d < bestD || (d == bestD && i < *best))) {
            best = i;
            bestD = d;
        }
    }
    return best;
}

std::vector<int32_t> PlanView::RowsInBox(const QRectF& box)
{
    Rebuild();
    std::vector<int32_t> in;
    PointsIn(PlanE(box.left()), PlanN(box.bottom()), PlanE(box.right()), PlanN(box.top()), in);
    std::vector<int32_t> rows;
    rows.reserve(in.size());
    for (int32_t i : in) rows.push_back(points_.points[static_cast<size_t>(i)].row);
    return rows;
}

void PlanView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) return;
    const QPointF pos = event->position();
    const double e = PlanE(pos.x()), n = PlanN(pos.y());
    // The plan position under the cursor stays under it.
    const double s = std::clamp(scale_ * std::pow(1.25, steps), kMinScale, kMaxScale);
    SetView(e - (pos.x() - width() / 2.0) / s, n + (pos.y() - height() / 2.0) / s, s);
    event->accept();
}

void PlanView::mousePressEvent(QMouseEvent* event)
{
    pressPos_ = lastPos_ = event->position();
    pressModifiers_ = event->modifiers();
    if (event->button() == Qt::MiddleButton) drag_ = Drag::Pan;
    else if (event->button() == Qt::RightButton ||
             (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier)))
        drag_ = Drag::Box;
    else if (event->button() == Qt::LeftButton) drag_ = Drag::Pending;
    else return QWidget::mousePressEvent(event);
    if (drag_ == Drag::Pan) setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void PlanView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    if (drag_ == Drag::Pending && (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        drag_ = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
    }
    if (drag_ == Drag::Pan) {
        const QPointF d = pos - lastPos_;
        SetView(centreE_ - d.x() / scale_, centreN_ + d.y() / scale_, scale_);
    } else if (drag_ == Drag::Box) {
        if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, this);
        band_->setGeometry(QRectF(pressPos_, pos).normalized().toRect());
        band_->show();
    }
    lastPos_ = pos;
    if (positionText_ && drag_ == Drag::None)
        if (const QString at = positionText_(PlanE(pos.x()), PlanN(pos.y())); !at.isEmpty())
            emit StatusChanged(status_ + QStringLiteral("  ") + at);
}

void PlanView::mouseReleaseEvent(QMouseEvent* event)
{
    const Drag drag = std::exchange(drag_, Drag::None);
    const bool add = pressModifiers_ & Qt::ControlModifier;
    setCursor(Qt::CrossCursor);
    if (drag == Drag::Pending) {
        const std::optional<int32_t> hit = PointAt(event->position());
        if (hit && grid_ && add && selected_[static_cast<size_t>(*hit)]) {
            // Ctrl-click on a selected point takes its row out of the selection.
            QAbstractItemModel* m = grid_->model();
            const int row = points_.points[static_cast<size_t>(*hit)].row;
            grid_->selectionModel()->select(QItemSelection(m->index(row, 0), m->index(row, m->columnCount() - 1)),
                                            QItemSelectionModel::Deselect);
        } else if (hit) {
            SelectRows({points_.points[static_cast<size_t>(*hit)].row}, add);
        } else if (!add && grid_) {
            grid_->selectionModel()->clearSelection();
        }
    } else if (drag == Drag::Box) {
        if (band_) band_->hide();
        const std::vector<int32_t> rows = RowsInBox(QRectF(pressPos_, event->position()).normalized());
        if (!rows.empty()) SelectRows(rows, add);
        else if (!add && grid_) grid_->selectionModel()->clearSelection();
    }
    event->accept();
}

void PlanView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Home) {
        FitAll();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tessaly
