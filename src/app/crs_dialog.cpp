#include "app/crs_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <cmath>
#include <utility>
#include <vector>

#include "formats/gis/gis.h"
#include "platform/error.h"

namespace tessaly {

namespace {
constexpr int kRowsShown = 300;

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Describe(const CrsInfo& crs)
{
    return QStringLiteral("%1: %2\nArea of use: %3\nUnit: %4")
        .arg(Q(crs.definition), Q(crs.name), crs.area.empty() ? QStringLiteral("not stated") : Q(crs.area),
             crs.unit.empty() ? QStringLiteral("none") : Q(crs.unit));
}

// A change of the table's CRS, the points' northings and eastings with it
// when they were transformed. Made after the change: its first redo does
// nothing.
class CrsChangeCommand : public TableCommand {
public:
    struct State {
        std::string crs;
        LinearUnit unit = LinearUnit::Unknown;
        std::vector<std::pair<Cell, Cell>> cells;  // northing, easting of each row in ROWS
    };
    CrsChangeCommand(PointTable& table, TableChanged changed, std::vector<int32_t> rows, State before, State after)
        : TableCommand(table, std::move(changed), 0), rows_(std::move(rows)), before_(std::move(before)),
          after_(std::move(after))
    {
        setText(CrsDialog::tr("Coordinate System"));
    }
    void redo() override
    {
        if (!first_) Put(after_);
        first_ = false;
        Redone();
    }
    void undo() override
    {
        Put(before_);
        Undone();
    }

    static State Take(const PointTable& table, const std::vector<int32_t>& rows)
    {
        State state{table.Crs(), table.Unit(), {}};
        state.cells.reserve(rows.size());
        for (int32_t row : rows) state.cells.emplace_back(table.Get(ColNorthing, row), table.Get(ColEasting, row));
        return state;
    }

private:
    void Put(const State& state)
    {
        for (size_t i = 0; i < rows_.size(); ++i) {
            table_.Set(ColNorthing, rows_[i], state.cells[i].first);
            table_.Set(ColEasting, rows_[i], state.cells[i].second);
        }
        table_.SetCrs(state.crs);
        table_.SetUnit(state.unit);
    }

    std::vector<int32_t> rows_;
    State before_, after_;
    bool first_ = true;
};
}  // namespace

CrsDialog::CrsDialog(const PointTable& table, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(CrsDialog::tr("Coordinate System"));
    auto* layout = new QVBoxLayout(this);
    QString current = CrsDialog::tr("The points have no coordinate system.");
    if (!table.Crs().empty()) {
        current = CrsDialog::tr("The points are in %1.").arg(Q(table.Crs()));
        try {
            current = CrsDialog::tr("The points are in %1 (%2).").arg(Q(table.Crs()), Q(DescribeCrs(table.Crs()).name));
        } catch (const Error&) {
        }
    }
    layout->addWidget(new QLabel(current, this));
    auto* searchLabel = new QLabel(CrsDialog::tr("&Search by code or name, or type any definition PROJ takes:"), this);
    search_ = new QLineEdit(this);
    searchLabel->setBuddy(search_);
    layout->addWidget(searchLabel);
    layout->addWidget(search_);
    list_ = new QTreeWidget(this);
    list_->setHeaderLabels({CrsDialog::tr("Code"), CrsDialog::tr("Name"), CrsDialog::tr("Area of use")});
    list_->setRootIsDecorated(false);
    list_->setAccessibleName(CrsDialog::tr("Coordinate reference systems found"));
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(list_, 1);
    details_ = new QLabel(this);
    details_->setWordWrap(true);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(details_);
    transform_ = new QCheckBox(CrsDialog::tr("&Transform the points from their coordinate system"), this);
    transform_->setEnabled(!table.Crs().empty());
    layout->addWidget(transform_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* none = buttons->addButton(CrsDialog::tr("&No Coordinate System"), QDialogButtonBox::ResetRole);
    none->setEnabled(!table.Crs().empty());
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CrsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CrsDialog::reject);
    connect(none, &QPushButton::clicked, this, [this] {
        none_ = true;
        chosen_.clear();
        QDialog::accept();
    });
    searchTimer_ = new QTimer(this);
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(250);
    connect(searchTimer_, &QTimer::timeout, this, &CrsDialog::Search);
    connect(search_, &QLineEdit::textChanged, searchTimer_, qOverload<>(&QTimer::start));
    connect(list_, &QTreeWidget::currentItemChanged, this, &CrsDialog::ShowDetails);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CrsDialog::accept);
    search_->setText(Q(table.Crs().size() < 32 ? table.Crs() : std::string()));
    resize(720, 480);
    Search();
}

