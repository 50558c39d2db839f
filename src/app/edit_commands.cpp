#include "app/edit_commands.h"

#include <QCoreApplication>
#include <string>
#include <utility>

#include "platform/error.h"

namespace tessaly {

TableRow RowOf(const PointTable& table, int32_t row)
{
    TableRow cells;
    for (int16_t c = 0; c < PointTable::TotCols; ++c) cells[static_cast<size_t>(c)] = table.Get(c, row);
    return cells;
}

namespace {
void Store(PointTable& table, int32_t row, const TableRow& cells)
{
    for (int16_t c = 0; c < PointTable::TotCols; ++c) table.Set(c, row, cells[static_cast<size_t>(c)]);
}
}  // namespace

TableCommand::TableCommand(PointTable& table, TableChanged changed, int32_t row)
    : table_(table), row_(row), changed_(std::move(changed))
{
}

void TableCommand::Redone()
{
    // The first redo is the push, made from inside a grid callback: the grid
    // shows the change already.
    if (!first_) changed_(row_);
    first_ = false;
}

RowEditCommand::RowEditCommand(PointTable& table, TableChanged changed, int32_t row, TableRow before,
                               bool typedBefore, TableRow after, bool added)
    : TableCommand(table, std::move(changed), row),
      before_(std::move(before)),
      after_(std::move(after)),
      typedBefore_(typedBefore),
      added_(added)
{
    setText(added ? QCoreApplication::translate("tessaly::PointsWindow", "Add row")
                  : QCoreApplication::translate("tessaly::PointsWindow", "Edit row"));
}

void RowEditCommand::redo()
{
    if (added_) table_.AppendRow();
    Store(table_, row_, after_);
    table_.SetTyped(row_, true);
    Redone();
}

void RowEditCommand::undo()
{
    if (added_) {
        table_.RemoveRow(row_);
    } else {
        Store(table_, row_, before_);
        table_.SetTyped(row_, typedBefore_);
    }
    Undone();
}

RowDeleteCommand::RowDeleteCommand(PointTable& table, TableChanged changed, int32_t row)
    : TableCommand(table, std::move(changed), row)
{
    if (row < 0 || row >= table.RowCapacity())
        throw OutOfRange("row " + std::to_string(row) + " is outside the " + std::to_string(table.RowCapacity()) +
                         " rows shown");
    cells_ = RowOf(table, row);
    typed_ = table.Typed(row);
    point_ = row < table.CurrItems();
    setText(QCoreApplication::translate("tessaly::PointsWindow", "Delete row"));
}

void RowDeleteCommand::redo()
{
    table_.RemoveRow(row_);
    Redone();
}

void RowDeleteCommand::undo()
{
    table_.InsertRow(row_, cells_, typed_, point_);
    Undone();
}

}  // namespace tessaly
