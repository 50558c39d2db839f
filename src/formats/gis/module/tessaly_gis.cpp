// tessaly-gis: coordinate reference systems and transforms through PROJ's C
// API, GeoJSON, KML, Shapefile and GeoPackage through GDAL's vector (OGR) C
// API, behind the plain-C table of gis_module.h.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <proj.h>

#include "formats/gis/gis_module.h"

namespace {

void Copy(char* to, size_t size, const char* from)
{
    if (!from) from = "";
    const size_t n = std::min(std::strlen(from), size - 1);
    std::memcpy(to, from, n);
    to[n] = '\0';
}

// PROJ's contexts are not shared between threads (a batch converts on
// several): each thread keeps its own, with the transforms it has made.
struct ProjThread {
    PJ_CONTEXT* context = proj_context_create();
    struct Operation {
        PJ* pj = nullptr;
        bool vertical = false;  // both CRSs have a vertical axis: Z moves too
    };
    std::map<std::pair<std::string, std::string>, Operation> operations;
    // PROJ's own log would print on stderr what the caller says itself.
    ProjThread() { proj_log_level(context, PJ_LOG_NONE); }
    ~ProjThread()
    {
        for (auto& [key, op] : operations) proj_destroy(op.pj);
        proj_context_destroy(context);
    }
    std::string LastError() const { return proj_context_errno_string(context, proj_context_errno(context)); }
};

ProjThread& Proj()
{
    thread_local ProjThread thread;
    return thread;
}

using PjPtr = std::unique_ptr<PJ, decltype(&proj_destroy)>;

PjPtr Own(PJ* pj) { return {pj, proj_destroy}; }

bool Geographic(PJ_TYPE type)
{
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS || type == PJ_TYPE_GEOGRAPHIC_CRS;
}

// The CRS whose axes are the points' easting and northing: the horizontal
// part of a compound CRS, the source of a bound one.
PjPtr Horizontal(PJ_CONTEXT* ctx, PjPtr crs)
{
    if (proj_get_type(crs.get()) == PJ_TYPE_BOUND_CRS) crs = Own(proj_get_source_crs(ctx, crs.get()));
    if (crs && proj_get_type(crs.get()) == PJ_TYPE_COMPOUND_CRS) crs = Own(proj_crs_get_sub_crs(ctx, crs.get(), 0));
    if (crs && proj_get_type(crs.get()) == PJ_TYPE_BOUND_CRS) crs = Own(proj_get_source_crs(ctx, crs.get()));
    return crs;
}

// True when CRS has a vertical axis of its own.
bool HasVertical(PJ_CONTEXT* ctx, const char* definition)
{
    PjPtr crs = Own(proj_create(ctx, definition));
    if (!crs) return false;
    if (proj_get_type(crs.get()) == PJ_TYPE_BOUND_CRS) crs = Own(proj_get_source_crs(ctx, crs.get()));
    if (!crs) return false;
    const PJ_TYPE type = proj_get_type(crs.get());
    return type == PJ_TYPE_COMPOUND_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS || type == PJ_TYPE_GEOCENTRIC_CRS;
}

int Describe(const char* definition, TessalyGisCrs* out, void* context, TessalyGisText error)
{
    *out = TessalyGisCrs{};
    ProjThread& proj = Proj();
    PJ_CONTEXT* ctx = proj.context;
    proj_context_errno(ctx);
    PjPtr crs = Own(proj_create(ctx, definition));
    if (!crs || !proj_is_crs(crs.get())) {
        const std::string why = crs ? "not a coordinate reference system" : proj.LastError();
        error(context, (std::string("\"") + definition + "\" is not a coordinate reference system PROJ knows (" +
                        why + ")")
                           .c_str());
        return 1;
    }
    if (const char* auth = proj_get_id_auth_name(crs.get(), 0))
        if (const char* code = proj_get_id_code(crs.get(), 0))
            Copy(out->code, sizeof out->code, (std::string(auth) + ":" + code).c_str());
    Copy(out->name, sizeof out->name, proj_get_name(crs.get()));
    double west = 0, south = 0, east = 0, north = 0;
    const char* area = nullptr;
    if (proj_get_area_of_use(ctx, crs.get(), &west, &south, &east, &north, &area) && area)
        Copy(out->area, sizeof out->area, area);
    PjPtr horizontal = Horizontal(ctx, Own(proj_clone(ctx, crs.get())));
    if (!horizontal) return 0;
    out->geographic = Geographic(proj_get_type(horizontal.get())) ? 1 : 0;
    PjPtr cs = Own(proj_crs_get_coordinate_system(ctx, horizontal.get()));
    const char* unit = nullptr;
    double factor = 0;
    if (cs && proj_cs_get_axis_info(ctx, cs.get(), 0, nullptr, nullptr, nullptr, &factor, &unit, nullptr, nullptr)) {
        Copy(out->unit, sizeof out->unit, unit);
        out->unitMetres = out->geographic ? 0 : factor;
    }
    return 0;
}

bool HoldsIgnoringCase(const std::string& text, const std::string& lowerPart)
{
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(lowerPart) != std::string::npos;
}

void Search(const char* text, int limit, void* context, TessalyGisText row)
{
    PJ_CONTEXT* ctx = Proj().context;
    std::string part(text ? text : "");
    for (char& c : part) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // "EPSG:2263" finds itself.
    const std::string codePart = part.rfind("epsg:", 0) == 0 ? part.substr(5) : part;
    int count = 0;
    PROJ_CRS_INFO** list = proj_get_crs_info_list_from_database(ctx, nullptr, nullptr, &count);
    int shown = 0;
    // Exact codes first, then the rest in the database's order.
    for (int pass = 0; pass < 2 && shown < limit; ++pass)
        for (int i = 0; i < count && shown < limit; ++i) {
            const PROJ_CRS_INFO& info = *list[i];
            if (info.deprecated) continue;
            const std::string code = info.code ? info.code : "";
            const bool exact = code == codePart;
            if (pass == 0 ? !exact : exact) continue;
            if (!part.empty() && !exact && !HoldsIgnoringCase(code, codePart) &&
                !HoldsIgnoringCase(info.name ? info.name : "", part))
                continue;
            const std::string line = std::string(info.auth_name ? info.auth_name : "") + ":" + code + "\t" +
                                     (info.name ? info.name : "") + "\t" + (info.area_name ? info.area_name : "");
            row(context, line.c_str());
            ++shown;
        }
    proj_crs_info_list_destroy(list);
}

int Transform(const char* from, const char* to, size_t n, double* x, double* y, double* z,
              TessalyGisTransformInfo* info, void* context, TessalyGisText error,
              void (*failed)(void* context, size_t index))
{
    *info = TessalyGisTransformInfo{};
    info->accuracy = -1;
    ProjThread& proj = Proj();
    PJ_CONTEXT* ctx = proj.context;
    ProjThread::Operation& cached = proj.operations[{from, to}];
    if (!cached.pj) {
        proj_context_errno(ctx);
        PjPtr raw = Own(proj_create_crs_to_crs(ctx, from, to, nullptr));
        if (raw) cached.pj = proj_normalize_for_visualization(ctx, raw.get());
        if (!cached.pj) {
            proj.operations.erase({from, to});
            error(context, (std::string("PROJ finds no transform from ") + from + " to " + to + " (" +
                            proj.LastError() + ")")
                               .c_str());
            return 1;
        }
        cached.vertical = HasVertical(ctx, from) && HasVertical(ctx, to);
    }
    PJ* op = cached.pj;
    const bool vertical = z && cached.vertical;
    proj_errno_reset(op);
    proj_trans_generic(op, PJ_FWD, x, sizeof(double), n, y, sizeof(double), n, vertical ? z : nullptr,
                       vertical ? sizeof(double) : 0, vertical ? n : 0, nullptr, 0, 0);
    bool anyFailed = false;
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]) || x[i] == HUGE_VAL || y[i] == HUGE_VAL) {
            x[i] = y[i] = HUGE_VAL;
            anyFailed = true;
            failed(context, i);
        }
    if (anyFailed)
        if (const int code = proj_errno(op); code != 0)
            Copy(info->failure, sizeof info->failure, proj_context_errno_string(ctx, code));
    PjPtr used = Own(n > 0 ? proj_trans_get_last_used_operation(op) : nullptr);
    PJ* described = used ? used.get() : op;
    if (proj_get_type(described) != PJ_TYPE_OTHER_COORDINATE_OPERATION || used) {
        Copy(info->operation, sizeof info->operation, proj_get_name(described));
        info->accuracy = proj_coordoperation_get_accuracy(ctx, described);
        info->ballpark = proj_coordoperation_has_ballpark_transformation(ctx, described);
    }
    return 0;
}

