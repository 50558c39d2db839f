#pragma once
// The plan beside the grid: a dock titled "Plan" on the right of the main
// window, hidden until View, Plan shows it, docked, a third of the window's
// width. Showing it widens the window by half (as far as the screen allows)
// and closing it gives the width back, so that the grid keeps its room. File, Export Plan Image saves
// the plan as it is shown, as PNG or SVG.
#include <QDockWidget>

#include "qt/file_dialog.h"
#include "app/plan_view.h"

class QAction;
class QLabel;
class QMainWindow;

namespace tessaly {

class PlanDock : public QDockWidget {
    Q_OBJECT
public:
    // The dock's toggle action (toggleViewAction) is View, Plan: it gets its
    // text and shortcut here. EXPORTIMAGE is enabled while the plan is shown.
    PlanDock(QMainWindow* window, const PointTable& table, QAbstractItemView* grid, QAction* exportImage);

    PlanView* View() const { return view_; }
    // The line under the plan: points drawn, far points, rows not drawn.
    QString StatusText() const;

    // The save dialog of the export, kept apart from the one of File, Save.
    FileDialog ExportDialog;
    void ExportImage_Click();

signals:
    // What an export did, for the window's status bar.
    void Message(const QString& text);

private:
    void Shown(bool on);
    void Widen();

    QMainWindow* window_;
    PlanView* view_;
    QLabel* status_;
    QAction* export_;
    // The window's size before the plan widened it, and the size it was given.
    bool widened_ = false;
    bool shownBefore_ = false;
    QSize before_, widenedTo_;
};

}  // namespace tessaly
