// COGO points files (*.coo): text, four lines a point, no header.
//   line 1: position 1 not used, 2..9 point number, 10..59 description
//   line 2: 1..16 label, 17..66 easting
//   line 3: 1..16 label, 17..66 northing
//   line 4: 1..16 label, 17..66 elevation
// Lines end at CR or CR LF; the text is Windows-1252, its positions bytes.
// Every block gives a row; a block cut short by the end of the file fails the
// load and is not stored.
#include <string>
#include <string_view>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "platform/files/text_file.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
constexpr size_t kUsedWidth = 66;  // nothing after position 66 is read

// Positions FIRST..LAST (from 1) of a line; what lies beyond its end is empty.
std::string_view Columns(std::string_view line, size_t first, size_t last)
{
    if (line.size() < first) return {};
    return line.substr(first - 1, last - first + 1);
}

std::string Text(std::string_view line, size_t first, size_t last)
{
    return Cp1252ToUtf8(TrimBlanks(Columns(line, first, last)));
}

std::string Value(std::string_view line) { return NumberText(LeadingNumber(TrimBlanks(Columns(line, 17, 66)))); }
}  // namespace

void ReadCooFile(PointTable& table, const std::string& file)
{
    table.Clear();
    TextLineReader in(file);
    std::string l1, l2, l3, l4;
    do {
        const int64_t first = in.LineNumber() + 1;
        try {
            in.ReadLine(l1, kUsedWidth);
            in.ReadLine(l2, kUsedWidth);
            in.ReadLine(l3, kUsedWidth);
            in.ReadLine(l4, kUsedWidth);
        } catch (const Error&) {
            if (!in.AtEnd()) throw;  // a read error, not the end of the file
            if (in.LineNumber() == 0) FailFile(file, "the file is empty");
            FailFile(file, "the file ends inside the point block that starts at line " + std::to_string(first) +
                               " (line " + std::to_string(in.LineNumber() + 1) + " is missing)");
        }
        AddPointOf(table, file,
                   {Text(l1, 2, 9), Value(l3), Value(l2), Value(l4), Text(l1, 10, 59)});
    } while (!in.AtEnd());
}

}  // namespace tessaly
