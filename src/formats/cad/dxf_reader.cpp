// Reading the points of an ASCII DXF drawing, any release.
//
//  - Group code and value on lines of their own; lines end at LF, CR LF or
//    CR. A value longer than kMaxValue characters is cut (and said when a
//    point keeps it).
//  - Every POINT entity of the ENTITIES section in model space is a point,
//    in file order: group 10 the easting, 20 the northing, 30 the elevation
//    (0 when missing, as DXF defines). A coordinate's text is stored as the
//    file writes it when it is a decimal number. Entities of blocks and of
//    paper space are not points.
//  - TEXT on layer PNT-NO gives a point its number and TEXT on PNT-DESC its
//    description, as Tessaly writes them: right after the POINT, starting
//    half a text height right of it, the number half a height above and the
//    description one and a half heights below. A label goes to the point it
//    sits at by that rule, the one it follows first, else any point it sits
//    at (a drawing saved again may group its entities by layer), else the
//    point it follows when it lies near (a label moved by hand). A drawing
//    without number labels has its points numbered 1..n.
//  - $INSUNITS gives the unit of the points when it is metres, feet or US
//    survey feet.
//  - Text is Windows-1252 up to AutoCAD 2004 (AC1018) and UTF-8 after it
//    (and in any release where it is valid UTF-8 beyond ASCII);
//    "\U+XXXX" stands for any character, "%%" starts a control code.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/cad/dxf_groups.h"
#include "formats/formats.h"
#include "formats/load_error.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {

using dxf::kMaxValue;

// The unit of the drawing's $INSUNITS code, when it is one the table knows.
LinearUnit Unit(double code)
{
    if (code == 6) return LinearUnit::Metre;
    if (code == 2) return LinearUnit::Foot;
    if (code == 21) return LinearUnit::UsSurveyFoot;
    return LinearUnit::Unknown;
}

struct Entity {
    std::string type;
    std::string layer;
    std::optional<std::string> x, y, z;
    std::string text;
    double height = 0;
    bool paperSpace = false;
    bool textCut = false;
    int64_t line = 0;
};

struct Point {
    std::string east, north, z;
    std::optional<double> e, n;
    int64_t line = 0;
    bool cut = false;
};

enum Slot { Number, Description };

struct Label {
    Slot slot;
    double x, y, height;
    int32_t after;  // the POINT it follows: its index, -1 for none
    std::string text;
    bool cut;
};

// The kinds of entities a drawing holds beyond points, as a save in its
// place would lose them.
std::string_view KindName(std::string_view type)
{
    static constexpr std::pair<std::string_view, std::string_view> kKinds[] = {
        {"LINE", "Lines"},         {"LWPOLYLINE", "Polylines"}, {"POLYLINE", "Polylines"}, {"TEXT", "Texts"},
        {"MTEXT", "Texts"},        {"INSERT", "Blocks"},        {"CIRCLE", "Circles"},     {"ARC", "Arcs"},
        {"3DFACE", "3D faces"},    {"HATCH", "Hatches"},        {"DIMENSION", "Dimensions"},
        {"SPLINE", "Splines"},     {"SOLID", "Solids"},
    };
    for (const auto& [dxf, name] : kKinds)
        if (type == dxf) return name;
    return "Other entities";
}

class DxfLoad {
public:
    DxfLoad(PointTable& table, const std::string& file) : table_(table), file_(file), in_(file) {}

