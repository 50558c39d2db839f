#pragma once
// LandXML 1.2 point files (*.xml): the CgPoints of the exchange format of
// civil design software.
#include <cstdint>
#include <string>

#include "formats/export_rows.h"
#include "table/point_table.h"

namespace tessaly {

// The linear unit the file declares for its coordinates.
enum class LandXmlUnits { Metre, UsSurveyFoot, Foot };

struct LandXmlWriteOptions {
    LandXmlUnits units = LandXmlUnits::Metre;
};

// Writes one CgPoint per row with a numeric northing and easting; other rows
// are left out and counted in the report. Replaces FILE atomically; throws
// Error when it cannot be written.
ExportReport WriteLandXmlFile(const PointTable& table, const std::string& file,
                              const LandXmlWriteOptions& options = {});

// What a complete LandXML load has to tell beyond its points.
struct LandXmlReadReport {
    int64_t replacedCharacters = 0;  // characters Windows-1252 cannot hold, stored as "?"
    int32_t skippedPoints = 0;       // CgPoints without coordinates: no text, or a pntRef to no point of the file
};

// Clears TABLE and loads every CgPoint under any CgPoints of FILE. A failed
// load throws Error after storing the points read before the fault.
LandXmlReadReport ReadLandXml(PointTable& table, const std::string& file);

// The same in the form every reader has.
void ReadLandXmlFile(PointTable& table, const std::string& file);

}  // namespace tessaly
