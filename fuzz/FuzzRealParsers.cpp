// The two real parsers against a reference written from the number syntax alone: the syntax is checked
// character by character here, and the value is the C library's correctly rounded strtod of the same number.
// Input: any text; it is read with both decimal separators.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/Numbers.h"
#include "fuzz/FuzzSupport.h"
#include "platform/DecimalSeparator.h"

namespace {

using korvex::fuzz::Escaped;

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// The number in C syntax when `text` is a number with `separator`, else nothing.
std::optional<std::string> CSyntax(std::string_view text, char separator) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    std::string c;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        c.push_back(text[i++]);
    }
    bool mantissa = false;
    std::string integer;
    while (i < text.size() && Digit(text[i])) {
        integer.push_back(text[i++]);
        mantissa = true;
    }
    c += integer.empty() ? "0" : integer;
    if (i < text.size() && text[i] == separator) {
        ++i;
        mantissa = true;
        c.push_back('.');
        while (i < text.size() && Digit(text[i])) {
            c.push_back(text[i++]);
        }
        c.push_back('0');
    }
    if (!mantissa) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        c.push_back('e');
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            c.push_back(text[i++]);
        }
        c.push_back('0'); // an exponent without digits is 0; a leading zero changes nothing
        while (i < text.size() && Digit(text[i])) {
            c.push_back(text[i++]);
        }
    }
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    return c;
}

bool SameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckParse(std::string_view text, char separator) {
    const std::optional<double> got = korvex::conversion::ParseReal(text, separator);
    const std::optional<std::string> plain = CSyntax(text, separator);
    const std::string where = Escaped(text) + " with '" + separator + "'";
    if (!plain) {
        KORVEX_FUZZ_CHECK(!got, "read a text that is no number: " + where);
        return;
    }
    errno = 0;
    char* end = nullptr;
    const double expected = std::strtod(plain->c_str(), &end);
    KORVEX_FUZZ_CHECK(end == plain->c_str() + plain->size(), "reference did not read " + *plain);
    if (std::isinf(expected)) {
        KORVEX_FUZZ_CHECK(!got, "accepted a value beyond the double range: " + where);
        return;
    }
    KORVEX_FUZZ_CHECK(got.has_value(), "refused a number: " + where);
    KORVEX_FUZZ_CHECK(std::isfinite(*got), "not finite: " + where);
    if (errno == ERANGE) {
        // Below the normal range: the nearest subnormal, or zero as the FPU flushes it.
        KORVEX_FUZZ_CHECK(SameDouble(*got, expected) || *got == 0.0, "underflow read wrongly: " + where);
        return;
    }
    KORVEX_FUZZ_CHECK(SameDouble(*got, expected), "value differs from the nearest double: " + where);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckParse(text, '.');
    CheckParse(text, ',');

    for (const char separator : {'.', ','}) {
        korvex::platform::SetDecimalSeparator(separator);
        const auto reading = korvex::conversion::ReadReal(text);
        std::optional<double> expected = korvex::conversion::ParseReal(text, separator);
        std::string retried;
        if (!expected) {
            retried.assign(text);
            for (char& c : retried) {
                c = c == '.' ? ',' : c;
            }
            expected = korvex::conversion::ParseReal(retried, separator);
        }
        KORVEX_FUZZ_CHECK(reading.value.has_value() == expected.has_value() &&
                              (!expected || SameDouble(*reading.value, *expected)),
                          "ReadReal differs from its two attempts: " + Escaped(text));
        try {
            const double value = korvex::conversion::StrToReal(text);
            KORVEX_FUZZ_CHECK(expected && SameDouble(value, *expected), "StrToReal read " + Escaped(text));
        } catch (const korvex::conversion::ConversionError& error) {
            KORVEX_FUZZ_CHECK(!expected, "StrToReal refused " + Escaped(text));
            // what() ends at the first NUL of the text.
            const std::string message = "Can not convert value " + retried;
            KORVEX_FUZZ_CHECK(error.what() == message.substr(0, message.find('\0')),
                              "message " + Escaped(error.what()) + " for " + Escaped(text));
        }
    }
    korvex::platform::SetDecimalSeparator('.');
    return 0;
}
