// The File menu: Open, Save, Exit, and the question about unsaved changes
// that Open, Exit and closing the window ask first.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QMessageBox>
#include <QPushButton>
#include <string_view>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/load_progress.h"
#include "app/points_window.h"
#include "formats/formats.h"
#include "platform/error.h"
#include "app/export_dialog.h"
#include "app/text_dialogs.h"

namespace tessaly {

namespace {
QString Native(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

// What the chosen reader takes the file for, as the status bar says it.
QString FormatOf(const Format& reader) { return QString::fromLatin1(reader.name); }

// Asks for the options of WRITER for NAME in the export options dialog;
// nothing to ask when it has none. Empty on Cancel. UNIT is the points'
// unit, offered first.
std::optional<OptionValues> AskWriteOptions(const Format& writer, const std::string& name, LinearUnit unit,
                                            QWidget* parent)
{
    if (writer.writeOptions.empty()) return OptionValues{};
    ExportOptionsDialog dialog(writer, name, unit, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Values();
}

// True when A and B name one existing file (links included).
bool SameFile(const std::string& a, const std::string& b)
{
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Asks whether to replace a file anyway; Cancel is the default.
bool AskReplace(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tessaly"), text, QMessageBox::NoButton, parent);
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == replace;
}

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
    const std::string filter = OpenFilter();
    CommonDialog1.CancelError = true;
    try {
        CommonDialog1.Filter = filter;
        CommonDialog1.ShowOpen();
    } catch (const DialogCancelled&) {
        return;  // Cancel ends the command; nothing changes.
    } catch (const std::exception& e) {
        ShowFailure(QStringLiteral("Open failed: %1").arg(Native(e.what())));
        return;
    }
    const std::string name = CommonDialog1.FileName;
    if (!name.empty()) OpenFile(name);
}

void PointsWindow::OpenFile(const std::string& name)
{
    try {
        const Format& reader = ChooseReader(name);
        // A text file whose header does not name its point, northing and
        // easting columns: they are asked for first, as spreadsheet programs
        // do; Cancel changes nothing.
        ReadOptions options;
        if (ReadsDelimitedText(reader) && !HeaderKnowsColumns(name)) {
            TextImportDialog dialog(name, this);
            if (dialog.exec() != QDialog::Accepted) return;
            options.text = dialog.Options();
        }
        LoadPoints(name, reader, options);
    } catch (const std::exception& e) {
        ShowFailure(QStringLiteral("Open failed: %1").arg(Native(e.what())), QStringLiteral("Nothing was loaded."));
    }
}

// Runs READER on the file. Whatever the outcome, the grid shows the table as
// the reader left it, and the status bar says what happened, its point count
// first.
void PointsWindow::LoadPoints(const std::string& name, const Format& reader, const ReadOptions& options)
{
    const LoadProgress progress(this);
    // A reader that fails before it clears the table leaves the table as it
    // was. Every clear forgets the table's note on points not read, so a
    // note left here that survives the read tells.
    static const std::string kUntouched = "\x01 not cleared by the load \x01";
    const std::string note = PointData.PointsNotRead();
    PointData.SetPointsNotRead(kUntouched);
    QString status;
    bool failed = false;
    bool empty = false;  // loaded, but no points to show
    ReadReport report;
    try {
        report = reader.read(PointData, name, options);
        empty = !PointData.PointsNotRead().empty();
        if (empty)
            status = QStringLiteral("No points loaded: %1").arg(Native(PointData.PointsNotRead()));
        else
            status = QStringLiteral("%1 loaded from %2 (read as %3)")
                         .arg(Points(PointData.CurrItems()), Native(QuotedName(name)), FormatOf(reader));
        for (const std::string& clause : Clauses(report)) status += QStringLiteral("; ") + QString::fromStdString(clause);
    } catch (...) {
        failed = true;
        status = QStringLiteral("%1 in the table; the load stopped: %2 (read as %3)")
                     .arg(Points(PointData.CurrItems()), Native(FailureMessage(name)), FormatOf(reader));
    }
    const bool untouched = PointData.PointsNotRead() == kUntouched;
    if (untouched) PointData.SetPointsNotRead(note);
    if (untouched && failed) {
        // The grid still shows the points it showed, and so do the status
        // bar's name and count; the edits can still be taken back. Save
        // offers the file they came from, not the one that failed.
        if (!tableFile_.isEmpty()) CommonDialog1.FileName = QFile::encodeName(tableFile_).toStdString();
        ShowFailure(status, QStringLiteral("Nothing was loaded."));
        return;
    }
    // The table now holds what the file gave: nothing to save, nothing to
    // take back.
    tableFile_ = Native(name);
    partlySource_ = failed ? name : std::string();
    partlyCount_ = PointData.CurrItems();
    beyondSource_ = failed || report.beyondPoints.empty() ? std::string() : name;
    beyondPoints_ = report.beyondPoints;
    EditHistory.clear();
    DBGrid1->Refresh();
    FitNumbers(0, PointData.CurrItems());
    UpdateSummary();
    if (failed) ShowFailure(status, QStringLiteral("The file was read only in part."));
    else if (empty) ShowFailure(status);
    else ShowStatus(status);
}

void PointsWindow::mnuSave_Click() { SaveCommand(); }

bool PointsWindow::SaveCommand()
{
    // The row being edited belongs to what is saved.
    DBGrid1->Update();

    const std::string filter = SaveFilter();
    CommonDialog1.CancelError = true;
    try {
        CommonDialog1.Filter = filter;
        CommonDialog1.Flags = FileDialog::OverwritePrompt;
        CommonDialog1.ShowSave();
        const std::string name = CommonDialog1.FileName;
        if (name.empty()) return false;
        const Format* writer = ChooseWriter(name);
        if (!writer) {
            ShowFailure(QStringLiteral("Nothing saved: %1 does not end in %2")
                            .arg(Native(QuotedName(name)), QString::fromStdString(WriterEndings())));
            return false;
        }
        if (ReadOnly(Native(name))) {
            SaveFailed(QStringLiteral("cannot save: %1 is read-only").arg(Native(QuotedName(name))));
            return false;
        }
        const bool overPartly = SameFile(name, partlySource_);
        const bool overBeyond = SameFile(name, beyondSource_);
        if (!MayReplaceSource(name)) return false;
        const std::optional<OptionValues> options = AskWriteOptions(*writer, name, PointData.Unit(), this);
        if (!options) return false;  // Cancel: nothing is written
        SavePoints(name, *options);
        // The file now holds just the table's points.
        if (overPartly) partlySource_.clear();
        if (overBeyond) beyondSource_.clear();
        UpdateSummary();
        return true;
    } catch (const DialogCancelled&) {
        // Cancel ends the command; nothing is written.
    } catch (const std::exception& e) {
        SaveFailed(QStringLiteral("Save failed: %1").arg(Native(e.what())));
    }
    return false;
}

void PointsWindow::SavePoints(const std::string& name, const OptionValues& options)
{
    const RowList rows = PointData.RowsToSave();
    const ExportReport report = ChooseWriter(name)->write(PointData, name, options);
    int32_t marked = 0;
    for (int32_t r : rows)
        if (IsNonNumber(PointData.Get(ColNorthing, r)) || IsNonNumber(PointData.Get(ColEasting, r)) ||
            IsNonNumber(PointData.Get(ColElevation, r)))
            ++marked;
    tableFile_ = Native(name);
    EditHistory.setClean();
    UpdateSummary();
    QString status = QStringLiteral("%1 saved to %2").arg(Points(report.written), Native(QuotedName(name)));
    for (const std::string& clause : Clauses(report)) status += QStringLiteral("; ") + QString::fromStdString(clause);
    if (marked > 0)
        status += QStringLiteral("; %1 with a northing, easting or elevation that is not a number")
                      .arg(Count(marked, "row", "rows"));
    ShowStatus(status);
}

bool PointsWindow::MayReplaceSource(const std::string& name)
{
    if (SameFile(name, partlySource_)) {
        const QString file = Native(QuotedName(partlySource_));
        QString text;
        if (partlyCount_ == 1)
            text = QStringLiteral("Only 1 point of %1 was read. Replacing it keeps only this point.").arg(file);
        else
            text = QStringLiteral("Only %1 points of %2 were read. Replacing it keeps only these %1 points.")
                       .arg(partlyCount_)
                       .arg(file);
        if (!AskReplace(this, text)) return false;
    }
    if (SameFile(name, beyondSource_)) {
        const QString text = QStringLiteral("%1 holds more than points (%2); saving replaces it with the points only.")
                                 .arg(Native(QuotedName(beyondSource_)), QString::fromStdString(beyondPoints_));
        if (!AskReplace(this, text)) return false;
    }
    return true;
}

// A failed save must not go unnoticed: the status bar and a message box.
void PointsWindow::SaveFailed(const QString& text) { ShowFailure(text, QStringLiteral("Nothing was saved.")); }

void PointsWindow::ShowFailure(const QString& text, const QString& lead)
{
    ShowStatus(text);
    QMessageBox::warning(this, QStringLiteral("Tessaly"), lead.isEmpty() ? text : lead + QStringLiteral("\n\n") + text);
}

void PointsWindow::mnuExit_Click()
{
    // Ends the program; unsaved changes are asked about first.
    if (!MayDiscardChanges()) return;
    QCoreApplication::exit(0);
}

}  // namespace tessaly
