#pragma once
// Little-endian numbers in raw bytes, whatever the host's own byte order: the
// binary point files, Access databases and the database helper's frames all
// store them so. Every reader and writer of such bytes goes through here.
#include <bit>
#include <cstdint>
#include <string>

namespace tessaly {

// The N bytes at P (N from 1 to 8), least significant first.
inline uint64_t LeUnsigned(const void* p, int n)
{
    const auto* bytes = static_cast<const unsigned char*>(p);
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | bytes[i];
    return v;
}

// The same bytes as a two's complement number.
inline int64_t LeSigned(const void* p, int n)
{
    uint64_t v = LeUnsigned(p, n);
    if (n < 8 && (v >> (8 * n - 1)) & 1) v |= ~uint64_t{0} << (8 * n);
    return static_cast<int64_t>(v);
}

inline int32_t LeInt32(const void* p) { return static_cast<int32_t>(LeSigned(p, 4)); }
inline uint32_t LeUint32(const void* p) { return static_cast<uint32_t>(LeUnsigned(p, 4)); }
// IEEE 754 doubles and singles.
inline double LeDouble(const void* p) { return std::bit_cast<double>(LeUnsigned(p, 8)); }
inline float LeSingle(const void* p) { return std::bit_cast<float>(LeUint32(p)); }

// Stores the N lowest bytes of V at P, least significant first.
inline void StoreLe(void* p, uint64_t v, int n)
{
    auto* bytes = static_cast<unsigned char*>(p);
    for (int i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Appends the N lowest bytes of V to OUT, least significant first.
inline void AppendLe(std::string& out, uint64_t v, int n)
{
    for (int i = 0; i < n; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void AppendLeDouble(std::string& out, double v) { AppendLe(out, std::bit_cast<uint64_t>(v), 8); }

}  // namespace tessaly
