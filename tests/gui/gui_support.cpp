#include "gui_support.h"

#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QTest>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

namespace tessaly::test {

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    do QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (t.elapsed() < ms);
}

bool WaitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void WhenModalShown(const std::function<void(QWidget*)>& act, QWidget* previous)
{
    auto* timer = new QTimer(qApp);
    QPointer<QWidget> before = previous;
    QElapsedTimer* age = new QElapsedTimer;
    age->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && modal != before.data() && modal->isVisible();
        if (!found && age->elapsed() < 10000) return;
        timer->stop();
        timer->deleteLater();
        delete age;
        if (!found) return;
        // A dialog the test failed to close is closed for it, so that the
        // test fails instead of waiting for ever.
        QPointer<QWidget> guard = modal;
        QTimer::singleShot(5000, qApp, [guard] {
            if (auto* dialog = qobject_cast<QDialog*>(guard.data()); dialog && dialog->isVisible()) dialog->reject();
        });
        act(modal);
    });
    timer->start();
}

void TypeIntoFileDialog(QWidget* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit) return;
    // The dialog reads its folder in the background and, once it has, puts
    // the name it offers back into the field: wait for that, as a user would.
    if (auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
        WaitFor([list] { return list->model()->rowCount(list->rootIndex()) > 0; }, 3000);
        Pump(50);
    }
    // Typed over the name offered; an empty field would select the folder.
    edit->selectAll();
    QTest::keyClicks(edit, name);
    // The name completer's list would take the Return key for itself.
    if (edit->completer() && edit->completer()->popup()) edit->completer()->popup()->hide();
    // The dialog reads its folder in the background and enables its button
    // once it has seen the file.
    if (auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        QPushButton* ok = box->button(QDialogButtonBox::Open);
        if (!ok) ok = box->button(QDialogButtonBox::Save);
        if (ok) WaitFor([ok] { return ok->isEnabled(); }, 3000);
    }
    QTest::keyClick(edit, Qt::Key_Return);
}

}  // namespace tessaly::test
