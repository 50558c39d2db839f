#pragma once
// The model of the unbound grid: the rows held (a RowWindow over the
// callbacks), the row being edited and how it goes back (commit, cancel),
// deleting rows, and the grid's columns. Column k shows buffer cell k, and a
// buffer row carries one cell per column. Cell text is UTF-8, so any
// character shows and any typed one is kept.
#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/cell.h"
#include "platform/grid/row_window.h"

namespace tessaly {

class UnboundGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // One cell per column, null where untouched.
    using Cells = std::vector<std::optional<Cell>>;

    explicit UnboundGridModel(QObject* parent = nullptr);

    void SetCallbacks(UnboundCallbacks callbacks);
    // Drops every row held and the row being edited; rows are read again.
    void Refresh();
    // Rows read per callback: about a screenful.
    void SetPageSize(int rows) { rows_.SetPageSize(rows); }
    int PageSize() const { return rows_.PageSize(); }

    // Rows the data source has; the add-new row (and a new row being typed)
    // come after them. The add-new row is shown only while the rows stay
    // within the row limit.
    int DataRows() const;
    int AddNewRow() const { return DataRows() + (addPending_ ? 1 : 0); }
    bool AddNewShown() const { return addNewShown_; }

    // The most rows the grid holds, the new row being typed included; 0 for
    // no limit. A full grid has no add-new row.
    void SetRowLimit(int rows);
    int RowLimit() const { return limit_; }
    bool HasPendingRow() const { return pendingRow_ >= 0; }
    int PendingRow() const { return pendingRow_; }

    // Hands the row being edited to the write or add callback. False when
    // the callback failed (the edits are dropped and the failure reported).
    bool CommitPendingRow();
    // Forgets the edits of the row being edited; a new row disappears.
    void CancelPendingRow();
    // Deletes the given rows through the delete callback, last row first.
    // The add-new row and a new row being typed are never deleted.
    void DeleteRows(std::vector<int> rows);
    // Hands one row's cells (null where untouched, missing ones too) to the
    // write callback, or to the add callback for the add-new row. False when
    // it failed.
    bool WriteCells(int row, const Cells& cells);

    // The row the view shows as current (for the row selector).
    void SetCurrentRow(int row);

    // Columns: caption per position; column k shows buffer cell k.
    void InsertColumn(int position);
    void RemoveColumn(int position);
    void SetCaption(int position, const QString& caption);
    QString Caption(int position) const;
    // A numeric column: right-aligned, with text that is not a number marked.
    void SetNumeric(int position, bool numeric);
    bool Numeric(int position) const;
    // Numeric columns show their numbers rounded to PLACES decimals and
    // padded with zeros; -1 shows the text as it is. Only the drawing
    // changes: the editor, Copy and the callbacks keep the cell's text.
    void SetDecimals(int places);
    int Decimals() const { return decimals_; }

    // A cell's text may run to megabytes. The view draws at most its first
    // kShownChars characters, with an ellipsis (DisplayRole); the tooltip
    // shows up to kTipChars and the editor up to kEditorChars, with a word
    // saying the rest is left out. Only that start of the text is converted.
    static constexpr qsizetype kShownChars = 1000;
    static constexpr qsizetype kTipChars = 4000;
    static constexpr qsizetype kEditorChars = 65536;
    // At most MAXCHARS characters from the start of a cell's text; CUT says
    // whether anything was left out.
    QString TextStart(int row, int col, qsizetype maxChars, bool* cut = nullptr) const;
    // TextStart with "…" and what was left out said after it.
    QString BoundedText(int row, int col, qsizetype maxChars, bool* cut = nullptr) const;
    // A cell's whole text (what Copy copies).
    QString FullText(int row, int col) const { return ShownText(row, col); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The view calls submit on Enter as well as on a row change; rows are
    // committed on a change of the current row only (see UnboundGrid).
    bool submit() override { return true; }
    void revert() override {}

signals:
    void CallbackFailed(const QString& message);
    // A row started or stopped being edited (HasPendingRow).
    void PendingChanged();

private:
    bool Call(const std::function<void()>& callback) const { return rows_.Call(callback); }
    // Starts editing a row with the given cells: the add-new row becomes a
    // new row with a fresh add-new row below it. False when the row cannot
    // be read.
    bool BeginPending(int row, Cells cells);
    // Forgets the row being edited.
    void ClearPending();
    // Removes the new row being typed, once it is forgotten.
    void DropNewRow(int row);
    QString ShownText(int row, int col) const;
    // The cell shown at ROW and COL (a pending edit first); null when empty.
    const Cell* CellAt(int row, int col) const;
    void ColumnsChanged();
    // Whether a grid of the current rows has room for the add-new row.
    bool RoomForNewRow() const { return limit_ <= 0 || AddNewRow() < limit_; }
    // Shows or hides the add-new row as the room for it changed.
    void SyncAddNewRow();

    // Rows are read as they are shown, from const accessors too.
    mutable RowWindow rows_;
    std::vector<QString> captions_;
    std::vector<bool> numeric_;
    int decimals_ = -1;
    int currentRow_ = -1;

    // The row being edited: the cells typed so far (null where untouched).
    int pendingRow_ = -1;
    std::string pendingBookmark_;
    Cells pending_;
    bool addPending_ = false;  // the row being edited is a new row
    int limit_ = 0;
    bool addNewShown_ = true;  // rowCount includes the add-new row
};

}  // namespace tessaly
