#include "platform/qt/unbound_grid.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <exception>
#include <map>
#include <set>

#include "platform/error.h"
#include "platform/qt/ansi_text.h"
#include "table/cell.h"

namespace tessaly {

// ---------------------------------------------------------------- model

UnboundGridModel::UnboundGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void UnboundGridModel::SetCallbacks(UnboundCallbacks callbacks)
{
    callbacks_ = std::move(callbacks);
    Refresh();
}

void UnboundGridModel::Refresh()
{
    beginResetModel();
    Forget();
    countKnown_ = false;
    dataRows_ = 0;
    currentRow_ = -1;
    pendingRow_ = -1;
    pendingBookmark_.clear();
    pending_ = {};
    addPending_ = false;
    endResetModel();
}

void UnboundGridModel::SetPageSize(int rows) { pageSize_ = std::max(1, rows); }

void UnboundGridModel::Forget() const
{
    held_.clear();
    heldStart_ = 0;
}

bool UnboundGridModel::Call(const std::function<void()>& callback) const
{
    // A callback error must not unwind through Qt's event handling; the grid
    // reports it and carries on with what it has.
    QString message;
    try {
        callback();
        return true;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("unknown error");
    }
    emit const_cast<UnboundGridModel*>(this)->CallbackFailed(message);
    return false;
}

std::vector<UnboundGridModel::HeldRow> UnboundGridModel::Read(std::optional<std::string> start, bool prior,
                                                              int rows) const
{
    std::vector<HeldRow> out;
    if (!callbacks_.ReadData || rows <= 0) return out;
    RowBuf buf;
    buf.rows.resize(static_cast<size_t>(rows));
    std::optional<std::string_view> from;
    if (start) from = *start;
    if (!Call([&] { callbacks_.ReadData(buf, from, prior); })) return out;
    const size_t delivered = std::min(buf.rows.size(), static_cast<size_t>(rows));
    out.reserve(delivered);
    for (size_t i = 0; i < delivered; ++i) out.push_back({buf.rows[i].cells, std::move(buf.rows[i].bookmark)});
    return out;
}

void UnboundGridModel::EnsureCount() const
{
    if (countKnown_) return;
    countKnown_ = true;
    dataRows_ = 0;
    Forget();
    // Reading backwards from the end gives the last rows, and the last row's
    // bookmark is its position: one read tells how many rows there are.
    std::vector<HeldRow> last = Read(std::nullopt, true, pageSize_);
    if (last.empty()) return;
    int32_t lastRow = 0;
    if (!Call([&] { lastRow = BookmarkRow(last.front().bookmark); })) return;
    dataRows_ = lastRow + 1;
    const int first = dataRows_ - static_cast<int>(last.size());
    if (first < 0) return;
    heldStart_ = first;
    for (auto it = last.rbegin(); it != last.rend(); ++it) held_.push_back(std::move(*it));
}

int UnboundGridModel::DataRows() const
{
    EnsureCount();
    return dataRows_;
}

const UnboundGridModel::HeldRow* UnboundGridModel::EnsureRow(int p) const
{
    EnsureCount();
    if (p < 0 || p >= dataRows_) return nullptr;
    const int heldEnd = heldStart_ + static_cast<int>(held_.size());
    if (p >= heldStart_ && p < heldEnd) return &held_[static_cast<size_t>(p - heldStart_)];

    const size_t keep = static_cast<size_t>(pageSize_) * 4;
    if (!held_.empty() && p >= heldEnd && p < heldEnd + pageSize_) {
        // Scrolling down: the rows after the last one held.
        for (auto& r : Read(held_.back().bookmark, false, std::max(pageSize_, p - heldEnd + 1)))
            held_.push_back(std::move(r));
        while (held_.size() > keep && heldStart_ < p - pageSize_) {
            held_.pop_front();
            ++heldStart_;
        }
    } else if (!held_.empty() && p < heldStart_ && p >= heldStart_ - pageSize_) {
        // Scrolling up: the rows before the first one held, nearest first.
        for (auto& r : Read(held_.front().bookmark, true, std::max(pageSize_, heldStart_ - p))) {
            held_.push_front(std::move(r));
            --heldStart_;
        }
        while (held_.size() > keep && heldStart_ + static_cast<int>(held_.size()) > p + 2 * pageSize_)
            held_.pop_back();
    } else {
        // A jump: near the end read backwards from the end, elsewhere forward
        // from the row before.
        Forget();
        if (p >= dataRows_ - pageSize_) {
            std::vector<HeldRow> last = Read(std::nullopt, true, std::min(pageSize_, dataRows_));
            heldStart_ = dataRows_ - static_cast<int>(last.size());
            for (auto it = last.rbegin(); it != last.rend(); ++it) held_.push_back(std::move(*it));
        } else {
            std::optional<std::string> start;
            if (p > 0) start = std::to_string(p - 1);
            heldStart_ = p;
            for (auto& r : Read(start, false, pageSize_)) held_.push_back(std::move(r));
        }
    }
    const int end = heldStart_ + static_cast<int>(held_.size());
    if (p >= heldStart_ && p < end) return &held_[static_cast<size_t>(p - heldStart_)];
    return nullptr;
}

QString UnboundGridModel::ShownText(int row, int col) const
{
    if (col < 0 || col >= kCells) return {};
    if (row == pendingRow_ && pending_[static_cast<size_t>(col)])
        return AnsiToQString(CellText(*pending_[static_cast<size_t>(col)]));
    const HeldRow* held = EnsureRow(row);
    if (!held || !held->cells[static_cast<size_t>(col)]) return {};
    return AnsiToQString(CellText(*held->cells[static_cast<size_t>(col)]));
}

int UnboundGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid()) return 0;
    return AddNewRow() + 1;
}

int UnboundGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

QVariant UnboundGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return ShownText(index.row(), index.column());
    if (!Numeric(index.column())) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::BackgroundRole && role != Qt::ToolTipRole) return {};
    const QString text = ShownText(index.row(), index.column());
    if (!IsNonNumber(Cell{QStringToAnsi(text)})) return {};
    if (role == Qt::BackgroundRole) return QColor(255, 214, 170);  // light orange
    return QStringLiteral("Not a number: the %1 \"%2\" is text").arg(Caption(index.column()), text);
}

bool UnboundGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() >= kCells) return false;
    int row = index.row();
    const auto col = static_cast<size_t>(index.column());
    if (pendingRow_ >= 0 && row != pendingRow_) {
        const int before = rowCount();
        const int committed = pendingRow_;
        if (!CommitPendingRow() && row > committed) row -= before - rowCount();  // a failed new row went
    }

    std::string text = QStringToAnsi(value.toString());
    if (pendingRow_ < 0) {
        if (row == AddNewRow()) {
            if (text.empty()) return true;  // an editor opened and closed empty adds nothing
            // Typing in the add-new row starts a new row; a fresh add-new row
            // appears below it.
            beginInsertRows({}, row + 1, row + 1);
            addPending_ = true;
            pendingRow_ = row;
            pendingBookmark_.clear();
            pending_ = {};
            endInsertRows();
        } else {
            // Leaving a cell as it was is not an edit.
            if (AnsiToQString(text) == ShownText(row, index.column())) return true;
            const HeldRow* held = EnsureRow(row);
            if (!held) return false;
            pendingRow_ = row;
            pendingBookmark_ = held->bookmark;
            pending_ = {};
        }
        emit headerDataChanged(Qt::Vertical, row, row);
    } else if (!pending_[col] && !addPending_ && AnsiToQString(text) == ShownText(row, index.column())) {
        return true;
    }
    pending_[col] = Cell{std::move(text)};
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool UnboundGridModel::CommitPendingRow()
{
    if (pendingRow_ < 0) return true;
    const int row = pendingRow_;
    RowBuf buf;
    buf.rows.resize(1);
    buf.rows[0].cells = pending_;
    buf.rows[0].bookmark = pendingBookmark_;
    const Cells cells = pending_;
    const std::string bookmark = pendingBookmark_;
    const bool adding = addPending_;
    pendingRow_ = -1;
    pendingBookmark_.clear();
    pending_ = {};

    bool ok;
    if (adding) {
        int32_t newRow = -1;
        ok = Call([&] {
            if (!callbacks_.AddData) throw Error("rows cannot be added");
            callbacks_.AddData(buf, newRow);
        });
        if (ok) {
            // The new row is now an ordinary row; the row count stays.
            addPending_ = false;
            ++dataRows_;
        } else {
            beginRemoveRows({}, row, row);
            addPending_ = false;
            endRemoveRows();
        }
    } else {
        ok = Call([&] {
            if (!callbacks_.WriteData) throw Error("rows cannot be changed");
            callbacks_.WriteData(buf, bookmark);
        });
    }
    // What is shown next comes from the data source again.
    Forget();
    if (columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    return ok;
}

void UnboundGridModel::CancelPendingRow()
{
    if (pendingRow_ < 0) return;
    const int row = pendingRow_;
    if (addPending_) {
        // The row is gone before the view hears of its removal (a change of
        // the current row would otherwise commit it).
        pendingRow_ = -1;
        pending_ = {};
        beginRemoveRows({}, row, row);
        addPending_ = false;
        endRemoveRows();
    } else {
        pendingRow_ = -1;
        pendingBookmark_.clear();
        pending_ = {};
        if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
    emit headerDataChanged(Qt::Vertical, row, std::min(row + 1, rowCount() - 1));
}

void UnboundGridModel::DeleteRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (pendingRow_ >= 0) {
        if (std::find(rows.begin(), rows.end(), pendingRow_) != rows.end()) CancelPendingRow();
        else CommitPendingRow();
    }
    for (int row : rows) {
        if (row < 0 || row >= DataRows()) continue;
        const HeldRow* held = EnsureRow(row);
        if (!held) continue;
        const std::string bookmark = held->bookmark;
        if (!Call([&] {
                if (!callbacks_.DeleteRow) throw Error("rows cannot be deleted");
                callbacks_.DeleteRow(bookmark);
            }))
            break;
        beginRemoveRows({}, row, row);
        --dataRows_;
        Forget();
        endRemoveRows();
    }
}

bool UnboundGridModel::WriteCells(int row, const Cells& cells)
{
    if (pendingRow_ >= 0) CommitPendingRow();
    if (row == AddNewRow()) {
        beginInsertRows({}, row + 1, row + 1);
        addPending_ = true;
        pendingRow_ = row;
        pendingBookmark_.clear();
        pending_ = cells;
        endInsertRows();
    } else {
        const HeldRow* held = EnsureRow(row);
        if (!held) return false;
        pendingRow_ = row;
        pendingBookmark_ = held->bookmark;
        pending_ = cells;
    }
    return CommitPendingRow();
}

void UnboundGridModel::SetCurrentRow(int row)
{
    const int old = currentRow_;
    currentRow_ = row;
    const int last = rowCount() - 1;
    if (old >= 0 && old <= last) emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row <= last) emit headerDataChanged(Qt::Vertical, row, row);
}

