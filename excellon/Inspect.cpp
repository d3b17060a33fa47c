#include "excellon/Inspect.h"

#include <cctype>

namespace korvex::excellon {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

} // namespace

std::optional<NumberFormat> ParseNumberFormat(std::string_view text) {
    if (text.size() != 3 || text[1] != ':' || !std::isdigit(static_cast<unsigned char>(text[0])) ||
        !std::isdigit(static_cast<unsigned char>(text[2]))) {
        return std::nullopt;
    }
    NumberFormat format{text[0] - '0', text[2] - '0'};
    if (format.integerDigits == 0 && format.decimalDigits == 0) {
        return std::nullopt;
    }
    return format;
}

std::optional<UnitsChoice> ParseUnits(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "inch") {
        return UnitsChoice::Inch;
    }
    if (lower == "mm" || lower == "metric") {
        return UnitsChoice::Millimetre;
    }
    return std::nullopt;
}

std::optional<ZerosChoice> ParseZeros(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "lz") {
        return ZerosChoice::LZ;
    }
    if (lower == "tz") {
        return ZerosChoice::TZ;
    }
    return std::nullopt;
}

DrillFileReport InspectDrillFile(const std::string& path, const ReadingChoice& choice) {
    (void)choice;
    DrillFileReport report;
    report.error = "cannot read " + path + " yet";
    return report;
}

} // namespace korvex::excellon
