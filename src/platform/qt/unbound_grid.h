#pragma once
// A data grid in unbound mode. It keeps no data of its own beyond the rows on
// screen: it pages rows in through a read callback (a start bookmark and a
// direction, a screenful at a time), hands an edited row to a write callback
// when the user leaves it, a completed new row to an add callback and a
// deleted row to a delete callback. A refresh drops what it holds and reads
// again. Bookmarks are row positions as decimal text, the way the read
// callback hands them out; a cell the user did not touch goes back as null.
//
// The grid offers an add-new row below the last row and a row selector
// column at the left edge (a triangle on the current row, a pencil on a row
// with edits not yet handed back, an asterisk on the add-new row). Text is
// shown decoded from Windows-1252 and typed text is stored encoded to it.
//
// Editing works as in a spreadsheet: a printable key on a cell starts editing
// it with that key (there is no keyboard search), a click on the current cell
// opens its editor, Enter commits and moves down, Del or Backspace empties
// the selected cells (Del on whole selected rows deletes the rows), Ctrl+C
// copies the selection as tab-separated text and Ctrl+V pastes such text from
// the current cell on. Columns marked as numeric are right-aligned and mark
// a cell whose text is not a number.
#include <QAbstractTableModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/grid_adapter.h"

namespace tessaly {

struct UnboundCallbacks {
    std::function<void(RowBuf& buf, std::optional<std::string_view> StartLocation, bool ReadPriorRows)> ReadData;
    std::function<void(const RowBuf& buf, std::string_view WriteLocation)> WriteData;
    std::function<void(const RowBuf& buf, int32_t& NewRowBookmark)> AddData;
    std::function<void(std::string_view Bookmark)> DeleteRow;
};

class UnboundGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kCells = PointTable::TotCols;  // cells a buffer row carries
    using Cells = std::array<std::optional<Cell>, kCells>;

    explicit UnboundGridModel(QObject* parent = nullptr);

    void SetCallbacks(UnboundCallbacks callbacks);
    // Drops every row held and the row being edited; rows are read again.
    void Refresh();
    // Rows read per callback: about a screenful.
    void SetPageSize(int rows);
    int PageSize() const { return pageSize_; }

    // Rows the data source has; the add-new row (and a new row being typed)
    // come after them.
    int DataRows() const;
    int AddNewRow() const { return DataRows() + (addPending_ ? 1 : 0); }
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
    // Hands one row's cells (null where untouched) to the write callback, or
    // to the add callback for the add-new row. False when it failed.
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

private:
    struct HeldRow {
        Cells cells;
        std::string bookmark;
    };

    void EnsureCount() const;
    const HeldRow* EnsureRow(int position) const;
    std::vector<HeldRow> Read(std::optional<std::string> start, bool prior, int rows) const;
    void Forget() const;
    bool Call(const std::function<void()>& callback) const;
    QString ShownText(int row, int col) const;

    UnboundCallbacks callbacks_;
    std::vector<QString> captions_;
    std::vector<bool> numeric_;
    int pageSize_ = 30;
    int currentRow_ = -1;

    // Rows held: positions heldStart_ .. heldStart_ + held_.size() - 1.
    mutable std::deque<HeldRow> held_;
    mutable int heldStart_ = 0;
    mutable bool countKnown_ = false;
    mutable int dataRows_ = 0;

    // The row being edited: the cells typed so far (null where untouched).
    int pendingRow_ = -1;
    std::string pendingBookmark_;
    Cells pending_{};
    bool addPending_ = false;  // the row being edited is a new row
};

class UnboundGrid : public QTableView {
    Q_OBJECT
public:
    explicit UnboundGrid(QWidget* parent = nullptr);

    void SetCallbacks(UnboundCallbacks callbacks);
    void Refresh();
    // Closes an open editor keeping its text and hands the row being edited
    // to its callback.
    void Update();

    // Column collection.
    int ColumnCount() const { return model_->columnCount(); }
    void RemoveColumn(int position) { model_->RemoveColumn(position); }
    void AddColumn(int position) { model_->InsertColumn(position); }
    void SetColumnCaption(int position, const QString& caption) { model_->SetCaption(position, caption); }
    QString ColumnCaption(int position) const { return model_->Caption(position); }
    void SetColumnVisible(int position, bool visible) { setColumnHidden(position, !visible); }
    bool ColumnVisible(int position) const { return !isColumnHidden(position); }
    void SetColumnWidth(int position, int pixels) { setColumnWidth(position, pixels); }
    void SetColumnNumeric(int position, bool numeric) { model_->SetNumeric(position, numeric); }
    // Widens a column so that TEXT fits without being cut.
    void FitColumnTo(int position, const QString& text);

    // Reads the rows again, like Refresh, but keeps the current cell.
    void Reread();
    // Makes a cell current and scrolls it into view.
    void GoTo(int row, int col);

    // The selection as tab-separated text: one line a row, cells separated
    // by tabs, the rows and columns that hold selected cells, in order.
    QString SelectionText() const;
    // Ctrl+C: the selection to the clipboard.
    void Copy();
    // Ctrl+V: tab-separated text into the cells from the current one on,
    // row by row, adding rows at the end as needed.
    void Paste();
    void PasteText(const QString& text);
    // Del or Backspace on cells: empties the selected cells.
    void ClearSelectedCells();
    // Del on rows: deletes the whole rows selected. False when none is.
    bool DeleteSelectedRows();

    // The current cell: row and column position (-1 when there is none) and
    // its text, the editor's text while it is open.
    int Row() const { return currentIndex().row(); }
    int Col() const { return currentIndex().column(); }
    QString Text() const;
    // True while the floating editor is open on the current cell.
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

    UnboundGridModel* Model() const { return model_; }

signals:
    void KeyUp(int key, Qt::KeyboardModifiers modifiers);
    void CallbackFailed(const QString& message);
    // Around a change of several rows at once (a paste, emptying cells,
    // deleting rows), so that it can be taken back as one.
    void EditsBegin(const QString& what);
    void EditsEnd();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Delegate;
    void UpdatePageSize();
    void FitRowsToFont();

    UnboundGridModel* model_;
    Delegate* delegate_;
    bool sizingRows_ = false;
    QPersistentModelIndex clickedCurrent_;  // a press on the current, selected cell
    bool clicking_ = false;                 // the editor is being opened by that click
    bool typedOver_ = false;                // the open editor replaces the cell's text
};

}  // namespace tessaly
