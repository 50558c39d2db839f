// Files named outside the Open dialog: on the command line at start,
// dropped on the window from a file manager, or chosen from File, Recent
// Files.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "app/points_window.h"
#include "app/recent_files.h"

namespace tessaly {

namespace {
// The local files among the dropped items, in their order.
std::vector<std::string> LocalFiles(const QMimeData* data)
{
    std::vector<std::string> names;
    if (!data || !data->hasUrls()) return names;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return names;
}
}  // namespace

void PointsWindow::OpenNamedFile(const std::string& name)
{
    // A relative name means the folder the program was started in.
    std::error_code ec;
    std::filesystem::path full = name.empty() ? std::filesystem::path() : std::filesystem::absolute(name, ec);
    const std::string path = ec || full.empty() ? name : full.string();
    // Unsaved changes are asked about first, as File, Open does.
    if (!MayDiscardChanges()) return;
    // The next Open dialog offers it, as after File, Open.
    CommonDialog1.FileName = path;
    OpenFile(path);
}

void PointsWindow::OpenFirstFile(const std::vector<std::string>& names)
{
    if (names.empty()) return;
    OpenNamedFile(names.front());
    if (names.size() == 1) return;
    QStringList others;
    for (size_t i = 1; i < names.size(); ++i)
        others << QFileInfo(QFile::decodeName(QByteArray::fromStdString(names[i]))).fileName();
    ShowStatus(tr("%1; not opened (one file at a time): %2").arg(StatusText(), others.join(", ")));
}

void PointsWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
    else event->ignore();
}

void PointsWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> names = LocalFiles(event->mimeData());
    if (names.empty()) return;
    event->acceptProposedAction();
    // Opened once the drop is over, so that the file manager is not kept
    // waiting while the file loads.
    QTimer::singleShot(0, this, [this, names = std::move(names)] { OpenFirstFile(names); });
}

void PointsWindow::BuildRecentFilesMenu()
{
    mnuRecent = new QMenu(tr("Recent &Files"), this);
    mnuRecent->setToolTipsVisible(true);
    mnuFile->insertMenu(mnuSave, mnuRecent);
    // Read again each time, so that another Tessaly's files show too.
    connect(mnuFile, &QMenu::aboutToShow, this, &PointsWindow::FillRecentFilesMenu);
    FillRecentFilesMenu();
}

void PointsWindow::FillRecentFilesMenu()
{
    mnuRecent->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        // A long path keeps its start and its file name.
        const QFontMetrics fm = mnuRecent->fontMetrics();
        QString shown = fm.elidedText(path, Qt::ElideMiddle, 60 * fm.averageCharWidth());
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a = mnuRecent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        a->setToolTip(path);
        connect(a, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
    }
    mnuRecent->setEnabled(!files.isEmpty());
}

void PointsWindow::OpenRecentFile(const QString& path)
{
    // Nothing is given up for a file that is not there.
    if (!QFileInfo::exists(path)) {
        ForgetRecentFile(path);
        FillRecentFilesMenu();
        ShowFailure(tr("Not opened: %1 no longer exists; it is taken off Recent Files").arg(path));
        return;
    }
    OpenNamedFile(QFile::encodeName(path).toStdString());
}

}  // namespace tessaly