// GDAL's messages of one call, kept instead of printed; GDAL's handler
// stack is per thread.
struct GdalMessages {
    std::string last;
    static void CPL_STDCALL Handler(CPLErr kind, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
        if (kind >= CE_Failure || self->last.empty()) self->last = message ? message : "";
    }
    GdalMessages() { CPLPushErrorHandlerEx(Handler, this); }
    ~GdalMessages() { CPLPopErrorHandler(); }
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;
};

void RegisterDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

struct Fail {
    void* context;
    TessalyGisText error;
    int operator()(const std::string& what) const
    {
        error(context, what.c_str());
        return 1;
    }
};

using SrsPtr = std::unique_ptr<void, decltype(&OSRRelease)>;

SrsPtr MakeSrs(const char* crs)
{
    if (!crs || !*crs) return {nullptr, OSRRelease};
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    if (OSRSetFromUserInput(srs, crs) != OGRERR_NONE) {
        OSRRelease(srs);
        return {nullptr, OSRRelease};
    }
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    return {srs, OSRRelease};
}

int Write(const char* driverName, const char* file, const char* crs, size_t n, const TessalyGisPoint* points,
          void* context, TessalyGisText error)
{
    RegisterDrivers();
    GdalMessages messages;
    const Fail fail{context, error};
    const std::string driver = driverName;
    GDALDriverH gdalDriver = GDALGetDriverByName(driverName);
    if (!gdalDriver) return fail("GDAL has no " + driver + " driver");
    const bool kml = driver == "KML", shape = driver == "ESRI Shapefile", json = driver == "GeoJSON";
    bool anyZ = false;
    for (size_t i = 0; i < n; ++i) anyZ = anyZ || points[i].hasZ;
    CPLStringList creation, layerOptions;
    if (kml) {
        creation.SetNameValue("NameField", "point");
        creation.SetNameValue("DescriptionField", "description");
        creation.SetNameValue("AltitudeMode", "absolute");
    }
    if (json) {
        layerOptions.SetNameValue("RFC7946", "YES");
        layerOptions.SetNameValue("COORDINATE_PRECISION", "9");
        layerOptions.SetNameValue("WRITE_NAME", "NO");
    }
    if (shape) layerOptions.SetNameValue("ENCODING", "UTF-8");
    SrsPtr srs = MakeSrs(crs);
    if (crs && *crs && !srs) return fail(std::string("GDAL does not take the coordinate reference system ") + crs);
    GDALDatasetH ds = GDALCreate(gdalDriver, file, 0, 0, 0, GDT_Unknown, creation.List());
    if (!ds) return fail(messages.last.empty() ? "GDAL could not create the file" : messages.last);
    // GeoJSON holds no elevations in its geometry here: they are heights
    // above whatever the survey's vertical datum is, not the ellipsoidal
    // heights RFC 7946 means; the elevation property carries them.
    const OGRwkbGeometryType type = shape || (anyZ && !json) ? wkbPoint25D : wkbPoint;
    OGRLayerH layer = GDALDatasetCreateLayer(ds, "points", srs.get(), type, layerOptions.List());
    if (!layer) {
        GDALClose(ds);
        return fail(messages.last.empty() ? "GDAL could not create the point layer" : messages.last);
    }
    // Field names, widths: a DBF holds ten-character names, 254-byte texts.
    const char* pointName = shape ? "POINT" : "point";
    const char* elevName = shape ? "ELEV" : "elevation";
    const char* descName = shape ? "DESC" : "description";
    size_t pointWidth = 1, descWidth = 1;
    for (size_t i = 0; i < n; ++i) {
        pointWidth = std::max(pointWidth, std::strlen(points[i].name));
        descWidth = std::max(descWidth, std::strlen(points[i].description));
    }
    auto addField = [&](const char* name, OGRFieldType kind, size_t width, int precision) {
        OGRFieldDefnH field = OGR_Fld_Create(name, kind);
        if (shape) {
            OGR_Fld_SetWidth(field, static_cast<int>(std::min<size_t>(width, 254)));
            OGR_Fld_SetPrecision(field, precision);
        }
        const bool made = OGR_L_CreateField(layer, field, TRUE) == OGRERR_NONE;
        OGR_Fld_Destroy(field);
        return made;
    };
    bool made = addField(pointName, OFTString, pointWidth, 0);
    if (!kml) made = made && addField(elevName, OFTReal, 24, 10);
    made = made && addField(descName, OFTString, descWidth, 0);
    if (!made) {
        GDALClose(ds);
        return fail(messages.last.empty() ? "GDAL could not create the fields" : messages.last);
    }
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    const int pointField = OGR_FD_GetFieldIndex(defn, pointName);
    const int elevField = kml ? -1 : OGR_FD_GetFieldIndex(defn, elevName);
    const int descField = OGR_FD_GetFieldIndex(defn, descName);
    const bool transaction = GDALDatasetStartTransaction(ds, FALSE) == OGRERR_NONE;
    std::string failure;
    for (size_t i = 0; i < n && failure.empty(); ++i) {
        const TessalyGisPoint& p = points[i];
        OGRFeatureH feature = OGR_F_Create(defn);
        OGR_F_SetFieldString(feature, pointField, p.name);
        OGR_F_SetFieldString(feature, descField, p.description);
        if (elevField >= 0) {
            if (p.hasZ) OGR_F_SetFieldDouble(feature, elevField, p.z);
            else OGR_F_SetFieldNull(feature, elevField);
        }
        // A Shapefile's PointZ holds 0 where no elevation is known (its ELEV
        // is null); the other formats leave such a point flat.
        const bool threeD = type == wkbPoint25D && (p.hasZ || shape);
        OGRGeometryH point = OGR_G_CreateGeometry(threeD ? wkbPoint25D : wkbPoint);
        if (threeD) OGR_G_SetPoint(point, 0, p.x, p.y, p.hasZ ? p.z : 0);
        else OGR_G_SetPoint_2D(point, 0, p.x, p.y);
        OGR_F_SetGeometryDirectly(feature, point);
        if (OGR_L_CreateFeature(layer, feature) != OGRERR_NONE)
            failure = messages.last.empty() ? "GDAL could not write a point" : messages.last;
        OGR_F_Destroy(feature);
    }
    if (transaction && failure.empty() && GDALDatasetCommitTransaction(ds) != OGRERR_NONE)
        failure = messages.last.empty() ? "GDAL could not commit the points" : messages.last;
    CPLErrorReset();
    GDALClose(ds);
    if (failure.empty() && CPLGetLastErrorType() >= CE_Failure) failure = CPLGetLastErrorMsg();
    return failure.empty() ? 0 : fail(failure);
}

