// ASCII PNEZD files (*.asc): one line a point, the five cells separated by
// commas, CR LF after every line, in Windows-1252. Text cells go out as their
// characters in the code page, "?" for one it cannot hold; a number cell is
// framed by blanks (the minus sign of a negative number takes the place of
// the leading blank).
//
// Nothing in a field may break its line or split it: a CR or LF anywhere, and
// a comma in the point, northing, easting or elevation field, is written as a
// blank. The description keeps its commas, since a reader takes the rest of
// the line for it.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/files/binary_file.h"
#include "platform/files/text_file.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
// Room a cell takes in the file: at most a text's bytes (the code page takes
// one byte for each character of one to four), or a number's text with its
// two blanks.
size_t Room(const Cell& cell)
{
    if (auto text = std::get_if<std::string>(&cell)) return text->size();
    return IsNumber(cell) ? kNumberTextMax + 2 : 0;
}

// What the writer changed.
struct Changes {
    int64_t replaced = 0;  // characters written as "?"
    int64_t blanked = 0;   // fields with a line break or a splitting comma
};

// A line is first put together from the cells' bytes as they are, and looked
// at eight bytes at a time; only a line with a byte that is not plain ASCII
// is put together again field by field. Nearly every line is plain.
constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kTops = 0x8080808080808080u;

// Non-zero when a byte of W is below N (N at most 128) or above 7F.
constexpr uint64_t BelowOrHigh(uint64_t w, uint8_t n) { return ((w - kOnes * n) | w) & kTops; }
// Non-zero when a byte of W is C.
constexpr uint64_t Holds(uint64_t w, uint8_t c)
{
    const uint64_t x = w ^ (kOnes * c);
    return (x - kOnes) & ~x & kTops;
}
// The bytes of a word before its N-th (N below 8).
constexpr uint64_t Before(size_t n) { return (uint64_t{1} << (8 * n)) - 1; }

// True when LINE[0, N) holds nothing but printable ASCII, and no comma
// before LINE + FREE (the description, where commas stand): bytes the
// careful way would write unchanged. (Control characters other than CR and
// LF would be unchanged too, but they are rare enough to take the careful
// way.) Reads up to seven bytes past N, which the caller's buffer holds.
bool Plain(const char* line, size_t n, size_t free)
{
    uint64_t unplain = 0;
    for (size_t i = 0; i < n; i += 8) {
        uint64_t w = 0;
        std::memcpy(&w, line + i, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        if (n - i < 8) w = (w & Before(n - i)) | (kOnes * ' ' & ~Before(n - i));  // blanks past the end
        unplain |= BelowOrHigh(w, ' ');
        // A false hit of Holds lies above a true one, so keeping the bytes
        // before FREE keeps the answer exact.
        if (i < free) unplain |= Holds(w, ',') & (free - i < 8 ? Before(free - i) : ~uint64_t{0});
    }
    return unplain == 0;
}

inline char* PutBytes(char* out, const Cell& cell)
{
    if (auto text = std::get_if<std::string>(&cell)) {
        std::memcpy(out, text->data(), text->size());
        out += text->size();
    } else if (auto number = std::get_if<double>(&cell)) {
        if (!(*number < 0)) *out++ = ' ';
        out += NumberChars(*number, out);
        *out++ = ' ';
    }
    return out;
}

// The field of CELL in the code page, with what may not stand in it blanked.
char* PutField(char* out, const Cell& cell, bool description, Changes& changes)
{
    auto text = std::get_if<std::string>(&cell);
    if (!text) return PutBytes(out, cell);
    char* const end = Utf8ToCp1252(*text, out, changes.replaced);
    bool blanked = false;
    for (char* p = out; p < end; ++p) {
        if (*p == '\r' || *p == '\n' || (*p == ',' && !description)) {
            *p = ' ';
            blanked = true;
        }
    }
    changes.blanked += blanked;
    return end;
}
}  // namespace

ExportReport WriteAscFile(const PointTable& table, const std::string& file)
try {
    ReplacingFileWriter out(file);
    ExportReport report;
    Changes changes;
    constexpr size_t kSlack = 8;  // what Plain may read past a line
    // Lines are put together in a buffer that goes out whenever the next line
    // might not fit.
    std::string chunk(kIoBlock, '\0');
    size_t used = 0;
    for (const int32_t row : table.RowsToSave()) {
        std::array<const Cell*, PointTable::TotCols> cells;
        size_t room = PointTable::TotCols + 1 + kSlack;  // the commas and CR LF
        for (int16_t col = 0; col < PointTable::TotCols; ++col) {
            cells[static_cast<size_t>(col)] = &table.Get(col, row);
            room += Room(*cells[static_cast<size_t>(col)]);
        }
        if (used + room > chunk.size()) {
            out.Write({chunk.data(), used});
            used = 0;
            if (room > chunk.size()) chunk.resize(room);
        }
        char* const line = chunk.data() + used;
        char* p = line;
        // The separating commas go in once the fields are known plain.
        std::array<char*, PointTable::TotCols - 1> commas;
        for (int16_t col = 0; col < ColDescription; ++col) {
            p = PutBytes(p, *cells[static_cast<size_t>(col)]);
            commas[static_cast<size_t>(col)] = p;
            *p++ = ' ';
        }
        char* const description = p;
        p = PutBytes(p, *cells[ColDescription]);
        if (Plain(line, static_cast<size_t>(p - line), static_cast<size_t>(description - line))) {
            for (char* comma : commas) *comma = ',';
        } else {
            p = line;
            for (int16_t col = 0; col < PointTable::TotCols; ++col) {
                p = PutField(p, *cells[static_cast<size_t>(col)], col == ColDescription, changes);
                *p++ = ',';
            }
            --p;
        }
        *p++ = '\r';
        *p++ = '\n';
        used = static_cast<size_t>(p - chunk.data());
        ++report.written;
    }
    out.Write({chunk.data(), used});
    out.Commit();
    if (changes.replaced > 0) report.notices.push_back(Cp1252ReplacedNotice(changes.replaced));
    if (changes.blanked > 0)
        report.notices.push_back(Counted(changes.blanked, "field held", "fields held") +
                                 " a line break or a comma; written as blanks");
    return report;
} catch (const Error&) {
    throw;
} catch (...) {
    throw Error(FailureMessage(file));
}

}  // namespace tessaly
