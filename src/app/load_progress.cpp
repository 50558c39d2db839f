#include "app/load_progress.h"

#include <QCoreApplication>

namespace tessaly {

namespace {
constexpr qint64 kShowAfterMs = 500;
}

LoadProgress::LoadProgress(QWidget* parent) : parent_(parent), hook_([this] { return Tick(); }) { clock_.start(); }

LoadProgress::~LoadProgress() { delete dialog_.data(); }

bool LoadProgress::Tick()
{
    if (!dialog_ && clock_.elapsed() >= kShowAfterMs) {
        // No range: a busy indicator, for the reader does not say how far
        // it has come. Application-modal, so that no command of the window
        // can start while the load is still running.
        dialog_ = new QProgressDialog(QCoreApplication::translate("LoadProgress", "Reading the database..."),
                                      QCoreApplication::translate("LoadProgress", "Cancel"), 0, 0, parent_);
        dialog_->setWindowTitle(QCoreApplication::translate("LoadProgress", "Open"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
    }
    // Before the dialog is up the window only repaints: a click must not
    // start another command in the middle of this one.
    QCoreApplication::processEvents(dialog_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !(dialog_ && dialog_->wasCanceled());
}

}  // namespace tessaly
