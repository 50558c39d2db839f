#pragma once
// Microsoft Binary Format (MBF) doubles, the floating-point format of older
// BASIC compilers, still found in Surveyor One coordinate files.
//
// Eight bytes b0..b7 in file order: b7 is the exponent E (bias 129 for a
// significand 1.f), bit 7 of b6 the sign, and the other 55 bits (b6 bits 6..0,
// then b5 down to b0) the fraction F. E = 0 is zero whatever the rest holds;
// otherwise the value is (-1)^sign * (1 + F / 2^55) * 2^(E - 129). Every MBF
// value is a normal IEEE double: same sign, biased exponent E + 894, and the
// top 52 bits of F as its fraction. The three lowest bits of F do not fit and
// are dropped (truncation, at most one unit in the last place).
namespace tessaly {

// Rewrites the 8 bytes at BYTES, an MBF double, in place as the little-endian
// IEEE 754 double of the same value.
void MbfToIeee(unsigned char* bytes);

// The value of the MBF double at BYTES (which are left unchanged).
double MbfValue(const unsigned char* bytes);

}  // namespace tessaly
