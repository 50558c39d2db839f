#include "table/point_table.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/text/text_rules.h"

namespace tessaly {

std::string CellText(const Cell& c)
{
    if (auto s = std::get_if<std::string>(&c)) return *s;
    if (auto d = std::get_if<double>(&c)) return NumberText(*d);
    return {};
}

void PointTable::Initialise() { Clear(); }

void PointTable::Clear()
{
    PointData.clear();
    // Room for a full table, which costs no memory until rows are filled.
    PointData.reserve(static_cast<size_t>(TotRows) * TotCols);
    AllocatedRows_ = TotRows;
    CurrItems_ = 0;
    RowCapacity_ = TotRows;
}

void PointTable::Materialise(int32_t rows)
{
    const size_t cells = static_cast<size_t>(rows) * TotCols;
    if (PointData.size() < cells) PointData.resize(cells);
}

size_t PointTable::Index(int16_t col, int32_t row) const
{
    if (col < 0 || col >= TotCols || row < 0 || row >= AllocatedRows_)
        throw OutOfRange("cell (" + std::to_string(col) + ", " + std::to_string(row) +
                         ") is outside the table of " + std::to_string(AllocatedRows_) + " rows");
    return static_cast<size_t>(row) * TotCols + static_cast<size_t>(col);
}

const Cell& PointTable::Get(int16_t col, int32_t row) const
{
    static const Cell kEmpty;
    const size_t i = Index(col, row);
    return i < PointData.size() ? PointData[i] : kEmpty;
}

void PointTable::Set(int16_t col, int32_t row, Cell value)
{
    const size_t i = Index(col, row);
    Materialise(row + 1);
    PointData[i] = std::move(value);
}

int32_t PointTable::AddPoint()
{
    if (Full())
        throw OutOfRange("the table holds " + std::to_string(AllocatedRows_) + " points at most");
    Materialise(CurrItems_ + 1);
    return CurrItems_++;
}

void PointTable::AddPoint(std::array<Cell, TotCols> cells)
{
    int32_t row = AddPoint();
    Cell* out = &PointData[static_cast<size_t>(row) * TotCols];
    for (int16_t c = 0; c < TotCols; ++c) out[c] = std::move(cells[static_cast<size_t>(c)]);
}

int32_t PointTable::AppendRow()
{
    ++RowCapacity_;
    // The table is re-allocated to the rows shown: rows left beyond them by
    // deletes are dropped.
    AllocatedRows_ = RowCapacity_;
    if (PointData.size() > static_cast<size_t>(AllocatedRows_) * TotCols)
        PointData.resize(static_cast<size_t>(AllocatedRows_) * TotCols);
    // After deletes the allocation can shrink below CurrItems; rows beyond it
    // no longer exist, so they cannot be points any more.
    if (CurrItems_ > RowCapacity_) CurrItems_ = RowCapacity_;
    return RowCapacity_ - 1;
}

void PointTable::RemoveRow(int32_t r)
{
    if (r < 0 || r >= RowCapacity_)
        throw OutOfRange("row " + std::to_string(r) + " is outside the " + std::to_string(RowCapacity_) +
                         " rows shown");
    // Rows r + 1 to RowCapacity - 1 move up by one; the old last row keeps
    // its contents. Rows past the held ones are empty, so only the held
    // part moves, and the row that receives the first empty one is emptied.
    const int32_t held = static_cast<int32_t>(PointData.size() / TotCols);
    const int32_t last = std::min(RowCapacity_ - 1, held - 1);
    for (int32_t s = r + 1; s <= last; ++s) {
        Cell* from = &PointData[Index(0, s)];
        Cell* to = &PointData[Index(0, s - 1)];
        const bool keep = s == RowCapacity_ - 1;  // the old last row keeps its contents
        for (int16_t c = 0; c < TotCols; ++c) to[c] = keep ? from[c] : std::move(from[c]);
    }
    if (last >= r && last < RowCapacity_ - 1)
        for (int16_t c = 0; c < TotCols; ++c) PointData[Index(c, last)] = Cell{};
    --RowCapacity_;
}

void PointTable::CompactPoints()
{
    // The survivors close up in place, in order; the table then looks as if
    // it had been cleared and the survivors added again.
    const int32_t n = CurrItems_;
    size_t kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        Cell* row = &PointData[static_cast<size_t>(i) * TotCols];
        double a = LeadingNumber(CellText(row[ColNorthing]));
        double b = LeadingNumber(CellText(row[ColEasting]));
        if (a > 0 || b > 0) {
            Cell* to = &PointData[kept * TotCols];
            if (to != row)
                for (int16_t c = 0; c < TotCols; ++c) to[c] = std::move(row[c]);
            ++kept;
        }
    }
    PointData.resize(std::min(kept, static_cast<size_t>(TotRows)) * TotCols);
    AllocatedRows_ = TotRows;
    RowCapacity_ = TotRows;
    CurrItems_ = static_cast<int32_t>(std::min<size_t>(kept, static_cast<size_t>(TotRows)));
    if (kept > static_cast<size_t>(TotRows))
        throw OutOfRange("the table holds " + std::to_string(TotRows) + " points at most");
}

}  // namespace tessaly
