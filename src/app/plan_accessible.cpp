#include "app/plan_accessible.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <algorithm>
#include <optional>
#include <vector>

#include "app/plan_view.h"
#include "platform/text/text_rules.h"
#include "qt/ansi_text.h"

namespace tessaly {

namespace {

// The index into the plan's points of the drawn point of ROW, if any.
std::optional<size_t> PointOfRow(PlanView& view, int32_t row)
{
    const auto& points = view.Points().points;
    // Points are in row order.
    const auto at = std::lower_bound(points.begin(), points.end(), row,
                                     [](const PlanPoint& p, int32_t r) { return p.row < r; });
    if (at == points.end() || at->row != row) return std::nullopt;
    return static_cast<size_t>(at - points.begin());
}

QString CellOf(const PointTable& table, int16_t column, int32_t row)
{
    return TableTextToQString(TrimBlanks(CellText(table.Get(column, row))));
}

class PlanPointAccessible : public QAccessibleInterface {
public:
    explicit PlanPointAccessible(const PlanAccessible* plan) : plan_(plan) {}

    bool isValid() const override { return plan_->isValid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return plan_->window(); }
    QAccessibleInterface* parent() const override { return const_cast<PlanAccessible*>(plan_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Graphic; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override
    {
        const int32_t row = plan_->FocusRow();
        const PointTable* table = plan_->View()->Table();
        if (row < 0 || !table || row >= table->AllocatedRows()) return {};
        if (t == QAccessible::Name) {
            const QString number = CellOf(*table, ColPoint, row);
            if (number.isEmpty()) return QCoreApplication::translate("tessaly::PlanView", "Row %1").arg(row + 1);
            return QCoreApplication::translate("tessaly::PlanView", "Point %1").arg(number);
        }
        if (t != QAccessible::Description) return {};
        QString text = QCoreApplication::translate("tessaly::PlanView", "Northing %1, easting %2")
                           .arg(CellOf(*table, ColNorthing, row), CellOf(*table, ColEasting, row));
        if (const QString z = CellOf(*table, ColElevation, row); !z.isEmpty())
            text += QCoreApplication::translate("tessaly::PlanView", ", elevation %1").arg(z);
        if (const QString d = CellOf(*table, ColDescription, row); !d.isEmpty())
            text += QCoreApplication::translate("tessaly::PlanView", ", description %1").arg(d);
        return text;
    }

    QRect rect() const override
    {
        PlanView* view = plan_->View();
        const auto i = PointOfRow(*view, plan_->FocusRow());
        if (!i) return {};
        const QPoint at = view->mapToGlobal(view->ToScreen(view->Points().points[*i]).toPoint());
        return {at.x() - 4, at.y() - 4, 9, 9};
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        PlanView* view = plan_->View();
        const int32_t row = plan_->FocusRow();
        s.focusable = true;
        s.selectable = true;
        s.focused = row >= 0 && view->hasFocus();
        const std::vector<int32_t> selected = view->SelectedRows();
        s.selected = std::binary_search(selected.begin(), selected.end(), row);
        s.invisible = !view->isVisible() || !view->rect().contains(view->mapFromGlobal(rect().center()));
        return s;
    }

private:
    const PlanAccessible* plan_;
};

QAccessibleInterface* PlanFactory(const QString&, QObject* object)
{
    if (auto* view = qobject_cast<PlanView*>(object)) return new PlanAccessible(view);
    return nullptr;
}

}  // namespace

void InstallPlanAccessible()
{
    static const bool installed = (QAccessible::installFactory(PlanFactory), true);
    (void)installed;
}

void PlanFocusMoved(PlanView* view)
{
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* plan = QAccessible::queryAccessibleInterface(view);
    if (!plan || plan->childCount() == 0) return;  // no point in focus
    // The child stands for whichever point is in focus: its name and
    // description change with it.
    for (const QAccessible::Event type : {QAccessible::NameChanged, QAccessible::DescriptionChanged}) {
        QAccessibleEvent event(view, type);
        event.setChild(0);
        QAccessible::updateAccessibility(&event);
    }
    if (view->hasFocus()) {
        QAccessibleEvent focus(view, QAccessible::Focus);
        focus.setChild(0);
        QAccessible::updateAccessibility(&focus);
    }
}

PlanAccessible::PlanAccessible(PlanView* view) : QAccessibleWidget(view, QAccessible::Canvas) {}

PlanAccessible::~PlanAccessible()
{
    if (point_) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(point_));
}

PlanView* PlanAccessible::View() const { return static_cast<PlanView*>(widget()); }

QString PlanAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
        return QCoreApplication::translate("tessaly::PlanView", "Plan");
    if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty())
        return QCoreApplication::translate("tessaly::PlanView", "The points drawn to scale, north up. The point in "
                                                                "focus is the grid's current row.");
    return QAccessibleWidget::text(t);
}

int32_t PlanAccessible::FocusRow() const
{
    PlanView* view = View();
    if (QAbstractItemView* grid = view->Grid()) {
        const QModelIndex current = grid->currentIndex();
        if (current.isValid() && PointOfRow(*view, current.row())) return current.row();
    }
    const std::vector<int32_t> selected = view->SelectedRows();
    return selected.empty() ? -1 : selected.front();
}

int PlanAccessible::childCount() const { return FocusRow() >= 0 ? 1 : 0; }

QAccessibleInterface* PlanAccessible::child(int index) const
{
    if (index != 0 || FocusRow() < 0) return nullptr;
    if (!point_) {
        point_ = new PlanPointAccessible(this);
        QAccessible::registerAccessibleInterface(point_);
    }
    return point_;
}

int PlanAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return child && child == point_ && FocusRow() >= 0 ? 0 : -1;
}

QAccessibleInterface* PlanAccessible::focusChild() const { return View()->hasFocus() ? child(0) : nullptr; }

QAccessibleInterface* PlanAccessible::childAt(int x, int y) const
{
    QAccessibleInterface* point = child(0);
    return point && point->rect().contains(x, y) ? point : nullptr;
}

}  // namespace tessaly
