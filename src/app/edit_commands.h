#pragma once
// Changes of the point table made through the grid, as undo steps: a row
// written or added, and a row deleted. Each one changes the table on its
// first redo (when it is pushed, from inside a grid callback, so the grid
// already shows the change) and tells the window about later redos and undos
// so that the grid reads the table again.
#include <QUndoCommand>
#include <array>
#include <cstdint>
#include <functional>

#include "table/point_table.h"

namespace tessaly {

using TableRow = std::array<Cell, PointTable::TotCols>;
// Called after an undo or a later redo with the row it changed.
using TableChanged = std::function<void(int32_t row)>;

TableRow RowOf(const PointTable& table, int32_t row);

// What both steps share: the table, the row, and the window told about
// every undo and every redo but the first.
class TableCommand : public QUndoCommand {
protected:
    TableCommand(PointTable& table, TableChanged changed, int32_t row);
    // To be called at the end of redo() and undo().
    void Redone();
    void Undone() { changed_(row_); }

    PointTable& table_;
    const int32_t row_;

private:
    TableChanged changed_;
    bool first_ = true;
};

// A row written (ADDED false) or appended at the end of the table (ADDED
// true) by the user.
class RowEditCommand : public TableCommand {
public:
    RowEditCommand(PointTable& table, TableChanged changed, int32_t row, TableRow before, bool typedBefore,
                   TableRow after, bool added);
    void redo() override;
    void undo() override;

private:
    TableRow before_, after_;
    bool typedBefore_, added_;
};

// A row deleted by the user; a loaded point comes back as one on undo.
class RowDeleteCommand : public TableCommand {
public:
    RowDeleteCommand(PointTable& table, TableChanged changed, int32_t row);
    void redo() override;
    void undo() override;

private:
    TableRow cells_;
    bool typed_, point_;
};

}  // namespace tessaly
