#pragma once
// Helpers the readers share for failing a load with a message a surveyor can
// act on: the file, what went wrong, and where (FailFile in platform/error.h
// builds the message).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "table/point_table.h"

namespace tessaly {

// Adds a point to the table; a full table becomes an error that names the
// file and says that only the first 10000 points were loaded.
int32_t AddPointOf(PointTable& table, const std::string& file);
void AddPointOf(PointTable& table, const std::string& file, std::array<Cell, PointTable::TotCols> cells);
// Adds a point whose cells are all text: the point number, the three
// coordinates as NumberText shows them, and the description. The texts are
// built straight into the table.
void AddTextPointOf(PointTable& table, const std::string& file, int64_t number, double northing, double easting,
                    double elevation, std::string_view description);

}  // namespace tessaly
