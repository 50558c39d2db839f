#include "formats/gis/gis.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "formats/gis/gis_module.h"
#include "platform/error.h"
#include "platform/files/file_kind.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {

// The folder of the running program, with its '/'.
std::string ProgramFolder()
{
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0) return "";
    self.resize(static_cast<size_t>(n));
    return self.substr(0, self.rfind('/') + 1);
}

constexpr char kModuleName[] = "tessaly-gis.so";

// The module beside the program (the build tree), or where an installation
// keeps it, PREFIX/TESSALY_MODULE_DIR/. TESSALY_GIS_MODULE names another.
const TessalyGisApi& Module()
{
    static std::once_flag once;
    static const TessalyGisApi* api = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        std::vector<std::string> tried;
        if (const char* named = std::getenv("TESSALY_GIS_MODULE"); named && *named) tried.emplace_back(named);
        // PREFIX/bin/ holds the programs: the module folder is one up.
        const std::string folder = ProgramFolder();
        tried.push_back(folder + kModuleName);
        if (folder.size() > 1)
            tried.push_back(folder.substr(0, folder.rfind('/', folder.size() - 2) + 1) + TESSALY_MODULE_DIR "/" +
                            kModuleName);
        std::string why;
        for (const std::string& path : tried) {
            if (::access(path.c_str(), R_OK) != 0) continue;
            void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                why = ::dlerror();
                continue;
            }
            auto entry = reinterpret_cast<TessalyGisEntry>(::dlsym(handle, TESSALY_GIS_ENTRY));
            const TessalyGisApi* found = entry ? entry() : nullptr;
            if (found && found->version == TESSALY_GIS_VERSION) {
                api = found;
                return;
            }
            why = path + " is of another version";
        }
        failure = "the GIS module (" + std::string(kModuleName) + ", PROJ and GDAL) cannot be loaded: " +
                  (why.empty() ? "not found beside the program or in ../" TESSALY_MODULE_DIR : why);
    });
    if (!api) throw Error(failure);
    return *api;
}

// Collects what the module hands back.
struct Sink {
    std::string error;
    std::vector<std::string> texts;
    static void Error(void* self, const char* text) { static_cast<Sink*>(self)->error = text; }
    static void Text(void* self, const char* text) { static_cast<Sink*>(self)->texts.emplace_back(text); }
};

std::string Metres(double accuracy)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g m", accuracy);
    return text;
}

// "points 12, 15 and 40" of up to five, "and 7 more".
std::string PointList(const PointTable& table, const std::vector<int32_t>& rows)
{
    std::string out;
    const size_t shown = std::min<size_t>(rows.size(), 5);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) out += i + 1 == shown && rows.size() == shown ? " and " : ", ";
        const std::string name = CellText(table.Get(ColPoint, rows[i]));
        out += name.empty() ? "row " + std::to_string(rows[i] + 1) : name;
    }
    if (rows.size() > shown) out += " and " + std::to_string(rows.size() - shown) + " more";
    return out;
}

// The rows RowsToSave names with a numeric northing and easting, and their
// coordinates.
struct Coordinates {
    std::vector<int32_t> rows;
    std::vector<double> x, y;
    int32_t leftOut = 0;
};

