#include "support/fixtures.h"

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/files/byte_order.h"

#include <bit>
#include <cmath>
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

std::string TestData(const std::string& name) { return std::string(TESSALY_TEST_DATA) + "/" + name; }

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
    AppendLe(bytes_, static_cast<uint16_t>(v), 2);
    return *this;
}

Bytes& Bytes::I32(int32_t v)
{
    AppendLe(bytes_, static_cast<uint32_t>(v), 4);
    return *this;
}

Bytes& Bytes::F64(double v)
{
    AppendLeDouble(bytes_, v);
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

std::string MbfBytes(double v)
{
    std::string out(8, '\0');
    if (v == 0) return out;
    if (!std::isfinite(v)) throw std::invalid_argument("MBF has no NaN or infinity");
    const auto bits = std::bit_cast<uint64_t>(v);
    const int exponent = static_cast<int>((bits >> 52) & 0x7ff) - 894;
    if (exponent < 1 || exponent > 255) throw std::invalid_argument("outside the MBF range");
    const uint64_t fraction = (bits & ((uint64_t{1} << 52) - 1)) << 3;  // 55 bits
    StoreLe(out.data(), uint64_t(exponent) << 56 | (bits >> 63) << 55 | fraction, 8);
    return out;
}

Bytes& Bytes::Mbf(double v)
{
    bytes_ += MbfBytes(v);
    return *this;
}

std::string Cr5File(const std::vector<Cr5Point>& points, std::string_view header)
{
    Bytes b;
    b.Text(header, 38);
    for (const auto& p : points) b.I32(p.number).F64(p.northing).F64(p.easting).F64(p.elevation).Text(p.description, 17);
    return b.str();
}

std::string SurveyorOneFile(const std::vector<SurveyorPoint>& points, bool threeD, int16_t lead)
{
    Bytes b;
    for (const auto& p : points) {
        b.I16(lead).Mbf(p.northing).Mbf(p.easting);
        if (threeD) b.Mbf(p.elevation);
    }
    return b.str();
}

std::string SurveyorDescriptions(const std::vector<std::string>& texts)
{
    Bytes b;
    for (const auto& t : texts) b.Text(t, 32, ' ');
    return b.str();
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
    // Appends only: GCC 12 at -O3 mistakes the temporaries of a chain of
    // string additions for overlapping copies (-Wrestrict).
    std::string out = " ";
    out += pad(number, 8);
    out += description;
    out += "\r\n";
    for (auto [label, value] : {std::pair{"EASTING", easting}, {"NORTHING", northing}, {"ELEVATION", elevation}}) {
        out += pad(label, 16);
        out += value;
        out += "\r\n";
    }
    return out;
}

std::string LoadOutcome(PointTable& table, const std::string& file, ReaderFn read)
{
    try {
        if (read)
            read(table, file);
        else
            ChooseReader(file).read(table, file, {});
        return "";
    } catch (const Error& e) {
        return e.what();
    }
}

std::vector<std::string> RowTexts(const PointTable& table, int32_t row)
{
    std::vector<std::string> out;
    for (int16_t c = 0; c < PointTable::TotCols; ++c) out.push_back(CellText(table.Get(c, row)));
    return out;
}

}  // namespace tessaly::test
