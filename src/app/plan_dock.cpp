#include "app/plan_dock.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QVBoxLayout>
#include <exception>

namespace tessaly {

PlanDock::PlanDock(QMainWindow* window, const PointTable& table, QAbstractItemView* grid, QAction* exportImage)
    : QDockWidget(tr("Plan"), window),
      ExportDialog(window),
      window_(window),
      view_(new PlanView),
      status_(new QLabel),
      export_(exportImage)
{
    setObjectName(QStringLiteral("Plan"));
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(view_, 1);
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setContentsMargins(4, 0, 4, 2);
    layout->addWidget(status_);
    setWidget(body);
    connect(view_, &PlanView::StatusChanged, status_, &QLabel::setText);
    view_->SetSource(&table, grid);

    window->addDockWidget(Qt::RightDockWidgetArea, this);
    hide();

    QAction* show = toggleViewAction();
    show->setText(tr("&Plan"));
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(show, &QAction::toggled, this, &PlanDock::Shown);
    export_->setEnabled(false);
    connect(export_, &QAction::triggered, this, &PlanDock::ExportImage_Click);
    // A plan floated off the window needs no room in it.
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool floating) {
        if (floating && widened_ && window_->size() == widenedTo_) window_->resize(before_);
        if (floating) widened_ = false;
    });
}

QString PlanDock::StatusText() const { return status_->text(); }

void PlanDock::Shown(bool on)
{
    export_->setEnabled(on);
    if (on) {
        // The first showing is docked, whatever the window system made of it.
        if (!shownBefore_ && isFloating()) setFloating(false);
        shownBefore_ = true;
        if (isFloating()) return;
        if (!widened_ && !(window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) Widen();
        window_->resizeDocks({this}, {window_->width() / 3}, Qt::Horizontal);
    } else if (widened_) {
        // Unless the user has sized the window since, it goes back to the
        // width it had.
        if (window_->size() == widenedTo_) window_->resize(before_);
        widened_ = false;
    }
}

// The window grows by half its width, as far as the screen allows: the plan
// then takes a third of it and the grid keeps its room.
void PlanDock::Widen()
{
    before_ = window_->size();
    const QRect screen = window_->screen()->availableGeometry();
    const int frame = window_->frameGeometry().width() - window_->width();
    const int width = std::max(before_.width(), std::min(before_.width() * 3 / 2, screen.width() - frame));
    window_->resize(width, before_.height());
    if (window_->frameGeometry().right() > screen.right())
        window_->move(std::max(screen.left(), screen.right() + 1 - window_->frameGeometry().width()), window_->y());
    widenedTo_ = window_->size();
    widened_ = true;
}

void PlanDock::ExportImage_Click()
{
    ExportDialog.CancelError = true;
    try {
        ExportDialog.Filter = tr("PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg|").toStdString();
        ExportDialog.Flags = FileDialog::OverwritePrompt;
        ExportDialog.ShowSave();
        const QString name = QFile::decodeName(QByteArray::fromStdString(ExportDialog.FileName));
        if (name.isEmpty()) return;
        view_->ExportImage(name);
        emit Message(tr("Plan saved to %1").arg(name));
    } catch (const DialogCancelled&) {
        // Cancel ends the command; nothing is written.
    } catch (const std::exception& e) {
        emit Message(tr("Export failed: %1").arg(QFile::decodeName(e.what())));
    }
}

}  // namespace tessaly
