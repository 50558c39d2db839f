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
#include <cstring>
#include <deque>
#include <utility>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "formats/text/text_points.h"
#include "platform/text/codepage.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool Blank(char c) { return c == ' ' || c == '\t'; }

// The longest record read: a physical line, or a quoted field joined over
// lines with the rest of its record. A surveyor's point file never comes
// near it; a longer one is a file of another kind or a quotation mark never
// closed, and holding it whole costs memory without bound. Such a record
// stops the load at its line rather than being cut: a cut record would be
// stored as a point that is not what the file says, and the rows after an
// unclosed quotation mark are not rows at all. The rows before it stay, as
// after any failed load.
constexpr size_t kMaxRecord = size_t{1} << 20;

// 5000,25: a number written with a decimal comma.
bool IsDecimalCommaNumber(std::string_view t)
{
    const size_t comma = t.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 == t.size()) return false;
    std::string dotted(t);
    dotted[comma] = '.';
    return IsDecimalNumber(dotted);
}

// UTF-16 to UTF-8 piece by piece: a code unit or a surrogate pair may be cut
// between two pieces.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}

    void Feed(std::string_view bytes, std::string& out)
    {
        for (char b : bytes) {
            const auto byte = static_cast<unsigned char>(b);
            if (pending_ < 0) {
                pending_ = byte;
                continue;
            }
            Unit(static_cast<char16_t>(bigEndian_ ? (pending_ << 8) | byte : (byte << 8) | pending_), out);
            pending_ = -1;
        }
    }

    // The end of the text: a lone byte or high surrogate left is malformed.
    void Finish(std::string& out)
    {
        if (high_ != 0 || pending_ >= 0) Replace(out);
        high_ = 0;
        pending_ = -1;
    }

    int64_t Replaced() const { return replaced_; }

private:
    void Unit(char16_t u, std::string& out)
    {
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high_ != 0) {
            if (low) {
                AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(high_) - 0xD800) << 10) + (u - 0xDC00u));
                high_ = 0;
                return;
            }
            high_ = 0;
            Replace(out);
        }
        if (u >= 0xD800 && u <= 0xDBFF) high_ = u;
        else if (low) Replace(out);
        else AppendUtf8(out, u);
    }

    void Replace(std::string& out)
    {
        out += kReplacement;
        ++replaced_;
    }

    bool bigEndian_;
    int pending_ = -1;  // the first byte of a code unit
    char16_t high_ = 0;
    int64_t replaced_ = 0;
};

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

// The file's bytes, UTF-16 decoded to UTF-8 as they are read; other
// encodings are passed on as bytes and decoded a line at a time (their line
// ends are the ASCII bytes).
class DecodedInput {
public:
    explicit DecodedInput(const std::string& file) : raw_(file) {}

    // Reads the byte-order mark and settles the encoding.
    TextEncoding Start()
    {
        const std::string_view start =
            raw_.Fill(0) ? std::string_view(raw_.Begin(), std::min<size_t>(3, static_cast<size_t>(raw_.End() - raw_.Begin())))
                         : std::string_view();
        if (start.substr(0, 3) == "\xEF\xBB\xBF") {
            raw_.Skip(3);
            return TextEncoding::Utf8;
        }
        if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF") {
            utf16_.emplace(start[0] == '\xFE');
            raw_.Skip(2);
            return start[0] == '\xFE' ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
        }
        return DetectEncoding(raw_.Name());
    }

    bool Fill(int64_t line)
    {
        if (!utf16_) return raw_.Fill(line);
        while (pos_ == buf_.size()) {
            if (finished_) return false;
            buf_.clear();
            pos_ = 0;
            if (raw_.Fill(line)) {
                const auto n = static_cast<size_t>(raw_.End() - raw_.Begin());
                utf16_->Feed(std::string_view(raw_.Begin(), n), buf_);
                raw_.Skip(n);
            } else {
                utf16_->Finish(buf_);
                finished_ = true;
            }
        }
        return true;
    }
    const char* Begin() const { return utf16_ ? buf_.data() + pos_ : raw_.Begin(); }
    const char* End() const { return utf16_ ? buf_.data() + buf_.size() : raw_.End(); }
    void Skip(size_t n) { utf16_ ? void(pos_ += n) : raw_.Skip(n); }
    int64_t Replaced() const { return utf16_ ? utf16_->Replaced() : 0; }

