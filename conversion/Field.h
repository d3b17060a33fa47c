// The main window's eight text fields, named by what they hold, for the run (ConversionHost) and for the
// settings alike. The widgets and the settings file keep their original words: edZauf / "ZAuf" is z up,
// edZab / "edZab" z down, edXOffsett / "XOffsett" the x offset (likewise y and z), edDivider / "Divisor" the
// divisor.
#pragma once

#include <cstddef>

namespace korvex::conversion {

// The six fields the settings file keeps come first, in the file's order; the two file names are never stored.
enum class Field { XOffset, YOffset, ZUp, ZDown, ZOffset, Divisor, InputFileName, OutputFileName };

constexpr std::size_t kStoredFieldCount = 6;
constexpr std::size_t kFieldCount = 8;

} // namespace korvex::conversion
