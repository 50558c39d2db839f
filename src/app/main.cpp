// Tessaly: opens survey point files, shows the points in a grid and saves
// them as ASCII PNEZD text. The program takes no arguments.
#include <QApplication>

#include "app/points_window.h"

int main(int /*argc*/, char** argv)
{
    // Only the program's name reaches Qt: nothing on the command line
    // changes what the program does.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    tessaly::PointsWindow window;
    window.show();
    return app.exec();
}
