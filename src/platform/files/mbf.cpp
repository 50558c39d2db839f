#include "platform/files/mbf.h"

#include <cstdint>
#include <cstring>

#include "platform/files/binary_file.h"

namespace tessaly {

void MbfToIeee(unsigned char* bytes)
{
    const unsigned exponent = bytes[7];
    uint64_t ieee = 0;  // E = 0: zero, positive
    if (exponent != 0) {
        const uint64_t sign = bytes[6] >> 7;
        uint64_t fraction = bytes[6] & 0x7fu;
        for (int i = 5; i >= 0; --i) fraction = (fraction << 8) | bytes[i];
        ieee = sign << 63 | uint64_t(exponent + 894) << 52 | fraction >> 3;
    }
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(ieee >> (8 * i));
}

double MbfValue(const unsigned char* bytes)
{
    unsigned char copy[8];
    std::memcpy(copy, bytes, sizeof copy);
    MbfToIeee(copy);
    return LeDouble(copy);
}

}  // namespace tessaly
