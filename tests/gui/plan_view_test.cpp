#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QWheelEvent>
#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>
#include <QTest>
#include <QToolTip>
#include <QHelpEvent>

#include "app/points_window.h"
#include "gui_support.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
const QRgb kPointColour = qRgb(31, 78, 154);
const QRgb kSelectedColour = qRgb(255, 140, 0);
const QRgb kFarColour = qRgb(208, 0, 0);

// The window with the plan shown and a few points loaded the way a reader
// loads them: the table filled, then one refresh of the grid.
struct PlanTest : ::testing::Test {
    TempDir dir;
    PointsWindow w;
    PlanView* plan = nullptr;

    void SetUp() override
    {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.mnuPlan->trigger();
        plan = w.Plan->View();
        Pump(10);
    }
    void Load(const std::vector<std::array<Cell, PointTable::TotCols>>& rows)
    {
        w.PointData.Clear();
        for (const auto& r : rows) w.PointData.AddPoint(r);
        w.DBGrid1->Refresh();
        Pump(10);
    }
    QImage Picture()
    {
        QImage image(plan->size(), QImage::Format_RGB32);
        QPainter p(&image);
        plan->Render(p);
        return image;
    }
    std::vector<int32_t> GridRows() const
    {
        std::vector<int32_t> rows;
        for (const QModelIndex& i : w.DBGrid1->selectionModel()->selectedRows()) rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    QPoint At(int32_t row)
    {
        for (const PlanPoint& p : plan->Points().points)
            if (p.row == row) return plan->ToScreen(p).toPoint();
        ADD_FAILURE() << "row " << row << " is not drawn";
        return {};
    }
};
}  // namespace

