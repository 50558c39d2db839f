#pragma once
// The dialogs of delimited text point files.
//
// TextImportDialog: shown for a text file whose header does not name its
// columns. It previews the first lines split into columns under the names of
// the columns chosen, and offers a choice for each column (point, northing,
// easting, elevation, description, not read), the column order as a whole
// (PNEZD, or the order last chosen while the program runs), the delimiter
// and whether the first line names the columns (both as the reader found
// them) and the lines to skip at the start. Every choice shows at once in
// the preview. OK means load with Options(); Cancel changes nothing.
//
// ExportOptionsDialog: shown before a file is written. For a *.csv or *.txt
// name it holds the text options: column order, delimiter, header line,
// encoding and line ends. It first offers the defaults for the name (comma
// for *.csv, blanks otherwise), then the choice last confirmed for the same
// ending while the program runs. Other formats add their options as sections
// of their own (AddSection); for them the text section is left out.
//
// DialogChoices: what both dialogs and the export sections of the other
// formats remember while the program runs.
#include <QDialog>
#include <map>
#include <string>

#include "formats/xml/landxml.h"
#include "formats/text/text_points.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;

namespace tessaly {

class TextImportDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the first lines of FILE; throws Error when it cannot be read.
    explicit TextImportDialog(const std::string& file, QWidget* parent = nullptr);

    TextReadOptions Options() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads the preview with the options chosen; throws Error when the file
    // cannot be read.
    void ShowPreview();
    // The same, a failure said in the dialog.
    void Refresh();
    void ShowMapping();
    void LayoutChosen();
    void ColumnChosen(int column);
    // The column choices, one combo box a column of the preview, kept over
    // their columns.
    QComboBox* ColumnChoice(int column);
    void PlaceColumnChoices();

    std::string file_;
    TextReadOptions options_;  // what the preview shows, and the load reads
    std::string mapping_;      // the preview's mapping, a letter a column
    QComboBox* layout_;
    QComboBox* delimiter_;
    QCheckBox* header_;
    QSpinBox* skip_;
    QWidget* choices_;  // holds the column choices
    QTableWidget* preview_;
    QLabel* problem_;
    QPushButton* ok_;
};

class ExportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportOptionsDialog(const std::string& file, QWidget* parent = nullptr);

    // A titled group of options, placed above the buttons.
    QFormLayout* AddSection(const QString& title);

    // True for a text name (*.csv, *.txt): the dialog holds the text options.
    bool HasTextOptions() const { return layout_ != nullptr; }
    // The text options chosen; the defaults when the name is not a text name.
    TextWriteOptions TextOptions() const;

    void accept() override;

private:
    std::string ending_;  // the name's last three characters, upper-cased
    QVBoxLayout* sections_;
    // Null without the text section.
    QComboBox* layout_ = nullptr;
    QComboBox* delimiter_ = nullptr;
    QCheckBox* header_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QComboBox* lineEnd_ = nullptr;
};

// The choices confirmed last while the program runs, offered again by the
// next dialog.
struct DialogChoices {
    TextLayout importLayout = TextLayout::PNEZD;
    std::map<std::string, TextWriteOptions> exportText;  // by the name's ending
    LinearUnit units = LinearUnit::Metre;      // LandXML
    double textHeight = 1;                     // DXF
};
DialogChoices& LastChoices();

// Forgets them all, as at the program's start (for tests that run one after
// another in one process).
void ForgetDialogChoices();

}  // namespace tessaly
