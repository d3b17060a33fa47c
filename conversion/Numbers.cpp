#include "conversion/Numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>

#include "conversion/ConversionState.h"
#include "conversion/fast/FastPaths.h"
#include "platform/DecimalSeparator.h"

namespace korvex::conversion {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Both number forms start with blanks (0x20 only) and an optional sign; returns whether the sign is "-".
bool SkipBlanksAndSign(std::string_view text, std::size_t& i) {
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        return text[i++] == '-';
    }
    return false;
}

// Decimal exponent of the leading significant digit, for telling an underflow from an overflow.
long LeadingDigitExponent(std::string_view intDigits, std::string_view fracDigits, long exponent) {
    for (std::size_t i = 0; i < intDigits.size(); ++i) {
        if (intDigits[i] != '0') {
            return static_cast<long>(intDigits.size() - 1 - i) + exponent;
        }
    }
    for (std::size_t i = 0; i < fracDigits.size(); ++i) {
        if (fracDigits[i] != '0') {
            return -static_cast<long>(i) - 1 + exponent;
        }
    }
    return 0;
}

} // namespace

std::optional<double> ParseReal(std::string_view text, char separator) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    const bool negative = SkipBlanksAndSign(text, i);
    const std::size_t intStart = i;
    while (i < n && IsDigit(text[i])) {
        ++i;
    }
    const std::string_view intDigits = text.substr(intStart, i - intStart);
    bool sawSeparator = false;
    std::string_view fracDigits;
    if (i < n && text[i] == separator) {
        sawSeparator = true;
        const std::size_t fracStart = ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
        }
        fracDigits = text.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty() && !sawSeparator) {
        return std::nullopt;
    }
    bool exponentNegative = false;
    std::string_view exponentDigits;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exponentNegative = text[i] == '-';
            ++i;
        }
        const std::size_t expStart = i;
        while (i < n && IsDigit(text[i])) {
            ++i;
        }
        exponentDigits = text.substr(expStart, i - expStart);
    }
    while (i < n && text[i] == ' ') {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }

    // Up to kMaxShortDigits digits without exponent: what nearly every coordinate of a drill file looks like.
    if (exponentDigits.empty() && intDigits.size() + fracDigits.size() <= kMaxShortDigits) {
        std::uint64_t mantissa = 0;
        for (char c : intDigits) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        }
        for (char c : fracDigits) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        }
        const double value = ShortDecimal(mantissa, fracDigits.size());
        return negative ? -value : value;
    }

    // from_chars is locale-independent and rounds to nearest; it is handed the number in plain C syntax.
    const std::size_t plainSize =
        std::max<std::size_t>(intDigits.size(), 1) + fracDigits.size() + exponentDigits.size() + 3;
    char small[64];
    std::unique_ptr<char[]> large;
    char* plain = small;
    if (plainSize > sizeof small) {
        large.reset(new char[plainSize]);
        plain = large.get();
    }
    char* out = plain;
    auto put = [&out](std::string_view part) {
        std::memcpy(out, part.data(), part.size());
        out += part.size();
    };
    put(intDigits.empty() ? std::string_view("0") : intDigits);
    if (!fracDigits.empty()) {
        *out++ = '.';
        put(fracDigits);
    }
    long exponent = 0;
    if (!exponentDigits.empty()) {
        *out++ = 'e';
        if (exponentNegative) {
            *out++ = '-';
        }
        put(exponentDigits);
        for (char c : exponentDigits) {
            exponent = exponent < 100000000 ? exponent * 10 + (c - '0') : exponent;
        }
        exponent = exponentNegative ? -exponent : exponent;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(plain, out, value);
    if (error == std::errc::result_out_of_range) {
        // Too small for a double reads as zero, as the FPU would give it; too large is no number.
        if (LeadingDigitExponent(intDigits, fracDigits, exponent) < 0) {
            return negative ? -0.0 : 0.0;
        }
        return std::nullopt;
    }
    if (error != std::errc() || end != out || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

RealReading ReadReal(std::string_view text) {
    const char separator = platform::DecimalSeparator();
    RealReading reading;
    reading.value = ParseReal(text, separator);
    if (reading.value) {
        return reading;
    }
    reading.retried.assign(text);
    for (char& c : reading.retried) {
        if (c == '.') {
            c = ',';
        }
    }
    reading.value = ParseReal(reading.retried, separator);
    return reading;
}

double StrToReal(std::string_view text) {
    RealReading reading = ReadReal(text);
    if (!reading.value) {
        // The message quotes the text as last tried; the error keeps the text as written too.
        throw ConversionError("Can not convert value " + reading.retried, 0, std::string(text));
    }
    return *reading.value;
}

std::string OutOfRangeMessage(std::string_view what) {
    std::string message("Value out of range: ");
    message.append(what);
    return message;
}

bool IsPlainDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c != '.') {
            return false;
        }
    }
    return digits;
}

