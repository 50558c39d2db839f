#pragma once
// The modal file dialog that the File commands share. It is set up the way
// the commands describe it: a filter of "entry|pattern|" pairs, a flag that
// asks before an existing file is replaced, and an option that turns Cancel
// into an error. The chosen name stays in FileName and is offered again the
// next time the dialog opens.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

class QWidget;

namespace tessaly {

// Thrown by ShowOpen and ShowSave on Cancel when CancelError is set.
class DialogCancelled : public Error {
public:
    using Error::Error;
};

// What the dialog is about to ask the user.
struct FileDialogRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString title;
    QStringList nameFilters;  // the filter in the dialog's own syntax, in order
    QString fileName;         // the name offered: the last one chosen
    bool confirmOverwrite = false;
};

// Answers in place of the user: the chosen full path, or nothing for Cancel.
using FileDialogAnswerer = std::function<std::optional<QString>(const FileDialogRequest&)>;

// The filter "All Files (*.*)|*.*|Text (*.txt)|*.txt|" as name filters of
// the dialog. The entry text is shown as it stands; "*.*" matches every
// file, names without a dot included; several patterns may be separated by
// ";". Patterns match in any letter case.
QStringList DialogNameFilters(std::string_view filter);

class FileDialog {
public:
    // The Flags bit that asks before an existing file is replaced.
    static constexpr int OverwritePrompt = 2;

    explicit FileDialog(QWidget* owner = nullptr) : owner_(owner) {}

    bool CancelError = false;
    std::string Filter;
    int Flags = 0;
    std::string FileName;  // full path, in the file system's encoding

    void ShowOpen();
    void ShowSave();

    // Replaces the real dialog (tests, scripted runs); an empty answerer
    // brings the real dialog back.
    void SetAnswerer(FileDialogAnswerer answerer) { answerer_ = std::move(answerer); }

private:
    void Show(FileDialogRequest::Kind kind);

    QWidget* owner_;
    FileDialogAnswerer answerer_;
};

}  // namespace tessaly
