// The plan as assistive technology sees it: the point in focus follows the
// grid's current row, as long as that row is drawn.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include "app/points_window.h"
#include "gui_support.h"

using namespace tessaly;
using namespace tessaly::test;

TEST(PlanAccessible, ReportsThePointInFocus)
{
    PointsWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.PointData.Clear();
    w.PointData.AddPoint({"1", "5000", "1000", "12.5", "IP FOUND"});
    w.PointData.AddPoint({"", "5001.5", "1001", "", ""});
    w.PointData.AddPoint({"3", "N/A", "1002", "", ""});  // not drawn
    w.DBGrid1->Refresh();
    Pump(10);
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w.DBGrid1);
    EXPECT_EQ(grid->text(QAccessible::Name), QStringLiteral("Points"));
    EXPECT_EQ(grid->role(), QAccessible::Table);
    QAccessibleInterface* plan = QAccessible::queryAccessibleInterface(w.Plan->View());
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->role(), QAccessible::Canvas);
    EXPECT_EQ(plan->text(QAccessible::Name), QStringLiteral("Plan"));

    struct Case {
        int row;
        const char* name;  // nullptr: no point in focus
        const char* description;
    };
    for (const Case& c : {Case{0, "Point 1", "Northing 5000, easting 1000, elevation 12.5, description IP FOUND"},
                          Case{1, "Row 2", "Northing 5001.5, easting 1001"}, Case{2, nullptr, nullptr}}) {
        w.DBGrid1->GoTo(c.row, 2);
        Pump(10);
        SCOPED_TRACE(c.row);
        if (!c.name) {
            EXPECT_EQ(plan->childCount(), 0);
            continue;
        }
        ASSERT_EQ(plan->childCount(), 1);
        QAccessibleInterface* point = plan->child(0);
        EXPECT_EQ(point->text(QAccessible::Name), QString::fromUtf8(c.name));
        EXPECT_EQ(point->text(QAccessible::Description), QString::fromUtf8(c.description));
        EXPECT_EQ(point->parent(), plan);
        EXPECT_EQ(plan->indexOfChild(point), 0);
    }
}
