#include "platform/files/mbf.h"

#include <cstdint>
#include <cstring>

#include "platform/files/byte_order.h"

namespace tessaly {

void MbfToIeee(unsigned char* bytes)
{
    const uint64_t mbf = LeUnsigned(bytes, 8);
    const uint64_t exponent = mbf >> 56;
    uint64_t ieee = 0;  // E = 0: zero, positive
    if (exponent != 0) {
        const uint64_t sign = (mbf >> 55) & 1;
        const uint64_t fraction = mbf & ((uint64_t{1} << 55) - 1);
        ieee = sign << 63 | (exponent + 894) << 52 | fraction >> 3;
    }
    StoreLe(bytes, ieee, 8);
}

double MbfValue(const unsigned char* bytes)
{
    unsigned char copy[8];
    std::memcpy(copy, bytes, sizeof copy);
    MbfToIeee(copy);
    return LeDouble(copy);
}

}  // namespace tessaly
