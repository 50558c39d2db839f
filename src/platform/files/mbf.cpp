#include "platform/files/mbf.h"

#include <bit>
#include <cstdint>

#include "platform/files/byte_order.h"

namespace tessaly {

namespace {
// The bits of the IEEE double with the value of the MBF double at BYTES.
uint64_t IeeeBits(const unsigned char* bytes)
{
    const uint64_t mbf = LeUnsigned(bytes, 8);
    const uint64_t exponent = mbf >> 56;
    if (exponent == 0) return 0;  // zero, positive
    const uint64_t sign = (mbf >> 55) & 1;
    const uint64_t fraction = mbf & ((uint64_t{1} << 55) - 1);
    return sign << 63 | (exponent + 894) << 52 | fraction >> 3;
}
}  // namespace

void MbfToIeee(unsigned char* bytes) { StoreLe(bytes, IeeeBits(bytes), 8); }

double MbfValue(const unsigned char* bytes) { return std::bit_cast<double>(IeeeBits(bytes)); }

}  // namespace tessaly
