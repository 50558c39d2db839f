// Reading delimited text point files.
//
//  - Lines end at CR LF, LF or CR. Blank lines and lines whose first
//    non-blank character is "#" are skipped.
//  - Encoding: a UTF-8 byte-order mark means UTF-8; so does a file that is
//    valid UTF-8 and has bytes above 127; anything else is Windows-1252.
//    UTF-8 text is stored as Windows-1252, "?" for what it cannot hold.
//  - The first line that is not skipped is a header when none of its fields
//    is a number and it names a northing and an easting column; the header
//    then decides the columns, otherwise the chosen layout does.
//  - The delimiter is the first of tab, comma and semicolon that splits that
//    line into the fields it must have (a header's names, or a northing and
//    an easting that are numbers or empty); otherwise runs of blanks and tabs.
//  - A field that begins with a quotation mark runs to the closing one, line
//    ends included; "" inside it is one quotation mark.
//  - Northing, easting and elevation are trimmed and must be empty or a
//    decimal number; their text is stored as it stands. The point is trimmed.
//  - A description in the last column is the rest of the line (trimmed when
//    blanks delimit), unquoted when it is one quoted field.
#include <algorithm>
#include <cstring>
#include <utility>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "formats/text_points.h"
#include "platform/text/codepage.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool Blank(char c) { return c == ' ' || c == '\t'; }

// 5000,25: a number written with a decimal comma.
bool IsDecimalCommaNumber(std::string_view t)
{
    const size_t comma = t.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 == t.size()) return false;
    std::string dotted(t);
    dotted[comma] = '.';
    return IsDecimalNumber(dotted);
}

// The physical lines of the file, each with the bytes that ended it.
class LineSource {
public:
    explicit LineSource(const std::string& file) : in_(file) {}

    // Drops the byte-order mark at the start of the file; true when there
    // was one.
    bool SkipBom()
    {
        const bool bom = in_.Fill(0) && static_cast<size_t>(in_.End() - in_.Begin()) >= kBom.size() &&
                         std::string_view(in_.Begin(), kBom.size()) == kBom;
        if (bom) in_.Skip(kBom.size());
        return bom;
    }

    // The next line into LINE, its end ("\r\n", "\n", "\r" or "" at the end
    // of the file) into END. False when nothing is left.
    bool Next(std::string& line, std::string_view& end)
    {
        line.clear();
        end = {};
        if (!in_.Fill(line_ + 1)) return false;
        ++line_;
        while (in_.Fill(line_)) {
            const char* begin = in_.Begin();
            const char* stop = std::find_if(begin, in_.End(), [](char c) { return c == '\r' || c == '\n'; });
            line.append(begin, stop);
            in_.Skip(static_cast<size_t>(stop - begin));
            if (stop == in_.End()) continue;
            const bool cr = *stop == '\r';
            in_.Skip(1);
            end = cr ? "\r" : "\n";
            if (cr && in_.Fill(line_) && *in_.Begin() == '\n') {
                in_.Skip(1);
                end = "\r\n";
            }
            return true;
        }
        return true;
    }

    int64_t Line() const { return line_; }

private:
    BufferedInput in_;
    int64_t line_ = 0;
};

struct Field {
    size_t start = 0, end = 0;  // in the record; a quoted field's quotes included
    bool quoted = false;
    bool trailing = false;  // something stands between the closing quote and the delimiter
    std::string unquoted;
};

// Splits one record into fields. When a quoted field is still open at the
// end of the record, MORE appends the next line (its line end first) and
// splitting goes on where it stopped, so every byte is looked at once.
class Splitter {
public:
    explicit Splitter(TextDelimiter d) : blanks_(d == TextDelimiter::Blanks), delimiter_(DelimiterChar(d)) {}

