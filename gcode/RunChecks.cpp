#include "gcode/RunChecks.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "conversion/ConversionState.h"

namespace korvex::gcode {

namespace {

constexpr std::size_t kShownFindings = 3;
constexpr double kSmallestBoard = 1.0;   // mm: below this in both X and Y no board is meant
constexpr double kLargestBoard = 1000.0; // mm: beyond this in X or Y no machine of ours cuts
constexpr double kUsualBoardMin = 10.0;  // mm: the sizes a suggested divisor aims at
constexpr double kUsualBoardMax = 500.0;
constexpr std::size_t kNumberPrefix = 7; // "N00005 "

// The line without the converter's "N00005 " in front.
std::string_view WithoutNumber(std::string_view line) {
    if (line.size() > kNumberPrefix && (line[0] == 'N' || line[0] == 'n') && line[kNumberPrefix - 1] == ' ') {
        return line.substr(kNumberPrefix);
    }
    return line;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::optional<double> ZValue(std::string_view word) {
    if (word.size() < 2 || Upper(word[0]) != 'Z') {
        return std::nullopt;
    }
    std::string_view digits = word.substr(1);
    if (digits.front() == '+') {
        digits.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string Fixed(double value) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3).ptr;
    return std::string(buffer, end);
}

std::string Number(double value) {
    std::string text = Fixed(value);
    while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

std::string Z(double value) {
    return "Z" + Number(value);
}

bool Plausible(double width, double height) {
    return std::max(width, height) >= kSmallestBoard && width <= kLargestBoard && height <= kLargestBoard;
}

void CheckDepth(const std::string& who, double zUp, double zDown, std::vector<std::string>& warnings) {
    if (zDown >= 0.0) {
        warnings.push_back("Warning: " + who + " drills to " + Z(zDown) +
                           ", which does not go below the work surface (Z0): nothing is drilled");
    }
    if (zUp <= zDown) {
        warnings.push_back("Warning: " + who + " retracts to " + Z(zUp) + ", which is not above its drilling depth " +
                           Z(zDown) + ": the tool drags between holes");
    }
}

void CheckBlock(const char* which, const std::vector<std::string>& lines, const CheckInput& input,
                std::vector<std::string>& warnings) {
    const Controller controller = input.controller;
    const std::string title(ControllerTitle(controller));
    const std::size_t maxLength = MaxLineLength(controller);
    for (const std::string& line : lines) {
        for (const std::string& code : CodesNotAccepted(controller, line)) {
            warnings.push_back(std::string("Warning: the tool-change block ") + which + " holds " + code + ", which " +
                               title + " does not accept");
        }
        const std::size_t length = line.size() + (input.lineNumbers ? kNumberPrefix : 0);
        if (maxLength > 0 && length > maxLength) {
            warnings.push_back(std::string("Warning: the tool-change block ") + which + " has a line of " +
                               std::to_string(length) + " characters as written; " + title + " reads at most " +
                               std::to_string(maxLength));
        }
    }
}

} // namespace

void RunShape::OnHole(conversion::ConversionState&, const conversion::HoleEvent& hole) {
    Include(hole.x, hole.y);
    Use(hole.tool);
}

void RunShape::WatchHoles(conversion::ConversionState&, const conversion::HoleEvent* holes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        Include(holes[i].x, holes[i].y);
        // The holes of a batch mostly share one tool: only a change can add one.
        if (i == 0 || holes[i].tool != holes[i - 1].tool) {
            Use(holes[i].tool);
        }
    }
}

void RunShape::OnPath(const conversion::PathEvent& path) {
    Include(path.startX, path.startY);
    for (const conversion::PathSegment& segment : path.segments) {
        Include(segment.x, segment.y);
    }
    Use(path.tool);
}

void RunShape::Include(double x, double y) {
    if (count_ == 0) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
    } else {
        minX_ = std::min(minX_, x);
        maxX_ = std::max(maxX_, x);
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
    }
    ++count_;
}

void RunShape::Use(std::int32_t tool) {
    // Most runs use a handful of tools; a linear search beats a set at that size.
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end()) {
        tools_.push_back(tool);
    }
}

