// TDS coordinate files (*.cr5).
//
// A 38-byte header that carries nothing the points need (two texts of 11 and
// 19 bytes, two 4-byte values), then 45-byte records:
//   0  int32   point number (below 1: no point)
//   4  double  northing
//   12 double  easting
//   20 double  elevation
//   28 17 bytes description, ended by a NUL or filling the field
// All numbers little-endian. The record count comes from the length alone:
// floor((L - 38) / 45); a partial record at the end is never read. Accepted
// records fill consecutive rows in file order with their own point numbers.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "platform/files/binary_file.h"
#include "platform/files/byte_order.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
constexpr int64_t kHeader = 38;
constexpr int64_t kHeaderTexts = 30;  // a file that ends inside the two texts cannot be read
constexpr size_t kRecord = 45;
constexpr size_t kDescription = 17;
constexpr size_t kChunk = kIoBlock / kRecord;  // records read at a time

// The description is cut after its first NUL (the NUL stays, as a blank), and
// every byte outside 32..126 becomes a blank. Nothing is trimmed.
std::string_view CleanDescription(const unsigned char* field, std::array<char, kDescription>& text)
{
    const unsigned char* end = field + kDescription;
    const unsigned char* nul = std::find(field, end, 0);
    if (nul != end) end = nul + 1;
    const auto size = static_cast<size_t>(end - field);
    for (size_t i = 0; i < size; ++i)
        text[i] = field[i] < 32 || field[i] > 126 ? ' ' : static_cast<char>(field[i]);
    return {text.data(), size};
}
}  // namespace

void ReadCr5File(PointTable& table, const std::string& file)
{
    table.Clear();
    BinaryFile in(file);
    const int64_t length = in.Length();
    if (length < kHeaderTexts)
        FailFile(file, "the file ends at byte " + std::to_string(length) + ", inside the " +
                           std::to_string(kHeaderTexts) + "-byte header text");
    if (length < kHeader) return;

    int64_t remaining = (length - kHeader) / static_cast<int64_t>(kRecord);
    in.Seek(kHeader);
    std::vector<unsigned char> chunk(kChunk * kRecord);
    std::array<char, kDescription> description;
    while (remaining > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(remaining, kChunk));
        in.ReadExact(chunk.data(), n * kRecord);
        remaining -= static_cast<int64_t>(n);
        for (size_t r = 0; r < n; ++r) {
            const unsigned char* rec = chunk.data() + r * kRecord;
            const int32_t number = LeInt32(rec);
            if (number < 1) continue;
            AddTextPointOf(table, file, number, LeDouble(rec + 4), LeDouble(rec + 12), LeDouble(rec + 20),
                           CleanDescription(rec + 28, description));
        }
    }
}

}  // namespace tessaly
