#include "conversion/ProgramEmitter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "platform/DecimalText.h"
#include "platform/TextFile.h"

namespace korvex::conversion {

namespace {

// Collected lines go to the output in pieces of about this size, so a line of millions of words does not
// become one program-sized block.
constexpr std::size_t kHandOnSize = 1 << 16;

// GRBL keeps the tool number in one byte and refuses larger ones (error:38).
constexpr std::int32_t kGrblLargestTool = 255;

} // namespace

// The lines collected so far, each ending in CR LF. Appending is inline: it is the converter's innermost loop.
class ProgramEmitter::Block {
public:
    void Clear() { size_ = 0; }
    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_; }
    std::string_view View() const { return std::string_view(data_.get(), size_); }

    void Append(std::string_view text) {
        if (text.empty()) {
            return; // its data may be null, which memcpy must not get
        }
        Reserve(text.size());
        std::memcpy(data_.get() + size_, text.data(), text.size());
        size_ += text.size();
    }
    void Append(char c) {
        Reserve(1);
        data_[size_++] = c;
    }
    void EndLine() { Append(std::string_view("\r\n", 2)); }
    void AppendLineNumberPrefix(ConversionState& state) {
        Reserve(kMaxLineNumberPrefix);
        size_ += WriteLineNumberPrefix(data_.get() + size_, state);
    }

private:
    void Reserve(std::size_t more) {
        if (size_ + more > capacity_) {
            Grow(size_ + more);
        }
    }
    void Grow(std::size_t needed) {
        const std::size_t capacity = std::max<std::size_t>(needed, capacity_ * 2 + 256);
        std::unique_ptr<char[]> data(new char[capacity]);
        if (size_ > 0) {
            std::memcpy(data.get(), data_.get(), size_);
        }
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

HoleOrder::~HoleOrder() = default;

void HoleOrder::Foresee(const std::vector<Ahead>&) {}

ProgramEmitter::ProgramEmitter(ConversionState& state)
    : state_(state), block_(std::make_unique<Block>()), grblNumbers_(state.GrblToolNumbers) {
    for (const auto& [tool, number] : grblNumbers_) {
        grblNumbersUsed_.insert(number);
    }
}

ProgramEmitter::~ProgramEmitter() = default;

void ProgramEmitter::BeginLines() {
    ++collecting_;
}

void ProgramEmitter::EndLines() {
    if (collecting_ > 0) {
        --collecting_;
    }
    if (collecting_ == 0) {
        WriteBlock();
    }
}

void ProgramEmitter::WriteBlock() {
    if (block_->Empty()) {
        return;
    }
    // Cleared however the write ends: after a failed write nothing of it may be written a second time.
    struct Clearing {
        Block& block;
        ~Clearing() { block.Clear(); }
    } clearing{*block_};
    state_.OutputFile->WriteLines(block_->View());
}

// After each call's lines: written at once, or handed on in pieces while collecting.
void ProgramEmitter::Written() {
    if (collecting_ == 0 || block_->Size() > kHandOnSize) {
        WriteBlock();
    }
}

void ProgramEmitter::Comment(std::string_view text, std::string_view suffix) {
    WriteHeld();
    block_->Append("; ");
    block_->Append(text);
    block_->Append(suffix);
    block_->EndLine();
    Written();
}

void ProgramEmitter::Plain(std::string_view text) {
    WriteHeld();
    EndCycle();
    block_->Append(text);
    block_->EndLine();
    Written();
}

void ProgramEmitter::Numbered(std::string_view text) {
    WriteHeld();
    EndCycle();
    block_->AppendLineNumberPrefix(state_);
    block_->Append(text);
    block_->EndLine();
    Written();
}

void ProgramEmitter::NumberedLine(std::string_view command, std::string_view rest) {
    block_->AppendLineNumberPrefix(state_);
    block_->Append(command);
    block_->Append(rest);
    block_->EndLine();
}

void ProgramEmitter::ToolDiameter(std::int32_t tool, double diameterMm) {
    if (state_.GrblTools) {
        diameters_[tool] = diameterMm;
    }
    if (state_.Observer != nullptr) {
        state_.Observer->OnToolDiameter(tool, diameterMm);
    }
}

std::int32_t ProgramEmitter::GrblNumber(std::int32_t tool) {
    const auto known = grblNumbers_.find(tool);
    if (known != grblNumbers_.end()) {
        return known->second;
    }
    std::int32_t number = tool;
    if (tool < 0 || tool > kGrblLargestTool || grblNumbersUsed_.count(tool) != 0) {
        number = 1;
        while (grblNumbersUsed_.count(number) != 0) {
            ++number;
        }
    }
    grblNumbersUsed_.insert(number);
    grblNumbers_.emplace(tool, number);
    return number;
}

std::string ProgramEmitter::DiameterText(std::int32_t tool) const {
    const auto diameter = diameters_.find(tool);
    return diameter == diameters_.end() ? std::string() : " " + platform::FixedText(diameter->second, 3) + " mm";
}

void ProgramEmitter::ToolDefinition(std::int32_t tool, std::string_view text, std::optional<double> diameterMm) {
    if (!state_.GrblTools) {
        Comment(text, " ; Tool-definition");
        return;
    }
    if (diameterMm) {
        diameters_[tool] = *diameterMm;
    }
    std::string suffix;
    if (diameters_.count(tool) != 0) {
        suffix += "=" + DiameterText(tool);
    }
    const std::int32_t number = GrblNumber(tool);
    if (number != tool) {
        suffix += (suffix.empty() ? "" : ", ");
        suffix += "written as T" + std::to_string(number) + " for GRBL";
    }
    suffix += " ; Tool-definition";
    // The plain reading's text ends in blanks already.
    if (!text.empty() && text.back() != ' ') {
        suffix.insert(0, " ");
    }
    Comment(text, suffix);
}

void ProgramEmitter::SelectTool(std::int32_t tool, std::string_view word) {
    WriteHeld();
    EndCycle();
    const ToolZEntry& entry = ToolTable::Contains(tool) ? state_.ToolTable[tool] : state_.RunZ;
    state_.CurrentZUp = entry.ZUp;
    state_.CurrentZDown = entry.ZDown;
    state_.CurrentTool = tool;
    std::string grblWord;
    std::int32_t number = tool;
    if (state_.GrblTools) {
        const bool first = grblNumbers_.count(tool) == 0;
        number = GrblNumber(tool);
        if (state_.SplitMarks) {
            std::string shown = std::to_string(number);
            shown.insert(0, shown.size() < 2 ? 2 - shown.size() : 0, '0');
            Comment(kPartMark, "T" + shown + DiameterText(tool));
        }
        if (number != tool) {
            grblWord = "T" + std::to_string(number);
            word = grblWord;
            if (first) {
                Comment("T" + std::to_string(tool) + " is written as " + grblWord +
                        ": GRBL refuses tool numbers above 255");
            }
        }
    }
    for (const std::string& line : state_.MacroBefore) {
        NumberedLine(line, {});
    }
    NumberedLine(word, {});
    for (const std::string& line : state_.MacroAfter) {
        if (!state_.GrblTools || (line != state_.PauseMark && line != state_.SenderMark)) {
            NumberedLine(line, {});
        } else if (line == state_.SenderMark) {
            NumberedLine("M6 T" + std::to_string(number),
                         DiameterText(tool).empty() ? "" : " (" + DiameterText(tool).substr(1) + ")");
        } else if (!state_.SplitMarks) {
            // A part of a split program starts after the change: it needs no pause.
            NumberedLine("M00 (T" + std::to_string(number) + DiameterText(tool), ": change tool, then cycle start)");
        }
    }
    Written();
}

void ProgramEmitter::UnloadTool(std::string_view comment) {
    Comment(comment);
    state_.CurrentTool = -1;
}

void ProgramEmitter::Hole(const HoleEvent& hole) {
    if (state_.Observer != nullptr) {
        state_.Observer->OnHole(state_, hole);
    }
    if (state_.Order != nullptr && state_.Emitter == this) {
        Hold(hole);
        return;
    }
    HoleLines(hole.hasX ? hole.xWord : std::string_view(), hole.hasY ? hole.yWord : std::string_view(),
              state_.CurrentZUp, state_.CurrentZDown);
    Written();
}

void ProgramEmitter::HoleLines(std::string_view xWord, std::string_view yWord, const std::string& zUp,
                               const std::string& zDown) {
    const DrillCycle& cycle = state_.Cycle;
    const bool plain = cycle.kind == CycleKind::Plain;
    if (!plain && cycleOn_ && (zUp != cycleZUp_ || zDown != cycleZDown_)) {
        EndCycle();
    }
    const bool cycleLine = !plain && !cycleOn_;
    if (plain || cycleLine) {
        // The cycle's G98 returns to the height it starts from: the retract height, as between plain holes.
        NumberedLine("G00 ", zUp);
    }
    block_->AppendLineNumberPrefix(state_);
    if (plain) {
        block_->Append("G00 ");
    } else if (cycleLine) {
        block_->Append(cycle.kind == CycleKind::G81 ? "G98 G81 " : "G98 G83 ");
    }
    block_->Append(xWord);
    if (!xWord.empty() && !yWord.empty()) {
        block_->Append(' ');
    }
    block_->Append(yWord);
    if (!plain && !cycleLine && xWord.empty() && yWord.empty()) {
        // A hole at the same place again: a cycle repeats only for a line with an axis word.
        block_->Append(zDown);
    }
    if (cycleLine) {
        block_->Append(' ');
        block_->Append(zDown);
        block_->Append(' ');
        if (cycle.retractWord.empty()) {
            block_->Append('R');
            block_->Append(std::string_view(zUp).substr(std::min<std::size_t>(1, zUp.size())));
        } else {
            block_->Append(cycle.retractWord);
        }
        if (cycle.kind == CycleKind::G83) {
            block_->Append(' ');
            block_->Append(cycle.peckWord);
        }
        block_->Append(' ');
        block_->Append(cycle.feedWord);
        cycleOn_ = true;
        cycleZUp_ = zUp;
        cycleZDown_ = zDown;
    }
    block_->EndLine();
    if (plain) {
        NumberedLine("G01 ", zDown);
    }
}

// A canned cycle stays in force until cancelled: every line but a hole's or a comment must come after G80.
void ProgramEmitter::EndCycle() {
    if (cycleOn_) {
        cycleOn_ = false;
        NumberedLine("G80", {});
    }
}

void ProgramEmitter::Path(const PathEvent& path) {
    WriteHeld();
    EndCycle();
    if (state_.Observer != nullptr) {
        state_.Observer->OnPath(path);
    }
    std::string words;
    AppendWord(words, 'X', path.startX);
    words.push_back(' ');
    AppendWord(words, 'Y', path.startY);
    NumberedLine("G00 ", state_.CurrentZUp);
    NumberedLine("G00 ", words);
    const int turns = HelixTurns(path);
    if (turns == 0) {
        NumberedLine("G01 ", state_.CurrentZDown);
    } else {
        words.clear();
        AppendWord(words, 'Z', 0.0);
        NumberedLine("G01 ", words);
    }
    double x = path.startX;
    double y = path.startY;
    const double depth = turns == 0 ? 0.0 : ZWordValue(state_.CurrentZDown);
    const std::size_t helixSegments = static_cast<std::size_t>(turns) * path.segments.size();
    // The helix's turns, then the segments once more at depth (the only pass of a slot or route).
    for (std::size_t k = 0; k < helixSegments + path.segments.size(); ++k) {
        const PathSegment& segment = path.segments[k % path.segments.size()];
        const char* command = "G01 ";
        if (segment.kind == PathSegment::Kind::ClockwiseArc) {
            command = "G02 ";
        } else if (segment.kind == PathSegment::Kind::CounterClockwiseArc) {
            command = "G03 ";
        }
        words.clear();
        AppendWord(words, 'X', segment.x);
        words.push_back(' ');
        AppendWord(words, 'Y', segment.y);
        if (k + 1 == helixSegments) {
            // The bottom of the helix is the tool's own depth word, not a recomputed one.
            words.push_back(' ');
            words += state_.CurrentZDown;
        } else if (k < helixSegments) {
            words.push_back(' ');
            AppendWord(words, 'Z', depth * static_cast<double>(k + 1) / static_cast<double>(helixSegments));
        }
        if (segment.kind != PathSegment::Kind::Line) {
            words.push_back(' ');
            AppendWord(words, 'I', segment.centerX - x);
            words.push_back(' ');
            AppendWord(words, 'J', segment.centerY - y);
        }
        NumberedLine(command, words);
        x = segment.x;
        y = segment.y;
    }
    NumberedLine("G01 ", state_.CurrentZUp);
    state_.LastX = x;
    state_.LastY = y;
    // Where a path leaves the machine is no word a held hole could leave out.
    writtenXWord_.clear();
    writtenYWord_.clear();
    Written();
}

double ProgramEmitter::ZWordValue(std::string_view word) {
    double value = 0.0;
    if (word.size() < 2 || (word[0] != 'Z' && word[0] != 'z')) {
        return 0.0;
    }
    const char* end = word.data() + word.size();
    const auto [at, error] = std::from_chars(word.data() + 1, end, value);
    return error == std::errc() && at == end && std::isfinite(value) ? value : 0.0;
}

int ProgramEmitter::HelixTurns(const PathEvent& path) const {
    if (!(path.helixPassMm > 0.0) || path.segments.empty()) {
        return 0;
    }
    // A depth word that is no plain number below the surface leaves nothing to go down along: plunge.
    const double depth = -ZWordValue(state_.CurrentZDown);
    if (!(depth > 0.0)) {
        return 0;
    }
    const double turns = std::ceil(depth / path.helixPassMm - 1e-9);
    return turns > 1e4 ? 10000 : std::max(1, static_cast<int>(turns));
}

void ProgramEmitter::Flush() {
    WriteHeld();
    WriteBlock();
}

void ProgramEmitter::AppendWord(std::string& out, char letter, double value) {
    const std::size_t start = out.size();
    out.push_back(letter);
    AppendRealToStr(out, 1, 3, value);
    if (!IsPlainDecimal(std::string_view(out).substr(start + 1))) {
        const std::string word = out.substr(start);
        out.resize(start);
        throw ConversionError(OutOfRangeMessage(word));
    }
}

// -- Held holes --

void ProgramEmitter::Hold(const HoleEvent& hole) {
    // A reading that changes the tool or its depths without a line still gets its holes drilled with the
    // words that were current for them.
    if (!held_.empty() &&
        (hole.tool != heldTool_ || state_.CurrentZUp != heldZUp_ || state_.CurrentZDown != heldZDown_)) {
        WriteHeld();
    }
    if (held_.empty()) {
        heldTool_ = hole.tool;
        heldZUp_ = state_.CurrentZUp;
        heldZDown_ = state_.CurrentZDown;
    }
    HeldHole held;
    held.at = HolePosition{hole.x, hole.y};
    held.wordsAt = static_cast<std::uint32_t>(heldWords_.size());
    held.ownX = hole.hasX;
    held.ownY = hole.hasY;
    // A coordinate the line leaves out is the last one named, as long as the machine is still there.
    if (hole.hasX) {
        lastXWord_.assign(hole.xWord);
        lastX_ = hole.x;
    }
    if (hole.hasY) {
        lastYWord_.assign(hole.yWord);
        lastY_ = hole.y;
    }
    if (!lastXWord_.empty() && lastX_ == hole.x) {
        heldWords_.append(lastXWord_);
        held.xLength = static_cast<std::uint32_t>(lastXWord_.size());
    }
    if (!lastYWord_.empty() && lastY_ == hole.y) {
        heldWords_.append(lastYWord_);
        held.yLength = static_cast<std::uint32_t>(lastYWord_.size());
    }
    held_.push_back(held);
}

void ProgramEmitter::WriteHeld() {
    if (held_.empty()) {
        return;
    }
    // Without both coordinates of every hole the holes cannot be written in another order: a coordinate
    // never named before stays as the machine has it.
    bool fixed = false;
    std::vector<HolePosition> positions;
    positions.reserve(held_.size());
    for (const HeldHole& hole : held_) {
        fixed = fixed || hole.xLength == 0 || hole.yLength == 0;
        positions.push_back(hole.at);
    }
    std::vector<std::size_t> identity(held_.size());
    std::iota(identity.begin(), identity.end(), std::size_t{0});
    std::vector<std::size_t> order = state_.Order != nullptr ? state_.Order->Order(positions, fixed) : identity;
    if (order.size() != held_.size()) {
        order = identity;
    }
    const bool reordered = order != identity;
    // Taken before writing: the lines below may hand the block on, and nothing held may be written twice.
    const std::vector<HeldHole> held = std::move(held_);
    held_.clear();
    for (const std::size_t index : order) {
        WriteHeldHole(held[index], reordered);
        if (block_->Size() > kHandOnSize) {
            Written();
        }
    }
    heldWords_.clear();
}

// The three lines of one held hole. Reordered holes name both coordinates; holes in their own order name what
// their drill line named, and a coordinate the line left out only when the machine is no longer there.
void ProgramEmitter::WriteHeldHole(const HeldHole& hole, bool bothWords) {
    const std::string_view words(heldWords_);
    const std::string_view xWord = words.substr(hole.wordsAt, hole.xLength);
    const std::string_view yWord = words.substr(hole.wordsAt + hole.xLength, hole.yLength);
    const bool writeX = !xWord.empty() && (bothWords || hole.ownX || xWord != writtenXWord_);
    const bool writeY = !yWord.empty() && (bothWords || hole.ownY || yWord != writtenYWord_);

    if (writeX) {
        writtenXWord_.assign(xWord);
    }
    if (writeY) {
        writtenYWord_.assign(yWord);
    }
    HoleLines(writeX ? xWord : std::string_view(), writeY ? yWord : std::string_view(), heldZUp_, heldZDown_);
}

ProgramEmitter& EmitterOf(ConversionState& state) {
    if (state.Emitter != nullptr) {
        return *state.Emitter;
    }
    thread_local std::unique_ptr<ProgramEmitter> loose;
    thread_local ConversionState* looseFor = nullptr;
    if (!loose || looseFor != &state) {
        loose = std::make_unique<ProgramEmitter>(state);
        looseFor = &state;
    }
    return *loose;
}

} // namespace korvex::conversion
