#include "gcode/MachineTime.h"

#include <algorithm>
#include <cmath>

namespace korvex::gcode {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The angle an arc sweeps, in radians, in its own direction; a whole turn when it ends where it starts.
double Sweep(const Move& move) {
    const double from = std::atan2(move.startY - move.centerY, move.startX - move.centerX);
    const double to = std::atan2(move.endY - move.centerY, move.endX - move.centerX);
    double sweep = move.kind == MoveKind::CounterClockwiseArc ? to - from : from - to;
    while (sweep <= 1e-12) {
        sweep += 2.0 * kPi;
    }
    return sweep;
}

long long WholeSeconds(double seconds) {
    return std::llround(std::max(seconds, 0.0));
}

// "0:41", "9:13", "1:02:03"
std::string ClockText(double seconds) {
    const long long total = WholeSeconds(seconds);
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    std::string text = hours > 0 ? std::to_string(hours) + ":" : std::string();
    if (hours > 0 && minutes < 10) {
        text += '0';
    }
    text += std::to_string(minutes) + ":";
    if (rest < 10) {
        text += '0';
    }
    return text + std::to_string(rest);
}

} // namespace

double MoveSeconds(const Move& move, const MachineModel& model) {
    const double dx = move.endX - move.startX;
    const double dy = move.endY - move.startY;
    const double dz = move.endZ - move.startZ;
    if (move.kind == MoveKind::Rapid) {
        return std::max(std::hypot(dx, dy) / model.rapidXyMmPerMin, std::fabs(dz) / model.rapidZMmPerMin) * 60.0;
    }
    const double feed = move.feedRateSet && move.feedRate > 0.0 ? move.feedRate : model.feedMmPerMin;
    double length = 0.0;
    if (move.kind == MoveKind::Feed) {
        length = std::sqrt(dx * dx + dy * dy + dz * dz);
    } else {
        const double radius = std::hypot(move.startX - move.centerX, move.startY - move.centerY);
        length = std::hypot(radius * Sweep(move), dz);
    }
    return length / feed * 60.0;
}

MachineTimeScan::MachineTimeScan(const MachineModel& model)
    : model_(model), reader_([] {
          ReadOptions options;
          options.keepMoves = false;
          options.keepWork = false;
          return options;
      }()) {}

void MachineTimeScan::Line(std::string_view line) {
    const Move* move = reader_.Line(line);
    if (move == nullptr) {
        return;
    }
    const double seconds = MoveSeconds(*move, model_);
    if (move->kind == MoveKind::Rapid) {
        time_.rapidSeconds += seconds;
    } else if (move->kind == MoveKind::Feed && move->endX == move->startX && move->endY == move->startY) {
        time_.plungeSeconds += seconds;
    } else {
        time_.millingSeconds += seconds;
    }
}

MachineTime MachineTimeScan::Result() const {
    MachineTime time = time_;
    time.toolChanges = reader_.Result().toolSelections;
    time.toolChangeSeconds = static_cast<double>(time.toolChanges) * model_.toolChangeSeconds;
    time.dwellSeconds = reader_.Result().dwellSeconds;
    return time;
}

MachineTime EstimateMachineTime(std::string_view program, const MachineModel& model) {
    MachineTimeScan scan(model);
    for (std::size_t start = 0; start < program.size();) {
        std::size_t end = program.find('\n', start);
        if (end == std::string_view::npos) {
            end = program.size();
        }
        scan.Line(program.substr(start, end - start));
        start = end + 1;
    }
    return scan.Result();
}

std::string DurationText(double seconds) {
    const long long total = WholeSeconds(seconds);
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    std::string text;
    if (hours > 0) {
        text = std::to_string(hours) + " h ";
    }
    if (hours > 0 || minutes > 0) {
        text += std::to_string(minutes) + " min ";
    }
    return text + std::to_string(rest) + " s";
}

std::string MachineTimeLine(const MachineTime& time) {
    std::string line = "Machine time: " + DurationText(time.TotalSeconds()) + " (rapids " +
                       ClockText(time.rapidSeconds) + ", plunges " + ClockText(time.plungeSeconds) + ", milling " +
                       ClockText(time.millingSeconds) + ", " + std::to_string(time.toolChanges) +
                       (time.toolChanges == 1 ? " tool change " : " tool changes ") + ClockText(time.toolChangeSeconds);
    if (time.dwellSeconds > 0.0) {
        line += ", dwell " + ClockText(time.dwellSeconds);
    }
    return line + ")";
}

} // namespace korvex::gcode
