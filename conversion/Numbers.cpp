#include "conversion/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "conversion/ConversionState.h"
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
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
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

    // from_chars is locale-independent and rounds to nearest; it is handed the number in plain C syntax.
    std::string plain;
    plain.reserve(intDigits.size() + fracDigits.size() + exponentDigits.size() + 4);
    plain.append(intDigits.empty() ? std::string_view("0") : intDigits);
    if (!fracDigits.empty()) {
        plain.push_back('.');
        plain.append(fracDigits);
    }
    long exponent = 0;
    if (!exponentDigits.empty()) {
        plain.push_back('e');
        if (exponentNegative) {
            plain.push_back('-');
        }
        plain.append(exponentDigits);
        for (char c : exponentDigits) {
            exponent = exponent < 100000000 ? exponent * 10 + (c - '0') : exponent;
        }
        exponent = exponentNegative ? -exponent : exponent;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too small for a double reads as zero, as the FPU would give it; too large is no number.
        if (LeadingDigitExponent(intDigits, fracDigits, exponent) < 0) {
            return negative ? -0.0 : 0.0;
        }
        return std::nullopt;
    }
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

RealReading ReadReal(std::string_view text) {
    const char separator = platform::DecimalSeparator();
    RealReading reading;
    reading.value = ParseReal(text, separator);
    reading.retried.assign(text);
    if (reading.value) {
        return reading;
    }
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
        throw ConversionError("Can not convert value " + reading.retried);
    }
    return *reading.value;
}

