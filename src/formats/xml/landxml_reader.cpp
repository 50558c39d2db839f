// LandXML points through libxml2's streaming reader. Safe by construction:
// the document comes from a file we opened ourselves, no network access, no
// DTD is loaded, any other file the parser might still ask for is refused,
// and a document that declares entities is refused outright; libxml2's own
// limits bound the length of names and texts, ours bound the nesting, the
// size and the length of a field.
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "formats/xml/landxml.h"
#include "formats/xml/libxml_setup.h"
#include "formats/load_error.h"
#include "platform/files/binary_file.h"
#include "platform/error.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
constexpr int kMaxDepth = 64;
constexpr size_t kMaxPointText = 4096;
// Longer names and descriptions are cut: no point needs them, and a grid
// cell or an output line that long helps nobody.
constexpr size_t kMaxField = size_t{64} << 10;

std::string_view View(const xmlChar* s)
{
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

bool Space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The words of a point's text, at most four of them (four is one too many).
struct Words {
    std::array<std::string_view, 4> word;
    size_t count = 0;
    explicit Words(std::string_view text)
    {
        size_t i = 0;
        while (i < text.size() && count < word.size()) {
            while (i < text.size() && Space(text[i])) ++i;
            const size_t start = i;
            while (i < text.size() && !Space(text[i])) ++i;
            if (i > start) word[count++] = text.substr(start, i - start);
        }
    }
};

// A point as the document gives it; REF names the point whose coordinates it
// takes when it has none of its own.
using Row = std::array<Cell, PointTable::TotCols>;
struct Point {
    Row cells;
    std::optional<std::string> ref;
};

class LandXmlLoad {
public:
    LandXmlLoad(PointTable& table, const std::string& file) : table_(table), file_(file) {}

    ReadReport Run()
    {
        const XmlFileReader reader(file_, "a LandXML point file", OnError, this);
        reader_ = reader.Get();
        // Resolving references may clear the table: the unit is set after it.
        try {
            Walk();
        } catch (...) {
            ResolveReferences();
            table_.SetUnit(unit_);
            table_.SetCrs(crs_);
            throw;
        }
        ResolveReferences();
        table_.SetUnit(unit_);
        table_.SetCrs(crs_);
        if (cutFields_ > 0)
            report_.notices.push_back(Counted(cutFields_, "field", "fields") +
                                      " longer than " + std::to_string(kMaxField >> 10) + " KiB cut to " +
                                      std::to_string(kMaxField >> 10) + " KiB, the first on line " +
                                      std::to_string(cutLine_));
        if (overflow_) AddPointOf(table_, file_);  // throws: the table is full
        return report_;
    }

private:
    static void OnError(void* context, xmlErrorPtr error)
    {
        auto* self = static_cast<LandXmlLoad*>(context);
        if (!error || error->level < XML_ERR_ERROR || !self->error_.empty()) return;
        std::string message = error->message ? error->message : "malformed XML";
        while (!message.empty() && Space(message.back())) message.pop_back();
        self->error_ = "line " + std::to_string(error->line) + ": " + message;
    }

    // The line of the node the reader stands on (the parser may be ahead).
    long Line() { return xmlGetLineNo(xmlTextReaderCurrentNode(reader_)); }

    [[noreturn]] void Fail(const std::string& what) { FailFile(file_, "line " + std::to_string(Line()) + ": " + what); }

    // Reads the next node; false at the end of the document.
    bool Next()
    {
        const int result = xmlTextReaderRead(reader_);
        if (result < 0 || !error_.empty())
            FailFile(file_, "not a well-formed XML document: " + (error_.empty() ? "read error" : error_));
        return result == 1;
    }

    // The parser hands over valid UTF-8, which the table holds as it is, cut
    // at a character's start when it runs past the bound.
    std::string Field(const xmlChar* utf8, long line)
    {
        std::string_view text = View(utf8);
        if (text.size() > kMaxField) {
            size_t end = kMaxField;
            while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
            text = text.substr(0, end);
            if (cutFields_++ == 0) cutLine_ = line;
        }
        return std::string(text);
    }

    // A document that declares entities is refused before its first point
    // is read (libxml_setup.h says why).
    void RefuseEntities() { tessaly::RefuseEntities(reader_, file_, "a LandXML point file"); }

    // The unit of <Units><Metric linearUnit="meter"/></Units> or of its
    // Imperial sibling, the first one the document gives.
    void ReadUnit(std::string_view system)
    {
        if (unitRead_ || (system != "Metric" && system != "Imperial")) return;
        unitRead_ = true;
        xmlChar* value = xmlTextReaderGetAttribute(reader_, reinterpret_cast<const xmlChar*>("linearUnit"));
        const std::string linear(View(value));
        xmlFree(value);
        if (system == "Metric" && linear == "meter") unit_ = LinearUnit::Metre;
        else if (system == "Imperial" && linear == "USSurveyFoot") unit_ = LinearUnit::UsSurveyFoot;
        else if (system == "Imperial" && linear == "foot") unit_ = LinearUnit::Foot;
        else
            report_.notices.push_back(
                (linear.empty() ? std::string("the Units give no linear unit")
                                : "linear unit \"" + linear + "\" not known (meter, foot, USSurveyFoot)") +
                "; the coordinates are read as they are, their unit unknown");
    }

    // The EPSG code of <CoordinateSystem epsgCode="2263">: the points' CRS,
    // checked by PROJ only when a transform asks for it.
    void ReadCrs()
    {
        xmlChar* value = xmlTextReaderGetAttribute(reader_, reinterpret_cast<const xmlChar*>("epsgCode"));
        const std::string code(TrimBlanksAndTabs(View(value)));
        xmlFree(value);
        if (code.empty()) return;
        if (code.size() <= 9 && code.find_first_not_of("0123456789") == std::string::npos) crs_ = "EPSG:" + code;
        else report_.notices.push_back("the CoordinateSystem's epsgCode \"" + code + "\" is not a number; not taken");
    }

    // Notes a kind of data the root holds that a file of points only would lose.
    void NoteBeyondPoints(std::string_view name)
    {
        // What describes the points, or the file, rather than holding data.
        static constexpr std::string_view kPointsOnly[] = {"CgPoints", "Units", "Application", "Project",
                                                           "CoordinateSystem", "FeatureDictionary"};
        for (std::string_view kind : kPointsOnly)
            if (name == kind) return;
        for (const std::string& seen : beyondSeen_)
            if (seen == name) return;
        beyondSeen_.emplace_back(name);
        report_.beyondPoints += (report_.beyondPoints.empty() ? "" : ", ") + std::string(name);
    }

    void Walk()
    {
        std::vector<int> groups;  // depths of the open CgPoints elements
        bool root = true;
        bool inUnits = false;  // within the root's Units
        while (Next()) {
            const int type = xmlTextReaderNodeType(reader_);
            const int depth = xmlTextReaderDepth(reader_);
            if (depth > kMaxDepth) Fail("elements nest deeper than " + std::to_string(kMaxDepth) + " levels");
            if (type == XML_READER_TYPE_DOCUMENT_TYPE) RefuseEntities();
            const std::string_view name = View(xmlTextReaderConstLocalName(reader_));
            if (type == XML_READER_TYPE_ELEMENT) {
                if (root) {
                    if (name != "LandXML")
                        FailFile(file_, "not a LandXML document: its root element is <" +
                                            std::string(View(xmlTextReaderConstName(reader_))) +
                                            ">, not <LandXML>");
                    root = false;
                    continue;
                }
                if (depth == 1) {
                    inUnits = name == "Units";
                    if (name == "CoordinateSystem") ReadCrs();
                    if (!xmlTextReaderIsEmptyElement(reader_)) NoteBeyondPoints(name);
                } else if (depth == 2 && inUnits) {
                    ReadUnit(name);
                }
                if (name == "CgPoints" && !xmlTextReaderIsEmptyElement(reader_)) {
                    groups.push_back(depth);
                } else if (name == "CgPoint" && !groups.empty()) {
                    ReadPoint(depth);
                }
            } else if (type == XML_READER_TYPE_END_ELEMENT && !groups.empty() && groups.back() == depth) {
                groups.pop_back();
            }
        }
        if (root) FailFile(file_, "not a LandXML document: it holds no element");
    }

    void ReadPoint(int depth)
    {
        Point point;
        // One walk over the attributes. A value may live in a buffer the
        // next call reuses, so each is converted at once.
        std::optional<std::string> name, oid, desc, code, ref;
        const long line = Line();
        for (int more = xmlTextReaderMoveToFirstAttribute(reader_); more == 1;
             more = xmlTextReaderMoveToNextAttribute(reader_)) {
            if (xmlTextReaderConstNamespaceUri(reader_)) continue;
            const std::string_view attribute = View(xmlTextReaderConstLocalName(reader_));
            auto value = [this, line] { return Field(xmlTextReaderConstValue(reader_), line); };
            if (attribute == "name") name = value();
            else if (attribute == "oID") oid = value();
            else if (attribute == "desc") desc = value();
            else if (attribute == "code") code = value();
            else if (attribute == "pntRef") ref = value();
        }
        xmlTextReaderMoveToElement(reader_);
        if (!name || name->empty()) name = oid ? std::move(oid) : std::string();
        if (!desc) desc = code ? std::move(code) : std::string();

        std::string& text = text_;  // its memory serves every point
        text.clear();
        if (!xmlTextReaderIsEmptyElement(reader_)) {
            while (Next()) {
                const int type = xmlTextReaderNodeType(reader_);
                if (type == XML_READER_TYPE_END_ELEMENT && xmlTextReaderDepth(reader_) == depth) break;
                if (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                    type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE) {
                    text += View(xmlTextReaderConstValue(reader_));
                    if (text.size() > kMaxPointText)
                        Fail("the coordinates of point \"" + *name + "\" run past " +
                             std::to_string(kMaxPointText) + " characters");
                }
            }
        }
        const Words words(text);
        if (words.count == 1 || words.count > 3)
            FailFile(file_, "line " + std::to_string(line) + ": point \"" + *name + "\" has " +
                                (words.count > 3 ? "more than 3" : "1") +
                                " numbers where northing, easting and perhaps elevation belong");
        for (size_t k = 0; k < words.count; ++k) {
            if (!CoordinateDigits(words.word[k]))
                FailFile(file_, "line " + std::to_string(line) + ": point \"" + *name + "\" has \"" +
                                    std::string(words.word[k]) + "\" where a coordinate belongs");
        }

        if (!name->empty()) point.cells[ColPoint] = std::move(*name);
        if (!desc->empty()) point.cells[ColDescription] = std::move(*desc);
        if (words.count > 0) {
            point.cells[ColNorthing].emplace<std::string>(words.word[0]);
            point.cells[ColEasting].emplace<std::string>(words.word[1]);
            if (words.count == 3) point.cells[ColElevation].emplace<std::string>(words.word[2]);
        } else if (ref) {
            point.ref = ref;
        } else {
            ++report_.skipped;  // a point with neither coordinates nor a reference
            return;
        }
        Add(std::move(point));
    }

    // Points go straight into the table; a reference holds its row until
    // the end of the document, when the point it names is known.
    void Add(Point&& point)
    {
        if (!table_.Full()) {
            if (point.ref) {
                wanted_.insert(*point.ref);
                pending_.push_back({table_.CurrItems(), std::move(*point.ref)});
            }
            AddPointOf(table_, file_, std::move(point.cells));
            return;
        }
        // Past the table's rows only the points the kept ones refer to matter.
        overflow_ = true;
        if (point.ref || wanted_.empty()) return;
        std::string name = CellText(point.cells[ColPoint]);
        if (wanted_.count(name)) beyond_.try_emplace(std::move(name), std::move(point.cells));
    }

    void ResolveReferences()
    {
        if (pending_.empty()) return;
        // The first point of each name that references ask for: rows of the
        // table first, then the points past its end. Rows are named, not
        // copied, so that resolving costs no more than the cells it fills.
        std::unordered_map<std::string, int32_t> named;
        std::unordered_set<int32_t> refRows;
        for (const auto& p : pending_) refRows.insert(p.row);
        for (int32_t row = 0; row < table_.CurrItems(); ++row) {
            if (refRows.count(row)) continue;
            std::string name = CellText(table_.Get(ColPoint, row));
            if (wanted_.count(name)) named.try_emplace(std::move(name), row);
        }

        std::unordered_set<int32_t> unresolved;
        for (const auto& p : pending_) {
            const auto inTable = named.find(p.name);
            const auto beyond = inTable == named.end() ? beyond_.find(p.name) : beyond_.end();
            if (inTable == named.end() && beyond == beyond_.end()) {
                unresolved.insert(p.row);
                continue;
            }
            auto cell = [&](int16_t col) -> const Cell& {
                return inTable != named.end() ? table_.Get(col, inTable->second) : beyond->second[col];
            };
            // The coordinates come from the point referred to, and so do
            // a name and description the reference does not give.
            for (int16_t col : {ColNorthing, ColEasting, ColElevation}) table_.Set(col, p.row, cell(col));
            for (int16_t col : {ColPoint, ColDescription})
                if (IsEmpty(table_.Get(col, p.row))) table_.Set(col, p.row, cell(col));
        }
        pending_.clear();
        if (unresolved.empty()) return;
        // The unresolved references leave the table; the rows after them
        // move up. Each row is emptied as it is taken, so the table's text
        // is held once throughout.
        report_.skipped += static_cast<int32_t>(unresolved.size());
        std::vector<Row> kept;
        for (int32_t row = 0; row < table_.CurrItems(); ++row) {
            if (unresolved.count(row)) continue;
            Row cells;
            for (int16_t col = 0; col < PointTable::TotCols; ++col) {
                cells[col] = table_.Get(col, row);
                table_.Set(col, row, Cell{});
            }
            kept.push_back(std::move(cells));
        }
        table_.Clear();
        for (auto& cells : kept) AddPointOf(table_, file_, std::move(cells));
    }

    struct Pending {
        int32_t row;
        std::string name;
    };

    PointTable& table_;
    const std::string& file_;
    xmlTextReaderPtr reader_ = nullptr;
    std::string error_;
    ReadReport report_;
    std::vector<Pending> pending_;
    std::string text_;
    std::unordered_set<std::string> wanted_;     // names that references ask for
    std::unordered_map<std::string, Row> beyond_;  // points past the table's rows that are asked for
    bool overflow_ = false;
    LinearUnit unit_ = LinearUnit::Unknown;
    std::string crs_;  // "EPSG:N" from the CoordinateSystem; "" when none
    bool unitRead_ = false;
    int32_t cutFields_ = 0;
    long cutLine_ = 0;
    std::vector<std::string> beyondSeen_;
};
}  // namespace

ReadReport ReadLandXml(PointTable& table, const std::string& file)
{
    table.Clear();
    return LandXmlLoad(table, file).Run();
}

void ReadLandXmlFile(PointTable& table, const std::string& file) { ReadLandXml(table, file); }

}  // namespace tessaly
