#pragma once
// What the LandXML and DXF writers share: the test that a cell holds a
// coordinate, and the count of what they could not write. Both write the rows
// PointTable::RowsToSave names.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/reports.h"
#include "table/point_table.h"

namespace tessaly {

// The notice of a writer that put "?" for N characters its Windows-1252
// output cannot hold; empty when N is 0.
std::string Cp1252ReplacedNotice(int64_t n);

// True when TEXT is a decimal number (IsDecimalNumber) whose value is a
// finite double.
bool IsCoordinateNumber(std::string_view text);

// The shortest text that reads back as VALUE (std::to_chars), held in
// place: the writers put several in each row.
class ShortestText {
public:
    explicit ShortestText(double value);
    operator std::string_view() const { return {chars_.data(), size_}; }

private:
    std::array<char, 32> chars_{};
    size_t size_ = 0;
};

// When CELL holds a finite number, puts its text in OUT and returns true: a
// text cell's own text without the blanks around it when it is a decimal
// number (sign, digits with at most one point, optional exponent), so the
// digits pass through as written; a number cell at full precision (the
// shortest text that reads back as the same double).
bool CoordinateText(const Cell& cell, std::string& out);

// The character of UTF-8 TEXT that starts at I, with I moved past it; for
// bytes that are no character (a stray continuation byte, a sequence cut
// short, an overlong form, a surrogate, a value past U+10FFFF) kMalformed,
// with I moved past them as far as they went.
inline constexpr char32_t kMalformed = 0xFFFFFFFF;
char32_t NextCharacter(std::string_view text, size_t& i);

}  // namespace tessaly
