// RealToStr over every finite x87 extended value. Input: ten bytes of the value (little endian, as in
// memory), then optionally a width and a number of decimals.
//
// With 3 decimals and a width up to 11 (what the converter uses) the text is compared with a reference:
// below 10 the digits of printf("%.17Lf") (exact, ties to even) rounded half up at the third decimal; up to
// 10^15 the exact digits rounded half up, where the converter's 18 or 19 significant digits may differ from
// the exact ones only right at a rounding boundary. Every text must stay within 11 characters unless its
// integer digits need more.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "conversion/Numbers.h"
#include "fuzz/FuzzSupport.h"

namespace {

using Extended = long double;

// False for the bit patterns that are no x87 value: NaN and infinity, and the unnormals and pseudo-denormals
// whose integer bit disagrees with the exponent.
bool IsValidFinite(const std::uint8_t* bytes) {
    std::uint64_t mantissa;
    std::memcpy(&mantissa, bytes, sizeof mantissa);
    const int exponent = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
    const bool integerBit = (mantissa >> 63) != 0;
    if (exponent == 0x7FFF) {
        return false;
    }
    return exponent == 0 ? !integerBit : integerBit;
}

// Adds one unit in the last place of the digits (the point is skipped); a carry out of the first digit puts a
// "1" in front.
void IncrementLast(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.') {
            continue;
        }
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return;
        }
    }
    digits.insert(digits.begin(), '1');
}

// `exact` is "I.DDDD..." (no sign): rounded half up at three decimals, judged by the first dropped digit.
std::string RoundHalfUp3(const std::string& exact) {
    const std::size_t point = exact.find('.');
    std::string kept = exact.substr(0, point + 4);
    if (exact.size() > point + 4 && exact[point + 4] >= '5') {
        IncrementLast(kept);
    }
    return kept;
}

// Pads to the width, then cuts to 11 characters, never into the sign and integer digits.
std::string Fit(std::string text, unsigned width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    const std::size_t point = text.find('.');
    const std::size_t integerEnd = point == std::string::npos ? text.size() : point;
    const std::size_t limit = integerEnd > 11 ? integerEnd : 11;
    if (text.size() > limit) {
        text.resize(limit);
    }
    return text;
}

std::string Describe(Extended value, const std::string& got, const std::string& expected) {
    char text[96];
    std::snprintf(text, sizeof text, "%.21Lg (%La)", value, value);
    return std::string(text) + " gave \"" + got + "\", expected \"" + expected + "\"";
}

void CheckThreeDecimals(Extended value, unsigned width) {
    const std::string got = korvex::conversion::RealToStr(static_cast<std::uint8_t>(width), 3, value);
    const Extended magnitude = std::fabs(value);
    const std::string sign = std::signbit(value) ? "-" : "";
    if (magnitude < 10) {
        char exact[64];
        std::snprintf(exact, sizeof exact, "%.17Lf", magnitude);
        const std::string expected = Fit(sign + RoundHalfUp3(exact), width);
        KORVEX_FUZZ_CHECK(got == expected, Describe(value, got, expected));
        return;
    }
    if (magnitude < 1e15L) {
        // Every value of this range is a multiple of 2^-60 at the finest: 70 decimals are all of its digits.
        char exact[160];
        std::snprintf(exact, sizeof exact, "%.70Lf", magnitude);
        const std::string expected = Fit(sign + RoundHalfUp3(exact), width);
        if (got == expected) {
            return;
        }
        // Distance of the exact value from the rounding boundary, in units of the third decimal.
        const char* dropped = std::strchr(exact, '.') + 4;
        const double fraction = std::strtod(("0." + std::string(dropped, 15)).c_str(), nullptr);
        const double distance = std::fabs(fraction - 0.5) * 1e-3;
        KORVEX_FUZZ_CHECK(distance <= static_cast<double>(magnitude) * 4e-18, Describe(value, got, expected));
        std::string other = RoundHalfUp3(exact);
        if (fraction >= 0.5) {
            other = std::string(exact).substr(0, std::strchr(exact, '.') - exact + 4);
        } else {
            IncrementLast(other);
        }
        const std::string alternative = Fit(sign + other, width);
        KORVEX_FUZZ_CHECK(got == alternative, Describe(value, got, expected + "\" or \"" + alternative));
    }
}

// Any width and any number of decimals: the text reads back as about the value, and stays within 11
// characters unless its integer digits need more.
void CheckAnyFormat(Extended value, unsigned width, unsigned decimals) {
    const std::string got =
        korvex::conversion::RealToStr(static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(decimals), value);
    std::size_t start = got.find_first_not_of(' ');
    KORVEX_FUZZ_CHECK(start != std::string::npos || got.size() <= 11, "blank text \"" + got + "\"");
    if (start == std::string::npos) {
        return;
    }
    KORVEX_FUZZ_CHECK(start == 0 || got.size() <= 11 || width > 11, "padded beyond the width: \"" + got + "\"");
    const std::size_t point = got.find('.');
    const std::size_t integerEnd = point == std::string::npos ? got.size() : point;
    KORVEX_FUZZ_CHECK(got.size() <= 11 || got.size() == integerEnd, "cut wrongly: \"" + got + "\"");
    if (start + 1 >= got.size() && got[start] == '-') {
        return;
    }
    const Extended magnitude = std::fabs(value);
    if (magnitude >= 1e36L) {
        // Compared as logarithms: the text of the largest values may read back beyond the range.
        const std::size_t e = got.find('E');
        KORVEX_FUZZ_CHECK(e != std::string::npos && e > start, "no exponent: \"" + got + "\"");
        const Extended mantissa = std::fabs(std::strtold(got.substr(start, e - start).c_str(), nullptr));
        const Extended logarithm = std::log10(mantissa) + std::strtold(got.c_str() + e + 1, nullptr);
        KORVEX_FUZZ_CHECK(std::fabs(logarithm - std::log10(magnitude)) <= 5e-3L,
                          Describe(value, got, "a mantissa and exponent of it"));
    } else if (magnitude >= 1 && point != std::string::npos && width <= 11) {
        // The integer digits are never cut below 10^36 and carry 18 significant digits at least.
        const Extended integerPart = std::strtold(got.substr(start, point - start).c_str(), nullptr);
        KORVEX_FUZZ_CHECK(std::fabs(std::fabs(integerPart) - std::floor(magnitude)) <= 1 + magnitude * 1e-17L,
                          Describe(value, got, "its integer digits"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10 || !IsValidFinite(data)) {
        return 0;
    }
    Extended value = 0;
    std::memcpy(&value, data, 10);
    const unsigned width = size > 10 ? data[10] : 1;
    const unsigned decimals = size > 11 ? data[11] : 3;
    CheckThreeDecimals(value, width % 12);
    CheckAnyFormat(value, width, decimals);
    return 0;
}
