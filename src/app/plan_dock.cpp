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
    : QDockWidget(QStringLiteral("Plan"), window),
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
    show->setText(QStringLiteral("&Plan"));
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
    if (on && !widened_ && !isFloating() && !(window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        before_ = window_->size();
        const QRect screen = window_->screen()->availableGeometry();
        const int frame = window_->frameGeometry().width() - window_->width();
        const int wanted = view_->sizeHint().width();
        const int width = std::max(before_.width(), std::min(before_.width() + wanted, screen.width() - frame));
        window_->resize(width, before_.height());
        if (window_->frameGeometry().right() > screen.right())
            window_->move(std::max(screen.left(), screen.right() + 1 - window_->frameGeometry().width()), window_->y());
        window_->resizeDocks({this}, {std::max(wanted / 2, width - before_.width())}, Qt::Horizontal);
        widenedTo_ = window_->size();
        widened_ = true;
    } else if (!on && widened_) {
        // Unless the user has sized the window since, it goes back to the
        // width it had.
        if (window_->size() == widenedTo_) window_->resize(before_);
        widened_ = false;
    }
}

void PlanDock::ExportImage_Click()
{
    ExportDialog.CancelError = true;
    try {
        ExportDialog.Filter = "PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg|";
        ExportDialog.Flags = FileDialog::OverwritePrompt;
        ExportDialog.ShowSave();
        const QString name = QFile::decodeName(QByteArray::fromStdString(ExportDialog.FileName));
        if (name.isEmpty()) return;
        view_->ExportImage(name);
        emit Message(QStringLiteral("Plan saved to %1").arg(name));
    } catch (const DialogCancelled&) {
        // Cancel ends the command; nothing is written.
    } catch (const std::exception& e) {
        emit Message(QStringLiteral("Export failed: %1").arg(QFile::decodeName(e.what())));
    }
}

}  // namespace tessaly