bool CrsDialog::Transform() const { return !none_ && transform_->isEnabled() && transform_->isChecked(); }

std::string CrsDialog::Typed() const
{
    if (const QTreeWidgetItem* item = list_->currentItem()) return item->text(0).toStdString();
    return search_->text().trimmed().toStdString();
}

void CrsDialog::Search()
{
    list_->clear();
    std::vector<CrsRow> rows;
    try {
        rows = SearchCrs(search_->text().trimmed().toStdString(), kRowsShown);
    } catch (const Error& e) {
        details_->setText(QString::fromStdString(e.what()));
        return;
    }
    for (const CrsRow& row : rows)
        new QTreeWidgetItem(list_, {Q(row.code), Q(row.name), Q(row.area)});
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    ShowDetails();
}

void CrsDialog::ShowDetails()
{
    const std::string typed = Typed();
    if (typed.empty()) {
        details_->setText(QString());
        return;
    }
    try {
        details_->setText(Describe(DescribeCrs(typed)));
    } catch (const Error& e) {
        details_->setText(QString::fromStdString(e.what()));
    }
}

void CrsDialog::accept()
{
    const std::string typed = Typed();
    if (typed.empty()) {
        details_->setText(CrsDialog::tr("Choose a coordinate system, or type its definition."));
        return;
    }
    try {
        chosen_ = DescribeCrs(typed).definition;
    } catch (const Error& e) {
        details_->setText(QString::fromStdString(e.what()));
        return;
    }
    QDialog::accept();
}

std::optional<QString> ChangeCrs(PointTable& table, QUndoStack& history, const TableChanged& changed, QWidget* parent)
{
    CrsDialog dialog(table, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const RowList list = table.RowsToSave();
    const std::vector<int32_t> rows(list.begin(), list.end());
    CrsChangeCommand::State before = CrsChangeCommand::Take(table, rows);
    QStringList said;
    try {
        if (dialog.Transform()) {
            for (const std::string& notice : TransformTable(table, dialog.Chosen())) said << Q(notice);
            said.prepend(CrsDialog::tr("Points transformed from %1 to %2.").arg(Q(before.crs), Q(table.Crs())));
        } else if (dialog.Chosen().empty()) {
            table.SetCrs("");
            said << CrsDialog::tr("The points have no coordinate system now.");
        } else {
            const std::string notice = AssignCrs(table, dialog.Chosen());
            said << CrsDialog::tr("Coordinate system: %1.").arg(Q(table.Crs()));
            if (!notice.empty()) said << Q(notice);
        }
    } catch (const Error& e) {
        QMessageBox::warning(parent, CrsDialog::tr("Coordinate System"),
                             CrsDialog::tr("Nothing changed: %1").arg(QString::fromStdString(e.what())));
        return std::nullopt;
    }
    CrsChangeCommand::State after = CrsChangeCommand::Take(table, rows);
    history.push(new CrsChangeCommand(table, changed, rows, std::move(before), std::move(after)));
    return said.join(QLatin1Char(' '));
}

QString LatLonText(const PointTable& table, double e, double n)
{
    if (table.Crs().empty()) return {};
    double x = e, y = n;
    if (!TransformPoint(table.Crs(), "EPSG:4326", x, y) || std::fabs(y) > 90) return {};
    return QStringLiteral("%1° %2, %3° %4")
        .arg(std::fabs(y), 0, 'f', 7)
        .arg(y < 0 ? QLatin1Char('S') : QLatin1Char('N'))
        .arg(std::fabs(x), 0, 'f', 7)
        .arg(x < 0 ? QLatin1Char('W') : QLatin1Char('E'));
}

}  // namespace tessaly