std::int32_t StrToIntOrZero(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    const bool negative = SkipBlanksAndSign(text, i);
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n) {
        return 0;
    }
    std::uint64_t magnitude = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int digit = HexValue(text[i]);
            if (digit < 0) {
                return 0;
            }
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(digit);
            if (magnitude > 0xFFFFFFFFu) {
                return 0;
            }
        }
        // A hexadecimal number is a 32-bit pattern: $FFFFFFFF is -1.
        std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
        if (negative) {
            pattern = 0u - pattern;
        }
        return static_cast<std::int32_t>(pattern);
    }
    for (; i < n; ++i) {
        if (!IsDigit(text[i])) {
            return 0;
        }
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > 2147483648u) {
            return 0;
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    return magnitude > 2147483647u ? 0 : static_cast<std::int32_t>(magnitude);
}

namespace {

__extension__ typedef unsigned __int128 U128;

constexpr std::uint64_t kTenPow17 = 100000000000000000ull;

// 10^k as the nearest extended value (exact up to 10^27).
Extended TenPow(int k) {
    static const auto table = [] {
        std::array<Extended, 39> powers{};
        U128 power = 1;
        for (Extended& entry : powers) {
            entry = static_cast<Extended>(power);
            power *= 10;
        }
        return powers;
    }();
    return k < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(k)] : PowerOfTen(k);
}

// The x87 format spelled out: value = mantissa * 2^exponent, with the integer bit explicit in the mantissa.
struct Decomposed {
    std::uint64_t mantissa;
    int exponent;
};

Decomposed Decompose(Extended v) {
    const ExtendedParts parts = PartsOf(v);
    const int biased = parts.exponent;
    // Denormals share the smallest exponent; their integer bit is clear.
    return Decomposed{parts.significand, (biased == 0 ? 1 : biased) - 16383 - 63};
}

// round(v * 10^17) with ties to even, exactly, for 0 <= v < 20.
std::uint64_t ScaleTo17Decimals(Extended v) {
    const Decomposed parts = Decompose(v);
    if (parts.mantissa == 0) {
        return 0;
    }
    // v * 10^17 = mantissa * 10^17 / 2^shift
    const int shift = -parts.exponent;
    const U128 product = static_cast<U128>(parts.mantissa) * kTenPow17;
    if (shift <= 0) {
        return static_cast<std::uint64_t>(product << -shift);
    }
    if (shift >= 128) {
        return 0;
    }
    U128 quotient = product >> shift;
    const U128 remainder = product & ((static_cast<U128>(1) << shift) - 1);
    const U128 half = static_cast<U128>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1) != 0)) {
        ++quotient;
    }
    return static_cast<std::uint64_t>(quotient);
}

// Decimal digits of a finite magnitude: value = digits * 10^(pointPos - count).
struct Expansion {
    char digits[24];
    int count = 0;
    int pointPos = 0; // number of digits before the decimal point
    char Digit(int i) const { return i >= 0 && i < count ? digits[i] : '0'; }
};

// The magnitude as n * 10^(k - 17): for magnitudes from 10 up, divided by a power of ten chosen from the
// binary exponent, so the quotient is at least 1 and below 20; its 17 decimals then give the 18 or 19
// significant digits the text is built from.
struct Scaled {
    std::uint64_t n;
    int k;
};

Scaled Scale(Extended magnitude) {
    int k = 0;
    Extended quotient = magnitude;
    if (magnitude >= 10) {
        const int binaryExponent = Decompose(magnitude).exponent + 63;
        // floor(binaryExponent * log10(2)) in integers: exact for every exponent of the format.
        k = static_cast<int>((static_cast<std::uint64_t>(binaryExponent) * 1292913986u) >> 32);
        quotient = magnitude / TenPow(k);
    }
    return Scaled{ScaleTo17Decimals(quotient), k};
}

Expansion Expand(const Scaled& scaled) {
    Expansion result;
    char raw[24];
    const auto converted = std::to_chars(raw, raw + sizeof raw, scaled.n);
    const int rawCount = static_cast<int>(converted.ptr - raw);
    const int padding = rawCount < 18 ? 18 - rawCount : 0;
    std::memset(result.digits, '0', static_cast<std::size_t>(padding));
    std::memcpy(result.digits + padding, raw, static_cast<std::size_t>(rawCount));
    result.count = padding + rawCount;
    result.pointPos = result.count - 17 + scaled.k;
    return result;
}

constexpr std::uint64_t kPow10u64[] = {1ull,
                                       10ull,
                                       100ull,
                                       1000ull,
                                       10000ull,
                                       100000ull,
                                       1000000ull,
                                       10000000ull,
                                       100000000ull,
                                       1000000000ull,
                                       10000000000ull,
                                       100000000000ull,
                                       1000000000000ull,
                                       10000000000000ull,
                                       100000000000000ull,
                                       1000000000000000ull,
                                       10000000000000000ull,
                                       100000000000000000ull};

