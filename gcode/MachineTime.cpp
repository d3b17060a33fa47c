#include "gcode/MachineTime.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

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
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (ShortWay(line)) {
        return;
    }
    if (readerBehind_) {
        // The machine as the short way left it: the position and the motion mode in effect.
        std::string where = lastMotion_ == MoveKind::Rapid ? "G00" : "G01";
        for (const auto& [letter, value] : {std::pair{'X', x_}, std::pair{'Y', y_}, std::pair{'Z', z_}}) {
            char buffer[64];
            where += ' ';
            where += letter;
            where.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
        }
        reader_.Line(where);
        readerBehind_ = false;
    }
    const Move* move = reader_.Line(line);
    FollowModes();
    if (move != nullptr) {
        x_ = move->endX;
        y_ = move->endY;
        z_ = move->endZ;
        Count(*move);
    }
}

// The units, distance mode and feed rate the line set, as the reader takes them.
void MachineTimeScan::FollowModes() {
    const std::vector<Word>& words = reader_.Words().words;
    for (const Word& word : words) {
        if (word.Letter() == 'G' && word.value) {
            const double code = *word.value;
            inch_ = code == 20 ? true : code == 21 ? false : inch_;
            incremental_ = code == 91 ? true : code == 90 ? false : incremental_;
        }
    }
    for (const Word& word : words) {
        if (word.Letter() == 'F' && word.value && *word.value >= 0.0) {
            feedRate_ = *word.value * (inch_ ? 25.4 : 1.0);
            feedRateSet_ = feedRateSet_ || *word.value > 0.0;
        }
    }
}

// "N00045 G00 X10.000 Y10.000", "G01 Z-2.0": a line number, G00 or G01 and one to three of X, Y and Z as plain
// decimals, single blanks between. True when the line was such a line and has been timed.
bool MachineTimeScan::ShortWay(std::string_view line) {
    if (inch_ || incremental_) {
        return false;
    }
    std::size_t p = 0;
    if (p < line.size() && line[p] == 'N') {
        ++p;
        while (p < line.size() && line[p] >= '0' && line[p] <= '9') {
            ++p;
        }
        if (p == 1 || p == line.size() || line[p] != ' ') {
            return false;
        }
        ++p;
    }
    if (line.size() - p < 4 || line[p] != 'G' || line[p + 1] != '0' || (line[p + 2] != '0' && line[p + 2] != '1') ||
        line[p + 3] != ' ') {
        return false;
    }
    const bool rapid = line[p + 2] == '0';
    p += 4;
    double axes[3] = {x_, y_, z_};
    int lastAxis = -1;
    while (p < line.size()) {
        const int axis = line[p] == 'X' ? 0 : line[p] == 'Y' ? 1 : line[p] == 'Z' ? 2 : -1;
        if (axis <= lastAxis) {
            return false;
        }
        lastAxis = axis;
        ++p;
        const bool negative = p < line.size() && line[p] == '-';
        p += negative ? 1 : 0;
        // Up to 15 digits are exact in a double, and so is their quotient by a power of ten after rounding.
        std::uint64_t digits = 0;
        int count = 0;
        int decimals = -1;
        for (; p < line.size() && line[p] != ' '; ++p) {
            const char c = line[p];
            if (c == '.' && decimals < 0) {
                decimals = 0;
            } else if (c >= '0' && c <= '9' && count < 15) {
                digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
                ++count;
                decimals += decimals >= 0 ? 1 : 0;
            } else {
                return false;
            }
        }
        if (count == 0) {
            return false;
        }
        constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double value = static_cast<double>(digits) / kPowers[std::max(decimals, 0)];
        axes[axis] = negative ? -value : value;
        if (p < line.size()) {
            ++p; // the blank
            if (p == line.size()) {
                return false;
            }
        }
    }
    if (lastAxis < 0) {
        return false;
    }
    Move move;
    move.kind = rapid ? MoveKind::Rapid : MoveKind::Feed;
    move.startX = x_;
    move.startY = y_;
    move.startZ = z_;
    move.endX = axes[0];
    move.endY = axes[1];
    move.endZ = axes[2];
    move.feedRateSet = feedRateSet_;
    move.feedRate = feedRate_;
    x_ = axes[0];
    y_ = axes[1];
    z_ = axes[2];
    lastMotion_ = move.kind;
    readerBehind_ = true;
    Count(move);
    return true;
}

void MachineTimeScan::Count(const Move& move) {
    const double seconds = MoveSeconds(move, model_);
    if (move.kind == MoveKind::Rapid) {
        time_.rapidSeconds += seconds;
    } else if (move.kind == MoveKind::Feed && move.endX == move.startX && move.endY == move.startY) {
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
