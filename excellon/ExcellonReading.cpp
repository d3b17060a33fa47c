#include "excellon/ExcellonReading.h"

#include <vector>

#include "conversion/ConversionHost.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "excellon/Reader.h"
#include "platform/TextFile.h"

namespace korvex::excellon {

namespace {

using conversion::ConversionState;
using conversion::PathEvent;
using conversion::PathSegment;
using conversion::ProgramEmitter;

// Hands what the reader finds to the run's writer, in the plain reading's style: numbered program lines,
// tool-change blocks, three lines per hole, and comments for everything the machine must not see.
class ProgramWriter : public ReaderSink {
public:
    ProgramWriter(ConversionState& state, ProgramEmitter& program, const std::string& zUpWord)
        : state_(state), program_(program), zUpWord_(zUpWord) {}

    bool Ended() const { return ended_; }
    // Whether the file defined or selected a tool, or drilled or milled anything.
    bool AnyDrillData() const { return anyDrillData_; }
    std::size_t UnknownHeaderLines() const { return unknownHeaderLines_; }
    std::size_t FirstUnknownLine() const { return firstUnknownLine_; }
    const std::string& FirstUnknownText() const { return firstUnknownText_; }

    void UnknownHeaderLine(std::size_t line, std::string_view text) override {
        if (unknownHeaderLines_++ == 0) {
            firstUnknownLine_ = line;
            firstUnknownText_ = std::string(text);
        }
    }

    void Comment(std::string_view text) override { program_.Comment(text); }

    void DefineTool(std::int32_t tool, std::optional<double> diameterMm, std::string_view text, std::string_view zWord,
                    std::string_view bWord) override {
        anyDrillData_ = true;
        if (conversion::ToolTable::Contains(tool)) {
            if (!zWord.empty()) {
                state_.ToolTable[tool].ZDown = conversion::StoreZWord(zWord);
            }
            if (!bWord.empty()) {
                std::string up("Z");
                up.append(bWord.substr(1));
                state_.ToolTable[tool].ZUp = conversion::StoreZWord(up);
            }
            if (diameterMm) {
                program_.ToolDiameter(tool, *diameterMm);
            }
        }
        program_.ToolDefinition(tool, text, diameterMm);
    }

    void SelectTool(std::int32_t tool, std::string_view word) override {
        anyDrillData_ = true;
        program_.SelectTool(tool, word);
    }

    void UnloadTool() override { program_.UnloadTool("T0 unloads the tool"); }

    void Hole(double xMm, double yMm) override {
        anyDrillData_ = true;
        const double x = xMm + state_.XOffset;
        const double y = yMm + state_.YOffset;
        xWord_.clear();
        yWord_.clear();
        ProgramEmitter::AppendWord(xWord_, 'X', x);
        ProgramEmitter::AppendWord(yWord_, 'Y', y);
        state_.LastX = x;
        state_.LastY = y;
        conversion::HoleEvent hole;
        hole.tool = state_.CurrentTool;
        hole.x = x;
        hole.y = y;
        hole.hasX = true;
        hole.hasY = true;
        hole.xWord = xWord_;
        hole.yWord = yWord_;
        program_.Hole(hole);
    }

    void Path(const PathEvent& found) override {
        anyDrillData_ = true;
        PathEvent path = found;
        path.tool = state_.CurrentTool;
        path.startX += state_.XOffset;
        path.startY += state_.YOffset;
        for (PathSegment& segment : path.segments) {
            segment.x += state_.XOffset;
            segment.y += state_.YOffset;
            segment.centerX += state_.XOffset;
            segment.centerY += state_.YOffset;
        }
        program_.Path(path);
    }

    void EndOfProgram() override {
        program_.Numbered("G00 " + zUpWord_);
        program_.Numbered("M30");
        ended_ = true;
    }

private:
    ConversionState& state_;
    ProgramEmitter& program_;
    const std::string& zUpWord_;
    std::string xWord_;
    std::string yWord_;
    bool ended_ = false;
    bool anyDrillData_ = false;
    std::size_t unknownHeaderLines_ = 0;
    std::size_t firstUnknownLine_ = 0;
    std::string firstUnknownText_;
};

// The runs of holes the writer will hold, told to the hole order before anything is written: every call but a
// hole writes a line, and a written line ends the run.
class RunsAhead : public ReaderSink {
public:
    RunsAhead(const ConversionState& state, std::vector<conversion::HoleOrder::Ahead>& steps)
        : state_(state), steps_(steps) {}

