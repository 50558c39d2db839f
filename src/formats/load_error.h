#pragma once
// Helpers the readers share for failing a load with a message a surveyor can
// act on: the file, what went wrong, and where (FailFile in platform/error.h
// builds the message).
#include <array>
#include <cstdint>
#include <string>

#include "platform/error.h"
#include "table/point_table.h"

namespace tessaly {

// Adds a point to the table; a full table becomes an error that names the
// file and says that only the first 10000 points were loaded.
int32_t AddPointOf(PointTable& table, const std::string& file);
void AddPointOf(PointTable& table, const std::string& file, std::array<Cell, PointTable::TotCols> cells);

}  // namespace tessaly
