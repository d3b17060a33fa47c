#include "preview/ProgramPreview.h"

#include "gcode/GcodeReader.h"
#include "platform/AtomicFile.h"

namespace korvex::preview {

ProgramMoves ReadProgramMoves(std::string_view program, std::optional<double> endMillMm) {
    ProgramMoves moves;
    gcode::ReadOptions options;
    options.keepMoves = false; // the rapids are taken as they come; a large program need not hold every move
    const gcode::Program read = gcode::ReadProgram(program, options, [&](const gcode::Move& move) {
        const bool sideways = move.endX != move.startX || move.endY != move.startY;
        if (move.kind == gcode::MoveKind::Rapid && sideways && move.positionKnown) {
            moves.moves.push_back(Move{
                gcode::MoveKind::Rapid, move.tool, Point{move.startX, move.startY}, Point{move.endX, move.endY}, {}});
        }
    });
    for (const gcode::DrilledHole& hole : read.holes) {
        if (hole.positionKnown) {
            moves.holes.push_back(DrilledHole{hole.tool, Point{hole.x, hole.y}});
        }
    }
    for (const gcode::MilledPath& path : read.paths) {
        if (const std::optional<gcode::MilledCircle> circle = endMillMm ? gcode::CircleOf(path) : std::nullopt) {
            if (path.positionKnown) {
                moves.holes.push_back(
                    DrilledHole{path.tool, Point{circle->x, circle->y}, circle->diameter + *endMillMm});
            }
            continue;
        }
        Point at{path.startX, path.startY};
        bool known = path.positionKnown;
        for (const gcode::PathPiece& piece : path.pieces) {
            const Point to{piece.x, piece.y};
            if (known) {
                moves.moves.push_back(Move{piece.kind, path.tool, at, to, Point{piece.centerX, piece.centerY}});
            }
            at = to;
            known = true;
        }
    }
    return moves;
}

Scene ProgramTextScene(std::string_view program, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences, std::optional<double> endMillMm) {
    return BuildScene(PreviewModel(ReadProgramMoves(program, endMillMm), toolDiameters, std::move(differences)));
}

Scene LoadProgramScene(const std::string& path, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences, std::error_code& error, std::optional<double> endMillMm) {
    std::string program;
    error = platform::ReadWholeFile(path, program);
    if (error) {
        return BuildScene(PreviewModel());
    }
    return ProgramTextScene(program, toolDiameters, std::move(differences), endMillMm);
}

} // namespace korvex::preview