// n / 10^drop, rounded half up; a constant divisor for each case lets the compiler multiply instead.
template <int Drop>
std::uint64_t DropHalfUp(std::uint64_t n) {
    constexpr std::uint64_t unit = kPow10u64[Drop];
    return n / unit + (n % unit >= unit / 2 ? 1 : 0);
}

std::uint64_t DropDigitsHalfUp(std::uint64_t n, int drop) {
    switch (drop) {
    case 0:
        return n;
    case 1:
        return DropHalfUp<1>(n);
    case 2:
        return DropHalfUp<2>(n);
    case 3:
        return DropHalfUp<3>(n);
    case 4:
        return DropHalfUp<4>(n);
    case 5:
        return DropHalfUp<5>(n);
    case 6:
        return DropHalfUp<6>(n);
    case 7:
        return DropHalfUp<7>(n);
    case 8:
        return DropHalfUp<8>(n);
    case 9:
        return DropHalfUp<9>(n);
    case 10:
        return DropHalfUp<10>(n);
    case 11:
        return DropHalfUp<11>(n);
    case 12:
        return DropHalfUp<12>(n);
    case 13:
        return DropHalfUp<13>(n);
    case 14:
        return DropHalfUp<14>(n);
    case 15:
        return DropHalfUp<15>(n);
    case 16:
        return DropHalfUp<16>(n);
    default:
        return DropHalfUp<17>(n);
    }
}

// Adds one unit in the last place of a digit string; returns true when it overflowed ("99" -> "00").
bool IncrementDigits(char* digits, std::size_t count) {
    for (std::size_t i = count; i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    return true;
}

constexpr std::size_t kMaxText = 11;

// Magnitudes from 10^36 up have no sensible fixed-point form: mantissa and exponent, fitted into 11
// characters without cutting the exponent.
void AppendScientific(std::string& out, bool negative, const Expansion& expansion) {
    int lead = 0;
    while (lead < expansion.count && expansion.digits[lead] == '0') {
        ++lead;
    }
    int exponent = expansion.pointPos - lead - 1;
    std::string exponentText = "E+" + std::to_string(exponent);
    const std::size_t available = kMaxText - (negative ? 1 : 0) - exponentText.size();
    const int keep = available >= 2 ? static_cast<int>(available) - 1 : 1; // mantissa digits
    std::string kept;
    for (int i = 0; i < keep; ++i) {
        kept.push_back(expansion.Digit(lead + i));
    }
    if (expansion.Digit(lead + keep) >= '5' && IncrementDigits(kept.data(), kept.size())) {
        kept.insert(kept.begin(), '1');
        kept.pop_back();
        exponentText = "E+" + std::to_string(exponent + 1);
    }
    if (negative) {
        out.push_back('-');
    }
    out.push_back(kept[0]);
    if (kept.size() > 1) {
        out.push_back('.');
        out.append(kept, 1, std::string::npos);
    }
    out.append(exponentText);
}

// Pads on the left to `width`, then keeps 11 characters, but never cuts into the integer digits: a
// factor-of-ten error is worse than a long word.
void FitText(std::string& out, std::size_t start, std::uint8_t width) {
    std::size_t length = out.size() - start;
    if (length < width) {
        out.insert(start, width - length, ' ');
        length = width;
    }
    if (length <= kMaxText) {
        return;
    }
    const std::size_t point = out.find('.', start);
    const std::size_t integerEnd = (point == std::string::npos ? out.size() : point) - start;
    const std::size_t limit = std::max(kMaxText, integerEnd);
    if (length > limit) {
        out.resize(start + limit);
    }
}

// The common case, where every kept digit comes from the 17 decimals: the rounding half up at the last
// kept place is a division of integers. Writes sign, integer digits, point and decimals.
void AppendFixedFast(std::string& out, bool negative, const Scaled& scaled, int drop, std::uint8_t width,
                     std::uint8_t decimals) {
    const std::uint64_t kept = DropDigitsHalfUp(scaled.n, drop);
    char digitBuffer[48];
    char* digits = digitBuffer + 24;
    const auto converted = std::to_chars(digits, digitBuffer + sizeof digitBuffer, kept);
    int count = static_cast<int>(converted.ptr - digits);
    while (count < decimals + 1) {
        *--digits = '0';
        ++count;
    }
    // Sign, integer digits, point and decimals, handed to the string in one piece.
    char text[48];
    std::size_t length = 0;
    if (negative) {
        text[length++] = '-';
    }
    const auto integerCount = static_cast<std::size_t>(count - decimals);
    std::memcpy(text + length, digits, integerCount);
    length += integerCount;
    if (decimals > 0) {
        text[length++] = '.';
        std::memcpy(text + length, digits + integerCount, decimals);
        length += decimals;
    }
    const std::size_t start = out.size();
    out.append(text, length);
    if (length < width || length > kMaxText) {
        FitText(out, start, width);
    }
}

} // namespace