    // False when a quoted field is still open at the end of the file.
    template <class More>
    bool Split(std::string& rec, std::vector<Field>& fields, More&& more)
    {
        fields.clear();
        size_t pos = 0;
        if (blanks_) {
            while (pos < rec.size() && Blank(rec[pos])) ++pos;
            if (pos == rec.size()) return true;
        }
        for (;;) {
            Field f;
            f.start = pos;
            if (pos < rec.size() && rec[pos] == '"') {
                f.quoted = true;
                ++pos;
                for (;;) {
                    const size_t q = rec.find('"', pos);
                    if (q == std::string::npos) {
                        f.unquoted.append(rec, pos);
                        pos = rec.size();
                        if (!more(rec)) {
                            f.end = pos;
                            fields.push_back(std::move(f));
                            return false;
                        }
                        continue;
                    }
                    f.unquoted.append(rec, pos, q - pos);
                    pos = q + 1;
                    if (pos < rec.size() && rec[pos] == '"') {
                        f.unquoted += '"';
                        ++pos;
                        continue;
                    }
                    break;
                }
                const size_t stop = FieldEnd(rec, pos);
                f.trailing = stop != pos;
                pos = stop;
            } else {
                pos = FieldEnd(rec, pos);
            }
            f.end = pos;
            fields.push_back(std::move(f));
            if (pos == rec.size()) return true;
            if (blanks_) {
                while (pos < rec.size() && Blank(rec[pos])) ++pos;
                if (pos == rec.size()) return true;
            } else {
                ++pos;  // the delimiter; after a last one an empty field follows
            }
        }
    }

private:
    size_t FieldEnd(const std::string& rec, size_t pos) const
    {
        if (blanks_) {
            while (pos < rec.size() && !Blank(rec[pos])) ++pos;
            return pos;
        }
        const void* d = std::memchr(rec.data() + pos, delimiter_, rec.size() - pos);
        return d ? static_cast<size_t>(static_cast<const char*>(d) - rec.data()) : rec.size();
    }

    bool blanks_;
    char delimiter_;
};

std::string_view FieldText(const std::string& rec, const Field& f)
{
    if (f.quoted) return f.unquoted;
    return std::string_view(rec).substr(f.start, f.end - f.start);
}

// The text of a whole quoted field without its quotes; false when TEXT is
// not exactly one quoted field.
bool UnquoteWhole(std::string_view text, std::string& out)
{
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    out.clear();
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '"') {
            if (text[i + 1] != '"' || i + 2 == text.size()) return false;
            ++i;
        }
        out += text[i];
    }
    return true;
}

bool SkippedLine(std::string_view line)
{
    size_t i = 0;
    while (i < line.size() && Blank(line[i])) ++i;
    return i == line.size() || line[i] == '#';
}

// The next line that is not skipped into LINE and its end into END; false
// when the file has none left.
bool NextRecord(LineSource& in, std::string& line, std::string_view& end)
{
    while (in.Next(line, end))
        if (!SkippedLine(line)) return true;
    return false;
}

// What Splitter::Split calls on a record read from IN whose quoted field is
// still open: the record's line end END and the next line join it. False at
// the end of the file.
auto JoinNextLine(LineSource& in, std::string_view end)
{
    return [&in, end](std::string& rec) mutable {
        std::string next;
        std::string_view nextEnd;
        if (end.empty() || !in.Next(next, nextEnd)) return false;
        rec += end;
        rec += next;
        end = nextEnd;
        return true;
    };
}

// A description in the last column: the rest of the record from its field
// F, without the blanks at its end when blanks delimit, unquoted when it is
// one quoted field (the unquoted text held in SCRATCH).
std::string_view RestOfLine(const std::string& rec, const Field& f, bool blanks, std::string& scratch)
{
    std::string_view rest = std::string_view(rec).substr(f.start);
    if (blanks)
        while (!rest.empty() && Blank(rest.back())) rest.remove_suffix(1);
    return UnquoteWhole(rest, scratch) ? std::string_view(scratch) : rest;
}