private:
    BufferedInput raw_;
    std::optional<Utf16Decoder> utf16_;
    std::string buf_;
    size_t pos_ = 0;
    bool finished_ = false;
};

// The physical lines of the file in UTF-8, each with the bytes that ended it.
class LineSource {
public:
    explicit LineSource(const std::string& file) : file_(file), in_(file) { encoding_ = in_.Start(); }

    TextEncoding Encoding() const { return encoding_; }

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
            if (line.size() > kMaxRecord)
                FailFile(file_, "line " + std::to_string(line_) +
                                    ": the line is longer than 1 MiB, which no point file's line is");
            if (stop == in_.End()) continue;
            const bool cr = *stop == '\r';
            in_.Skip(1);
            end = cr ? "\r" : "\n";
            if (cr && in_.Fill(line_) && *in_.Begin() == '\n') {
                in_.Skip(1);
                end = "\r\n";
            }
            break;
        }
        Decode(line);
        return true;
    }

    int64_t Line() const { return line_; }
    int64_t Nuls() const { return nuls_; }
    int64_t Replaced() const { return replaced_ + in_.Replaced(); }

private:
    void Decode(std::string& line)
    {
        if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
            const auto kept = std::remove(line.begin(), line.end(), '\0');
            nuls_ += line.end() - kept;
            line.erase(kept, line.end());
        }
        if (encoding_ == TextEncoding::Cp1252) {
            if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
                line = Cp1252ToUtf8(line);
        } else if (encoding_ == TextEncoding::Utf8) {
            Utf8Check check;
            check.Feed(line);
            if (!check.Valid()) line = MendUtf8(line, replaced_, kReplacement);
        }
    }

    const std::string& file_;
    DecodedInput in_;
    TextEncoding encoding_ = TextEncoding::Cp1252;
    int64_t line_ = 0;
    int64_t nuls_ = 0, replaced_ = 0;
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

