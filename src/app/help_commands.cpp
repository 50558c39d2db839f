// The Help menu: About Tessaly.
#include <QCoreApplication>
#include <QMessageBox>

#include "app/points_window.h"
#include "formats/formats.h"

namespace tessaly {

namespace {
// One line of the About box: "Orvelle grid files (*.grd)".
QString FormatLine(const Format& format)
{
    const std::string patterns = Patterns(format);
    const QString where = patterns == "*" ? QCoreApplication::translate("tessaly::PointsWindow", "any other name")
                                          : QString::fromStdString(patterns);
    const std::string_view what = Description(format);
    return QStringLiteral("  %1 (%2)\n").arg(QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size())), where);
}

// The licence Tessaly is distributed under (LICENSE).
constexpr char kLicence[] = "MIT";
}  // namespace

QString PointsWindow::AboutText()
{
    QString text = tr("Tessaly %1\n\nMoves survey points between file formats.\n\nReads:\n")
                       .arg(QStringLiteral(TESSALY_VERSION));
    for (const Format& format : Formats())
        if (format.read) text += FormatLine(format);
    text += tr("\nWrites:\n");
    for (const Format& format : Formats())
        if (format.write) text += FormatLine(format);
    text += tr("\nLicence: %1").arg(QString::fromUtf8(kLicence));
    return text;
}

void PointsWindow::mnuAbout_Click()
{
    QMessageBox box(QMessageBox::Information, tr("About Tessaly"), AboutText(), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.exec();
}

}  // namespace tessaly