void UnboundGridModel::InsertColumn(int position)
{
    position = std::clamp(position, 0, static_cast<int>(captions_.size()));
    beginInsertColumns({}, position, position);
    captions_.insert(captions_.begin() + position, QString());
    numeric_.insert(numeric_.begin() + position, false);
    endInsertColumns();
}

void UnboundGridModel::RemoveColumn(int position)
{
    if (position < 0 || position >= static_cast<int>(captions_.size())) return;
    beginRemoveColumns({}, position, position);
    captions_.erase(captions_.begin() + position);
    numeric_.erase(numeric_.begin() + position);
    endRemoveColumns();
}

void UnboundGridModel::SetCaption(int position, const QString& caption)
{
    if (position < 0 || position >= static_cast<int>(captions_.size())) return;
    captions_[static_cast<size_t>(position)] = caption;
    emit headerDataChanged(Qt::Horizontal, position, position);
}

QString UnboundGridModel::Caption(int position) const
{
    if (position < 0 || position >= static_cast<int>(captions_.size())) return {};
    return captions_[static_cast<size_t>(position)];
}

void UnboundGridModel::SetNumeric(int position, bool numeric)
{
    if (position < 0 || position >= static_cast<int>(numeric_.size())) return;
    numeric_[static_cast<size_t>(position)] = numeric;
    if (rowCount() > 0) emit dataChanged(index(0, position), index(rowCount() - 1, position));
}

bool UnboundGridModel::Numeric(int position) const
{
    return position >= 0 && position < static_cast<int>(numeric_.size()) && numeric_[static_cast<size_t>(position)];
}

Qt::ItemFlags UnboundGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() < kCells) f |= Qt::ItemIsEditable;
    return f;
}