// A header name as it is compared: letters and digits in upper case, without
// a trailing unit in parentheses or brackets ("Northing (m)": "NORTHING").
std::string NormalName(std::string_view name)
{
    name = TrimBlanks(name);
    if (!name.empty() && (name.back() == ')' || name.back() == ']')) {
        const size_t open = name.rfind(name.back() == ')' ? '(' : '[');
        if (open != std::string_view::npos && open > 0) name = name.substr(0, open);
    }
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else if (c == 0xC3 && i + 1 < name.size()) {
            // Latin-1 letters in UTF-8: the small ones to capitals (not the
            // division sign)
            auto d = static_cast<unsigned char>(name[i + 1]);
            if (d >= 0xA0 && d <= 0xBE && d != 0xB7) d = static_cast<unsigned char>(d - 0x20);
            out += static_cast<char>(c);
            out += static_cast<char>(d);
            ++i;
        } else if (c >= 0x80) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The mapping letter of a header name: P, N, E, Z, D, or 0 for a name not
// known.
char HeaderRole(std::string_view name)
{
    static const struct {
        char role;
        std::array<std::string_view, 24> names;
    } kNames[] = {
        {'P', {"P", "PT", "PNT", "PNO", "POINT", "POINTNUMBER", "POINTNO", "POINTNR", "POINTID", "POINTNAME", "PTNO",
               "PTID", "PNTNO", "NAME", "ID", "NUMBER", "NO", "STATION", "STN", "PUNKT", "PUNKTNR", "PUNKTNUMMER", "NR"}},
        {'N', {"N", "NTH", "NORTH", "NORTHING", "Y", "HOCHWERT"}},
        {'E', {"E", "EST", "EAST", "EASTING", "X", "RECHTSWERT"}},
        {'Z', {"Z", "ELV", "ELEV", "ELEVATION", "POINTELEVATION", "HEIGHT", "H", "RL", "ALT", "ALTITUDE", "HOEHE",
               "H\xC3\x96HE"}},
        {'D', {"D", "DSC", "DESC", "DESCRIPTION", "RAWDESCRIPTION", "FULLDESCRIPTION", "CODE", "DESCRIPTOR", "NOTE",
               "NOTES", "REMARK", "REMARKS", "FEATURE", "BESCHREIBUNG"}},
    };
    const std::string normal = NormalName(name);
    if (normal.empty()) return 0;
    for (const auto& entry : kNames)
        for (std::string_view n : entry.names)
            if (n == normal) return entry.role;
    return 0;
}

// A mapping (one letter a column) and where it puts each table column.
struct ColumnMap {
    std::string roles;
    std::array<int, PointTable::TotCols> field{-1, -1, -1, -1, -1};  // P N E Z; D: the last description
    std::vector<int> descriptions;                                    // in file order
    bool descriptionIsLast = false;  // the mapping's last column is a description: the rest of the line

    explicit ColumnMap(std::string mapping = "PNEZD") : roles(std::move(mapping))
    {
        for (size_t i = 0; i < roles.size(); ++i) {
            const auto at = static_cast<int>(i);
            switch (roles[i]) {
            case 'P': field[ColPoint] = at; break;
            case 'N': field[ColNorthing] = at; break;
            case 'E': field[ColEasting] = at; break;
            case 'Z': field[ColElevation] = at; break;
            case 'D': descriptions.push_back(at), field[ColDescription] = at; break;
            default: break;
            }
        }
        descriptionIsLast = !roles.empty() && roles.back() == 'D';
    }
};

std::string MappingOf(const TextReadOptions& options)
{
    if (!options.columns.empty())
        if (auto mapping = ParseColumnMapping(options.columns)) return *mapping;
    return std::string(LayoutName(options.layout));
}

// The mapping a header's names give: the first column of each name known
// (descriptions all), "-" for the rest. Nothing when a name is a number or
// no northing or easting column is named.
std::optional<std::string> MappingOfHeader(const std::vector<std::string>& names)
{
    std::string roles;
    for (const std::string& name : names) {
        if (IsDecimalNumber(TrimBlanks(name))) return std::nullopt;
        const char role = HeaderRole(name);
        roles += role != 0 && (role == 'D' || roles.find(role) == std::string::npos) ? role : '-';
    }
    if (roles.find('N') == std::string::npos || roles.find('E') == std::string::npos) return std::nullopt;
    return roles;
}

// A line split for detection only: a quoted field still open at its end
// ends with it (OPEN says so). False when the quotes do not fit the
// delimiter.
bool SplitForDetection(std::string& line, TextDelimiter d, std::vector<Field>& fields, bool* open = nullptr)
{
    const auto noMore = [](std::string&) { return false; };
    const bool closed = Splitter(d).Split(line, fields, noMore);
    if (open) *open = !closed;
    // A quoted field must end at a delimiter or the line end: text after
    // its closing quote means the quotes belong to fields of another
    // delimiter (a comma file whose quoted description holds tabs).
    if (std::any_of(fields.begin(), fields.end(), [](const Field& f) { return f.trailing; })) return false;
    // Likewise a quotation mark inside an unquoted field before the last.
    return std::none_of(fields.begin(), fields.empty() ? fields.end() : fields.end() - 1, [&](const Field& f) {
        return !f.quoted && std::memchr(line.data() + f.start, '"', f.end - f.start) != nullptr;
    });
}

std::vector<std::string> Names(const std::string& line, const std::vector<Field>& fields)
{
    std::vector<std::string> names;
    for (const Field& f : fields) names.emplace_back(TrimBlanks(FieldText(line, f)));
    return names;
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

// The records of a file: the lines to skip and the header dealt with, the
// delimiter and the columns settled from the first lines.
class Records {
public:
    Records(const std::string& file, const TextReadOptions& options) : file_(file), options_(options), in_(file) {}

    // DECIMALCOMMAS: a first line of numbers with decimal commas fails the
    // load (a preview shows it split on blanks).
    const FirstLines& Start(bool decimalCommas)
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
        std::vector<Field> fields;
        // An odd number of quotation marks: a quoted field runs on into the
        // next line, so this line holds a point, and the next line is part
        // of it (it cannot tell the delimiter).
        const bool runsOn = std::count(r.line.begin(), r.line.end(), '"') % 2 == 1;

        if (options_.header.value_or(!runsOn)) {
            for (TextDelimiter d : tried) {
                // A quoted name running into the next line is not a name.
                bool open = false;
                if (!SplitForDetection(r.line, d, fields, &open) || open) continue;
                auto names = Names(r.line, fields);
                if (auto roles = MappingOfHeader(names)) {
                    first_.delimiter = d;
                    first_.header = true;
                    first_.named = true;
                    first_.known = options_.columns.empty();
                    first_.names = std::move(names);
                    if (first_.known) first_.map = ColumnMap(*roles);
                    return first_;
                }
            }
        }
        if (!options_.header.value_or(false)) {
            for (TextDelimiter d : tried) {
                if (!SplitForDetection(r.line, d, fields) || !CoordinateFieldsFit(r.line, fields, given)) continue;
                first_.delimiter = d;
                first_.record = std::move(r);
                return first_;
            }
            if (decimalCommas && !options_.delimiter) FailOnDecimalCommas(r, given);
        }

        // Names not known, or data that fits no delimiter: the next line
        // tells the delimiter. It is read again as the lines come, since a
        // quoted field of the first line may run into it.
        // Blank and comment lines on the way are held until read again, so
        // only as many as kMaxRecord bytes' worth are looked past.
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
            if (!found && haveNext && SplitForDetection(next.line, d, fields) && CoordinateFieldsFit(next.line, fields, given))
                found = d;
        const auto needed = static_cast<size_t>(std::max(given.field[ColNorthing], given.field[ColEasting]));
        for (TextDelimiter d : tried)
            if (!found && SplitForDetection(r.line, d, fields) && fields.size() > needed) found = d;
        first_.delimiter = found.value_or(tried.back());

        bool open = false;
        SplitForDetection(r.line, first_.delimiter, fields, &open);
        bool header = options_.header.value_or(false);
        if (!options_.header) {
            // A header of names not known (or a title): no field is a
            // number, the northing and easting are missing or not empty, and
            // no quoted field runs on into the next line.
            header = !runsOn && !open && std::none_of(fields.begin(), fields.end(),
                                  [&](const Field& f) { return IsDecimalNumber(TrimBlanks(FieldText(r.line, f))); });
            for (Column c : {ColNorthing, ColEasting}) {
                const auto i = static_cast<size_t>(given.field[c]);
                header = header && (i >= fields.size() || !TrimBlanks(FieldText(r.line, fields[i])).empty());
            }
        }
        if (header) {
            first_.header = true;
            first_.names = Names(r.line, fields);
        } else {
            first_.record = std::move(r);
        }
        return first_;
    }

    // The next record, the lines read ahead first. False at the end.
    bool Next(Record& r)
    {
        if (first_.record) {
            r = std::move(*first_.record);
            first_.record.reset();
            return true;
        }
        return ReadAhead(r);
    }

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
    // The next physical line, those read ahead first.
    bool Physical(Record& r)
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

    // The next line that is not skipped.
    bool ReadAhead(Record& r)
    {
        while (Physical(r))
            if (!SkippedLine(r.line)) return true;
        return false;
    }

    // Numbers with decimal commas fit no delimiter; say so rather than read
    // them as something else.
    void FailOnDecimalCommas(Record& r, const ColumnMap& given)
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

    const std::string& file_;
    const TextReadOptions options_;  // a copy: callers may pass a temporary
    LineSource in_;
    FirstLines first_;
    std::deque<Record> back_;
};

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
            if (!t.empty() && !IsDecimalNumber(t)) text = true;
            if (c != ColElevation && (t.empty() || !IsDecimalNumber(t))) numeric = false;
            if (c != ColElevation && !t.empty() && !IsDecimalNumber(t)) {
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
        cells[ColDescription] = std::move(description);
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

    void Notices(const FirstLines& first)
    {
        auto& notices = report_.notices;
        found_.replaced = records_.Replaced();
        std::vector<std::string> unread;
        for (size_t i = 0; i < std::max(first.names.size(), map_.roles.size()); ++i) {
            if (i < map_.roles.size() && map_.roles[i] != '-') continue;
            const bool named = i < first.names.size() && !first.names[i].empty();
            if (named) unread.push_back("\"" + Cut(first.names[i]) + "\"");
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
