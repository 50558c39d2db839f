#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include "app/crs_dialog.h"
#include "app/points_window.h"
#include "gui_support.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {

double Number(const PointTable& table, int16_t col)
{
    return std::get<double>(table.Get(col, 0));
}

// Edit, Coordinate System: a CRS found by its code, the points transformed
// to it as one undo step; undo brings the state-plane points and CRS back.
TEST(CrsDialog, TransformsThePointsAsOneUndoStep)
{
    PointsWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.PointData.AddPoint({Cell(std::string("1")), Cell(172921.880868694), Cell(979475.050077194), Cell(), Cell()});
    w.PointData.SetCrs("EPSG:2263");
    w.DBGrid1->Refresh();
    QAction* command = nullptr;
    for (QAction* a : w.mnuEdit->actions())
        if (a->text().startsWith(QStringLiteral("Coordinate"))) command = a;
    ASSERT_NE(command, nullptr);
    WhenModalShown([](QWidget* modal) {
        auto* dialog = qobject_cast<CrsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("32618"));
        auto* list = dialog->findChild<QTreeWidget*>();
        ASSERT_TRUE(WaitFor([list] { return list->currentItem() && list->currentItem()->text(0) == "EPSG:32618"; }));
        dialog->findChild<QCheckBox*>()->setChecked(true);
        dialog->accept();
    });
    command->trigger();
    EXPECT_EQ(w.PointData.Crs(), "EPSG:32618");
    EXPECT_NEAR(Number(w.PointData, ColEasting), 583101.61, 0.01);
    EXPECT_TRUE(w.isWindowModified());
    w.mnuUndo->trigger();
    EXPECT_EQ(w.PointData.Crs(), "EPSG:2263");
    EXPECT_EQ(Number(w.PointData, ColEasting), 979475.050077194);
}

TEST(CrsDialog, PlanPositionInLatitudeAndLongitude)
{
    PointTable table;
    EXPECT_EQ(LatLonText(table, 979475.050077194, 172921.880868694), "");
    table.SetCrs("EPSG:2263");
    EXPECT_EQ(LatLonText(table, 979475.050077194, 172921.880868694), QStringLiteral("40.6413059° N, 74.0172055° W"));
}

}  // namespace