// Names a header may give a column, in any letter case.
std::optional<Column> HeaderColumn(std::string_view name)
{
    static const struct {
        Column column;
        std::array<std::string_view, 8> names;
    } kNames[] = {
        {ColPoint, {"P", "PT", "PNT", "PNO", "POINT", "NAME", "ID", "NUMBER"}},
        {ColNorthing, {"N", "NTH", "NORTH", "NORTHING", "Y"}},
        {ColEasting, {"E", "EST", "EAST", "EASTING", "X"}},
        {ColElevation, {"Z", "ELV", "ELEV", "ELEVATION", "H", "HEIGHT"}},
        {ColDescription, {"D", "DSC", "DESC", "DESCRIPTION", "CODE", "NOTE"}},
    };
    for (const auto& entry : kNames)
        for (std::string_view n : entry.names)
            if (!n.empty() && SameLetters(n, name)) return entry.column;
    return std::nullopt;
}

// Where each table column stands among a line's fields (-1: not in the file).
struct ColumnMap {
    std::array<int, PointTable::TotCols> field{-1, -1, -1, -1, -1};
    bool descriptionIsLast = false;
};

ColumnMap MapOfLayout(TextLayout layout)
{
    ColumnMap map;
    const auto columns = LayoutColumns(layout);
    for (size_t i = 0; i < columns.size(); ++i) map.field[static_cast<size_t>(columns[i])] = static_cast<int>(i);
    map.descriptionIsLast = columns.back() == ColDescription;
    return map;
}

// The header's column map, or nothing when the fields are not a header.
std::optional<ColumnMap> MapOfHeader(const std::string& rec, const std::vector<Field>& fields)
{
    ColumnMap map;
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string_view name = TrimBlanks(FieldText(rec, fields[i]));
        if (IsDecimalNumber(name)) return std::nullopt;
        if (auto column = HeaderColumn(name); column && map.field[static_cast<size_t>(*column)] < 0)
            map.field[static_cast<size_t>(*column)] = static_cast<int>(i);
    }
    if (map.field[ColNorthing] < 0 || map.field[ColEasting] < 0) return std::nullopt;
    map.descriptionIsLast = map.field[ColDescription] == static_cast<int>(fields.size()) - 1;
    return map;
}

bool CoordinateFieldsFit(const std::string& rec, const std::vector<Field>& fields, const ColumnMap& map)
{
    for (Column c : {ColNorthing, ColEasting}) {
        const auto i = static_cast<size_t>(map.field[c]);
        if (i >= fields.size() || fields[i].trailing) return false;
        const std::string_view t = TrimBlanks(FieldText(rec, fields[i]));
        if (!t.empty() && !IsDecimalNumber(t)) return false;
    }
    return true;
}

std::string Cut(std::string_view text)
{
    constexpr size_t kShown = 40;
    return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "...";
}

struct FirstLine {
    TextDelimiter delimiter = TextDelimiter::Blanks;
    bool header = false;
    ColumnMap map;  // the header's, or the layout's without one
};

// The delimiter and header of the first line that is not skipped.
FirstLine Detect(std::string& line, TextLayout layout, const std::string& file, int64_t lineNumber)
{
    const ColumnMap data = MapOfLayout(layout);
    std::vector<Field> fields;
    // Only this line is split here: a quoted field still open at its end
    // ends with it, and the line is never extended.
    const auto noMore = [](std::string&) { return false; };
    for (TextDelimiter d : kDelimiterDetectionOrder) {
        Splitter(d).Split(line, fields, noMore);
        // A quoted field must end at a delimiter or the line end: text after
        // its closing quote means the quotes belong to fields of another
        // delimiter (a comma file whose quoted description holds tabs).
        if (std::any_of(fields.begin(), fields.end(), [](const Field& f) { return f.trailing; })) continue;
        // Likewise a quotation mark inside an unquoted field before the last.
        if (std::any_of(fields.begin(), fields.empty() ? fields.end() : fields.end() - 1, [&](const Field& f) {
                return !f.quoted && std::memchr(line.data() + f.start, '"', f.end - f.start) != nullptr;
            }))
            continue;
        if (auto header = MapOfHeader(line, fields)) return {d, true, *header};
        if (CoordinateFieldsFit(line, fields, data)) return {d, false, data};
    }

    // Numbers with decimal commas fit no delimiter; say so rather than read
    // them as something else.
    for (TextDelimiter d : {TextDelimiter::Semicolon, TextDelimiter::Tab}) {
        Splitter(d).Split(line, fields, noMore);
        for (Column c : {ColNorthing, ColEasting}) {
            const auto i = static_cast<size_t>(data.field[c]);
            if (i >= fields.size()) continue;
            const std::string_view number = TrimBlanks(FieldText(line, fields[i]));
            if (IsDecimalCommaNumber(number))
                FailFile(file, "line " + std::to_string(lineNumber) + ": the numbers are written with a decimal comma (\"" +
                                   Cut(number) + "\"); save the file with a decimal point and load it again");
        }
    }
    return {TextDelimiter::Blanks, false, data};
}

