#include "gcode/GcodeReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

namespace korvex::gcode {

namespace {

constexpr std::size_t kMaxKeptProblems = 20;
constexpr double kSamePoint = 1e-9;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// "+1.5", "-.5", "3."; from_chars knows no "+" and no locale, which is why it is used here.
std::optional<double> ReadNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The words of one line, comments removed.
struct LineWords {
    std::optional<double> g[4]; // up to four G codes on a line are plenty for what Korvex reads
    int gCount = 0;
    std::optional<double> x, y, z, i, j, f, t;
    bool hasAxis() const { return x || y || z; }
};

class Reader {
public:
    Reader(const ReadOptions& options, Program& program) : options_(options), program_(program) {}

    void Line(std::string_view line, std::size_t number) {
        lineNumber_ = number;
        LineWords words;
        if (!Split(line, words)) {
            return;
        }
        std::optional<MoveKind> lineMotion;
        bool dwell = false;
        for (int k = 0; k < words.gCount; ++k) {
            const double code = *words.g[k];
            if (code == 0) {
                lineMotion = MoveKind::Rapid;
            } else if (code == 1) {
                lineMotion = MoveKind::Feed;
            } else if (code == 2) {
                lineMotion = MoveKind::ClockwiseArc;
            } else if (code == 3) {
                lineMotion = MoveKind::CounterClockwiseArc;
            } else if (code == 4) {
                dwell = true;
            } else if (code == 20) {
                scale_ = 25.4;
            } else if (code == 21) {
                scale_ = 1.0;
            } else if (code == 90) {
                incremental_ = false;
            } else if (code == 91) {
                incremental_ = true;
            } else if (code == 17 || code == 40 || code == 49 || code == 54 || code == 80 || code == 91.1 ||
                       code == 94) {
                // plane, compensation, offsets and modes that leave the path as it is
            } else {
                Problem("G" + FormatCode(code));
            }
        }
        if (words.t) {
            const double tool = *words.t;
            if (tool >= 0.0 && tool <= 2147483647.0 && tool == std::floor(tool)) {
                tool_ = static_cast<std::int32_t>(tool);
            } else {
                Problem("T" + FormatCode(tool));
            }
        }
        if (words.f && *words.f > 0) {
            feedRateSet_ = true;
        }
        if (lineMotion) {
            motion_ = *lineMotion;
        }
        if (dwell || !words.hasAxis()) {
            return;
        }
        Move move;
        move.kind = motion_;
        move.startX = x_;
        move.startY = y_;
        move.startZ = z_;
        move.endX = Axis(words.x, x_);
        move.endY = Axis(words.y, y_);
        move.endZ = Axis(words.z, z_);
        move.tool = tool_;
        move.line = number;
        move.feedRateSet = feedRateSet_;
        if (motion_ == MoveKind::ClockwiseArc || motion_ == MoveKind::CounterClockwiseArc) {
            move.centerX = x_ + words.i.value_or(0.0) * scale_;
            move.centerY = y_ + words.j.value_or(0.0) * scale_;
        }
        if (motion_ != MoveKind::Rapid && !feedRateSet_ && program_.firstFeedWithoutRate == 0) {
            program_.firstFeedWithoutRate = number;
        }
        x_ = move.endX;
        y_ = move.endY;
        z_ = move.endZ;
        Follow(move);
        if (options_.keepMoves) {
            program_.moves.push_back(move);
        }
    }

    void Finish() { EndWork(); }

private:
    double Axis(const std::optional<double>& word, double current) const {
        if (!word) {
            return current;
        }
        return incremental_ ? current + *word * scale_ : *word * scale_;
    }

    static std::string FormatCode(double code) {
        std::string text = std::to_string(code);
        while (!text.empty() && text.back() == '0') {
            text.pop_back();
        }
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
        return text;
    }

    void Problem(std::string word) {
        ++program_.problemCount;
        if (program_.problems.size() < kMaxKeptProblems) {
            program_.problems.push_back({lineNumber_, std::move(word)});
        }
    }

    // Splits the line into words; false when it holds none.
    bool Split(std::string_view line, LineWords& words) {
        bool any = false;
        std::size_t p = 0;
        while (p < line.size()) {
            const char c = line[p];
            if (IsBlank(c) || c == '%') {
                ++p;
                continue;
            }
            if (c == ';') {
                break;
            }
            if (c == '(') {
                const std::size_t close = line.find(')', p);
                if (close == std::string_view::npos) {
                    Problem("(");
                    break;
                }
                p = close + 1;
                continue;
            }
            const char letter = Upper(c);
            ++p;
            const std::size_t start = p;
            while (p < line.size() && (std::isdigit(static_cast<unsigned char>(line[p])) || line[p] == '.' ||
                                       line[p] == '-' || line[p] == '+')) {
                ++p;
            }
            const std::string_view digits = line.substr(start, p - start);
            const std::optional<double> value = ReadNumber(digits);
            if (letter < 'A' || letter > 'Z' || !value) {
                Problem(std::string(1, c) + std::string(digits));
                continue;
            }
            any = true;
            switch (letter) {
            case 'G':
                if (words.gCount < 4) {
                    words.g[words.gCount++] = value;
                } else {
                    Problem("G" + std::string(digits));
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
            case 'F':
                words.f = value;
                break;
            case 'T':
                words.t = value;
                break;
            case 'N':
            case 'M':
            case 'S':
            case 'P':
            case 'H':
                break; // line numbers, machine functions, spindle, dwell: no motion of their own
            default:
                Problem(std::string(1, c) + std::string(digits));
                break;
            }
        }
        return any;
    }

    // Turns the moves into holes and paths as they come.
    void Follow(const Move& move) {
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
                plunge_ = DrilledHole{move.tool, move.endX, move.endY, move.endZ, move.line};
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

    void EndWork() {
        if (inPath_) {
            program_.paths.push_back(std::move(path_));
            path_ = MilledPath{};
            inPath_ = false;
        } else if (plunged_) {
            program_.holes.push_back(plunge_);
        }
        plunged_ = false;
    }

    const ReadOptions& options_;
    Program& program_;
    std::size_t lineNumber_ = 0;
    MoveKind motion_ = MoveKind::Rapid;
    double scale_ = 1.0;
    bool incremental_ = false;
    bool feedRateSet_ = false;
    std::int32_t tool_ = -1;
    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
    bool plunged_ = false;
    DrilledHole plunge_;
    bool inPath_ = false;
    MilledPath path_;
};

} // namespace

Program ReadProgram(std::string_view text, const ReadOptions& options) {
    Program program;
    Reader reader(options, program);
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        reader.Line(line, ++number);
        start = next;
    }
    reader.Finish();
    program.lineCount = number;
    return program;
}

} // namespace korvex::gcode
