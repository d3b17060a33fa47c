#include "gcode/RunChecks.h"

#include <algorithm>
#include <cmath>

#include "conversion/ConversionState.h"
#include "platform/DecimalText.h"

namespace korvex::gcode {

namespace {

constexpr std::size_t kShownFindings = 3;
constexpr double kSmallestBoard = 1.0;   // mm: below this in both X and Y no board is meant
constexpr double kLargestBoard = 1000.0; // mm: beyond this in X or Y no machine of ours cuts
constexpr std::size_t kNumberPrefix = 7; // "N00005 "

// The line without the converter's "N00005 " in front.
std::string_view WithoutNumber(std::string_view line) {
    if (line.size() > kNumberPrefix && (line[0] == 'N' || line[0] == 'n') && line[kNumberPrefix - 1] == ' ') {
        return line.substr(kNumberPrefix);
    }
    return line;
}

bool IsM6(std::string_view code) {
    return code == "M6" || code == "M06";
}

std::optional<double> ZValue(std::string_view word) {
    if (word.size() < 2 || (word[0] != 'Z' && word[0] != 'z')) {
        return std::nullopt;
    }
    return platform::ReadDecimal(word.substr(1));
}

std::string Z(double value) {
    return "Z" + platform::ShortText(value);
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
            if (input.m6ToSender && IsM6(code)) {
                continue;
            }
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
    reader_.Line(line);
    // Comment lines are most of a header; they hold no code to refuse. The tool-change blocks come back at
    // every tool change; they are judged once, as blocks.
    const std::string_view text = WithoutNumber(line);
    const bool judged = (!line.empty() && line.front() == ';') ||
                        std::find(blockLines_.begin(), blockLines_.end(), text) != blockLines_.end();
    if (judged) {
        return;
    }
    const std::size_t maxLength = MaxLineLength(controller_);
    if (maxLength > 0 && line.size() > maxLength) {
        if (tooLong_.size() < kShownFindings) {
            tooLong_.push_back({line_, std::to_string(line.size()) + " characters"});
        }
        ++tooLongCount_;
    }
    for (std::string& code : CodesNotAccepted(controller_, reader_.Words())) {
        if (m6ToSender_ && IsM6(code)) {
            continue;
        }
        if (refused_.size() < kShownFindings) {
            refused_.push_back({line_, std::move(code)});
        }
        ++refusedCount_;
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
            std::string line = "Warning: the drilled area is " + platform::FixedText(width) + " x " +
                               platform::FixedText(height) + " mm, " +
                               (tooLarge ? "larger than 1 m" : "smaller than 1 mm") + " for a board";
            const std::optional<double> divisor = input.confirmedDivisor;
            if (input.excellonReading) {
                line += "; check the units and number format (--units, --number-format, or the fields of File > "
                        "Drill file format...)";
            } else if (divisor) {
                // The divisor that gives the Excellon reading's places, where that makes a board at all.
                const double scale = input.divisor / *divisor;
                const double w = width * scale;
                const double h = height * scale;
                if (std::max(w, h) >= kSmallestBoard && w <= kLargestBoard && h <= kLargestBoard) {
                    line += "; divisor " + platform::ShortText(*divisor) + " would make it " + platform::FixedText(w) +
                            " x " + platform::FixedText(h) + " mm";
                }
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
