#pragma once
// DXF drawings (*.dxf, written only): the points for CAD software.
#include <string>

#include "formats/export_rows.h"
#include "formats/format_options.h"
#include "table/point_table.h"

namespace tessaly {

struct DxfWriteOptions {
    double textHeight = 1;  // of the point number and description, in drawing units
};

inline constexpr FormatOption kDxfWriteOptions[] = {
    {"text-height", FormatOption::Kind::Number, "H", "", "&Text height:", "height of the point labels (default 1)", "1",
     0.001, 1000000},
};

// Writes an ASCII DXF of release 12: per row with a numeric northing and
// easting a POINT at (easting, northing, elevation) on layer PNT, the point
// number as TEXT on layer PNT-NO and the description on layer PNT-DESC. Other
// rows are left out and counted in the report. Replaces FILE atomically;
// throws Error when it cannot be written or the text height is not a
// positive number.
ExportReport WriteDxfFile(const PointTable& table, const std::string& file, const DxfWriteOptions& options = {});

}  // namespace tessaly
