#include "gcode/GcodeReader.h"

#include <algorithm>
#include <cmath>

#include "platform/DecimalText.h"

namespace korvex::gcode {

namespace {

constexpr std::size_t kMaxKeptProblems = 20;
constexpr double kSamePoint = 1e-9;
constexpr std::size_t kLongestNumber = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || IsBlank(c);
}

std::optional<double> NumberValue(std::string_view number) {
    if (std::none_of(number.begin(), number.end(), IsBlank)) {
        return platform::ReadDecimal(number);
    }
    char buffer[kLongestNumber];
    std::size_t size = 0;
    for (const char c : number) {
        if (!IsBlank(c)) {
            if (size == sizeof buffer) {
                return std::nullopt;
            }
            buffer[size++] = c;
        }
    }
    return platform::ReadDecimal(std::string_view(buffer, size));
}

// The centre of an arc given by its radius: the shorter arc for R > 0, the longer one for R < 0.
void CentreFromRadius(Move& move, double radius) {
    const double dx = move.endX - move.startX;
    const double dy = move.endY - move.startY;
    const double chord = std::hypot(dx, dy);
    const double midX = (move.startX + move.endX) / 2.0;
    const double midY = (move.startY + move.endY) / 2.0;
    if (chord == 0.0) {
        move.centerX = midX;
        move.centerY = midY;
        return;
    }
    const double half = chord / 2.0;
    const double r = std::fabs(radius);
    const double h = r > half ? std::sqrt(r * r - half * half) : 0.0;
    // Left of the chord for counter-clockwise short arcs.
    double sign = move.kind == MoveKind::ClockwiseArc ? -1.0 : 1.0;
    if (radius < 0.0) {
        sign = -sign;
    }
    move.centerX = midX - sign * h * dy / chord;
    move.centerY = midY + sign * h * dx / chord;
}

} // namespace

std::string Word::Digits() const {
    std::string digits;
    digits.reserve(number.size());
    for (const char c : number) {
        if (!IsBlank(c)) {
            digits += c;
        }
    }
    return digits;
}

void TokenizeLine(std::string_view line, LineWords& out) {
    out.words.clear();
    out.unclosedComment = 0;
    std::size_t p = 0;
    while (p < line.size()) {
        const char c = line[p];
        if (IsBlank(c)) {
            ++p;
            continue;
        }
        if (c == ';') {
            break;
        }
        if (c == '(') {
            const std::size_t close = line.find(')', p);
            if (close == std::string_view::npos) {
                out.unclosedComment = p + 1;
                break;
            }
            p = close + 1;
            continue;
        }
        Word word;
        word.letter = c;
        word.column = p + 1;
        ++p;
        const std::size_t start = p;
        while (p < line.size() && IsNumberChar(line[p])) {
            ++p;
        }
        std::size_t end = p;
        while (end > start && IsBlank(line[end - 1])) {
            --end;
        }
        std::size_t first = start;
        while (first < end && IsBlank(line[first])) {
            ++first;
        }
        word.number = line.substr(first, end - first);
        word.value = NumberValue(word.number);
        out.words.push_back(word);
    }
}

// The codes and words of one line that set modes or say where to go.
struct ProgramReader::LineCodes {
    std::optional<MoveKind> motion;
    bool dwell = false;
    bool endCycle = false;
    std::optional<bool> retractToStart;
    std::optional<double> cycle; // 81 or 83
    std::optional<double> x, y, z, i, j, r, f, p, q, t;
    bool HasAxis() const { return x || y || z; }
};

