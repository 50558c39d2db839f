#include "table/point_table.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/text_rules.h"

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
    // Emptied in place: the cells' memory is already mapped, and a fresh
    // 2 MB allocation on every load costs more than the reading of a
    // 10000-point file.
    PointData.resize(static_cast<size_t>(TotRows) * TotCols);
    std::fill(PointData.begin(), PointData.end(), Cell{});
    CurrItems_ = 0;
    RowCapacity_ = TotRows;
}

size_t PointTable::Index(int16_t col, int32_t row) const
{
    if (col < 0 || col >= TotCols || row < 0 || row >= AllocatedRows())
        throw OutOfRange("cell (" + std::to_string(col) + ", " + std::to_string(row) +
                         ") is outside the table of " + std::to_string(AllocatedRows()) + " rows");
    return static_cast<size_t>(row) * TotCols + static_cast<size_t>(col);
}

const Cell& PointTable::Get(int16_t col, int32_t row) const { return PointData[Index(col, row)]; }

void PointTable::Set(int16_t col, int32_t row, Cell value) { PointData[Index(col, row)] = std::move(value); }

int32_t PointTable::AddPoint()
{
    if (Full())
        throw OutOfRange("the table holds " + std::to_string(AllocatedRows()) + " points at most");
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
    PointData.resize(static_cast<size_t>(RowCapacity_) * TotCols);
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
    for (int32_t s = r + 1; s <= RowCapacity_ - 1; ++s)
        for (int16_t c = 0; c < TotCols; ++c) PointData[Index(c, s - 1)] = PointData[Index(c, s)];
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
    for (size_t i = kept * TotCols; i < PointData.size(); ++i) PointData[i] = std::monostate{};
    PointData.resize(static_cast<size_t>(TotRows) * TotCols);
    RowCapacity_ = TotRows;
    CurrItems_ = static_cast<int32_t>(std::min<size_t>(kept, static_cast<size_t>(TotRows)));
    if (kept > static_cast<size_t>(TotRows))
        throw OutOfRange("the table holds " + std::to_string(TotRows) + " points at most");
}

}  // namespace tessaly
