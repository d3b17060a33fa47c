// How an Excellon file writes its numbers, and where each part of that knowledge came from. The reading, the
// log, the format dialog and the tests all need to say why a file was read as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "excellon/DrillFileReport.h"

namespace korvex::excellon {

enum class Units { Inch, Millimetre };
enum class Zeros { LZ, TZ }; // Excellon's words: LZ writes leading zeros and leaves out trailing ones

// From the strongest to the weakest: a hint never overrides one from a stronger source, nor an earlier one of
// the same source.
enum class Source { User, Header, Comment, Sidecar, Inference, Default, None };
const char* SourceName(Source source);

struct Digits {
    int integer = 0;
    int decimal = 0;
};

template <typename T>
struct Hint {
    std::optional<T> value;
    Source source = Source::None;

    bool Set(T newValue, Source from) {
        if (value && source <= from) {
            return false;
        }
        value = newValue;
        source = from;
        return true;
    }
};

struct Format {
    Hint<Units> units;
    Hint<Digits> digits;
    Hint<Zeros> zeros;
    Hint<bool> incremental;
    // The file writes its coordinates with a decimal point and declares no digits: a number written without
    // one is a whole number of units ("Y7" beside "X-3.25" is 7 mm), not implied decimals.
    bool wholeWithoutPoint = false;

    // "mm, 3:3 TZ, absolute (units header, digits default, zeros inference)".
    std::string Describe() const;
};

// The hints of one drill-file line (header words, digit patterns, format comments), set with their own
// sources. Lines that give none leave `format` as it was.
void TakeLineHints(std::string_view line, Format& format);

// A sidecar file's text (nc_param.txt, ncdrill.log) as hints of source Sidecar.
void TakeSidecarHints(std::string_view text, Format& format);

// What the digits of the file's coordinates say: the longest number without a decimal point and whether any
// of them is written with a leading zero.
struct DigitCounts {
    int longest = 0;
    bool leadingZero = false;
    bool any = false;
    bool decimalPoint = false; // some X or Y number has one
};
void CountDigits(std::string_view line, DigitCounts& counts);

// The whole detection, in its fixed order: the user's choice, the file's header words and comments, a sidecar
// beside `drillPath` (empty: none), inference from the digits, and the defaults (inch 2:4, mm 3:3). Every
// part of the result is set.
Format DetectFormat(const std::vector<std::string>& lines, const ReadingChoice& choice, const std::string& drillPath);

// Completes a format after the file's hints: inference and defaults.
void CompleteFormat(Format& format, const DigitCounts& counts);

} // namespace korvex::excellon
