#include "qt/file_dialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace tessaly {

namespace {
QString Latin1(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// "*.*" is every file. The dialog's own "*.*" wants a dot in the name, so it
// becomes "*".
QString DialogPatterns(std::string_view patterns)
{
    QStringList out;
    for (const QString& p : Latin1(patterns).split(u';', Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (t.isEmpty()) continue;
        out << (t == u"*.*" ? QStringLiteral("*") : t);
    }
    if (out.isEmpty()) out << QStringLiteral("*");
    return out.join(u' ');
}
}  // namespace

QStringList DialogNameFilters(std::string_view filter)
{
    // The dialog takes the patterns from the last "(...)" of an entry and,
    // with its filter details hidden, shows the text before it. Appending the
    // patterns in their own parentheses keeps the entry text exactly as given.
    QStringList out;
    while (!filter.empty()) {
        const size_t bar = filter.find('|');
        const std::string_view entry = filter.substr(0, bar);
        std::string_view patterns;
        if (bar == std::string_view::npos) {
            filter = {};
        } else {
            filter.remove_prefix(bar + 1);
            const size_t end = filter.find('|');
            patterns = filter.substr(0, end);
            filter = end == std::string_view::npos ? std::string_view{} : filter.substr(end + 1);
        }
        out << Latin1(entry) + QStringLiteral(" (") + DialogPatterns(patterns) + u')';
    }
    return out;
}

void FileDialog::ShowOpen() { Show(FileDialogRequest::Open); }
void FileDialog::ShowSave() { Show(FileDialogRequest::Save); }

void FileDialog::Show(FileDialogRequest::Kind kind)
{
    FileDialogRequest req;
    req.kind = kind;
    req.title = kind == FileDialogRequest::Open ? QCoreApplication::translate("tessaly::FileDialog", "Open")
                                                : QCoreApplication::translate("tessaly::FileDialog", "Save As");
    req.nameFilters = DialogNameFilters(Filter);
    req.fileName = QFile::decodeName(QByteArray::fromStdString(FileName));
    req.confirmOverwrite = kind == FileDialogRequest::Save && (Flags & OverwritePrompt) != 0;

    std::optional<QString> answer;
    if (answerer_) {
        answer = answerer_(req);
    } else {
        // Qt's own dialog on every desktop: it shows the entries exactly as
        // given and asks before replacing in a box of its own.
        QFileDialog dialog(owner_, req.title);
        QFileDialog::Options options = QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails;
        if (!req.confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
        dialog.setOptions(options);
        dialog.setAcceptMode(kind == FileDialogRequest::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(kind == FileDialogRequest::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setNameFilters(req.nameFilters);
        if (kind == FileDialogRequest::Save) {
            // A name typed without an extension gets the one of the chosen
            // entry, when that entry has exactly one (*.asc, not *.*).
            auto suffixOf = [](const QString& entry) {
                const QString patterns = entry.mid(entry.lastIndexOf(u'(') + 1).chopped(1);
                const bool one = patterns.startsWith(QStringLiteral("*.")) && !patterns.contains(u' ') &&
                                 !patterns.mid(2).contains(u'*') && !patterns.mid(2).contains(u'?');
                return one ? patterns.mid(2) : QString();
            };
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                             [&dialog, suffixOf](const QString& entry) { dialog.setDefaultSuffix(suffixOf(entry)); });
            dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
        }
        if (!req.fileName.isEmpty()) {
            // The last name chosen: its folder, and the name in the name field.
            const QFileInfo last(req.fileName);
            dialog.setDirectory(last.absolutePath());
            dialog.selectFile(last.fileName());
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            answer = dialog.selectedFiles().constFirst();
    }

    if (!answer || answer->isEmpty()) {
        if (CancelError) throw DialogCancelled("the file dialog was cancelled");
        FileName.clear();  // without the error, an empty name tells the caller
        return;
    }
    FileName = QFile::encodeName(*answer).toStdString();
}

}  // namespace tessaly