    ReadReport Run()
    {
        std::optional<std::string> failure = Parse();
        const ReadReport report = Store();
        if (failure) FailFile(file_, *failure);
        return report;
    }

private:
    // Reads the drawing; what went wrong, or nothing.
    std::optional<std::string> Parse()
    {
        int group = 0;
        std::string value;
        bool cut = false;
        for (;;) {
            const dxf::Groups::Read read = in_.Next(group, value, cut);
            if (read == dxf::Groups::Read::End) {
                if (entitiesDone_) return std::nullopt;
                return "the file ends before its drawing does (line " + std::to_string(in_.Line()) + ")";
            }
            if (read == dxf::Groups::Read::Broken) {
                // A group 0 ends the entity before it, whatever it starts.
                if (group == 0 && section_ == "ENTITIES") Finish();
                return in_.Problem();
            }
            if (group == 0) {
                if (Boundary(value)) return std::nullopt;
            } else if (pendingSection_) {
                pendingSection_ = false;
                if (group == 2) section_ = TrimBlanksAndTabs(value);
            } else if (section_ == "HEADER") {
                Header(group, value);
            } else if (entity_) {
                Take(group, std::move(value), cut);
            }
        }
    }

    // A group 0: the end of the entity before it, and the start of an
    // entity, a section, or the end of one or of the file. True at the end of
    // the file.
    bool Boundary(std::string_view value)
    {
        if (section_ == "ENTITIES") Finish();
        value = TrimBlanksAndTabs(value);
        if (value == "EOF") return true;
        pendingSection_ = value == "SECTION";
        if (value == "ENDSEC") {
            entitiesDone_ = entitiesDone_ || section_ == "ENTITIES";
            section_.clear();
        } else if (section_ == "ENTITIES") {
            entity_ = Entity{};
            entity_->type = value;
            entity_->line = in_.Line();
        }
        return false;
    }

    void Header(int group, const std::string& value)
    {
        if (group == 9) variable_ = value;
        else if (variable_ == "$ACADVER") utf8_ = TrimBlanksAndTabs(value) >= "AC1021";
        else if (variable_ == "$INSUNITS" && group == 70) unit_ = Unit(LeadingNumber(value));
    }

    void Take(int group, std::string value, bool cut)
    {
        Entity& e = *entity_;
        switch (group) {
        case 8: e.layer = std::move(value); break;
        case 10: if (!e.x) e.x = std::move(value); break;
        case 20: if (!e.y) e.y = std::move(value); break;
        case 30: if (!e.z) e.z = std::move(value); break;
        case 40: e.height = DecimalValue(TrimBlanksAndTabs(value)).value_or(0); break;
        case 67: e.paperSpace = LeadingNumber(value) != 0; break;
        case 1:
            e.text = std::move(value);
            e.textCut = cut;
            break;
        default: break;
        }
        if (group >= 10 && group <= 30 && group % 10 == 0) pointCut_ = pointCut_ || cut;
    }

    // The entity read is complete: keep it when it is a point or a label.
    void Finish()
    {
        if (!entity_) return;
        Entity e = std::move(*entity_);
        entity_.reset();
        const bool cut = pointCut_;
        pointCut_ = false;
        // Parts of the entity before them, and the paper space's own view.
        if (e.type == "VERTEX" || e.type == "SEQEND" || e.type == "ATTRIB" || e.type == "VIEWPORT") return;
        if (e.type == "POINT") {
            if (e.paperSpace) {
                ++paperPoints_;
                return;
            }
            if (points_.size() > static_cast<size_t>(table_.AllocatedRows())) return;
            Point p;
            p.east = e.x ? std::string(TrimBlanksAndTabs(*e.x)) : "0";
            p.north = e.y ? std::string(TrimBlanksAndTabs(*e.y)) : "0";
            p.z = e.z ? std::string(TrimBlanksAndTabs(*e.z)) : "0";
            p.e = DecimalValue(p.east);
            p.n = DecimalValue(p.north);
            p.line = e.line;
            p.cut = cut;
            points_.push_back(std::move(p));
            return;
        }
        std::optional<Slot> slot;
        if (e.type == "TEXT" && !e.paperSpace) {
            if (SameLetters(e.layer, "PNT-NO")) slot = Number;
            else if (SameLetters(e.layer, "PNT-DESC")) slot = Description;
        }
        const std::optional<double> x = e.x ? DecimalValue(TrimBlanksAndTabs(*e.x)) : 0.0;
        const std::optional<double> y = e.y ? DecimalValue(TrimBlanksAndTabs(*e.y)) : 0.0;
        // Each point takes one label of each kind: more cannot all be read.
        if (slot && x && y && labels_.size() < 2 * static_cast<size_t>(table_.AllocatedRows())) {
            labels_.push_back({*slot, *x, *y, e.height, static_cast<int32_t>(points_.size()) - 1,
                               std::move(e.text), e.textCut});
            return;
        }
        const std::string_view kind = KindName(e.type);
        if (std::find(beyond_.begin(), beyond_.end(), kind) == beyond_.end()) beyond_.emplace_back(kind);
    }