// The CRS of SRS as a definition: its EPSG code when GDAL finds one that
// matches outright, its WKT otherwise.
std::string Definition(OGRSpatialReferenceH srs)
{
    OGRSpatialReferenceH copy = OSRClone(srs);
    std::string out;
    if (OSRAutoIdentifyEPSG(copy) == OGRERR_NONE || OSRGetAuthorityName(copy, nullptr)) {
        const char* auth = OSRGetAuthorityName(copy, nullptr);
        const char* code = OSRGetAuthorityCode(copy, nullptr);
        if (auth && code) out = std::string(auth) + ":" + code;
    }
    if (out.empty()) {
        int count = 0;
        int* confidence = nullptr;
        OGRSpatialReferenceH* matches = OSRFindMatches(copy, nullptr, &count, &confidence);
        if (count > 0 && confidence[0] >= 100) {
            const char* auth = OSRGetAuthorityName(matches[0], nullptr);
            const char* code = OSRGetAuthorityCode(matches[0], nullptr);
            if (auth && code) out = std::string(auth) + ":" + code;
        }
        OSRFreeSRSArray(matches);
        CPLFree(confidence);
    }
    if (out.empty()) {
        char* wkt = nullptr;
        const char* options[] = {"FORMAT=WKT2_2019", nullptr};
        if (OSRExportToWktEx(copy, &wkt, options) == OGRERR_NONE && wkt) out = wkt;
        CPLFree(wkt);
    }
    OSRRelease(copy);
    return out;
}

