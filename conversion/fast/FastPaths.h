// The fast paths in one place: code that exists only to give the full algorithms' bytes faster, for the
// numbers and lines nearly every drill file has. Each one declines (returns 0 or false) whatever it cannot be
// certain about, and the caller takes the full algorithm; the fast-path fuzz target and the tests at the
// limits below compare both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace korvex::conversion {

struct ConversionState;
struct HoleEvent;

// On by default; off, every number and every line takes the full algorithm (for comparing both).
void EnableFastPaths(bool on);
bool FastPathsEnabled();

// -- Short decimals: numbers of at most kMaxShortDigits digits and no exponent --

// Up to 15 digits, both the digits and the power of ten are exact doubles, so one division rounds correctly;
// a 16th digit would round twice.
constexpr std::size_t kMaxShortDigits = 15;
// digits / 10^fracDigits, correctly rounded, for digits < 10^kMaxShortDigits and fracDigits <= kMaxShortDigits.
double ShortDecimal(std::uint64_t digits, std::size_t fracDigits);

// -- Three decimals: RealToStr(1, 3, value) --

// Below this bound the full algorithm's extended-precision steps move value * 1000 by less than 2^-30.
constexpr double kThreeDecimalsBound = 1e5;
// RealToStr(1, 3, value) into `out` (room for kMaxThreeDecimals characters) when a short computation is
// certain to give the full algorithm's text; 0 when it is not (kThreeDecimalsBound or more, tiny, negative
// zero, NaN, infinite, or within 2^-28 of a rounding tie), and the caller takes the full algorithm.
constexpr std::size_t kMaxThreeDecimals = 16;
std::size_t WriteThreeDecimals(double value, char* out);

// -- Coordinate lines --

// The bulk of a drill file is lines of nothing but an X and a Y word. Take() converts such a line as
// ConvertLine would, byte for byte, but writes the program lines straight into the writer's buffer (where it
// offers room) or holds them and writes them in large pieces; any line it is not certain about it leaves
// alone (returns false). Before the caller writes anything itself or calls ConvertLine, it calls Flush(). The
// watcher does not see the lines taken here (nothing in a line of only X and Y words concerns it); the first
// inch coordinate with a decimal point is noted all the same. The observer is told about the holes in
// batches. With a hole order the holes go to the run's writer (ProgramEmitter), which holds them.
class CoordinateLines {
public:
    explicit CoordinateLines(ConversionState& state);
    ~CoordinateLines();
    CoordinateLines(const CoordinateLines&) = delete;
    CoordinateLines& operator=(const CoordinateLines&) = delete;

    // The line is counted in state.InputLine already.
    bool Take(std::string_view line);
    // Writes the held lines to state.OutputFile, before the caller writes or converts anything itself.
    // Throws platform::IoError.
    void Flush();

private:
    struct Coordinate;
    // "G00 Z1.000\r\n" or "G01 Z-2.000\r\n", also as a block for the block copy when it is short.
    struct ZLine {
        std::string text;
        char block[32];
        void Set(std::string_view command, std::string_view z);
        char* Put(char* p) const;
    };
    std::size_t Read(std::string_view line, std::size_t start, double offset, Coordinate& coordinate);
    void AppendLineNumber(char*& p);
    void SetZLines();
    // Makes room for `needed` bytes: in the writer's own buffer where it offers one, else in held_.
    void Room(std::size_t needed);
    void HandOnWatched();
    void WriteHeld();

    ConversionState& state_;
    bool usable_;
    // The observer is told about the holes in batches, with their words in the buffer.
    bool watchOnly_;
    // A hole order or a canned cycle is set: every hole goes to the run's writer.
    bool holding_;
    std::unique_ptr<HoleEvent[]> watched_;
    std::size_t watchedCount_ = 0;
    // Where the lines go until they are written: a room in the writer (committed), or held_ (written).
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool inWriter_ = false;
    std::unique_ptr<char[]> held_;
    std::size_t heldCapacity_ = 0;
    ZLine up_;
    ZLine down_;
    bool zChanged_ = false; // the caller converted lines that may have selected another tool
    // The line number "N12345 " as text in a word, advanced in place while it is `numberFor_`.
    std::uint64_t numberWord_ = 0;
    bool numberKnown_ = false;
    std::int32_t numberFor_ = 0;
    std::uint64_t incrementWord_ = 0; // the increment's last five digits in the digit lanes
    std::string fullText_;
};

} // namespace korvex::conversion
