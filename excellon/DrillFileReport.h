// What the window's "Drill file format…" dialog and korvex-cli need of the Excellon reading: the user's choice
// of reading, and a look at a drill file before it is converted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::excellon {

enum class UnitsChoice { FromFile, Inch, Millimetre };
// Excellon's words: LZ = leading zeros are written and trailing ones left out; TZ = the reverse.
enum class ZerosChoice { FromFile, LZ, TZ };

// How the user wants the drill file read. With `excellon` false the plain reading runs (divisor and all) and
// the other fields are ignored. A fixed value overrides whatever the file says.
struct ReadingChoice {
    bool excellon = false;
    UnitsChoice units = UnitsChoice::FromFile;
    // Integer and decimal digits of numbers without a decimal point; 0:0 = from the file.
    int integerDigits = 0;
    int decimalDigits = 0;
    ZerosChoice zeros = ZerosChoice::FromFile;

    bool DigitsFromFile() const { return integerDigits == 0 && decimalDigits == 0; }
    bool operator==(const ReadingChoice& other) const {
        return excellon == other.excellon && units == other.units && integerDigits == other.integerDigits &&
               decimalDigits == other.decimalDigits && zeros == other.zeros;
    }
    bool operator!=(const ReadingChoice& other) const { return !(*this == other); }
};

// "2:4" -> 2 and 4: one digit 0..9 on each side, not both 0, nothing else around them. Used by korvex-cli's
// --number-format and by the dialog.
struct NumberFormat {
    int integerDigits = 0;
    int decimalDigits = 0;
};
std::optional<NumberFormat> ParseNumberFormat(std::string_view text);
// "inch" / "mm" (also "metric"), case-insensitive.
std::optional<UnitsChoice> ParseUnits(std::string_view text);
// "LZ" / "TZ", case-insensitive.
std::optional<ZerosChoice> ParseZeros(std::string_view text);

struct ToolReport {
    std::int32_t number = 0;
    double diameterMm = 0.0; // 0 when the file gives none
};

// What the Excellon reading makes of a file with the given choice. Each "...Source" says where the value came
// from: "user", "header", "comment", "sidecar", "inference" or "default".
struct DrillFileReport {
    bool readable = false; // false: `error` says why (no file, a bad number on line n, ...)
    std::string error;

    std::string units; // "inch" or "mm"
    std::string unitsSource;
    std::string digits; // "2:4"
    std::string digitsSource;
    std::string zeros; // "LZ" or "TZ"
    std::string zerosSource;
    bool incremental = false;
    bool decimalNumbers = false; // some coordinates carry a decimal point (taken as written)

    std::vector<ToolReport> tools; // in the order the file defines or selects them
    std::size_t holes = 0;
    std::size_t slotCount = 0; // not "slots": Qt defines that word as a macro
    std::size_t routes = 0;
    // Extents in mm of everything drilled or milled (all zero without any).
    double minX = 0.0;
    double maxX = 0.0;
    double minY = 0.0;
    double maxY = 0.0;

    // One line for the dialog, e.g. "mm, 3:3 TZ (header), 4 tools, 22 holes, 3 slots, 0 routes".
    std::string description;
};

// Reads the file with the Excellon reading and `choice`'s fixed values (whatever `choice.excellon` says); a
// sidecar beside the file counts as it does for a run. Never throws.
DrillFileReport InspectDrillFile(const std::string& path, const ReadingChoice& choice);

} // namespace korvex::excellon