    void Comment(std::string_view) override { EndRun(); }
    void DefineTool(std::int32_t, std::optional<double>, std::string_view, std::string_view,
                    std::string_view) override {
        EndRun();
    }
    void SelectTool(std::int32_t, std::string_view) override { EndRun(); }
    void UnloadTool() override { EndRun(); }
    void Hole(double xMm, double yMm) override {
        if (!inRun_) {
            steps_.emplace_back();
            inRun_ = true;
        }
        steps_.back().holes.push_back(conversion::HolePosition{xMm + state_.XOffset, yMm + state_.YOffset});
    }
    void Path(const PathEvent& path) override {
        EndRun();
        conversion::HoleOrder::Ahead step;
        step.pathStart = conversion::HolePosition{path.startX + state_.XOffset, path.startY + state_.YOffset};
        step.pathEnd = step.pathStart;
        if (!path.segments.empty()) {
            step.pathEnd = conversion::HolePosition{path.segments.back().x + state_.XOffset,
                                                    path.segments.back().y + state_.YOffset};
        }
        steps_.push_back(step);
    }
    void EndOfProgram() override { EndRun(); }

private:
    void EndRun() { inRun_ = false; }

    const ConversionState& state_;
    std::vector<conversion::HoleOrder::Ahead>& steps_;
    bool inRun_ = false;
};

// One warning for the header lines the reading did not know, naming the first.
void NoteUnknownHeaderLines(const ProgramWriter& writer, std::vector<std::string>& warnings) {
    if (writer.UnknownHeaderLines() == 0) {
        return;
    }
    std::string warning = "Warning: line " + std::to_string(writer.FirstUnknownLine()) + " of the drill file, \"" +
                          writer.FirstUnknownText() +
                          "\", is a header line the Excellon reading does not know; it became a comment";
    if (writer.UnknownHeaderLines() > 1) {
        warning += " (as did " + std::to_string(writer.UnknownHeaderLines() - 1) + " more)";
    }
    warnings.push_back(warning);
}

} // namespace

void ExcellonReading::Convert(ConversionState& state, conversion::ConversionHost& host, platform::TextLineReader& input,
                              platform::TextLineWriter&, const std::string& zUpWord) {
    std::vector<std::string> lines;
    std::string line;
    while (input.ReadLine(line)) {
        ++state.InputLine;
        lines.push_back(line);
    }
    // The reader's messages name the failing line themselves.
    state.InputLine = 0;
    format_ = DetectFormat(lines, choice_, host.FieldText(conversion::Field::InputFileName));
    host.AppendLogLine("Excellon reading: " + format_.Describe());
    host.AppendLogLine("Excellon reading: numbers are read in this format; the divisor does not apply");

    warnings_.clear();
    const std::string inputName = host.FieldText(conversion::Field::InputFileName);
    ProgramEmitter& program = conversion::EmitterOf(state);
    if (state.Order != nullptr) {
        std::vector<conversion::HoleOrder::Ahead> steps;
        RunsAhead ahead(state, steps);
        try {
            ReadExcellon(lines, 1, format_, ahead);
            state.Order->Foresee(steps);
        } catch (const conversion::ConversionError&) {
            // The run itself meets the same fault and reports it.
        }
    }
    ProgramWriter writer(state, program, zUpWord);
    try {
        ReadExcellon(lines, 1, format_, writer);
    } catch (const conversion::ConversionError& error) {
        NoteUnknownHeaderLines(writer, warnings_);
        // A Gerber file fails on its first line; saying what it is helps more than the line does.
        if (!writer.AnyDrillData() && LooksLikeGerber(lines)) {
            throw conversion::ConversionError(NoDrillDataMessage(lines, inputName));
        }
        state.InputLine = error.Line();
        throw;
    }
    NoteUnknownHeaderLines(writer, warnings_);
    if (!writer.AnyDrillData()) {
        throw conversion::ConversionError(NoDrillDataMessage(lines, inputName));
    }
    program.Flush();
    if (!writer.Ended()) {
        program.Plain("G00 " + zUpWord);
        program.Plain("M30");
    }
}

} // namespace korvex::excellon
