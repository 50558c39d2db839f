#pragma once
// The fields of a record of a delimited text point file: split at the
// delimiter or runs of blanks, quoted fields running to their closing
// quotation mark, line ends included.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/text/text_points.h"

namespace tessaly::text_read {

inline bool Blank(char c) { return c == ' ' || c == '\t'; }

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

inline std::string_view FieldText(const std::string& rec, const Field& f)
{
    if (f.quoted) return f.unquoted;
    return std::string_view(rec).substr(f.start, f.end - f.start);
}

// True for a line skipped wherever it stands: blank, or a comment ("#").
bool SkippedLine(std::string_view line);

// A description in the last column: the rest of the record from its field
// F, without the blanks at its end when blanks delimit, unquoted when it is
// one quoted field (the unquoted text held in SCRATCH).
std::string_view RestOfLine(const std::string& rec, const Field& f, bool blanks, std::string& scratch);

// TEXT for a message: its first 40 bytes, "..." when there is more.
std::string Cut(std::string_view text);

}  // namespace tessaly::text_read
