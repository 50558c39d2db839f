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
// (The export options dialog, ExportOptionsDialog, is in export_dialog.h.)
#include <QDialog>
#include <string>

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

}  // namespace tessaly
