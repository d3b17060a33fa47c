#include "conversion/RunObserver.h"

namespace korvex::conversion {

RunObserver::~RunObserver() = default;

void RunObserver::OnToolDiameter(std::int32_t, double) {}

void RunObserver::OnHole(ConversionState&, const HoleEvent&) {}

void RunObserver::WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        OnHole(state, holes[i]);
    }
}

void RunObserver::OnPath(const PathEvent&) {}

void ObserverList::OnToolDiameter(std::int32_t tool, double diameterMm) {
    for (RunObserver* observer : observers_) {
        observer->OnToolDiameter(tool, diameterMm);
    }
}

void ObserverList::OnHole(ConversionState& state, const HoleEvent& hole) {
    for (RunObserver* observer : observers_) {
        observer->OnHole(state, hole);
    }
}

void ObserverList::WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count) {
    for (RunObserver* observer : observers_) {
        observer->WatchHoles(state, holes, count);
    }
}

void ObserverList::OnPath(const PathEvent& path) {
    for (RunObserver* observer : observers_) {
        observer->OnPath(path);
    }
}

} // namespace korvex::conversion
