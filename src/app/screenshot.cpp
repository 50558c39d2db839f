// tessaly-screenshot POINTFILE PICTURE.png
//
// A driver for the README picture, not part of the program: it starts the
// window, opens POINTFILE through File, Open (the dialog answered with that
// name), lets the grid paint and saves a picture of the window.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "app/points_window.h"

namespace {
void Settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: tessaly-screenshot POINTFILE PICTURE.png\n", stderr);
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const QString file = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString picture = QString::fromLocal8Bit(argv[2]);

    tessaly::PointsWindow window;
    window.CommonDialog1.SetAnswerer([file](const tessaly::FileDialogRequest&) { return std::optional(file); });
    window.show();
    Settle(300);
    window.mnuOpen->trigger();
    Settle(300);
    if (!window.grab().save(picture)) {
        std::fprintf(stderr, "tessaly-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", qPrintable(window.StatusText()));
    return 0;
}
