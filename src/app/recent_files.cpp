#include "app/recent_files.h"

#include <QFileInfo>
#include <algorithm>

namespace tessaly {

namespace {
const QString kRecentKey = QStringLiteral("recentFiles");
const QString kDecimalsKey = QStringLiteral("view/decimals");

// One entry per file, however it was named.
QString Key(const QString& path) { return QFileInfo(path).absoluteFilePath(); }
}  // namespace

std::unique_ptr<QSettings> UserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tessaly"),
                                       QStringLiteral("tessaly"));
}

QStringList RecentFiles()
{
    QStringList files = UserSettings()->value(kRecentKey).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    return files.mid(0, kRecentFiles);
}

void RememberRecentFile(const QString& path)
{
    if (path.isEmpty()) return;
    const QString key = Key(path);
    QStringList files = RecentFiles();
    files.removeIf([&](const QString& f) { return Key(f) == key; });
    files.prepend(key);
    UserSettings()->setValue(kRecentKey, files.mid(0, kRecentFiles));
}

void ForgetRecentFile(const QString& path)
{
    const QString key = Key(path);
    QStringList files = RecentFiles();
    if (files.removeIf([&](const QString& f) { return Key(f) == key; }) > 0) UserSettings()->setValue(kRecentKey, files);
}

int ShownDecimals()
{
    bool ok = false;
    const int places = UserSettings()->value(kDecimalsKey, -1).toInt(&ok);
    return ok && places >= -1 && places <= kMostDecimals ? places : -1;
}

void RememberShownDecimals(int places) { UserSettings()->setValue(kDecimalsKey, places); }

}  // namespace tessaly
