#include "conversion/Extended80.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace korvex::conversion {

namespace {

using Wide = Extended80Wide;

// The exponent of the lowest significand bit for exponent field 1 and for the subnormals.
constexpr int kLowestLsb = 1 - Extended80::kBias - 63;

int BitLength(Wide m) {
    const auto high = static_cast<std::uint64_t>(m >> 64);
    const auto low = static_cast<std::uint64_t>(m);
    if (high != 0) {
        return 128 - __builtin_clzll(high);
    }
    return low != 0 ? 64 - __builtin_clzll(low) : 0;
}

int LsbExponent(Extended80 a) {
    return std::max<int>(a.Exponent(), 1) - Extended80::kBias - 63;
}

Extended80 Zero(bool negative) {
    return Extended80::FromParts(negative, 0, 0);
}

Extended80 Infinity(bool negative) {
    return Extended80::FromParts(negative, Extended80::kMaxExponent, Extended80::kIntegerBit);
}

// What the FPU returns for an invalid operation such as inf - inf or 0 / 0.
Extended80 DefaultNaN() {
    return Extended80::FromParts(true, Extended80::kMaxExponent, 0xC000000000000000ull);
}

// A NaN operand comes back quiet; of two, the one with the larger significand.
Extended80 PropagateNaN(Extended80 a, Extended80 b) {
    constexpr std::uint64_t quietBit = 0x4000000000000000ull;
    Extended80 chosen = a;
    if (!isnan(a) || (isnan(b) && b.Significand() > a.Significand())) {
        chosen = b;
    }
    return Extended80::FromParts(chosen.Negative(), chosen.Exponent(), chosen.Significand() | quietBit);
}

// m / 2^shift to nearest, ties to even; `sticky` says something nonzero lies below m's lowest bit.
Wide ShiftRightRounded(Wide m, int shift, bool sticky) {
    if (shift <= 0) {
        return m << -shift;
    }
    if (shift > 128) {
        return 0;
    }
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    if (shift == 128) {
        return (m > half || (m == half && sticky)) ? 1 : 0;
    }
    Wide quotient = m >> shift;
    const Wide remainder = m & ((static_cast<Wide>(1) << shift) - 1);
    if (remainder > half || (remainder == half && (sticky || (quotient & 1) != 0))) {
        ++quotient;
    }
    return quotient;
}

// (m + sticky) * 2^exp2 in the format. The callers leave at least two bits below the kept 64 whenever
// sticky is set, so the sticky bit can only decide a tie.
Extended80 Round(bool negative, Wide m, int exp2, bool sticky) {
    if (m == 0) {
        return Zero(negative);
    }
    int lsb = std::max(exp2 + BitLength(m) - 64, kLowestLsb);
    Wide significand = ShiftRightRounded(m, lsb - exp2, sticky);
    if (significand >> 64 != 0) {
        significand >>= 1;
        ++lsb;
    }
    if (significand == 0) {
        return Zero(negative);
    }
    const auto bits = static_cast<std::uint64_t>(significand);
    if ((bits & Extended80::kIntegerBit) == 0) {
        return Extended80::FromParts(negative, 0, bits);
    }
    const int exponent = lsb + Extended80::kBias + 63;
    if (exponent >= Extended80::kMaxExponent) {
        return Infinity(negative);
    }
    return Extended80::FromParts(negative, static_cast<std::uint16_t>(exponent), bits);
}

bool IsZero(Extended80 a) {
    return a.Exponent() == 0 && a.Significand() == 0;
}

// Magnitude order of two finite values: the exponent field first, then the significand.
bool MagnitudeLess(Extended80 a, Extended80 b) {
    return a.Exponent() != b.Exponent() ? a.Exponent() < b.Exponent() : a.Significand() < b.Significand();
}

Extended80 Add(Extended80 a, Extended80 b) {
    if (isnan(a) || isnan(b)) {
        return PropagateNaN(a, b);
    }
    if (isinf(a)) {
        return isinf(b) && a.Negative() != b.Negative() ? DefaultNaN() : a;
    }
    if (isinf(b)) {
        return b;
    }
    if (IsZero(a) && IsZero(b)) {
        return Zero(a.Negative() && b.Negative());
    }
    if (IsZero(b)) {
        return a;
    }
    if (IsZero(a)) {
        return b;
    }
    if (MagnitudeLess(a, b)) {
        std::swap(a, b);
    }
    // 63 guard bits: the sum stays below 2^128, and when the smaller operand loses bits to the sticky bit
    // the difference still keeps more than 60 of them.
    const int distance = LsbExponent(a) - LsbExponent(b);
    const Wide ma = static_cast<Wide>(a.Significand()) << 63;
    Wide mb = 0;
    bool sticky = false;
    if (distance <= 63) {
        mb = static_cast<Wide>(b.Significand()) << (63 - distance);
    } else if (distance < 127) {
        const int lost = distance - 63;
        mb = b.Significand() >> lost;
        sticky = (b.Significand() & ((1ull << lost) - 1)) != 0;
    } else {
        sticky = true;
    }
    if (a.Negative() == b.Negative()) {
        return Round(a.Negative(), ma + mb, LsbExponent(a) - 63, sticky);
    }
    Wide difference = ma - mb;
    if (difference == 0) {
        return Zero(false);
    }
    if (sticky) {
        // ma - mb - e with 0 < e < 1 is (ma - mb - 1) plus something in (0, 1).
        --difference;
    }
    return Round(a.Negative(), difference, LsbExponent(a) - 63, sticky);
}

// The significand with the integer bit set (subnormals shifted up) and the exponent of its lowest bit.
void Normalize(Extended80 a, std::uint64_t& significand, int& lsb) {
    significand = a.Significand();
    lsb = LsbExponent(a);
    const int leading = __builtin_clzll(significand);
    significand <<= leading;
    lsb -= leading;
}

} // namespace

