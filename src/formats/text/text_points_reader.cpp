// Reading delimited text point files.
//
//  - Encoding: a byte-order mark says UTF-8, UTF-16 LE or UTF-16 BE; without
//    one a file that is valid UTF-8 and has bytes above 127 is UTF-8, and
//    anything else Windows-1252. Everything is stored as UTF-8. Malformed
//    UTF-8 of a file with a mark and unpaired UTF-16 surrogates become U+FFFD;
//    NUL characters are dropped. Both are counted in a notice.
//  - Lines end at CR LF, LF or CR. The lines to skip at the start are not
//    read at all; after them blank lines and lines whose first non-blank
//    character is "#" are skipped.
//  - The first line read is a header when its fields hold no number and
//    name a northing and an easting column (names compare without case,
//    blanks, punctuation and a trailing unit in brackets); the header then
//    decides the columns unless a mapping is given. A first line that holds
//    no number, whose northing and easting are missing or not empty, is a
//    header too (names not known, or a title): the mapping or layout
//    decides. A line whose quoted field runs on into the next is never a
//    header.
//  - The delimiter is the first of tab, comma and semicolon that splits that
//    line into a known header, or (data) a northing and an easting that are
//    numbers or empty; otherwise the next line decides the same way, or the
//    first delimiter that gives the first line a northing and an easting
//    field; otherwise runs of blanks and tabs.
//  - A field that begins with a quotation mark runs to the closing one, line
//    ends included; "" inside it is one quotation mark.
//  - Northing, easting and elevation are trimmed and stored as they stand;
//    text that is not a number is kept and counted. The point is trimmed.
//  - A description in the last column of the mapping is the rest of the line
//    (trimmed when blanks delimit), unless it is one quoted field: then the
//    fields after it are extra. Several description columns are joined with
//    a blank. Extra fields and columns not read are counted in notices.
//  - A file none of whose rows has a northing and an easting that are
//    numbers, and some of whose rows have text there, holds no points and is
//    refused (a file of empty coordinates is a table of points not placed).
//  - A line, or a quoted field joined over lines, longer than 1 MiB stops
//    the load at that line (see kMaxRecord).
#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "formats/formats.h"
#include "formats/load_error.h"
#include "formats/text/text_points.h"
#include "formats/text/text_records.h"
#include "platform/text/text_rules.h"

namespace tessaly {

using namespace text_read;

namespace {

const char* ColumnWord(Column c)
{
    switch (c) {
    case ColPoint: return "point";
    case ColNorthing: return "northing";
    case ColEasting: return "easting";
    case ColElevation: return "elevation";
    case ColDescription: break;
    }
    return "description";
}

class Reader {
public:
    Reader(PointTable& table, const std::string& file, const TextReadOptions& options)
        : table_(table), file_(file), records_(file, options)
    {
    }

    const TextFound& Found() const { return found_; }

    ReadReport Read()
    {
        found_.encoding = records_.Encoding();
        const FirstLines& first = records_.Start(true);
        found_.delimiter = first.delimiter;
        found_.header = first.header;
        map_ = first.map;
        Splitter splitter(first.delimiter);
        blanks_ = first.delimiter == TextDelimiter::Blanks;

        Record r;
        while (records_.Next(r)) {
            const bool closed = splitter.Split(r.line, fields_, records_.More(r));
            if (!closed)
                FailFile(file_, "line " + std::to_string(r.number) +
                                    ": a quoted field has no closing quotation mark before the end of the file");
            Store(r.line, r.number);
        }
        if (rows_ > 0 && numeric_ == 0 && textCoordinates_ > 0)
            FailFile(file_, "no point rows found: " +
                                (decimalComma_.empty() ? firstText_ + " is not a number"
                                                       : "the numbers are written with a decimal comma (\"" +
                                                             decimalComma_ +
                                                             "\"); save the file with a decimal point and load it again"));
        Notices(first);
        return report_;
    }

private:
    [[noreturn]] void FailField(int64_t line, size_t field, Column c, const std::string& what)
    {
        FailFile(file_, "line " + std::to_string(line) + ", field " + std::to_string(field + 1) + " (" +
                            ColumnWord(c) + "): " + what);
    }

    // The text of a field read as one field.
    std::string_view One(const std::string& rec, size_t i, Column c, int64_t line)
    {
        if (fields_[i].trailing)
            FailField(line, i, c, "text follows the closing quotation mark (\"" +
                                      Cut(std::string_view(rec).substr(fields_[i].start, fields_[i].end - fields_[i].start)) +
                                      "\")");
        return FieldText(rec, fields_[i]);
    }

