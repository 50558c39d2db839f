#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "formats/formats.h"
#include "formats/gis/gis.h"
#include "platform/error.h"
#include "platform/files/file_kind.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
// The readers and writers without options in the table's form.
template <ReaderFn Read>
ReadReport Plain(PointTable& table, const std::string& file, const ReadOptions&)
{
    Read(table, file);
    return {};
}

template <WriterFn Write>
ExportReport Plain(const PointTable& table, const std::string& file, const WriteOptions&)
{
    return Write(table, file);
}

ReadReport ReadText(PointTable& table, const std::string& file, const ReadOptions& options)
{
    TextReadSummary summary = ReadTextPointsFile(table, file, options.text);
    ReadReport report;
    report.notices = std::move(summary.notices);
    return report;
}

ExportReport WriteText(const PointTable& table, const std::string& file, const WriteOptions& options)
{
    return WriteTextPointsFile(table, file, options.text ? *options.text : DefaultTextWriteOptions(file));
}

ReadReport ReadLandXmlPoints(PointTable& table, const std::string& file, const ReadOptions&)
{
    LandXmlReadReport report = ReadLandXml(table, file);
    return {report.skippedPoints, std::move(report.notices), std::move(report.beyondPoints)};
}

ExportReport WriteLandXml(const PointTable& table, const std::string& file, const WriteOptions& options)
{
    return WriteLandXmlFile(table, file, options.landXml);
}

ExportReport WriteDxf(const PointTable& table, const std::string& file, const WriteOptions& options)
{
    return WriteDxfFile(table, file, options.dxf);
}

// The GIS writers take their options by name.
template <ExportReport (*Write)(const PointTable&, const std::string&, const OptionValues&)>
ExportReport Gis(const PointTable& table, const std::string& file, const WriteOptions&)
{
    return Write(table, file, {});
}

const Format kFormats[] = {
    {"crd", "an Orvelle coordinate file", "crd", Plain<ReadCrdFile>, nullptr},
    {"coo", "a COGO points file", "coo", Plain<ReadCooFile>, nullptr},
    {"cr5", "a TDS coordinate file", "cr5", Plain<ReadCr5File>, nullptr},
    {"grd", "an Orvelle grid file", "grd", Plain<ReadGrdFile>, nullptr},
    // An Access 2007 or later database (*.accdb) holds the same table.
    {"mdb", "an LDD point database", "mdb accdb", Plain<ReadMdbFile>, nullptr},
    // Text and LandXML names that hold binary data go on to the Surveyor One
    // reader, as they always did.
    {"text", "a delimited text point file", "asc csv txt", ReadText, nullptr, LooksLikeText},
    {"xml", "a LandXML point file", "xml", ReadLandXmlPoints, WriteLandXml, LooksLikeText},
    {"dxf", "a DXF drawing", "dxf", ReadDxfFile, WriteDxf},
    // Under *.json only JSON that names a Feature: other JSON is refused below.
    {"geojson", "a GeoJSON file (WGS 84)", "geojson json", ReadGisFile, Gis<WriteGeoJsonFile>, LooksLikeGeoJson},
    {"kml", "a KML file (WGS 84)", "kml", ReadGisFile, Gis<WriteKmlFile>},
    {"shp", "an ESRI Shapefile", "shp", ReadGisFile, Gis<WriteShapefile>},
    {"gpkg", "a GeoPackage", "gpkg", ReadGisFile, Gis<WriteGeoPackageFile>},
    // Before the Surveyor One reader, which would read any bytes as points:
    // pictures, documents, archives and prose are refused, and point rows
    // in text of any other name go to the text reader. Surveyor One files
    // are binary numbers, which these rows do not take.
    {"refused", "a picture, document, archive or prose file (refused: no points)", "", RefuseNotPoints, nullptr, IsPlainlyNotPoints},
    {"text-other", "a delimited text point file under another name", "", ReadText, nullptr, IsTextWithPointRows},
    {"s1", "a Surveyor One coordinate file", "", Plain<ReadSurveyorOneFile>, nullptr},
    {"asc", "an ASCII PNEZD coordinate file", "asc", nullptr, Plain<WriteAscFile>},
    {"csv", "a comma-delimited point file", "csv", nullptr, WriteText},
    {"txt", "a text point file", "txt", nullptr, WriteText},
};

