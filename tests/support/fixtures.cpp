#include "support/fixtures.h"

#include <bit>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tessaly::test {

TempDir::TempDir()
{
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto p = std::filesystem::temp_directory_path() / ("tessaly-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(p)) {
            root_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
}

std::string TempDir::Path(std::string_view name) const { return (root_ / name).string(); }

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

Bytes& Bytes::I16(int16_t v)
{
    auto u = static_cast<uint16_t>(v);
    bytes_ += static_cast<char>(u & 0xff);
    bytes_ += static_cast<char>(u >> 8);
    return *this;
}

Bytes& Bytes::I32(int32_t v)
{
    auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>((u >> (8 * i)) & 0xff);
    return *this;
}

Bytes& Bytes::F64(double v)
{
    auto u = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) bytes_ += static_cast<char>((u >> (8 * i)) & 0xff);
    return *this;
}

Bytes& Bytes::Text(std::string_view text, size_t width, char pad)
{
    std::string field(text.substr(0, width));
    field.resize(width, pad);
    bytes_ += field;
    return *this;
}

Bytes& Bytes::Raw(std::string_view raw)
{
    bytes_ += raw;
    return *this;
}

Bytes& Bytes::Zeros(size_t n)
{
    bytes_.append(n, '\0');
    return *this;
}

std::string CrdNumeric(double count, const std::vector<CrdPoint>& points)
{
    Bytes b;
    b.F64(count).Zeros(48);
    for (const auto& p : points) b.F64(p.northing).F64(p.easting).F64(p.elevation).Text(p.description, 32);
    return b.str();
}

std::string CooBlock(std::string_view number, std::string_view description, std::string_view easting,
                     std::string_view northing, std::string_view elevation)
{
    auto pad = [](std::string_view s, size_t w) {
        std::string t(s);
        t.resize(std::max(w, t.size()), ' ');
        return t;
    };
    // Built by appending: GCC 12 at -O3 warns (falsely) about " " + string.
    std::string out(1, ' ');
    out += pad(number, 8) + std::string(description) + "\r\n";
    out += pad("EASTING", 16) + std::string(easting) + "\r\n";
    out += pad("NORTHING", 16) + std::string(northing) + "\r\n";
    out += pad("ELEVATION", 16) + std::string(elevation) + "\r\n";
    return out;
}

std::vector<std::string> RowTexts(const PointTable& table, int32_t row)
{
    std::vector<std::string> out;
    for (int16_t c = 0; c < PointTable::TotCols; ++c) out.push_back(CellText(table.Get(c, row)));
    return out;
}

}  // namespace tessaly::test
