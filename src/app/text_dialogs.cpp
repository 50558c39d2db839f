#include "app/text_dialogs.h"

#include "app/export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>


namespace tessaly {

namespace {
constexpr size_t kPreviewRows = 20;

// The roles of a file's column: mapping letter, caption over the column in
// the preview, and the column's choice.
struct Role {
    char letter;
    const char* caption;
    const char* choice;
};
constexpr Role kRoles[] = {{'P', "POINT", "Point"},         {'N', "NORTHING", "Northing"},
                           {'E', "EASTING", "Easting"},     {'Z', "ELEVATION", "Elevation"},
                           {'D', "DESCRIPTION", "Description"}, {'-', "", "Not read"}};
constexpr size_t kNotRead = std::size(kRoles) - 1;

size_t RoleIndex(char letter)
{
    for (size_t i = 0; i < kNotRead; ++i)
        if (kRoles[i].letter == letter) return i;
    return kNotRead;
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

}  // namespace

TextImportDialog::TextImportDialog(const std::string& file, QWidget* parent)
    : QDialog(parent), file_(file), options_(LastChoices().importLayout)
{
    setWindowTitle(QStringLiteral("Import Text Points"));
    auto* form = new QFormLayout;
    layout_ = LayoutCombo(this, LastChoices().importLayout);
    form->addRow(QStringLiteral("&Column order:"), layout_);
    delimiter_ = new QComboBox(this);
    delimiter_->setObjectName(QStringLiteral("delimiter"));
    for (TextDelimiter d : {TextDelimiter::Comma, TextDelimiter::Tab, TextDelimiter::Semicolon, TextDelimiter::Blanks})
        delimiter_->addItem(DelimiterText(d), static_cast<int>(d));
    form->addRow(QStringLiteral("Delimiter:"), delimiter_);
    header_ = new QCheckBox(QStringLiteral("&First line holds column names"), this);
    header_->setObjectName(QStringLiteral("header"));
    form->addRow(QString(), header_);
    skip_ = new QSpinBox(this);
    skip_->setObjectName(QStringLiteral("skip"));
    skip_->setRange(0, 9999);
    form->addRow(QStringLiteral("Lines to &skip at the start:"), skip_);

    // The column choices sit above the preview's columns, in a strip of
    // their own that does not scroll away with the rows.
    choices_ = new QWidget(this);
    choices_->setFixedHeight(QComboBox().sizeHint().height());
    preview_ = new QTableWidget(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setSelectionMode(QAbstractItemView::NoSelection);
    preview_->verticalHeader()->setVisible(false);
    preview_->setWordWrap(false);
    preview_->horizontalHeader()->setStretchLastSection(true);
    preview_->installEventFilter(this);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(choices_);
    top->addWidget(preview_);
    top->addWidget(problem_);
    top->addWidget(buttons);
    resize(720, 440);

    ShowPreview();  // a file that cannot be read fails here
    connect(layout_, &QComboBox::currentIndexChanged, this, &TextImportDialog::LayoutChosen);
    connect(delimiter_, &QComboBox::currentIndexChanged, this, [this] {
        options_.delimiter = static_cast<TextDelimiter>(delimiter_->currentData().toInt());
        Refresh();
    });
    connect(header_, &QCheckBox::toggled, this, [this](bool on) {
        options_.header = on;
        Refresh();
    });
    connect(skip_, &QSpinBox::valueChanged, this, [this](int lines) {
        options_.skipLines = lines;
        Refresh();
    });
    QHeaderView* h = preview_->horizontalHeader();
    connect(h, &QHeaderView::sectionResized, this, &TextImportDialog::PlaceColumnChoices);
    connect(h, &QHeaderView::geometriesChanged, this, &TextImportDialog::PlaceColumnChoices);
    connect(preview_->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TextImportDialog::PlaceColumnChoices);
}

bool TextImportDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == preview_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                                event->type() == QEvent::Show))
        PlaceColumnChoices();
    return QDialog::eventFilter(watched, event);
}

void TextImportDialog::Refresh()
{
    try {
        ShowPreview();
    } catch (const std::exception& e) {
        problem_->setText(QString::fromUtf8(e.what()));
        problem_->show();
        ok_->setEnabled(false);
    }
}