TEST_F(PlanTest, KnownPointsLandOnTheirPixels)
{
    Load({{"1", "5020", "1050", "", "NE"},
          {"2", "4950", "950", "", "SW"},
          {"3", "5000", "1000", "", "MIDDLE"},
          {"4", "5010", "990", "", ""},
          {"5", "9000", "1000", "", "FAR NORTH"}});
    w.DBGrid1->clearSelection();  // the grid selects its current cell on a load
    plan->resize(300, 300);
    // One unit a pixel, 5000 N / 1000 E in the middle: easting right, northing up.
    plan->SetView(1000, 5000, 1.0);
    const QImage image = Picture();
    EXPECT_EQ(image.pixel(200, 130), kPointColour);  // 1050 E, 5020 N
    EXPECT_EQ(image.pixel(100, 200), kPointColour);  // 950 E, 4950 N
    EXPECT_EQ(image.pixel(150, 150), kPointColour);
    EXPECT_EQ(image.pixel(140, 140), kPointColour);
    EXPECT_NE(image.pixel(160, 160), kPointColour) << "nothing drawn where there is no point";

    // A point's tooltip: its label and its coordinates, as read or rounded.
    const struct {
        int decimals;
        QString tip;
    } tips[] = {{-1, "1  NE\nN 5020  E 1050"}, {2, "1  NE\nN 5020.00  E 1050.00"}};
    for (const auto& t : tips) {
        plan->SetDecimals(t.decimals);
        QHelpEvent help(QEvent::ToolTip, QPoint(200, 130), plan->mapToGlobal(QPoint(200, 130)));
        QApplication::sendEvent(plan, &help);
        EXPECT_EQ(QToolTip::text(), t.tip);
    }

    // The wheel zooms about the cursor; a drag moves the plan with the mouse.
    const QPointF cursor(200, 130);
    QWheelEvent wheel(cursor, plan->mapToGlobal(cursor), {}, {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plan, &wheel);
    EXPECT_DOUBLE_EQ(plan->PixelsPerUnit(), 1.25);
    EXPECT_NEAR(QLineF(plan->ToScreen(1050, 5020), cursor).length(), 0, 1e-9);
    QTest::mousePress(plan, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(plan, QPoint(130, 90));
    QTest::mouseRelease(plan, Qt::LeftButton, {}, QPoint(130, 90));
    EXPECT_NEAR(QLineF(plan->ToScreen(1050, 5020), cursor + QPointF(30, -10)).length(), 0, 1e-9);

    // Home fits every point, the far one too, inside the margin.
    plan->setFocus();
    QTest::keyClick(plan, Qt::Key_Home);
    for (const PlanPoint& p : plan->Points().points) {
        const QPointF s = plan->ToScreen(p);
        EXPECT_TRUE(QRectF(20, 20, 260, 260).contains(s)) << p.row;
    }
    const QImage fitted = Picture();
    EXPECT_EQ(fitted.pixel(At(4)), kFarColour) << "the far point has its own marker";
    EXPECT_EQ(w.Plan->StatusText(), "5 points drawn. 1 point lies far from the others (red ring): 5.");
}

TEST_F(PlanTest, SelectionIsSharedBothWays)
{
    std::vector<std::array<Cell, PointTable::TotCols>> rows;
    for (int i = 0; i < 5; ++i) rows.push_back({std::to_string(i + 1), 5000.0 + 10 * i, 1000.0 + 10 * i, "", ""});
    Load(rows);
    w.PointData.Set(ColNorthing, 6000, "5100");  // a row far down the grid
    w.PointData.Set(ColEasting, 6000, "1100");
    w.DBGrid1->Refresh();
    ASSERT_EQ(plan->Points().points.size(), 6u);

    // Grid to plan.
    auto* m = w.DBGrid1->Model();
    w.DBGrid1->selectionModel()->select(QItemSelection(m->index(1, 0), m->index(1, 4)),
                                        QItemSelectionModel::ClearAndSelect);
    w.DBGrid1->selectionModel()->select(m->index(3, 2), QItemSelectionModel::Select);
    EXPECT_EQ(plan->SelectedRows(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(Picture().pixel(At(3)), kSelectedColour);

    // A click on a point selects its row, makes it current and shows it.
    QTest::mouseClick(plan, Qt::LeftButton, {}, At(6000));
    EXPECT_EQ(GridRows(), (std::vector<int32_t>{6000}));
    EXPECT_EQ(w.DBGrid1->currentIndex().row(), 6000);
    EXPECT_TRUE(w.DBGrid1->viewport()->rect().intersects(w.DBGrid1->visualRect(m->index(6000, 0))));
    EXPECT_EQ(plan->SelectedRows(), (std::vector<int32_t>{6000}));

    // Ctrl adds a point; a box (Shift-drag) takes the points inside it.
    QTest::mouseClick(plan, Qt::LeftButton, Qt::ControlModifier, At(0));
    EXPECT_EQ(GridRows(), (std::vector<int32_t>{0, 6000}));
    const QPoint a = At(1) - QPoint(3, -3), b = At(2) + QPoint(3, -3);
    QTest::mousePress(plan, Qt::LeftButton, Qt::ShiftModifier, a);
    QTest::mouseMove(plan, b);
    QTest::mouseRelease(plan, Qt::LeftButton, Qt::ShiftModifier, b);
    EXPECT_EQ(GridRows(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(w.DBGrid1->currentIndex().row(), 1);

    // Typing after a click on a point goes to the grid's current cell.
    QTest::mouseClick(plan, Qt::LeftButton, {}, At(4));
    EXPECT_TRUE(w.DBGrid1->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
    EXPECT_TRUE(w.DBGrid1->Editing());
    EXPECT_EQ(w.DBGrid1->currentIndex().row(), 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

    // A click on nothing clears the selection.
    QTest::mouseClick(plan, Qt::LeftButton, {}, QPoint(plan->width() - 5, plan->height() / 2));
    EXPECT_TRUE(GridRows().empty());
}

TEST_F(PlanTest, FollowsEditsDeletesAndLoads)
{
    WriteBytes(dir.Path("site.crd"), CrdNumeric(4, {{5000, 1000, 1, "A"},
                                                    {5010, 1010, 1, "B"},
                                                    {5020, 1020, 1, "C"},
                                                    {5030, 1030, 1, "D"}}));
    w.CommonDialog1.SetAnswerer([this](const FileDialogRequest&) { return QString::fromStdString(dir.Path("site.crd")); });
    w.mnuOpen_Click();
    Pump(10);
    EXPECT_EQ(w.Plan->StatusText(), "4 points drawn.");

    // A slipped digit typed into the grid is flagged once the row is left.
    auto* m = w.DBGrid1->Model();
    m->setData(m->index(2, 1), "5920", Qt::EditRole);
    w.DBGrid1->Update();
    Pump(10);
    EXPECT_EQ(w.Plan->StatusText(), "4 points drawn. 1 point lies far from the others (red ring): 3.");
    m->setData(m->index(1, 2), "10l0", Qt::EditRole);
    w.DBGrid1->Update();
    Pump(10);
    EXPECT_EQ(w.Plan->StatusText(),
              "3 points drawn. 1 point lies far from the others (red ring): 3. "
              "1 row not drawn: point 2, easting not a number.");

    m->DeleteRows({2});
    Pump(10);
    EXPECT_EQ(w.Plan->StatusText(),
              "2 points drawn. 1 row not drawn: point 2, easting not a number.");
    EXPECT_EQ(plan->Points().points.back().row, 2) << "the rows after the deleted one moved up";
}

TEST_F(PlanTest, ShownOnRequestAndTheWindowIsAsBeforeOnceClosed)
{
    PointsWindow fresh;
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    const QSize client = fresh.ClientArea()->size();
    const QRect grid = fresh.DBGrid1->geometry();
    EXPECT_FALSE(fresh.Plan->isVisible());
    EXPECT_FALSE(fresh.mnuExportPlan->isEnabled());
    EXPECT_EQ(fresh.Plan->windowTitle(), "Plan");
    EXPECT_EQ(fresh.mnuPlan->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));

    const int width = fresh.width();
    fresh.mnuPlan->trigger();
    Pump(10);
    EXPECT_TRUE(fresh.Plan->isVisible());
    EXPECT_GT(fresh.width(), width) << "the window makes room for the plan";
    EXPECT_FALSE(fresh.Plan->isFloating());
    EXPECT_NEAR(fresh.Plan->width(), fresh.width() / 3, 12) << "a third of the window";
    EXPECT_TRUE(fresh.mnuExportPlan->isEnabled());
    fresh.Plan->close();
    Pump(10);
    EXPECT_FALSE(fresh.mnuPlan->isChecked());
    EXPECT_FALSE(fresh.mnuExportPlan->isEnabled());
    EXPECT_EQ(fresh.ClientArea()->size(), client);
    EXPECT_EQ(fresh.DBGrid1->geometry(), grid);
}

TEST_F(PlanTest, ExportsPngAndSvgAndSaysWhenItCannot)
{
    Load({{"1", "5000", "1000", "", "IP"}, {"2", "5010", "1010", "", "CP"}});
    const struct {
        std::string name;
        std::string starts;
    } cases[] = {{"plan.png", "\x89PNG"}, {"plan.SVG", "<?xml"}, {"plan", "\x89PNG"}};
    for (const auto& c : cases) {
        w.Plan->ExportDialog.SetAnswerer([&](const FileDialogRequest& req) {
            EXPECT_TRUE(req.confirmOverwrite);
            return QString::fromStdString(dir.Path(c.name));
        });
        w.mnuExportPlan->trigger();
        EXPECT_EQ(ReadBytes(dir.Path(c.name)).substr(0, c.starts.size()), c.starts) << c.name;
        EXPECT_EQ(w.StatusText(), QString::fromStdString("Plan saved to " + dir.Path(c.name)));
    }
    EXPECT_NE(ReadBytes(dir.Path("plan.SVG")).find("<svg"), std::string::npos);

    w.Plan->ExportDialog.SetAnswerer([&](const FileDialogRequest&) { return QString::fromStdString(dir.Path("no/such/plan.png")); });
    w.mnuExportPlan->trigger();
    EXPECT_TRUE(w.StatusText().startsWith("Export failed: cannot write the plan image " +
                                          QString::fromStdString(dir.Path("no/such/plan.png"))))
        << w.StatusText().toStdString();
}

TEST_F(PlanTest, FitKeepsEveryPointClearOfTheScaleBarAndTheArrow)
{
    // Points at the extremes under the scale bar (south-west) and the arrow
    // (north-east), in plans wide, tall and small.
    std::vector<std::array<Cell, PointTable::TotCols>> rows;
    for (int i = 0; i < 25; ++i)
        rows.push_back({std::to_string(i + 1), 5000.0 + 10 * (i / 5), 1000.0 + 10 * (i % 5), "100", "EP"});
    Load(rows);
    auto clearOfFurniture = [&](const char* what) {
        Picture();
        const QRectF bar = plan->ScaleBarBox(), arrow = plan->NorthArrowBox();
        EXPECT_FALSE(bar.isEmpty() || arrow.isEmpty()) << what;
        for (const PlanPoint& p : plan->Points().points) {
            const QPointF s = plan->ToScreen(p);
            const QRectF marker(s - QPointF(5, 5), s + QPointF(5, 5));
            EXPECT_FALSE(marker.intersects(bar) || marker.intersects(arrow)) << what << " row " << p.row;
        }
    };
    for (const QSize size : {QSize(420, 300), QSize(250, 500), QSize(160, 160)}) {
        plan->setFixedSize(size);
        plan->FitAll();
        clearOfFurniture("fitted");
        EXPECT_LT(plan->ScaleBarBox().left(), size.width() / 2) << "the bar stays bottom left";
        EXPECT_GT(plan->NorthArrowBox().left(), size.width() / 2) << "the arrow stays top right";
    }
    // Panned so that points lie in the arrow's corner: it moves to the next.
    plan->setFixedSize(300, 300);
    plan->SetView(1005, 5005, 5);
    clearOfFurniture("panned");
    EXPECT_LT(plan->NorthArrowBox().left(), 150);
    EXPECT_LT(plan->ScaleBarBox().left(), 150);
    EXPECT_GT(plan->ScaleBarBox().top(), 150);
    // Points in every corner: neither is drawn.
    plan->SetView(1020, 5020, 300 / 40.0);
    Picture();
    EXPECT_TRUE(plan->NorthArrowBox().isEmpty() && plan->ScaleBarBox().isEmpty());

    // A single point gets a sensible extent, not thousandths.
    Load({{"1", "5000", "1000", "", ""}});
    plan->FitAll();
    EXPECT_LT(plan->PixelsPerUnit(), 100);
}

TEST_F(PlanTest, ElevationBlundersAreFlaggedAndListed)
{
    std::vector<std::array<Cell, PointTable::TotCols>> rows;
    for (int i = 0; i < 16; ++i)
        rows.push_back({std::to_string(i + 1), 5000.0 + 10 * (i / 4), 1000.0 + 10 * (i % 4), 100 + 0.1 * i, ""});
    rows[5][ColElevation] = "9999";
    rows[9][ColElevation] = "0";
    rows[12][ColNorthing] = "5O30";
    Load(rows);
    w.DBGrid1->clearSelection();
    EXPECT_EQ(w.Plan->StatusText(),
              "15 points drawn. 2 elevations lie far from the others (purple diamonds): 6, 10. "
              "1 row not drawn: point 13, northing not a number.");
    const QImage image = Picture();
    auto purple = [&](QPoint c) {
        int n = 0;
        for (int y = -10; y <= 10; ++y)
            for (int x = -10; x <= 10; ++x) {
                const QColor p = image.pixelColor(c + QPoint(x, y));
                n += p.red() > 90 && p.green() < 80 && p.blue() > 110;
            }
        return n;
    };
    EXPECT_GT(purple(At(5)), 20) << "a diamond around the point";
    EXPECT_EQ(purple(At(4)), 0) << "none around the others";
}
