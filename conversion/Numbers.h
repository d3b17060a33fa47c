// Number conversion and line numbering: every number the converter reads or writes passes through here.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "conversion/Extended.h"
#include "conversion/fast/FastPaths.h"

namespace korvex::conversion {

struct ConversionState;

// A value the conversion cannot read; the message is what the user sees.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // A failure at a place in the drill file: `line` counts from 1, and `fileText` quotes the file as written
    // (the message may show it as the reading saw it, with its separator), so a front end can name the place
    // as compilers do ("FILE:LINE: ...") without parsing the message.
    ConversionError(const std::string& message, std::size_t line, std::string fileText)
        : std::runtime_error(message), line_(line), fileText_(std::move(fileText)) {}

    std::size_t Line() const { return line_; } // 0: not about one line
    const std::string& FileText() const { return fileText_; }

private:
    std::size_t line_ = 0;
    std::string fileText_;
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

// "Value out of range: " + what: the message of a value whose arithmetic leaves the range of a double.
std::string OutOfRangeMessage(std::string_view what);

// Whether RealToStr's text is a plain decimal number (blanks, sign, digits and a point): from 10^36 up it is
// "1.00000E+36", and NaN and infinities are words. A machine must get neither.
bool IsPlainDecimal(std::string_view text);

// A whole 32-bit number in decimal, or hexadecimal after "$", "x", "X", "0x" or "0X"; anything else gives 0.
std::int32_t StrToIntOrZero(std::string_view text);

// Fixed point with `decimals` decimals, padded on the left to `width`, cut to 11 characters but never
// into the integer digits.
std::string RealToStr(std::uint8_t width, std::uint8_t decimals, Extended value);
// Appends RealToStr's text to `out` (the hot path of the converter avoids a temporary string).
void AppendRealToStr(std::string& out, std::uint8_t width, std::uint8_t decimals, Extended value);

// The full algorithm alone, which the fast paths (conversion/fast/FastPaths.h) are checked against.
void AppendRealToStrFull(std::string& out, std::uint8_t width, std::uint8_t decimals, Extended value);

// Five digits (the last five of larger numbers), "-" in front of negative ones.
std::string FormatLineNumber(std::int32_t number);

// "N" + FormatLineNumber(LineNumber) + " " and advances LineNumber, or "" when numbering is off.
std::string LineNumberPrefix(ConversionState& state);
void AppendLineNumberPrefix(std::string& out, ConversionState& state);
// The same into `out`, which has room for kMaxLineNumberPrefix characters; returns the length.
constexpr std::size_t kMaxLineNumberPrefix = 8;
std::size_t WriteLineNumberPrefix(char* out, ConversionState& state);

} // namespace korvex::conversion
