#include "platform/qt/unbound_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <algorithm>
#include <exception>

#include "platform/error.h"
#include "platform/qt/ansi_text.h"

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
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return ShownText(index.row(), index.column());
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
    endInsertColumns();
}

void UnboundGridModel::RemoveColumn(int position)
{
    if (position < 0 || position >= static_cast<int>(captions_.size())) return;
    beginRemoveColumns({}, position, position);
    captions_.erase(captions_.begin() + position);
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
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
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
    if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Delete) {
            std::vector<int> rows;
            for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
            if (!rows.empty()) {
                model_->DeleteRows(std::move(rows));
                event->accept();
                return;
            }
        } else if (event->key() == Qt::Key_Escape && model_->HasPendingRow()) {
            model_->CancelPendingRow();
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void UnboundGrid::keyReleaseEvent(QKeyEvent* event)
{
    emit KeyUp(event->key(), event->modifiers());
    QTableView::keyReleaseEvent(event);
}

bool UnboundGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && watched == delegate_->editor) {
        auto* key = static_cast<QKeyEvent*>(event);
        emit KeyUp(key->key(), key->modifiers());
    }
    return QTableView::eventFilter(watched, event);
}

bool UnboundGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Edits of one row go back together, before another row is edited.
    if (index.isValid() && model_->HasPendingRow() && index.row() != model_->PendingRow() &&
        state() != QAbstractItemView::EditingState)
        model_->CommitPendingRow();
    return QTableView::edit(index, trigger, event);
}

void UnboundGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
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
