#pragma once
// LandXML 1.2 point files (*.xml): the CgPoints of the exchange format of
// civil design software.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/export_rows.h"
#include "formats/format_options.h"
#include "table/point_table.h"

namespace tessaly {

struct LandXmlWriteOptions {
    // The linear unit the file declares. Unknown: the table's unit, metres
    // when the table's is unknown too.
    LinearUnit units = LinearUnit::Unknown;
};

inline constexpr FormatOption kLandXmlWriteOptions[] = {
    {"units", FormatOption::Kind::Unit, "U", "", "&Units:",
     "metre, us-foot or foot; default the input's\n"
     "unit, metre when it is unknown. Another unit than a\n"
     "known input unit converts the coordinates"},
};

// Writes one CgPoint per row with a numeric northing and easting; other rows
// are left out and counted in the report. When the table's unit is known and
// OPTIONS name another, the coordinates are converted to it (full precision)
// and a notice says so; with the table's unit unknown the chosen unit is only
// the label. Replaces FILE atomically; throws Error when it cannot be
// written.
ExportReport WriteLandXmlFile(const PointTable& table, const std::string& file,
                              const LandXmlWriteOptions& options = {});

// Clears TABLE and loads every CgPoint under any CgPoints of FILE, setting
// the table's unit from the document's Units (meter, foot, USSurveyFoot). A
// failed load throws Error after storing the points read before the fault.
ReadReport ReadLandXml(PointTable& table, const std::string& file);

// The same in the form every reader has.
void ReadLandXmlFile(PointTable& table, const std::string& file);

}  // namespace tessaly
