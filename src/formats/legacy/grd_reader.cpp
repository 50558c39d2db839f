// Orvelle grid files (*.grd): a regular grid of elevations as free-format
// text fields (see platform/files/field_reader.h for the field syntax).
//   N0, E0      northing of the first row, easting of the first column
//   N1, E1      northing of the last row, easting of the last column
//   CE, CN      intervals along the easting and along the northing
//   values      (CN + 1) rows of (CE + 1) node values, from the N0 row to the
//               N1 row, each row from the E0 column to the E1 column
// Every node becomes a row without point number or description; its
// elevation is the value's text exactly as written. Coordinates advance by
// adding the step (N1 - N0) / CN or (E1 - E0) / CE once per node, so they
// carry the rounding of repeated addition, as the program that made the grid
// computed them. Nothing after the last node value is read. A value keeps
// its first 256 characters (Windows-1252); the rest of a longer field is
// skipped, so a hostile file costs no memory beyond that.
#include <cstdint>
#include <string>
#include <utility>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "platform/files/field_reader.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
constexpr size_t kValueKeep = 256;

[[noreturn]] void FailNoIntervals(const FieldReader& in, const char* name, const char* along, int64_t field)
{
    FailFile(in.Name(), std::string("the interval count ") + name + " (field " + std::to_string(field) +
                            ") is 0: a grid needs at least one interval along the " + along);
}
}  // namespace

void ReadGrdFile(PointTable& table, const std::string& file)
{
    table.Clear();
    FieldReader in(file);
    const double n0 = in.ReadNumber();
    const double e0 = in.ReadNumber();
    const double n1 = in.ReadNumber();
    const double e1 = in.ReadNumber();
    const int32_t ce = in.ReadInt32();
    const int32_t cn = in.ReadInt32();
    if (cn == 0) FailNoIntervals(in, "CN", "northing", 6);
    const double sn = (n1 - n0) / cn;
    if (ce == 0) FailNoIntervals(in, "CE", "easting", 5);
    const double se = (e1 - e0) / ce;

    // A count below 0 makes its loop run no pass. When a row has no node
    // nothing at all is read, however many rows the grid claims.
    const int64_t rows = int64_t{cn} + 1;
    const int64_t columns = int64_t{ce} + 1;
    if (columns < 1) return;
    double northing = n0;
    std::string value;
    for (int64_t r = 0; r < rows; ++r) {
        double easting = e0;
        const std::string northingText = NumberText(northing);
        for (int64_t j = 0; j < columns; ++j) {
            in.ReadText(value, kValueKeep);
            Cell elevation = IsAscii(value) ? Cell(std::move(value)) : Cell(Cp1252ToUtf8(value));
            AddPointOf(table, file, {std::string(), northingText, NumberText(easting), std::move(elevation), std::string()});
            easting += se;
        }
        northing += sn;
    }
}

}  // namespace tessaly
