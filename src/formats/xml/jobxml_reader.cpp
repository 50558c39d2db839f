// Trimble JobXML points through libxml2's streaming reader, with the
// LandXML reader's protections: a file we opened ourselves, no network, no
// DTD loaded, every outside file refused (libxml_setup.h), a document that
// declares entities refused; bounded nesting, size and field length.
//
// The points are the FieldBook's PointRecords: Name, Code, Deleted, and the
// grid coordinates in Grid (North, East, Elevation), or else ComputedGrid.
// Records marked Deleted are left out and counted; records without grid
// coordinates (circle readings, GNSS vectors, geographic positions) are
// observations, counted and not reduced.
//
// JobXML stores every length in metres, whatever the job shows: the
// UnitsRecord holds the units of the field software's display, and the
// points are read in metres whatever it says (the report mentions a job
// shown in feet).
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <memory>
#include <string_view>

#include "formats/formats.h"
#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "formats/xml/libxml_setup.h"
#include "platform/error.h"
#include "platform/files/binary_file.h"
#include "platform/files/file_kind.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
using namespace instruments;

constexpr int kMaxDepth = 64;
// Longer texts are cut: a name, code or coordinate needs far less.
constexpr size_t kMaxText = 4096;

std::string_view View(const xmlChar* s)
{
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

bool Space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && Space(text.front())) text.remove_prefix(1);
    while (!text.empty() && Space(text.back())) text.remove_suffix(1);
    return text;
}

struct Record {
    std::string name, code, deleted;
    std::string grid[3], computed[3];  // north, east, elevation
    bool hasGrid = false, hasComputed = false;
    long line = 0;
};

class JobXmlLoad {
public:
    JobXmlLoad(PointTable& table, const std::string& file) : load_(table, file), file_(file) {}

    ReadReport Run()
    {
        const XmlFileReader reader(file_, "a JobXML file", OnError, this);
        reader_ = reader.Get();
        Walk();
        if (deleted_.count > 0) load_.Say(deleted_, "deleted point", "deleted points", " not read");
        if (!shownUnit_.empty() && shownUnit_ != "Metres") {
            const std::string shown = shownUnit_ == "USSurveyFeet"        ? "US survey feet"
                                      : shownUnit_ == "InternationalFeet" ? "international feet"
                                                                           : shownUnit_;
            load_.Say("the job shows " + shown + "; the coordinates are read in metres, as JobXML stores them");
        }
        return load_.Finish();
    }

private:
    static void OnError(void* context, xmlErrorPtr error)
    {
        auto* self = static_cast<JobXmlLoad*>(context);
        if (!error || error->level < XML_ERR_ERROR || !self->error_.empty()) return;
        std::string message = error->message ? error->message : "malformed XML";
        while (!message.empty() && Space(message.back())) message.pop_back();
        self->error_ = "line " + std::to_string(error->line) + ": " + message;
    }

    bool Next()
    {
        const int result = xmlTextReaderRead(reader_);
        if (result < 0 || !error_.empty())
            FailFile(file_, "not a well-formed XML document: " + (error_.empty() ? "read error" : error_));
        return result == 1;
    }

    long Line() { return xmlGetLineNo(xmlTextReaderCurrentNode(reader_)); }

    // The text of the element the reader stands on, cut to kMaxText; the
    // reader is left on its end.
    std::string Text()
    {
        std::string text;
        if (xmlTextReaderIsEmptyElement(reader_)) return text;
        const int depth = xmlTextReaderDepth(reader_);
        while (Next()) {
            const int type = xmlTextReaderNodeType(reader_);
            if (type == XML_READER_TYPE_END_ELEMENT && xmlTextReaderDepth(reader_) == depth) break;
            if (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE)
                text.append(View(xmlTextReaderConstValue(reader_)).substr(0, kMaxText - text.size()));
        }
        return std::string(Trimmed(text));
    }