// The number TEXT (a decimal number, CoordinateText's) in any locale: the
// window runs under the user's, where strtod may want a decimal comma.
bool Parse(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The coordinate CELL holds, as CoordinateText takes it; TEXT is scratch.
bool Coordinate(const Cell& cell, std::string& text, double& value)
{
    if (IsNumber(cell)) {
        value = std::get<double>(cell);
        return std::isfinite(value);
    }
    if (!CoordinateText(cell, text)) return false;
    return Parse(text, value);
}

Coordinates CoordinatesOf(const PointTable& table)
{
    Coordinates out;
    std::string north, east;
    for (int32_t row : table.RowsToSave()) {
        double y = 0, x = 0;
        if (!Coordinate(table.Get(ColNorthing, row), north, y) || !Coordinate(table.Get(ColEasting, row), east, x)) {
            ++out.leftOut;
            continue;
        }
        out.rows.push_back(row);
        out.y.push_back(y);
        out.x.push_back(x);
    }
    return out;
}

// Moves C's points from FROM to TO in place; throws naming the points that
// cannot be moved.
std::vector<std::string> Move(const PointTable& table, Coordinates& c, const std::string& from, const std::string& to)
{
    const TessalyGisApi& api = Module();
    struct Failed : Sink {
        std::vector<size_t> indices;
        static void Add(void* self, size_t i)
        {
            static_cast<Failed&>(*static_cast<Sink*>(self)).indices.push_back(i);
        }
    } sink;
    TessalyGisTransformInfo info{};
    if (api.transform(from.c_str(), to.c_str(), c.x.size(), c.x.data(), c.y.data(), nullptr, &info,
                      static_cast<Sink*>(&sink),
                      Sink::Error, Failed::Add) != 0)
        throw Error(sink.error);
    if (!sink.indices.empty()) {
        std::vector<int32_t> rows;
        for (size_t i : sink.indices) rows.push_back(c.rows[i]);
        // Outside the area the CRSs cover, mostly; a CRS whose projection
        // has no inverse fails every point, and PROJ says so.
        const std::string why = *info.failure ? std::string(info.failure) : "outside the area the systems cover";
        throw Error(Counted(static_cast<int64_t>(rows.size()), "point", "points") + " cannot be transformed from " +
                    from + " to " + to + " (" + why + "): " + PointList(table, rows));
    }
    std::vector<std::string> notices;
    if (info.ballpark)
        notices.push_back("PROJ knows no transformation from " + from + " to " + to +
                          " and used a ballpark one (" +
                          (info.accuracy >= 0 ? "accurate to " + Metres(info.accuracy)
                                              : std::string("of unknown accuracy, perhaps metres off")) +
                          ")");
    else if (info.accuracy > 1)
        notices.push_back("the transform from " + from + " to " + to + " (" + info.operation + ") is accurate to " +
                          Metres(info.accuracy));
    return notices;
}

}  // namespace


namespace {
CrsInfo AskProj(const std::string& given);
}

CrsInfo DescribeCrs(const std::string& given)
{
    // What PROJ said of a definition does not change: each is asked once.
    static std::mutex mutex;
    static std::map<std::string, CrsInfo, std::less<>> known;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const auto found = known.find(given); found != known.end()) return found->second;
    }
    CrsInfo info = AskProj(given);
    const std::lock_guard<std::mutex> lock(mutex);
    return known.emplace(given, std::move(info)).first->second;
}

namespace {
CrsInfo AskProj(const std::string& given)
{
    // A PROJ string names a CRS once it says so ("+proj=utm +zone=18").
    std::string definition(TrimBlanksAndTabs(given));
    if (definition.rfind("+", 0) == 0 && definition.find("type=crs") == std::string::npos) definition += " +type=crs";
    const TessalyGisApi& api = Module();
    TessalyGisCrs crs{};
    Sink sink;
    if (api.describe(definition.c_str(), &crs, &sink, Sink::Error) != 0) throw Error(sink.error);
    CrsInfo info;
    info.definition = *crs.code ? crs.code : definition;
    info.name = crs.name;
    info.area = crs.area;
    info.unit = crs.unit;
    info.unitMetres = crs.unitMetres;
    info.geographic = crs.geographic != 0;
    return info;
}
}  // namespace

