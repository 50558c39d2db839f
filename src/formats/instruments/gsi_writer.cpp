// GSI-16 coordinate blocks for upload to a Leica instrument.
//
// One block a point: "*11nnnn+" and the point id padded to 16 characters
// with '0' (nnnn the block number), then 81, 82 and 83 (easting, northing,
// height) as whole numbers of the chosen resolution with their unit digit,
// then 71 with the description. GSI pads text on the left with '0', so an id
// or a description that starts with '0' would come back without it: such a
// row is refused, like one whose id or description is longer than 16
// characters or other than ASCII, or whose coordinate needs more than 16
// digits. Coordinates with more decimals than the resolution are rounded
// (half away from zero) and counted.
#include <optional>

#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "formats/instruments/writer_rows.h"
#include "platform/error.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

const FormatOption kGsiWriteOptions[2] = {
    {"units", FormatOption::Kind::Unit, "UNIT", "", "&Units:",
     "metre, us-foot or foot: the unit of the GSI coordinates (default the points' own, metre when unknown)"},
    {"resolution", FormatOption::Kind::Choice, "0.001 0.0001 0.00001", "0.001|0.0001|0.00001", "&Resolution:",
     "0.001, 0.0001 or 0.00001 of the unit: the last digit of the GSI coordinates (feet to 0.0001 at most; "
     "default 0.001)",
     "0.001"},
};

namespace {
using namespace instruments;

constexpr size_t kWidth = 16;

std::string Padded(std::string_view text, char pad)
{
    return std::string(kWidth - std::min(kWidth, text.size()), pad) + std::string(text);
}

// Text GSI holds as it is: up to 16 ASCII characters, not starting with the
// padding '0' (a lone "0" id is all padding and reads back as "0").
bool Holds(std::string_view text, bool blanks)
{
    return !text.empty() && text.size() <= kWidth && PlainAscii(text, blanks) && text[0] != '0';
}
}  // namespace

ExportReport WriteGsiFile(const PointTable& table, const std::string& file, const OptionValues& options)
{
    const WrittenUnit unit = ChooseUnit(table, options);
    const auto found = options.find("resolution");
    const std::string resolution = found == options.end() ? "0.001" : found->second;
    const int decimals = resolution == "0.00001" ? 5 : resolution == "0.0001" ? 4 : 3;
    const bool feet = unit.to != LinearUnit::Metre;
    if (feet && decimals == 5)
        FailFile(file, "GSI holds feet to 0.0001 ft at most; choose the resolution 0.001 or 0.0001");
    const char unitDigit = feet ? (decimals == 3 ? '1' : '7') : (decimals == 3 ? '0' : decimals == 4 ? '6' : '8');

    ExportReport report;
    Refused badId, badCode, badValue;
    int64_t rounded = 0;
    std::string out, id, code, text;
    for (const int32_t r : table.RowsToSave()) {
        std::string values[3];  // easting, northing, height: their text
        if (!CoordinateText(table.Get(ColEasting, r), values[0]) ||
            !CoordinateText(table.Get(ColNorthing, r), values[1])) {
            ++report.leftOut;
            continue;
        }
        const Cell& height = table.Get(ColElevation, r);
        const bool hasHeight = !TrimBlanks(CellText(height)).empty();
        if (hasHeight && !CoordinateText(height, values[2])) values[2].clear(), ++report.elevationsLeftOut;
        id = TrimBlanks(CellText(table.Get(ColPoint, r)));
        code = TrimBlanks(CellText(table.Get(ColDescription, r)));
        if (!Holds(id, false) && id != "0") {
            badId.Note(r);
            continue;
        }
        if (!code.empty() && !Holds(code, true)) {
            badCode.Note(r);
            continue;
        }
        std::string words[3];
        bool fits = true, cut = false;
        for (int k = 0; k < 3 && fits; ++k) {
            if (values[k].empty()) continue;
            if (unit.convert) {
                const double value = ConvertLength(DecimalValue(values[k]).value_or(0), unit.from, unit.to);
                values[k] = std::string_view(ShortestText(value));
            }
            bool negative = false, dropped = false;
            const std::optional<std::string> digits = ScaledDigits(values[k], decimals, kWidth, negative, dropped);
            if (!digits) {
                fits = false;
                break;
            }
            cut = cut || dropped;
            words[k] = std::to_string(81 + k) + "..0" + unitDigit + (negative ? '-' : '+') + Padded(*digits, '0');
        }
        if (!fits) {
            badValue.Note(r);
            continue;
        }
        if (cut && !unit.convert) ++rounded;
        ++report.written;
        text = std::to_string(report.written % 10000);
        out += "*11" + std::string(4 - text.size(), '0') + text + '+' + Padded(id, '0');
        for (const std::string& word : words)
            if (!word.empty()) out += ' ' + word;
        if (!code.empty()) out += " 71....+" + Padded(code, '0');
        out += " \r\n";
    }
    ReplacingFileWriter writer(file);
    writer.Write(out);
    writer.Commit();

    SayUnit(unit, "GSI", report);
    if (rounded > 0)
        report.notices.push_back(Counted(rounded, "point", "points") + " with coordinates rounded to " + resolution);
    badId.Say("a point id GSI cannot hold (empty, longer than 16 characters, with a blank or a character other "
              "than ASCII, or starting with 0)",
              report);
    badCode.Say("a description GSI cannot hold (longer than 16 characters, a character other than ASCII, or "
                "starting with 0)",
                report);
    badValue.Say("a coordinate of more than 16 digits at the resolution", report);
    return report;
}

}  // namespace tessaly
