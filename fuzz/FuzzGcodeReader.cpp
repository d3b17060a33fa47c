// The G-code reader over any text: it must not fail, what it finds must hang together, and a program must
// verify against what the reader itself found in it. The controllers' code checks and the program scan see
// every line too. Input: a program text.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/ConversionState.h"
#include "fuzz/FuzzSupport.h"
#include "gcode/ControllerPreset.h"
#include "gcode/GcodeReader.h"
#include "gcode/RunChecks.h"
#include "gcode/Verification.h"

namespace {

using namespace korvex::gcode;

bool Finite(double x, double y) {
    return std::isfinite(x) && std::isfinite(y) && std::fabs(x) < 1e12 && std::fabs(y) < 1e12;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Program program = ReadProgram(text);
    const std::string shown = korvex::fuzz::Escaped(text);
    KORVEX_FUZZ_CHECK(program.problems.size() <= program.problemCount, shown);
    KORVEX_FUZZ_CHECK(program.firstFeedWithoutRate <= program.lineCount, shown);

    // The holes and paths as a run would have reported them: the program must verify against them.
    ExpectedWork expected;
    korvex::conversion::ConversionState state;
    bool finite = true;
    for (const DrilledHole& hole : program.holes) {
        KORVEX_FUZZ_CHECK(hole.z < 0.0 && hole.line >= 1 && hole.line <= program.lineCount, shown);
        finite = finite && Finite(hole.x, hole.y);
        korvex::conversion::HoleEvent event;
        event.tool = hole.tool;
        event.x = hole.x;
        event.y = hole.y;
        expected.OnHole(state, event);
    }
    for (const MilledPath& path : program.paths) {
        KORVEX_FUZZ_CHECK(!path.pieces.empty(), shown);
        finite = finite && Finite(path.startX, path.startY);
        korvex::conversion::PathEvent event;
        event.tool = path.tool;
        event.kind = korvex::conversion::PathKind::Route;
        event.startX = path.startX;
        event.startY = path.startY;
        for (const PathPiece& piece : path.pieces) {
            finite = finite && Finite(piece.x, piece.y) && Finite(piece.centerX, piece.centerY);
            using Kind = korvex::conversion::PathSegment::Kind;
            const Kind kind = piece.kind == MoveKind::ClockwiseArc          ? Kind::ClockwiseArc
                              : piece.kind == MoveKind::CounterClockwiseArc ? Kind::CounterClockwiseArc
                                                                            : Kind::Line;
            event.segments.push_back({kind, piece.x, piece.y, piece.centerX, piece.centerY});
        }
        expected.OnPath(event);
    }
    if (finite) {
        const VerificationResult result = Verify(expected, program);
        KORVEX_FUZZ_CHECK(result.Passed(), shown + " differs from itself in " + std::to_string(result.differenceCount));
    }

    ProgramScan scan(Controller::Grbl, {"M06"});
    // Fed line by line, as the checks follow a program being written, the reader finds the same.
    ProgramReader reader;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (start < text.size()) {
            reader.Line(line);
        }
        scan.Line(line);
        for (const Controller controller : {Controller::LinuxCnc, Controller::Grbl, Controller::Generic}) {
            CodesNotAccepted(controller, line);
        }
        start = end + 1;
    }
    KORVEX_FUZZ_CHECK(scan.Refused().size() <= scan.RefusedCount(), shown);
    const Program streamed = reader.Finish();
    KORVEX_FUZZ_CHECK(streamed.holes.size() == program.holes.size() && streamed.paths.size() == program.paths.size() &&
                          streamed.moves.size() == program.moves.size() &&
                          streamed.problemCount == program.problemCount &&
                          streamed.toolSelections == program.toolSelections &&
                          streamed.firstFeedWithoutRate == program.firstFeedWithoutRate,
                      shown);
    KORVEX_FUZZ_CHECK(program.toolSelections <= program.lineCount && !(program.dwellSeconds < 0.0), shown);
    for (const ReadProblem& problem : program.problems) {
        KORVEX_FUZZ_CHECK(problem.line >= 1 && problem.line <= program.lineCount && problem.column >= 1, shown);
    }
    return 0;
}
