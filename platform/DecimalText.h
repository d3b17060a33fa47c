// Numbers as text outside the engine: always a point, never the locale's separator, whatever the window or
// the environment set (std::to_chars and std::from_chars read no locale).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvex::platform {

// "3.500" for (3.5, 3); a value that rounds to zero is "0.000", never "-0.000"; "?" when it cannot be
// written (not finite).
std::string FixedText(double value, int decimals = 3);

// FixedText without trailing zeros and without a bare point: "12.5", "100", "0.001".
std::string ShortText(double value, int decimals = 3);

// The shortest plain decimal that reads back as exactly `value` ("0.5255253", "100"): for values a user typed
// and a file keeps, where rounding would change them on the next read. "?" when not finite.
std::string ExactText(double value);

// A plain decimal as G-code and the settings write it: "1.5", "+1.5", "-.5", "3."; no exponent, no blanks,
// nothing before or after. Nothing for anything else, for a value out of range and for "inf" or "nan".
std::optional<double> ReadDecimal(std::string_view text);

} // namespace korvex::platform
