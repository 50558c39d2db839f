#pragma once
// A cell as the point table, the readers and the grid hold it: empty, text
// or a number. Text is UTF-8: readers of files in another code page decode
// it, and writers encode it as their format asks.
#include <optional>
#include <string>
#include <variant>

namespace tessaly {

using Cell = std::variant<std::monostate, std::string, double>;

inline bool IsEmpty(const Cell& c) { return std::holds_alternative<std::monostate>(c); }
inline bool IsText(const Cell& c) { return std::holds_alternative<std::string>(c); }
inline bool IsNumber(const Cell& c) { return std::holds_alternative<double>(c); }

// The cell's text as the leading-number conversion and the grid see it:
// empty for an empty cell, the number text for a number.
std::string CellText(const Cell& c);

// True for a cell whose text is something but no coordinate
// (CoordinateDigits): the grid marks it. Empty cells, text of blanks and
// tabs only, and number cells are not marked.
bool IsNonNumber(const Cell& c);

// The number a coordinate cell holds: a finite number, or text that is a
// coordinate (CoordinateValue). Empty cells, other text, NaN and the
// infinities give nothing.
std::optional<double> CoordinateValue(const Cell& cell);

}  // namespace tessaly
