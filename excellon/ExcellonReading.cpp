#include "excellon/ExcellonReading.h"

#include <vector>

#include "conversion/ConversionHost.h"
#include "conversion/Numbers.h"
#include "conversion/RunObserver.h"
#include "excellon/Reader.h"
#include "platform/TextFile.h"

namespace korvex::excellon {

namespace {

using conversion::ConversionState;
using conversion::PathEvent;
using conversion::PathSegment;

std::string Coordinate(char letter, double value) {
    std::string text(1, letter);
    conversion::AppendRealToStr(text, 1, 3, value);
    return text;
}

// Writes what the reader finds in the plain reading's style: numbered program lines, tool-change blocks,
// three lines per hole, and comments for everything the machine must not see.
class ProgramWriter : public ReaderSink {
public:
    ProgramWriter(ConversionState& state, platform::TextLineWriter& output, const std::string& zUpWord)
        : state_(state), output_(output), zUpWord_(zUpWord) {}

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

    void Flush() {
        if (state_.Observer != nullptr) {
            state_.Observer->Flush(state_, output_);
        }
    }

    void Comment(std::string_view text) override {
        Flush();
        std::string line("; ");
        line.append(text);
        output_.WriteLine(line);
    }

    void DefineTool(std::int32_t tool, std::optional<double> diameterMm, std::string_view text, std::string_view zWord,
                    std::string_view bWord) override {
        Flush();
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
            if (diameterMm && state_.Observer != nullptr) {
                state_.Observer->OnToolDiameter(tool, *diameterMm);
            }
        }
        std::string line("; ");
        line.append(text);
        line.append(" ; Tool-definition");
        output_.WriteLine(line);
    }

    void SelectTool(std::int32_t tool, std::string_view word) override {
        Flush();
        anyDrillData_ = true;
        const conversion::ToolZEntry& entry =
            conversion::ToolTable::Contains(tool) ? state_.ToolTable[tool] : state_.RunZ;
        state_.CurrentZUp = entry.ZUp;
        state_.CurrentZDown = entry.ZDown;
        state_.CurrentTool = tool;
        for (const std::string& line : state_.MacroBefore) {
            Numbered(line);
        }
        Numbered(word);
        for (const std::string& line : state_.MacroAfter) {
            Numbered(line);
        }
    }

    void UnloadTool() override {
        Flush();
        output_.WriteLine("; T0 unloads the tool");
        state_.CurrentTool = -1;
    }

    void Hole(double xMm, double yMm) override {
        anyDrillData_ = true;
        const double x = xMm + state_.XOffset;
        const double y = yMm + state_.YOffset;
        const std::string xWord = Coordinate('X', x);
        const std::string yWord = Coordinate('Y', y);
        state_.LastX = x;
        state_.LastY = y;
        if (state_.Observer != nullptr) {
            conversion::HoleEvent hole;
            hole.tool = state_.CurrentTool;
            hole.x = x;
            hole.y = y;
            hole.hasX = true;
            hole.hasY = true;
            hole.xWord = xWord;
            hole.yWord = yWord;
            if (state_.Observer->TakeHole(state_, hole)) {
                return;
            }
            state_.Observer->Flush(state_, output_);
        }
        Numbered("G00 " + state_.CurrentZUp);
        Numbered("G00 " + xWord + " " + yWord);
        Numbered("G01 " + state_.CurrentZDown);
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
        if (state_.Observer != nullptr) {
            state_.Observer->OnPath(path);
        }
        Flush();
        Numbered("G00 " + state_.CurrentZUp);
        Numbered("G00 " + Coordinate('X', path.startX) + " " + Coordinate('Y', path.startY));
        Numbered("G01 " + state_.CurrentZDown);
        double x = path.startX;
        double y = path.startY;
        for (const PathSegment& segment : path.segments) {
            std::string line;
            switch (segment.kind) {
            case PathSegment::Kind::Line:
                line = "G01 ";
                break;
            case PathSegment::Kind::ClockwiseArc:
                line = "G02 ";
                break;
            case PathSegment::Kind::CounterClockwiseArc:
                line = "G03 ";
                break;
            }
            line += Coordinate('X', segment.x) + " " + Coordinate('Y', segment.y);
            if (segment.kind != PathSegment::Kind::Line) {
                line += " " + Coordinate('I', segment.centerX - x) + " " + Coordinate('J', segment.centerY - y);
            }
            Numbered(line);
            x = segment.x;
            y = segment.y;
        }
        Numbered("G01 " + state_.CurrentZUp);
        state_.LastX = x;
        state_.LastY = y;
    }

    void EndOfProgram() override {
        Flush();
        Numbered("G00 " + zUpWord_);
        Numbered("M30");
        ended_ = true;
    }

private:
    void Numbered(std::string_view text) {
        std::string line = conversion::LineNumberPrefix(state_);
        line.append(text);
        output_.WriteLine(line);
    }

    ConversionState& state_;
    platform::TextLineWriter& output_;
    const std::string& zUpWord_;
    bool ended_ = false;
    bool anyDrillData_ = false;
    std::size_t unknownHeaderLines_ = 0;
    std::size_t firstUnknownLine_ = 0;
    std::string firstUnknownText_;
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
                              platform::TextLineWriter& output, const std::string& zUpWord) {
    std::vector<std::string> lines;
    std::string line;
    while (input.ReadLine(line)) {
        ++state.InputLine;
        lines.push_back(line);
    }
    // The reader's messages name the failing line themselves.
    state.InputLine = 0;
    format_ = DetectFormat(lines, choice_, host.FieldText(conversion::HostField::InputFileName));
    host.AppendLogLine("Excellon reading: " + format_.Describe());
    host.AppendLogLine("Excellon reading: numbers are read in this format; the divisor does not apply");

    warnings_.clear();
    const std::string inputName = host.FieldText(conversion::HostField::InputFileName);
    ProgramWriter writer(state, output, zUpWord);
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
    writer.Flush();
    if (!writer.Ended()) {
        output.WriteLine("G00 " + zUpWord);
        output.WriteLine("M30");
    }
}

} // namespace korvex::excellon
