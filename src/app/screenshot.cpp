// tessaly-screenshot POINTFILE PICTURE.png [--plan]
//
// A driver for the README pictures, not part of the program: it starts the
// window, opens POINTFILE through File, Open (the dialog answered with that
// name). Without --plan it types a text elevation into the second row
// (marked as not a number, and the table is modified), shows that cell's
// tooltip and saves a picture of the screen area of the window. With --plan
// it first shows the plan (View, Plan), selects the grid's rows 2 to 4 and
// saves a picture of the window.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <optional>
#include <string_view>

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
    const bool plan = argc == 4 && std::string_view(argv[3]) == "--plan";
    if (argc != 3 && !plan) {
        std::fputs("usage: tessaly-screenshot POINTFILE PICTURE.png [--plan]\n", stderr);
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
    if (plan) window.mnuPlan->trigger();
    window.mnuOpen->trigger();
    Settle(300);
    if (plan) {
        window.Plan->View()->SelectRows({1, 2, 3}, false);
        Settle(300);
        std::printf("%s\n", qPrintable(window.Plan->StatusText()));
        if (!window.grab().save(picture)) {
            std::fprintf(stderr, "tessaly-screenshot: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    // An elevation typed with its unit: text, not a number.
    tessaly::UnboundGrid* grid = window.DBGrid1;
    const QModelIndex cell = grid->Model()->index(1, 3);
    grid->GoTo(1, 3);
    grid->Model()->setData(cell, QStringLiteral("100.914 ft"), Qt::EditRole);
    grid->GoTo(2, 3);
    Settle(200);
    const QRect at = grid->visualRect(cell);
    QToolTip::showText(grid->viewport()->mapToGlobal(at.center()), grid->Model()->data(cell, Qt::ToolTipRole).toString(),
                       grid->viewport(), at);
    Settle(500);
    const QRect frame = window.frameGeometry();
    if (!window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(picture)) {
        std::fprintf(stderr, "tessaly-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", qPrintable(window.StatusText()));
    return 0;
}
