// Reads a G-code program back into what a machine would do with it: the moves, the holes it drills and the
// paths it mills. Small on purpose: it knows the words Korvex and its tool-change blocks write (modal
// G00/G01/G02/G03, G20/G21, G90/G91, N, F, S, M and T words, "; ..." and "( ... )" comments), so the
// verification and the preview judge the program as written instead of trusting the converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::gcode {

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
    std::int32_t tool = -1;   // the last T word before the move, -1 before any
    std::size_t line = 0;     // the program line, counted from 1
    bool feedRateSet = false; // an F word came before the move
};

// A feed straight down in Z, ending below the surface, at the XY point a rapid move went to, and not the
// start of a milled path.
struct DrilledHole {
    std::int32_t tool = -1;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0; // the depth reached
    std::size_t line = 0;
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
    std::size_t line = 0; // the plunge's line
};

// A word the reader does not understand, or a number it cannot read.
struct ReadProblem {
    std::size_t line = 0;
    std::string word;
};

struct ReadOptions {
    // Z of the work surface: holes and paths are what goes below it.
    double surfaceZ = 0.0;
    // Off for a large program where only the holes and paths matter (the verification).
    bool keepMoves = true;
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
};

// Reads a whole program. Never throws on bad text: what it cannot read is listed in `problems`.
Program ReadProgram(std::string_view text, const ReadOptions& options = {});

} // namespace korvex::gcode
