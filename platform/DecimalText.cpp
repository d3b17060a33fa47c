#include "platform/DecimalText.h"

#include <charconv>
#include <cmath>

namespace korvex::platform {

std::string FixedText(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "?";
    }
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) {
        value = 0.0;
    }
    // Room for the largest double written out in full.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return "?";
    }
    return std::string(buffer, result.ptr);
}

std::string ShortText(double value, int decimals) {
    std::string text = FixedText(value, decimals);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') {
            text.pop_back();
        }
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

std::string ExactText(double value) {
    if (!std::isfinite(value)) {
        return "?";
    }
    if (value == 0.0) {
        return "0"; // not "-0"
    }
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return error == std::errc() ? std::string(buffer, end) : "?";
}

std::optional<double> ReadDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace korvex::platform
