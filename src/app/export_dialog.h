#pragma once
// ExportOptionsDialog: shown before a file is written by a writer that has
// options. Its fields are made from the writer's row of the format table, one
// a option, in a section titled by the row ("Text points", "LandXML"). It
// first offers the defaults (those of the name, such as comma for *.csv; a
// unit the points' own when known), then the choices last confirmed for the
// same format while the program runs, the points' known unit over them.
#include <QDialog>
#include <map>
#include <string>
#include <utility>
#include <vector>

class QFormLayout;

#include "formats/formats.h"

namespace tessaly {

class ExportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    ExportOptionsDialog(const Format& writer, const std::string& file, LinearUnit unit, QWidget* parent = nullptr);

    // The options chosen, as the writer takes them.
    OptionValues Values() const;

    void accept() override;

private:
    void AddField(QFormLayout* form, const FormatOption& option, const OptionValues& offered, LinearUnit unit);

    const Format& writer_;
    std::vector<std::pair<const FormatOption*, QWidget*>> fields_;
};

// The choices confirmed last while the program runs, offered again by the
// next dialog.
struct DialogChoices {
    TextLayout importLayout = TextLayout::PNEZD;
    std::map<std::string, OptionValues> exported;  // by the writer's short name
};
DialogChoices& LastChoices();

// Forgets them all, as at the program's start (for tests that run one after
// another in one process).
void ForgetDialogChoices();

}  // namespace tessaly
