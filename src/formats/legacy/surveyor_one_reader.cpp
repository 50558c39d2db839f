// Surveyor One coordinate files (any name not claimed by another reader).
//
// No header: a run of fixed-size records whose size follows from the length.
//   3D, 26 bytes (length a multiple of 26, 0 included): 2 unused bytes,
//       northing, easting, elevation as 8-byte MBF doubles;
//   2D, 18 bytes (any other length): 2 unused bytes, northing, easting.
// The 2D count is length / 18 rounded half to even, so a last record may run
// past the end of the file; the missing bytes read as zero. Record i is point
// number i. Descriptions live in a companion file, the point file's name with
// "W" appended: 32-byte records, one per point record; a record that starts
// with "- " means no description, others are stored without blanks at either
// end (Windows-1252). A companion record cut short by the end of its file is
// padded with blanks.
//
// The program that writes these files leaves a last record that is not a
// point: it is always dropped. Records whose northing and easting are both
// zero or negative are dropped too (the table's compaction), and the others
// keep their record numbers.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "formats/load_error.h"
#include "formats/formats.h"
#include "platform/files/binary_file.h"
#include "platform/error.h"
#include "platform/files/mbf.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
constexpr int64_t kRecord3D = 26;
constexpr int64_t kRecord2D = 18;
constexpr int64_t kMaxRecords = 32767;
constexpr size_t kDescription = 32;
constexpr int32_t kChunk = 2048;  // records read at a time

// Length / 18 rounded to the nearest whole number, halves to the even one.
int64_t RoundedCount(int64_t length)
{
    int64_t q = length / kRecord2D, r = length % kRecord2D;
    if (r > kRecord2D / 2 || (r == kRecord2D / 2 && q % 2 == 1)) ++q;
    return q;
}

void ReadDescriptions(PointTable& table, const std::string& companion, int32_t count)
{
    BinaryFile in(companion);
    std::vector<unsigned char> chunk(static_cast<size_t>(kChunk) * kDescription);
    for (int32_t first = 0; first < count; first += kChunk) {
        const size_t n = static_cast<size_t>(std::min(kChunk, count - first));
        const size_t got = in.ReadZeroFilled(chunk.data(), n * kDescription);
        std::memset(chunk.data() + got, ' ', n * kDescription - got);
        for (size_t r = 0; r < n; ++r) {
            std::string_view record(reinterpret_cast<const char*>(chunk.data()) + r * kDescription, kDescription);
            if (record.starts_with("- ")) continue;
            table.Set(ColDescription, first + static_cast<int32_t>(r), Cp1252ToUtf8(TrimBlanks(record)));
        }
    }
}
}  // namespace

void ReadSurveyorOneFile(PointTable& table, const std::string& file)
{
    table.Clear();
    const int64_t length = FileLength(file);
    if (length < 0) {
        BinaryFile probe(file);  // throws with the reason: missing, a folder, ...
        FailFile(file, "file not found");
    }
    const bool threeD = length % kRecord3D == 0;
    const int64_t size = threeD ? kRecord3D : kRecord2D;
    const int64_t count = threeD ? length / kRecord3D : RoundedCount(length);
    if (count > kMaxRecords)
        FailFile<Overflow>(file, "the file is " + std::to_string(length) + " bytes long, " + std::to_string(count) +
                       " records of " + std::to_string(size) + " bytes, more than the " +
                       std::to_string(kMaxRecords) + " this format allows");

    {
        BinaryFile in(file);
        std::vector<unsigned char> chunk(static_cast<size_t>(kChunk * size));
        for (int64_t first = 1; first <= count; first += kChunk) {
            const int64_t n = std::min<int64_t>(kChunk, count - first + 1);
            in.ReadZeroFilled(chunk.data(), static_cast<size_t>(n * size));
            for (int64_t r = 0; r < n; ++r) {
                const unsigned char* rec = chunk.data() + r * size;  // bytes 0..1 are not used
                const double northing = MbfValue(rec + 2);
                const double easting = MbfValue(rec + 10);
                Cell elevation = threeD ? Cell(NumberText(MbfValue(rec + 18))) : Cell(0.0);
                AddPointOf(table, file,
                           {std::to_string(first + r), NumberText(northing), NumberText(easting),
                            std::move(elevation), std::string()});
            }
        }
    }

    const std::string companion = file + "W";
    if (FileExists(companion)) ReadDescriptions(table, companion, table.CurrItems());

    if (table.CurrItems() == 0)
        FailFile<OutOfRange>(file, "the file is " + std::to_string(length) + " bytes long and holds no point record");
    for (int16_t c = 0; c < PointTable::TotCols; ++c) table.Set(c, table.CurrItems() - 1, std::string());
    table.CompactPoints();
}

}  // namespace tessaly
