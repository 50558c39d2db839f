#pragma once
// What an unbound grid exchanges with its data source, and the window of rows
// it holds from it. The grid keeps no data of its own: it reads rows through
// a read callback (a start bookmark and a direction, about a screenful at a
// time), hands an edited row to a write callback, a new row to an add
// callback and a deleted row to a delete callback. Bookmarks are row
// positions as decimal text, the way the read callback hands them out.
// Plain C++: the Qt grid builds on this, and so does the point table's side
// of the callbacks.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cell.h"

namespace tessaly {

// The grid's exchange object for one callback.
struct RowBuf {
    struct Row {
        // One cell per grid column. A null cell (nullopt) is a column the
        // user did not touch.
        std::vector<std::optional<Cell>> cells;
        std::string bookmark;
    };
    // On entry to the read callback: as many rows as the grid asks for. On
    // return: the rows delivered. Write and add use row 0.
    std::vector<Row> rows;

    int32_t RowCount() const { return static_cast<int32_t>(rows.size()); }
};

// Row index of a bookmark; OutOfRange for text that is not a row index.
int32_t BookmarkRow(std::string_view bookmark);

struct UnboundCallbacks {
    std::function<void(RowBuf& buf, std::optional<std::string_view> StartLocation, bool ReadPriorRows)> ReadData;
    std::function<void(const RowBuf& buf, std::string_view WriteLocation)> WriteData;
    std::function<void(const RowBuf& buf, int32_t& NewRowBookmark)> AddData;
    std::function<void(std::string_view Bookmark)> DeleteRow;
};

// The rows held from the data source: a few screenfuls around the rows last
// asked for, read through the read callback as scrolling needs them. The
// number of rows is learnt from one read backwards from the end (the last
// row's bookmark is its position) and kept until Reset.
class RowWindow {
public:
    using Row = RowBuf::Row;

    // The callbacks of the data source; the rows held are dropped.
    void SetCallbacks(UnboundCallbacks callbacks);
    const UnboundCallbacks& Callbacks() const { return callbacks_; }
    // Where the message of a failed callback goes.
    void SetReport(std::function<void(const std::string& message)> report) { report_ = std::move(report); }
    // Runs a callback. An error it raises must not unwind through the
    // caller's event handling: it is reported, and the result is false.
    bool Call(const std::function<void()>& callback) const;

    // Cells a row carries: the grid's columns. The rows held are dropped.
    void SetWidth(int cells);
    // Rows read per callback: about a screenful.
    void SetPageSize(int rows);
    int PageSize() const { return pageSize_; }

    // Rows the data source has.
    int Count();
    // The row at a position, read if it is not held; null outside the rows
    // or when the read failed. Valid until the next call that reads.
    const Row* Get(int position);

    // Drops the rows held; the row count stays.
    void Forget();
    // Drops the rows held and the row count: both are read again.
    void Reset();
    // The data source gained a row at its end, or lost one.
    void Added() { ++count_; }
    void Removed();

private:
    std::vector<Row> Read(std::optional<std::string> start, bool prior, int rows) const;
    void HoldLast(std::vector<Row> last);

    UnboundCallbacks callbacks_;
    std::function<void(const std::string&)> report_;
    int width_ = 0;
    int pageSize_ = 30;

    // Rows held: positions start_ .. start_ + held_.size() - 1.
    std::deque<Row> held_;
    int start_ = 0;
    bool countKnown_ = false;
    int count_ = 0;
};

}  // namespace tessaly
