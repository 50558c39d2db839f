#pragma once
// The records of a delimited text point file: the lines to skip and the
// header dealt with, the delimiter and the columns settled from the first
// lines, then one record a line (or more, for a quoted field over lines).
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/load_error.h"
#include "formats/text/text_columns.h"
#include "formats/text/text_lines.h"

namespace tessaly::text_read {

// A line read ahead, with its end and number.
struct Record {
    std::string line;
    std::string_view end;
    int64_t number = 0;
};

// How the file is read, as the first lines tell.
struct FirstLines {
    TextDelimiter delimiter = TextDelimiter::Blanks;
    bool header = false;
    bool named = false;  // the header names a northing and an easting column
    bool known = false;  // the header's names decide the columns
    std::vector<std::string> names;
    ColumnMap map;
    std::optional<Record> record;  // the first line when it holds a point
};

class Records {
public:
    Records(const std::string& file, const TextReadOptions& options) : file_(file), options_(options), in_(file) {}

    // DECIMALCOMMAS: a first line of numbers with decimal commas fails the
    // load (a preview shows it split on blanks).
    const FirstLines& Start(bool decimalCommas);

    // The next record, the lines read ahead first. False at the end.
    bool Next(Record& r);

    // What Splitter::Split calls on record R whose quoted field is still
    // open: R's line end and the next line join it. False at the end.
    auto More(const Record& r)
    {
        return [this, end = r.end, line = r.number](std::string& rec) mutable {
            Record next;
            if (end.empty() || !Physical(next)) return false;
            if (rec.size() + end.size() + next.line.size() > kMaxRecord)
                FailFile(file_, "line " + std::to_string(line) +
                                    ": a quoted field runs on past 1 MiB without its closing quotation mark");
            rec += end;
            rec += next.line;
            end = next.end;
            return true;
        };
    }

    TextEncoding Encoding() const { return in_.Encoding(); }
    int64_t Nuls() const { return in_.Nuls(); }
    int64_t Replaced() const { return in_.Replaced(); }

private:
    // The steps of Start, each on the first line R read; TRIED holds the
    // delimiters to try, in order.
    bool KnownHeader(Record& r, const std::vector<TextDelimiter>& tried);
    bool DataFits(Record& r, const std::vector<TextDelimiter>& tried, const ColumnMap& given);
    TextDelimiter DelimiterOfNextLine(Record& r, const std::vector<TextDelimiter>& tried, const ColumnMap& given,
                                      bool runsOn);
    bool UnknownHeader(Record& r, const ColumnMap& given, bool runsOn);

    // The next physical line, those read ahead first.
    bool Physical(Record& r);
    // The next line that is not skipped.
    bool ReadAhead(Record& r);
    // Numbers with decimal commas fit no delimiter; say so rather than read
    // them as something else.
    void FailOnDecimalCommas(Record& r, const ColumnMap& given);

    const std::string& file_;
    const TextReadOptions options_;  // a copy: callers may pass a temporary
    LineSource in_;
    FirstLines first_;
    std::deque<Record> back_;
    std::vector<Field> fields_;  // scratch of the detection
};

}  // namespace tessaly::text_read
