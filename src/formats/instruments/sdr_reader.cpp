// Sokkia SDR33 and SDR2x coordinate records.
//
// Every record is a line of fixed columns, its kind in the first four
// characters. The 00NM header gives the distance unit in column 42 (1
// metres, 2 feet) and the coordinate order in column 45 (1 northing
// first, 2 easting first); its version (columns 5 to 20) tells SDR2x files,
// whose fields are narrower, from SDR33 files. The coordinate records are
// 08 (08KI keyed in, 08TP computed, and the other derivations), point
// number, two coordinates, elevation and description; the station records
// 02 (02TP, 02KI) carry an instrument height before the description.
// Observation records (09) are counted, not reduced.
#include <optional>

#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
using namespace instruments;

// Column widths: the point number, a coordinate, a description.
struct Widths {
    size_t id, value, description;
};
constexpr Widths kSdr33{16, 16, 16};
constexpr Widths kSdr2x{4, 10, 16};

// The field at START of WIDTH characters, shorter or empty where the line
// ends early.
std::string_view Field(std::string_view line, size_t start, size_t width)
{
    return start < line.size() ? line.substr(start, width) : std::string_view();
}

LinearUnit HeaderUnit(char code)
{
    if (code == '1') return LinearUnit::Metre;
    // SDR says feet without saying which: US survey feet, as in GSI.
    if (code == '2') return LinearUnit::UsSurveyFoot;
    return LinearUnit::Unknown;
}
}  // namespace

bool LooksLikeSdr(const std::string& file)
{
    const std::optional<std::string> line = FirstLine(file);
    return line && line->starts_with("00NM");
}

ReadReport ReadSdrFile(PointTable& table, const std::string& file, const ReadOptions&)
{
    PointsLoad load(table, file);
    Lines lines(file);
    std::string line;
    Widths widths = kSdr33;
    LinearUnit unit = LinearUnit::Unknown;
    bool eastFirst = false;
    Tally unknownUnit;
    while (lines.Read(line)) {
        const std::string_view record(line);
        if (record.starts_with("00NM")) {
            widths = TrimBlanks(Field(record, 4, 16)).starts_with("SDR2") ? kSdr2x : kSdr33;
            const char distance = record.size() > 41 ? record[41] : ' ';
            unit = HeaderUnit(distance);
            if (unit == LinearUnit::Unknown && distance != ' ') unknownUnit.Note(lines.Line());
            eastFirst = record.size() > 44 && record[44] == '2';
            continue;
        }
        const bool coordinates = record.starts_with("08");
        const bool station = record.starts_with("02");
        if (record.starts_with("09")) load.Observation();
        if (!coordinates && !station) continue;
        size_t at = 4;
        const std::string_view id = Field(record, at, widths.id);
        at += widths.id;
        std::string_view first = Field(record, at, widths.value), second = Field(record, at + widths.value, widths.value);
        const std::string_view elevation = Field(record, at + 2 * widths.value, widths.value);
        at += 3 * widths.value + (station ? widths.value : 0);  // a station's instrument height
        if (eastFirst) std::swap(first, second);
        load.Add(id, first, second, elevation, Field(record, at, widths.description), unit, lines.Line());
    }
    load.Say(unknownUnit, "header", "headers", " with a distance unit other than 1 (metres) or 2 (feet)");
    return load.Finish();
}

}  // namespace tessaly