    void Store(const std::string& rec, int64_t line)
    {
        ++rows_;
        std::array<Cell, PointTable::TotCols> cells{std::string(), std::string(), std::string(), std::string(),
                                                    std::string()};
        const auto at = [&](Column c) { return map_.field[c]; };
        if (at(ColNorthing) >= static_cast<int>(fields_.size()) || at(ColEasting) >= static_cast<int>(fields_.size()))
            FailFile(file_, std::string(numeric_ == 0 ? "no point rows found: " : "") + "line " + std::to_string(line) + ": the line has " + std::to_string(fields_.size()) +
                                " field" + (fields_.size() == 1 ? "" : "s") +
                                " and no northing or easting (\"" + Cut(rec) + "\")");
        bool text = false, numeric = true;
        for (Column c : {ColNorthing, ColEasting, ColElevation}) {
            const int i = at(c);
            if (i < 0 || i >= static_cast<int>(fields_.size())) continue;
            const std::string_view t = TrimBlanks(One(rec, static_cast<size_t>(i), c, line));
            // Stored as written, judged as the grid and the writers judge it.
            const bool blank = TrimBlanksAndTabs(t).empty();
            const bool number = !blank && CoordinateDigits(t).has_value();
            if (!blank && !number) text = true;
            if (c != ColElevation && !number) numeric = false;
            if (c != ColElevation && !blank && !number) {
                if (textCoordinates_++ == 0)
                    firstText_ = "line " + std::to_string(line) + ", field " + std::to_string(i + 1) + " (" +
                                 ColumnWord(c) + "): \"" + Cut(t) + "\"";
                if (decimalComma_.empty() && IsDecimalCommaNumber(t)) decimalComma_ = Cut(t);
            }
            cells[c] = std::string(t);
        }
        if (text && notNumberRows_++ == 0) firstNotNumber_ = line;
        if (numeric) ++numeric_;
        if (const int i = at(ColPoint); i < 0) {
            cells[ColPoint] = std::to_string(table_.CurrItems() + 1);
        } else if (i < static_cast<int>(fields_.size())) {
            const auto f = static_cast<size_t>(i);
            cells[ColPoint] = std::string(fields_[f].quoted ? One(rec, f, ColPoint, line)
                                                            : TrimBlanks(One(rec, f, ColPoint, line)));
        }
        size_t used = map_.roles.size();
        cells[ColDescription] = Description(rec, line, used);
        // Empty fields (a spreadsheet's trailing delimiters) lose nothing.
        const auto holds = [&](size_t i) { return !TrimBlanks(FieldText(rec, fields_[i])).empty(); };
        filled_.resize(map_.roles.size());
        for (size_t i = 0; i < std::min({used, fields_.size(), map_.roles.size()}); ++i)
            if (map_.roles[i] == '-' && !filled_[i] && holds(i)) filled_[i] = true;
        bool extra = false;
        for (size_t i = used; i < fields_.size() && !extra; ++i) extra = holds(i);
        if (extra && extraRows_++ == 0) firstExtra_ = line;
        AddPointOf(table_, file_, std::move(cells));
    }

    // The description of record REC, its description columns joined with a
    // blank; USED is set past the last field read when the last column is
    // the rest of the line.
    std::string Description(const std::string& rec, int64_t line, size_t& used)
    {
        std::string description;
        for (const int i : map_.descriptions) {
            if (i >= static_cast<int>(fields_.size())) break;
            const auto f = static_cast<size_t>(i);
            std::string_view part;
            if (map_.descriptionIsLast && i == map_.descriptions.back() && !(fields_[f].quoted && !fields_[f].trailing)) {
                part = RestOfLine(rec, fields_[f], blanks_, unquoted_);
                used = fields_.size();
            } else {
                part = One(rec, f, ColDescription, line);
            }
            if (part.empty()) continue;
            if (!description.empty()) description += ' ';
            description += part;
        }
        return description;
    }

    void Notices(const FirstLines& first)
    {
        auto& notices = report_.notices;
        found_.replaced = records_.Replaced();
        std::vector<std::string> unread;
        for (size_t i = 0; i < std::max(first.names.size(), map_.roles.size()); ++i) {
            if (i < map_.roles.size() && map_.roles[i] != '-') continue;
            const bool named = i < first.names.size() && !first.names[i].empty();
            // Appended rather than "\"" + name (GCC 12's -Wrestrict at -O3).
            if (named) unread.emplace_back("\"").append(Cut(first.names[i])).append("\"");
            else if (i < filled_.size() && filled_[i]) unread.push_back("column " + std::to_string(i + 1));
        }
        if (first.header && !first.named) notices.push_back("the first line read as column names not known");
        if (!unread.empty()) {
            std::string list;
            for (const std::string& u : unread) list += (list.empty() ? "" : ", ") + u;
            notices.push_back((unread.size() == 1 ? "column not read: " : "columns not read: ") + list);
        }
        if (rows_ > 0 && map_.field[ColPoint] < 0)
            notices.push_back("points numbered 1 to " + std::to_string(table_.CurrItems()) + ": no point column");
        if (extraRows_ > 0)
            notices.push_back(Counted(extraRows_, "row has", "rows have") +
                              " fields beyond the columns read, not read, the first on line " + std::to_string(firstExtra_));
        if (notNumberRows_ > 0)
            notices.push_back(Counted(notNumberRows_, "row has", "rows have") +
                              " a coordinate that is not a number, the first on line " + std::to_string(firstNotNumber_));
        if (records_.Nuls() > 0) notices.push_back(Counted(records_.Nuls(), "NUL character", "NUL characters") + " dropped");
        if (found_.replaced > 0)
            notices.push_back(Counted(found_.replaced, "malformed character", "malformed characters") +
                              " replaced by U+FFFD");
    }

