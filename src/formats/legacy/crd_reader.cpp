// Orvelle coordinate files (*.crd).
//
// Two layouts. "Numeric": 56-byte records from byte 0; record 0 holds the
// number of point records N in its first double, record r (1..N) holds point
// number r: northing, easting, elevation (little-endian IEEE doubles) and a
// 32-byte description. "Alpha": a 104-byte header whose signature field
// (bytes 72..103) says "New CRD Format", then 66-byte records, and a length of
// 104 + 66k bytes. Points are read from the "Numeric" layout only; an "Alpha"
// file loads as an empty table, and the table says why. Descriptions are
// Windows-1252.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "formats/strip_nul.h"
#include "platform/files/binary_file.h"
#include "platform/files/byte_order.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
constexpr int64_t kHeaderSize = 104;
constexpr int64_t kAlphaRecord = 66;
constexpr size_t kRecord = 56;
constexpr std::string_view kAlphaSignature = "New CRD Format";

std::string_view Field(const unsigned char* bytes, size_t offset, size_t size)
{
    return {reinterpret_cast<const char*>(bytes) + offset, size};
}
}  // namespace

void ReadCrdFile(PointTable& table, const std::string& file)
{
    table.Clear();
    BinaryFile in(file);
    const int64_t length = in.Length();

    // Bytes that the file does not have (a header or records cut short) read
    // as zero: a missing record is then an empty point slot.
    if (length <= 0) return;
    std::array<unsigned char, kHeaderSize> header{};
    in.ReadZeroFilled(header.data(), header.size());
    const bool signature = StripNul(Field(header.data(), 72, 32)) == kAlphaSignature;
    if (signature && (length - kHeaderSize) % kAlphaRecord == 0) {
        const int64_t records = (length - kHeaderSize) / kAlphaRecord;
        if (records > 32767)
            FailFile(file, "the file holds " + std::to_string(records) +
                               " records, more than the 32767 this format allows");
        table.SetPointsNotRead(FileMessage(file, "the points are in the Alpha layout, which is not read (" +
                                                     std::to_string(records) +
                                                     (records == 1 ? " record)" : " records)")));
        return;
    }

    in.Seek(0);
    std::array<unsigned char, kRecord> rec{};
    in.ReadZeroFilled(rec.data(), rec.size());
    const double count = RoundHalfEven(LeDouble(rec.data()));
    if (!(count >= -32768 && count <= 32767))
        FailFile(file, "the point count " + NumberText(LeDouble(rec.data())) +
                           " at byte 0 is outside -32768 to 32767");
    const int32_t n = static_cast<int32_t>(count);

    // The records are read a block at a time.
    constexpr int32_t kBlock = static_cast<int32_t>(kIoBlock / kRecord);
    std::vector<unsigned char> block(kBlock * kRecord);
    std::string decoded;
    for (int32_t first = 1; first <= n; first += kBlock) {
        const int32_t records = std::min(kBlock, n - first + 1);
        in.ReadZeroFilled(block.data(), static_cast<size_t>(records) * kRecord);
        for (int32_t i = 0; i < records; ++i) {
            const unsigned char* record = block.data() + static_cast<size_t>(i) * kRecord;
            const double northing = LeDouble(record);
            const double easting = LeDouble(record + 8);
            if (!(northing > 0) && !(easting > 0)) continue;  // an empty point slot
            AddTextPointOf(table, file, first + i, northing, easting, LeDouble(record + 16),
                           Cp1252ToUtf8(TrimBlanks(StripNul(Field(record, 24, 32))), decoded));
        }
    }
}

}  // namespace tessaly
