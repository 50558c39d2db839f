#pragma once
// The plan: the points of the table drawn to scale, easting to the right and
// northing up, one scale for both, over a coordinate grid with labelled lines,
// with a scale bar and a north arrow. Point numbers and descriptions show
// where they have room. Points that lie far from the others carry a marker of
// their own.
//
// The plan reads the point table itself and shares the grid's rows: the
// grid's model says when the table changed (any of the standard model
// signals), and the grid's selection is the plan's selection. Grid row r is
// table row r.
//
// Mouse: the wheel zooms about the cursor, a drag pans, a click on a point
// selects its row (Ctrl adds or removes it), a click on nothing clears the
// selection, a Shift-drag or right-drag draws a box whose points are
// selected (Ctrl adds them). Home fits all points.
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <functional>
#include <cstdint>
#include <optional>
#include <vector>

#include "table/plan_points.h"

class QAbstractItemView;
class QRubberBand;
class QTimer;

namespace tessaly {

class PlanView : public QWidget {
    Q_OBJECT
public:
    explicit PlanView(QWidget* parent = nullptr);

    void SetSource(const PointTable* table, QAbstractItemView* grid);

    // The points as the table holds them now (read again when it changed).
    const PlanPoints& Points();
    // Indexes into Points().points of those far from the others.
    const std::vector<size_t>& Far();
    // Rows the grid has selected that are drawn, ascending.
    std::vector<int32_t> SelectedRows();
    // "2 points lie far from the others: 17, 203" and the rows not drawn.
    QString StatusText();

    // The view: the plan position at the middle of the widget and the scale.
    void SetView(double e, double n, double pixelsPerUnit);
    double PixelsPerUnit() const { return scale_; }
    // All points in view, with a margin; also what Home does.
    void FitAll();
    QPointF ToScreen(double e, double n) const;
    QPointF ToScreen(const PlanPoint& p) const { return ToScreen(p.e, p.n); }

    // Draws what the widget shows onto PAINTER (the widget's size).
    void Render(QPainter& painter);
    // Writes the plan as shown to FILE: SVG when the name ends in .svg (any
    // letter case), PNG otherwise. The file is replaced only once the image
    // is complete. Throws Error when it cannot be written.
    void ExportImage(const QString& file);

    // Selects the rows of the grid (ADD keeps the rows selected before),
    // makes the first one current and scrolls the grid to it.
    void SelectRows(const std::vector<int32_t>& rows, bool add);

    QSize sizeHint() const override { return {420, 420}; }

    // The text of a plan position (latitude and longitude), shown after the
    // status line while the mouse moves over the plan; "" shows nothing.
    void SetPositionText(std::function<QString(double e, double n)> text)
    {
        positionText_ = std::move(text);
        setMouseTracking(static_cast<bool>(positionText_));
    }

signals:
    void StatusChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Pending, Pan, Box };

    void TableChanged();
    void TableReset();
    void Rebuild();
    void BuildIndex();
    void SelectionChanged();
    void ReadSelection();
    // Points (indexes) whose position lies inside the plan rectangle, in
    // no particular order.
    void PointsIn(double e0, double n0, double e1, double n1, std::vector<int32_t>& out) const;
    std::optional<int32_t> PointAt(QPointF pos);
    std::vector<int32_t> RowsInBox(const QRectF& box);
    double PlanE(double x) const;
    double PlanN(double y) const;
    const QString& LabelOf(int32_t i);
    float LabelWidth(int32_t i, const QFontMetricsF& fm);
    QString PointName(int32_t i) const;

    const PointTable* table_ = nullptr;
    QPointer<QAbstractItemView> grid_;

    // What was read from the table, and when it needs reading again.
    bool stale_ = true;
    bool selectionStale_ = true;
    bool fitPending_ = true;  // no zoom or pan since the last load or Home
    PlanPoints points_;
    std::vector<size_t> far_;
    std::vector<uint8_t> isFar_;     // per point
    std::vector<uint8_t> selected_;  // per point
    std::vector<int32_t> pointOfRow_;  // per table row: point index or -1
    QString status_;
    QTimer* rebuildTimer_;

    // Labels, made the first time they are drawn after a change.
    std::vector<QString> labels_;
    std::vector<float> labelWidths_;  // < 0 until measured
    std::vector<uint8_t> labelMade_;

    // A uniform grid of buckets over the bulk of the points (far points sit in
    // the edge buckets): the points of bucket b are cellPoints_[cellStart_[b]
    // .. cellStart_[b + 1] - 1].
    int cellsX_ = 1, cellsY_ = 1;
    double cellE0_ = 0, cellN0_ = 0, cellW_ = 1, cellH_ = 1;
    std::vector<int32_t> cellStart_;
    std::vector<int32_t> cellPoints_;

    // The view.
    double centreE_ = 0, centreN_ = 0, scale_ = 1;

    // Reused between paints.
    std::vector<int32_t> visible_;
    std::vector<uint8_t> occupied_;

    Drag drag_ = Drag::None;
    QPointF pressPos_, lastPos_;
    Qt::KeyboardModifiers pressModifiers_;
    QRubberBand* band_ = nullptr;
    std::function<QString(double e, double n)> positionText_;
};

}  // namespace tessaly
