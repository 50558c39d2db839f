#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tessaly {

bool InstallTranslations(const QLocale& locale)
{
    // Qt's list of the user's languages also takes LANGUAGE into account,
    // which must not override a C locale chosen on purpose (scripts, tests).
    if (locale.language() == QLocale::C) return false;
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    auto* own = new QTranslator(QCoreApplication::instance());
    if (!own->load(locale, QStringLiteral("tessaly"), QStringLiteral("_"), QStringLiteral(":/tessaly/translations")))
        return false;
    QCoreApplication::installTranslator(own);
    return true;
}

}  // namespace tessaly
