// SDR33 for upload to a Sokkia data collector: the 00NM header, then one
// 08KI record a point, its fields 16 characters wide: point number
// (right-justified), the two coordinates in the order chosen, elevation and
// description (left-justified). Coordinates go out as the table holds their
// text; converted ones (another unit) with six decimals at most. A row whose
// point number, coordinate or description does not fit 16 ASCII characters
// is refused.
#include <cstdio>
#include <ctime>
#include <optional>

#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "formats/instruments/writer_rows.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

const FormatOption kSdrWriteOptions[2] = {
    {"units", FormatOption::Kind::Unit, "UNIT", "", "&Units:",
     "metre, us-foot or foot: the unit of the SDR coordinates (default the points' own, metre when unknown)"},
    {"order", FormatOption::Kind::Choice, "nez enz", "Northing first (NEZ)|Easting first (ENZ)",
     "Coordinate &order:", "nez or enz: the order of the SDR coordinates (default nez)", "nez"},
};

namespace {
using namespace instruments;

constexpr size_t kWidth = 16;

std::string Left(std::string_view text) { return std::string(text) + std::string(kWidth - text.size(), ' '); }
std::string Right(std::string_view text) { return std::string(kWidth - text.size(), ' ') + std::string(text); }

// The download date and time as the header writes it: "09-Dec-26 14:05".
std::string Now()
{
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%s-%02d %02d:%02d", local.tm_mday, kMonths[local.tm_mon % 12],
                  local.tm_year % 100, local.tm_hour, local.tm_min);
    return text;
}

// The text of a coordinate as SDR33 holds it: plain decimal digits, no
// exponent; nothing when it needs more than 16 characters.
std::optional<std::string> Plain(std::string text, const WrittenUnit& unit)
{
    const bool exponent = text.find_first_of("eE") != std::string::npos;
    if (unit.convert || exponent) {
        const double value = DecimalValue(text).value_or(0);
        const std::string shortest(ShortestText(unit.convert ? ConvertLength(value, unit.from, unit.to) : value));
        const int decimals = unit.convert ? 6 : 20;
        bool negative = false, dropped = false;
        const std::optional<std::string> digits = ScaledDigits(shortest, decimals, 40, negative, dropped);
        if (!digits) return std::nullopt;
        text = PlainDecimal(negative, *digits, decimals);
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text.size() > kWidth) return std::nullopt;
    return text;
}
}  // namespace

ExportReport WriteSdrFile(const PointTable& table, const std::string& file, const OptionValues& options)
{
    const WrittenUnit unit = ChooseUnit(table, options);
    const auto order = options.find("order");
    const bool eastFirst = order != options.end() && order->second == "enz";

    std::string out = "00NM" + Left("SDR33 V04-04.02") + "    " + Left(Now()) + '1' +
                      (unit.to == LinearUnit::Metre ? '1' : '2') + "11" + (eastFirst ? '2' : '1') + "1\r\n";
    ExportReport report;
    Refused badId, badCode, badValue;
    std::string id, description;
    for (const int32_t r : table.RowsToSave()) {
        std::string north, east, elevation;
        if (!CoordinateText(table.Get(ColNorthing, r), north) || !CoordinateText(table.Get(ColEasting, r), east)) {
            ++report.leftOut;
            continue;
        }
        const Cell& height = table.Get(ColElevation, r);
        if (!TrimBlanks(CellText(height)).empty() && !CoordinateText(height, elevation)) ++report.elevationsLeftOut;
        id = TrimBlanks(CellText(table.Get(ColPoint, r)));
        description = TrimBlanks(CellText(table.Get(ColDescription, r)));
        if (id.empty() || id.size() > kWidth || !PlainAscii(id, true)) {
            badId.Note(r);
            continue;
        }
        if (description.size() > kWidth || !PlainAscii(description, true)) {
            badCode.Note(r);
            continue;
        }
        const std::optional<std::string> n = Plain(north, unit), e = Plain(east, unit);
        const std::optional<std::string> z = elevation.empty() ? std::optional<std::string>("") : Plain(elevation, unit);
        if (!n || !e || !z) {
            badValue.Note(r);
            continue;
        }
        ++report.written;
        out += "08KI" + Right(id) + Left(eastFirst ? *e : *n) + Left(eastFirst ? *n : *e) + Left(*z) +
               Left(description) + "\r\n";
    }
    ReplacingFileWriter writer(file);
    writer.Write(out);
    writer.Commit();

    SayUnit(unit, "SDR", report);
    badId.Say("a point number SDR33 cannot hold (empty, longer than 16 characters, or a character other than "
              "ASCII)",
              report);
    badCode.Say("a description SDR33 cannot hold (longer than 16 characters, or a character other than ASCII)",
                report);
    badValue.Say("a coordinate longer than 16 characters", report);
    return report;
}

}  // namespace tessaly
