// Tessaly: opens survey point files, shows the points in a grid and saves
// them as ASCII PNEZD, delimited text, LandXML or DXF.
//   tessaly [FILE...]   opens the first FILE at start, as File, Open would
//   tessaly --help | --version
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/points_window.h"

namespace {

const char kUsage[] =
    "Usage: tessaly [FILE]\n"
    "\n"
    "Opens the Tessaly window: the points of a survey point file in an editable\n"
    "grid, saved as ASCII PNEZD, delimited text, LandXML or DXF. FILE is opened\n"
    "at start the way File, Open opens it (the reader is chosen by the ending of\n"
    "the name and, for text and XML names, by the content); of several files\n"
    "only the first is opened.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Without a display, convert files with tessaly-convert or run the window\n"
    "on a virtual display with xvfb-run.\n";

const char kNoDisplay[] =
    "tessaly: no display to show the window on (no X11 or Wayland session); convert files with "
    "tessaly-convert INPUT OUTPUT.asc, or run the window on a virtual display: xvfb-run tessaly [FILE]\n";

bool Set(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && arg == "--version") {
            std::printf("tessaly %s\n", TESSALY_VERSION);
            return 0;
        } else {
            files.emplace_back(arg);
        }
    }
    // Qt would abort with advice to reinstall; say what can be done instead.
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }

    // Only the program's name reaches Qt: nothing else on the command line
    // changes what the program does.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    tessaly::PointsWindow window;
    window.show();
    // Once the window is up, so that a question about the file (its columns,
    // a failed load) appears over it.
    QTimer::singleShot(0, &window, [&window, files] { window.OpenFirstFile(files); });
    return app.exec();
}
