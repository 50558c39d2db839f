#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "formats/formats.h"
#include "formats/instruments/instruments.h"
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
ExportReport Plain(const PointTable& table, const std::string& file, const OptionValues&)
{
    return Write(table, file);
}

ReadReport ReadText(PointTable& table, const std::string& file, const ReadOptions& options)
{
    return ReadTextPointsFile(table, file, options.text);
}

ExportReport WriteText(const PointTable& table, const std::string& file, const OptionValues& values)
{
    return WriteTextPointsFile(table, file, TextWriteOptionsFor(file, values));
}

ReadReport ReadLandXmlPoints(PointTable& table, const std::string& file, const ReadOptions&)
{
    return ReadLandXml(table, file);
}

ExportReport WriteLandXml(const PointTable& table, const std::string& file, const OptionValues& values)
{
    LandXmlWriteOptions options;
    if (const std::string* units = Given(values, "units")) options.units = UnitOfWord(*units);
    options.decimals = static_cast<int>(GivenNumber(values, "decimals").value_or(-1));
    return WriteLandXmlFile(table, file, options);
}

ExportReport WriteDxf(const PointTable& table, const std::string& file, const OptionValues& values)
{
    DxfWriteOptions options;
    options.textHeight = GivenNumber(values, "text-height").value_or(options.textHeight);
    options.decimals = static_cast<int>(GivenNumber(values, "decimals").value_or(-1));
    return WriteDxfFile(table, file, options);
}

// The filter entries the Open and Save dialogs have always shown stand at
// the places 1 to 9 and 1 to 5, in that order.
const FilterEntry kMdbOpen[] = {{1, "Autodesk LDD Point Database (*.mdb)|*.mdb"},
                                {kLaterPlace, "Access Point Database (*.accdb)|*.accdb"}};
const FilterEntry kCooOpen[] = {{2, "Marrowby COGO Points (*.coo)|*.coo"}};
const FilterEntry kCrdOpen[] = {{3, "Orvelle Coordinate Files (*.crd)|*.crd"}};
const FilterEntry kGrdOpen[] = {{4, "Orvelle Grid Files (*.grd)|*.grd"}};
const FilterEntry kS1Open[] = {{5, "Surveyor One Coordinates (*.*)|*.*"}};
const FilterEntry kCr5Open[] = {{6, "TDS Coordinate Files (*.cr5)|*.cr5"}};
const FilterEntry kTextOpen[] = {{7, "ASCII Point Files (*.asc;*.csv;*.txt)|*.asc;*.csv;*.txt"}};
const FilterEntry kXmlOpen[] = {{8, "LandXML Points (*.xml)|*.xml"}};
const FilterEntry kDxfOpen[] = {{9, "DXF Drawing (*.dxf)|*.dxf"}};
const FilterEntry kAscSave[] = {{1, "ASCII PNEZD Coordinates (*.asc)|*.asc"}};
const FilterEntry kCsvSave[] = {{2, "Comma Delimited Points (*.csv)|*.csv"}};
const FilterEntry kTxtSave[] = {{3, "Text Points (*.txt)|*.txt"}};
const FilterEntry kXmlSave[] = {{4, "LandXML Points (*.xml)|*.xml"}};
const FilterEntry kDxfSave[] = {{5, "DXF Drawing (*.dxf)|*.dxf"}};

