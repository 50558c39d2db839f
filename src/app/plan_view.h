#pragma once
// The plan: the points of the table drawn to scale, easting to the right and
// northing up, one scale for both, over a coordinate grid with labelled lines,
// with a scale bar and a north arrow in corners where they cover no point.
// Point numbers show where they have room, descriptions after them where
// there is more. Points that lie far from the others carry a red ring, points
// whose elevation lies far from the others a purple diamond; the status line
// lists them and the rows not drawn. A point's tooltip gives its
// coordinates.
//
// The plan reads the point table itself and shares the grid's rows: the
// grid's model says when the table changed (any of the standard model
// signals), and the grid's selection is the plan's selection. Grid row r is
// table row r.
//
// Mouse: the wheel zooms about the cursor, a drag pans, a click on a point
// selects its row (Ctrl adds or removes it), a click on nothing clears the
// selection, a Shift-drag or right-drag draws a box whose points are
// selected (Ctrl adds them); after a selection the keyboard goes back to the
// grid. Home fits all points.
#include <QAbstractItemView>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <functional>
#include <cstdint>
#include <optional>
#include <vector>

#include "table/plan_index.h"
#include "table/plan_layout.h"
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
    const PointTable* Table() const { return table_; }
    QAbstractItemView* Grid() const { return grid_; }

    // The points as the table holds them now (read again when it changed).
    const PlanPoints& Points();
    // Indexes into Points().points of those far from the others, and of those
    // whose elevation is.
    const std::vector<size_t>& Far();
    const std::vector<size_t>& ElevationFar();
    // Rows the grid has selected that are drawn, ascending.
    std::vector<int32_t> SelectedRows();
    // "2 points lie far from the others (red rings): 17, 203." and the rows
    // not drawn.
    QString StatusText();
    // Decimals of the coordinates the plan shows (its tooltips): 0 to 12, or
    // -1 for the text as read.
    void SetDecimals(int places);

    // The view: the plan position at the middle of the widget and the scale.
    void SetView(double e, double n, double pixelsPerUnit);
    double PixelsPerUnit() const { return scale_; }
    // All points in view, clear of the scale bar and the north arrow; also
    // what Home does.
    void FitAll();
    QPointF ToScreen(double e, double n) const;
    QPointF ToScreen(const PlanPoint& p) const { return ToScreen(p.e, p.n); }

    // Draws what the widget shows onto PAINTER (the widget's size).
    void Render(QPainter& painter);
    // Where the last Render drew the scale bar and the north arrow (empty
    // when there was no corner free of points for it).
    QRectF ScaleBarBox() const { return barBox_; }
    QRectF NorthArrowBox() const { return arrowBox_; }
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
    bool event(QEvent* event) override;
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
    // A point's label: the short part (number, or else description) and
    // the long form (number and description; empty when it adds nothing).
    struct Label {
        QString brief, full;
        float briefWidth = -1, fullWidth = -1;  // < 0 until measured
        bool made = false;
    };

    void TableChanged();
    void TableReset();
    void Rebuild();
    QString MakeStatus() const;
    QString NameList(const std::vector<size_t>& points) const;
    QString UndrawnList() const;
    void SelectionChanged();
    void ReadSelection();
    void HandFocusToGrid();
    std::optional<int32_t> PointAt(QPointF pos);
    std::vector<int32_t> RowsInBox(const QRectF& box);
    double PlanE(double x) const;
    double PlanN(double y) const;
    // The trimmed text of a cell, empty for a row gone before the grid said so.
    QString TextAt(int32_t row, int column) const;
    QString PointName(int32_t row) const;
    QString ToolTipAt(QPointF pos);
    QString ShownCoordinate(int32_t row, int column, double value) const;

    // Render's steps, in order.
    void CollectVisible();
    void PlaceFurniture(const QFontMetricsF& fm);
    void DrawGrid(QPainter& p, const QFontMetricsF& fm);
    void DrawPoints(QPainter& p);
    void DrawLabels(QPainter& p, const QFontMetricsF& fm);
    void DrawScaleBar(QPainter& p, const QFontMetricsF& fm);
    void DrawNorthArrow(QPainter& p, const QFontMetricsF& fm);
    double MarkerHalf(size_t i) const;
    Label& LabelOf(int32_t i);
    float Measure(const QString& text, float& width);

    const PointTable* table_ = nullptr;
    QPointer<QAbstractItemView> grid_;

    // What was read from the table, and when it needs reading again.
    bool stale_ = true;
    bool selectionStale_ = true;
    bool fitPending_ = true;  // no zoom or pan since the last load or Home
    PlanPoints points_;
    PlanIndex index_;
    std::vector<size_t> far_, elevationFar_;
    std::vector<uint8_t> isFar_, isElevationFar_;  // per point
    std::vector<uint8_t> selected_;                // per point
    std::vector<int32_t> pointOfRow_;  // per table row: point index or -1
    QString status_;
    QTimer* rebuildTimer_;
    int decimals_ = -1;

    // Labels, made the first time they are drawn after a change.
    std::vector<Label> labels_;

    // The view.
    double centreE_ = 0, centreN_ = 0, scale_ = 1;

    // Made anew on each paint.
    std::vector<int32_t> visible_;
    Occupancy occupied_;
    QRectF barBox_, arrowBox_;
    double barUnits_ = 1;

    Drag drag_ = Drag::None;
    QPointF pressPos_, lastPos_;
    Qt::KeyboardModifiers pressModifiers_;
    QRubberBand* band_ = nullptr;
    std::function<QString(double e, double n)> positionText_;
};

}  // namespace tessaly
