#include "job/ConvertJob.h"

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunObserver.h"
#include "excellon/ExcellonReading.h"
#include "job/PlainReadingHazards.h"
#include "job/RunSummary.h"

namespace korvex::job {

namespace {

// The observer and the reading belong to this run only: a later plain run must not see them.
class RunHooks {
public:
    RunHooks(conversion::ConversionState& state, conversion::RunObserver* observer, conversion::BodyReading* reading,
             conversion::LineWatcher* watcher)
        : state_(state) {
        state_.Observer = observer;
        state_.Reading = reading;
        state_.Watcher = watcher;
    }
    ~RunHooks() {
        state_.Observer = nullptr;
        state_.Reading = nullptr;
        state_.Watcher = nullptr;
    }
    RunHooks(const RunHooks&) = delete;
    RunHooks& operator=(const RunHooks&) = delete;

private:
    conversion::ConversionState& state_;
};

} // namespace

JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options) {
    JobReport report;
    conversion::ObserverList observers;
    conversion::BodyReading* reading = nullptr;
    conversion::LineWatcher* watcher = nullptr;

    // -- Reading: choose the body reading and its observers --
    // The plain reading's warnings are logged once the body has been read (after "Conversion finished", or
    // before a failure leaves), followed by the summary line: the file must be read whole to know them.
    std::unique_ptr<excellon::ExcellonReading> excellonReading;
    PlainReadingHazards hazards;
    RunSummary summary;
    observers.Add(&summary);
    if (options.reading.excellon) {
        excellonReading = std::make_unique<excellon::ExcellonReading>(options.reading);
        reading = excellonReading.get();
    } else {
        watcher = &hazards;
    }
    auto logWarnings = [&]() {
        if (watcher == nullptr) {
            return;
        }
        report.warnings = hazards.Warnings(state);
        for (const std::string& warning : report.warnings) {
            host.AppendLogLine(warning);
        }
    };

    // -- Drill order: the observer that takes holes goes last --

    // -- Verification: collect what the drill file asked for --

    try {
        RunHooks hooks(state, observers.Empty() ? nullptr : &observers, reading, watcher);
        report.outcome = conversion::RunConversion(state, host);
    } catch (...) {
        logWarnings();
        throw;
    }
    if (report.outcome != conversion::RunOutcome::Finished) {
        return report;
    }

    // -- After the run: summary line --
    logWarnings();
    report.holes = summary.Holes();
    report.slots = summary.Slots();
    report.routes = summary.Routes();
    host.AppendLogLine(summary.Line());

    // -- After the run: checks and verification --

    return report;
}

} // namespace korvex::job