const Format kFormats[] = {
    {.id = "crd", .name = "an Orvelle coordinate file", .endings = "crd", .read = Plain<ReadCrdFile>,
     .openFilters = kCrdOpen},
    {.id = "coo", .name = "a COGO points file", .endings = "coo", .read = Plain<ReadCooFile>, .openFilters = kCooOpen},
    {.id = "cr5", .name = "a TDS coordinate file", .endings = "cr5", .read = Plain<ReadCr5File>,
     .openFilters = kCr5Open},
    {.id = "grd", .name = "an Orvelle grid file", .endings = "grd", .read = Plain<ReadGrdFile>,
     .openFilters = kGrdOpen},
    // An Access 2007 or later database (*.accdb) holds the same table.
    {.id = "mdb", .name = "an LDD point database", .endings = "mdb accdb", .read = Plain<ReadMdbFile>,
     .openFilters = kMdbOpen},
    // Text and LandXML names that hold binary data go on to the Surveyor One
    // reader, as they always did.
    {.id = "text", .name = "a delimited text point file", .endings = "asc csv txt", .read = ReadText,
     .claims = LooksLikeText, .openFilters = kTextOpen, .readOptions = kTextReadOptions},
    {.id = "xml", .name = "a LandXML point file", .endings = "xml", .read = ReadLandXmlPoints, .write = WriteLandXml,
     .claims = LooksLikeText, .openFilters = kXmlOpen, .saveFilters = kXmlSave, .writeOptions = kLandXmlWriteOptions,
     .optionsTitle = "LandXML"},
    {.id = "dxf", .name = "a DXF drawing", .endings = "dxf", .read = ReadDxfFile, .write = WriteDxf,
     .openFilters = kDxfOpen, .saveFilters = kDxfSave, .writeOptions = kDxfWriteOptions, .optionsTitle = "DXF"},
    // Field instrument files. Other files of these names go on to the rows
    // below as before: each of these rows looks at the file's start.
    {.id = "gsi", .name = "a Leica GSI file", .endings = "gsi", .read = ReadGsiFile, .write = WriteGsiFile,
     .claims = LooksLikeGsi, .openFilters = kGsiOpenFilters, .saveFilters = kGsiSaveFilters,
     .writeOptions = kGsiWriteOptions, .optionsTitle = "Leica GSI-16"},
    {.id = "sdr", .name = "a Sokkia SDR file", .endings = "sdr", .read = ReadSdrFile, .write = WriteSdrFile,
     .claims = LooksLikeSdr, .openFilters = kSdrOpenFilters, .saveFilters = kSdrSaveFilters,
     .writeOptions = kSdrWriteOptions, .optionsTitle = "Sokkia SDR33"},
    {.id = "raw", .name = "a Nikon RAW file", .endings = "raw", .read = ReadNikonRawFile, .claims = LooksLikeNikonRaw,
     .openFilters = kNikonRawOpenFilters},
    {.id = "rw5", .name = "a Carlson/TDS raw data file", .endings = "rw5", .read = ReadRw5File, .claims = LooksLikeRw5,
     .openFilters = kRw5OpenFilters},
    {.id = "jxl", .name = "a Trimble JobXML file", .endings = "jxl", .read = ReadJobXmlFile, .claims = LooksLikeJobXml,
     .openFilters = kJobXmlOpenFilters},
    // Under *.json only JSON that names a Feature: other JSON is refused below.
    {.id = "geojson", .name = "a GeoJSON file (WGS 84)", .endings = "geojson json", .read = ReadGisFile,
     .write = WriteGeoJsonFile, .claims = LooksLikeGeoJson, .openFilters = kGeoJsonFilters,
     .saveFilters = kGeoJsonFilters},
    {.id = "kml", .name = "a KML file (WGS 84)", .endings = "kml", .read = ReadGisFile, .write = WriteKmlFile,
     .openFilters = kKmlFilters, .saveFilters = kKmlFilters},
    {.id = "shp", .name = "an ESRI Shapefile", .endings = "shp", .read = ReadGisFile, .write = WriteShapefile,
     .openFilters = kShapefileFilters, .saveFilters = kShapefileFilters, .writeOptions = kGisWriteOptions,
     .optionsTitle = "Shapefile"},
    {.id = "gpkg", .name = "a GeoPackage", .endings = "gpkg", .read = ReadGisFile, .write = WriteGeoPackageFile,
     .openFilters = kGeoPackageFilters, .saveFilters = kGeoPackageFilters, .writeOptions = kGisWriteOptions,
     .optionsTitle = "GeoPackage"},
    // Before the Surveyor One reader, which would read any bytes as points:
    // pictures, documents, archives and prose are refused, and point rows
    // in text of any other name go to the text reader. Surveyor One files
    // are binary numbers, which these rows do not take.
    {.id = "refused", .name = "a picture, document, archive or prose file (refused: no points)", .endings = "",
     .read = RefuseNotPoints, .claims = IsPlainlyNotPoints},
    {.id = "text-other", .name = "a delimited text point file under another name", .endings = "", .read = ReadText,
     .claims = IsTextWithPointRows, .readOptions = kTextReadOptions},
    {.id = "s1", .name = "a Surveyor One coordinate file", .endings = "", .read = Plain<ReadSurveyorOneFile>,
     .openFilters = kS1Open},
    {.id = "asc", .name = "an ASCII PNEZD coordinate file", .endings = "asc", .write = Plain<WriteAscFile>,
     .saveFilters = kAscSave},
    {.id = "csv", .name = "a comma-delimited point file", .endings = "csv", .write = WriteText, .saveFilters = kCsvSave,
     .writeOptions = kTextWriteOptions, .optionsTitle = "Text points", .nameDefaults = TextNameDefaults},
    {.id = "txt", .name = "a text point file", .endings = "txt", .write = WriteText, .saveFilters = kTxtSave,
     .writeOptions = kTextWriteOptions, .optionsTitle = "Text points", .nameDefaults = TextNameDefaults},
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
// "All Files (*.*)|*.*|" and the entries of every row in FILTERS by place,
// rows in the table's order where places are equal.
std::string Filter(std::span<const FilterEntry> Format::*filters)
{
    std::vector<const FilterEntry*> entries;
    for (const Format& format : kFormats)
        for (const FilterEntry& entry : format.*filters) entries.push_back(&entry);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const FilterEntry* a, const FilterEntry* b) { return a->place < b->place; });
    std::string filter = "All Files (*.*)|*.*|";
    for (const FilterEntry* entry : entries) filter += std::string(entry->text) + "|";
    return filter;
}
}  // namespace

