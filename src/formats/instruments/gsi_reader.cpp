// Leica GSI-8 and GSI-16 coordinate blocks.
//
// A block is a line of words. A GSI-16 block starts with '*'. Each word is
// two digits of word index, four information characters, a sign and the
// data: 8 characters in GSI-8, 16 in GSI-16, right-justified and padded
// with '0'; blanks separate the words. The last information character of a
// length gives its unit and the place of the decimal point, which is not
// written: 0 metres to 1 mm, 6 to 0.1 mm, 8 to 0.01 mm, 1 feet to 0.001 ft,
// 7 to 0.0001 ft.
//
// Word 11 is the point id, 81, 82 and 83 the easting, northing and height,
// 71 the code and 72 to 79 its attributes. A block without 81 and 82 is not
// a point: measurement blocks (21, 22, 31 to 33) are counted as
// observations, other blocks (codes, station data) counted too.
#include <array>
#include <optional>

#include "formats/instruments/instrument_common.h"
#include "formats/instruments/instruments.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
using namespace instruments;

struct Word {
    int index = 0;                // 11, 81, ...
    std::string_view info;        // the four information characters
    char sign = '+';
    std::string_view data;
};

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The words of LINE, or nothing when it is not a GSI block.
std::optional<std::vector<Word>> Words(std::string_view line)
{
    line = TrimBlanksAndTabs(line);
    const bool wide = !line.empty() && line[0] == '*';
    if (wide) line.remove_prefix(1);
    const size_t width = wide ? 16 : 8;
    std::vector<Word> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        // The last word may lose trailing blanks of its data.
        if (line.size() - i < 8 || !Digit(line[i]) || !Digit(line[i + 1]) ||
            (line[i + 6] != '+' && line[i + 6] != '-'))
            return std::nullopt;
        Word word;
        word.index = (line[i] - '0') * 10 + (line[i + 1] - '0');
        word.info = line.substr(i + 2, 4);
        word.sign = line[i + 6];
        word.data = line.substr(i + 7, width);
        i += 7 + word.data.size();
        // A word ends at a blank or the end of the block.
        if (i < line.size() && line[i] != ' ' && line[i] != '\t') return std::nullopt;
        words.push_back(word);
    }
    if (words.empty()) return std::nullopt;
    return words;
}

// Text data without its padding zeros.
std::string_view Unpadded(std::string_view data)
{
    data = TrimBlanksAndTabs(data);
    return data.substr(std::min(data.find_first_not_of('0'), data.size()));
}

struct Length {
    LinearUnit unit = LinearUnit::Unknown;
    int decimals = 0;
};

std::optional<Length> UnitOf(const Word& word)
{
    switch (word.info[3]) {
    case '0': return Length{LinearUnit::Metre, 3};
    case '6': return Length{LinearUnit::Metre, 4};
    case '8': return Length{LinearUnit::Metre, 5};
    // GSI says feet without saying which: US survey feet, the foot of the
    // coordinate systems these instruments are mostly set up in.
    case '1': return Length{LinearUnit::UsSurveyFoot, 3};
    case '7': return Length{LinearUnit::UsSurveyFoot, 4};
    default: return std::nullopt;
    }
}
}  // namespace

bool LooksLikeGsi(const std::string& file)
{
    const std::optional<std::string> line = FirstLine(file);
    return line && Words(*line).has_value();
}

ReadReport ReadGsiFile(PointTable& table, const std::string& file, const ReadOptions&)
{
    PointsLoad load(table, file);
    Lines lines(file);
    std::string line;
    Tally malformed, other, unitless;
    while (lines.Read(line)) {
        if (TrimBlanksAndTabs(line).empty()) continue;
        const int64_t at = lines.Line();
        const std::optional<std::vector<Word>> words = Words(line);
        if (!words) {
            malformed.Note(at);
            continue;
        }
        const Word* coordinate[3] = {};  // 81, 82, 83
        std::string id, description;
        bool measured = false;
        for (const Word& word : *words) {
            if (word.index == 11) {
                id = Unpadded(word.data);
                if (id.empty()) id.push_back('0');  // not = "0": GCC 12's -Wrestrict at -O3
            } else if (word.index >= 81 && word.index <= 83) {
                coordinate[word.index - 81] = &word;
            } else if (word.index >= 71 && word.index <= 79) {
                const std::string_view text = Unpadded(word.data);
                if (!text.empty()) description.append(description.empty() ? "" : " ").append(text);
            } else if (word.index == 21 || word.index == 22 || (word.index >= 31 && word.index <= 33)) {
                measured = true;
            }
        }
        if (!coordinate[0] || !coordinate[1]) {
            if (measured) load.Observation();
            else other.Note(at);
            continue;
        }
        std::array<std::string, 3> values;
        LinearUnit unit = LinearUnit::Unknown;
        bool usable = true;
        for (size_t k = 0; k < 3 && usable; ++k) {
            if (!coordinate[k]) continue;
            const std::optional<Length> length = UnitOf(*coordinate[k]);
            if (!length || (unit != LinearUnit::Unknown && length->unit != unit)) {
                usable = false;
                break;
            }
            unit = length->unit;
            const std::string_view data = TrimBlanksAndTabs(coordinate[k]->data);
            // Not digits: the record's check of the number says so.
            values[k] = !data.empty() && data.find_first_not_of("0123456789") == std::string_view::npos
                            ? PlainDecimal(coordinate[k]->sign == '-', data, length->decimals)
                            : std::string(data);
        }
        if (!usable) {
            unitless.Note(at);
            continue;
        }
        // 82 is the northing, 81 the easting.
        load.Add(id, values[1], values[0], values[2], description, unit, at);
    }
    load.Say(malformed, "line", "lines", " that are not GSI blocks skipped");
    load.Say(other, "block", "blocks", " without coordinates or observations (codes, station data) not read");
    load.Say(unitless, "block", "blocks", " whose coordinates have no length unit, or two, not read");
    return load.Finish();
}

}  // namespace tessaly
