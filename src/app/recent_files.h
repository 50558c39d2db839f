#pragma once
// What the window remembers between runs, in the user's configuration
// (~/.config/tessaly/tessaly.conf): the files opened last and the decimals
// the coordinates are shown with.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace tessaly {

std::unique_ptr<QSettings> UserSettings();

// The files opened last, newest first, at most kRecentFiles.
constexpr int kRecentFiles = 8;
QStringList RecentFiles();
// Puts PATH first, once.
void RememberRecentFile(const QString& path);
void ForgetRecentFile(const QString& path);

// The decimals the grid and the plan show coordinates with; -1: as read.
constexpr int kMostDecimals = 4;
int ShownDecimals();
void RememberShownDecimals(int places);

}  // namespace tessaly