std::string OpenFilter() { return Filter(&Format::openFilters); }
std::string SaveFilter() { return Filter(&Format::saveFilters); }

std::string WriterEndings()
{
    // In the order of the Save dialog's entries.
    std::vector<const Format*> writers;
    for (const Format& format : kFormats)
        if (format.write) writers.push_back(&format);
    const auto place = [](const Format* f) { return f->saveFilters.empty() ? kLaterPlace : f->saveFilters[0].place; };
    std::stable_sort(writers.begin(), writers.end(), [&](const Format* a, const Format* b) { return place(a) < place(b); });
    std::vector<std::string> endings;
    for (const Format* format : writers)
        // Appended rather than "." + ending, which GCC 12 misreads at -O3
        // (-Wrestrict).
        ForEachEnding(*format, [&](std::string_view ending) { endings.emplace_back(".").append(ending); });
    std::string out;
    for (size_t i = 0; i < endings.size(); ++i)
        out += (i == 0 ? "" : i + 1 == endings.size() ? " or " : ", ") + endings[i];
    return out;
}

ReadOptions ReadOptionsFor(const OptionValues& values) { return {TextReadOptionsFor(values)}; }

OptionValues OfferedValues(const Format& format, const std::string& file, LinearUnit unit)
{
    OptionValues values;
    for (const FormatOption& option : format.writeOptions) {
        if (option.kind == FormatOption::Kind::Unit && unit != LinearUnit::Unknown)
            values[option.name] = std::string(UnitWord(unit));
        else if (*option.defaultValue)
            values[option.name] = option.defaultValue;
    }
    if (format.nameDefaults)
        for (auto& [name, value] : format.nameDefaults(file)) values[name] = value;
    return values;
}

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
