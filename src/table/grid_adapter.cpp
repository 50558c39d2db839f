#include "table/grid_adapter.h"

#include <algorithm>
#include <string>

namespace tessaly {

namespace {
// The table columns a buffer row carries.
size_t Columns(const RowBuf::Row& row) { return std::min(row.cells.size(), static_cast<size_t>(PointTable::TotCols)); }
}  // namespace

void DBGrid1_UnboundReadData(const PointTable& table, RowBuf& buf,
                             std::optional<std::string_view> StartLocation, bool ReadPriorRows)
{
    const int32_t d = ReadPriorRows ? -1 : 1;
    int64_t b;
    if (!StartLocation) b = ReadPriorRows ? table.RowCapacity() - 1 : 0;
    else b = int64_t{BookmarkRow(*StartLocation)} + d;

    const int32_t m = buf.RowCount();
    int32_t k = 0;
    for (int32_t i = 0; i < m; ++i) {
        if (b < 0 || b >= table.RowCapacity()) break;
        auto& row = buf.rows[static_cast<size_t>(i)];
        for (size_t j = 0; j < Columns(row); ++j) row.cells[j] = table.Get(static_cast<int16_t>(j), static_cast<int32_t>(b));
        row.bookmark = std::to_string(b);
        b += d;
        ++k;
    }
    buf.rows.resize(static_cast<size_t>(k));
}

void DBGrid1_UnboundWriteData(PointTable& table, const RowBuf& buf, std::string_view WriteLocation)
{
    const int32_t r = BookmarkRow(WriteLocation);
    if (buf.rows.empty()) return;
    for (size_t j = 0; j < Columns(buf.rows[0]); ++j)
        if (const auto& cell = buf.rows[0].cells[j]) table.Set(static_cast<int16_t>(j), r, *cell);
    table.SetTyped(r, true);
}

void DBGrid1_UnboundAddData(PointTable& table, const RowBuf& buf, int32_t& NewRowBookmark)
{
    const int32_t r = table.AppendRow();
    NewRowBookmark = r;
    for (int16_t j = 0; j < PointTable::TotCols; ++j) {
        const std::optional<Cell>* cell = nullptr;
        if (!buf.rows.empty() && static_cast<size_t>(j) < Columns(buf.rows[0])) cell = &buf.rows[0].cells[static_cast<size_t>(j)];
        // Our columns carry no default value: an untouched column is empty.
        table.Set(j, r, cell && *cell ? **cell : Cell{});
    }
    table.SetTyped(r, true);
}

void DBGrid1_UnboundDeleteRow(PointTable& table, std::string_view Bookmark)
{
    table.RemoveRow(BookmarkRow(Bookmark));
}

}  // namespace tessaly
