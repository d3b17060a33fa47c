#include "job/PlacementCheck.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace korvex::job {

namespace {

constexpr int kCandidateCount = 11; // the divisors a run may suggest: 0.0001 .. 1000000

double Candidate(int bit) {
    static const double kPowers[kCandidateCount] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
    return kPowers[bit];
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= kPlacementTolerance;
}

std::string Fixed(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    const std::string text = result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("?");
    // A place just left of zero is no place of its own.
    return text == "-0.000" ? std::string("0.000") : text;
}

std::string Number(double value) {
    std::string text = Fixed(value);
    while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

struct Extent {
    bool any = false;
    double minX = 0.0;
    double maxX = 0.0;
    double minY = 0.0;
    double maxY = 0.0;

    void Include(double x, double y) {
        if (!any) {
            minX = maxX = x;
            minY = maxY = y;
            any = true;
            return;
        }
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    std::string Text() const {
        if (!any) {
            return "nowhere";
        }
        return "X " + Fixed(minX) + " to " + Fixed(maxX) + ", Y " + Fixed(minY) + " to " + Fixed(maxY) + " mm";
    }
};

const char* const kWhatToDo = "use the Excellon reading (File > Drill file format..., or --excellon)";

} // namespace

PlacementCheck::PlacementCheck(const excellon::DrillWork& work)
    : work_(work), candidates_((1u << kCandidateCount) - 1) {}

void PlacementCheck::OnHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) {
    Compare(state, hole.x, hole.y);
}

void PlacementCheck::WatchHoles(conversion::ConversionState& state, const conversion::HoleEvent* holes,
                                std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        Compare(state, holes[k].x, holes[k].y);
    }
}

void PlacementCheck::Compare(const conversion::ConversionState& state, double x, double y) {
    if (!started_) {
        started_ = true;
        divisor_ = state.Divisor;
        xOffset_ = state.XOffset;
        yOffset_ = state.YOffset;
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
    }
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
    const std::size_t index = count_++;
    const double runX = x - xOffset_;
    const double runY = y - yOffset_;
    if (index < work_.holes.size()) {
        const excellon::DrillWork::Hole& hole = work_.holes[index];
        if (!outOfStep_ && (!Near(runX, hole.x) || !Near(runY, hole.y))) {
            outOfStep_ = true;
            firstOutOfStep_ = index;
            firstRun_ = {x, y};
        }
        for (int bit = 0; bit < kCandidateCount && candidates_ != 0; ++bit) {
            const double scale = divisor_ / Candidate(bit);
            if ((candidates_ & (1u << bit)) != 0 && (!Near(runX * scale, hole.x) || !Near(runY * scale, hole.y))) {
                candidates_ &= ~(1u << bit);
            }
        }
    }
    if (outOfStep_ && tail_.size() <= work_.holes.size() - std::min(firstOutOfStep_, work_.holes.size())) {
        tail_.emplace_back(runX, runY);
    }
}

bool PlacementCheck::Agrees() const {
    if (!work_.paths.empty() || count_ != work_.holes.size()) {
        return false;
    }
    if (!outOfStep_) {
        return true;
    }
    // The same places in another order still make the same board.
    std::vector<std::pair<double, double>> run = tail_;
    std::vector<std::pair<double, double>> file;
    file.reserve(work_.holes.size() - firstOutOfStep_);
    for (std::size_t k = firstOutOfStep_; k < work_.holes.size(); ++k) {
        file.emplace_back(work_.holes[k].x, work_.holes[k].y);
    }
    if (run.size() != file.size()) {
        return false;
    }
    std::sort(run.begin(), run.end());
    std::sort(file.begin(), file.end());
    for (std::size_t k = 0; k < run.size(); ++k) {
        if (!Near(run[k].first, file[k].first) || !Near(run[k].second, file[k].second)) {
            return false;
        }
    }
    return true;
}

std::optional<double> PlacementCheck::ReproducingDivisor() const {
    if (!work_.paths.empty() || count_ != work_.holes.size() || count_ == 0) {
        return std::nullopt;
    }
    std::optional<double> best;
    for (int bit = 0; bit < kCandidateCount; ++bit) {
        const double candidate = Candidate(bit);
        if ((candidates_ & (1u << bit)) == 0 || std::fabs(candidate / divisor_ - 1.0) < 1e-9) {
            continue;
        }
        // Holes at the origin alone fit every divisor: the nearest to the run's is the least surprise.
        if (!best || std::fabs(std::log10(candidate / divisor_)) < std::fabs(std::log10(*best / divisor_))) {
            best = candidate;
        }
    }
    return best;
}

std::string PlacementCheck::Warning(const conversion::ConversionState& state,
                                    const std::vector<std::string>& causes) const {
    const double xOffset = started_ ? xOffset_ : state.XOffset;
    const double yOffset = started_ ? yOffset_ : state.YOffset;
    if (work_.Empty()) {
        return "Warning: the Excellon reading finds no tool, hole, slot or route in the drill file, so it is no drill "
               "file; the program drills " +
               Counted(count_, "hole", "holes");
    }
    if (Agrees()) {
        return {};
    }
    Extent run;
    if (count_ > 0) {
        run.Include(minX_, minY_);
        run.Include(maxX_, maxY_);
    }
    Extent file;
    std::size_t slots = 0;
    for (const excellon::DrillWork::Hole& hole : work_.holes) {
        file.Include(hole.x + xOffset, hole.y + yOffset);
    }
    for (const conversion::PathEvent& path : work_.paths) {
        ++slots;
        file.Include(path.startX + xOffset, path.startY + yOffset);
        for (const conversion::PathSegment& segment : path.segments) {
            file.Include(segment.x + xOffset, segment.y + yOffset);
        }
    }
    const std::size_t slotCount = static_cast<std::size_t>(
        std::count_if(work_.paths.begin(), work_.paths.end(),
                      [](const conversion::PathEvent& path) { return path.kind == conversion::PathKind::Slot; }));
    std::string line = "Warning: this reading drills " + Counted(count_, "hole", "holes") + " at " + run.Text() +
                       ", where the Excellon reading (" + work_.format.Describe() + ") finds " +
                       Counted(work_.holes.size(), "hole", "holes") + ", " + Counted(slotCount, "slot", "slots") +
                       ", " + Counted(work_.paths.size() - slotCount, "route", "routes") + " at " + file.Text();
    if (outOfStep_) {
        const excellon::DrillWork::Hole& hole = work_.holes[firstOutOfStep_];
        line += "; hole " + std::to_string(firstOutOfStep_ + 1) + " lands at X" + Fixed(firstRun_.first) + " Y" +
                Fixed(firstRun_.second) + " instead of X" + Fixed(hole.x + xOffset) + " Y" + Fixed(hole.y + yOffset);
    }
    line += std::string("; ") + kWhatToDo;
    if (const std::optional<double> divisor = ReproducingDivisor()) {
        line += ", or divisor " + Number(*divisor) + ", which gives the same places";
    } else if (!causes.empty()) {
        line += "; probably because " + causes.front();
    }
    return line;
}

std::string UncheckedWarning(const std::string& reason, const std::vector<std::string>& causes) {
    std::string line = "Warning: where the holes land could not be checked against the Excellon reading: " + reason;
    if (!causes.empty()) {
        line += "; note that " + causes.front();
    }
    return line;
}

} // namespace korvex::job
