#pragma once
// A database load runs in a reader process of its own; while the window
// waits for it, this keeps the window painting and, once the wait has lasted
// half a second, shows a progress dialog whose Cancel stops the reader (the
// load then fails as any failed load does).
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include "platform/database/database_control.h"

namespace tessaly {

class LoadProgress {
public:
    explicit LoadProgress(QWidget* parent);
    ~LoadProgress();
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

private:
    bool Tick();

    QWidget* parent_;
    QElapsedTimer clock_;
    QPointer<QProgressDialog> dialog_;
    DatabaseWaitHook hook_;
};

}  // namespace tessaly
