#include "formats/load_error.h"

#include <charconv>
#include <utility>

#include "platform/text/text_rules.h"

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

void AddTextPointOf(PointTable& table, const std::string& file, int64_t number, double northing, double easting,
                    double elevation, std::string_view description)
{
    if (table.Full()) FailFull(table, file);
    std::array<char, 24> numberText;
    std::array<std::array<char, kNumberTextMax>, 3> coordinates;
    const char* numberEnd = std::to_chars(numberText.data(), numberText.data() + numberText.size(), number).ptr;
    auto coordinate = [&](size_t i, double value) {
        return std::string_view(coordinates[i].data(), NumberChars(value, coordinates[i].data()));
    };
    table.AddTextPoint({std::string_view(numberText.data(), static_cast<size_t>(numberEnd - numberText.data())),
                        coordinate(0, northing), coordinate(1, easting), coordinate(2, elevation), description});
}

}  // namespace tessaly
