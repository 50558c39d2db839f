// The File menu: Open, Save, Exit.
#include <QCoreApplication>
#include <QFile>
#include <exception>
#include <string>

#include "app/load_progress.h"
#include "app/points_window.h"
#include "formats/formats.h"
#include "platform/error.h"

namespace tessaly {

namespace {
QString Native(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

QString Points(int32_t n) { return n == 1 ? QStringLiteral("1 point") : QStringLiteral("%1 points").arg(n); }

// What the chosen reader takes the file for, as the status bar says it.
QString FormatOf(const Format& reader) { return QString::fromLatin1(reader.name); }
}  // namespace

void PointsWindow::mnuOpen_Click()
{
    std::string filter = "All Files (*.*)|*.*|";
    filter += "Autodesk LDD Point Database (*.mdb)|*.mdb|";
    filter += "Marrowby COGO Points (*.coo)|*.coo|";
    filter += "Orvelle Coordinate Files (*.crd)|*.crd|";
    filter += "Orvelle Grid Files (*.grd)|*.grd|";
    filter += "Surveyor One Coordinates (*.*)|*.*|";
    filter += "TDS Coordinate Files (*.cr5)|*.cr5|";
    CommonDialog1.CancelError = true;
    try {
        CommonDialog1.Filter = filter;
        CommonDialog1.ShowOpen();
        const std::string name = CommonDialog1.FileName;
        if (name.empty()) return;
        const LoadProgress progress(this);
        LoadPoints(name);
    } catch (const DialogCancelled&) {
        // Cancel ends the command; nothing changes.
    } catch (const std::exception& e) {
        ShowStatus(QStringLiteral("Open failed: %1").arg(Native(e.what())));
    }
}

// Runs the reader that the name's last three characters choose. Whatever the
// outcome, the grid shows the table as the reader left it, and the status bar
// says what happened.
void PointsWindow::LoadPoints(const std::string& name)
{
    const Format& reader = ChooseReader(name);
    try {
        reader.read(PointData, name);
    } catch (...) {
        DBGrid1->Refresh();
        ShowStatus(QStringLiteral("Load stopped: %1 (read as %2; %3 in the table)")
                       .arg(Native(FailureMessage(name)), FormatOf(reader), Points(PointData.CurrItems())));
        return;
    }
    DBGrid1->Refresh();
    ShowStatus(QStringLiteral("%1 loaded from %2 (read as %3)")
                   .arg(Points(PointData.CurrItems()), Native(QuotedName(name)), FormatOf(reader)));
}

void PointsWindow::mnuSave_Click()
{
    // The row being edited belongs to what is saved.
    DBGrid1->Update();

    std::string filter = "All Files (*.*)|*.*|";
    filter += "ASCII PNEZD Coordinates (*.asc)|*.asc|";
    CommonDialog1.CancelError = true;
    try {
        CommonDialog1.Filter = filter;
        CommonDialog1.Flags = FileDialog::OverwritePrompt;
        CommonDialog1.ShowSave();
        const std::string name = CommonDialog1.FileName;
        if (name.empty()) return;
        SavePoints(name);
    } catch (const DialogCancelled&) {
        // Cancel ends the command; nothing is written.
    } catch (const std::exception& e) {
        ShowStatus(QStringLiteral("Save failed: %1").arg(Native(e.what())));
    }
}

void PointsWindow::SavePoints(const std::string& name)
{
    const Format* writer = ChooseWriter(name);
    if (!writer) {
        ShowStatus(QStringLiteral("Nothing saved: %1 does not end in .asc").arg(Native(QuotedName(name))));
        return;
    }
    writer->write(PointData, name);
    ShowStatus(QStringLiteral("%1 saved to %2").arg(Points(PointData.CurrItems()), Native(QuotedName(name))));
}

void PointsWindow::mnuExit_Click()
{
    // Ends the program at once: no question, nothing saved.
    QCoreApplication::exit(0);
}

}  // namespace tessaly