QVariant UnboundGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole) return Caption(section);
        return {};
    }
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    if (section == pendingRow_) return QStringLiteral("\u270E");  // pencil: edits not handed back yet
    if (section == currentRow_) return QStringLiteral("\u25B6");  // triangle: the current row
    if (section == AddNewRow()) return QStringLiteral("*");
    return QString();
}

// ---------------------------------------------------------------- view

namespace {
// Dark grey lines between the rows and the columns.
class GridLineStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == QStyle::SH_Table_GridLineColor) return static_cast<int>(QColor(Qt::darkGray).rgba());
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};
}  // namespace

// Keeps track of the editor so that the grid can read its text and hear its
// key releases.
class UnboundGrid::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(UnboundGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (w) w->installEventFilter(grid_);
        editor = w;
        return w;
    }

    mutable QPointer<QWidget> editor;

private:
    UnboundGrid* grid_;
};

UnboundGrid::UnboundGrid(QWidget* parent)
    : QTableView(parent), model_(new UnboundGridModel(this)), delegate_(new Delegate(this))
{
    setModel(model_);
    setItemDelegate(delegate_);
    connect(model_, &UnboundGridModel::CallbackFailed, this, &UnboundGrid::CallbackFailed);

    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A click on the current cell opens its editor at once (see
    // mouseReleaseEvent): the view's own delayed opening would let the
    // first keys typed meanwhile go elsewhere.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setTextElideMode(Qt::ElideNone);
    setTabKeyNavigation(false);  // Tab moves on to the next control
    setWordWrap(false);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    auto* lines = new GridLineStyle;
    lines->setParent(this);
    setStyle(lines);

    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The row selector: a narrow column of markers; a click selects the row.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Interactive);
    rows->setHighlightSections(false);
    // Row sizing applies to every row at once.
    connect(rows, &QHeaderView::sectionResized, this, [this](int, int, int newSize) {
        if (sizingRows_) return;
        sizingRows_ = true;
        verticalHeader()->setDefaultSectionSize(newSize);
        sizingRows_ = false;
        UpdatePageSize();
    });
    FitRowsToFont();
}

void UnboundGrid::FitRowsToFont()
{
    // One text line a row and in the header, whatever the style would make.
    const int line = fontMetrics().height();
    sizingRows_ = true;
    verticalHeader()->setMinimumSectionSize(std::min(verticalHeader()->minimumSectionSize(), line));
    verticalHeader()->setDefaultSectionSize(line + 4);
    sizingRows_ = false;
    verticalHeader()->setFixedWidth(line + 6);
    UpdatePageSize();
}

void UnboundGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) FitRowsToFont();
}

void UnboundGrid::SetCallbacks(UnboundCallbacks callbacks) { model_->SetCallbacks(std::move(callbacks)); }

void UnboundGrid::Refresh()
{
    const int col = std::max(0, Col());
    model_->Refresh();
    if (model_->rowCount() > 0 && model_->columnCount() > 0)
        setCurrentIndex(model_->index(0, std::min(col, model_->columnCount() - 1)));
    scrollToTop();
}

void UnboundGrid::Update()
{
    if (state() == QAbstractItemView::EditingState && delegate_->editor) {
        QWidget* editor = delegate_->editor;
        commitData(editor);
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    model_->CommitPendingRow();
}

QString UnboundGrid::Text() const
{
    if (state() == QAbstractItemView::EditingState)
        if (auto* line = qobject_cast<QLineEdit*>(delegate_->editor.data())) return line->text();
    const QModelIndex i = currentIndex();
    return i.isValid() ? model_->data(i, Qt::DisplayRole).toString() : QString();
}

void UnboundGrid::keyPressEvent(QKeyEvent* event)
{
    if (state() != QAbstractItemView::EditingState) {
        if (event->matches(QKeySequence::Copy)) {
            Copy();
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            Paste();
            event->accept();
            return;
        }
    }
    if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Delete:
            if (!DeleteSelectedRows()) ClearSelectedCells();
            event->accept();
            return;
        case Qt::Key_Backspace:
            ClearSelectedCells();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            GoTo(std::min(Row() + 1, model_->rowCount() - 1), std::max(0, Col()));
            event->accept();
            return;
        case Qt::Key_Escape:
            if (model_->HasPendingRow()) {
                model_->CancelPendingRow();
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

void UnboundGrid::keyboardSearch(const QString&)
{
    // No jumping to a row by its first letters: every printable key goes to
    // the current cell.
}

void UnboundGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex at = indexAt(event->position().toPoint());
    clickedCurrent_ = QPersistentModelIndex();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && at.isValid() &&
        at == currentIndex() && selectionModel()->isSelected(at) && state() != QAbstractItemView::EditingState)
        clickedCurrent_ = at;
    QTableView::mousePressEvent(event);
}

void UnboundGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const QModelIndex at = indexAt(event->position().toPoint());
    if (clickedCurrent_.isValid() && at == clickedCurrent_ && at == currentIndex() &&
        state() != QAbstractItemView::EditingState) {
        clicking_ = true;
        edit(at, QAbstractItemView::EditKeyPressed, nullptr);
        clicking_ = false;
    }
    clickedCurrent_ = QPersistentModelIndex();
}

