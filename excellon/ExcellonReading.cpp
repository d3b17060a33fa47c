#include "excellon/ExcellonReading.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "conversion/ConversionHost.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "excellon/BoardJob.h"
#include "excellon/BoardSide.h"
#include "excellon/DrillRack.h"
#include "excellon/Reader.h"
#include "platform/DecimalText.h"
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

    void Comment(std::string_view text) override { program_.Comment(text); }

    void DefineTool(std::int32_t tool, std::optional<double> diameterMm, std::string_view text, std::string_view zWord,
                    std::string_view bWord) override {
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

    void SelectTool(std::int32_t tool, std::string_view word) override { program_.SelectTool(tool, word); }

    void UnloadTool() override { program_.UnloadTool("T0 unloads the tool"); }

    void Hole(double xMm, double yMm) override {
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

// -- The drill files read whole --

enum class Kind : std::uint8_t { Comment, Define, Select, Unload, Hole, Path, End };

// One call of the reader; `index` points into the recorded file's list of that kind.
struct Event {
    Kind kind = Kind::Comment;
    std::uint32_t index = 0;
};

struct Definition {
    std::int32_t tool = 0;
    std::optional<double> diameterMm;
    std::string text;
    std::string zWord;
    std::string bWord;
};

struct Selection {
    std::int32_t tool = 0;
    std::string word;
};

// One drill file as the reader found it, in file order, in mm without the run's offsets.
struct RecordedFile {
    std::string name;
    std::string shortName; // the program's comments name the file without its folder
    Format format;
    std::vector<Event> events;
    std::vector<std::string> comments;
    std::vector<Definition> definitions;
    std::vector<Selection> selections;
    std::vector<conversion::HolePosition> holes;
    std::vector<PathEvent> paths;
    // Whether the file defined or selected a tool, or drilled or milled anything.
    bool anyDrillData = false;
    std::size_t unknownHeaderLines = 0;
    std::size_t firstUnknownLine = 0;
    std::string firstUnknownText;
};

class Recorder : public ReaderSink {
public:
    explicit Recorder(RecordedFile& file) : file_(file) {}

    void Comment(std::string_view text) override {
        Add(Kind::Comment, file_.comments.size());
        file_.comments.emplace_back(text);
    }
    void DefineTool(std::int32_t tool, std::optional<double> diameterMm, std::string_view text, std::string_view zWord,
                    std::string_view bWord) override {
        file_.anyDrillData = true;
        Add(Kind::Define, file_.definitions.size());
        file_.definitions.push_back(
            Definition{tool, diameterMm, std::string(text), std::string(zWord), std::string(bWord)});
    }
    void SelectTool(std::int32_t tool, std::string_view word) override {
        file_.anyDrillData = true;
        Add(Kind::Select, file_.selections.size());
        file_.selections.push_back(Selection{tool, std::string(word)});
    }
    void UnloadTool() override { Add(Kind::Unload, 0); }
    void Hole(double xMm, double yMm) override {
        file_.anyDrillData = true;
        Add(Kind::Hole, file_.holes.size());
        file_.holes.push_back(conversion::HolePosition{xMm, yMm});
    }
    void Path(const PathEvent& path) override {
        file_.anyDrillData = true;
        Add(Kind::Path, file_.paths.size());
        file_.paths.push_back(path);
    }
    void EndOfProgram() override { Add(Kind::End, 0); }
    void UnknownHeaderLine(std::size_t line, std::string_view text) override {
        if (file_.unknownHeaderLines++ == 0) {
            file_.firstUnknownLine = line;
            file_.firstUnknownText = std::string(text);
        }
    }

private:
    void Add(Kind kind, std::size_t index) { file_.events.push_back(Event{kind, static_cast<std::uint32_t>(index)}); }

    RecordedFile& file_;
};

// One warning for the header lines the reading did not know, naming the first.
void NoteUnknownHeaderLines(const RecordedFile& file, const std::string& where, std::vector<std::string>& warnings) {
    if (file.unknownHeaderLines == 0) {
        return;
    }
    std::string warning = "Warning: line " + std::to_string(file.firstUnknownLine) + " of " + where + ", \"" +
                          file.firstUnknownText +
                          "\", is a header line the Excellon reading does not know; it became a comment";
    if (file.unknownHeaderLines > 1) {
        warning += " (as did " + std::to_string(file.unknownHeaderLines - 1) + " more)";
    }
    warnings.push_back(warning);
}

std::vector<std::string> ReadLines(const std::string& name) {
    std::vector<std::string> lines;
    errno = 0;
    std::unique_ptr<platform::TextLineReader> input;
    try {
        input = platform::TextLineReader::Open(name);
        if (!input) {
            throw conversion::ConversionError("can not open the drill file " + name + ": " +
                                              std::strerror(errno != 0 ? errno : ENOENT));
        }
        lines = ReadDrillLines(*input);
    } catch (const platform::IoError& error) {
        throw conversion::ConversionError(error.what());
    }
    return lines;
}

// A further file's fault names that file: the run's line belongs to the input file.
[[noreturn]] void FurtherFileFailed(const std::string& message, const std::string& name) {
    std::string text = message;
    const std::string phrase = " of the drill file";
    const std::size_t at = text.find(phrase);
    if (at != std::string::npos) {
        text.replace(at, phrase.size(), " of " + name);
    } else {
        text = name + ": " + text;
    }
    throw conversion::ConversionError(text);
}

// -- What the program drills, and in which order --

// The lines of one tool selection: [begin, end) of its file's events. A definition on the selection's own line
// ("T1C0.8" in the body) comes first and belongs to it.
struct Segment {
    std::size_t file = 0;
    std::size_t begin = 0;
    std::size_t select = 0;
    std::size_t end = 0;
    std::int32_t tool = -1; // -1: T0 unloads the tool
};

struct FileParts {
    std::size_t prologueEnd = 0; // header and work before the first selection
    std::size_t endingBegin = 0; // the comments of the last line, and the end of program
};

struct ToolInfo {
    std::optional<double> diameterMm;
    std::string zWord;
    std::string bWord;
    std::int32_t program = 0;
    bool renumbered = false;
    std::size_t holes = 0;
    bool onRack = false;
    BitChoice choice; // with onRack
};

// Tools the machine cannot tell apart: the same diameter (a thousandth of a mm) and the same depths.
constexpr double kSameDiameterMm = 0.001;

bool SameDrill(const ToolInfo& a, const ToolInfo& b) {
    return a.diameterMm && b.diameterMm && std::fabs(*a.diameterMm - *b.diameterMm) <= kSameDiameterMm &&
           a.zWord == b.zWord && a.bWord == b.bWord;
}

// One tool change and everything drilled after it.
struct Group {
    std::vector<std::size_t> segments;
    std::int32_t tool = -1;
    std::string word;
    std::optional<double> diameterMm; // for the diameter order
    bool unload = false;
    bool onRack = false;
    BitChoice choice;
    std::vector<std::pair<std::size_t, std::int32_t>> fileTools; // distinct, in order
};

// A rack of an end mill alone drills with the end mill what it does not mill.
bool UsesEndMill(const DrillRack& rack, const BitChoice& choice) {
    return choice.kind == BitChoice::Kind::Mill || rack.bits.empty();
}

// "0.8 mm bit", or the bit's own name.
std::string BitName(const DrillRack& rack, const BitChoice& choice) {
    if (UsesEndMill(rack, choice)) {
        return platform::ShortText(rack.endMillMm.value_or(0.0)) + " mm end mill";
    }
    const RackBit& bit = rack.bits[choice.bit];
    return bit.name.empty() ? platform::ShortText(bit.diameterMm) + " mm bit" : bit.name;
}

// "0.787 and 0.813 mm holes": the distinct diameters of a group's tools.
std::string HoleDiameters(std::vector<double> diameters) {
    std::sort(diameters.begin(), diameters.end());
    std::vector<std::string> texts;
    for (const double d : diameters) {
        const std::string text = platform::FixedText(d, 3);
        if (texts.empty() || texts.back() != text) {
            texts.push_back(text);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        out += (i == 0 ? "" : i + 1 == texts.size() ? " and " : ", ") + texts[i];
    }
    return out + " mm holes";
}

std::string Plural(std::size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

class BoardPlan {
public:
    BoardPlan(const std::vector<RecordedFile>& files, const BoardOptions& board) : files_(files), board_(board) {
        for (std::size_t f = 0; f < files_.size(); ++f) {
            Split(f);
        }
        NumberTools();
        Gather();
        Place();
    }

    // Hands the program's work to `sink` in writing order, with the comments the plan adds.
    void Play(ReaderSink& sink) const {
        for (std::size_t f = 0; f < files_.size(); ++f) {
            if (f > 0) {
                sink.Comment("Drill file " + std::to_string(f + 1) + ": " + files_[f].shortName);
            }
            for (std::size_t i = 0; i < parts_[f].prologueEnd; ++i) {
                Emit(sink, f, files_[f].events[i], nullptr);
            }
            for (const auto& [key, info] : tools_) {
                if (key.first == f && info.renumbered) {
                    sink.Comment("T" + std::to_string(key.second) + " of " + files_[f].shortName + " is written as T" +
                                 std::to_string(info.program) + ": T" + std::to_string(key.second) +
                                 " of an earlier drill file is another tool");
                }
            }
        }
        if (!alignmentHoles_.empty()) {
            sink.SelectTool(alignmentTool_, "T" + std::to_string(alignmentTool_));
            for (const std::string& note : alignmentNotes_) {
                sink.Comment(note);
            }
            for (const conversion::HolePosition& hole : alignmentHoles_) {
                sink.Hole(hole.x, hole.y);
            }
        }
        for (const std::size_t g : order_) {
            const Group& group = groups_[g];
            const Segment& first = segments_[group.segments.front()];
            const RecordedFile& firstFile = files_[first.file];
            for (std::size_t i = first.begin; i < first.select; ++i) {
                Emit(sink, first.file, firstFile.events[i], &first);
            }
            if (group.unload) {
                sink.UnloadTool();
            } else {
                sink.SelectTool(group.tool, group.word);
            }
            for (const std::string& note : notes_[g]) {
                sink.Comment(note);
            }
            for (const std::size_t s : group.segments) {
                const Segment& segment = segments_[s];
                const RecordedFile& file = files_[segment.file];
                if (s != group.segments.front()) {
                    for (std::size_t i = segment.begin; i < segment.select; ++i) {
                        Emit(sink, segment.file, file.events[i], &segment);
                    }
                }
                for (std::size_t i = segment.select + 1; i < segment.end; ++i) {
                    Emit(sink, segment.file, file.events[i], &segment);
                }
            }
        }
        // The board ends once, as the input file ends: a further file's end ("M30") would only repeat it.
        bool ended = false;
        for (std::size_t i = parts_[0].endingBegin; i < files_[0].events.size(); ++i) {
            if (files_[0].events[i].kind == Kind::End) {
                ended = true;
            } else {
                Emit(sink, 0, files_[0].events[i], nullptr);
            }
        }
        if (ended) {
            sink.EndOfProgram();
        }
    }

    // The tool each file's tool is drilled with, by file and tool.
    const std::map<std::pair<std::size_t, std::int32_t>, std::int32_t>& WrittenTools() const { return written_; }
    std::int32_t AlignmentTool() const { return alignmentHoles_.empty() ? -1 : alignmentTool_; }
    // The log's lines on the rack, and its warnings.
    const std::vector<std::string>& RackLines() const { return rackLines_; }
    const std::vector<std::string>& RackWarnings() const { return rackWarnings_; }

private:
    void Split(std::size_t f) {
        const std::vector<Event>& events = files_[f].events;
        FileParts parts;
        parts.endingBegin = events.size();
        if (!events.empty() && events.back().kind == Kind::End) {
            parts.endingBegin = events.size() - 1;
            while (parts.endingBegin > 0 && events[parts.endingBegin - 1].kind == Kind::Comment) {
                --parts.endingBegin;
            }
        }
        parts.prologueEnd = parts.endingBegin;
        std::size_t previousEnd = 0;
        for (std::size_t i = 0; i < parts.endingBegin; ++i) {
            if (events[i].kind != Kind::Select && events[i].kind != Kind::Unload) {
                continue;
            }
            Segment segment;
            segment.file = f;
            segment.select = i;
            segment.begin = i;
            segment.tool = events[i].kind == Kind::Select ? files_[f].selections[events[i].index].tool : -1;
            if (i > previousEnd && events[i - 1].kind == Kind::Define &&
                files_[f].definitions[events[i - 1].index].tool == segment.tool) {
                segment.begin = i - 1;
            }
            if (segments_.empty() || segments_.back().file != f) {
                parts.prologueEnd = segment.begin;
            } else {
                segments_.back().end = segment.begin;
            }
            segments_.push_back(segment);
            previousEnd = i + 1;
        }
        if (!segments_.empty() && segments_.back().file == f) {
            segments_.back().end = parts.endingBegin;
        }
        parts_.push_back(parts);
    }

    // Each file's tools in the program: their own numbers, but a number an earlier file gave another tool is
    // replaced by one no file uses.
    void NumberTools() {
        std::int32_t largest = 0;
        for (std::size_t f = 0; f < files_.size(); ++f) {
            const RecordedFile& file = files_[f];
            for (const Definition& definition : file.definitions) {
                ToolInfo& info = tools_[{f, definition.tool}];
                if (definition.diameterMm) {
                    info.diameterMm = definition.diameterMm;
                }
                if (!definition.zWord.empty()) {
                    info.zWord = definition.zWord;
                }
                if (!definition.bWord.empty()) {
                    info.bWord = definition.bWord;
                }
                largest = std::max(largest, definition.tool);
            }
            for (const Selection& selection : file.selections) {
                tools_[{f, selection.tool}];
                largest = std::max(largest, selection.tool);
            }
        }
        next_ = largest + 1;
        std::map<std::int32_t, const ToolInfo*> owners;
        for (auto& [key, info] : tools_) {
            const auto owner = owners.find(key.second);
            if (owner == owners.end()) {
                info.program = key.second;
                owners.emplace(key.second, &info);
            } else if (!board_.keepTools && SameDrill(*owner->second, info)) {
                info.program = key.second;
            } else {
                info.program = next_++;
                info.renumbered = true;
                owners.emplace(info.program, &info);
            }
        }
    }

    // Without board options each selection keeps its own change, as the file writes it.
    bool Gathers() const {
        return board_.gatherTools || board_.keepTools || board_.toolOrder == ToolOrder::Diameter ||
               !board_.moreFiles.empty() || !board_.rack.Empty();
    }

    void Gather() {
        std::map<std::string, std::size_t> byKey;
        std::vector<std::pair<const ToolInfo*, std::int32_t>> classes; // equal diameters: the first tool
        std::int32_t endMillTool = -1;
        for (std::size_t s = 0; s < segments_.size(); ++s) {
            const Segment& segment = segments_[s];
            std::string key;
            ToolInfo* info = nullptr;
            BitChoice choice;
            bool onRack = false;
            if (segment.tool >= 0) {
                info = &tools_.at({segment.file, segment.tool});
            }
            if (info == nullptr || !Gathers()) {
                key = "segment " + std::to_string(s);
            } else {
                const std::string depths = "|" + info->zWord + "|" + info->bWord;
                if (!board_.rack.Empty() && info->diameterMm) {
                    choice = ChooseBit(board_.rack, *info->diameterMm);
                    onRack = true;
                    info->onRack = true;
                    info->choice = choice;
                    key = board_.keepTools                   ? "tool " + std::to_string(info->program)
                          : UsesEndMill(board_.rack, choice) ? "mill" + depths
                                                             : "bit " + std::to_string(choice.bit) + depths;
                } else if (!board_.keepTools && info->diameterMm) {
                    std::int32_t first = info->program;
                    for (const auto& [known, tool] : classes) {
                        if (SameDrill(*known, *info)) {
                            first = tool;
                            break;
                        }
                    }
                    if (first == info->program) {
                        classes.emplace_back(info, info->program);
                    }
                    key = "tool " + std::to_string(first);
                } else {
                    key = "tool " + std::to_string(info->program);
                }
            }
            auto [at, added] = byKey.emplace(key, groups_.size());
            if (added) {
                Group group;
                group.unload = segment.tool < 0;
                group.onRack = onRack;
                group.choice = choice;
                if (info != nullptr) {
                    group.tool = info->program;
                    const Selection& selection =
                        files_[segment.file].selections[files_[segment.file].events[segment.select].index];
                    group.word = info->program == segment.tool ? selection.word : "T" + std::to_string(info->program);
                    group.diameterMm = info->diameterMm;
                }
                if (onRack && UsesEndMill(board_.rack, choice)) {
                    if (endMillTool < 0) {
                        endMillTool = next_++;
                    }
                    group.tool = endMillTool;
                    group.word = "T" + std::to_string(endMillTool);
                    group.diameterMm = board_.rack.endMillMm;
                } else if (onRack) {
                    group.diameterMm = board_.rack.bits[choice.bit].diameterMm;
                }
                groups_.push_back(group);
            }
            Group& group = groups_[at->second];
            group.segments.push_back(s);
            if (segment.tool >= 0) {
                const std::pair<std::size_t, std::int32_t> fileTool{segment.file, segment.tool};
                if (std::find(group.fileTools.begin(), group.fileTools.end(), fileTool) == group.fileTools.end()) {
                    group.fileTools.push_back(fileTool);
                }
                written_[fileTool] = group.tool;
                tools_.at(fileTool).holes += CountHoles(segment);
            }
        }
        order_.resize(groups_.size());
        for (std::size_t g = 0; g < groups_.size(); ++g) {
            order_[g] = g;
        }
        if (board_.toolOrder == ToolOrder::Diameter) {
            std::stable_sort(order_.begin(), order_.end(), [this](std::size_t a, std::size_t b) {
                const std::optional<double>& da = groups_[a].diameterMm;
                const std::optional<double>& db = groups_[b].diameterMm;
                return da && (!db || *da < *db);
            });
        }
        notes_.resize(groups_.size());
        for (std::size_t g = 0; g < groups_.size(); ++g) {
            Note(g);
        }
    }

    std::size_t CountHoles(const Segment& segment) const {
        std::size_t holes = 0;
        for (std::size_t i = segment.select + 1; i < segment.end; ++i) {
            holes += files_[segment.file].events[i].kind == Kind::Hole ? 1 : 0;
        }
        return holes;
    }

    // What a gathered change drills, said in the program after the change, and on the rack in the log.
    void Note(std::size_t g) {
        const Group& group = groups_[g];
        if (group.onRack) {
            std::vector<double> diameters;
            std::size_t holes = 0;
            std::size_t milled = 0;
            for (const auto& fileTool : group.fileTools) {
                const ToolInfo& info = tools_.at(fileTool);
                diameters.push_back(*info.diameterMm);
                holes += info.holes;
                milled += info.choice.kind == BitChoice::Kind::Mill ? info.holes : 0;
                if (info.choice.kind == BitChoice::Kind::TooSmall || info.choice.kind == BitChoice::Kind::TooLarge) {
                    rackWarnings_.push_back(
                        "Warning: T" + std::to_string(info.program) + " (" + platform::FixedText(*info.diameterMm) +
                        " mm) is " +
                        (info.choice.kind == BitChoice::Kind::TooSmall
                             ? "smaller than the smallest bit less the tolerance"
                             : "larger than the largest bit plus the tolerance, and no end mill is given") +
                        ": drilled with the " + BitName(board_.rack, info.choice));
                }
            }
            std::string said =
                BitName(board_.rack, group.choice) + ": " + HoleDiameters(diameters) + ", " + Plural(holes, "hole");
            if (milled > 0) {
                said += milled == holes ? " milled" : " (" + std::to_string(milled) + " milled)";
            }
            notes_[g].push_back("T" + std::to_string(group.tool) + " -> " + said);
            rackLines_.push_back("T" + std::to_string(group.tool) + " \u2192 " + said);
            return;
        }
        for (const auto& fileTool : group.fileTools) {
            const ToolInfo& info = tools_.at(fileTool);
            if (info.program != group.tool) {
                notes_[g].push_back("T" + std::to_string(info.program) + " (" + platform::FixedText(*info.diameterMm) +
                                    " mm) is drilled in this tool change: the same diameter");
            }
        }
    }

    // The board's side and origin: every hole and path mapped alike, and the alignment holes first.
    void Place() {
        if (board_.placement.Identity()) {
            return;
        }
        BoardExtentsBuilder extents;
        for (const RecordedFile& file : files_) {
            for (const conversion::HolePosition& hole : file.holes) {
                extents.Add(hole.x, hole.y);
            }
            for (const PathEvent& path : file.paths) {
                extents.Add(path);
            }
        }
        map_ = BoardMap(extents.Result(), board_.placement);
        alignmentHoles_ = AlignmentHoles(extents.Result(), board_.placement);
        if (alignmentHoles_.empty() || !board_.placement.alignmentHoleMm) {
            alignmentHoles_.clear();
            return;
        }
        const double diameter = *board_.placement.alignmentHoleMm;
        alignmentTool_ = next_++;
        std::string note = "Alignment holes, " + platform::FixedText(diameter) + " mm";
        if (!board_.rack.Empty()) {
            const BitChoice choice = ChooseBit(board_.rack, diameter);
            note += " -> " + BitName(board_.rack, choice);
        }
        alignmentNotes_.push_back(note);
    }

    // `segment`: the selection the event is drilled in, or null for a file's header and end.
    void Emit(ReaderSink& sink, std::size_t f, const Event& event, const Segment* segment) const {
        const RecordedFile& file = files_[f];
        switch (event.kind) {
        case Kind::Comment:
            sink.Comment(file.comments[event.index]);
            break;
        case Kind::Define: {
            const Definition& definition = file.definitions[event.index];
            sink.DefineTool(tools_.at({f, definition.tool}).program, definition.diameterMm, definition.text,
                            definition.zWord, definition.bWord);
            break;
        }
        case Kind::Select:
            sink.SelectTool(file.selections[event.index].tool, file.selections[event.index].word);
            break;
        case Kind::Unload:
            sink.UnloadTool();
            break;
        case Kind::Hole: {
            const conversion::HolePosition at = map_.Apply(file.holes[event.index].x, file.holes[event.index].y);
            const ToolInfo* info =
                segment != nullptr && segment->tool >= 0 ? &tools_.at({segment->file, segment->tool}) : nullptr;
            if (info != nullptr && info->onRack && info->choice.kind == BitChoice::Kind::Mill) {
                sink.Path(MilledHole(at.x, at.y, info->diameterMm.value_or(0.0), *board_.rack.endMillMm));
            } else {
                sink.Hole(at.x, at.y);
            }
            break;
        }
        case Kind::Path: {
            PathEvent path = file.paths[event.index];
            map_.Apply(path);
            sink.Path(path);
            break;
        }
        case Kind::End:
            sink.EndOfProgram();
            break;
        }
    }

    const std::vector<RecordedFile>& files_;
    const BoardOptions& board_;
    std::vector<FileParts> parts_;
    std::vector<Segment> segments_;
    std::map<std::pair<std::size_t, std::int32_t>, ToolInfo> tools_;
    std::map<std::pair<std::size_t, std::int32_t>, std::int32_t> written_;
    std::vector<Group> groups_;
    std::vector<std::size_t> order_;
    std::vector<std::vector<std::string>> notes_;
    std::vector<std::string> rackLines_;
    std::vector<std::string> rackWarnings_;
    std::int32_t next_ = 1;
    BoardMap map_;
    std::vector<conversion::HolePosition> alignmentHoles_;
    std::vector<std::string> alignmentNotes_;
    std::int32_t alignmentTool_ = -1;
};
} // namespace

std::int32_t ExcellonReading::ProgramTool(std::size_t file, std::int32_t tool) const {
    const auto found = programTools_.find({file, tool});
    return found == programTools_.end() ? tool : found->second;
}

void ExcellonReading::Convert(ConversionState& state, conversion::ConversionHost& host, platform::TextLineReader& input,
                              platform::TextLineWriter&, const std::string& zUpWord) {
    const std::vector<std::string> lines = ReadDrillLines(input);
    // The reader's messages name the failing line themselves.
    state.InputLine = 0;
    const std::string inputName = host.FieldText(conversion::Field::InputFileName);
    format_ = DetectFormat(lines, choice_, inputName);
    host.AppendLogLine("Excellon reading: " + format_.Describe());
    host.AppendLogLine("Excellon reading: numbers are read in this format; the divisor does not apply");

    warnings_.clear();
    programTools_.clear();
    alignmentTool_ = -1;
    std::vector<RecordedFile> files(1 + board_.moreFiles.size());
    files[0].name = inputName;
    files[0].shortName = std::filesystem::path(inputName).filename().string();
    files[0].format = format_;
    Recorder recorder(files[0]);
    try {
        ReadExcellon(lines, 1, format_, recorder);
    } catch (const conversion::ConversionError& error) {
        NoteUnknownHeaderLines(files[0], "the drill file", warnings_);
        // A Gerber file fails on its first line; saying what it is helps more than the line does.
        if (!files[0].anyDrillData && LooksLikeGerber(lines)) {
            throw conversion::ConversionError(NoDrillDataMessage(lines, inputName));
        }
        state.InputLine = error.Line();
        throw;
    }
    NoteUnknownHeaderLines(files[0], "the drill file", warnings_);
    if (!files[0].anyDrillData) {
        throw conversion::ConversionError(NoDrillDataMessage(lines, inputName));
    }
    // Each further file is read in the format it declares, with the same fixed values.
    for (std::size_t f = 1; f < files.size(); ++f) {
        RecordedFile& file = files[f];
        file.name = board_.moreFiles[f - 1];
        file.shortName = std::filesystem::path(file.name).filename().string();
        const std::vector<std::string> moreLines = ReadLines(file.name);
        file.format = DetectFormat(moreLines, choice_, file.name);
        host.AppendLogLine("Excellon reading of " + file.name + ": " + file.format.Describe());
        Recorder more(file);
        try {
            ReadExcellon(moreLines, 1, file.format, more);
        } catch (const conversion::ConversionError& error) {
            if (!file.anyDrillData && LooksLikeGerber(moreLines)) {
                throw conversion::ConversionError(NoDrillDataMessage(moreLines, file.name));
            }
            FurtherFileFailed(error.what(), file.name);
        }
        NoteUnknownHeaderLines(file, file.name, warnings_);
        if (!file.anyDrillData) {
            throw conversion::ConversionError(NoDrillDataMessage(moreLines, file.name));
        }
    }
    if (files.size() > 1) {
        for (const RecordedFile& file : files) {
            std::size_t slots = 0;
            for (const PathEvent& path : file.paths) {
                slots += path.kind == conversion::PathKind::Slot ? 1 : 0;
            }
            host.AppendLogLine("Drill file " + file.name + ": " + std::to_string(file.holes.size()) + " holes, " +
                               std::to_string(slots) + " slots, " + std::to_string(file.paths.size() - slots) +
                               " routes");
        }
    }

    const BoardPlan plan(files, board_);
    for (const std::string& rackLine : plan.RackLines()) {
        host.AppendLogLine(rackLine);
    }
    warnings_.insert(warnings_.end(), plan.RackWarnings().begin(), plan.RackWarnings().end());
    ProgramEmitter& program = conversion::EmitterOf(state);
    if (state.Order != nullptr) {
        std::vector<conversion::HoleOrder::Ahead> steps;
        RunsAhead ahead(state, steps);
        plan.Play(ahead);
        state.Order->Foresee(steps);
    }
    ProgramWriter writer(state, program, zUpWord);
    plan.Play(writer);
    programTools_ = plan.WrittenTools();
    alignmentTool_ = plan.AlignmentTool();
    program.Flush();
    if (!writer.Ended()) {
        program.Plain("G00 " + zUpWord);
        program.Plain("M30");
    }
}

} // namespace korvex::excellon
