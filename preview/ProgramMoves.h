// What a written program does in the plane, as the preview needs it: the holes it drills and the sideways
// moves between and along them. The preview draws from this, whichever reader produced it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace korvex::preview {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// The tool plunged at `at` and came back up without moving sideways.
struct DrilledHole {
    std::int32_t tool = -1;
    Point at;
};

enum class MoveKind { Rapid, Line, ClockwiseArc, CounterClockwiseArc };

// A sideways move. Rapids are travel; lines and arcs are feed moves and cut a stroke of the tool's width.
struct Move {
    MoveKind kind = MoveKind::Rapid;
    std::int32_t tool = -1;
    Point start;
    Point end;
    Point centre; // arcs only
};

struct ProgramMoves {
    std::vector<DrilledHole> holes;
    std::vector<Move> moves;
};

// Reads a program back line by line: N words, ";" and "(...)" comments, modal G00/G01/G02/G03 with X, Y, Z
// and I, J (centre offsets) or R, and T words. A feed that only lowers Z starts a plunge; the plunge is a
// hole when the tool next rises or travels, and the start of a cut when it next feeds sideways. Positions
// stay unknown until the program names them, so no move is drawn from an assumed origin.
ProgramMoves ReadProgramMoves(std::string_view program);

} // namespace korvex::preview
