// The File menu: Open, Save, Exit, and the question about unsaved changes
// that Open, Exit and closing the window ask first.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
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

// An existing file that may not be written: no write permission for the
// user, or none for anybody (which holds for root too).
bool ReadOnly(const QString& name)
{
    const QFileInfo info(name);
    if (!info.exists()) return false;
    const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !info.isWritable() || (info.permissions() & anyWrite) == 0;
}
}  // namespace

bool PointsWindow::MayDiscardChanges()
{
    DBGrid1->Update();  // the row being edited counts
    if (EditHistory.isClean()) return true;
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Tessaly"), QStringLiteral("Save the changes to the points?"),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard) return true;
    if (answer == QMessageBox::Save) return SaveCommand();
    return false;
}

void PointsWindow::mnuOpen_Click()
{
    if (!MayDiscardChanges()) return;
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
// says what happened, its point count first.
void PointsWindow::LoadPoints(const std::string& name)
{
    const Format& reader = ChooseReader(name);
    QString status;
    try {
        reader.read(PointData, name);
        if (!PointData.PointsNotRead().empty())
            status = QStringLiteral("No points loaded: %1").arg(Native(PointData.PointsNotRead()));
        else
            status = QStringLiteral("%1 loaded from %2 (read as %3)")
                         .arg(Points(PointData.CurrItems()), Native(QuotedName(name)), FormatOf(reader));
    } catch (...) {
        status = QStringLiteral("%1 in the table; the load stopped: %2 (read as %3)")
                     .arg(Points(PointData.CurrItems()), Native(FailureMessage(name)), FormatOf(reader));
    }
    // The table now holds what the file gave: nothing to save, nothing to
    // take back.
    tableFile_ = Native(name);
    EditHistory.clear();
    DBGrid1->Refresh();
    FitNumbers(0, PointData.CurrItems());
    UpdateSummary();
    ShowStatus(status);
}

void PointsWindow::mnuSave_Click() { SaveCommand(); }

bool PointsWindow::SaveCommand()
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
        if (name.empty()) return false;
        if (!ChooseWriter(name)) {
            ShowStatus(QStringLiteral("Nothing saved: %1 does not end in .asc").arg(Native(QuotedName(name))));
            return false;
        }
        if (ReadOnly(Native(name))) {
            SaveFailed(QStringLiteral("cannot save: %1 is read-only").arg(Native(QuotedName(name))));
            return false;
        }
        SavePoints(name);
        return true;
    } catch (const DialogCancelled&) {
        // Cancel ends the command; nothing is written.
    } catch (const std::exception& e) {
        SaveFailed(QStringLiteral("Save failed: %1").arg(Native(e.what())));
    }
    return false;
}

void PointsWindow::SavePoints(const std::string& name)
{
    const std::vector<int32_t> rows = PointData.RowsToSave();
    ChooseWriter(name)->write(PointData, name);
    int32_t marked = 0;
    for (int32_t r : rows)
        if (IsNonNumber(PointData.Get(ColNorthing, r)) || IsNonNumber(PointData.Get(ColEasting, r)) ||
            IsNonNumber(PointData.Get(ColElevation, r)))
            ++marked;
    tableFile_ = Native(name);
    EditHistory.setClean();
    UpdateSummary();
    QString status =
        QStringLiteral("%1 saved to %2").arg(Points(static_cast<int32_t>(rows.size())), Native(QuotedName(name)));
    if (marked > 0)
        status += QStringLiteral("; %1 with a northing, easting or elevation that is not a number")
                      .arg(marked == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(marked));
    ShowStatus(status);
}

// A failed save must not go unnoticed: the status bar and a message box.
void PointsWindow::SaveFailed(const QString& text)
{
    ShowStatus(text);
    QMessageBox::warning(this, QStringLiteral("Tessaly"), QStringLiteral("Nothing was saved.\n\n%1").arg(text));
}

void PointsWindow::mnuExit_Click()
{
    // Ends the program; unsaved changes are asked about first.
    if (!MayDiscardChanges()) return;
    QCoreApplication::exit(0);
}

}  // namespace tessaly
