// How long a machine takes to run a program: its moves as the reader reads them, timed with a simple machine
// model (straight moves at constant speed, no acceleration). Good for comparing programs and settings, not a
// stopwatch.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "gcode/GcodeReader.h"

namespace korvex::gcode {

struct MachineModel {
    double rapidXyMmPerMin = 2000.0;
    double rapidZMmPerMin = 1000.0;
    double toolChangeSeconds = 30.0; // per tool selection
    // For feed moves before the program's first F word (a machine refuses them or uses a feed of its own).
    double feedMmPerMin = 100.0;
};

struct MachineTime {
    double rapidSeconds = 0.0;   // G00
    double plungeSeconds = 0.0;  // feed moves in Z alone
    double millingSeconds = 0.0; // feed moves and arcs in X and Y (a helix by its length)
    double dwellSeconds = 0.0;   // G04
    std::size_t toolChanges = 0;
    double toolChangeSeconds = 0.0;

    double TotalSeconds() const {
        return rapidSeconds + plungeSeconds + millingSeconds + dwellSeconds + toolChangeSeconds;
    }
};

// The seconds one move takes.
double MoveSeconds(const Move& move, const MachineModel& model);

// Times a program line by line, as it is written or read back. The three lines Korvex writes per hole take a
// short way past the reader (a run times millions of them); every other line goes through the reader, which
// is told first where the short way left the machine.
class MachineTimeScan {
public:
    explicit MachineTimeScan(const MachineModel& model = {});
    void Line(std::string_view line);
    MachineTime Result() const;

private:
    bool ShortWay(std::string_view line);
    void Count(const Move& move);
    void FollowModes();

    MachineModel model_;
    ProgramReader reader_;
    MachineTime time_;
    // What the short way needs to know of the program's modes, and where it left the machine.
    bool inch_ = false;
    bool incremental_ = false;
    bool feedRateSet_ = false;
    double feedRate_ = 0.0;
    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
    bool readerBehind_ = false;
    MoveKind lastMotion_ = MoveKind::Rapid;
};

MachineTime EstimateMachineTime(std::string_view program, const MachineModel& model = {});

// "Machine time: 12 min 34 s (rapids 0:41, plunges 9:13, milling 0:10, 5 tool changes 2:30)", with ", dwell
// 0:05" before the closing parenthesis when the program dwells.
std::string MachineTimeLine(const MachineTime& time);
// "45 s", "12 min 34 s", "2 h 3 min 4 s"
std::string DurationText(double seconds);

} // namespace korvex::gcode
