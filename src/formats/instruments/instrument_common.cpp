#include "formats/instruments/instrument_common.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "formats/export_rows.h"
#include "formats/load_error.h"
#include "platform/error.h"
#include "platform/files/file_kind.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly::instruments {

std::optional<std::string> FirstLine(const std::string& file)
{
    const std::optional<std::string> head = FileHead(file, kMaxLine * 4);
    if (!head) return std::nullopt;
    std::string_view rest = *head;
    // A byte-order mark is not part of the first record.
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
        const std::string_view line = rest.substr(0, end);
        if (!TrimBlanksAndTabs(line).empty()) return std::string(line.substr(0, kMaxLine));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return std::nullopt;
}

std::string FieldText(std::string_view raw)
{
    raw = TrimBlanksAndTabs(raw);
    if (IsAscii(raw)) return std::string(raw);
    Utf8Check check;
    check.Feed(raw);
    return check.Valid() ? std::string(raw) : Cp1252ToUtf8(raw);
}

PointsLoad::PointsLoad(PointTable& table, const std::string& file) : table_(table), file_(file) { table_.Clear(); }

PointsLoad::~PointsLoad() { table_.SetUnit(otherUnit_ == LinearUnit::Unknown ? unit_ : LinearUnit::Unknown); }

void PointsLoad::Add(std::string_view id, std::string_view north, std::string_view east, std::string_view elevation,
                     std::string_view description, LinearUnit unit, int64_t line)
{
    north = TrimBlanksAndTabs(north);
    east = TrimBlanksAndTabs(east);
    elevation = TrimBlanksAndTabs(elevation);
    if (north.empty() || east.empty()) return missing_.Note(line);
    if (!CoordinateDigits(north) || !CoordinateDigits(east)) return notNumber_.Note(line);
    if (!elevation.empty() && !CoordinateDigits(elevation)) {
        elevation_.Note(line);
        elevation = {};
    }
    if (unit != LinearUnit::Unknown) {
        if (unit_ == LinearUnit::Unknown) unit_ = unit;
        else if (unit != unit_ && otherUnit_ == LinearUnit::Unknown) otherUnit_ = unit;
    }
    std::array<Cell, PointTable::TotCols> cells;
    if (std::string text = FieldText(id); !text.empty()) cells[ColPoint] = std::move(text);
    cells[ColNorthing] = std::string(north);
    cells[ColEasting] = std::string(east);
    if (!elevation.empty()) cells[ColElevation] = std::string(elevation);
    if (std::string text = FieldText(description); !text.empty()) cells[ColDescription] = std::move(text);
    AddPointOf(table_, file_, std::move(cells));
}

void PointsLoad::Say(const Tally& tally, std::string_view one, std::string_view many, std::string_view rest)
{
    if (tally.count == 0) return;
    notices_.push_back(Counted(tally.count, one, many) + std::string(rest) + ", the first on line " +
                       std::to_string(tally.first));
}

ReadReport PointsLoad::Finish()
{
    std::vector<std::string> said;
    if (observations_ > 0)
        said.push_back(Counted(observations_, "observation", "observations") + " without coordinates not read");
    Say(missing_, "coordinate record", "coordinate records", " without a northing or easting not read");
    Say(notNumber_, "coordinate record", "coordinate records", " with a northing or easting that is not a number not read");
    Say(elevation_, "elevation", "elevations", " that are not a number left empty");
    if (otherUnit_ != LinearUnit::Unknown)
        Say("the coordinates are in " + std::string(UnitName(unit_)) + " and in " +
            std::string(UnitName(otherUnit_)) + " (kept as they are); their unit is left unknown");
    said.insert(said.end(), notices_.begin(), notices_.end());

    if (table_.CurrItems() == 0) {
        std::string what;
        if (missing_.count + notNumber_.count > 0) {
            what = "no coordinate record could be read";
        } else if (observations_ > 0) {
            what = "the file holds no coordinate records, only " +
                   Counted(observations_, "observation", "observations") +
                   " (angles and distances), which are not reduced to points here; export the points' "
                   "coordinates from the field software instead";
            said.erase(said.begin());
        } else {
            what = "the file holds no coordinate records";
        }
        for (const std::string& clause : said) what += "; " + clause;
        FailFile(file_, what);
    }
    ReadReport report;
    report.notices = std::move(said);
    return report;
}

std::string PlainDecimal(bool negative, std::string_view digits, int decimals)
{
    const size_t start = std::min(digits.find_first_not_of('0'), digits.size());
    std::string body(digits.substr(start));
    const auto places = static_cast<size_t>(decimals);
    if (body.size() <= places) body.insert(0, places + 1 - body.size(), '0');
    if (places > 0) body.insert(body.size() - places, 1, '.');
    const bool zero = start == digits.size();
    return (negative && !zero ? "-" : "") + body;
}

std::optional<std::string> ScaledDigits(std::string_view text, int decimals, size_t maxDigits, bool& negative,
                                        bool& rounded)
{
    negative = false;
    rounded = false;
    text = TrimBlanks(text);
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // The digits of the mantissa and where its point stands among them.
    std::string mantissa;
    int64_t point = -1;
    size_t i = 0;
    for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i) {
        if (text[i] == '.') point = static_cast<int64_t>(mantissa.size());
        else mantissa += text[i];
    }
    if (point < 0) point = static_cast<int64_t>(mantissa.size());
    if (i < text.size()) {
        int64_t exponent = 0;
        std::string_view e = text.substr(i + 1);
        if (!e.empty() && e[0] == '+') e.remove_prefix(1);
        if (std::from_chars(e.data(), e.data() + e.size(), exponent).ec != std::errc() || std::abs(exponent) > 1000)
            return std::nullopt;
        point += exponent;
    }
    // The whole number's digits are those before POINT + DECIMALS.
    const int64_t cut = point + decimals;
    std::string whole;
    if (cut > 0) {
        if (static_cast<size_t>(cut) > mantissa.size() + maxDigits + 1) return std::nullopt;
        whole = mantissa.substr(0, std::min(static_cast<size_t>(cut), mantissa.size()));
        if (static_cast<size_t>(cut) > mantissa.size()) whole.append(static_cast<size_t>(cut) - mantissa.size(), '0');
    }
    const size_t dropped = static_cast<size_t>(std::max<int64_t>(cut, 0));
    const std::string_view rest = dropped < mantissa.size() ? std::string_view(mantissa).substr(dropped) : "";
    rounded = rest.find_first_not_of('0') != std::string_view::npos;
    // Half away from zero: the first dropped digit decides, and it is one
    // of REST only when nothing stands between the cut and the mantissa.
    if (cut >= 0 && !rest.empty() && rest[0] >= '5') {
        size_t k = whole.size();
        while (k > 0 && whole[k - 1] == '9') whole[--k] = '0';
        if (k == 0) whole.insert(0, 1, '1');
        else ++whole[k - 1];
    }
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.empty()) {
        negative = false;
        return "0";
    }
    if (whole.size() > maxDigits) return std::nullopt;
    return whole;
}

LinearUnit UnitOption(const OptionValues& options)
{
    const std::string* word = Given(options, "units");
    return word ? UnitOfWord(*word) : LinearUnit::Unknown;
}

}  // namespace tessaly::instruments
