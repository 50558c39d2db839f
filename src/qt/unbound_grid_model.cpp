#include "qt/unbound_grid_model.h"

#include <QColor>
#include <algorithm>

#include "platform/error.h"
#include "platform/text/text_rules.h"
#include "qt/ansi_text.h"

namespace tessaly {

UnboundGridModel::UnboundGridModel(QObject* parent) : QAbstractTableModel(parent)
{
    rows_.SetReport([this](const std::string& message) { emit CallbackFailed(QString::fromUtf8(message)); });
}

void UnboundGridModel::SetCallbacks(UnboundCallbacks callbacks)
{
    rows_.SetCallbacks(std::move(callbacks));
    Refresh();
}

void UnboundGridModel::Refresh()
{
    beginResetModel();
    rows_.Reset();
    currentRow_ = -1;
    ClearPending();
    addPending_ = false;
    addNewShown_ = RoomForNewRow();
    endResetModel();
}

void UnboundGridModel::SetRowLimit(int rows)
{
    limit_ = std::max(0, rows);
    SyncAddNewRow();
}

void UnboundGridModel::SyncAddNewRow()
{
    const bool room = RoomForNewRow();
    if (room == addNewShown_) return;
    const int row = AddNewRow();
    if (room) beginInsertRows({}, row, row);
    else beginRemoveRows({}, row, row);
    addNewShown_ = room;
    if (room) endInsertRows();
    else endRemoveRows();
}

int UnboundGridModel::DataRows() const { return rows_.Count(); }

const Cell* UnboundGridModel::CellAt(int row, int col) const
{
    if (col < 0 || col >= columnCount()) return nullptr;
    const auto c = static_cast<size_t>(col);
    if (row == pendingRow_ && c < pending_.size() && pending_[c]) return &*pending_[c];
    const RowWindow::Row* held = rows_.Get(row);
    if (!held || c >= held->cells.size() || !held->cells[c]) return nullptr;
    return &*held->cells[c];
}

QString UnboundGridModel::ShownText(int row, int col) const
{
    const Cell* cell = CellAt(row, col);
    return cell ? TableTextToQString(CellText(*cell)) : QString();
}

QString UnboundGridModel::TextStart(int row, int col, qsizetype maxChars, bool* cut) const
{
    if (cut) *cut = false;
    const Cell* cell = CellAt(row, col);
    const auto* text = cell ? std::get_if<std::string>(cell) : nullptr;
    if (!text) return cell ? TableTextToQString(CellText(*cell)) : QString();
    // A character of up to 4 bytes is at least half a UTF-16 unit a byte,
    // so 4 bytes a character give enough; the prefix ends where a
    // character starts.
    const std::string_view all(*text);
    size_t bytes = std::min(all.size(), static_cast<size_t>(maxChars) * 4);
    while (bytes < all.size() && bytes > 0 && (static_cast<unsigned char>(all[bytes]) & 0xC0) == 0x80) --bytes;
    QString start = TableTextToQString(all.substr(0, bytes));
    bool left = bytes < all.size();
    if (start.size() > maxChars) {
        qsizetype keep = maxChars;
        if (keep > 0 && start.at(keep - 1).isHighSurrogate()) --keep;
        start.truncate(keep);
        left = true;
    }
    if (cut) *cut = left;
    return start;
}

QString UnboundGridModel::BoundedText(int row, int col, qsizetype maxChars, bool* cut) const
{
    bool left = false;
    QString text = TextStart(row, col, maxChars, &left);
    if (left) text += QChar(0x2026) + tr(" [only the first %1 characters shown]").arg(maxChars);
    if (cut) *cut = left;
    return text;
}

int UnboundGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid()) return 0;
    return AddNewRow() + (addNewShown_ ? 1 : 0);
}

int UnboundGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

QVariant UnboundGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) {
        if (decimals_ >= 0 && Numeric(index.column()))
            if (const Cell* cell = CellAt(index.row(), index.column())) {
                const auto* text = std::get_if<std::string>(cell);
                if (!text) return TableTextToQString(RoundDecimalText(CellText(*cell), decimals_));
                if (text->size() <= static_cast<size_t>(kShownChars))
                    return TableTextToQString(RoundDecimalText(*text, decimals_));
            }
        bool cut = false;
        const QString start = TextStart(index.row(), index.column(), kShownChars, &cut);
        return cut ? start + QChar(0x2026) : start;
    }
    if (role == Qt::EditRole) return ShownText(index.row(), index.column());
    if (!Numeric(index.column())) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::BackgroundRole && role != Qt::ToolTipRole) return {};
    const Cell* cell = CellAt(index.row(), index.column());
    if (!cell || !IsNonNumber(*cell)) return {};
    if (role == Qt::BackgroundRole) return QColor(255, 214, 170);  // light orange
    return tr("Not a number: the %1 \"%2\" is text")
        .arg(Caption(index.column()), BoundedText(index.row(), index.column(), kTipChars));
}

bool UnboundGridModel::BeginPending(int row, Cells cells)
{
    cells.resize(static_cast<size_t>(columnCount()));
    if (row == AddNewRow()) {
        if (!addNewShown_) {
            emit CallbackFailed(
                tr("No row added: the grid holds %1 rows at most").arg(limit_));
            return false;
        }
        // Typing in the add-new row starts a new row; a fresh add-new row
        // appears below it while there is room for one more.
        const bool more = limit_ <= 0 || row + 1 < limit_;
        if (more) beginInsertRows({}, row + 1, row + 1);
        addPending_ = true;
        addNewShown_ = more;
        pendingRow_ = row;
        pendingBookmark_.clear();
        pending_ = std::move(cells);
        if (more) endInsertRows();
        else emit headerDataChanged(Qt::Vertical, row, row);
        emit PendingChanged();
        return true;
    }
    const RowWindow::Row* held = rows_.Get(row);
    if (!held) return false;
    pendingRow_ = row;
    pendingBookmark_ = held->bookmark;
    pending_ = std::move(cells);
    emit PendingChanged();
    return true;
}

