#include "order/ShortOrderObserver.h"

#include <chrono>
#include <cmath>
#include <numeric>
#include <string_view>

#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "platform/TextFile.h"

namespace korvex::order {

namespace {

// A long run of holes goes to the output in pieces of about this size.
constexpr std::size_t kHandOnSize = 1 << 16;

void EndLine(std::string& block) {
    block.append("\r\n", 2);
}

} // namespace

void ShortOrderObserver::MoveTo(Point to, Point& from, double& travel) {
    travel += std::hypot(to.x - from.x, to.y - from.y);
    from = to;
}

bool ShortOrderObserver::TakeHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) {
    // The plain reading writes a line (and so flushes) at every tool change; a reading that changes the tool
    // or its depths without a line still gets its holes drilled with the words that were current for them.
    if (!pending_.empty() && (hole.tool != tool_ || state.CurrentZUp != zUp_ || state.CurrentZDown != zDown_)) {
        WriteSegment(state, *state.OutputFile);
    }
    if (pending_.empty()) {
        tool_ = hole.tool;
        zUp_ = state.CurrentZUp;
        zDown_ = state.CurrentZDown;
    }

    Hole taken;
    taken.at = Point{hole.x, hole.y};
    taken.wordsAt = static_cast<std::uint32_t>(words_.size());
    taken.ownX = hole.hasX;
    taken.ownY = hole.hasY;
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
        words_.append(lastXWord_);
        taken.xLength = static_cast<std::uint32_t>(lastXWord_.size());
    }
    if (!lastYWord_.empty() && lastY_ == hole.y) {
        words_.append(lastYWord_);
        taken.yLength = static_cast<std::uint32_t>(lastYWord_.size());
    }
    MoveTo(taken.at, filePosition_, fileTravel_);
    pending_.push_back(taken);
    ++holes_;
    return true;
}

void ShortOrderObserver::Flush(conversion::ConversionState& state, platform::TextLineWriter& output) {
    if (!pending_.empty()) {
        WriteSegment(state, output);
    }
    ApplyPendingPaths();
}

// Slots and routes reported while holes were waiting come after those holes in the program.
void ShortOrderObserver::ApplyPendingPaths() {
    for (const auto& [start, end] : pendingPaths_) {
        MoveTo(start, writtenPosition_, writtenTravel_);
        writtenPosition_ = end;
        writtenXWord_.clear();
        writtenYWord_.clear();
    }
    pendingPaths_.clear();
}

void ShortOrderObserver::OnPath(const conversion::PathEvent& path) {
    const Point start{path.startX, path.startY};
    const Point end = path.segments.empty() ? start : Point{path.segments.back().x, path.segments.back().y};
    MoveTo(start, filePosition_, fileTravel_);
    filePosition_ = end;
    pendingPaths_.emplace_back(start, end);
    if (pending_.empty()) {
        ApplyPendingPaths();
    }
}

void ShortOrderObserver::WriteSegment(conversion::ConversionState& state, platform::TextLineWriter& output) {
    std::vector<std::size_t> order(pending_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Without both coordinates of every hole the holes cannot be written in another order: a coordinate
    // never named before stays as the machine has it.
    bool complete = true;
    for (const Hole& hole : pending_) {
        complete = complete && hole.xLength > 0 && hole.yLength > 0;
    }
    bool reordered = false;
    if (complete && pending_.size() > 1) {
        std::vector<Point> points;
        points.reserve(pending_.size());
        for (const Hole& hole : pending_) {
            points.push_back(hole.at);
        }
        const auto started = std::chrono::steady_clock::now();
        std::vector<std::size_t> shortOrder = ShortOrder(points, writtenPosition_);
        seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        reordered = shortOrder != order;
        order = std::move(shortOrder);
    }

    std::string block;
    for (const std::size_t index : order) {
        WriteHole(state, pending_[index], reordered, block);
        MoveTo(pending_[index].at, writtenPosition_, writtenTravel_);
        if (block.size() > kHandOnSize) {
            output.WriteLines(block);
            block.clear();
        }
    }
    if (!block.empty()) {
        output.WriteLines(block);
    }
    pending_.clear();
    words_.clear();
}

// The three lines of one hole. Reordered holes name both coordinates; holes in their own order name what
// their drill line named, and a coordinate the line left out only when the machine is no longer there.
void ShortOrderObserver::WriteHole(conversion::ConversionState& state, const Hole& hole, bool bothWords,
                                   std::string& block) {
    const std::string_view words(words_);
    const std::string_view xWord = words.substr(hole.wordsAt, hole.xLength);
    const std::string_view yWord = words.substr(hole.wordsAt + hole.xLength, hole.yLength);
    const bool writeX = !xWord.empty() && (bothWords || hole.ownX || xWord != writtenXWord_);
    const bool writeY = !yWord.empty() && (bothWords || hole.ownY || yWord != writtenYWord_);

    conversion::AppendLineNumberPrefix(block, state);
    block.append("G00 ");
    block.append(zUp_);
    EndLine(block);

    conversion::AppendLineNumberPrefix(block, state);
    block.append("G00 ");
    if (writeX) {
        block.append(xWord);
        writtenXWord_.assign(xWord);
    }
    if (writeX && writeY) {
        block.push_back(' ');
    }
    if (writeY) {
        block.append(yWord);
        writtenYWord_.assign(yWord);
    }
    EndLine(block);

    conversion::AppendLineNumberPrefix(block, state);
    block.append("G01 ");
    block.append(zDown_);
    EndLine(block);
}

} // namespace korvex::order
