// The default reading's cross-check: the drill file read the Excellon way beside the run, and where the
// run's holes land compared with that reading's places. One warning line says whether the board came out
// where the file puts it, and what to do when it did not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/ConversionState.h"
#include "conversion/RunObserver.h"
#include "excellon/DrillWork.h"

namespace korvex::job {

// Farther apart than this, the default reading drills a hole somewhere else than the file means.
constexpr double kPlacementTolerance = 0.01;

class PlacementCheck : public conversion::RunObserver {
public:
    // `work` must be readable and outlive the check.
    explicit PlacementCheck(const excellon::DrillWork& work);

    void OnHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) override;
    void WatchHoles(conversion::ConversionState& state, const conversion::HoleEvent* holes, std::size_t count) override;

    // After the run: whether every hole, slot and route lands within the tolerance of the Excellon reading's
    // place (the order may differ).
    bool Agrees() const;
    // A divisor other than the run's with which the default reading would reproduce the Excellon reading.
    std::optional<double> ReproducingDivisor() const;
    // The warning line for a run that does not agree, or a file that holds no drill data; empty otherwise.
    // `causes` are the signs in the file that probably misled the default reading, first one first.
    std::string Warning(const conversion::ConversionState& state, const std::vector<std::string>& causes) const;

private:
    void Compare(const conversion::ConversionState& state, double x, double y);

    const excellon::DrillWork& work_;
    bool started_ = false;
    double divisor_ = 1.0;
    double xOffset_ = 0.0;
    double yOffset_ = 0.0;
    std::size_t count_ = 0; // holes of the run so far
    double minX_ = 0.0;
    double maxX_ = 0.0;
    double minY_ = 0.0;
    double maxY_ = 0.0;
    // The first hole, in file order, that lands away from its Excellon counterpart; from there on the run's
    // holes are kept (without offsets) to compare as a set, as long as they can still match in number.
    bool outOfStep_ = false;
    std::size_t firstOutOfStep_ = 0;
    std::pair<double, double> firstRun_;
    std::vector<std::pair<double, double>> tail_;
    // Powers of ten that, as divisor, would still give the Excellon reading's places: one bit each.
    std::uint32_t candidates_ = 0;
};

// The warning for a default-reading run whose placement could not be checked.
std::string UncheckedWarning(const std::string& reason, const std::vector<std::string>& causes);

} // namespace korvex::job
