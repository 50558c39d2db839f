#pragma once
// The callbacks through which an unbound grid reads and edits the point
// table. The grid names rows by bookmarks, and a bookmark is the row's index
// in the table: the read callback hands them out as decimal text, the add
// callback as an integer.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/point_table.h"

namespace tessaly {

// The grid's exchange object for one callback.
struct RowBuf {
    struct Row {
        // A null cell (nullopt) is a column the user did not touch.
        std::array<std::optional<Cell>, PointTable::TotCols> cells;
        std::string bookmark;
    };
    // On entry to the read callback: as many rows as the grid asks for. On
    // return: the rows delivered. Write and add use row 0.
    std::vector<Row> rows;

    int32_t RowCount() const { return static_cast<int32_t>(rows.size()); }
};

// Row index of a bookmark; OutOfRange for text that is not a row index.
int32_t BookmarkRow(std::string_view bookmark);

// Write and add mark their row as typed by the user (see PointTable::Typed).
void DBGrid1_UnboundReadData(const PointTable& table, RowBuf& buf,
                             std::optional<std::string_view> StartLocation, bool ReadPriorRows);
void DBGrid1_UnboundWriteData(PointTable& table, const RowBuf& buf, std::string_view WriteLocation);
void DBGrid1_UnboundAddData(PointTable& table, const RowBuf& buf, int32_t& NewRowBookmark);
void DBGrid1_UnboundDeleteRow(PointTable& table, std::string_view Bookmark);

}  // namespace tessaly
