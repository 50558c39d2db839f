// ASCII PNEZD files (*.asc): one line a point, the five cells separated by
// commas, CR LF after every line. Text cells go out byte for byte; a number
// cell is framed by blanks (the minus sign of a negative number takes the
// place of the leading blank).
#include <string>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
void AppendField(std::string& out, const Cell& cell)
{
    if (auto text = std::get_if<std::string>(&cell)) {
        out += *text;
    } else if (auto number = std::get_if<double>(&cell)) {
        if (!(*number < 0)) out += ' ';
        out += NumberText(*number);
        out += ' ';
    }
}
}  // namespace

void WriteAscFile(const PointTable& table, const std::string& file)
try {
    ReplacingFileWriter out(file);
    std::string chunk;
    chunk.reserve(1 << 16);
    for (const int32_t row : table.RowsToSave()) {
        for (int16_t col = 0; col < PointTable::TotCols; ++col) {
            AppendField(chunk, table.Get(col, row));
            chunk += col + 1 < PointTable::TotCols ? "," : "\r\n";
        }
        if (chunk.size() >= (1 << 16) - 512) {
            out.Write(chunk);
            chunk.clear();
        }
    }
    out.Write(chunk);
    out.Commit();
} catch (const Error&) {
    throw;
} catch (...) {
    throw Error(FailureMessage(file));
}

}  // namespace tessaly