Extended80::Extended80(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    negative_ = (bits >> 63) != 0;
    const auto field = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((1ull << 52) - 1);
    if (field == 0x7FF) {
        // Infinity keeps its integer bit alone; a NaN keeps its payload and comes back quiet.
        exponent_ = kMaxExponent;
        significand_ = kIntegerBit | (fraction << 11) | (fraction != 0 ? 0x4000000000000000ull : 0);
        return;
    }
    if (field == 0) {
        *this = fraction == 0 ? Zero(negative_) : Round(negative_, fraction, -1074, false);
        return;
    }
    exponent_ = static_cast<std::uint16_t>(field - 1023 + kBias);
    significand_ = kIntegerBit | (fraction << 11);
}

Extended80::Extended80(int value) {
    const std::int64_t wide = value;
    *this = Round(value < 0, static_cast<std::uint64_t>(wide < 0 ? -wide : wide), 0, false);
}

Extended80::Extended80(Extended80Wide value) : Extended80(Round(false, value, 0, false)) {}

Extended80::Extended80(long double value) {
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        *this = FromParts(negative, kMaxExponent, 0xC000000000000000ull);
        return;
    }
    if (std::isinf(value)) {
        *this = Infinity(negative);
        return;
    }
    if (value == 0) {
        *this = Zero(negative);
        return;
    }
    // The magnitude as f * 2^e with f in [0.5, 1): its leading 64 bits, two more, and whether any follow.
    // Each step is exact in every long double format.
    int exponent = 0;
    const long double scaled = std::ldexp(std::frexp(std::fabs(value), &exponent), 66);
    const long double whole = std::floor(scaled);
    const auto high = static_cast<std::uint64_t>(std::ldexp(whole, -64));
    const auto low = static_cast<std::uint64_t>(whole - std::ldexp(static_cast<long double>(high), 64));
    const Wide m = (static_cast<Wide>(high) << 64) | low;
    *this = Round(negative, m, exponent - 66, scaled != whole);
}