const Move* ProgramReader::Line(std::string_view line) {
    ++program_.lineCount;
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    TokenizeLine(line, words_);
    lineMoves_.clear();
    LineCodes codes;
    if (!ReadCodes(codes)) {
        return nullptr;
    }
    if (codes.t) {
        const double tool = *codes.t;
        if (tool >= 0.0 && tool <= 2147483647.0 && tool == std::floor(tool)) {
            const auto selected = static_cast<std::int32_t>(tool);
            if (selected != tool_) {
                ++program_.toolSelections;
            }
            tool_ = selected;
        }
    }
    if (codes.f && *codes.f >= 0.0) {
        feedRate_ = *codes.f * scale_;
        feedRateSet_ = feedRateSet_ || *codes.f > 0.0;
    }
    if (codes.motion) {
        motion_ = *codes.motion;
    }
    if (codes.dwell) {
        if (codes.p && *codes.p > 0.0) {
            program_.dwellSeconds += *codes.p;
        }
        return nullptr;
    }
    if (codes.retractToStart) {
        retractToStart_ = *codes.retractToStart;
    }
    if (codes.motion || codes.endCycle) {
        cycle_ = Cycle::None;
    }
    if (codes.cycle) {
        cycle_ = *codes.cycle == 81 ? Cycle::G81 : Cycle::G83;
    }
    if (cycle_ != Cycle::None) {
        return DrillCycle(codes);
    }
    if (!codes.HasAxis()) {
        return nullptr;
    }
    Move& move = move_;
    move = Move{};
    move.kind = motion_;
    move.startX = x_;
    move.startY = y_;
    move.startZ = z_;
    move.endX = Axis(codes.x, x_);
    move.endY = Axis(codes.y, y_);
    move.endZ = Axis(codes.z, z_);
    move.tool = tool_;
    move.line = program_.lineCount;
    move.feedRateSet = feedRateSet_;
    move.feedRate = feedRate_;
    move.positionKnown = xKnown_ && yKnown_;
    if (motion_ == MoveKind::ClockwiseArc || motion_ == MoveKind::CounterClockwiseArc) {
        if (codes.r && !codes.i && !codes.j) {
            CentreFromRadius(move, *codes.r * scale_);
        } else {
            move.centerX = x_ + codes.i.value_or(0.0) * scale_;
            move.centerY = y_ + codes.j.value_or(0.0) * scale_;
        }
    }
    if (motion_ != MoveKind::Rapid && !feedRateSet_ && program_.firstFeedWithoutRate == 0) {
        program_.firstFeedWithoutRate = program_.lineCount;
    }
    x_ = move.endX;
    y_ = move.endY;
    z_ = move.endZ;
    xKnown_ = xKnown_ || codes.x.has_value();
    yKnown_ = yKnown_ || codes.y.has_value();
    if (options_.keepWork) {
        Follow(move);
    }
    if (options_.keepMoves) {
        program_.moves.push_back(move);
    }
    lineMoves_.push_back(move);
    return &move_;
}

// The moves of one cycle as LinuxCNC makes them: up to R when below it, rapid over the hole, rapid down to
// R, feed to Z (G83: in pecks of Q, back up to R after each and rapid down again), and rapid up to the
// start height (G98) or R (G99). The hole is recorded as such, not pieced together from its moves.
const Move* ProgramReader::DrillCycle(const LineCodes& codes) {
    if (codes.z) {
        cycleZ_ = *codes.z * scale_;
    }
    if (codes.r) {
        cycleR_ = *codes.r * scale_;
    }
    if (codes.q && *codes.q > 0.0) {
        cycleQ_ = *codes.q * scale_;
    }
    if (!codes.HasAxis()) {
        return nullptr;
    }
    const double x = codes.x ? *codes.x * scale_ : x_;
    const double y = codes.y ? *codes.y * scale_ : y_;
    xKnown_ = xKnown_ || codes.x.has_value();
    yKnown_ = yKnown_ || codes.y.has_value();
    const double clear = retractToStart_ ? std::max(z_, cycleR_) : cycleR_;
    if (z_ < cycleR_) {
        CycleMove(MoveKind::Rapid, x_, y_, cycleR_);
    }
    CycleMove(MoveKind::Rapid, x, y, z_);
    CycleMove(MoveKind::Rapid, x, y, cycleR_);
    if (cycle_ == Cycle::G83 && cycleQ_ > 0.0) {
        // Bounded: a tiny Q on a deep hole would otherwise make millions of moves.
        const double step = std::max(cycleQ_, (cycleR_ - cycleZ_) / 1000.0);
        for (double depth = cycleR_ - step; depth > cycleZ_; depth -= step) {
            CycleMove(MoveKind::Feed, x, y, depth);
            CycleMove(MoveKind::Rapid, x, y, cycleR_);
            CycleMove(MoveKind::Rapid, x, y, depth);
        }
    }
    CycleMove(MoveKind::Feed, x, y, cycleZ_);
    if (options_.keepWork && cycleZ_ < options_.surfaceZ) {
        EndWork();
        program_.holes.push_back(DrilledHole{tool_, x, y, cycleZ_, program_.lineCount, xKnown_ && yKnown_});
    }
    CycleMove(MoveKind::Rapid, x, y, clear);
    move_ = lineMoves_.back();
    return &move_;
}

