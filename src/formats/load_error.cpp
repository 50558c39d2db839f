#include "formats/load_error.h"

#include <utility>

namespace tessaly {

namespace {
[[noreturn]] void FailFull(const PointTable& table, const std::string& file)
{
    auto n = std::to_string(table.AllocatedRows());
    FailFile(file, "the file holds more than " + n + " points; only the first " + n + " were loaded");
}
}  // namespace

int32_t AddPointOf(PointTable& table, const std::string& file)
{
    if (table.Full()) FailFull(table, file);
    return table.AddPoint();
}

void AddPointOf(PointTable& table, const std::string& file, std::array<Cell, PointTable::TotCols> cells)
{
    if (table.Full()) FailFull(table, file);
    table.AddPoint(std::move(cells));
}

}  // namespace tessaly
