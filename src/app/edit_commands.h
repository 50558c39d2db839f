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

// A row written (ADDED false) or appended at the end of the table (ADDED
// true) by the user.
class RowEditCommand : public QUndoCommand {
public:
    RowEditCommand(PointTable& table, TableChanged changed, int32_t row, TableRow before, bool typedBefore,
                   TableRow after, bool added);
    void redo() override;
    void undo() override;

private:
    PointTable& table_;
    TableChanged changed_;
    int32_t row_;
    TableRow before_, after_;
    bool typedBefore_, added_;
    bool first_ = true;
};

// A row deleted by the user; a loaded point comes back as one on undo.
class RowDeleteCommand : public QUndoCommand {
public:
    RowDeleteCommand(PointTable& table, TableChanged changed, int32_t row);
    void redo() override;
    void undo() override;

private:
    PointTable& table_;
    TableChanged changed_;
    int32_t row_;
    TableRow cells_;
    bool typed_, point_;
    bool first_ = true;
};

}  // namespace tessaly
