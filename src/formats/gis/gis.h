#pragma once
// Coordinate reference systems, transforms and the GIS formats: GeoJSON
// (RFC 7946), KML 2.2, ESRI Shapefile and GeoPackage. PROJ and GDAL live in
// the module tessaly-gis, loaded on the first call of anything here (see
// gis_module.h); nothing else in the program loads them.
#include <string>
#include <vector>

#include "formats/export_rows.h"
#include "formats/format_options.h"
#include "formats/formats.h"
#include "table/point_table.h"

namespace tessaly {

// What PROJ says of a coordinate reference system.
struct CrsInfo {
    std::string definition;  // "EPSG:2263" when PROJ's database knows it, else as given
    std::string name;        // "NAD83 / New York Long Island (ftUS)"
    std::string area;        // the area of use; "" when not stated
    std::string unit;        // "US survey foot", "metre", "degree"
    double unitMetres = 0;   // the unit's length in metres; 0 for degrees
    bool geographic = false; // longitude and latitude
};

// Throws Error when PROJ does not take DEFINITION (an unknown EPSG code,
// words) or the module cannot be loaded.
CrsInfo DescribeCrs(const std::string& definition);

// The CRSs of PROJ's database whose code or name holds TEXT, at most LIMIT:
// exact codes first.
struct CrsRow {
    std::string code, name, area;
};
std::vector<CrsRow> SearchCrs(const std::string& text, int limit);

// The linear unit of CRS when it is one of the table's; Unknown otherwise.
LinearUnit CrsLinearUnit(const CrsInfo& crs);

// Sets TABLE's CRS to DEFINITION (its EPSG code when PROJ's database knows
// it) without moving the points, and the points' unit to the CRS's when it
// was unknown; returns the notice that the CRS's unit is not the points'
// known unit, or "".
std::string AssignCrs(PointTable& table, const std::string& definition);

// Moves TABLE's points (the rows RowsToSave names with a numeric northing and
// easting) from its CRS to TO, which becomes its CRS; elevations stay unless
// both CRSs have a vertical axis. Returns the notices (a ballpark transform
// and its accuracy). Throws Error, the table unchanged, when TABLE has no CRS,
// TO is unknown, PROJ has no transform, or a point cannot be moved (outside
// the CRS's area): the message names the points.
std::vector<std::string> TransformTable(PointTable& table, const std::string& to);

// Moves one point (X easting or longitude, Y northing or latitude) from FROM
// to TO; false when PROJ cannot (or the module is not there).
bool TransformPoint(const std::string& from, const std::string& to, double& x, double& y);

// The CRS a reading asks for (--crs): a table without a CRS takes it; a
// table whose file gave another one is moved to it. Returns the notices.
std::vector<std::string> ApplyCrs(PointTable& table, const std::string& crs);

// The four formats' reader: the points of every point layer of FILE, the
// first layer's CRS the table's.
ReadReport ReadGisFile(PointTable& table, const std::string& file, const ReadOptions& options = {});

// WGS 84 longitude and latitude; the table needs a CRS.
ExportReport WriteGeoJsonFile(const PointTable& table, const std::string& file, const OptionValues& options = {});
ExportReport WriteKmlFile(const PointTable& table, const std::string& file, const OptionValues& options = {});
// In the table's CRS (none when it has none). FILE names the .shp; the
// .shx, .dbf, .cpg and .prj go beside it.
ExportReport WriteShapefile(const PointTable& table, const std::string& file, const OptionValues& options = {});
ExportReport WriteGeoPackageFile(const PointTable& table, const std::string& file, const OptionValues& options = {});

// The Open and Save dialogs' entries of the four formats.
inline const FilterEntry kGeoJsonFilters[] = {{kLaterPlace, "GeoJSON (*.geojson;*.json)|*.geojson;*.json"}};
inline const FilterEntry kKmlFilters[] = {{kLaterPlace, "KML (*.kml)|*.kml"}};
inline const FilterEntry kShapefileFilters[] = {{kLaterPlace, "ESRI Shapefile (*.shp)|*.shp"}};
inline const FilterEntry kGeoPackageFilters[] = {{kLaterPlace, "GeoPackage (*.gpkg)|*.gpkg"}};

// The options every reading and writing takes, whatever the format: the
// points' CRS (--crs) and the CRS to write them in (--to-crs).
bool IsCrsDefinitionText(std::string_view text);
inline const FormatOption kCrsOptions[] = {
    {"crs", FormatOption::Kind::Text, "CRS", nullptr, "",
     "the points' coordinate reference system: EPSG:N\n"
     "or any definition PROJ takes; an input that names\n"
     "another one is transformed to it",
     "", 0, 0, IsCrsDefinitionText, "a coordinate reference system (EPSG:2263)"},
    {"to-crs", FormatOption::Kind::Text, "CRS", nullptr, "",
     "transform the points to this system before\n"
     "writing (needs their CRS: from the file or --crs);\n"
     "elevations pass unchanged",
     "", 0, 0, IsCrsDefinitionText, "a coordinate reference system (EPSG:4326)"},
};

// True when FILE is named *.geojson, or its start names a GeoJSON Feature
// or FeatureCollection.
bool LooksLikeGeoJson(const std::string& file);

// True for the rows of the four GIS formats.
bool IsGisFormat(const Format& format);

// The Shapefile's and GeoPackage's option: the CRS to write the points in
// ("" or absent: theirs). The converter takes it as --to-crs for every
// output; the window's export dialog offers it for these two.
inline const FormatOption kGisWriteOptions[] = {
    {"to-crs", FormatOption::Kind::Text, "CRS", "", "&Transform to:",
     "transform the points to this system before writing", "", 0, 0, nullptr,
     "a coordinate reference system (EPSG:2263)"},
};

}  // namespace tessaly