void TextImportDialog::ShowPreview()
{
    const TextPreview p = PreviewTextPointsFile(file_, options_, kPreviewRows);
    {
        const QSignalBlocker quiet(delimiter_);
        delimiter_->setCurrentIndex(delimiter_->findData(static_cast<int>(p.delimiter)));
    }
    {
        const QSignalBlocker quiet(header_);
        header_->setChecked(p.header);
    }
    size_t width = p.mapping.size();
    for (const auto& row : p.rows) width = std::max(width, row.size());
    mapping_ = p.mapping;
    mapping_.resize(width, '-');

    preview_->clearContents();
    preview_->setRowCount(static_cast<int>(p.rows.size()));
    preview_->setColumnCount(static_cast<int>(width));
    for (size_t r = 0; r < p.rows.size(); ++r)
        for (size_t c = 0; c < p.rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(QString::fromUtf8(p.rows[r][c]));
            if (r == 0 && p.header) {
                // The names are shown, but not read as a point.
                QFont italic = item->font();
                italic.setItalic(true);
                item->setFont(italic);
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            }
            preview_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    ShowMapping();
}

// The captions, the column choices, the column order and OK follow the
// mapping.
void TextImportDialog::ShowMapping()
{
    const auto width = static_cast<int>(mapping_.size());
    QStringList captions;
    for (char letter : mapping_) captions << QString::fromLatin1(kRoles[RoleIndex(letter)].caption);
    preview_->setHorizontalHeaderLabels(captions);
    preview_->resizeColumnsToContents();
    for (int c = 0; c < width; ++c) {
        QComboBox* choice = ColumnChoice(c);
        const QSignalBlocker quiet(choice);
        choice->setCurrentIndex(static_cast<int>(RoleIndex(mapping_[static_cast<size_t>(c)])));
        preview_->setColumnWidth(c, std::max(preview_->columnWidth(c), choice->sizeHint().width()));
    }
    for (auto* choice : choices_->findChildren<QComboBox*>(Qt::FindDirectChildrenOnly))
        if (choice->property("column").toInt() >= width) choice->hide();

    std::string core = mapping_;
    while (!core.empty() && core.back() == '-') core.pop_back();
    const std::optional<TextLayout> layout = ParseLayout(core);
    {
        const QSignalBlocker quiet(layout_);
        layout_->setCurrentIndex(layout ? layout_->findData(static_cast<int>(*layout)) : -1);
    }
    const bool valid = ParseColumnMapping(mapping_).has_value();
    problem_->setText(QStringLiteral("Choose one Northing and one Easting column."));
    problem_->setVisible(!valid);
    ok_->setEnabled(valid);
    PlaceColumnChoices();
}

QComboBox* TextImportDialog::ColumnChoice(int column)
{
    const QString name = QStringLiteral("column%1").arg(column);
    auto* choice = choices_->findChild<QComboBox*>(name, Qt::FindDirectChildrenOnly);
    if (!choice) {
        choice = new QComboBox(choices_);
        choice->setObjectName(name);
        choice->setProperty("column", column);
        for (const Role& role : kRoles) choice->addItem(QString::fromLatin1(role.choice));
        connect(choice, &QComboBox::currentIndexChanged, this, [this, column] { ColumnChosen(column); });
    }
    choice->show();
    return choice;
}

void TextImportDialog::PlaceColumnChoices()
{
    const QHeaderView* h = preview_->horizontalHeader();
    const int left = preview_->x() - choices_->x() + preview_->viewport()->x();
    for (auto* choice : choices_->findChildren<QComboBox*>(Qt::FindDirectChildrenOnly)) {
        const int c = choice->property("column").toInt();
        if (c >= preview_->columnCount()) continue;
        choice->setGeometry(left + h->sectionViewportPosition(c), 0, h->sectionSize(c), choices_->height());
    }
}

void TextImportDialog::LayoutChosen()
{
    if (layout_->currentIndex() < 0) return;
    options_.layout = static_cast<TextLayout>(layout_->currentData().toInt());
    options_.columns = std::string(LayoutName(options_.layout));
    Refresh();
}

void TextImportDialog::ColumnChosen(int column)
{
    const auto c = static_cast<size_t>(column);
    if (c >= mapping_.size()) return;
    const char chosen = kRoles[static_cast<size_t>(std::max(0, ColumnChoice(column)->currentIndex()))].letter;
    const char was = mapping_[c];
    std::string mapping = mapping_;
    mapping[c] = chosen;
    // A point, northing, easting or elevation stands in one column: the
    // column that had it takes this column's former role (so choosing
    // Northing for the easting column swaps the two).
    if (chosen != 'D' && chosen != '-')
        for (size_t i = 0; i < mapping.size(); ++i)
            if (i != c && mapping[i] == chosen) mapping[i] = was;
    if (ParseColumnMapping(mapping)) {
        options_.columns = mapping;
        Refresh();
    } else {
        // Without a northing or an easting nothing can be read; the preview
        // stays until there is.
        mapping_ = mapping;
        ShowMapping();
    }
}

TextReadOptions TextImportDialog::Options() const { return options_; }

void TextImportDialog::accept()
{
    if (layout_->currentIndex() >= 0)
        LastChoices().importLayout = static_cast<TextLayout>(layout_->currentData().toInt());
    QDialog::accept();
}

}  // namespace tessaly