void ProgramReader::CycleMove(MoveKind kind, double x, double y, double z) {
    Move move;
    move.kind = kind;
    move.startX = x_;
    move.startY = y_;
    move.startZ = z_;
    move.endX = x;
    move.endY = y;
    move.endZ = z;
    move.tool = tool_;
    move.line = program_.lineCount;
    move.feedRateSet = feedRateSet_;
    move.feedRate = feedRate_;
    move.positionKnown = xKnown_ && yKnown_;
    if (kind != MoveKind::Rapid && !feedRateSet_ && program_.firstFeedWithoutRate == 0) {
        program_.firstFeedWithoutRate = program_.lineCount;
    }
    x_ = x;
    y_ = y;
    z_ = z;
    if (options_.keepMoves) {
        program_.moves.push_back(move);
    }
    lineMoves_.push_back(move);
}

Program ProgramReader::Finish() {
    EndWork();
    return std::move(program_);
}

// Sorts the line's words into `codes`; false when the line holds none it could read.
bool ProgramReader::ReadCodes(LineCodes& codes) {
    // The modal groups a line may set once each: motion, units, distance.
    const Word* groups[3] = {nullptr, nullptr, nullptr};
    auto setGroup = [&](int group, const Word& word) {
        if (groups[group] != nullptr) {
            Problem(word); // two codes of one group on a line: the machine refuses the line
        }
        groups[group] = &word;
    };
    bool any = false;
    for (const Word& word : words_.words) {
        const char letter = word.Letter();
        if (letter == '%') {
            continue; // the program's start and end marks
        }
        if (letter < 'A' || letter > 'Z' || !word.value) {
            Problem(word);
            continue;
        }
        any = true;
        const double value = *word.value;
        switch (letter) {
        case 'G':
            if (value == 0 || value == 1 || value == 2 || value == 3) {
                setGroup(0, word);
                constexpr MoveKind kinds[] = {MoveKind::Rapid, MoveKind::Feed, MoveKind::ClockwiseArc,
                                              MoveKind::CounterClockwiseArc};
                codes.motion = kinds[static_cast<int>(value)];
            } else if (value == 4) {
                codes.dwell = true;
            } else if (value == 20 || value == 21) {
                setGroup(1, word);
                scale_ = value == 20 ? 25.4 : 1.0;
            } else if (value == 90 || value == 91) {
                setGroup(2, word);
                incremental_ = value == 91;
            } else if (value == 81 || value == 83) {
                setGroup(0, word);
                codes.cycle = value;
            } else if (value == 80) {
                codes.endCycle = true;
            } else if (value == 98 || value == 99) {
                codes.retractToStart = value == 98;
            } else if (value == 17 || value == 40 || value == 49 || value == 54 || value == 91.1 || value == 94) {
                // plane, compensation, offsets and modes that leave the path as it is
            } else {
                Problem(word);
            }
            break;
        case 'X':
            codes.x = value;
            break;
        case 'Y':
            codes.y = value;
            break;
        case 'Z':
            codes.z = value;
            break;
        case 'I':
            codes.i = value;
            break;
        case 'J':
            codes.j = value;
            break;
        case 'R':
            codes.r = value;
            break;
        case 'F':
            codes.f = value;
            break;
        case 'P':
            codes.p = value;
            break;
        case 'Q':
            codes.q = value;
            break;
        case 'T':
            codes.t = value;
            if (!(value >= 0.0 && value <= 2147483647.0 && value == std::floor(value))) {
                Problem(word);
            }
            break;
        case 'N':
        case 'M':
        case 'S':
        case 'H':
            break; // line numbers, machine functions, spindle, length offsets: no motion of their own
        default:
            Problem(word);
            break;
        }
    }
    if (words_.unclosedComment != 0) {
        Problem(words_.unclosedComment, "(");
    }
    return any;
}