// Calls F with each ending of FORMAT.
template <typename F>
void ForEachEnding(const Format& format, F f)
{
    std::string_view rest = format.endings;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(' '), rest.size());
        if (end > 0) f(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
}

// True when FILE belongs to FORMAT by its name and, when READING, by its
// content (a file to be written need not exist yet).
bool Claims(const Format& format, const std::string& file, bool reading)
{
    return NamedFor(format, file) && (!reading || !format.claims || format.claims(file));
}
}  // namespace

bool NamedFor(const Format& format, const std::string& file)
{
    bool named = *format.endings == '\0';
    ForEachEnding(format, [&](std::string_view ending) { named = named || EndsWithLetters(file, ending); });
    return named;
}

bool ReadsDelimitedText(const Format& format) { return format.read == ReadText; }

std::span<const Format> Formats() { return kFormats; }

std::string_view Description(const Format& format)
{
    std::string_view name = format.name;
    return name.substr(name.find(' ') + 1);
}

std::string Patterns(const Format& format)
{
    std::string out;
    ForEachEnding(format, [&](std::string_view ending) {
        if (!out.empty()) out += ' ';
        out += "*.";
        out += ending;
    });
    return out.empty() ? "*" : out;
}

namespace {
// The first row that has the function FN and claims FILE, or null.
template <typename Fn>
const Format* FirstClaiming(const std::string& file, Fn Format::*fn)
{
    for (const Format& format : kFormats)
        if (format.*fn && Claims(format, file, std::is_same_v<Fn, FormatReader>)) return &format;
    return nullptr;
}
}  // namespace

const Format& ChooseReader(const std::string& file)
{
    // The Surveyor One row claims every name: a reader is always found.
    return *FirstClaiming(file, &Format::read);
}

const Format* ChooseWriter(const std::string& file) { return FirstClaiming(file, &Format::write); }

namespace {
// True when a line among the first of HEAD, the start of a text file, has a
// northing and an easting that are numbers where its header or the default
// layout puts them. Only HEAD's whole lines are looked at, so a huge file or line costs
// no more than its start.
bool HasPointRows(std::string_view head)
{
    constexpr size_t kRowsLooked = 50;
    const MemoryFile lines(head.size() < kFileHeadBytes ? head : WholeLines(head));
    if (lines.Path().empty()) return false;
    TextPreview preview;
    try {
        preview = PreviewTextPointsFile(lines.Path(), TextLayout::PNEZD, kRowsLooked);
    } catch (const Error&) {
        return false;
    }
    // Where the header, or else the default layout, puts them.
    const size_t north = preview.mapping.find('N'), east = preview.mapping.find('E');
    if (north == std::string::npos || east == std::string::npos) return false;
    for (size_t r = preview.header ? 1 : 0; r < preview.rows.size(); ++r) {
        const std::vector<std::string>& row = preview.rows[r];
        if (row.size() > std::max(north, east) && IsDecimalNumber(TrimBlanksAndTabs(row[north])) &&
            IsDecimalNumber(TrimBlanksAndTabs(row[east])))
            return true;
    }
    return false;
}

// What FILE is when it plainly holds no points; nothing otherwise (an empty
// file included: the Surveyor One reader takes it, as ever).
std::optional<std::string> NotPointsKind(const std::string& file)
{
    const std::optional<std::string> head = FileHead(file);
    if (!head || head->empty()) return std::nullopt;
    if (const std::optional<std::string_view> kind = ForeignFileKind(*head)) return std::string(*kind);
    if (LooksLikePlainText(*head) && !HasPointRows(*head)) return "text without point rows";
    return std::nullopt;
}
}  // namespace

bool IsPlainlyNotPoints(const std::string& file) { return NotPointsKind(file).has_value(); }

ReadReport RefuseNotPoints(PointTable& table, const std::string& file, const ReadOptions&)
{
    table.Clear();
    FailFile(file, "not a point file: " + NotPointsKind(file).value_or("no points found"));
}

bool IsTextWithPointRows(const std::string& file)
{
    const std::optional<std::string> head = FileHead(file);
    return head && !head->empty() && !ForeignFileKind(*head) && LooksLikePlainText(*head) && HasPointRows(*head);
}

}  // namespace tessaly
