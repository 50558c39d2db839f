#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "platform/files/byte_order.h"
#include "platform/files/mbf.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
// Converts 8 MBF bytes in place and returns the IEEE double they now hold.
double Convert(std::string bytes)
{
    auto* p = reinterpret_cast<unsigned char*>(bytes.data());
    MbfToIeee(p);
    return LeDouble(p);
}
std::string Hex(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}
}  // namespace

TEST(Mbf, KnownValues)
{
    const struct {
        std::string bytes;
        double value;
    } cases[] = {
        {Hex({0, 0, 0, 0, 0, 0, 0, 0x81}), 1.0},
        {Hex({0, 0, 0, 0, 0, 0, 0, 0x80}), 0.5},
        {Hex({0, 0, 0, 0, 0, 0, 0xC0, 0x82}), -3.0},
        {Hex({0, 0, 0, 0, 0, 0, 0x20, 0x84}), 10.0},
        // The three lowest fraction bits do not fit a double and are dropped.
        {Hex({0x07, 0, 0, 0, 0, 0, 0, 0x81}), 1.0},
        {Hex({0x08, 0, 0, 0, 0, 0, 0, 0x81}), 1.0 + std::ldexp(1.0, -52)},
        {Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x81}), 2.0 - std::ldexp(1.0, -52)},
        // The ends of the exponent range.
        {Hex({0, 0, 0, 0, 0, 0, 0, 0x01}), std::ldexp(1.0, -128)},
        {Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), -std::ldexp(2.0 - std::ldexp(1.0, -52), 126)},
    };
    for (const auto& c : cases) EXPECT_EQ(Convert(c.bytes), c.value) << c.value;
}

TEST(Mbf, ZeroExponentIsPositiveZeroWhateverTheRest)
{
    for (const std::string& bytes : {Hex({0, 0, 0, 0, 0, 0, 0, 0}), Hex({0xFF, 1, 2, 3, 4, 5, 0xFF, 0})}) {
        std::string b = bytes;
        MbfToIeee(reinterpret_cast<unsigned char*>(b.data()));
        EXPECT_EQ(b, std::string(8, '\0'));
    }
}

TEST(Mbf, EveryValueIsFinite)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 100000; ++i) {
        uint64_t bits = rng();
        unsigned char b[8];
        std::memcpy(b, &bits, 8);
        double v = MbfValue(b);
        ASSERT_TRUE(std::isfinite(v));
        ASSERT_TRUE(v == 0 || std::isnormal(v));
    }
}

TEST(Mbf, RoundTripsThroughTheEncoder)
{
    std::vector<double> values = {0.1, -0.1, 1e-30, 1e30, 123456.789, -987654.321, 2.5e-38, 1.7e38, 3.0, 1.0 / 3};
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-128, 126);
    for (int i = 0; i < 20000; ++i)
        values.push_back((i % 2 ? -1 : 1) * std::ldexp(mantissa(rng), exponent(rng)));
    for (double v : values) {
        std::string b = MbfBytes(v);
        ASSERT_EQ(MbfValue(reinterpret_cast<const unsigned char*>(b.data())), v) << v;
        MbfToIeee(reinterpret_cast<unsigned char*>(b.data()));
        ASSERT_EQ(std::bit_cast<uint64_t>(LeDouble(reinterpret_cast<const unsigned char*>(b.data()))),
                  std::bit_cast<uint64_t>(v));
    }
}
