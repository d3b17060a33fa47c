// Number conversion and line numbering: every number the converter reads or writes passes through here.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "conversion/Extended.h"

namespace korvex::conversion {

struct ConversionState;

// A value the conversion cannot read; the message is what the user sees.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The number syntax with the given decimal separator: blanks (0x20 only), sign, digits, separator and
// digits, exponent with optional sign and digits, blanks. Nearest double; out-of-range values are refused.
std::optional<double> ParseReal(std::string_view text, char separator);

// Both real parsers: first with the process's separator, then once more with every '.' turned into ','.
struct RealReading {
    std::optional<double> value;
    std::string retried; // the second text, which the failure messages quote
};
RealReading ReadReal(std::string_view text);

// Throws ConversionError "Can not convert value " + the retried text.
double StrToReal(std::string_view text);

// A whole 32-bit number in decimal, or hexadecimal after "$", "x", "X", "0x" or "0X"; anything else gives 0.
std::int32_t StrToIntOrZero(std::string_view text);

// Fixed point with `decimals` decimals, padded on the left to `width`, cut to 11 characters but never
// into the integer digits.
std::string RealToStr(std::uint8_t width, std::uint8_t decimals, Extended value);
// Appends RealToStr's text to `out` (the hot path of the converter avoids a temporary string).
void AppendRealToStr(std::string& out, std::uint8_t width, std::uint8_t decimals, Extended value);

// Five digits (the last five of larger numbers), "-" in front of negative ones.
std::string FormatLineNumber(std::int32_t number);

// "N" + FormatLineNumber(LineNumber) + " " and advances LineNumber, or "" when numbering is off.
std::string LineNumberPrefix(ConversionState& state);
void AppendLineNumberPrefix(std::string& out, ConversionState& state);
// The same into `out`, which has room for kMaxLineNumberPrefix characters; returns the length.
constexpr std::size_t kMaxLineNumberPrefix = 8;
std::size_t WriteLineNumberPrefix(char* out, ConversionState& state);

} // namespace korvex::conversion
