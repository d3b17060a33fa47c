#include <cmath>
#include <cstdint>
#include <cstring>

#include "conversion/fast/FastPaths.h"

namespace korvex::conversion {

// Exact fast paths for numbers. They use only arithmetic on double, never the layout of Extended, so they
// hold whatever type Extended is.

namespace {

__extension__ typedef unsigned __int128 U128;

bool fastPaths = true;

// Two digits at a time from a table: the formatter's inner loop has no division by ten.
constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// The decimal digits of n < 10^8, without leading zeros (at least one digit); returns the count.
std::size_t WriteSmallInteger(std::uint32_t n, char* out) {
    char digits[10];
    char* const end = digits + sizeof digits;
    char* p = end;
    while (n >= 100) {
        const std::uint32_t pair = n % 100;
        n /= 100;
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * pair, 2);
    }
    if (n >= 10) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * n, 2);
    } else {
        *--p = static_cast<char>('0' + n);
    }
    const auto count = static_cast<std::size_t>(end - p);
    std::memcpy(out, p, count);
    return count;
}

std::uint64_t DigitPair(std::uint32_t n) {
    std::uint16_t pair = 0;
    std::memcpy(&pair, kDigitPairs + 2 * n, 2);
    return pair;
}

// The digits of n <= 10^6 without leading zeros (at least one), a point and the three digits of `decimals`
// < 1000, into `out`, which has room for 12 characters; returns the length. The text is put together in
// registers and stored in two pieces: storing it byte by byte and copying it on would make the processor wait
// for the bytes to reach its cache.
std::size_t WriteThreeDecimalText(std::uint32_t n, std::uint32_t decimals, char* out) {
    if (!kLittleEndian) {
        const std::size_t length = WriteSmallInteger(n, out);
        out[length] = '.';
        out[length + 1] = static_cast<char>('0' + decimals / 100);
        std::memcpy(out + length + 2, kDigitPairs + 2 * (decimals % 100), 2);
        return length + 4;
    }
    // Six digits with leading zeros, the first one in the lowest byte; the leading zeros shifted out.
    std::uint64_t digits = DigitPair(n / 10000 % 100) | DigitPair(n / 100 % 100) << 16 | DigitPair(n % 100) << 32;
    const std::size_t count = 1u + (n >= 10) + (n >= 100) + (n >= 1000) + (n >= 10000) + (n >= 100000);
    digits >>= 8 * (6 - count);
    const auto tail = static_cast<std::uint32_t>('.' | ('0' + decimals / 100) << 8 | DigitPair(decimals % 100) << 16);
    std::memcpy(out, &digits, 8);
    std::memcpy(out + count, &tail, 4);
    return count + 4;
}

} // namespace

double ShortDecimal(std::uint64_t digits, std::size_t fracDigits) {
    static constexpr double kPowers[kMaxShortDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const auto value = static_cast<double>(digits);
    return fracDigits == 0 ? value : value / kPowers[fracDigits];
}

void EnableFastPaths(bool on) {
    fastPaths = on;
}

bool FastPathsEnabled() {
    return fastPaths;
}

// Below 10^5 the full algorithm's extended-precision steps (a division by a power of ten, a rounding to 17
// decimals) move v * 1000 by less than 2^-30, so rounding the exact v * 1000 half up gives its digits,
// except where the exact fraction lies so close to one half that those steps could tip it: there, as for
// every other value, the answer is "don't know".
std::size_t WriteThreeDecimals(double value, char* out) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < kThreeDecimalsBound)) {
        return 0; // large, infinite or NaN
    }
    if (magnitude == 0) {
        if (std::signbit(value)) {
            return 0;
        }
        std::memcpy(out, "0.000", 5);
        return 5;
    }
    // magnitude = mantissa / 2^shift, read from the bits of the double (a normal one: subnormals have a
    // shift above 120).
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);
    const int shift = 1075 - biased;
    if (shift > 120) {
        return 0; // tiny and subnormal values
    }
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const U128 scaled = static_cast<U128>(mantissa) * 1000u;
    const U128 one = static_cast<U128>(1) << shift;
    const U128 below = scaled & (one - 1);
    const U128 half = one >> 1;
    const U128 distance = below > half ? below - half : half - below;
    if (distance < (static_cast<U128>(1) << (shift - 28))) {
        return 0;
    }
    const auto kept = static_cast<std::uint32_t>((scaled >> shift) + (below > half ? 1 : 0));
    std::size_t length = 0;
    if (std::signbit(value)) {
        out[length++] = '-';
    }
    return length + WriteThreeDecimalText(kept / 1000, kept % 1000, out + length);
}

} // namespace korvex::conversion