    // True when LABEL sits where Tessaly writes it for POINT.
    static bool SitsAt(const Label& label, const Point& point)
    {
        if (!point.e || !point.n) return false;
        const double x = *point.e + label.height / 2;
        const double y = *point.n + (label.slot == Number ? label.height / 2 : -1.5 * label.height);
        const double tolerance = std::max(1e-3 * label.height, 1e-9 * (1 + std::fabs(x) + std::fabs(y)));
        return std::fabs(label.x - x) <= tolerance && std::fabs(label.y - y) <= tolerance;
    }

    // True when LABEL lies near POINT, as a label moved aside by hand does.
    static bool Near(const Label& label, const Point& point)
    {
        if (!point.e || !point.n) return false;
        const double reach = 20 * std::max(label.height, 1e-3);
        return std::hypot(label.x - *point.e, label.y - *point.n) <= reach;
    }

    // Gives each label its point (see the top of the file); the labels that
    // find none are counted.
    void Match(std::vector<std::array<const Label*, 2>>& given)
    {
        const size_t count = std::min(points_.size(), static_cast<size_t>(table_.AllocatedRows()));
        given.assign(count, {nullptr, nullptr});
        std::vector<const Label*> left;
        auto give = [&](const Label& label, size_t point) {
            if (point >= count || given[point][label.slot]) return false;
            given[point][label.slot] = &label;
            return true;
        };
        for (const Label& label : labels_)
            if (!(label.after >= 0 && SitsAt(label, points_[static_cast<size_t>(label.after)]) &&
                  give(label, static_cast<size_t>(label.after))))
                left.push_back(&label);

        // Any point a label sits at: the points ordered by easting, so only
        // those within reach are looked at.
        std::vector<size_t> byEast;
        for (size_t i = 0; i < count; ++i)
            if (points_[i].e && points_[i].n) byEast.push_back(i);
        std::sort(byEast.begin(), byEast.end(), [&](size_t a, size_t b) { return *points_[a].e < *points_[b].e; });
        std::vector<const Label*> still;
        for (const Label* label : left) {
            const double east = label->x - label->height / 2;
            const double reach = std::max(1e-3 * label->height, 1e-9 * (1 + std::fabs(label->x) + std::fabs(label->y)));
            auto it = std::lower_bound(byEast.begin(), byEast.end(), east - 2 * reach,
                                       [&](size_t i, double v) { return *points_[i].e < v; });
            size_t best = count;
            for (; it != byEast.end() && *points_[*it].e <= east + 2 * reach; ++it)
                if (*it < best && !given[*it][label->slot] && SitsAt(*label, points_[*it])) best = *it;
            if (!give(*label, best)) still.push_back(label);
        }
        for (const Label* label : still)
            if (!(label->after >= 0 && Near(*label, points_[static_cast<size_t>(label->after)]) &&
                  give(*label, static_cast<size_t>(label->after))))
                ++unmatched_;
    }

    std::string Decoded(const std::string& raw) const { return dxf::DecodedText(raw, utf8_); }

    // What Store counts for the notices.
    struct Counts {
        int64_t nonNumbers = 0, firstNonNumber = 0, cutLabels = 0, cutPoints = 0;
    };