bool UnboundGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // A marked cell says why; a cell too narrow for its text shows it.
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex at = indexAt(help->pos());
        QString tip;
        if (at.isValid()) {
            tip = model_->data(at, Qt::ToolTipRole).toString();
            const QString text = model_->data(at, Qt::DisplayRole).toString();
            if (tip.isEmpty() && fontMetrics().horizontalAdvance(text) + 8 > visualRect(at).width()) tip = text;
        }
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(at));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void UnboundGrid::FitColumnTo(int position, const QString& text)
{
    const int needed = fontMetrics().horizontalAdvance(text) + 10;
    if (needed > columnWidth(position)) setColumnWidth(position, needed);
}

void UnboundGrid::Reread()
{
    const int row = Row(), col = Col();
    const int top = verticalScrollBar() ? verticalScrollBar()->value() : 0;
    model_->Refresh();
    if (model_->rowCount() > 0 && model_->columnCount() > 0)
        setCurrentIndex(model_->index(std::clamp(row, 0, model_->rowCount() - 1),
                                      std::clamp(col, 0, model_->columnCount() - 1)));
    if (verticalScrollBar()) verticalScrollBar()->setValue(top);
}

void UnboundGrid::GoTo(int row, int col)
{
    if (row < 0 || row >= model_->rowCount() || col < 0 || col >= model_->columnCount()) return;
    const QModelIndex i = model_->index(row, col);
    setCurrentIndex(i);
    scrollTo(i);
}

QString UnboundGrid::SelectionText() const
{
    std::set<int> rows, cols;
    std::set<std::pair<int, int>> cells;
    for (const QModelIndex& i : selectionModel()->selectedIndexes()) {
        rows.insert(i.row());
        cols.insert(i.column());
        cells.insert({i.row(), i.column()});
    }
    if (cells.empty() && currentIndex().isValid()) {
        rows.insert(Row());
        cols.insert(Col());
        cells.insert({Row(), Col()});
    }
    QString out;
    for (int r : rows) {
        if (r >= model_->AddNewRow()) continue;  // the add-new row holds nothing
        bool first = true;
        for (int c : cols) {
            if (!first) out += u'\t';
            first = false;
            if (cells.count({r, c})) out += model_->data(model_->index(r, c), Qt::DisplayRole).toString();
        }
        out += u'\n';
    }
    return out;
}

void UnboundGrid::Copy() { QApplication::clipboard()->setText(SelectionText()); }

void UnboundGrid::Paste() { PasteText(QApplication::clipboard()->text()); }

void UnboundGrid::PasteText(const QString& text)
{
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (body.endsWith(u'\n')) body.chop(1);
    if (body.isEmpty() || !currentIndex().isValid()) return;
    const QStringList lines = body.split(u'\n');
    // Whole rows selected: the paste starts in the first column.
    const int startCol = selectionModel()->isRowSelected(Row(), {}) ? 0 : Col();
    const int startRow = Row();
    if (state() == QAbstractItemView::EditingState) Update();
    emit EditsBegin(QStringLiteral("Paste"));
    int row = startRow;
    for (const QString& line : lines) {
        UnboundGridModel::Cells cells{};
        const QStringList fields = line.split(u'\t');
        for (int k = 0; k < fields.size() && startCol + k < UnboundGridModel::kCells; ++k) {
            const std::string ansi = QStringToAnsi(fields[k]);
            cells[static_cast<size_t>(startCol + k)] = ansi.empty() ? Cell{} : Cell{ansi};
        }
        if (row > model_->AddNewRow()) row = model_->AddNewRow();
        if (!model_->WriteCells(row, cells)) break;
        ++row;
    }
    emit EditsEnd();
    // The pasted block ends up selected, its first cell current.
    int width = 1;
    for (const QString& line : lines) width = std::max(width, static_cast<int>(line.count(u'\t')) + 1);
    GoTo(startRow, startCol);
    const int lastRow = std::min(row - 1, model_->rowCount() - 1);
    const int lastCol = std::min(UnboundGridModel::kCells - 1, startCol + width - 1);
    if (lastRow >= startRow)
        selectionModel()->select(QItemSelection(model_->index(startRow, startCol), model_->index(lastRow, lastCol)),
                                 QItemSelectionModel::ClearAndSelect);
}

