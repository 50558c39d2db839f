#include "table/point_table.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>

#include "platform/error.h"
#include "platform/text/text_rules.h"

namespace tessaly {

std::string_view UnitName(LinearUnit unit)
{
    switch (unit) {
    case LinearUnit::Metre: return "metres";
    case LinearUnit::UsSurveyFoot: return "US survey feet";
    case LinearUnit::Foot: return "international feet";
    case LinearUnit::Unknown: break;
    }
    return "";
}

std::string_view UnitWord(LinearUnit unit)
{
    switch (unit) {
    case LinearUnit::Metre: return "metre";
    case LinearUnit::UsSurveyFoot: return "us-foot";
    case LinearUnit::Foot: return "foot";
    case LinearUnit::Unknown: break;
    }
    return "";
}

LinearUnit UnitOfWord(std::string_view word)
{
    for (const LinearUnit unit : {LinearUnit::Metre, LinearUnit::UsSurveyFoot, LinearUnit::Foot})
        if (word == UnitWord(unit)) return unit;
    return LinearUnit::Unknown;
}

namespace {
// A unit's length in metres as the fraction NUMERATOR / DENOMINATOR, both
// exact in a double.
struct Metres {
    int64_t numerator, denominator;
};

Metres InMetres(LinearUnit unit)
{
    switch (unit) {
    case LinearUnit::UsSurveyFoot: return {1200, 3937};
    case LinearUnit::Foot: return {3048, 10000};
    case LinearUnit::Metre:
    case LinearUnit::Unknown: break;
    }
    return {1, 1};
}
}  // namespace

double ConvertLength(double value, LinearUnit from, LinearUnit to)
{
    if (from == to || from == LinearUnit::Unknown || to == LinearUnit::Unknown) return value;
    // One fraction in lowest terms (US survey foot to foot: 500000/499999),
    // so a value the units share exactly (3937 US survey feet, 1200 m)
    // comes out exact: one multiplication, one division.
    const Metres f = InMetres(from), t = InMetres(to);
    int64_t numerator = f.numerator * t.denominator, denominator = f.denominator * t.numerator;
    const int64_t common = std::gcd(numerator, denominator);
    numerator /= common;
    denominator /= common;
    const auto n = static_cast<double>(numerator), d = static_cast<double>(denominator);
    const double exact = value * n / d;
    return std::isfinite(exact) ? exact : value * (n / d);  // VALUE * N alone overflowed
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
    Typed_.clear();
    PointsNotRead_.clear();
    Unit_ = LinearUnit::Unknown;
    Crs_.clear();
}

void PointTable::Materialise(int32_t rows)
{
    const size_t cells = static_cast<size_t>(rows) * TotCols;
    if (PointData.size() < cells) PointData.resize(cells);
}

void PointTable::FailIndex(int16_t col, int32_t row) const
{
    throw OutOfRange("cell (" + std::to_string(col) + ", " + std::to_string(row) + ") is outside the table of " +
                     std::to_string(AllocatedRows_) + " rows");
}

void PointTable::FailRow(int32_t row) const
{
    throw OutOfRange("row " + std::to_string(row) + " is outside the " + std::to_string(RowCapacity_) + " rows shown");
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

void PointTable::AddTextPoint(const std::array<std::string_view, TotCols>& texts)
{
    int32_t row = AddPoint();
    Cell* out = &PointData[static_cast<size_t>(row) * TotCols];
    for (int16_t c = 0; c < TotCols; ++c) out[c].emplace<std::string>(texts[static_cast<size_t>(c)]);
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
    Typed_.erase(std::lower_bound(Typed_.begin(), Typed_.end(), AllocatedRows_), Typed_.end());
    return RowCapacity_ - 1;
}

void PointTable::RemoveRow(int32_t r)
{
    if (r < 0 || r >= RowCapacity_) FailRow(r);
    const bool point = r < CurrItems_;
    // Rows r + 1 to RowCapacity - 1 move up by one. Rows past the held ones
    // are empty, so only the held part moves, and the row that receives the
    // first empty one is emptied. The old last row keeps its contents,
    // unless a loaded point went: then it is emptied too.
    const int32_t held = static_cast<int32_t>(PointData.size() / TotCols);
    const int32_t last = std::min(RowCapacity_ - 1, held - 1);
    for (int32_t s = r + 1; s <= last; ++s) {
        Cell* from = &PointData[Index(0, s)];
        Cell* to = &PointData[Index(0, s - 1)];
        const bool keep = s == RowCapacity_ - 1 && !point;
        for (int16_t c = 0; c < TotCols; ++c) to[c] = keep ? from[c] : std::move(from[c]);
    }
    if (last >= r && (last < RowCapacity_ - 1 || point))
        for (int16_t c = 0; c < TotCols; ++c) PointData[Index(c, last)] = Cell{};

    auto at = std::lower_bound(Typed_.begin(), Typed_.end(), r);
    if (at != Typed_.end() && *at == r) at = Typed_.erase(at);
    for (; at != Typed_.end(); ++at) --*at;

    --RowCapacity_;
    if (point) --CurrItems_;
}

void PointTable::InsertRow(int32_t r, std::array<Cell, TotCols> cells, bool typed, bool point)
{
    if (r < 0 || r > RowCapacity_) FailRow(r);
    if (RowCapacity_ >= AllocatedRows_) AllocatedRows_ = RowCapacity_ + 1;
    // Rows r to RowCapacity - 1 move down by one; past the held rows all
    // are empty, so only the held part moves.
    const int32_t held = static_cast<int32_t>(PointData.size() / TotCols);
    const int32_t last = std::min(RowCapacity_ - 1, held - 1);
    ++RowCapacity_;
    Materialise(std::max(last + 2, r + 1));
    for (int32_t s = last + 1; s > r; --s)
        for (int16_t c = 0; c < TotCols; ++c) PointData[Index(c, s)] = std::move(PointData[Index(c, s - 1)]);
    for (int16_t c = 0; c < TotCols; ++c) PointData[Index(c, r)] = std::move(cells[static_cast<size_t>(c)]);

    auto at = std::lower_bound(Typed_.begin(), Typed_.end(), r);
    for (auto it = at; it != Typed_.end(); ++it) ++*it;
    if (typed) Typed_.insert(at, r);
    if (point && CurrItems_ < RowCapacity_) ++CurrItems_;
}

bool PointTable::Typed(int32_t row) const { return std::binary_search(Typed_.begin(), Typed_.end(), row); }

void PointTable::SetTyped(int32_t row, bool typed)
{
    auto at = std::lower_bound(Typed_.begin(), Typed_.end(), row);
    const bool is = at != Typed_.end() && *at == row;
    if (typed && !is) Typed_.insert(at, row);
    else if (!typed && is) Typed_.erase(at);
}

RowList PointTable::RowsToSave() const
{
    std::vector<std::int32_t> later;
    for (auto at = std::lower_bound(Typed_.begin(), Typed_.end(), CurrItems_); at != Typed_.end(); ++at) {
        if (*at >= RowCapacity_) break;
        bool empty = true;
        for (int16_t c = 0; c < TotCols && empty; ++c) {
            const Cell& cell = Get(c, *at);
            empty = IsEmpty(cell) || (IsText(cell) && std::get<std::string>(cell).empty());
        }
        if (!empty) later.push_back(*at);
    }
    return {CurrItems_, std::move(later)};
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
    Typed_.clear();
    AllocatedRows_ = TotRows;
    RowCapacity_ = TotRows;
    CurrItems_ = static_cast<int32_t>(std::min<size_t>(kept, static_cast<size_t>(TotRows)));
    if (kept > static_cast<size_t>(TotRows))
        throw OutOfRange("the table holds " + std::to_string(TotRows) + " points at most");
}

}  // namespace tessaly
