#pragma once
// What assistive technology (screen readers, magnifiers) learns about the
// plan. The plan is a drawing named "Plan"; its one child is the point in
// focus: the grid's current row when that row is drawn, else the first
// selected point drawn. The child's name is the point number and its
// description the coordinates, elevation and description as the table holds
// them; without such a point the plan has no child.
#include <QAccessibleWidget>
#include <cstdint>

namespace tessaly {

class PlanView;

// Makes Qt give every PlanView the interface below; safe to call again.
void InstallPlanAccessible();
// Tells assistive technology that the point in focus (or what it holds) may
// have changed.
void PlanFocusMoved(PlanView* view);

class PlanAccessible : public QAccessibleWidget {
public:
    explicit PlanAccessible(PlanView* view);
    ~PlanAccessible() override;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    PlanView* View() const;
    // The table row of the point in focus, or -1.
    int32_t FocusRow() const;

private:
    // Made on first request and kept: one object that always stands for the
    // point in focus, whichever it is.
    mutable QAccessibleInterface* point_ = nullptr;
};

}  // namespace tessaly