void ProgramScan::Line(std::string_view line) {
    ++line_;
    if (controller_ == Controller::None) {
        return;
    }
    // Comment lines are most of a header; they hold no code to refuse. The tool-change blocks come back at
    // every tool change; they are judged once, as blocks.
    const std::string_view text = WithoutNumber(line);
    const bool judged = (!line.empty() && line.front() == ';') ||
                        std::find(blockLines_.begin(), blockLines_.end(), text) != blockLines_.end();
    if (!judged) {
        const std::size_t maxLength = MaxLineLength(controller_);
        if (maxLength > 0 && line.size() > maxLength) {
            if (tooLong_.size() < kShownFindings) {
                tooLong_.push_back({line_, std::to_string(line.size()) + " characters"});
            }
            ++tooLongCount_;
        }
        for (std::string& code : CodesNotAccepted(controller_, line)) {
            if (refused_.size() < kShownFindings) {
                refused_.push_back({line_, std::move(code)});
            }
            ++refusedCount_;
        }
    }
    if (firstFeedWithoutRate_ != 0) {
        return;
    }
    bool axis = false;
    bool feedWord = false;
    std::size_t p = 0;
    while (p < line.size()) {
        const char c = Upper(line[p]);
        if (c == ';') {
            break;
        }
        if (c == '(') {
            const std::size_t close = line.find(')', p);
            p = close == std::string_view::npos ? line.size() : close + 1;
            continue;
        }
        ++p;
        const std::size_t start = p;
        while (p < line.size() && (std::isdigit(static_cast<unsigned char>(line[p])) || line[p] == '.')) {
            ++p;
        }
        const std::string_view digits = line.substr(start, p - start);
        if (c == 'G') {
            int code = -1;
            std::from_chars(digits.data(), digits.data() + digits.size(), code);
            if (code >= 0 && code <= 3 && digits.find('.') == std::string_view::npos) {
                rapidMode_ = code == 0;
            }
        } else if (c == 'F') {
            double value = 0.0;
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
            feedWord = feedWord || value > 0.0;
        } else if (c == 'X' || c == 'Y' || c == 'Z') {
            axis = true;
        }
    }
    feedRateSet_ = feedRateSet_ || feedWord;
    if (axis && !rapidMode_ && !feedRateSet_) {
        firstFeedWithoutRate_ = line_;
    }
}

void ReadZWords(const conversion::ConversionState& state, const RunShape& shape, CheckInput& input) {
    input.zUp = ZValue(state.RunZ.ZUp).value_or(0.0);
    input.zDown = ZValue(state.RunZ.ZDown).value_or(0.0);
    input.runWordsUsed = shape.Tools().empty();
    for (const std::int32_t tool : shape.Tools()) {
        if (!conversion::ToolTable::Contains(tool)) {
            input.runWordsUsed = true;
            continue;
        }
        const conversion::ToolZEntry& entry = state.ToolTable[tool];
        if (entry.ZUp == state.RunZ.ZUp && entry.ZDown == state.RunZ.ZDown) {
            input.runWordsUsed = true;
            continue;
        }
        const std::optional<double> zUp = ZValue(entry.ZUp);
        const std::optional<double> zDown = ZValue(entry.ZDown);
        if (zUp && zDown) {
            input.toolZ.push_back({tool, *zUp, *zDown});
        }
    }
    std::sort(input.toolZ.begin(), input.toolZ.end(),
              [](const CheckInput::ToolZ& a, const CheckInput::ToolZ& b) { return a.tool < b.tool; });
}