// The encoding of a file without a byte-order mark.
TextEncoding DetectEncoding(const std::string& file)
{
    BufferedInput in(file);
    Utf8Check check;
    while (!check.Failed() && in.Fill(0)) {
        check.Feed(std::string_view(in.Begin(), static_cast<size_t>(in.End() - in.Begin())));
        in.Skip(static_cast<size_t>(in.End() - in.Begin()));
    }
    return check.Valid() && check.HasHighBytes() ? TextEncoding::Utf8 : TextEncoding::Cp1252;
}

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
    Reader(PointTable& table, const std::string& file) : table_(table), file_(file), in_(file) {}

    TextReadSummary Read(TextLayout layout)
    {
        summary_.encoding = in_.SkipBom() ? TextEncoding::Utf8 : DetectEncoding(file_);
        std::string line;
        std::string_view end;
        if (!NextRecord(in_, line, end)) return summary_;  // nothing but blank and comment lines: no points

        const FirstLine first = Detect(line, layout, file_, in_.Line());
        summary_.delimiter = first.delimiter;
        summary_.header = first.header;
        map_ = first.map;
        Splitter splitter(first.delimiter);
        blanks_ = first.delimiter == TextDelimiter::Blanks;

        // The first line is a record of its own unless it is the header.
        for (bool haveRecord = !first.header; haveRecord || NextRecord(in_, line, end); haveRecord = false) {
            const int64_t lineNumber = in_.Line();
            const bool closed = splitter.Split(line, fields_, JoinNextLine(in_, end));
            if (!closed)
                FailFile(file_, "line " + std::to_string(lineNumber) +
                                    ": a quoted field has no closing quotation mark before the end of the file");
            Store(line, lineNumber);
        }
        return summary_;
    }

private:
    std::string Stored(std::string_view text)
    {
        if (summary_.encoding == TextEncoding::Cp1252) return std::string(text);
        return Utf8ToCp1252(text, summary_.replaced);
    }

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
        std::array<Cell, PointTable::TotCols> cells{std::string(), std::string(), std::string(), std::string(),
                                                    std::string()};
        const auto at = [&](Column c) { return map_.field[c]; };
        if (at(ColNorthing) >= static_cast<int>(fields_.size()) || at(ColEasting) >= static_cast<int>(fields_.size()))
            FailFile(file_, "line " + std::to_string(line) + ": the line has " + std::to_string(fields_.size()) +
                                " field" + (fields_.size() == 1 ? "" : "s") +
                                " and no northing or easting (\"" + Cut(rec) + "\")");
        for (Column c : {ColNorthing, ColEasting, ColElevation}) {
            const int i = at(c);
            if (i < 0 || i >= static_cast<int>(fields_.size())) continue;
            const std::string_view t = TrimBlanks(One(rec, static_cast<size_t>(i), c, line));
            if (!t.empty() && !IsDecimalNumber(t))
                FailField(line, static_cast<size_t>(i), c,
                          "\"" + Cut(t) + "\" is not a number" +
                              (IsDecimalCommaNumber(t) ? " (numbers need a decimal point, not a comma)" : ""));
            cells[c] = std::string(t);
        }
        if (const int i = at(ColPoint); i < 0) {
            cells[ColPoint] = std::to_string(table_.CurrItems() + 1);
        } else if (i < static_cast<int>(fields_.size())) {
            const auto f = static_cast<size_t>(i);
            cells[ColPoint] = Stored(fields_[f].quoted ? One(rec, f, ColPoint, line)
                                                       : TrimBlanks(One(rec, f, ColPoint, line)));
        }
        if (const int i = at(ColDescription); i >= 0 && i < static_cast<int>(fields_.size())) {
            const auto f = static_cast<size_t>(i);
            if (map_.descriptionIsLast) {
                cells[ColDescription] = Stored(RestOfLine(rec, fields_[f], blanks_, unquoted_));
            } else {
                cells[ColDescription] = Stored(One(rec, f, ColDescription, line));
            }
        }
        AddPointOf(table_, file_, std::move(cells));
    }

    PointTable& table_;
    const std::string& file_;
    LineSource in_;
    TextReadSummary summary_;
    ColumnMap map_;
    bool blanks_ = false;
    std::vector<Field> fields_;
    std::string unquoted_;
};

}  // namespace

