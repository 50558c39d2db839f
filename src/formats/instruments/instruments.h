#pragma once
// Field instrument files: the coordinate records of data collector and
// total station downloads, and the two formats written back for upload.
//
// Every reader keeps the coordinate records only. Measurements (angles and
// distances) are not reduced to points: they are counted and said. A file
// without a single coordinate record fails with an Error that says so. The
// readers set the table's linear unit from what the file says; a format
// that says "feet" without saying which (GSI, SDR, Nikon's "Feet") is read
// in US survey feet.
//
// GSI, SDR and Nikon RAW share their endings with other files; each reader
// has a test of the file's start (LooksLike...) that the format table asks
// before choosing it, so other files of those names go on as before.
#include <span>
#include <string>

#include "formats/export_rows.h"
#include "formats/format_options.h"
#include "table/point_table.h"

namespace tessaly {

struct ReadOptions;
struct ReadReport;

// The Open and Save dialogs' entries of these formats.
inline constexpr FilterEntry kGsiOpenFilters[] = {{kLaterPlace, "Leica GSI Files (*.gsi)|*.gsi"}};
inline constexpr FilterEntry kSdrOpenFilters[] = {{kLaterPlace, "Sokkia SDR Files (*.sdr)|*.sdr"}};
inline constexpr FilterEntry kNikonRawOpenFilters[] = {{kLaterPlace, "Nikon RAW Files (*.raw)|*.raw"}};
inline constexpr FilterEntry kRw5OpenFilters[] = {{kLaterPlace, "Carlson/TDS Raw Data (*.rw5)|*.rw5"}};
inline constexpr FilterEntry kJobXmlOpenFilters[] = {{kLaterPlace, "Trimble JobXML Files (*.jxl)|*.jxl"}};
inline constexpr FilterEntry kGsiSaveFilters[] = {{kLaterPlace, "Leica GSI-16 Coordinates (*.gsi)|*.gsi"}};
inline constexpr FilterEntry kSdrSaveFilters[] = {{kLaterPlace, "Sokkia SDR33 Coordinates (*.sdr)|*.sdr"}};

// Leica GSI-8 and GSI-16 (*.gsi): blocks with word 11 (point id) and 81, 82,
// 83 (easting, northing, height), 71 to 79 (code and attributes).
ReadReport ReadGsiFile(PointTable& table, const std::string& file, const ReadOptions& options);
bool LooksLikeGsi(const std::string& file);

// Sokkia SDR33 and SDR2x (*.sdr): the 08 coordinate records and the 02
// station records, in the unit and coordinate order of the 00NM header.
ReadReport ReadSdrFile(PointTable& table, const std::string& file, const ReadOptions& options);
bool LooksLikeSdr(const std::string& file);

// Nikon RAW v2.00 (*.raw): UP, MP, CC and RE coordinate records, in the unit
// and coordinate order of the CO lines.
ReadReport ReadNikonRawFile(PointTable& table, const std::string& file, const ReadOptions& options);
bool LooksLikeNikonRaw(const std::string& file);

// Carlson / TDS Survey Pro raw data (*.rw5): the records that carry a point
// (PN) with its coordinates (N, E, EL) and note (--), in the unit of the MO
// record.
ReadReport ReadRw5File(PointTable& table, const std::string& file, const ReadOptions& options);
bool LooksLikeRw5(const std::string& file);

// Trimble JobXML (*.jxl): the FieldBook's PointRecords with grid
// coordinates, deleted ones left out. JobXML stores lengths in metres
// whatever unit the job shows, so the points are in metres.
ReadReport ReadJobXmlFile(PointTable& table, const std::string& file, const ReadOptions& options);
bool LooksLikeJobXml(const std::string& file);

// GSI-16 coordinate blocks for upload: 11 point id, 81 easting, 82 northing,
// 83 height (when the row has one), 71 code (when it has a description).
// Options: units (of the written coordinates; default the points' own,
// metres when unknown), resolution (0.001, 0.0001 or 0.00001 of the unit).
extern const FormatOption kGsiWriteOptions[2];
ExportReport WriteGsiFile(const PointTable& table, const std::string& file, const OptionValues& options);

// SDR33 for upload: the 00NM header and one 08KI record a point. Options:
// units (default the points' own, metres when unknown), order (nez or enz).
extern const FormatOption kSdrWriteOptions[2];
ExportReport WriteSdrFile(const PointTable& table, const std::string& file, const OptionValues& options);

}  // namespace tessaly