bool UnboundGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() >= columnCount()) return false;
    int row = index.row();
    const auto col = static_cast<size_t>(index.column());
    if (pendingRow_ >= 0 && row != pendingRow_) {
        const int before = rowCount();
        const int committed = pendingRow_;
        if (!CommitPendingRow() && row > committed) row -= before - rowCount();  // a failed new row went
    }

    std::string text = QStringToTableText(value.toString());
    if (pendingRow_ < 0) {
        if (row == AddNewRow()) {
            if (text.empty()) return true;  // an editor opened and closed empty adds nothing
        } else if (TableTextToQString(text) == ShownText(row, index.column())) {
            return true;  // leaving a cell as it was is not an edit
        }
        if (!BeginPending(row, {})) return false;
        emit headerDataChanged(Qt::Vertical, row, row);
    } else if (!pending_[col] && !addPending_ && TableTextToQString(text) == ShownText(row, index.column())) {
        return true;
    }
    pending_[col] = Cell{std::move(text)};
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void UnboundGridModel::ClearPending()
{
    const bool had = HasPendingRow();
    pendingRow_ = -1;
    pendingBookmark_.clear();
    pending_.clear();
    if (had) emit PendingChanged();
}

void UnboundGridModel::DropNewRow(int row)
{
    // The row being edited is forgotten before the view hears of its removal
    // (a change of the current row would otherwise commit it). Without a
    // fresh add-new row below it, the row becomes the add-new row again.
    if (!addNewShown_) {
        addPending_ = false;
        addNewShown_ = true;
        if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, row, row);
        return;
    }
    beginRemoveRows({}, row, row);
    addPending_ = false;
    endRemoveRows();
}

bool UnboundGridModel::CommitPendingRow()
{
    if (pendingRow_ < 0) return true;
    const int row = pendingRow_;
    RowBuf buf;
    buf.rows.resize(1);
    buf.rows[0].cells = std::move(pending_);
    buf.rows[0].bookmark = std::move(pendingBookmark_);
    const bool adding = addPending_;
    ClearPending();

    bool ok;
    const UnboundCallbacks& callbacks = rows_.Callbacks();
    if (adding) {
        int32_t newRow = -1;
        ok = Call([&] {
            if (!callbacks.AddData) throw Error("rows cannot be added");
            callbacks.AddData(buf, newRow);
        });
        if (ok) {
            // The new row is now an ordinary row; the row count stays.
            addPending_ = false;
            rows_.Added();
        } else {
            DropNewRow(row);
        }
    } else {
        ok = Call([&] {
            if (!callbacks.WriteData) throw Error("rows cannot be changed");
            callbacks.WriteData(buf, buf.rows[0].bookmark);
        });
    }
    // What is shown next comes from the data source again.
    rows_.Forget();
    if (columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    return ok;
}

void UnboundGridModel::CancelPendingRow()
{
    if (pendingRow_ < 0) return;
    const int row = pendingRow_;
    ClearPending();
    if (addPending_) DropNewRow(row);
    else if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
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
    const UnboundCallbacks& callbacks = rows_.Callbacks();
    for (int row : rows) {
        if (row < 0 || row >= DataRows()) continue;
        const RowWindow::Row* held = rows_.Get(row);
        if (!held) continue;
        const std::string bookmark = held->bookmark;
        if (!Call([&] {
                if (!callbacks.DeleteRow) throw Error("rows cannot be deleted");
                callbacks.DeleteRow(bookmark);
            }))
            break;
        beginRemoveRows({}, row, row);
        rows_.Removed();
        endRemoveRows();
        SyncAddNewRow();
    }
}

bool UnboundGridModel::WriteCells(int row, const Cells& cells)
{
    if (pendingRow_ >= 0) CommitPendingRow();
    if (!BeginPending(row, cells)) return false;
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

void UnboundGridModel::ColumnsChanged()
{
    // A buffer row carries one cell per column.
    rows_.SetWidth(columnCount());
    if (pendingRow_ >= 0) pending_.resize(static_cast<size_t>(columnCount()));
}

void UnboundGridModel::InsertColumn(int position)
{
    position = std::clamp(position, 0, static_cast<int>(captions_.size()));
    beginInsertColumns({}, position, position);
    captions_.insert(captions_.begin() + position, QString());
    numeric_.insert(numeric_.begin() + position, false);
    ColumnsChanged();
    endInsertColumns();
}

void UnboundGridModel::RemoveColumn(int position)
{
    if (position < 0 || position >= static_cast<int>(captions_.size())) return;
    beginRemoveColumns({}, position, position);
    captions_.erase(captions_.begin() + position);
    numeric_.erase(numeric_.begin() + position);
    ColumnsChanged();
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

void UnboundGridModel::SetDecimals(int places)
{
    decimals_ = std::max(-1, places);
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
}

bool UnboundGridModel::Numeric(int position) const
{
    return position >= 0 && position < static_cast<int>(numeric_.size()) && numeric_[static_cast<size_t>(position)];
}

Qt::ItemFlags UnboundGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
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

}  // namespace tessaly
