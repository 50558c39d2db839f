// One libFuzzer target per reader (the reader is picked at compile time).
// The text points target also previews the input, and writes what loaded as
// text and reads that back (which must load or fail with tessaly::Error).
// Each input is written to a file, loaded into a fresh point table and, when
// anything loaded, written back with the writer. Asserted on every input:
//   - a load completes or throws tessaly::Error, nothing else;
//   - CurrItems never exceeds the table;
//   - the written file is exactly the CurrItems rows, field by field;
//   - LandXML only: the points loaded, written as LandXML, read back the same;
//   - DXF only: the points loaded, written as DXF, read back with the same
//     coordinates, and with the same numbers and descriptions where those
//     are plain text that a drawing holds as it stands;
//   - GSI and SDR only: the points loaded, written for upload, read back as
//     many points as the writer wrote.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "formats/formats.h"
#include "formats/instruments/instruments.h"
#include "formats/text/text_points.h"
#include "formats/xml/landxml.h"
#include "platform/error.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

using namespace tessaly;

namespace {

#if defined(TESSALY_FUZZ_CRD)
constexpr const char* kExt = ".crd";
#elif defined(TESSALY_FUZZ_COO)
constexpr const char* kExt = ".coo";
#elif defined(TESSALY_FUZZ_CR5)
constexpr const char* kExt = ".cr5";
#elif defined(TESSALY_FUZZ_GRD)
constexpr const char* kExt = ".grd";
#elif defined(TESSALY_FUZZ_TEXT)
constexpr const char* kExt = ".csv";
#elif defined(TESSALY_FUZZ_LANDXML)
constexpr const char* kExt = ".xml";
#elif defined(TESSALY_FUZZ_DXF)
constexpr const char* kExt = ".dxf";
#elif defined(TESSALY_FUZZ_GSI)
constexpr const char* kExt = ".gsi";
#elif defined(TESSALY_FUZZ_SDR)
constexpr const char* kExt = ".sdr";
#elif defined(TESSALY_FUZZ_RAW)
constexpr const char* kExt = ".raw";
#elif defined(TESSALY_FUZZ_RW5)
constexpr const char* kExt = ".rw5";
#elif defined(TESSALY_FUZZ_JXL)
constexpr const char* kExt = ".jxl";
// The GIS readers: GDAL parses (it is not instrumented here); what is
// fuzzed is what Tessaly makes of whatever GDAL hands back.
#elif defined(TESSALY_FUZZ_GEOJSON)
constexpr const char* kExt = ".geojson";
#elif defined(TESSALY_FUZZ_KML)
constexpr const char* kExt = ".kml";
#elif defined(TESSALY_FUZZ_GPKG)
constexpr const char* kExt = ".gpkg";
#else
constexpr const char* kExt = ".pts";
#endif

const std::string& Folder()
{
    static std::string dir = [] {
        // Memory-backed when possible: the writer syncs every file it writes.
        std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string tmpl = base + "/tessaly-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl.data())) std::abort();
        return tmpl;
    }();
    return dir;
}

void Put(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The ASCII PNEZD lines the writer must write for TABLE.
std::string Expected(const PointTable& table)
{
    std::string out;
    for (int32_t r = 0; r < table.CurrItems(); ++r)
        for (int16_t c = 0; c < PointTable::TotCols; ++c) {
            const Cell& cell = table.Get(c, r);
            if (auto d = std::get_if<double>(&cell)) {
                out += (*d < 0 ? "" : " ") + NumberText(*d) + " ";
            } else {
                // Text goes out in Windows-1252; a line break anywhere, and
                // a comma before the description, would break or split the
                // line and are written as blanks.
                std::string text = Utf8ToCp1252(CellText(cell));
                for (char& ch : text)
                    if (ch == '\r' || ch == '\n' || (ch == ',' && c != ColDescription)) ch = ' ';
                out += text;
            }
            out += c + 1 < PointTable::TotCols ? "," : "\r\n";
        }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input = Folder() + "/input" + kExt;
#if defined(TESSALY_FUZZ_SURVEYOR_ONE_COMPANION)
    // The first two bytes say how much of the rest is the point file; the
    // remainder is its companion description file (the name plus "W").
    if (size < 2) return 0;
    size_t split = std::min<size_t>(size - 2, data[0] | (size_t{data[1]} << 8));
    Put(input, data + 2, split);
    Put(input + "W", data + 2 + split, size - 2 - split);
#else
    Put(input, data, size);
    std::remove((input + "W").c_str());
#endif

    static PointTable table;  // reused: every reader starts by clearing it
    try {
#if defined(TESSALY_FUZZ_TEXT)
        PreviewTextPointsFile(input, TextLayout::PNEZD, 5);
        ReadTextPointsFile(table, input);
#elif defined(TESSALY_FUZZ_LANDXML)
        ReadLandXmlFile(table, input);
#elif defined(TESSALY_FUZZ_DXF)
        ReadDxfFile(table, input);
#elif defined(TESSALY_FUZZ_GSI)
        LooksLikeGsi(input);
        ReadGsiFile(table, input, {});
#elif defined(TESSALY_FUZZ_SDR)
        LooksLikeSdr(input);
        ReadSdrFile(table, input, {});
#elif defined(TESSALY_FUZZ_RAW)
        LooksLikeNikonRaw(input);
        ReadNikonRawFile(table, input, {});
#elif defined(TESSALY_FUZZ_RW5)
        LooksLikeRw5(input);
        ReadRw5File(table, input, {});
#elif defined(TESSALY_FUZZ_JXL)
        LooksLikeJobXml(input);
        ReadJobXmlFile(table, input, {});
#else
        ChooseReader(input).read(table, input, {});
#endif
    } catch (const Error&) {
        // A failed load is a valid outcome; what follows must still hold.
    }
    if (table.CurrItems() < 0 || table.CurrItems() > table.AllocatedRows()) std::abort();

    const std::string output = Folder() + "/out.asc";
    WriteAscFile(table, output);
    std::ifstream in(output, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    if (written.str() != Expected(table)) std::abort();
#if defined(TESSALY_FUZZ_TEXT)
    // Every byte of the input picks the options the table is written with.
    const uint8_t pick = size ? data[size - 1] : 0;
    TextWriteOptions options{kTextLayouts[pick % kTextLayouts.size()], static_cast<TextDelimiter>((pick >> 4) % 4),
                             (pick & 0x40) != 0, (pick & 0x80) ? TextEncoding::Utf8 : TextEncoding::Cp1252};
    const std::string text = Folder() + "/out.csv";
    WriteTextPointsFile(table, text, options);
    static PointTable back;
    try {
        ReadTextPointsFile(back, text, {options.layout});
    } catch (const Error&) {
    }
    if (back.CurrItems() > table.CurrItems()) std::abort();
#elif defined(TESSALY_FUZZ_LANDXML)
    // Every point the reader stores has coordinates LandXML can carry.
    const std::string xml = Folder() + "/out.xml";
    if (WriteLandXmlFile(table, xml).leftOut != 0) std::abort();
    static PointTable again;
    ReadLandXmlFile(again, xml);
    if (again.CurrItems() != table.CurrItems()) std::abort();
    for (int32_t r = 0; r < table.CurrItems(); ++r)
        for (int16_t c = 0; c < PointTable::TotCols; ++c)
            if (CellText(again.Get(c, r)) != CellText(table.Get(c, r))) std::abort();
#elif defined(TESSALY_FUZZ_DXF)
    const std::string dxf = Folder() + "/out.dxf";
    const ExportReport report = WriteDxfFile(table, dxf);
    static PointTable again;
    ReadDxfFile(again, dxf);
    if (again.CurrItems() != report.written) std::abort();
    // A label's text passes unchanged when it is printable ASCII without the
    // characters that start escapes and control codes.
    auto plain = [](const std::string& text) {
        for (char c : text)
            if (c < 0x20 || c > 0x7E || c == '\\' || c == '%') return false;
        return !text.empty();
    };
    std::string north, east;
    for (int32_t r = 0, w = 0; r < table.CurrItems(); ++r) {
        if (!CoordinateText(table.Get(ColNorthing, r), north) || !CoordinateText(table.Get(ColEasting, r), east))
            continue;
        if (CellText(again.Get(ColNorthing, w)) != north || CellText(again.Get(ColEasting, w)) != east) std::abort();
        for (Column c : {ColPoint, ColDescription})
            if (plain(CellText(table.Get(c, r))) && CellText(again.Get(c, w)) != CellText(table.Get(c, r)))
                std::abort();
        ++w;
    }
#elif defined(TESSALY_FUZZ_GSI) || defined(TESSALY_FUZZ_SDR)
#if defined(TESSALY_FUZZ_GSI)
    const auto write = WriteGsiFile;
    const auto read = ReadGsiFile;
#else
    const auto write = WriteSdrFile;
    const auto read = ReadSdrFile;
#endif
    const std::string upload = Folder() + "/upload" + kExt;
    const ExportReport report = write(table, upload, {});
    static PointTable again;
    try {
        read(again, upload, {});
    } catch (const Error&) {
        if (report.written > 0) std::abort();  // only a file without points may fail
    }
    if (report.written > 0 && again.CurrItems() != report.written) std::abort();
#endif
    return 0;
}
