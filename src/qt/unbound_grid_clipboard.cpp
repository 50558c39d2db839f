// The grid's clipboard and its edits of the selection: copying and pasting
// blocks of cells as tab-separated lines, emptying cells, deleting rows.
#include <QApplication>
#include <QClipboard>
#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "qt/ansi_text.h"
#include "qt/unbound_grid.h"

namespace tessaly {

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
            if (cells.count({r, c})) out += model_->FullText(r, c);
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
    // The lines split into their fields, and the most fields of a line.
    std::vector<QStringList> lines;
    int width = 1;
    for (const QString& line : body.split(u'\n')) {
        lines.push_back(line.split(u'\t'));
        width = std::max(width, static_cast<int>(lines.back().size()));
    }
    // Whole rows selected: the paste starts in the first column.
    const int startCol = selectionModel()->isRowSelected(Row(), {}) ? 0 : Col();
    const int startRow = Row();
    if (Editing()) Update();
    emit EditsBegin(tr("Paste"));
    int row = startRow;
    for (size_t n = 0; n < lines.size(); ++n) {
        const QStringList& fields = lines[n];
        if (row >= model_->AddNewRow() && !model_->AddNewShown()) {
            // Rows past the limit would be added now and lost later: the
            // rest of the paste is left out, and said.
            const auto left = static_cast<qsizetype>(lines.size() - n);
            emit CallbackFailed((left == 1 ? tr("%1 pasted row left out: the grid holds %2 rows at most")
                                               : tr("%1 pasted rows left out: the grid holds %2 rows at most"))
                                    .arg(left)
                                    .arg(model_->RowLimit()));
            break;
        }
        UnboundGridModel::Cells cells(static_cast<size_t>(model_->columnCount()));
        for (int k = 0; k < fields.size() && startCol + k < model_->columnCount(); ++k) {
            const std::string text = QStringToTableText(fields[k]);
            cells[static_cast<size_t>(startCol + k)] = text.empty() ? Cell{} : Cell{text};
        }
        if (row > model_->AddNewRow()) row = model_->AddNewRow();
        if (!model_->WriteCells(row, cells)) break;
        ++row;
    }
    emit EditsEnd();
    // The pasted block ends up selected, its first cell current.
    GoTo(startRow, startCol);
    const int lastRow = std::min(row - 1, model_->rowCount() - 1);
    const int lastCol = std::min(model_->columnCount() - 1, startCol + width - 1);
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
        if (i.row() >= model_->AddNewRow()) continue;
        if (model_->data(i, Qt::DisplayRole).toString().isEmpty()) continue;  // empty already
        UnboundGridModel::Cells& cells = rows[i.row()];
        cells.resize(static_cast<size_t>(model_->columnCount()));
        cells[static_cast<size_t>(i.column())].emplace();  // an empty cell
    }
    if (rows.empty()) return;
    emit EditsBegin(tr("Delete"));
    for (const auto& [row, cells] : rows)
        if (!model_->WriteCells(row, cells)) break;
    emit EditsEnd();
}

bool UnboundGrid::DeleteSelectedRows()
{
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
    if (rows.empty()) return false;
    emit EditsBegin(tr("Delete rows"));
    model_->DeleteRows(std::move(rows));
    emit EditsEnd();
    return true;
}

}  // namespace tessaly
