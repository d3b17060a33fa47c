#include "preview/ProgramMoves.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace korvex::preview {

namespace {

bool IsNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The words of one line that matter here, comments and line numbers left out.
struct LineWords {
    std::optional<int> motion;
    std::optional<double> x, y, z, i, j, r;
    std::optional<std::int32_t> tool;
};

std::optional<double> ParseNumber(std::string_view text) {
    if (text.empty() || text.size() > 64) {
        return std::nullopt;
    }
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

LineWords ScanLine(std::string_view line) {
    LineWords words;
    std::size_t p = 0;
    while (p < line.size()) {
        const char c = Upper(line[p]);
        if (c == ';') {
            break;
        }
        if (c == '(') {
            const std::size_t close = line.find(')', p);
            if (close == std::string_view::npos) {
                break;
            }
            p = close + 1;
            continue;
        }
        if (c < 'A' || c > 'Z') {
            ++p;
            continue;
        }
        std::size_t q = p + 1;
        while (q < line.size() && line[q] == ' ') {
            ++q;
        }
        const std::size_t numberStart = q;
        while (q < line.size() && IsNumberChar(line[q])) {
            ++q;
        }
        const std::optional<double> value = ParseNumber(line.substr(numberStart, q - numberStart));
        p = q;
        if (!value) {
            continue;
        }
        switch (c) {
        case 'G':
            if (*value == 0.0 || *value == 1.0 || *value == 2.0 || *value == 3.0) {
                words.motion = static_cast<int>(*value);
            }
            break;
        case 'X':
            words.x = value;
            break;
        case 'Y':
            words.y = value;
            break;
        case 'Z':
            words.z = value;
            break;
        case 'I':
            words.i = value;
            break;
        case 'J':
            words.j = value;
            break;
        case 'R':
            words.r = value;
            break;
        case 'T':
            if (*value >= 0.0 && *value < 1e9) {
                words.tool = static_cast<std::int32_t>(*value);
            }
            break;
        default:
            break;
        }
    }
    return words;
}

// The centre of an arc given by its radius: the shorter arc for R > 0, the longer one for R < 0.
Point CentreFromRadius(Point a, Point b, double radius, bool clockwise) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double chord = std::hypot(dx, dy);
    const double half = chord / 2.0;
    const double r = std::fabs(radius);
    const double h = (r > half && chord > 0.0) ? std::sqrt(r * r - half * half) : 0.0;
    const Point mid{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    if (chord == 0.0) {
        return mid;
    }
    // Left of the chord for counter-clockwise short arcs.
    double sign = clockwise ? -1.0 : 1.0;
    if (radius < 0.0) {
        sign = -sign;
    }
    return Point{mid.x - sign * h * dy / chord, mid.y + sign * h * dx / chord};
}

class Reader {
public:
    void Line(std::string_view line) {
        const LineWords words = ScanLine(line);
        if (words.tool) {
            tool_ = *words.tool;
        }
        if (words.motion) {
            motion_ = *words.motion;
        }
        const bool hasXY = words.x || words.y;
        const Point target{words.x.value_or(position_.x), words.y.value_or(position_.y)};
        const bool knownBefore = xKnown_ && yKnown_;
        xKnown_ = xKnown_ || words.x.has_value();
        yKnown_ = yKnown_ || words.y.has_value();
        const bool moved = hasXY && knownBefore && (target.x != position_.x || target.y != position_.y);

        if (moved) {
            Move move;
            move.tool = tool_;
            move.start = position_;
            move.end = target;
            if (motion_ == 0) {
                EndPlunge();
                move.kind = MoveKind::Rapid;
            } else {
                plungePending_ = false; // the plunge starts a cut, not a hole
                move.kind = motion_ == 1 ? MoveKind::Line
                                         : (motion_ == 2 ? MoveKind::ClockwiseArc : MoveKind::CounterClockwiseArc);
                if (motion_ >= 2) {
                    if (words.r && !words.i && !words.j) {
                        move.centre = CentreFromRadius(position_, target, *words.r, motion_ == 2);
                    } else {
                        move.centre = Point{position_.x + words.i.value_or(0.0), position_.y + words.j.value_or(0.0)};
                    }
                }
            }
            result_.moves.push_back(move);
        }
        if (hasXY) {
            position_ = target;
        }
        if (words.z) {
            const bool lower = !zKnown_ || *words.z < z_;
            if (lower && motion_ != 0 && !moved) {
                if (!plungePending_) {
                    plungePending_ = true;
                    plungeTool_ = tool_;
                }
            } else if (!lower && *words.z > z_) {
                EndPlunge();
            }
            z_ = *words.z;
            zKnown_ = true;
        }
    }

    ProgramMoves Finish() {
        EndPlunge();
        return std::move(result_);
    }

private:
    void EndPlunge() {
        if (plungePending_ && xKnown_ && yKnown_) {
            result_.holes.push_back(DrilledHole{plungeTool_, position_});
        }
        plungePending_ = false;
    }

    ProgramMoves result_;
    int motion_ = 0;
    std::int32_t tool_ = -1;
    Point position_;
    bool xKnown_ = false;
    bool yKnown_ = false;
    double z_ = 0.0;
    bool zKnown_ = false;
    bool plungePending_ = false;
    std::int32_t plungeTool_ = -1;
};

} // namespace

ProgramMoves ReadProgramMoves(std::string_view program) {
    Reader reader;
    std::size_t start = 0;
    while (start < program.size()) {
        std::size_t end = program.find('\n', start);
        if (end == std::string_view::npos) {
            end = program.size();
        }
        std::string_view line = program.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        reader.Line(line);
        start = end + 1;
    }
    return reader.Finish();
}

} // namespace korvex::preview