void AppendRealToStrFull(std::string& out, std::uint8_t width, std::uint8_t decimals, Extended value) {
    using std::fabs, std::isinf, std::isnan, std::signbit; // the software type brings its own
    const std::size_t start = out.size();
    const bool negative = signbit(value);
    if (isnan(value)) {
        out.append("NAN");
        return;
    }
    if (isinf(value)) {
        out.append(negative ? "-INF" : "INF");
        return;
    }
    const Extended magnitude = fabs(value);
    const Scaled scaled = Scale(magnitude);
    const int drop = 17 - scaled.k - decimals; // digits of n below the last kept place
    if (magnitude >= 1e36L) {
        AppendScientific(out, negative, Expand(scaled));
        return;
    }
    if (drop >= 0 && drop <= 17) {
        AppendFixedFast(out, negative, scaled, drop, width, decimals);
        return;
    }
    const Expansion expansion = Expand(scaled);

    // Integer digits followed by the asked decimals, with the first dropped digit rounding half up. Below
    // 10^36 there are at most 37 integer digits, and at most 255 decimals.
    char kept[1 + 40 + 256];
    const int pointPos = expansion.pointPos;
    const int total = pointPos + decimals; // pointPos is 1 or more
    char* digits = kept + 1;
    for (int i = 0; i < total; ++i) {
        digits[i] = expansion.Digit(i);
    }
    int integerDigits = pointPos;
    if (expansion.Digit(total) >= '5' && IncrementDigits(digits, static_cast<std::size_t>(total))) {
        --digits;
        digits[0] = '1';
        ++integerDigits;
    }
    int firstSignificant = 0;
    while (firstSignificant < integerDigits - 1 && digits[firstSignificant] == '0') {
        ++firstSignificant;
    }

    if (negative) {
        out.push_back('-');
    }
    // The expansion always has at least one integer digit (a "0" for magnitudes below 1).
    out.append(digits + firstSignificant, static_cast<std::size_t>(integerDigits - firstSignificant));
    if (decimals > 0) {
        out.push_back('.');
        out.append(digits + integerDigits, decimals);
    }

    FitText(out, start, width);
}

void AppendRealToStr(std::string& out, std::uint8_t width, std::uint8_t decimals, Extended value) {
    if (decimals == 3 && FastPathsEnabled()) {
        const auto narrow = static_cast<double>(value);
        if (static_cast<Extended>(narrow) == value) {
            char text[kMaxThreeDecimals];
            const std::size_t length = WriteThreeDecimals(narrow, text);
            if (length > 0) {
                if (length < width) {
                    out.append(width - length, ' ');
                }
                out.append(text, length);
                return;
            }
        }
    }
    AppendRealToStrFull(out, width, decimals, value);
}

std::string RealToStr(std::uint8_t width, std::uint8_t decimals, Extended value) {
    std::string text;
    AppendRealToStr(text, width, decimals, value);
    return text;
}

namespace {

// Five digits of the magnitude (the last five of larger numbers), "-" in front of negative numbers.
std::size_t WriteLineNumber(char* out, std::int32_t number) {
    std::int64_t magnitude = number;
    std::size_t length = 0;
    if (magnitude < 0) {
        out[length++] = '-';
        magnitude = -magnitude;
    }
    auto lastFive = static_cast<int>(magnitude % 100000);
    for (std::size_t i = length + 5; i-- > length;) {
        out[i] = static_cast<char>('0' + lastFive % 10);
        lastFive /= 10;
    }
    return length + 5;
}

} // namespace

std::string FormatLineNumber(std::int32_t number) {
    char text[8];
    return std::string(text, WriteLineNumber(text, number));
}

std::size_t WriteLineNumberPrefix(char* out, ConversionState& state) {
    if (!state.LineNumbersOn) {
        return 0;
    }
    out[0] = 'N';
    std::size_t length = 1 + WriteLineNumber(out + 1, state.LineNumber);
    out[length++] = ' ';
    // 32-bit arithmetic that wraps like the original's instead of overflowing.
    state.LineNumber = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.LineNumber) +
                                                 static_cast<std::uint32_t>(state.LineNumberIncrement));
    return length;
}

void AppendLineNumberPrefix(std::string& out, ConversionState& state) {
    char text[kMaxLineNumberPrefix];
    out.append(text, WriteLineNumberPrefix(text, state));
}

std::string LineNumberPrefix(ConversionState& state) {
    std::string prefix;
    AppendLineNumberPrefix(prefix, state);
    return prefix;
}

} // namespace korvex::conversion
