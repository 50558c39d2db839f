#pragma once
// The window's language: its own German translation (built into the program)
// and Qt's for its standard dialogs and buttons, chosen by the desktop's
// locale. The C and POSIX locales, and languages without a translation,
// keep the English texts.
#include <QLocale>

namespace tessaly {

// Installs the translators for LOCALE into the application; returns true
// when the window's own translation was found. Call once, after the
// QApplication exists and before the window is made.
bool InstallTranslations(const QLocale& locale = QLocale::system());

}  // namespace tessaly
