#pragma once
// Builders for the files the tests read, and small file helpers.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

// Little-endian encoders for building binary records.
class Bytes {
public:
    Bytes& I16(int16_t v);
    Bytes& I32(int32_t v);
    Bytes& F64(double v);
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

// The five cells of a row as the writer would show them ("" for empty, the
// number text for a number).
std::vector<std::string> RowTexts(const PointTable& table, int32_t row);

}  // namespace tessaly::test