void UnboundGrid::ClearSelectedCells()
{
    std::map<int, UnboundGridModel::Cells> rows;
    QModelIndexList chosen = selectionModel()->selectedIndexes();
    if (chosen.isEmpty() && currentIndex().isValid()) chosen << currentIndex();
    for (const QModelIndex& i : chosen) {
        if (i.column() >= UnboundGridModel::kCells || i.row() >= model_->AddNewRow()) continue;
        if (model_->data(i, Qt::DisplayRole).toString().isEmpty()) continue;  // empty already
        rows[i.row()][static_cast<size_t>(i.column())] = Cell{};
    }
    if (rows.empty()) return;
    emit EditsBegin(QStringLiteral("Delete"));
    for (const auto& [row, cells] : rows)
        if (!model_->WriteCells(row, cells)) break;
    emit EditsEnd();
}

bool UnboundGrid::DeleteSelectedRows()
{
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
    if (rows.empty()) return false;
    emit EditsBegin(QStringLiteral("Delete rows"));
    model_->DeleteRows(std::move(rows));
    emit EditsEnd();
    return true;
}

void UnboundGrid::keyReleaseEvent(QKeyEvent* event)
{
    emit KeyUp(event->key(), event->modifiers());
    QTableView::keyReleaseEvent(event);
}

bool UnboundGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == delegate_->editor && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        emit KeyUp(key->key(), key->modifiers());
    }
    // An editor opened by typing over the cell keeps the arrows of the grid:
    // Left and Right store the cell and move on, as in a spreadsheet.
    if (watched == delegate_->editor && typedOver_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) && key->modifiers() == Qt::NoModifier) {
            const int row = Row(), col = Col() + (key->key() == Qt::Key_Right ? 1 : -1);
            QWidget* editor = delegate_->editor;
            commitData(editor);
            QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
            GoTo(row, std::clamp(col, 0, model_->columnCount() - 1));
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

bool UnboundGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Edits of one row go back together, before another row is edited.
    if (index.isValid() && model_->HasPendingRow() && index.row() != model_->PendingRow() &&
        state() != QAbstractItemView::EditingState)
        model_->CommitPendingRow();
    const bool wasEditing = state() == QAbstractItemView::EditingState;
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened && !wasEditing && state() == QAbstractItemView::EditingState) {
        typedOver_ = trigger == QAbstractItemView::AnyKeyPressed || clicking_;
        // F2 and a double click edit the text as it stands, the cursor at
        // its end; typing over and a click on the current cell replace it.
        if (!typedOver_)
            if (auto* line = qobject_cast<QLineEdit*>(delegate_->editor.data())) line->end(false);
    }
    return opened;
}

void UnboundGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Enter in the editor commits the cell and moves down.
    if (hint == QAbstractItemDelegate::SubmitModelCache) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        GoTo(std::min(Row() + 1, model_->rowCount() - 1), std::max(0, Col()));
        return;
    }
    // Tab in the editor keeps the text and leaves the grid, as Tab does
    // outside it.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
        return;
    }
    QTableView::closeEditor(editor, hint);
}

void UnboundGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The base class hands an open editor's text to the model first.
    QTableView::currentChanged(current, previous);
    if (model_->HasPendingRow() && current.row() != model_->PendingRow()) model_->CommitPendingRow();
    model_->SetCurrentRow(current.row());
}

void UnboundGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    UpdatePageSize();
}

void UnboundGrid::UpdatePageSize()
{
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    model_->SetPageSize(viewport()->height() / rowHeight + 2);
}

}  // namespace tessaly
