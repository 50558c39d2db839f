#include "app/plan_view.h"
#include "app/plan_accessible.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/plan_style.h"
#include "platform/text/text_rules.h"
#include "qt/ansi_text.h"

namespace tessaly {

using namespace plan_style;

namespace {
constexpr double kHitRadius = 6;     // pixels around a point that a click takes
constexpr double kFitMargin = 30;    // pixels left free around the points by Home
constexpr double kLeastExtent = 10;  // coordinate units Home shows at the least
constexpr double kMinScale = 1e-12;  // pixels per coordinate unit
constexpr double kMaxScale = 1e5;
constexpr size_t kListed = 10;       // points named in a list of the status line
}  // namespace

PlanView::PlanView(QWidget* parent) : QWidget(parent), rebuildTimer_(new QTimer(this))
{
    // First: Qt keeps the accessible interface it made for a widget.
    InstallPlanAccessible();
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
        connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this] { PlanFocusMoved(this); });
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
    PlanFocusMoved(this);
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

const std::vector<size_t>& PlanView::ElevationFar()
{
    Rebuild();
    return elevationFar_;
}

QString PlanView::StatusText()
{
    Rebuild();
    return status_;
}

void PlanView::SetDecimals(int places) { decimals_ = std::clamp(places, -1, 12); }

std::vector<int32_t> PlanView::SelectedRows()
{
    Rebuild();
    ReadSelection();
    std::vector<int32_t> rows;
    for (size_t i = 0; i < selected_.size(); ++i)
        if (selected_[i]) rows.push_back(points_.points[i].row);
    return rows;
}

QString PlanView::TextAt(int32_t row, int column) const
{
    if (!table_ || row >= table_->AllocatedRows()) return {};
    return TableTextToQString(TrimBlanks(CellText(table_->Get(static_cast<Column>(column), row))));
}

// The point number of ROW, or "row 13" when it has none.
QString PlanView::PointName(int32_t row) const
{
    const QString name = TextAt(row, ColPoint);
    return name.isEmpty() ? tr("row %1").arg(row + 1) : name;
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
    elevationFar_ = ElevationOutliers(points_.points);
    isFar_.assign(n, 0);
    for (size_t i : far_) isFar_[i] = 1;
    isElevationFar_.assign(n, 0);
    for (size_t i : elevationFar_) isElevationFar_[i] = 1;
    pointOfRow_.assign(table_ ? static_cast<size_t>(table_->RowCapacity()) : 0, -1);
    for (size_t i = 0; i < n; ++i) pointOfRow_[static_cast<size_t>(points_.points[i].row)] = static_cast<int32_t>(i);
    labels_.assign(n, Label{});
    selectionStale_ = true;
    index_.Build(points_.points, isFar_);
    status_ = MakeStatus();
    if (fitPending_) FitAll();
    emit StatusChanged(status_);
}

QString PlanView::NameList(const std::vector<size_t>& points) const
{
    QStringList names;
    for (size_t k = 0; k < points.size() && k < kListed; ++k) names << PointName(points_.points[points[k]].row);
    QString list = names.join(QStringLiteral(", "));
    if (points.size() > kListed) list += tr(" and %1 more").arg(points.size() - kListed);
    return list;
}

// "point 12, northing not a number; row 14, northing and easting not numbers"
QString PlanView::UndrawnList() const
{
    QStringList rows;
    for (size_t k = 0; k < points_.undrawn.size() && k < kListed; ++k) {
        const UndrawnRow& u = points_.undrawn[k];
        const QString number = TextAt(u.row, ColPoint);
        const QString name = number.isEmpty() ? tr("row %1").arg(u.row + 1) : tr("point %1").arg(number);
        rows << (u.northing && u.easting ? tr("%1, northing and easting not numbers")
                 : u.northing            ? tr("%1, northing not a number")
                                         : tr("%1, easting not a number"))
                    .arg(name);
    }
    QString list = rows.join(QStringLiteral("; "));
    if (points_.undrawn.size() > kListed) list += tr("; and %1 more").arg(points_.undrawn.size() - kListed);
    return list;
}

QString PlanView::MakeStatus() const
{
    // ONE has the list as %1, MANY the count as %1 and the list as %2.
    auto sentence = [](size_t count, const QString& one, const QString& many, const QString& list) {
        return QLatin1Char(' ') + (count == 1 ? one.arg(list) : many.arg(QString::number(count), list));
    };
    const size_t n = points_.points.size();
    QString status = n == 1 ? tr("1 point drawn.") : tr("%1 points drawn.").arg(n);
    if (!far_.empty())
        status += sentence(far_.size(), tr("1 point lies far from the others (red ring): %1."),
                           tr("%1 points lie far from the others (red rings): %2."), NameList(far_));
    if (!elevationFar_.empty())
        status += sentence(elevationFar_.size(), tr("1 elevation lies far from the others (purple diamond): %1."),
                           tr("%1 elevations lie far from the others (purple diamonds): %2."),
                           NameList(elevationFar_));
    if (!points_.undrawn.empty())
        status += sentence(points_.undrawn.size(), tr("1 row not drawn: %1."), tr("%1 rows not drawn: %2."),
                           UndrawnList());
    return status;
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
    // The bands of the north arrow at the top and the scale bar at the
    // bottom stay free, so that neither has to move off its corner.
    const double clear = kMarkerReach + 2;
    const Margins margins{kFitMargin, std::max(kFitMargin, kInset + kArrowH + clear), kFitMargin,
                          std::max(kFitMargin, kInset + BarHeight(QFontMetricsF(font())) + clear)};
    // A single point, or points in a line, still get a sensible extent (and
    // more for large coordinates, whose digits run out).
    const double least = std::max({kLeastExtent, std::abs(e0) * 1e-9, std::abs(n0) * 1e-9});
    const PlanFit fit = FitExtent(e0, n0, e1, n1, width(), height(), margins, least, kMinScale, kMaxScale);
    centreE_ = fit.e;
    centreN_ = fit.n;
    scale_ = fit.scale;
    update();
}

void PlanView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (fitPending_ && !stale_) FitAll();
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
    index_.PointsIn(PlanE(pos.x()) - r, PlanN(pos.y()) - r, PlanE(pos.x()) + r, PlanN(pos.y()) + r, near);
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
    index_.PointsIn(PlanE(box.left()), PlanN(box.bottom()), PlanE(box.right()), PlanN(box.top()), in);
    std::vector<int32_t> rows;
    rows.reserve(in.size());
    for (int32_t i : in) rows.push_back(points_.points[static_cast<size_t>(i)].row);
    return rows;
}

// Typing after a click on a point goes to the grid's current cell, the row
// the click made current; the plan itself takes no typing but Home.
void PlanView::HandFocusToGrid()
{
    if (!grid_) return;
    if (grid_->window() != window()) grid_->window()->activateWindow();
    grid_->setFocus(Qt::OtherFocusReason);
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
            HandFocusToGrid();
        } else if (!add && grid_) {
            grid_->selectionModel()->clearSelection();
        }
    } else if (drag == Drag::Box) {
        if (band_) band_->hide();
        const std::vector<int32_t> rows = RowsInBox(QRectF(pressPos_, event->position()).normalized());
        if (!rows.empty()) {
            SelectRows(rows, add);
            HandFocusToGrid();
        } else if (!add && grid_) grid_->selectionModel()->clearSelection();
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
