// The Help menu: About Tessaly.
#include <QMessageBox>

#include "app/points_window.h"

namespace tessaly {

namespace {
// The formats the program reads and writes, as the About box lists them.
constexpr const char* kReads[] = {
    "Autodesk LDD point databases (*.mdb)",
    "Marrowby COGO points (*.coo)",
    "Orvelle coordinate files (*.crd)",
    "Orvelle grid files (*.grd)",
    "TDS coordinate files (*.cr5)",
    "Surveyor One coordinate files (any other name)",
};
constexpr const char* kWrites[] = {"ASCII PNEZD (*.asc)"};

// The licence Tessaly is distributed under: none has been declared yet.
constexpr char kLicence[] = "not declared yet";
}  // namespace

QString PointsWindow::AboutText()
{
    QString text = QStringLiteral("Tessaly %1\n\nMoves survey points between file formats.\n\nReads:\n")
                       .arg(QStringLiteral(TESSALY_VERSION));
    for (const char* f : kReads) text += QStringLiteral("  %1\n").arg(QString::fromUtf8(f));
    text += QStringLiteral("\nWrites:\n");
    for (const char* f : kWrites) text += QStringLiteral("  %1\n").arg(QString::fromUtf8(f));
    text += QStringLiteral("\nLicence: %1").arg(QString::fromUtf8(kLicence));
    return text;
}

void PointsWindow::mnuAbout_Click()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("About Tessaly"), AboutText(), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.exec();
}

}  // namespace tessaly