    ReadReport Store()
    {
        table_.Clear();
        table_.SetUnit(unit_);
        std::vector<std::array<const Label*, 2>> given;
        Match(given);
        bool numbered = false;
        for (const auto& g : given) numbered = numbered || g[Number];
        Counts counts;
        for (size_t i = 0; i < points_.size(); ++i)
            AddPointOf(table_, file_, PointCells(i, i < given.size() ? &given[i] : nullptr, numbered, counts));
        return Report(numbered, counts);
    }

    // The cells of point I, with the labels GIVEN it (null for a point past
    // what the table holds).
    std::array<Cell, PointTable::TotCols> PointCells(size_t i, const std::array<const Label*, 2>* given,
                                                     bool numbered, Counts& counts)
    {
        Point& p = points_[i];
        std::array<Cell, PointTable::TotCols> cells;
        if (given) {
            if (const Label* number = (*given)[Number]) {
                cells[ColPoint] = Decoded(number->text);
                counts.cutLabels += number->cut;
            } else if (!numbered) {
                cells[ColPoint] = std::to_string(i + 1);
            }
            if (const Label* desc = (*given)[Description]) {
                cells[ColDescription] = Decoded(desc->text);
                counts.cutLabels += desc->cut;
            }
        }
        if (!p.e || !p.n || !DecimalValue(p.z)) {
            if (counts.nonNumbers++ == 0) counts.firstNonNumber = p.line;
        }
        counts.cutPoints += p.cut;
        // Only numbers and blanks: these texts hold nothing to decode.
        cells[ColEasting] = !p.e ? Decoded(p.east) : std::move(p.east);
        cells[ColNorthing] = !p.n ? Decoded(p.north) : std::move(p.north);
        cells[ColElevation] = !DecimalValue(p.z) ? Decoded(p.z) : std::move(p.z);
        return cells;
    }

    ReadReport Report(bool numbered, const Counts& counts) const
    {
        ReadReport report;
        const auto n = std::to_string(points_.size());
        if (!numbered && !points_.empty())
            report.notices.push_back("the drawing labels no point with its number (layer PNT-NO): the points were "
                                     "numbered 1 to " + n);
        if (counts.nonNumbers)
            report.notices.push_back(Counted(counts.nonNumbers, "point has", "points have") +
                                     " a coordinate that is not a number, the first on line " +
                                     std::to_string(counts.firstNonNumber));
        if (const int64_t cut = counts.cutLabels + counts.cutPoints)
            report.notices.push_back(Counted(cut, "text", "texts") + " longer than " + std::to_string(kMaxValue) +
                                     (cut == 1 ? " characters was cut" : " characters were cut"));
        if (unmatched_)
            report.notices.push_back(Counted(unmatched_, "label", "labels") + " on layer PNT-NO or PNT-DESC " +
                                     (unmatched_ == 1 ? "belongs to no point and was" : "belong to no point and were") +
                                     " not read");
        if (paperPoints_)
            report.notices.push_back(Counted(paperPoints_, "point", "points") + " in paper space " +
                                     (paperPoints_ == 1 ? "was" : "were") + " not read");
        for (const std::string& kind : beyond_)
            report.beyondPoints += (report.beyondPoints.empty() ? "" : ", ") + kind;
        return report;
    }

    PointTable& table_;
    const std::string& file_;
    dxf::Groups in_;
    std::string section_, variable_;
    bool pendingSection_ = false, entitiesDone_ = false;
    bool utf8_ = false;  // AutoCAD 2007 and later write UTF-8
    LinearUnit unit_ = LinearUnit::Unknown;
    std::optional<Entity> entity_;
    bool pointCut_ = false;
    std::vector<Point> points_;  // one more than the table holds, to say it is full
    std::vector<Label> labels_;
    std::vector<std::string> beyond_;
    int64_t unmatched_ = 0;
    int64_t paperPoints_ = 0;
};

}  // namespace

ReadReport ReadDxfFile(PointTable& table, const std::string& file, const ReadOptions&)
{
    table.Clear();
    return DxfLoad(table, file).Run();
}

}  // namespace tessaly