TextReadSummary ReadTextPointsFile(PointTable& table, const std::string& file, const TextReadOptions& options)
{
    table.Clear();
    return Reader(table, file).Read(options.layout);
}

void ReadTextPointsFile(PointTable& table, const std::string& file)
{
    ReadTextPointsFile(table, file, TextReadOptions{});
}

TextPreview PreviewTextPointsFile(const std::string& file, TextLayout layout, size_t maxRows)
{
    TextPreview preview;
    LineSource in(file);
    preview.encoding = in.SkipBom() ? TextEncoding::Utf8 : DetectEncoding(file);
    std::string line, unquoted;
    std::string_view end;
    std::vector<Field> fields;
    std::optional<Splitter> splitter;
    ColumnMap map;
    while (preview.rows.size() < maxRows && NextRecord(in, line, end)) {
        if (!splitter) {
            FirstLine first{TextDelimiter::Blanks, false, MapOfLayout(layout)};
            try {
                first = Detect(line, layout, file, in.Line());
            } catch (const Error&) {
                // decimal commas: show the line as it splits on blanks
            }
            preview.delimiter = first.delimiter;
            preview.header = first.header;
            map = first.map;
            splitter.emplace(first.delimiter);
        }
        splitter->Split(line, fields, JoinNextLine(in, end));
        // A description in the last column is the rest of the line, as a
        // load takes it.
        const int d = map.field[ColDescription];
        const bool rest = map.descriptionIsLast && d >= 0 && d < static_cast<int>(fields.size()) &&
                          !(preview.header && preview.rows.empty());
        auto& row = preview.rows.emplace_back();
        for (size_t i = 0; i < fields.size(); ++i) {
            const bool restOfLine = rest && i == static_cast<size_t>(d);
            const std::string_view text =
                restOfLine ? RestOfLine(line, fields[i], preview.delimiter == TextDelimiter::Blanks, unquoted)
                           : FieldText(line, fields[i]);
            row.push_back(preview.encoding == TextEncoding::Utf8 ? Utf8ToCp1252(text) : std::string(text));
            if (restOfLine) break;
        }
    }
    return preview;
}

TextPreview PreviewTextPointsFile(const std::string& file, const TextReadOptions& options, size_t maxRows)
{
    TextPreview preview = PreviewTextPointsFile(file, options.layout, maxRows);
    preview.mapping = options.columns.empty() ? std::string(LayoutName(options.layout)) : options.columns;
    if (preview.header && !preview.rows.empty()) preview.names = preview.rows.front();
    return preview;
}

bool HeaderKnowsColumns(const std::string& file) { return HasHeaderLine(file); }

bool HasHeaderLine(const std::string& file)
{
    // Only the first line that is not skipped is read: the header does not
    // depend on the encoding.
    LineSource in(file);
    in.SkipBom();
    std::string line;
    std::string_view end;
    if (!NextRecord(in, line, end)) return false;
    try {
        return Detect(line, TextLayout::PNEZD, file, in.Line()).header;
    } catch (const Error&) {
        return false;  // decimal commas: no header
    }
}

}  // namespace tessaly