Extended80::operator double() const {
    if (isnan(*this)) {
        return std::copysign(std::numeric_limits<double>::quiet_NaN(), negative_ ? -1.0 : 1.0);
    }
    if (isinf(*this)) {
        return negative_ ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    std::uint64_t bits = negative_ ? 1ull << 63 : 0;
    if (significand_ != 0) {
        // Rounded once, straight to the double's 53 bits or to its subnormal grid.
        const int lsb = LsbExponent(*this);
        const int top = lsb + 63 - __builtin_clzll(significand_);
        int lsbDouble = std::max(top - 52, -1074);
        Wide kept = ShiftRightRounded(significand_, lsbDouble - lsb, false);
        if (kept >> 53 != 0) {
            kept >>= 1;
            ++lsbDouble;
        }
        const auto fraction = static_cast<std::uint64_t>(kept);
        if (fraction >> 52 == 0) {
            bits |= fraction; // subnormal or zero
        } else {
            const int field = lsbDouble + 52 + 1023;
            if (field >= 0x7FF) {
                bits |= 0x7FFull << 52;
            } else {
                bits |= (static_cast<std::uint64_t>(field) << 52) | (fraction & ((1ull << 52) - 1));
            }
        }
    }
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Extended80::operator long double() const {
    if (isnan(*this)) {
        return std::copysign(std::numeric_limits<long double>::quiet_NaN(), negative_ ? -1.0L : 1.0L);
    }
    if (isinf(*this)) {
        return negative_ ? -std::numeric_limits<long double>::infinity() : std::numeric_limits<long double>::infinity();
    }
    const long double magnitude = std::ldexp(static_cast<long double>(significand_), LsbExponent(*this));
    return negative_ ? -magnitude : magnitude;
}

Extended80 operator+(Extended80 a, Extended80 b) {
    return Add(a, b);
}

Extended80 operator-(Extended80 a, Extended80 b) {
    return isnan(b) ? PropagateNaN(a, b) : Add(a, -b);
}

Extended80 operator*(Extended80 a, Extended80 b) {
    if (isnan(a) || isnan(b)) {
        return PropagateNaN(a, b);
    }
    const bool negative = a.Negative() != b.Negative();
    if (isinf(a) || isinf(b)) {
        return IsZero(a) || IsZero(b) ? DefaultNaN() : Infinity(negative);
    }
    if (IsZero(a) || IsZero(b)) {
        return Zero(negative);
    }
    const Wide product = static_cast<Wide>(a.Significand()) * b.Significand();
    return Round(negative, product, LsbExponent(a) + LsbExponent(b), false);
}

Extended80 operator/(Extended80 a, Extended80 b) {
    if (isnan(a) || isnan(b)) {
        return PropagateNaN(a, b);
    }
    const bool negative = a.Negative() != b.Negative();
    if (isinf(a)) {
        return isinf(b) ? DefaultNaN() : Infinity(negative);
    }
    if (isinf(b)) {
        return Zero(negative);
    }
    if (IsZero(b)) {
        return IsZero(a) ? DefaultNaN() : Infinity(negative);
    }
    if (IsZero(a)) {
        return Zero(negative);
    }
    std::uint64_t sa = 0;
    std::uint64_t sb = 0;
    int la = 0;
    int lb = 0;
    Normalize(a, sa, la);
    Normalize(b, sb, lb);
    // Two steps of long division give 128 quotient bits, of which at least 125 are significant.
    const Wide first = (static_cast<Wide>(sa) << 64) / sb;
    const Wide remainder = (static_cast<Wide>(sa) << 64) % sb;
    const Wide second = (remainder << 64) / sb;
    const bool inexact = (second & 3) != 0 || (remainder << 64) % sb != 0;
    const Wide quotient = (first << 62) | (second >> 2);
    return Round(negative, quotient, la - lb - 126, inexact);
}

Extended80::Order Extended80::Compare(Extended80 a, Extended80 b) {
    if (isnan(a) || isnan(b)) {
        return Order::Unordered;
    }
    if (IsZero(a) && IsZero(b)) {
        return Order::Equal;
    }
    if (a.negative_ != b.negative_) {
        return a.negative_ ? Order::Less : Order::Greater;
    }
    if (a.exponent_ == b.exponent_ && a.significand_ == b.significand_) {
        return Order::Equal;
    }
    return MagnitudeLess(a, b) != a.negative_ ? Order::Less : Order::Greater;
}

namespace {

// Where glibc's x87 powl(10, k) is not the nearest value to 10^k, the difference in units of the last
// place; the converter divides by these powers, so they are reproduced as the hardware path has them.
struct PowerCorrection {
    std::int16_t k;
    std::int8_t units;
};
constexpr PowerCorrection kPowerCorrections[] = {
#include "conversion/Extended80Powers.inc"
};

Extended80 StepUlps(Extended80 value, int units) {
    for (; units > 0; --units) {
        const std::uint64_t next = value.Significand() + 1;
        value = next == 0 ? Extended80::FromParts(false, value.Exponent() + 1, Extended80::kIntegerBit)
                          : Extended80::FromParts(false, value.Exponent(), next);
    }
    for (; units < 0; ++units) {
        const std::uint64_t next = value.Significand() - 1;
        value = (next & Extended80::kIntegerBit) == 0 ? Extended80::FromParts(false, value.Exponent() - 1, ~0ull)
                                                      : Extended80::FromParts(false, value.Exponent(), next);
    }
    return value;
}

} // namespace

Extended80 Extended80::PowerOfTen(int k) {
    // 10^k as a number in base 2^32, then its leading 128 bits and whether anything follows them.
    std::vector<std::uint32_t> digits{1};
    for (int left = k; left > 0;) {
        const int step = std::min(left, 9);
        left -= step;
        std::uint32_t factor = 1;
        for (int i = 0; i < step; ++i) {
            factor *= 10;
        }
        std::uint64_t carry = 0;
        for (std::uint32_t& digit : digits) {
            carry += static_cast<std::uint64_t>(digit) * factor;
            digit = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        if (carry != 0) {
            digits.push_back(static_cast<std::uint32_t>(carry));
        }
    }
    const int length = static_cast<int>(digits.size()) * 32 - __builtin_clz(digits.back());
    const int low = std::max(length - 128, 0);
    auto bit = [&digits](int i) { return (digits[static_cast<std::size_t>(i / 32)] >> (i % 32)) & 1u; };
    Wide leading = 0;
    for (int i = length - 1; i >= low; --i) {
        leading = (leading << 1) | bit(i);
    }
    bool sticky = false;
    for (int i = 0; i < low && !sticky; ++i) {
        sticky = bit(i) != 0;
    }
    const Extended80 nearest = Round(false, leading, low, sticky);
    const auto* end = std::end(kPowerCorrections);
    const auto* found = std::lower_bound(std::begin(kPowerCorrections), end, k,
                                         [](const PowerCorrection& c, int key) { return c.k < key; });
    return found != end && found->k == k ? StepUlps(nearest, found->units) : nearest;
}

} // namespace korvex::conversion
