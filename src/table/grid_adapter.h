#pragma once
// The callbacks through which an unbound grid reads and edits the point
// table. The grid names rows by bookmarks, and a bookmark is the row's index
// in the table: the read callback hands them out as decimal text, the add
// callback as an integer. A buffer row carries one cell per grid column;
// table columns beyond the grid's are neither read nor written.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/grid/row_window.h"
#include "table/point_table.h"

namespace tessaly {

// Write and add mark their row as typed by the user (see PointTable::Typed).
void DBGrid1_UnboundReadData(const PointTable& table, RowBuf& buf,
                             std::optional<std::string_view> StartLocation, bool ReadPriorRows);
void DBGrid1_UnboundWriteData(PointTable& table, const RowBuf& buf, std::string_view WriteLocation);
void DBGrid1_UnboundAddData(PointTable& table, const RowBuf& buf, int32_t& NewRowBookmark);
void DBGrid1_UnboundDeleteRow(PointTable& table, std::string_view Bookmark);

}  // namespace tessaly
