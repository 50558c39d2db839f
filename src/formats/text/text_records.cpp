#include "formats/text/text_records.h"

#include <algorithm>

#include "platform/text/text_rules.h"

namespace tessaly::text_read {

const FirstLines& Records::Start(bool decimalCommas)
{
    for (int i = 0; i < options_.skipLines; ++i) {
        Record skipped;
        if (!Physical(skipped)) return first_;
    }
    Record r;
    if (!ReadAhead(r)) return first_;
    const ColumnMap given(MappingOf(options_));
    first_.map = given;
    std::vector<TextDelimiter> tried(kDelimiterDetectionOrder.begin(), kDelimiterDetectionOrder.end());
    if (options_.delimiter) tried = {*options_.delimiter};
    // An odd number of quotation marks: a quoted field runs on into the
    // next line, so this line holds a point, and the next line is part
    // of it (it cannot tell the delimiter).
    const bool runsOn = std::count(r.line.begin(), r.line.end(), '"') % 2 == 1;

    if (options_.header.value_or(!runsOn) && KnownHeader(r, tried)) return first_;
    if (!options_.header.value_or(false)) {
        if (DataFits(r, tried, given)) return first_;
        if (decimalCommas && !options_.delimiter) FailOnDecimalCommas(r, given);
    }
    first_.delimiter = DelimiterOfNextLine(r, tried, given, runsOn);
    if (UnknownHeader(r, given, runsOn)) {
        first_.header = true;
        first_.names = Names(r.line, fields_);
    } else {
        first_.record = std::move(r);
    }
    return first_;
}

// A header whose names tell the columns, split by the first delimiter that
// gives one.
bool Records::KnownHeader(Record& r, const std::vector<TextDelimiter>& tried)
{
    for (TextDelimiter d : tried) {
        // A quoted name running into the next line is not a name.
        bool open = false;
        if (!SplitForDetection(r.line, d, fields_, &open) || open) continue;
        auto names = Names(r.line, fields_);
        if (auto roles = MappingOfHeader(names)) {
            first_.delimiter = d;
            first_.header = true;
            first_.named = true;
            first_.known = options_.columns.empty();
            first_.names = std::move(names);
            if (first_.known) first_.map = ColumnMap(*roles);
            return true;
        }
    }
    return false;
}

// A first line of data: the first delimiter that gives it a northing and an
// easting that are numbers or empty.
bool Records::DataFits(Record& r, const std::vector<TextDelimiter>& tried, const ColumnMap& given)
{
    for (TextDelimiter d : tried) {
        if (!SplitForDetection(r.line, d, fields_) || !CoordinateFieldsFit(r.line, fields_, given)) continue;
        first_.delimiter = d;
        first_.record = std::move(r);
        return true;
    }
    return false;
}

// Names not known, or data that fits no delimiter: the next line tells the
// delimiter. It is read again as the lines come, since a quoted field of the
// first line may run into it. Blank and comment lines on the way are held
// until read again, so only as many as kMaxRecord bytes' worth are looked
// past.
TextDelimiter Records::DelimiterOfNextLine(Record& r, const std::vector<TextDelimiter>& tried,
                                           const ColumnMap& given, bool runsOn)
{
    Record next;
    bool haveNext = false;
    std::vector<Record> peeked;
    size_t held = 0;
    while (!runsOn && !haveNext && held <= kMaxRecord && Physical(next)) {
        held += sizeof(Record) + next.line.size();
        peeked.push_back(next);
        haveNext = !SkippedLine(next.line);
    }
    back_.insert(back_.begin(), peeked.begin(), peeked.end());
    std::optional<TextDelimiter> found;
    for (TextDelimiter d : tried)
        if (!found && haveNext && SplitForDetection(next.line, d, fields_) &&
            CoordinateFieldsFit(next.line, fields_, given))
            found = d;
    const auto needed = static_cast<size_t>(std::max(given.field[ColNorthing], given.field[ColEasting]));
    for (TextDelimiter d : tried)
        if (!found && SplitForDetection(r.line, d, fields_) && fields_.size() > needed) found = d;
    return found.value_or(tried.back());
}

// True when the first line, split by the delimiter settled, is a header of
// names not known (or a title): no field is a number, the northing and
// easting are missing or not empty, and no quoted field runs on into the
// next line. The options may say it is one, or is not.
bool Records::UnknownHeader(Record& r, const ColumnMap& given, bool runsOn)
{
    bool open = false;
    SplitForDetection(r.line, first_.delimiter, fields_, &open);
    if (options_.header) return *options_.header;
    bool header = !runsOn && !open && std::none_of(fields_.begin(), fields_.end(), [&](const Field& f) {
        return IsDecimalNumber(TrimBlanks(FieldText(r.line, f)));
    });
    for (Column c : {ColNorthing, ColEasting}) {
        const auto i = static_cast<size_t>(given.field[c]);
        header = header && (i >= fields_.size() || !TrimBlanks(FieldText(r.line, fields_[i])).empty());
    }
    return header;
}

bool Records::Next(Record& r)
{
    if (first_.record) {
        r = std::move(*first_.record);
        first_.record.reset();
        return true;
    }
    return ReadAhead(r);
}

bool Records::Physical(Record& r)
{
    if (!back_.empty()) {
        r = std::move(back_.front());
        back_.pop_front();
        return true;
    }
    if (!in_.Next(r.line, r.end)) return false;
    r.number = in_.Line();
    return true;
}

bool Records::ReadAhead(Record& r)
{
    while (Physical(r))
        if (!SkippedLine(r.line)) return true;
    return false;
}

void Records::FailOnDecimalCommas(Record& r, const ColumnMap& given)
{
    std::vector<Field> fields;
    for (TextDelimiter d : {TextDelimiter::Semicolon, TextDelimiter::Tab}) {
        SplitForDetection(r.line, d, fields);
        for (Column c : {ColNorthing, ColEasting}) {
            const auto i = static_cast<size_t>(given.field[c]);
            if (i >= fields.size() || fields[i].quoted) continue;
            const std::string_view number = TrimBlanks(FieldText(r.line, fields[i]));
            if (IsDecimalCommaNumber(number))
                FailFile(file_, "line " + std::to_string(r.number) +
                                    ": the numbers are written with a decimal comma (\"" + Cut(number) +
                                    "\"); save the file with a decimal point and load it again");
        }
    }
}

}  // namespace tessaly::text_read
