#pragma once
// Builders for the files the tests read, and small file helpers.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "formats/formats.h"
#include "table/point_table.h"

namespace tessaly::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(std::string_view name) const;
    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
};

// The path of NAME in tests/data, the reference files kept with the tests.
std::string TestData(const std::string& name);

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

// Little-endian encoders for building binary records.
class Bytes {
public:
    Bytes& I16(int16_t v);
    Bytes& I32(int32_t v);
    Bytes& F64(double v);
    // V as an 8-byte MBF double (see MbfBytes).
    Bytes& Mbf(double v);
    // Exactly WIDTH bytes: TEXT cut or padded with PAD.
    Bytes& Text(std::string_view text, size_t width, char pad = '\0');
    Bytes& Raw(std::string_view raw);
    Bytes& Zeros(size_t n);
    const std::string& str() const { return bytes_; }
    size_t size() const { return bytes_.size(); }

private:
    std::string bytes_;
};

// A "Numeric" coordinate file: record 0 holds COUNT, then the points.
struct CrdPoint {
    double northing, easting, elevation;
    std::string description;  // padded with NULs to 32 bytes unless it is 32 long
};
std::string CrdNumeric(double count, const std::vector<CrdPoint>& points);

// A COGO block of four CR LF-ended lines.
std::string CooBlock(std::string_view number, std::string_view description, std::string_view easting,
                     std::string_view northing, std::string_view elevation);

// V as the 8 bytes of an MBF double: exponent byte last, sign in the top bit
// of the byte before it, the IEEE fraction shifted up by three bits. Zero
// gives eight zero bytes. Throws std::invalid_argument for a value MBF cannot
// hold (NaN, infinities, magnitudes outside 2^-128 .. 2^127).
std::string MbfBytes(double v);

// A TDS coordinate file: a 38-byte header (HEADER cut or padded with NULs),
// then one 45-byte record per point.
struct Cr5Point {
    int32_t number;
    double northing, easting, elevation;
    std::string description;  // padded with NULs to 17 bytes, or cut
};
std::string Cr5File(const std::vector<Cr5Point>& points, std::string_view header = {});

// A Surveyor One point file: 26-byte records (3D) or 18-byte records (2D),
// the two leading bytes set to LEAD.
struct SurveyorPoint {
    double northing, easting, elevation;
};
std::string SurveyorOneFile(const std::vector<SurveyorPoint>& points, bool threeD, int16_t lead = 0);
// A companion description file: each text padded with blanks to 32 bytes.
std::string SurveyorDescriptions(const std::vector<std::string>& texts);

// Loads FILE with READ, or with the reader its name chooses when READ is
// null: "" for a complete load, the error message for a failed one.
std::string LoadOutcome(PointTable& table, const std::string& file, ReaderFn read = nullptr);

// The five cells of a row as the writer would show them ("" for empty, the
// number text for a number).
std::vector<std::string> RowTexts(const PointTable& table, int32_t row);

}  // namespace tessaly::test
