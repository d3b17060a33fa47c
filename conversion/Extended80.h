// The x87 80-bit extended format in software, for machines whose long double is something else (quad on
// arm64): the converter's coordinates and Z words must come out the same everywhere.
//
// Value = significand * 2^(exponent - 16383 - 63), the integer bit explicit in bit 63 of the significand.
// Exponent field 0 holds zero and the subnormals (integer bit clear, scaled as field 1); 0x7FFF holds the
// infinities (significand 0x8000000000000000) and the NaNs. Every operation rounds once, to nearest with
// ties to even, exactly as the FPU does at its default 64-bit precision.
#pragma once

#include <cstdint>
#include <limits>

namespace korvex::conversion {

__extension__ typedef unsigned __int128 Extended80Wide;

class Extended80 {
public:
    static constexpr int kBias = 16383;
    static constexpr std::uint16_t kMaxExponent = 0x7FFF;
    static constexpr std::uint64_t kIntegerBit = 0x8000000000000000ull;

    constexpr Extended80() = default;
    // Implicit like the built-in conversions, so the engine's expressions read the same with either type.
    // Doubles and ints are exact; a long double wider than the format (quad) and a 128-bit integer are
    // rounded to nearest.
    Extended80(double value);
    Extended80(int value);
    Extended80(long double value);
    explicit Extended80(Extended80Wide value);

    // The fields as stored, unchecked: biased exponent 0..0x7FFF and the 64-bit significand.
    static constexpr Extended80 FromParts(bool negative, std::uint16_t exponent, std::uint64_t significand) {
        Extended80 result;
        result.negative_ = negative;
        result.exponent_ = exponent;
        result.significand_ = significand;
        return result;
    }
    // 10^k for k >= 0 as the x87 library's powl gives it (not always the nearest value); infinity above 4932.
    static Extended80 PowerOfTen(int k);

    constexpr bool Negative() const { return negative_; }
    constexpr std::uint16_t Exponent() const { return exponent_; }
    constexpr std::uint64_t Significand() const { return significand_; }

    explicit operator double() const;
    explicit operator long double() const;

    friend Extended80 operator+(Extended80 a, Extended80 b);
    friend Extended80 operator-(Extended80 a, Extended80 b);
    friend Extended80 operator*(Extended80 a, Extended80 b);
    friend Extended80 operator/(Extended80 a, Extended80 b);
    friend Extended80 operator-(Extended80 a) { return FromParts(!a.negative_, a.exponent_, a.significand_); }
    Extended80& operator+=(Extended80 b) { return *this = *this + b; }
    Extended80& operator-=(Extended80 b) { return *this = *this - b; }
    Extended80& operator*=(Extended80 b) { return *this = *this * b; }
    Extended80& operator/=(Extended80 b) { return *this = *this / b; }

    // NaN is unordered: every comparison with it is false but !=.
    friend bool operator==(Extended80 a, Extended80 b) { return Compare(a, b) == Order::Equal; }
    friend bool operator!=(Extended80 a, Extended80 b) { return Compare(a, b) != Order::Equal; }
    friend bool operator<(Extended80 a, Extended80 b) { return Compare(a, b) == Order::Less; }
    friend bool operator>(Extended80 a, Extended80 b) { return Compare(a, b) == Order::Greater; }
    friend bool operator<=(Extended80 a, Extended80 b) { return (Compare(a, b) & Order::LessOrEqual) != 0; }
    friend bool operator>=(Extended80 a, Extended80 b) { return (Compare(a, b) & Order::GreaterOrEqual) != 0; }

    // The <cmath> functions the engine calls, found by argument-dependent lookup.
    friend bool signbit(Extended80 a) { return a.negative_; }
    friend bool isnan(Extended80 a) { return a.exponent_ == kMaxExponent && a.significand_ != kIntegerBit; }
    friend bool isinf(Extended80 a) { return a.exponent_ == kMaxExponent && a.significand_ == kIntegerBit; }
    friend bool isfinite(Extended80 a) { return a.exponent_ != kMaxExponent; }
    friend Extended80 fabs(Extended80 a) { return FromParts(false, a.exponent_, a.significand_); }

private:
    enum Order { Less = 1, Equal = 2, Greater = 4, Unordered = 8, LessOrEqual = 3, GreaterOrEqual = 6 };
    static Order Compare(Extended80 a, Extended80 b);

    bool negative_ = false;
    std::uint16_t exponent_ = 0;
    std::uint64_t significand_ = 0;
};

} // namespace korvex::conversion

template <>
class std::numeric_limits<korvex::conversion::Extended80> {
    using T = korvex::conversion::Extended80;

public:
    static constexpr bool is_specialized = true;
    static constexpr bool is_signed = true;
    static constexpr bool is_integer = false;
    static constexpr bool is_exact = false;
    static constexpr bool has_infinity = true;
    static constexpr bool has_quiet_NaN = true;
    static constexpr bool has_signaling_NaN = true;
    static constexpr float_denorm_style has_denorm = denorm_present;
    static constexpr float_round_style round_style = round_to_nearest;
    static constexpr bool is_iec559 = true;
    static constexpr int radix = 2;
    static constexpr int digits = 64;
    static constexpr int digits10 = 18;
    static constexpr int max_digits10 = 21;
    static constexpr int min_exponent = -16381;
    static constexpr int max_exponent = 16384;
    static constexpr int min_exponent10 = -4931;
    static constexpr int max_exponent10 = 4932;

    static constexpr T min() noexcept { return T::FromParts(false, 1, T::kIntegerBit); }
    static constexpr T max() noexcept { return T::FromParts(false, T::kMaxExponent - 1, ~0ull); }
    static constexpr T lowest() noexcept { return T::FromParts(true, T::kMaxExponent - 1, ~0ull); }
    static constexpr T epsilon() noexcept { return T::FromParts(false, T::kBias - 63, T::kIntegerBit); }
    static constexpr T round_error() noexcept { return T::FromParts(false, T::kBias - 1, T::kIntegerBit); }
    static constexpr T infinity() noexcept { return T::FromParts(false, T::kMaxExponent, T::kIntegerBit); }
    static constexpr T quiet_NaN() noexcept { return T::FromParts(false, T::kMaxExponent, 0xC000000000000000ull); }
    static constexpr T signaling_NaN() noexcept { return T::FromParts(false, T::kMaxExponent, 0xA000000000000000ull); }
    static constexpr T denorm_min() noexcept { return T::FromParts(false, 0, 1); }
};
