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
// Room a cell takes in the file: at most a text's bytes (the code page
// takes one byte for each character of one to four), or a number's text with
// its two blanks.
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

char* PutField(char* out, const Cell& cell, bool description, Changes& changes)
{
    if (auto text = std::get_if<std::string>(&cell)) {
        char* const start = out;
        out = Utf8ToCp1252(*text, out, changes.replaced);
        bool blanked = false;
        for (char* p = start; p < out; ++p) {
            if (*p == '\r' || *p == '\n' || (*p == ',' && !description)) {
                *p = ' ';
                blanked = true;
            }
        }
        changes.blanked += blanked;
    } else if (auto number = std::get_if<double>(&cell)) {
        if (!(*number < 0)) *out++ = ' ';
        out += NumberChars(*number, out);
        *out++ = ' ';
    }
    return out;
}
}  // namespace

ExportReport WriteAscFile(const PointTable& table, const std::string& file)
try {
    ReplacingFileWriter out(file);
    ExportReport report;
    Changes changes;
    // Lines are put together in a buffer that goes out whenever the next line
    // might not fit.
    std::string chunk(kIoBlock, '\0');
    size_t used = 0;
    for (const int32_t row : table.RowsToSave()) {
        std::array<const Cell*, PointTable::TotCols> cells;
        size_t room = PointTable::TotCols + 1;  // the commas and CR LF
        for (int16_t col = 0; col < PointTable::TotCols; ++col) {
            cells[static_cast<size_t>(col)] = &table.Get(col, row);
            room += Room(*cells[static_cast<size_t>(col)]);
        }
        if (used + room > chunk.size()) {
            out.Write({chunk.data(), used});
            used = 0;
            if (room > chunk.size()) chunk.resize(room);
        }
        char* p = chunk.data() + used;
        for (int16_t col = 0; col < PointTable::TotCols; ++col) {
            p = PutField(p, *cells[static_cast<size_t>(col)], col == ColDescription, changes);
            *p++ = ',';
        }
        p[-1] = '\r';
        *p++ = '\n';
        used = static_cast<size_t>(p - chunk.data());
        ++report.written;
    }
    out.Write({chunk.data(), used});
    out.Commit();
    if (changes.replaced > 0) report.notices.push_back(Cp1252ReplacedNotice(changes.replaced));
    if (changes.blanked > 0)
        report.notices.push_back(std::to_string(changes.blanked) +
                                 (changes.blanked == 1 ? " field held" : " fields held") +
                                 " a line break or a comma; written as blanks");
    return report;
} catch (const Error&) {
    throw;
} catch (...) {
    throw Error(FailureMessage(file));
}

}  // namespace tessaly
