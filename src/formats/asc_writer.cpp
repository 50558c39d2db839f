// ASCII PNEZD files (*.asc): one line a point, the five cells separated by
// commas, CR LF after every line. Text cells go out byte for byte; a number
// cell is framed by blanks (the minus sign of a negative number takes the
// place of the leading blank).
#include <array>
#include <cstring>
#include <string>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/files/binary_file.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
// Room a cell takes in the file: a text's bytes, or a number's text with its
// two blanks.
size_t Room(const Cell& cell)
{
    if (auto text = std::get_if<std::string>(&cell)) return text->size();
    return IsNumber(cell) ? kNumberTextMax + 2 : 0;
}

char* PutField(char* out, const Cell& cell)
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
}  // namespace

void WriteAscFile(const PointTable& table, const std::string& file)
try {
    ReplacingFileWriter out(file);
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
            p = PutField(p, *cells[static_cast<size_t>(col)]);
            *p++ = ',';
        }
        p[-1] = '\r';
        *p++ = '\n';
        used = static_cast<size_t>(p - chunk.data());
    }
    out.Write({chunk.data(), used});
    out.Commit();
} catch (const Error&) {
    throw;
} catch (...) {
    throw Error(FailureMessage(file));
}

}  // namespace tessaly
