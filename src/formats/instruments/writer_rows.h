#pragma once
// What the GSI and SDR writers share: the unit the points are written in,
// the checks of a row's texts, and the clauses about what was left out.
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/export_rows.h"
#include "formats/format_options.h"
#include "table/point_table.h"

namespace tessaly::instruments {

// The unit of the written coordinates: the option's, else the points' own,
// else metres. CONVERT when the points' unit is known and differs.
struct WrittenUnit {
    LinearUnit from = LinearUnit::Unknown;  // the points'
    LinearUnit to = LinearUnit::Metre;
    bool convert = false;
};
WrittenUnit ChooseUnit(const PointTable& table, const OptionValues& options);
// The clauses that say what the unit choice did, when WRITTEN points went out.
void SayUnit(const WrittenUnit& unit, std::string_view format, ExportReport& report);

// True when TEXT has only printable ASCII characters, and no blank unless
// BLANKS.
bool PlainAscii(std::string_view text, bool blanks);

// Counts rows a writer refused and the first of them (as the grid numbers
// rows, from 1).
struct Refused {
    int64_t count = 0;
    int32_t first = 0;
    void Note(int32_t row)
    {
        if (count++ == 0) first = row + 1;
    }
    // "2 rows left out: WHY, the first row 7"; nothing when none.
    void Say(std::string_view why, ExportReport& report) const;
};

}  // namespace tessaly::instruments
