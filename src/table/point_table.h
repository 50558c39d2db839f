#pragma once
// The in-memory store of points: five columns (point number, northing,
// easting, elevation, description) by 10000 rows, allocated once at full size,
// with two counters: CurrItems, the points the last load produced, and
// RowCapacity, the rows the grid shows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/cell.h"
#include "table/huge_page_allocator.h"

namespace tessaly {

enum Column : int16_t { ColPoint = 0, ColNorthing = 1, ColEasting = 2, ColElevation = 3, ColDescription = 4 };

// The linear unit of the coordinates, as far as the file said: a reader that
// knows it (LandXML, instrument files) sets it; every other load leaves it
// Unknown.
enum class LinearUnit : uint8_t { Unknown, Metre, UsSurveyFoot, Foot };

// The unit's name in the plural, as messages say it: "metres", "US survey
// feet", "international feet"; "" for Unknown.
std::string_view UnitName(LinearUnit unit);
// The converter's word for a unit: "metre", "us-foot", "foot" ("" for
// Unknown), and the unit of such a word (Unknown for any other).
std::string_view UnitWord(LinearUnit unit);
LinearUnit UnitOfWord(std::string_view word);

// VALUE in FROM expressed in TO, through the exact definitions of the units
// in metres (a US survey foot is 1200/3937 m, an international foot 0.3048
// m); VALUE itself when either unit is Unknown.
double ConvertLength(double value, LinearUnit from, LinearUnit to);

// Row numbers in ascending order: rows 0 to LOADED - 1, then the rows in
// LATER (each at or after LOADED). Ten thousand loaded rows cost nothing to
// list.
class RowList {
public:
    RowList(int32_t loaded, std::vector<int32_t> later) : loaded_(loaded), later_(std::move(later)) {}

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = int32_t;

        Iterator() = default;
        Iterator(const RowList* list, size_t i) : list_(list), i_(i) {}
        int32_t operator*() const
        {
            const auto loaded = static_cast<size_t>(list_->loaded_);
            return i_ < loaded ? static_cast<int32_t>(i_) : list_->later_[i_ - loaded];
        }
        Iterator& operator++()
        {
            ++i_;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator was = *this;
            ++i_;
            return was;
        }
        bool operator==(const Iterator& other) const { return i_ == other.i_; }

    private:
        const RowList* list_ = nullptr;
        size_t i_ = 0;
    };

    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size()}; }
    size_t size() const { return static_cast<size_t>(loaded_) + later_.size(); }
    bool empty() const { return size() == 0; }

private:
    int32_t loaded_;
    std::vector<int32_t> later_;
};

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
    // Adds a point whose five cells are text, built in place from TEXTS.
    void AddTextPoint(const std::array<std::string_view, TotCols>& texts);

    const Cell& Get(int16_t col, int32_t row) const
    {
        static const Cell kEmpty;
        const size_t i = Index(col, row);
        return i < PointData.size() ? PointData[i] : kEmpty;
    }
    void Set(int16_t col, int32_t row, Cell value);

    // Grid append: one more shown row at the very end; returns it.
    int32_t AppendRow();
    // Grid delete: rows after R move up by one, RowCapacity drops by one. A
    // loaded point (R below CurrItems) takes CurrItems down with it, and the
    // row that falls out at the end is emptied, so that no deleted point and
    // no copy of a moved one is left to be saved.
    void RemoveRow(int32_t r);
    // Puts a removed row back at R (undo of a delete): rows from R move down
    // by one and RowCapacity grows by one; POINT counts it as a loaded point
    // again.
    void InsertRow(int32_t r, std::array<Cell, TotCols> cells, bool typed, bool point);

    // Rows the user typed into through the grid. Only such rows at or after
    // CurrItems are saved with the points.
    bool Typed(int32_t row) const;
    void SetTyped(int32_t row, bool typed);

    // The rows that a writer stores, in table order: the loaded points (rows
    // 0 to CurrItems - 1), then every row at or after CurrItems that the user
    // typed into and that is not empty.
    RowList RowsToSave() const;

    // Why the points of the file last read were not loaded although the file
    // holds some (a layout that is recognised but not read); empty otherwise.
    // Every clear forgets it.
    const std::string& PointsNotRead() const { return PointsNotRead_; }
    void SetPointsNotRead(std::string why) { PointsNotRead_ = std::move(why); }

    // The unit of the loaded points; every clear makes it Unknown.
    LinearUnit Unit() const { return Unit_; }
    void SetUnit(LinearUnit unit) { Unit_ = unit; }

    // The coordinate reference system of the loaded points, as PROJ takes
    // it ("EPSG:2263", or WKT); empty when none is known. Every clear
    // forgets it.
    const std::string& Crs() const { return Crs_; }
    void SetCrs(std::string crs) { Crs_ = std::move(crs); }

    // Keeps the loaded rows whose northing or easting is greater than zero.
    void CompactPoints();

    int32_t CurrItems() const { return CurrItems_; }
    int32_t RowCapacity() const { return RowCapacity_; }
    int32_t AllocatedRows() const { return AllocatedRows_; }
    bool Full() const { return CurrItems_ >= AllocatedRows(); }

private:
    size_t Index(int16_t col, int32_t row) const
    {
        if (col < 0 || col >= TotCols || row < 0 || row >= AllocatedRows_) FailIndex(col, row);
        return static_cast<size_t>(row) * TotCols + static_cast<size_t>(col);
    }
    [[noreturn]] void FailIndex(int16_t col, int32_t row) const;
    // A row index outside the rows shown.
    [[noreturn]] void FailRow(int32_t row) const;

    // Makes rows 0 to ROW - 1 hold real cells.
    void Materialise(int32_t rows);

    // Row-major: cell (col, row) at row * TotCols + col. Only the rows up to
    // the last one ever written are held; the rest of the allocated rows are
    // empty and read as such. The memory of a cleared table is kept, so a
    // load neither asks the system for memory nor touches the rows it does
    // not fill.
    std::vector<Cell, HugePageAllocator<Cell>> PointData;
    // Typed rows, in ascending order.
    std::vector<int32_t> Typed_;
    std::string PointsNotRead_;
    LinearUnit Unit_ = LinearUnit::Unknown;
    std::string Crs_;
    int32_t AllocatedRows_ = 0;
    int32_t CurrItems_ = 0;
    int32_t RowCapacity_ = 0;
};

}  // namespace tessaly
