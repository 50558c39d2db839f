// locale_save POINTS OUT.asc: opens POINTS and saves it to OUT.asc through
// the window's File menu, in the language the environment chooses (as the
// program does), then prints the menu bar's titles and the status line.
#include <QApplication>
#include <QFileInfo>
#include <QMenuBar>
#include <cstdio>
#include <optional>

#include "app/points_window.h"
#include "app/translations.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: locale_save POINTS OUT.asc\n", stderr);
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    tessaly::InstallTranslations();
    const QString in = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    tessaly::PointsWindow window;
    window.CommonDialog1.SetAnswerer([&](const tessaly::FileDialogRequest& request) {
        return std::optional(request.kind == tessaly::FileDialogRequest::Open ? in : out);
    });
    window.mnuOpen->trigger();
    window.mnuSave->trigger();
    for (const QAction* menu : window.menuBar()->actions()) std::printf("%s\n", qPrintable(menu->text()));
    std::printf("%s\n", qPrintable(window.StatusText()));
    return 0;
}
