// The type Z words and coordinates are formed in: the x87 80-bit extended format. Where long double is that
// format the FPU computes it; elsewhere (quad on arm64) Extended80 does, bit for bit the same. Extended80
// needs a 64-bit target (it computes with 128-bit integers, as RealToStr does). KORVEX_SOFT_EXTENDED selects
// the software type on x87 too, so its results can be checked there.
//
// Code that computes with Extended therefore works with both types: +, -, *, / and the comparisons, operands
// of type double, int or long double; static_cast<double>; signbit, isnan, isinf and fabs called unqualified
// (after `using std::fabs;` ...); the bits through PartsOf, never through memcpy; powers of ten through
// PowerOfTen. A long double literal (25.4L) is rounded from quad on arm64, which gives the x87 value for a
// literal that is not a tie at 64 bits (Extended80Test pins the ones the engine uses). `make test-arm64`
// builds and tests the software side for real.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "conversion/Extended80.h"

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64 && !defined(KORVEX_SOFT_EXTENDED)
#define KORVEX_HARDWARE_EXTENDED 1
#endif

namespace korvex::conversion {

// The stored fields of a value: the biased exponent (0 for zero and the subnormals) and the 64-bit
// significand with its explicit integer bit.
struct ExtendedParts {
    bool negative;
    int exponent;
    std::uint64_t significand;
};

#ifdef KORVEX_HARDWARE_EXTENDED

using Extended = long double;

inline ExtendedParts PartsOf(Extended value) {
    unsigned char bytes[10];
    std::memcpy(bytes, &value, sizeof bytes);
    std::uint64_t significand = 0;
    std::memcpy(&significand, bytes, sizeof significand);
    const int signAndExponent = bytes[8] | (bytes[9] << 8);
    return ExtendedParts{(signAndExponent & 0x8000) != 0, signAndExponent & 0x7FFF, significand};
}

// 10^k for k >= 0, infinity above 4932.
inline Extended PowerOfTen(int k) {
    return std::pow(10.0L, static_cast<Extended>(k));
}

#else

using Extended = Extended80;

inline ExtendedParts PartsOf(Extended value) {
    return ExtendedParts{value.Negative(), value.Exponent(), value.Significand()};
}

inline Extended PowerOfTen(int k) {
    return Extended80::PowerOfTen(k);
}

#endif

} // namespace korvex::conversion
