// LandXML 1.2 output through libxml2's text writer, which does all of the
// escaping. The document streams into a ReplacingFileWriter, so an existing
// file is only replaced once the whole document is on disk.
#include <cmath>
#include <ctime>
#include <exception>
#include <libxml/globals.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlwriter.h>
#include <memory>

#include "formats/xml/landxml.h"
#include "platform/error.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

#ifndef TESSALY_VERSION
#error "TESSALY_VERSION must be defined by the build"
#endif

namespace tessaly {

namespace {
constexpr const char* kNamespace = "http://www.landxml.org/schema/LandXML-1.2";

// Bytes of the output buffer go to the file; a failure is kept for the
// caller, since it must not cross libxml2's C frames.
struct Sink {
    ReplacingFileWriter out;
    std::exception_ptr failure;
};

int SinkWrite(void* context, const char* buffer, int len)
{
    auto* sink = static_cast<Sink*>(context);
    try {
        sink->out.Write(std::string_view(buffer, static_cast<size_t>(len)));
        return len;
    } catch (...) {
        if (!sink->failure) sink->failure = std::current_exception();
        return -1;
    }
}

int SinkClose(void*) { return 0; }

void IgnoreError(void*, xmlErrorPtr) {}

// libxml2 would print its own line about a failed write; the failure
// reaches the caller as an Error instead.
class QuietLibxml {
public:
    QuietLibxml() : saved_(xmlStructuredError), context_(xmlStructuredErrorContext)
    {
        xmlSetStructuredErrorFunc(nullptr, IgnoreError);
    }
    ~QuietLibxml() { xmlSetStructuredErrorFunc(context_, saved_); }
    QuietLibxml(const QuietLibxml&) = delete;
    QuietLibxml& operator=(const QuietLibxml&) = delete;

private:
    xmlStructuredErrorFunc saved_;
    void* context_;
};

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The table's UTF-8 text for an XML document, every character as it is but
// those XML 1.0 cannot hold at all, not even as character references: the
// C0 control characters other than tab, line feed and carriage return,
// U+FFFE and U+FFFF, and bytes that are no UTF-8. Each becomes "?", counted
// in REPLACED.
std::string XmlText(const std::string& utf8, int64_t& replaced)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const size_t start = i;
        const char32_t c = NextCharacter(utf8, i);
        if (c == kMalformed || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF) {
            out += '?';
            ++replaced;
        } else {
            out.append(utf8, start, i - start);
        }
    }
    return out;
}

class Document {
public:
    Document(Sink& sink, const std::string& file) : sink_(sink), file_(file)
    {
        xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(SinkWrite, SinkClose, &sink_, nullptr);
        if (!buffer) Fail();
        writer_ = xmlNewTextWriter(buffer);  // owns the buffer from here on, even on failure
        if (!writer_) Fail();
        Check(xmlTextWriterSetIndent(writer_, 1));
        Check(xmlTextWriterSetIndentString(writer_, X("  ")));
    }
    ~Document()
    {
        if (writer_) xmlFreeTextWriter(writer_);
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    void Check(int result)
    {
        if (result < 0 || sink_.failure) Fail();
    }
    void Start(const char* name) { Check(xmlTextWriterStartElement(writer_, X(name))); }
    void End() { Check(xmlTextWriterEndElement(writer_)); }
    void Attribute(const char* name, const std::string& utf8)
    {
        Check(xmlTextWriterWriteAttribute(writer_, X(name), X(utf8.c_str())));
    }
    void Text(const std::string& utf8) { Check(xmlTextWriterWriteString(writer_, X(utf8.c_str()))); }
    xmlTextWriterPtr Writer() { return writer_; }

    // Ends the document and hands every byte to the sink.
    void Finish()
    {
        Check(xmlTextWriterEndDocument(writer_));
        Check(xmlTextWriterFlush(writer_));
        xmlFreeTextWriter(writer_);
        writer_ = nullptr;
        if (sink_.failure) std::rethrow_exception(sink_.failure);
    }

private:
    [[noreturn]] void Fail()
    {
        if (sink_.failure) std::rethrow_exception(sink_.failure);
        FailFile(file_, "cannot write the LandXML document");
    }

    Sink& sink_;
    const std::string& file_;
    xmlTextWriterPtr writer_ = nullptr;
};

void WriteUnits(Document& doc, LinearUnit units)
{
    // Every attribute the 1.2 schema requires of Metric and Imperial, and
    // the elevation unit, whose schema default would be metres otherwise.
    doc.Start("Units");
    if (units == LinearUnit::Metre) {
        doc.Start("Metric");
        doc.Attribute("areaUnit", "squareMeter");
        doc.Attribute("linearUnit", "meter");
        doc.Attribute("volumeUnit", "cubicMeter");
        doc.Attribute("temperatureUnit", "celsius");
        doc.Attribute("pressureUnit", "milliBars");
        doc.Attribute("elevationUnit", "meter");
    } else {
        doc.Start("Imperial");
        doc.Attribute("areaUnit", "squareFoot");
        doc.Attribute("linearUnit", units == LinearUnit::UsSurveyFoot ? "USSurveyFoot" : "foot");
        doc.Attribute("volumeUnit", "cubicFeet");
        doc.Attribute("temperatureUnit", "fahrenheit");
        doc.Attribute("pressureUnit", "inchHG");
        doc.Attribute("elevationUnit", "feet");
    }
    doc.End();
    doc.End();
}

std::string Now(const char* format)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}
}  // namespace

