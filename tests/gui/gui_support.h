#pragma once
// Helpers for driving widgets in the GUI tests.
#include <QString>
#include <QWidget>
#include <functional>

namespace tessaly::test {

// Lets Qt handle events for MS milliseconds.
void Pump(int ms = 50);

// Waits (up to five seconds, while events run) until CONDITION holds.
bool WaitFor(const std::function<bool()>& condition, int ms = 5000);

// Acts on the next modal window that is not PREVIOUS once it is shown. Used
// to answer a dialog that a command is about to open and wait for.
void WhenModalShown(const std::function<void(QWidget*)>& act, QWidget* previous = nullptr);

// Types NAME into a file dialog's name field and presses Return.
void TypeIntoFileDialog(QWidget* dialog, const QString& name);

}  // namespace tessaly::test
