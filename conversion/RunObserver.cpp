#include "conversion/RunObserver.h"

namespace korvex::conversion {

RunObserver::~RunObserver() = default;

void RunObserver::OnToolDiameter(std::int32_t, double) {}

bool RunObserver::TakeHole(ConversionState&, const HoleEvent&) {
    return false;
}

bool RunObserver::MayTakeHoles() const {
    return true;
}

void RunObserver::WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        TakeHole(state, holes[i]);
    }
}

void RunObserver::Flush(ConversionState&, platform::TextLineWriter&) {}

void RunObserver::OnPath(const PathEvent&) {}

void ObserverList::OnToolDiameter(std::int32_t tool, double diameterMm) {
    for (RunObserver* observer : observers_) {
        observer->OnToolDiameter(tool, diameterMm);
    }
}

bool ObserverList::TakeHole(ConversionState& state, const HoleEvent& hole) {
    bool taken = false;
    for (RunObserver* observer : observers_) {
        taken = observer->TakeHole(state, hole) || taken;
    }
    return taken;
}

bool ObserverList::MayTakeHoles() const {
    for (const RunObserver* observer : observers_) {
        if (observer->MayTakeHoles()) {
            return true;
        }
    }
    return false;
}

void ObserverList::WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count) {
    for (RunObserver* observer : observers_) {
        observer->WatchHoles(state, holes, count);
    }
}

void ObserverList::Flush(ConversionState& state, platform::TextLineWriter& output) {
    for (RunObserver* observer : observers_) {
        observer->Flush(state, output);
    }
}

void ObserverList::OnPath(const PathEvent& path) {
    for (RunObserver* observer : observers_) {
        observer->OnPath(path);
    }
}

} // namespace korvex::conversion