    PointTable& table_;
    const std::string& file_;
    Records records_;
    ReadReport report_;
    TextFound found_;
    ColumnMap map_;
    bool blanks_ = false;
    std::vector<Field> fields_;
    std::string unquoted_;
    std::string decimalComma_;
    std::string firstText_;  // where the first coordinate that is not a number stands, and its text
    std::vector<bool> filled_;  // the columns not read that hold something  // the first coordinate written with a decimal comma
    int64_t rows_ = 0, numeric_ = 0, textCoordinates_ = 0;
    int64_t notNumberRows_ = 0, firstNotNumber_ = 0, extraRows_ = 0, firstExtra_ = 0;
};

// A preview field as a dialog shows it: at most its first 1000 bytes, cut
// where a character starts, and an ellipsis when something is left out.
std::string PreviewField(std::string_view text)
{
    constexpr size_t kShown = 1000;
    if (text.size() <= kShown) return std::string(text);
    size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "\xE2\x80\xA6";
}

}  // namespace

ReadReport ReadTextPointsFile(PointTable& table, const std::string& file, const TextReadOptions& options,
                              TextFound* found)
{
    table.Clear();
    Reader reader(table, file, options);
    ReadReport report = reader.Read();
    if (found) *found = reader.Found();
    return report;
}

void ReadTextPointsFile(PointTable& table, const std::string& file)
{
    ReadTextPointsFile(table, file, TextReadOptions{});
}

TextPreview PreviewTextPointsFile(const std::string& file, const TextReadOptions& options, size_t maxRows)
{
    TextPreview preview;
    Records records(file, options);
    preview.encoding = records.Encoding();
    FirstLines first;
    try {
        first = records.Start(true);
    } catch (const Error&) {
        // decimal commas (only found when no delimiter is given): show the
        // lines as they split on blanks; anything else is the file's fault
        if (options.delimiter) throw;
        TextReadOptions blanks = options;
        blanks.delimiter = TextDelimiter::Blanks;
        return PreviewTextPointsFile(file, blanks, maxRows);
    }
    preview.delimiter = first.delimiter;
    preview.header = first.header;
    preview.mapping = first.map.roles;
    for (const std::string& name : first.names) preview.names.push_back(PreviewField(name));
    if (first.header && maxRows > 0) preview.rows.push_back(preview.names);
    const ColumnMap& map = first.map;
    Splitter splitter(first.delimiter);
    std::string unquoted;
    std::vector<Field> fields;
    Record r;
    while (preview.rows.size() < maxRows && records.Next(r)) {
        splitter.Split(r.line, fields, records.More(r));
        // A description in the last column is the rest of the line, as a
        // load takes it.
        const int d = map.descriptionIsLast ? static_cast<int>(map.roles.size()) - 1 : -1;
        auto& row = preview.rows.emplace_back();
        for (size_t i = 0; i < fields.size(); ++i) {
            const bool restOfLine = static_cast<int>(i) == d && !(fields[i].quoted && !fields[i].trailing);
            row.push_back(PreviewField(restOfLine ? RestOfLine(r.line, fields[i], first.delimiter == TextDelimiter::Blanks, unquoted)
                                                  : FieldText(r.line, fields[i])));
            if (restOfLine) break;
        }
    }
    return preview;
}

TextPreview PreviewTextPointsFile(const std::string& file, TextLayout layout, size_t maxRows)
{
    return PreviewTextPointsFile(file, TextReadOptions(layout), maxRows);
}

bool HeaderKnowsColumns(const std::string& file)
{
    try {
        Records records(file, TextReadOptions{});
        const FirstLines& first = records.Start(false);
        return first.known && first.map.field[ColPoint] >= 0;
    } catch (const Error&) {
        return false;  // the load says why the file cannot be read
    }
}

}  // namespace tessaly

