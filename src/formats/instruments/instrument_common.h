#pragma once
// What the instrument readers and writers share: lines of a download, the
// load that checks and stores each coordinate record and counts what it
// leaves, and exact decimal text for the unit-digit integers of GSI and the
// fixed resolutions of the writers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/format_options.h"
#include "formats/formats.h"
#include "platform/files/text_file.h"
#include "table/point_table.h"

namespace tessaly::instruments {

// No record of these formats comes near it; a longer line is cut.
constexpr size_t kMaxLine = 4096;

// The lines of a text file: LF, CR LF and CR each end one.
class Lines : public BoundedLines {
public:
    explicit Lines(const std::string& file) : BoundedLines(file, kMaxLine) {}
};

// The first line of FILE that holds more than blanks, cut to kMaxLine;
// nothing when there is none or the file cannot be read. For the tests of a
// file's kind, which read no more than the file's start.
std::optional<std::string> FirstLine(const std::string& file);

// A field's text for the table: UTF-8 as it is, anything else read as
// Windows-1252; blanks and tabs around it removed.
std::string FieldText(std::string_view raw);

// How many records something happened to, and the line of the first.
struct Tally {
    int64_t count = 0;
    int64_t first = 0;
    void Note(int64_t line)
    {
        if (count++ == 0) first = line;
    }
};

// One load of coordinate records into the table. The table's unit is set
// when the load ends, on every path.
class PointsLoad {
public:
    PointsLoad(PointTable& table, const std::string& file);
    ~PointsLoad();
    PointsLoad(const PointsLoad&) = delete;
    PointsLoad& operator=(const PointsLoad&) = delete;

    // A coordinate record of LINE in UNIT. The northing and easting must be
    // numbers: a record without them is counted and left out; an elevation
    // that is not a number is left empty and counted. Coordinates are kept
    // as the file writes them.
    void Add(std::string_view id, std::string_view north, std::string_view east, std::string_view elevation,
             std::string_view description, LinearUnit unit, int64_t line);
    // A measurement record (angles, distances) that is not reduced here.
    void Observation() { ++observations_; }
    // A clause for the report ("3 deleted points not read").
    void Say(std::string clause) { notices_.push_back(std::move(clause)); }
    // The clause of TALLY: "<count> WHAT, the first on line N".
    void Say(const Tally& tally, std::string_view one, std::string_view many, std::string_view rest = "");

    // The report of a complete load. Throws Error when no point was stored:
    // the file holds no coordinate records, or none that could be read.
    ReadReport Finish();

    const std::string& File() const { return file_; }

private:
    PointTable& table_;
    const std::string& file_;
    LinearUnit unit_ = LinearUnit::Unknown;
    LinearUnit otherUnit_ = LinearUnit::Unknown;  // a second unit the records give
    int64_t observations_ = 0;
    Tally notNumber_, missing_, elevation_;
    std::vector<std::string> notices_;
};

// The whole number DIGITS (ASCII digits) divided by 10^DECIMALS, as a plain
// decimal with exactly DECIMALS places: ("12345", 3) gives "12.345", ("5",
// 3) "0.005". Leading zeros go; a zero is never negative.
std::string PlainDecimal(bool negative, std::string_view digits, int decimals);

// The value of the decimal number TEXT (CoordinateDigits) times
// 10^DECIMALS, rounded half away from zero, as the digits of a whole number
// without leading zeros ("0" for zero). NEGATIVE is set for a value below
// zero after rounding, ROUNDED when a digit other than 0 was dropped.
// Nothing when the whole number would need more than MAX_DIGITS digits.
std::optional<std::string> ScaledDigits(std::string_view text, int decimals, size_t maxDigits, bool& negative,
                                        bool& rounded);

// The unit a writer's "units" option names: metre, us-foot or foot;
// Unknown for "" (the points' own).
LinearUnit UnitOption(const OptionValues& options);

}  // namespace tessaly::instruments
