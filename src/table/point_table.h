#pragma once
// The in-memory store of points: five columns (point number, northing,
// easting, elevation, description) by 10000 rows, allocated once at full size,
// with two counters: CurrItems, the points the last load produced, and
// RowCapacity, the rows the grid shows.
#include <array>
#include <cstdint>
#include <vector>

#include "table/cell.h"

namespace tessaly {

enum Column : int16_t { ColPoint = 0, ColNorthing = 1, ColEasting = 2, ColElevation = 3, ColDescription = 4 };

class PointTable {
public:
    static constexpr int16_t TotCols = 5;
    static constexpr int32_t TotRows = 10000;

    PointTable() { Initialise(); }

    // Ten thousand empty rows, CurrItems 0, RowCapacity 10000.
    void Initialise();
    // Every load starts here: a fresh full-size table, both counters reset.
    void Clear();

    // Adds 1 to CurrItems and returns the new row, CurrItems - 1. When no
    // row is free it throws OutOfRange and CurrItems stays as it was.
    int32_t AddPoint();
    // Adds a point with all five cells.
    void AddPoint(std::array<Cell, TotCols> cells);

    const Cell& Get(int16_t col, int32_t row) const;
    void Set(int16_t col, int32_t row, Cell value);

    // Grid append: one more shown row at the very end; returns it.
    int32_t AppendRow();
    // Grid delete: rows after R move up by one, RowCapacity drops by one.
    void RemoveRow(int32_t r);

    // Keeps the loaded rows whose northing or easting is greater than zero.
    void CompactPoints();

    int32_t CurrItems() const { return CurrItems_; }
    int32_t RowCapacity() const { return RowCapacity_; }
    int32_t AllocatedRows() const { return AllocatedRows_; }
    bool Full() const { return CurrItems_ >= AllocatedRows(); }

private:
    size_t Index(int16_t col, int32_t row) const;

    // Makes rows 0 to ROW - 1 hold real cells.
    void Materialise(int32_t rows);

    // Row-major: cell (col, row) at row * TotCols + col. Only the rows up to
    // the last one ever written are held; the rest of the allocated rows are
    // empty and read as such. The memory of a cleared table is kept, so a
    // load neither asks the system for memory nor touches the rows it does
    // not fill.
    std::vector<Cell> PointData;
    int32_t AllocatedRows_ = 0;
    int32_t CurrItems_ = 0;
    int32_t RowCapacity_ = 0;
};

}  // namespace tessaly
