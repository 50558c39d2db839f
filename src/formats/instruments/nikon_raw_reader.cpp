// Nikon RAW v2.00 coordinate records.
//
// Comma-separated records, the kind first. CO lines are comments, among
// them "Dist Units: Metres" (or US Feet, Feet) and "Coord Order: NEZ" (or
// ENZ), which apply to the records after them. The coordinate records are
// UP (uploaded), MP (keyed in), CC (calculated) and RE (resection):
// kind, point number, point id, the two coordinates in that order,
// elevation, code. A record without a point number takes its id.
// Measurement records (SS, CP, SO, F1, F2) are counted, not reduced.
#include <optional>
#include <vector>

#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
using namespace instruments;

std::vector<std::string_view> Split(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos) return fields;
        line.remove_prefix(comma + 1);
    }
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

bool OneOf(std::string_view kind, std::initializer_list<std::string_view> kinds)
{
    for (std::string_view k : kinds)
        if (kind == k) return true;
    return false;
}
}  // namespace

bool LooksLikeNikonRaw(const std::string& file)
{
    const std::optional<std::string> line = FirstLine(file);
    if (!line) return false;
    const std::string_view kind = TrimBlanksAndTabs(Split(*line)[0]);
    return line->find(',') != std::string::npos &&
           OneOf(kind, {"CO", "UP", "MP", "CC", "RE", "ST", "SS", "CP", "SO", "F1", "F2"});
}

ReadReport ReadNikonRawFile(PointTable& table, const std::string& file, const ReadOptions&)
{
    PointsLoad load(table, file);
    Lines lines(file);
    std::string line;
    LinearUnit unit = LinearUnit::Unknown;
    bool eastFirst = false;
    Tally unknownUnit, unknownOrder;
    while (lines.Read(line)) {
        const std::vector<std::string_view> fields = Split(line);
        const std::string_view kind = TrimBlanksAndTabs(fields[0]);
        auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };
        if (kind == "CO") {
            // The comment is all of the line after "CO,", commas included.
            const std::string text = Lower(TrimBlanksAndTabs(std::string_view(line).substr(line.find(',') + 1)));
            const size_t colon = text.find(':');
            if (colon == std::string::npos) continue;
            const std::string_view name = TrimBlanksAndTabs(std::string_view(text).substr(0, colon));
            const std::string_view value = TrimBlanksAndTabs(std::string_view(text).substr(colon + 1));
            if (name == "dist units") {
                if (value.starts_with("met")) unit = LinearUnit::Metre;
                else if (value.starts_with("us")) unit = LinearUnit::UsSurveyFoot;
                else if (value.starts_with("i")) unit = LinearUnit::Foot;
                // Feet without a word of which: US survey feet, as in GSI.
                else if (value.starts_with("f")) unit = LinearUnit::UsSurveyFoot;
                else unknownUnit.Note(lines.Line()), unit = LinearUnit::Unknown;
            } else if (name == "coord order") {
                if (value == "nez") eastFirst = false;
                else if (value == "enz") eastFirst = true;
                else unknownOrder.Note(lines.Line()), eastFirst = false;
            }
            continue;
        }
        if (OneOf(kind, {"SS", "CP", "SO", "F1", "F2"})) {
            load.Observation();
            continue;
        }
        if (!OneOf(kind, {"UP", "MP", "CC", "RE"})) continue;
        std::string_view id = TrimBlanksAndTabs(field(1));
        if (id.empty()) id = field(2);
        std::string_view first = field(3), second = field(4);
        if (eastFirst) std::swap(first, second);
        // The code is the rest of the record, commas and all.
        std::string code(field(6));
        for (size_t i = 7; i < fields.size(); ++i) code.append(",").append(fields[i]);
        load.Add(id, first, second, field(5), code, unit, lines.Line());
    }
    load.Say(unknownUnit, "distance unit", "distance units", " other than metres and feet (coordinates read without a unit)");
    load.Say(unknownOrder, "coordinate order", "coordinate orders", " other than NEZ and ENZ (read as NEZ)");
    return load.Finish();
}

}  // namespace tessaly