std::optional<double> PlausibleDivisor(double width, double height, double divisor) {
    if (!(width > 0.0 || height > 0.0) || !std::isfinite(divisor) || divisor <= 0.0) {
        return std::nullopt;
    }
    // The nearest power of ten to the divisor given that makes a usual board; failing that, any board.
    std::optional<double> best;
    double bestScore = 0.0;
    for (int exponent = -3; exponent <= 6; ++exponent) {
        const double candidate = std::pow(10.0, exponent);
        const double scale = divisor / candidate;
        if (candidate == divisor || !Plausible(width * scale, height * scale)) {
            continue;
        }
        const double size = std::max(width, height) * scale;
        const bool usual = size >= kUsualBoardMin && size <= kUsualBoardMax;
        const double score = (usual ? 0.0 : 100.0) + std::fabs(std::log10(candidate / divisor));
        if (!best || score < bestScore) {
            best = candidate;
            bestScore = score;
        }
    }
    return best;
}

std::vector<std::string> RunChecks(const CheckInput& input) {
    std::vector<std::string> warnings;
    if (input.runWordsUsed) {
        CheckDepth("the run", input.zUp, input.zDown, warnings);
    }
    for (const CheckInput::ToolZ& tool : input.toolZ) {
        CheckDepth("tool T" + std::to_string(tool.tool), tool.zUp, tool.zDown, warnings);
    }

    if (input.shape != nullptr && input.shape->Count() > 0) {
        const double width = input.shape->Width();
        const double height = input.shape->Height();
        const bool tooLarge = width > kLargestBoard || height > kLargestBoard;
        const bool tooSmall = input.shape->Count() > 1 && width < kSmallestBoard && height < kSmallestBoard;
        if (tooLarge || tooSmall) {
            std::string line = "Warning: the drilled area is " + Fixed(width) + " x " + Fixed(height) + " mm, " +
                               (tooLarge ? "larger than 1 m" : "smaller than 1 mm") + " for a board";
            const std::optional<double> divisor = PlausibleDivisor(width, height, input.divisor);
            if (divisor) {
                const double scale = input.divisor / *divisor;
                line += "; divisor " + Number(*divisor) + " would make it " + Fixed(width * scale) + " x " +
                        Fixed(height * scale) + " mm";
            }
            warnings.push_back(line);
        }
    }

    if (input.controller == Controller::None) {
        return warnings;
    }
    const std::string title(ControllerTitle(input.controller));
    if (input.scan != nullptr && input.scan->FirstFeedWithoutRate() != 0) {
        warnings.push_back("Warning: line " + std::to_string(input.scan->FirstFeedWithoutRate()) +
                           " of the program feeds before any F word; " + title +
                           " refuses a feed move without a feed rate");
    }
    CheckBlock("before", input.macroBefore, input, warnings);
    CheckBlock("after", input.macroAfter, input, warnings);
    if (input.scan != nullptr) {
        for (const ProgramScan::Finding& finding : input.scan->Refused()) {
            warnings.push_back("Warning: line " + std::to_string(finding.line) + " of the program holds " +
                               finding.what + ", which " + title + " does not accept");
        }
        if (input.scan->RefusedCount() > input.scan->Refused().size()) {
            warnings.push_back("Warning: " + std::to_string(input.scan->RefusedCount() - input.scan->Refused().size()) +
                               " more codes in the program that " + title + " does not accept");
        }
        for (const ProgramScan::Finding& finding : input.scan->TooLong()) {
            warnings.push_back("Warning: line " + std::to_string(finding.line) + " of the program has " + finding.what +
                               "; " + title + " reads at most " + std::to_string(MaxLineLength(input.controller)));
        }
        if (input.scan->TooLongCount() > input.scan->TooLong().size()) {
            warnings.push_back("Warning: " + std::to_string(input.scan->TooLongCount() - input.scan->TooLong().size()) +
                               " more program lines longer than " + title + " reads");
        }
    }
    return warnings;
}

} // namespace korvex::gcode
