// View, Decimals: how many decimals the coordinates are shown with.
#include <QActionGroup>
#include <QMenu>

#include "app/points_window.h"
#include "app/recent_files.h"

namespace tessaly {

void PointsWindow::BuildDecimalsMenu()
{
    mnuDecimals = mnuView->addMenu(tr("&Decimals"));
    auto* group = new QActionGroup(mnuDecimals);
    for (int places = -1; places <= kMostDecimals; ++places) {
        QAction* a = mnuDecimals->addAction(places < 0 ? tr("&As read") : QStringLiteral("&%1").arg(places));
        a->setCheckable(true);
        a->setData(places);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, places] { SetDecimals(places); });
    }
    SetDecimals(ShownDecimals());
}

int PointsWindow::Decimals() const { return DBGrid1->Model()->Decimals(); }

void PointsWindow::SetDecimals(int places)
{
    if (places < -1 || places > kMostDecimals) places = -1;
    for (QAction* a : mnuDecimals->actions()) a->setChecked(a->data().toInt() == places);
    if (places != ShownDecimals()) RememberShownDecimals(places);
    DBGrid1->Model()->SetDecimals(places);
    Plan->View()->SetDecimals(places);
    FitNumbers(0, PointData.AllocatedRows());
}

}  // namespace tessaly