ExportReport WriteLandXmlFile(const PointTable& table, const std::string& file, const LandXmlWriteOptions& options)
{
    xmlInitParser();
    QuietLibxml quiet;
    Sink sink{ReplacingFileWriter(file), nullptr};
    ExportReport report;
    // The label: the unit asked for, else the table's, else metres as ever.
    const LinearUnit from = table.Unit();
    const LinearUnit units = options.units != LinearUnit::Unknown ? options.units
                             : from != LinearUnit::Unknown          ? from
                                                                    : LinearUnit::Metre;
    const bool convert = from != LinearUnit::Unknown && units != from;
    // A coordinate's text in the file's unit: the cell's own digits, or
    // converted at full precision (false when converting overflowed).
    auto coordinate = [&](const Cell& cell, std::string& out) {
        if (!CoordinateText(cell, out)) return false;
        if (convert) {
            const double value = ConvertLength(*DecimalValue(out), from, units);
            if (!std::isfinite(value)) return false;
            out.assign(ShortestText(value));
        }
        if (options.decimals >= 0) out = RoundDecimalText(out, options.decimals);
        return true;
    };
    int64_t replaced = 0;
    {
        Document doc(sink, file);
        doc.Check(xmlTextWriterStartDocument(doc.Writer(), "1.0", "UTF-8", nullptr));
        doc.Start("LandXML");
        doc.Attribute("xmlns", kNamespace);
        doc.Attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
        doc.Attribute("xsi:schemaLocation",
                      std::string(kNamespace) + " http://www.landxml.org/schema/LandXML-1.2/LandXML-1.2.xsd");
        doc.Attribute("version", "1.2");
        doc.Attribute("date", Now("%Y-%m-%d"));
        doc.Attribute("time", Now("%H:%M:%S"));
        WriteUnits(doc, units);
        // The points' CRS by its EPSG code, unless the coordinates leave its
        // unit.
        if (!convert && table.Crs().rfind("EPSG:", 0) == 0) {
            doc.Start("CoordinateSystem");
            doc.Attribute("epsgCode", table.Crs().substr(5));
            doc.End();
        }
        doc.Start("Application");
        doc.Attribute("name", "Tessaly");
        doc.Attribute("version", TESSALY_VERSION);
        doc.End();

        doc.Start("CgPoints");
        std::string north, east, elevation, coordinates;
        for (int32_t row : table.RowsToSave()) {
            if (!coordinate(table.Get(ColNorthing, row), north) || !coordinate(table.Get(ColEasting, row), east)) {
                ++report.leftOut;
                continue;
            }
            coordinates = north + ' ' + east;
            const Cell& z = table.Get(ColElevation, row);
            if (coordinate(z, elevation)) coordinates += ' ' + elevation;
            else if (!TrimBlanksAndTabs(CellText(z)).empty()) ++report.elevationsLeftOut;

            doc.Start("CgPoint");
            const std::string name = CellText(table.Get(ColPoint, row));
            if (!name.empty()) doc.Attribute("name", XmlText(name, replaced));
            const std::string desc = CellText(table.Get(ColDescription, row));
            if (!desc.empty()) doc.Attribute("desc", XmlText(desc, replaced));
            doc.Text(coordinates);
            doc.End();
            ++report.written;
        }
        doc.End();  // CgPoints
        doc.End();  // LandXML
        doc.Finish();
    }
    sink.out.Commit();
    if (convert)
        report.notices.push_back("coordinates converted from " + std::string(UnitName(from)) + " to " +
                                 std::string(UnitName(units)));
    if (replaced > 0)
        report.notices.push_back(Counted(replaced, "character", "characters") +
                                 " XML cannot hold (control characters) written as \"?\"");
    return report;
}

}  // namespace tessaly
