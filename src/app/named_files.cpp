// Files named outside the Open dialog: on the command line at start, or
// dropped on the window from a file manager.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "app/points_window.h"

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

}  // namespace tessaly
