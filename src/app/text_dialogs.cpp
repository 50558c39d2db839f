#include "app/text_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cctype>

#include "platform/qt/ansi_text.h"

namespace tessaly {

namespace {
constexpr size_t kPreviewRows = 20;

QString ColumnCaption(Column c)
{
    static const char* const kCaptions[] = {"POINT", "NORTHING", "EASTING", "ELEVATION", "DESCRIPTION"};
    return QString::fromLatin1(kCaptions[c]);
}

QString DelimiterText(TextDelimiter d)
{
    switch (d) {
    case TextDelimiter::Comma: return QStringLiteral("Comma");
    case TextDelimiter::Tab: return QStringLiteral("Tab");
    case TextDelimiter::Semicolon: return QStringLiteral("Semicolon");
    case TextDelimiter::Blanks: break;
    }
    return QStringLiteral("Blanks");
}

QComboBox* LayoutCombo(QWidget* parent, TextLayout selected)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("layout"));
    for (TextLayout l : kTextLayouts) {
        const std::string_view name = LayoutName(l);
        combo->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), static_cast<int>(l));
    }
    combo->setCurrentIndex(combo->findData(static_cast<int>(selected)));
    return combo;
}

std::string Ending(const std::string& file)
{
    std::string tail = file.size() > 3 ? file.substr(file.size() - 3) : file;
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail;
}
}  // namespace

TextImportDialog::TextImportDialog(const std::string& file, QWidget* parent) : QDialog(parent), file_(file)
{
    setWindowTitle(QStringLiteral("Import Text Points"));
    auto* form = new QFormLayout;
    layout_ = LayoutCombo(this, LastChoices().importLayout);
    form->addRow(QStringLiteral("&Column order:"), layout_);
    delimiter_ = new QLabel(this);
    delimiter_->setObjectName(QStringLiteral("delimiter"));
    form->addRow(QStringLiteral("Delimiter:"), delimiter_);

    preview_ = new QTableWidget(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setSelectionMode(QAbstractItemView::NoSelection);
    preview_->verticalHeader()->setVisible(false);
    preview_->setWordWrap(false);
    preview_->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(preview_);
    top->addWidget(buttons);
    resize(640, 360);

    ShowPreview();
    connect(layout_, &QComboBox::currentIndexChanged, this, &TextImportDialog::ShowPreview);
}

void TextImportDialog::ShowPreview()
{
    // Where the layout puts northing and easting decides which delimiter
    // fits, so the preview follows the column order.
    const TextLayout layout = Options().layout;
    const TextPreview p = PreviewTextPointsFile(file_, layout, kPreviewRows);
    delimiter_->setText(DelimiterText(p.delimiter));

    const auto columns = LayoutColumns(layout);
    size_t width = columns.size();
    for (const auto& row : p.rows) width = std::max(width, row.size());
    preview_->clear();
    preview_->setRowCount(static_cast<int>(p.rows.size()));
    preview_->setColumnCount(static_cast<int>(width));
    QStringList captions;
    for (size_t i = 0; i < width; ++i) captions << (i < columns.size() ? ColumnCaption(columns[i]) : QString());
    preview_->setHorizontalHeaderLabels(captions);
    for (size_t r = 0; r < p.rows.size(); ++r)
        for (size_t c = 0; c < p.rows[r].size(); ++c)
            preview_->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(QString::fromStdString(p.rows[r][c])));
}

TextReadOptions TextImportDialog::Options() const
{
    return {static_cast<TextLayout>(layout_->currentData().toInt())};
}

void TextImportDialog::accept()
{
    LastChoices().importLayout = Options().layout;
    QDialog::accept();
}

ExportOptionsDialog::ExportOptionsDialog(const std::string& file, QWidget* parent)
    : QDialog(parent), ending_(Ending(file))
{
    setWindowTitle(QStringLiteral("Export Options"));
    const auto& remembered = LastChoices().exportText;
    const auto last = remembered.find(ending_);
    const TextWriteOptions offered = last != remembered.end() ? last->second : DefaultTextWriteOptions(file);

    auto* top = new QVBoxLayout(this);
    sections_ = new QVBoxLayout;
    top->addLayout(sections_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);

    // The text options belong to text names only; other formats bring their
    // own sections.
    if (ending_ != "CSV" && ending_ != "TXT") return;
    QFormLayout* text = AddSection(QStringLiteral("Text points"));
    layout_ = LayoutCombo(this, offered.layout);
    text->addRow(QStringLiteral("&Column order:"), layout_);

    delimiter_ = new QComboBox(this);
    delimiter_->setObjectName(QStringLiteral("delimiter"));
    for (TextDelimiter d : {TextDelimiter::Comma, TextDelimiter::Tab, TextDelimiter::Blanks, TextDelimiter::Semicolon})
        delimiter_->addItem(d == TextDelimiter::Blanks ? QStringLiteral("Space") : DelimiterText(d), static_cast<int>(d));
    delimiter_->setCurrentIndex(delimiter_->findData(static_cast<int>(offered.delimiter)));
    text->addRow(QStringLiteral("&Delimiter:"), delimiter_);

    header_ = new QCheckBox(QStringLiteral("&Header line naming the columns"), this);
    header_->setObjectName(QStringLiteral("header"));
    header_->setChecked(offered.header);
    text->addRow(QString(), header_);

    encoding_ = new QComboBox(this);
    encoding_->setObjectName(QStringLiteral("encoding"));
    encoding_->addItem(QStringLiteral("Windows-1252"), static_cast<int>(TextEncoding::Cp1252));
    encoding_->addItem(QStringLiteral("UTF-8"), static_cast<int>(TextEncoding::Utf8));
    encoding_->setCurrentIndex(encoding_->findData(static_cast<int>(offered.encoding)));
    text->addRow(QStringLiteral("&Encoding:"), encoding_);

    lineEnd_ = new QComboBox(this);
    lineEnd_->setObjectName(QStringLiteral("lineEnd"));
    lineEnd_->addItem(QStringLiteral("CR LF (Windows)"), static_cast<int>(TextLineEnd::CrLf));
    lineEnd_->addItem(QStringLiteral("LF (Unix)"), static_cast<int>(TextLineEnd::Lf));
    lineEnd_->setCurrentIndex(lineEnd_->findData(static_cast<int>(offered.lineEnd)));
    text->addRow(QStringLiteral("&Line ends:"), lineEnd_);
}

QFormLayout* ExportOptionsDialog::AddSection(const QString& title)
{
    auto* box = new QGroupBox(title, this);
    auto* form = new QFormLayout(box);
    sections_->addWidget(box);
    return form;
}

TextWriteOptions ExportOptionsDialog::TextOptions() const
{
    TextWriteOptions o;
    if (!HasTextOptions()) return o;
    o.layout = static_cast<TextLayout>(layout_->currentData().toInt());
    o.delimiter = static_cast<TextDelimiter>(delimiter_->currentData().toInt());
    o.header = header_->isChecked();
    o.encoding = static_cast<TextEncoding>(encoding_->currentData().toInt());
    o.lineEnd = static_cast<TextLineEnd>(lineEnd_->currentData().toInt());
    return o;
}

void ExportOptionsDialog::accept()
{
    if (HasTextOptions()) LastChoices().exportText[ending_] = TextOptions();
    QDialog::accept();
}

DialogChoices& LastChoices()
{
    static DialogChoices choices;
    return choices;
}

void ForgetDialogChoices() { LastChoices() = {}; }

}  // namespace tessaly