int FieldNamed(OGRFeatureDefnH defn, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const int i = OGR_FD_GetFieldIndex(defn, name);  // any letter case
        if (i >= 0) return i;
    }
    return -1;
}

int Read(const char* file, void* context, TessalyGisText crs, void (*point)(void*, const TessalyGisPoint*),
         TessalyGisText notice, TessalyGisText error)
{
    RegisterDrivers();
    GdalMessages messages;
    const Fail fail{context, error};
    GDALDatasetH ds = GDALOpenEx(file, GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!ds) return fail(messages.last.empty() ? "GDAL cannot read it as a vector file" : messages.last);
    std::string crsSeen;
    long long notPoints = 0, noGeometry = 0, otherCrs = 0;
    const int layers = GDALDatasetGetLayerCount(ds);
    for (int l = 0; l < layers; ++l) {
        OGRLayerH layer = GDALDatasetGetLayer(ds, l);
        OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
        std::string layerCrs;
        if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer)) layerCrs = Definition(srs);
        const int nameField = FieldNamed(defn, {"point", "name"});
        const int elevField = FieldNamed(defn, {"elevation", "elev"});
        const int descField = FieldNamed(defn, {"description", "desc"});
        bool layerHasPoints = false;
        OGR_L_ResetReading(layer);
        while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
            OGRGeometryH geometry = OGR_F_GetGeometryRef(feature);
            if (!geometry) {
                ++noGeometry;
            } else if (wkbFlatten(OGR_G_GetGeometryType(geometry)) != wkbPoint || OGR_G_IsEmpty(geometry)) {
                ++notPoints;
            } else if (!layerHasPoints && !crsSeen.empty() && layerCrs != crsSeen) {
                ++otherCrs;
            } else {
                if (!layerHasPoints && crsSeen.empty() && !layerCrs.empty()) {
                    crsSeen = layerCrs;
                    crs(context, layerCrs.c_str());
                }
                layerHasPoints = true;
                TessalyGisPoint p{};
                const std::string name = nameField >= 0 ? OGR_F_GetFieldAsString(feature, nameField) : "";
                const std::string desc = descField >= 0 ? OGR_F_GetFieldAsString(feature, descField) : "";
                p.name = name.c_str();
                p.description = desc.c_str();
                p.x = OGR_G_GetX(geometry, 0);
                p.y = OGR_G_GetY(geometry, 0);
                if (elevField >= 0) {
                    p.hasZ = OGR_F_IsFieldSetAndNotNull(feature, elevField);
                    if (p.hasZ) p.z = OGR_F_GetFieldAsDouble(feature, elevField);
                } else if (OGR_G_GetCoordinateDimension(geometry) == 3) {
                    p.hasZ = 1;
                    p.z = OGR_G_GetZ(geometry, 0);
                }
                point(context, &p);
            }
            OGR_F_Destroy(feature);
        }
    }
    GDALClose(ds);
    auto say = [&](long long count, const char* one, const char* many, const char* why) {
        if (count == 0) return;
        const std::string text = std::to_string(count) + (count == 1 ? one : many) + why;
        notice(context, text.c_str());
    };
    say(noGeometry, " feature has", " features have", " no geometry; not read");
    say(notPoints, " feature is not a point", " features are not points", " (lines, areas or multipoints); not read");
    say(otherCrs, " point lies", " points lie", " in a layer of another coordinate system; not read");
    return 0;
}

const TessalyGisApi kApi = {TESSALY_GIS_VERSION, Describe, Search, Transform, Write, Read};

}  // namespace

extern "C" __attribute__((visibility("default"))) const TessalyGisApi* tessaly_gis_api(void) { return &kApi; }