void ProgramReader::Problem(const Word& word) {
    Problem(word.column, word.Text());
}

void ProgramReader::Problem(std::size_t column, std::string word) {
    ++program_.problemCount;
    if (program_.problems.size() < kMaxKeptProblems) {
        program_.problems.push_back({program_.lineCount, column, std::move(word)});
    }
}

double ProgramReader::Axis(const std::optional<double>& word, double current) const {
    if (!word) {
        return current;
    }
    return incremental_ ? current + *word * scale_ : *word * scale_;
}

// Turns the moves into holes and paths as they come.
void ProgramReader::Follow(const Move& move) {
    const bool samePoint =
        std::fabs(move.endX - move.startX) <= kSamePoint && std::fabs(move.endY - move.startY) <= kSamePoint;
    const bool below = move.endZ < options_.surfaceZ;
    if (move.kind == MoveKind::Rapid || !below) {
        EndWork();
        return;
    }
    if (samePoint) {
        if (inPath_) {
            EndWork(); // a plunge after milling starts something new
        }
        if (!plunged_) {
            plunged_ = true;
            plunge_ = DrilledHole{move.tool, move.endX, move.endY, move.endZ, move.line, move.positionKnown};
        } else {
            plunge_.z = std::min(plunge_.z, move.endZ); // pecking deeper at the same point
        }
        return;
    }
    if (!inPath_) {
        inPath_ = true;
        path_ = MilledPath{};
        path_.tool = move.tool;
        path_.startX = move.startX;
        path_.startY = move.startY;
        path_.z = plunged_ ? plunge_.z : move.endZ;
        path_.line = plunged_ ? plunge_.line : move.line;
        path_.positionKnown = move.positionKnown;
        plunged_ = false;
    }
    PathPiece piece;
    piece.kind = move.kind;
    piece.x = move.endX;
    piece.y = move.endY;
    piece.centerX = move.centerX;
    piece.centerY = move.centerY;
    path_.pieces.push_back(piece);
}

void ProgramReader::EndWork() {
    if (inPath_) {
        program_.paths.push_back(std::move(path_));
        path_ = MilledPath{};
        inPath_ = false;
    } else if (plunged_) {
        program_.holes.push_back(plunge_);
    }
    plunged_ = false;
}

std::optional<MilledCircle> CircleOf(const MilledPath& path) {
    if (path.pieces.size() < 2 || path.pieces.front().kind == MoveKind::Feed) {
        return std::nullopt;
    }
    const PathPiece& first = path.pieces.front();
    const double radius = std::hypot(path.startX - first.centerX, path.startY - first.centerY);
    // The program writes three decimals: centre and ends agree to a little more than their rounding.
    constexpr double kWritten = 0.0015;
    for (const PathPiece& piece : path.pieces) {
        if (piece.kind != first.kind || std::fabs(piece.centerX - first.centerX) > kWritten ||
            std::fabs(piece.centerY - first.centerY) > kWritten ||
            std::fabs(std::hypot(piece.x - first.centerX, piece.y - first.centerY) - radius) > 2 * kWritten) {
            return std::nullopt;
        }
    }
    const PathPiece& last = path.pieces.back();
    if (!(radius > 0.0) || std::fabs(last.x - path.startX) > kWritten || std::fabs(last.y - path.startY) > kWritten) {
        return std::nullopt;
    }
    return MilledCircle{first.centerX, first.centerY, 2 * radius};
}

Program ReadProgram(std::string_view text, const ReadOptions& options) {
    return ReadProgram(text, options, nullptr);
}

Program ReadProgram(std::string_view text, const ReadOptions& options, const std::function<void(const Move&)>& onMove) {
    ProgramReader reader(options);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (reader.Line(text.substr(start, end - start)) != nullptr && onMove) {
            for (const Move& move : reader.LineMoves()) {
                onMove(move);
            }
        }
        start = end + 1;
    }
    return reader.Finish();
}

} // namespace korvex::gcode