std::vector<CrsRow> SearchCrs(const std::string& text, int limit)
{
    Sink sink;
    Module().search(text.c_str(), limit, &sink, Sink::Text);
    std::vector<CrsRow> rows;
    for (const std::string& line : sink.texts) {
        const size_t a = line.find('\t'), b = line.find('\t', a + 1);
        rows.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return rows;
}

LinearUnit CrsLinearUnit(const CrsInfo& crs)
{
    if (crs.unitMetres == 1) return LinearUnit::Metre;
    if (std::fabs(crs.unitMetres - 1200.0 / 3937.0) < 1e-12) return LinearUnit::UsSurveyFoot;
    if (crs.unitMetres == 0.3048) return LinearUnit::Foot;
    return LinearUnit::Unknown;
}

std::string AssignCrs(PointTable& table, const std::string& definition)
{
    const CrsInfo crs = DescribeCrs(definition);
    table.SetCrs(crs.definition);
    // The CRS says the unit of points whose file did not.
    if (table.Unit() == LinearUnit::Unknown) table.SetUnit(CrsLinearUnit(crs));
    if (table.Unit() == LinearUnit::Unknown || crs.unit.empty() || CrsLinearUnit(crs) == table.Unit()) return "";
    return "the points are in " + std::string(UnitName(table.Unit())) + " but " + crs.definition + " (" + crs.name +
           ") is in " + (crs.geographic ? "degrees" : crs.unit) + "; the coordinates are taken as they are";
}

std::vector<std::string> TransformTable(PointTable& table, const std::string& to)
{
    if (table.Crs().empty())
        throw Error("the points have no coordinate system to transform from: give it (--crs, or Edit > "
                    "Coordinate System)");
    const CrsInfo target = DescribeCrs(to);
    Coordinates c = CoordinatesOf(table);
    std::vector<std::string> notices = Move(table, c, table.Crs(), target.definition);
    for (size_t i = 0; i < c.rows.size(); ++i) {
        table.Set(ColNorthing, c.rows[i], c.y[i]);
        table.Set(ColEasting, c.rows[i], c.x[i]);
    }
    table.SetCrs(target.definition);
    const LinearUnit unit = CrsLinearUnit(target);
    if (table.Unit() != LinearUnit::Unknown || unit != LinearUnit::Unknown) table.SetUnit(unit);
    return notices;
}

bool TransformPoint(const std::string& from, const std::string& to, double& x, double& y)
{
    try {
        const TessalyGisApi& api = Module();
        TessalyGisTransformInfo info{};
        Sink sink;
        // A point PROJ cannot move comes back as HUGE_VAL.
        const int status =
            api.transform(from.c_str(), to.c_str(), 1, &x, &y, nullptr, &info, &sink, Sink::Error, [](void*, size_t) {});
        return status == 0 && std::isfinite(x) && std::isfinite(y) && x != HUGE_VAL;
    } catch (const Error&) {
        return false;
    }
}

std::vector<std::string> ApplyCrs(PointTable& table, const std::string& crs)
{
    if (table.Crs().empty()) {
        std::string notice = AssignCrs(table, crs);
        return notice.empty() ? std::vector<std::string>{} : std::vector<std::string>{std::move(notice)};
    }
    const CrsInfo wanted = DescribeCrs(crs);
    if (wanted.definition == table.Crs()) return {};
    const std::string from = table.Crs();
    std::vector<std::string> notices = TransformTable(table, wanted.definition);
    notices.insert(notices.begin(), "transformed from the file's " + from + " to " + wanted.definition);
    return notices;
}

bool LooksLikeGeoJson(const std::string& file)
{
    if (EndsWithLetters(file, "geojson")) return true;
    const std::optional<std::string> head = FileHead(file);
    return head && head->find("\"Feature") != std::string::npos;
}

bool IsGisFormat(const Format& format) { return format.read == ReadGisFile; }

bool IsCrsDefinitionText(std::string_view text) { return !TrimBlanksAndTabs(text).empty(); }

ReadReport ReadGisFile(PointTable& table, const std::string& file, const ReadOptions&)
{
    table.Clear();
    struct Reading : Sink {
        PointTable* table = nullptr;
        std::string crs;
        int32_t unnamed = 0;
        std::exception_ptr stop;
        static Reading& Of(void* self) { return static_cast<Reading&>(*static_cast<Sink*>(self)); }
        static void Crs(void* self, const char* text) { Of(self).crs = text; }
        static void Point(void* self, const TessalyGisPoint* p)
        {
            Reading& r = Of(self);
            if (r.stop) return;
            try {
                std::string name = p->name;
                if (name.empty()) {
                    name = std::to_string(r.table->CurrItems() + 1);
                    ++r.unnamed;
                }
                r.table->AddPoint({Cell(std::move(name)), Cell(p->y), Cell(p->x), p->hasZ ? Cell(p->z) : Cell(),
                                   Cell(std::string(p->description))});
            } catch (...) {
                r.stop = std::current_exception();
            }
        }
    } reading;
    reading.table = &table;
    const TessalyGisApi& api = Module();
    void* context = static_cast<Sink*>(&reading);
    if (api.read(file.c_str(), context, Reading::Crs, Reading::Point, Sink::Text, Sink::Error) != 0)
        FailFile(file, reading.error);
    table.SetCrs(reading.crs);
    if (reading.stop) {
        try {
            std::rethrow_exception(reading.stop);
        } catch (const Error& e) {
            FailFile(file, e.what());
        }
    }
    ReadReport report;
    report.notices = std::move(reading.texts);
    if (reading.unnamed > 0)
        report.notices.push_back(Counted(reading.unnamed, "point has", "points have") +
                                 " no name; numbered by their place in the file");
    if (!reading.crs.empty()) {
        try {
            const CrsInfo crs = DescribeCrs(reading.crs);
            table.SetCrs(crs.definition);
            const LinearUnit unit = CrsLinearUnit(crs);
            if (unit != LinearUnit::Unknown) table.SetUnit(unit);
        } catch (const Error&) {
            report.notices.push_back("PROJ does not know the file's coordinate system; the points have none");
            table.SetCrs("");
        }
    }
    return report;
}

namespace {

// One point as the module takes it, its texts held here.
struct OutPoint {
    std::string name, description;
    double z = 0;
    bool hasZ = false;
};

struct Outgoing {
    Coordinates c;
    std::vector<OutPoint> points;
    int32_t elevationsLeftOut = 0;
};

Outgoing OutgoingPoints(const PointTable& table)
{
    Outgoing out;
    out.c = CoordinatesOf(table);
    std::string elevation;
    for (int32_t row : out.c.rows) {
        OutPoint p;
        p.name = CellText(table.Get(ColPoint, row));
        p.description = CellText(table.Get(ColDescription, row));
        const Cell& z = table.Get(ColElevation, row);
        p.hasZ = Coordinate(z, elevation, p.z);
        if (!p.hasZ && !TrimBlanksAndTabs(CellText(z)).empty()) ++out.elevationsLeftOut;
        out.points.push_back(std::move(p));
    }
    return out;
}

// Cuts TEXT to at most LIMIT bytes at a character's start; true when cut.
bool CutUtf8(std::string& text, size_t limit)
{
    if (text.size() <= limit) return false;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return true;
}

// A folder made beside TARGET for the files GDAL writes, renamed over the
// targets once complete and removed whatever happens.
class Staging {
public:
    explicit Staging(const std::string& target) : target_(target)
    {
        const size_t slash = target.rfind('/');
        folder_ = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        base_ = slash == std::string::npos ? target : target.substr(slash + 1);
        std::string pattern = folder_ + ".tessaly-XXXXXX";
        if (!::mkdtemp(pattern.data())) FailFile(target, std::string("cannot be written: ") + std::strerror(errno));
        staging_ = pattern + "/";
    }
    ~Staging()
    {
        for (const std::string& part : Parts()) ::unlink(part.c_str());
        ::rmdir(staging_.c_str());
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    std::string Path() const { return staging_ + base_; }

    // Renames every file written over its target; for a Shapefile, ENDINGS
    // are the parts a set may have, and a target part this set lacks (an old
    // .prj) is removed so that it cannot mislabel the new one.
    void Commit(const std::string& stem, const std::vector<std::string>& endings)
    {
        for (const std::string& ending : endings) {
            const std::string staged = staging_ + stem + ending;
            if (::access(staged.c_str(), F_OK) != 0) ::unlink((folder_ + stem + ending).c_str());
        }
        for (const std::string& part : Parts()) {
            const std::string name = part.substr(staging_.size());
            if (::rename(part.c_str(), (folder_ + name).c_str()) != 0)
                FailFile(target_, std::string("cannot be written: ") + std::strerror(errno));
        }
    }

private:
    std::vector<std::string> Parts() const
    {
        std::vector<std::string> parts;
        if (DIR* dir = ::opendir(staging_.c_str())) {
            while (const dirent* entry = ::readdir(dir))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    parts.push_back(staging_ + entry->d_name);
            ::closedir(dir);
        }
        return parts;
    }

    std::string target_, folder_, base_, staging_;
};

enum class Gis { GeoJson, Kml, Shapefile, GeoPackage };

ExportReport WriteGis(const PointTable& table, const std::string& file, Gis kind)
{
    const bool wgs84 = kind == Gis::GeoJson || kind == Gis::Kml;
    const char* driver = kind == Gis::GeoJson ? "GeoJSON"
                         : kind == Gis::Kml   ? "KML"
                         : kind == Gis::Shapefile ? "ESRI Shapefile"
                                                  : "GPKG";
    if (wgs84 && table.Crs().empty())
        FailFile(file, std::string(kind == Gis::Kml ? "KML" : "GeoJSON") +
                           " holds WGS 84 longitudes and latitudes, and the points have no coordinate system to "
                           "transform from: give it (--crs, or Edit > Coordinate System); nothing written");
    Outgoing out = OutgoingPoints(table);
    ExportReport report;
    report.leftOut = out.c.leftOut;
    report.elevationsLeftOut = out.elevationsLeftOut;
    std::string crs = table.Crs();
    if (wgs84) {
        try {
            report.notices = Move(table, out.c, crs, "EPSG:4326");
        } catch (const Error& e) {
            FailFile(file, std::string(e.what()) + "; nothing written");
        }
        crs = "EPSG:4326";
    }
    if (kind == Gis::Shapefile) {
        // A DBF text field holds 254 bytes.
        int32_t cut = 0;
        for (OutPoint& p : out.points) cut += CutUtf8(p.name, 254) + CutUtf8(p.description, 254);
        if (cut > 0)
            report.notices.push_back(Counted(cut, "point number or description", "point numbers or descriptions") +
                                     " cut to the 254 bytes a Shapefile field holds");
    }
    std::vector<TessalyGisPoint> points;
    points.reserve(out.points.size());
    for (size_t i = 0; i < out.points.size(); ++i) {
        const OutPoint& p = out.points[i];
        points.push_back({p.name.c_str(), p.description.c_str(), out.c.x[i], out.c.y[i], p.z, p.hasZ ? 1 : 0});
    }
    const TessalyGisApi& api = Module();
    Staging staging(file);
    Sink sink;
    if (api.write(driver, staging.Path().c_str(), crs.c_str(), points.size(), points.data(), &sink, Sink::Error) != 0)
        FailFile(file, "cannot be written: " + sink.error);
    if (kind == Gis::Shapefile) {
        const size_t slash = file.rfind('/') + 1;
        const size_t dot = file.rfind('.');
        const std::string stem = file.substr(slash, dot == std::string::npos || dot < slash ? std::string::npos
                                                                                             : dot - slash);
        staging.Commit(stem, {".prj", ".cpg", ".qix", ".sbn", ".sbx", ".shp.xml"});
    } else {
        staging.Commit("", {});
    }
    report.written = static_cast<int32_t>(points.size());
    return report;
}

}  // namespace

ExportReport WriteGeoJsonFile(const PointTable& table, const std::string& file, const OptionValues&)
{
    return WriteGis(table, file, Gis::GeoJson);
}

ExportReport WriteKmlFile(const PointTable& table, const std::string& file, const OptionValues&)
{
    return WriteGis(table, file, Gis::Kml);
}

namespace {
// KIND written in the CRS "to-crs" of VALUES names, when one is given.
ExportReport WriteIn(const PointTable& table, const std::string& file, const OptionValues& values, Gis kind)
{
    const std::string* to = Given(values, "to-crs");
    if (!to || TrimBlanksAndTabs(*to).empty()) return WriteGis(table, file, kind);
    PointTable moved = table;
    std::vector<std::string> notices;
    try {
        notices = TransformTable(moved, std::string(TrimBlanksAndTabs(*to)));
    } catch (const Error& e) {
        FailFile(file, std::string(e.what()) + "; nothing written");
    }
    ExportReport report = WriteGis(moved, file, kind);
    report.notices.insert(report.notices.begin(), notices.begin(), notices.end());
    return report;
}
}  // namespace

ExportReport WriteShapefile(const PointTable& table, const std::string& file, const OptionValues& values)
{
    return WriteIn(table, file, values, Gis::Shapefile);
}

ExportReport WriteGeoPackageFile(const PointTable& table, const std::string& file, const OptionValues& values)
{
    return WriteIn(table, file, values, Gis::GeoPackage);
}

}  // namespace tessaly