    void Walk()
    {
        bool root = true;
        int fieldBook = -1;  // the depth of the open FieldBook
        int point = -1;      // the depth of the open PointRecord
        int grid = -1;       // the depth of its open Grid or ComputedGrid
        bool computed = false;
        Record record;
        while (Next()) {
            const int type = xmlTextReaderNodeType(reader_);
            const int depth = xmlTextReaderDepth(reader_);
            if (depth > kMaxDepth)
                FailFile(file_, "line " + std::to_string(Line()) + ": elements nest deeper than " +
                                    std::to_string(kMaxDepth) + " levels");
            if (type == XML_READER_TYPE_DOCUMENT_TYPE) RefuseEntities(reader_, file_, "a JobXML file");
            const std::string_view name = View(xmlTextReaderConstLocalName(reader_));
            if (type == XML_READER_TYPE_END_ELEMENT) {
                if (depth == unitsRecord_) unitsRecord_ = -1;
                else if (depth == grid) grid = -1;
                else if (depth == point) point = -1, Store(record);
                else if (depth == fieldBook) fieldBook = -1;
                continue;
            }
            if (type != XML_READER_TYPE_ELEMENT) continue;
            const bool empty = xmlTextReaderIsEmptyElement(reader_);
            if (root) {
                if (name != "JOBFile")
                    FailFile(file_, "not a JobXML document: its root element is <" +
                                        std::string(View(xmlTextReaderConstName(reader_))) + ">, not <JOBFile>");
                root = false;
                continue;
            }
            if (fieldBook < 0) {
                if (name == "FieldBook" && depth == 1 && !empty) fieldBook = depth;
                continue;
            }
            if (unitsRecord_ >= 0) {
                if (depth == unitsRecord_ + 1 && name == "DistanceUnits") shownUnit_ = Text();
                continue;
            }
            if (point < 0) {
                if (depth != fieldBook + 1) continue;
                if (name == "PointRecord") {
                    record = Record{};
                    record.line = Line();
                    if (empty) Store(record);
                    else point = depth;
                } else if (name == "UnitsRecord" && !empty) {
                    unitsRecord_ = depth;
                }
                continue;
            }
            if (grid >= 0 && depth == grid + 1) {
                std::string* values = computed ? record.computed : record.grid;
                if (name == "North") values[0] = Text();
                else if (name == "East") values[1] = Text();
                else if (name == "Elevation") values[2] = Text();
                continue;
            }
            if (depth != point + 1) continue;
            if (name == "Name") record.name = Text();
            else if (name == "Code") record.code = Text();
            else if (name == "Deleted") record.deleted = Text();
            else if (name == "Grid" || name == "ComputedGrid") {
                computed = name == "ComputedGrid";
                (computed ? record.hasComputed : record.hasGrid) = true;
                if (!empty) grid = depth;
            }
        }
        if (root) FailFile(file_, "not a JobXML document: it holds no element");
    }

    void Store(const Record& record)
    {
        if (record.deleted == "true") return deleted_.Note(record.line);
        auto has = [](const std::string* values) { return !values[0].empty() || !values[1].empty(); };
        const std::string* values = record.hasGrid && has(record.grid) ? record.grid
                                    : record.hasComputed && has(record.computed) ? record.computed
                                                                                  : nullptr;
        if (!values) return load_.Observation();
        load_.Add(record.name, values[0], values[1], values[2], record.code, LinearUnit::Metre, record.line);
    }

    PointsLoad load_;
    const std::string& file_;
    xmlTextReaderPtr reader_ = nullptr;
    std::string error_;
    Tally deleted_;
    int unitsRecord_ = -1;
    std::string shownUnit_;
};
}  // namespace

ReadReport ReadJobXmlFile(PointTable& table, const std::string& file, const ReadOptions&)
{
    return JobXmlLoad(table, file).Run();
}

}  // namespace tessaly
