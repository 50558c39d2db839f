#pragma once
// The interface of tessaly-gis, the module that holds PROJ and GDAL. The
// programs load it on first use (gis_loader.h), so a conversion or a window
// that touches no coordinate system and no GIS file never pays for loading
// either library. Plain C: the module and the program may be built apart,
// and nothing owned by one is freed by the other. Every text is UTF-8;
// whatever the module hands back through a callback lives only during that
// call.
#include <stddef.h>

extern "C" {

// Raised whenever a function below changes its meaning.
#define TESSALY_GIS_VERSION 1

// What PROJ says of a coordinate reference system.
struct TessalyGisCrs {
    char code[64];         // "EPSG:2263" when the database knows the CRS; "" otherwise
    char name[256];        // "NAD83 / New York Long Island (ftUS)"
    char area[512];        // "United States (USA) - New York - ..."; "" when not stated
    char unit[64];         // the first axis's unit: "US survey foot", "metre", "degree"
    double unitMetres;     // its length in metres; 0 for an angle or no unit
    int geographic;        // 1: the axes are longitude and latitude
};

// One point going to or coming from a file. X is the easting (or the
// longitude), Y the northing (or the latitude).
struct TessalyGisPoint {
    const char* name;
    const char* description;
    double x, y, z;
    int hasZ;
};

// What a transform did besides moving the points.
struct TessalyGisTransformInfo {
    char operation[256];  // the operation PROJ used for the last point
    double accuracy;      // its stated accuracy in metres; -1 when none is stated
    int ballpark;         // 1: PROJ had no real transformation and guessed
    char failure[256];    // PROJ's word on the last point it could not move; "" when none
};

// Receives a text: an error's message, a CRS definition, a notice.
typedef void (*TessalyGisText)(void* context, const char* text);

struct TessalyGisApi {
    int version;  // TESSALY_GIS_VERSION

    // Fills CRS from DEFINITION (anything PROJ takes: "EPSG:2263", WKT,
    // PROJJSON, a PROJ string). 0 on success; otherwise calls ERROR.
    int (*describe)(const char* definition, TessalyGisCrs* crs, void* context, TessalyGisText error);

    // Calls ROW for each coordinate reference system of PROJ's database whose
    // code or name holds TEXT (any letter case; every one for ""), at most
    // LIMIT: code ("EPSG:2263"), name and area, as one text with tabs.
    void (*search)(const char* text, int limit, void* context, TessalyGisText row);

    // Moves N points from FROM to TO in place (X easting or longitude, Y
    // northing or latitude, whatever the CRS's own axis order). Z is moved
    // only when both CRSs have a vertical axis; otherwise it is left alone
    // and may be null. A point PROJ cannot move gets HUGE_VAL and is passed
    // to FAILED. 0 on success; otherwise calls ERROR and moves nothing.
    int (*transform)(const char* from, const char* to, size_t n, double* x, double* y, double* z,
                     TessalyGisTransformInfo* info, void* context, TessalyGisText error,
                     void (*failed)(void* context, size_t index));

    // Writes N points to FILE with GDAL's DRIVER ("GeoJSON", "KML", "ESRI
    // Shapefile", "GPKG"), in CRS (a definition; "" for none), FILE not
    // existing yet. 0 on success; otherwise calls ERROR.
    int (*write)(const char* driver, const char* file, const char* crs, size_t n, const TessalyGisPoint* points,
                 void* context, TessalyGisText error);

    // Reads the points of FILE: CRS with the file's CRS definition (not
    // called when it has none), then POINT for each point, NOTICE for what
    // was not read. 0 on success; otherwise calls ERROR.
    int (*read)(const char* file, void* context, TessalyGisText crs, void (*point)(void*, const TessalyGisPoint*),
                TessalyGisText notice, TessalyGisText error);
};

// The module's one exported symbol.
const TessalyGisApi* tessaly_gis_api(void);
typedef const TessalyGisApi* (*TessalyGisEntry)(void);
#define TESSALY_GIS_ENTRY "tessaly_gis_api"
}
