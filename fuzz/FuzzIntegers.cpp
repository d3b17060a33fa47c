// StrToIntOrZero against a reference written from the accepted forms, and the line numbering over every
// number and increment. Input: any text; its first eight bytes also give a line number and an increment.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "fuzz/FuzzSupport.h"

namespace {

int HexDigit(char c) {
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

// Blanks, sign, then decimal digits in the 32-bit range, or "$", "x", "X", "0x", "0X" and a 32-bit pattern of
// hexadecimal digits; 0 for anything else.
std::int32_t Reference(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        return 0;
    }
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    int base = 10;
    if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        base = 16;
        rest.remove_prefix(1);
    } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        base = 16;
        rest.remove_prefix(2);
    }
    if (rest.empty()) {
        return 0;
    }
    // Leading zeros never change the value; they only make the text long.
    while (rest.size() > 1 && rest[0] == '0') {
        rest.remove_prefix(1);
    }
    if (rest.size() > 10) {
        return 0;
    }
    std::int64_t value = 0;
    for (char c : rest) {
        const int digit = HexDigit(c);
        if (digit < 0 || digit >= base) {
            return 0;
        }
        value = value * base + digit;
    }
    if (base == 16) {
        if (value > 0xFFFFFFFFll) {
            return 0;
        }
        std::uint32_t pattern = static_cast<std::uint32_t>(value);
        if (negative) {
            pattern = ~pattern + 1u;
        }
        std::int32_t result;
        std::memcpy(&result, &pattern, sizeof result);
        return result;
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

std::string ReferenceLineNumber(std::int32_t number) {
    const std::int64_t magnitude = number < 0 ? -static_cast<std::int64_t>(number) : number;
    char text[16];
    std::snprintf(text, sizeof text, "%s%05lld", number < 0 ? "-" : "", static_cast<long long>(magnitude % 100000));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int32_t got = korvex::conversion::StrToIntOrZero(text);
    const std::int32_t expected = Reference(text);
    KORVEX_FUZZ_CHECK(got == expected, korvex::fuzz::Escaped(text) + " gave " + std::to_string(got) + ", expected " +
                                           std::to_string(expected));

    if (size >= 8) {
        std::int32_t number;
        std::int32_t increment;
        std::memcpy(&number, data, 4);
        std::memcpy(&increment, data + 4, 4);
        const std::string formatted = korvex::conversion::FormatLineNumber(number);
        KORVEX_FUZZ_CHECK(formatted == ReferenceLineNumber(number), std::to_string(number) + " gave " + formatted);

        korvex::conversion::ConversionState state;
        state.LineNumbersOn = true;
        state.LineNumber = number;
        state.LineNumberIncrement = increment;
        const std::string prefix = korvex::conversion::LineNumberPrefix(state);
        KORVEX_FUZZ_CHECK(prefix == "N" + formatted + " ", "prefix " + prefix);
        const auto wrapped = static_cast<std::uint32_t>(number) + static_cast<std::uint32_t>(increment);
        KORVEX_FUZZ_CHECK(static_cast<std::uint32_t>(state.LineNumber) == wrapped, "line number did not advance");
        state.LineNumbersOn = false;
        KORVEX_FUZZ_CHECK(korvex::conversion::LineNumberPrefix(state).empty(), "prefix while numbering is off");
        KORVEX_FUZZ_CHECK(static_cast<std::uint32_t>(state.LineNumber) == wrapped, "moved while off");
    }
    return 0;
}
