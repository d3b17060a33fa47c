// Reads a G-code program back into what a machine would do with it: the moves, the holes it drills and the
// paths it mills. Every part of Korvex that looks into a program (the checks while it is written, the
// controllers' code lists, the verification, the preview) reads it here, so they all see one program.
// Small on purpose: it knows the words Korvex and its tool-change blocks write (N words; modal G00-G03,
// G20/G21, G90/G91; arcs by I/J or R; G04 with P; F, S, T and M words; "; ..." and "( ... )" comments), and
// the drilling cycles G81 and G83 (with G80, G98/G99, R, Q and lines of X/Y alone that repeat them, in
// absolute distances). A cycle's position is one drilled hole at the cycle's Z; its pecks are moves only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::gcode {

// One word of a line: a letter and the number after it. Blanks inside a word are allowed and left out,
// as controllers do ("G 01" is G01).
struct Word {
    char letter = 0;             // as written; not always a letter ("," in "FMAT,2")
    std::string_view number;     // the text after the letter, blanks inside it included
    std::optional<double> value; // nothing when the number is missing or unreadable
    std::size_t column = 0;      // of the letter, counted from 1

    char Letter() const { return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter; }
    std::string Digits() const;                            // the number without its blanks
    std::string Text() const { return letter + Digits(); } // "G81", "x1.2.3"
};

struct LineWords {
    std::vector<Word> words;
    std::size_t unclosedComment = 0; // the column of a "(" without ")", 0 when there is none
};

// The words of `line` in order, comments left out: ";" ends the line, "( ... )" is skipped. Any character
// other than a blank starts a word, so that callers can name what they do not know. `out` is reused.
void TokenizeLine(std::string_view line, LineWords& out);

enum class MoveKind { Rapid, Feed, ClockwiseArc, CounterClockwiseArc };

// One motion from (startX, startY, startZ) to (endX, endY, endZ), in mm (G20 programs are scaled).
struct Move {
    MoveKind kind = MoveKind::Rapid;
    double startX = 0.0;
    double startY = 0.0;
    double startZ = 0.0;
    double endX = 0.0;
    double endY = 0.0;
    double endZ = 0.0;
    double centerX = 0.0; // arcs only: the absolute centre
    double centerY = 0.0;
    std::int32_t tool = -1;     // the last T word before the move, -1 before any
    std::size_t line = 0;       // the program line, counted from 1
    bool feedRateSet = false;   // an F word came before the move
    double feedRate = 0.0;      // mm/min in effect (inch programs scaled), 0 before any F word
    bool positionKnown = false; // the program had named X and Y before, so the start is not assumed
};

// A feed straight down in Z, ending below the surface, at the XY point a rapid move went to, and not the
// start of a milled path.
struct DrilledHole {
    std::int32_t tool = -1;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0; // the depth reached
    std::size_t line = 0;
    bool positionKnown = true; // false when the program never named X and Y before it
};

// One piece of a milled path: a straight feed or an arc to (x, y).
struct PathPiece {
    MoveKind kind = MoveKind::Feed; // Feed, ClockwiseArc or CounterClockwiseArc
    double x = 0.0;
    double y = 0.0;
    double centerX = 0.0;
    double centerY = 0.0;
};

// Feed moves in X and Y below the surface, from the plunge at (startX, startY) until the tool leaves the
// work or moves in a rapid.
struct MilledPath {
    std::int32_t tool = -1;
    double startX = 0.0;
    double startY = 0.0;
    double z = 0.0; // the depth of the plunge
    std::vector<PathPiece> pieces;
    std::size_t line = 0;      // the plunge's line
    bool positionKnown = true; // as for DrilledHole, of the start
};

// A milled path that makes a round hole: arcs about one centre, all one way round at one radius, closing on
// their start (a helix down and the circle at depth). `diameter` is that of the cutter's centre line.
struct MilledCircle {
    double x = 0.0;
    double y = 0.0;
    double diameter = 0.0;
};
std::optional<MilledCircle> CircleOf(const MilledPath& path);

// A word the reader does not understand, or a number it cannot read, where it stands.
struct ReadProblem {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string word;

    std::string Location() const { return std::to_string(line) + ":" + std::to_string(column); } // "12:5"
};

struct ReadOptions {
    // Z of the work surface: holes and paths are what goes below it.
    double surfaceZ = 0.0;
    // Off for a large program where only the holes and paths matter (the verification).
    bool keepMoves = true;
    // Off where only the modes and words matter (the checks while the program is written).
    bool keepWork = true;
};

struct Program {
    std::vector<Move> moves; // empty unless ReadOptions::keepMoves
    std::vector<DrilledHole> holes;
    std::vector<MilledPath> paths;
    std::vector<ReadProblem> problems; // the first few only
    std::size_t problemCount = 0;
    // The line of the first feed move (G01/G02/G03 that moves) before any F word; 0 when there is none.
    std::size_t firstFeedWithoutRate = 0;
    std::size_t lineCount = 0;
    // T words that select another tool than the one in use, the first one included.
    std::size_t toolSelections = 0;
    // The sum of the G04 dwells' P words, in seconds.
    double dwellSeconds = 0.0;
};

// Reads a program one line at a time, as it is written or read back. Never throws on bad text: what it
// cannot read is listed in the result's `problems`.
class ProgramReader {
public:
    explicit ProgramReader(const ReadOptions& options = {}) : options_(options) {}

    // One line without its line end (a CR left at its end is ignored). Returns the move the line makes,
    // valid until the next call, or null.
    const Move* Line(std::string_view line);
    // The words of the line last read.
    const LineWords& Words() const { return words_; }
    // What has been read so far; a hole or path still being worked on is not in it yet.
    const Program& Result() const { return program_; }
    // Every move the line last read made, in order: several for a drilling cycle, otherwise at most one.
    const std::vector<Move>& LineMoves() const { return lineMoves_; }
    // Ends the work in progress and hands over the result.
    Program Finish();

private:
    struct LineCodes;
    bool ReadCodes(LineCodes& codes);
    void Problem(const Word& word);
    void Problem(std::size_t column, std::string word);
    double Axis(const std::optional<double>& word, double current) const;
    void Follow(const Move& move);
    void EndWork();
    enum class Cycle { None, G81, G83 };
    const Move* DrillCycle(const LineCodes& codes);
    void CycleMove(MoveKind kind, double x, double y, double z);

    ReadOptions options_;
    Program program_;
    LineWords words_;
    Move move_;
    MoveKind motion_ = MoveKind::Rapid;
    double scale_ = 1.0;
    bool incremental_ = false;
    bool feedRateSet_ = false;
    double feedRate_ = 0.0;
    std::int32_t tool_ = -1;
    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
    bool xKnown_ = false;
    bool yKnown_ = false;
    bool plunged_ = false;
    DrilledHole plunge_;
    bool inPath_ = false;
    MilledPath path_;
    std::vector<Move> lineMoves_;
    // The drilling cycle in force and its modal words, in mm.
    Cycle cycle_ = Cycle::None;
    bool retractToStart_ = true; // G98; G99 retracts to R
    double cycleZ_ = 0.0;
    double cycleR_ = 0.0;
    double cycleQ_ = 0.0;
};

// Reads a whole program.
Program ReadProgram(std::string_view text, const ReadOptions& options = {});
// The same, handing each move to `onMove` as it is read, for a caller that keeps its own view of them.
Program ReadProgram(std::string_view text, const ReadOptions& options, const std::function<void(const Move&)>& onMove);

} // namespace korvex::gcode
