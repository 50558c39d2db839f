// Carlson / TDS Survey Pro raw data (RW5) coordinate records.
//
// Comma-separated records, the kind first (SP, OC, SS, MO, ...), then
// fields that each start with their name: PN100, N 5000.000, E 1000.000,
// EL100.00, --note. A record that names a point (PN) and gives its
// northing and easting (N, E) is a point, with its elevation (EL) and the
// note as the description; SP records are such. The MO record's UN field
// gives the distance unit: 0 feet, 1 metres, 2 US survey feet. A record
// with angles or distances (AR, ZE, SD, HD, AZ) and no coordinates is an
// observation: counted, not reduced. Lines that start with "--" are notes.
#include <optional>

#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
using namespace instruments;

bool Upper(char c) { return c >= 'A' && c <= 'Z'; }

// True when FIELD is the field NAME followed by its value: "E 1000" and
// "E1000" are E, "EL100" is not.
bool Named(std::string_view field, std::string_view name)
{
    return field.starts_with(name) && (field.size() == name.size() || !Upper(field[name.size()]));
}

// A record's kind: two or three capital letters before the first comma.
bool RecordKind(std::string_view line)
{
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma < 2 || comma > 3) return false;
    for (size_t i = 0; i < comma; ++i)
        if (!Upper(line[i])) return false;
    return true;
}
}  // namespace

bool LooksLikeRw5(const std::string& file)
{
    const std::optional<std::string> line = FirstLine(file);
    if (!line) return false;
    // A download starts with its job record, its mode record or a note.
    const std::string_view start = TrimBlanksAndTabs(*line);
    return start.starts_with("--") || start.starts_with("JB,") || start.starts_with("MO,") ||
           start.starts_with("SP,");
}

ReadReport ReadRw5File(PointTable& table, const std::string& file, const ReadOptions&)
{
    PointsLoad load(table, file);
    Lines lines(file);
    std::string line;
    LinearUnit unit = LinearUnit::Unknown;
    Tally unknownUnit, geographic;
    while (lines.Read(line)) {
        const std::string_view record = TrimBlanksAndTabs(line);
        if (record.starts_with("--") || !RecordKind(record)) continue;
        std::optional<std::string_view> id, north, east, elevation, note;
        bool measured = false, latitude = false;
        std::string_view rest = record.substr(record.find(',') + 1);
        for (bool more = true; more;) {
            const size_t comma = rest.find(',');
            std::string_view field = TrimBlanksAndTabs(rest.substr(0, comma));
            // The note runs to the end of the record, commas and all.
            if (field.starts_with("--")) {
                note = TrimBlanksAndTabs(rest).substr(2);
                break;
            }
            more = comma != std::string_view::npos;
            if (more) rest.remove_prefix(comma + 1);
            if (Named(field, "PN")) id = field.substr(2);
            else if (Named(field, "N")) north = field.substr(1);
            else if (Named(field, "E")) east = field.substr(1);
            else if (Named(field, "EL")) elevation = field.substr(2);
            else if (Named(field, "LA")) latitude = true;
            else if (Named(field, "AR") || Named(field, "ZE") || Named(field, "SD") || Named(field, "HD") ||
                     Named(field, "AZ"))
                measured = true;
            else if (record.starts_with("MO,") && Named(field, "UN")) {
                const std::string_view code = TrimBlanksAndTabs(field.substr(2));
                if (code == "0") unit = LinearUnit::Foot;
                else if (code == "1") unit = LinearUnit::Metre;
                else if (code == "2") unit = LinearUnit::UsSurveyFoot;
                else unknownUnit.Note(lines.Line()), unit = LinearUnit::Unknown;
            }
        }
        if (id && (north || east)) {
            load.Add(*id, north.value_or(""), east.value_or(""), elevation.value_or(""), note.value_or(""), unit,
                     lines.Line());
        } else if (id && latitude) {
            geographic.Note(lines.Line());
        } else if (measured) {
            load.Observation();
        }
    }
    load.Say(unknownUnit, "mode record", "mode records", " with a distance unit other than 0, 1 or 2 (coordinates read without a unit)");
    load.Say(geographic, "point", "points", " given only in latitude and longitude not read");
    return load.Finish();
}

}  // namespace tessaly