std::int32_t StrToIntOrZero(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
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

U128 TenPow(int k) {
    U128 result = 1;
    for (int i = 0; i < k; ++i) {
        result *= 10;
    }
    return result;
}

// round(v * 10^17) with ties to even, exactly, for 0 <= v < 20.
std::uint64_t ScaleTo17Decimals(Extended v) {
    if (v == 0) {
        return 0;
    }
    int binaryExponent = 0;
    const Extended fraction = std::frexp(v, &binaryExponent); // v = fraction * 2^binaryExponent
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
    // v * 10^17 = mantissa * 10^17 / 2^shift
    const int shift = 64 - binaryExponent;
    const U128 product = static_cast<U128>(mantissa) * kTenPow17;
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

std::string DigitsOf(std::uint64_t value) {
    char buffer[24];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    return std::string(buffer, end);
}

// Decimal digits of a finite magnitude: value = digits * 10^(pointPos - digits.size()).
struct Expansion {
    std::string digits;
    int pointPos = 0; // number of digits before the decimal point
};

Expansion Expand(Extended magnitude) {
    int k = 0;
    Extended quotient = magnitude;
    if (magnitude >= 10) {
        // Divide by a power of ten chosen from the binary exponent, so the quotient is at least 1 and
        // below 20; its 17 decimals then give the 18 or 19 significant digits the text is built from.
        const int binaryExponent = std::ilogb(magnitude);
        k = static_cast<int>(std::floor(static_cast<Extended>(binaryExponent) * 0.30102999566398119521373889L));
        const Extended power = k <= 38 ? static_cast<Extended>(TenPow(k)) : std::pow(10.0L, static_cast<Extended>(k));
        quotient = magnitude / power;
    }
    Expansion result;
    result.digits = DigitsOf(ScaleTo17Decimals(quotient));
    if (result.digits.size() < 18) {
        result.digits.insert(0, 18 - result.digits.size(), '0');
    }
    result.pointPos = static_cast<int>(result.digits.size()) - 17 + k;
    return result;
}

// Adds one unit in the last place of a digit string; returns true when it overflowed ("99" -> "00").
bool IncrementDigits(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
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
    std::string digits = expansion.digits;
    std::size_t lead = digits.find_first_not_of('0');
    digits.erase(0, lead);
    int exponent = expansion.pointPos - static_cast<int>(lead) - 1;
    std::string exponentText = "E+" + std::to_string(exponent);
    const std::size_t available = kMaxText - (negative ? 1 : 0) - exponentText.size();
    const std::size_t keep = available >= 2 ? available - 1 : 1; // mantissa digits around the point
    std::string kept = digits.substr(0, keep);
    kept.resize(keep, '0');
    if (keep < digits.size() && digits[keep] >= '5' && IncrementDigits(kept)) {
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

} // namespace

void AppendRealToStr(std::string& out, std::uint8_t width, std::uint8_t decimals, Extended value) {
    const std::size_t start = out.size();
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        out.append("NAN");
        return;
    }
    if (std::isinf(value)) {
        out.append(negative ? "-INF" : "INF");
        return;
    }
    const Extended magnitude = std::fabs(value);
    const Expansion expansion = Expand(magnitude);
    if (magnitude >= 1e36L) {
        AppendScientific(out, negative, expansion);
        return;
    }

    // Integer digits followed by the asked decimals, with the first dropped digit rounding half up.
    const int pointPos = expansion.pointPos;
    std::string kept;
    const int total = pointPos + decimals;
    kept.reserve(static_cast<std::size_t>(std::max(total, 1)) + 1);
    for (int i = 0; i < total; ++i) {
        kept.push_back(i < static_cast<int>(expansion.digits.size()) ? expansion.digits[static_cast<std::size_t>(i)]
                                                                     : '0');
    }
    const char firstDropped = total >= 0 && total < static_cast<int>(expansion.digits.size())
                                  ? expansion.digits[static_cast<std::size_t>(total)]
                                  : '0';
    int integerDigits = pointPos;
    if (firstDropped >= '5' && IncrementDigits(kept)) {
        kept.insert(kept.begin(), '1');
        ++integerDigits;
    }
    std::size_t firstSignificant = 0;
    while (static_cast<int>(firstSignificant) < integerDigits - 1 && kept[firstSignificant] == '0') {
        ++firstSignificant;
    }

    if (negative) {
        out.push_back('-');
    }
    if (integerDigits <= 0) {
        out.push_back('0');
    } else {
        out.append(kept, firstSignificant, static_cast<std::size_t>(integerDigits) - firstSignificant);
    }
    if (decimals > 0) {
        out.push_back('.');
        const int fracStart = std::max(integerDigits, 0);
        out.append(kept, static_cast<std::size_t>(fracStart), std::string::npos);
    }

    std::size_t length = out.size() - start;
    if (length < width) {
        out.insert(start, width - length, ' ');
        length = width;
    }
    // Keep 11 characters, but never cut into the integer digits: a factor-of-ten error is worse than a long
    // word.
    const std::size_t point = out.find('.', start);
    const std::size_t integerEnd = (point == std::string::npos ? out.size() : point) - start;
    const std::size_t limit = std::max(kMaxText, integerEnd);
    if (length > limit) {
        out.resize(start + limit);
    }
}

std::string RealToStr(std::uint8_t width, std::uint8_t decimals, Extended value) {
    std::string text;
    AppendRealToStr(text, width, decimals, value);
    return text;
}

std::string FormatLineNumber(std::int32_t number) {
    std::int64_t magnitude = number;
    const bool negative = magnitude < 0;
    if (negative) {
        magnitude = -magnitude;
    }
    const auto lastFive = static_cast<int>(magnitude % 100000);
    std::string text(negative ? 6 : 5, '0');
    if (negative) {
        text[0] = '-';
    }
    int remaining = lastFive;
    for (std::size_t i = text.size(); i-- > (negative ? 1u : 0u);) {
        text[i] = static_cast<char>('0' + remaining % 10);
        remaining /= 10;
    }
    return text;
}

void AppendLineNumberPrefix(std::string& out, ConversionState& state) {
    if (!state.LineNumbersOn) {
        return;
    }
    out.push_back('N');
    out.append(FormatLineNumber(state.LineNumber));
    out.push_back(' ');
    // 32-bit arithmetic that wraps like the original's instead of overflowing.
    state.LineNumber = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.LineNumber) +
                                                 static_cast<std::uint32_t>(state.LineNumberIncrement));
}

std::string LineNumberPrefix(ConversionState& state) {
    std::string prefix;
    AppendLineNumberPrefix(prefix, state);
    return prefix;
}

} // namespace korvex::conversion
