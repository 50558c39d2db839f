#pragma once
// A data grid in unbound mode: the view of an UnboundGridModel, with its
// editor, keys and line style. It keeps no data of its own beyond the rows on
// screen: it pages rows in through a read callback (a start bookmark and a
// direction, a screenful at a time), hands an edited row to a write callback
// when the user leaves it, a completed new row to an add callback and a
// deleted row to a delete callback. A refresh drops what it holds and reads
// again. Bookmarks are row positions as decimal text, the way the read
// callback hands them out; a cell the user did not touch goes back as null.
//
// The grid offers an add-new row below the last row (while it holds fewer
// rows than its limit) and a row selector column at the left edge (a
// triangle on the current row, a pencil on a row with edits not yet handed
// back, an asterisk on the add-new row). Cell text is UTF-8: any character
// shows, and any typed or pasted one is kept.
//
// Editing works as in a spreadsheet: a printable key on a cell starts editing
// it with that key (there is no keyboard search), a click on the current cell
// opens its editor, Enter commits and moves down, Del or Backspace empties
// the selected cells (Del on whole selected rows deletes the rows), Ctrl+C
// copies the selection as tab-separated text and Ctrl+V pastes such text from
// the current cell on. Columns marked as numeric are right-aligned and mark
// a cell whose text is not a number.
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

#include "qt/unbound_grid_model.h"

namespace tessaly {

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
    void SetColumnWidth(int position, int pixels);
    // The column that takes the width left free right of the columns, so
    // that a widened grid shows no empty band; it never gets narrower than
    // the width it was given (SetColumnWidth, or a drag of its edge). -1:
    // none.
    void SetFillColumn(int position);
    void SetColumnNumeric(int position, bool numeric) { model_->SetNumeric(position, numeric); }
    // Widens a column so that TEXT fits without being cut (as far as a cell
    // draws its text).
    void FitColumnTo(int position, const QString& text);

    // The most rows the grid holds (0: no limit). A full grid offers no
    // add-new row, and a paste past its last row leaves the rest out.
    void SetRowLimit(int rows) { model_->SetRowLimit(rows); }

    // Ctrl+End goes to the last row that holds data, as LASTFILLED tells
    // (-1: none), and from there on to the last row.
    void SetLastFilledRow(std::function<int()> lastFilled) { lastFilled_ = std::move(lastFilled); }

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
    // Enter: the cell below becomes current (the last row stays).
    void MoveDown();
    void FitRowsToFont();
    void FitFillColumn();

    UnboundGridModel* model_;
    Delegate* delegate_;
    bool sizingRows_ = false;
    std::function<int()> lastFilled_;
    int fillColumn_ = -1;
    int fillBase_ = 0;  // the fill column's own width
    bool fillingColumn_ = false;
    QPersistentModelIndex clickedCurrent_;  // a press on the current, selected cell
    bool clicking_ = false;                 // the editor is being opened by that click
    bool typedOver_ = false;                // the open editor replaces the cell's text
};

}  // namespace tessaly
