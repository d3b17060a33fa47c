// The engine's state: one ConversionState per process, shared by the run, ConvertLine and the line numbering.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::platform {
class TextLineReader;
class TextLineWriter;
} // namespace korvex::platform

namespace korvex::conversion {

// The Z words a tool drills with: ZUp for the retract above the hole, ZDown for the drilling feed.
struct ToolZEntry {
    std::string ZUp;
    std::string ZDown;
};

// Texts are stored cut to 5 characters as long as the cut removes nothing but decimal zeros (and the point
// when every decimal is zero): "Z1.000" -> "Z1.00", "Z-10.000" -> "Z-10.". A cut that would drop a
// significant digit would silently change a depth, so then only the trailing decimal zeros go:
// "Z-1.250" -> "Z-1.25", "Z-1000.000" -> "Z-1000". That mend is for numbers (letter, optional sign, digits with
// at most one point); other text gets the plain cut: "Z-1.5-0" -> "Z-1.5", "Z1.2.30" -> "Z1.2.".
std::string StoreZWord(std::string_view word);

// Per-tool Z words, indexed by tool number 0..98 (there is no tool 99).
class ToolTable {
public:
    static constexpr int kSize = 99;
    static bool Contains(std::int32_t tool) { return tool >= 0 && tool < kSize; }
    ToolZEntry& operator[](std::int32_t tool) { return entries_[static_cast<std::size_t>(tool)]; }
    const ToolZEntry& operator[](std::int32_t tool) const { return entries_[static_cast<std::size_t>(tool)]; }
    void Fill(const ToolZEntry& entry) { entries_.fill(entry); }

private:
    std::array<ToolZEntry, kSize> entries_{};
};

class ConversionHost;
class HoleOrder;
class ProgramEmitter;
class RunObserver;
struct ConversionState;

// How the body of the drill file (every line after the banner) becomes program lines. Without one, the run
// reads the file line by line as thousandths of an inch or millimetres divided by the divisor.
class BodyReading {
public:
    virtual ~BodyReading();
    // Converts the whole body; `zUpWord` is the run's retract word ("Z1.000") for the end of the program.
    virtual void Convert(ConversionState& state, ConversionHost& host, platform::TextLineReader& input,
                         platform::TextLineWriter& output, const std::string& zUpWord) = 0;
};

// Sees the drill file's lines as the plain reading interprets them, to notice what that reading cannot express.
class LineWatcher {
public:
    virtual ~LineWatcher();
    // `number` counts from 1. Lines of nothing but X and Y words may be passed over by a fast path; what
    // matters of them is kept in ConversionState::FirstInchDecimalLine.
    virtual void OnLine(std::string_view line, std::size_t number) = 0;
};

// How each hole is drilled: the plain program's three lines, or the controller's canned cycle, G81 or G83 (with
// pecks). The words are written as they stand here ("R1.000", "Q0.500", "F100").
enum class CycleKind { Plain, G81, G83 };
struct DrillCycle {
    CycleKind kind = CycleKind::Plain;
    std::string retractWord; // the R word; empty: the hole's retract height as its R
    std::string peckWord;    // the Q word, G83 only
    std::string feedWord;    // the F word
};

struct ConversionState {
    double Divisor = 1.0;
    double XOffset = 0.0;
    double YOffset = 0.0;
    bool InchMode = false;
    bool InHeader = false;
    conversion::ToolTable ToolTable;
    // The run's own Z words as the tool table stores them: what a tool without a table entry drills with.
    ToolZEntry RunZ;
    std::string CurrentZUp;
    std::string CurrentZDown;
    std::vector<std::string> MacroBefore;
    std::vector<std::string> MacroAfter;
    platform::TextLineWriter* OutputFile = nullptr;

    bool LineNumbersOn = true;
    std::int32_t LineNumberIncrement = 1;
    std::int32_t LineNumber = 0;

    // The selected tool (-1 before the first selection) and the last position written, in mm.
    std::int32_t CurrentTool = -1;
    double LastX = 0.0;
    double LastY = 0.0;
    // Optional for one run, set by whoever starts it; all stay null for the plain conversion.
    RunObserver* Observer = nullptr;
    BodyReading* Reading = nullptr;
    LineWatcher* Watcher = nullptr;
    HoleOrder* Order = nullptr;
    // The run's program writer, set by the run while its body is written.
    ProgramEmitter* Emitter = nullptr;
    // GRBL programs (set by whoever starts the run; off for the plain conversion): tool numbers above 255 are
    // renumbered, tool definitions name the diameter in mm, and an after-block line equal to PauseMark or
    // SenderMark becomes the tool's own pause or M6 line. With SplitMarks each tool-change block starts with a
    // part comment (ProgramEmitter::kPartMark) and the pause line is left out: the parts become programs of
    // their own.
    bool GrblTools = false;
    std::string PauseMark;
    std::string SenderMark;
    bool SplitMarks = false;
    // Tool numbers given in advance (drill file tool -> program tool); others as ProgramEmitter::GrblNumber.
    std::map<std::int32_t, std::int32_t> GrblToolNumbers;
    // Set by whoever starts the run, like the hooks above; plain unless a controller's cycle was chosen.
    DrillCycle Cycle;
    // The plain reading's input line (from 1), and the first line whose X or Y word has a decimal point while
    // the file is read in inch (0 when none): such a file needs another divisor.
    std::size_t InputLine = 0;
    std::size_t FirstInchDecimalLine = 0;

    // Stored options; nothing in the output depends on them.
    bool SuppressLeadingZeros = true;
    bool G81Enabled = false;
};

// The process's one state, used by the window and the command-line converter.
ConversionState& TheConversionState();

} // namespace korvex::conversion
