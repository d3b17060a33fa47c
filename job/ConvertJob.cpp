#include "job/ConvertJob.h"

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunObserver.h"

namespace korvex::job {

namespace {

// The observer and the reading belong to this run only: a later plain run must not see them.
class RunHooks {
public:
    RunHooks(conversion::ConversionState& state, conversion::RunObserver* observer, conversion::BodyReading* reading)
        : state_(state) {
        state_.Observer = observer;
        state_.Reading = reading;
    }
    ~RunHooks() {
        state_.Observer = nullptr;
        state_.Reading = nullptr;
    }
    RunHooks(const RunHooks&) = delete;
    RunHooks& operator=(const RunHooks&) = delete;

private:
    conversion::ConversionState& state_;
};

} // namespace

JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options) {
    (void)options;
    JobReport report;
    conversion::ObserverList observers;
    conversion::BodyReading* reading = nullptr;

    // -- Reading: choose the body reading and its observers --

    // -- Drill order: the observer that takes holes goes last --

    // -- Verification: collect what the drill file asked for --

    {
        RunHooks hooks(state, observers.Empty() ? nullptr : &observers, reading);
        report.outcome = conversion::RunConversion(state, host);
    }
    if (report.outcome != conversion::RunOutcome::Finished) {
        return report;
    }

    // -- After the run: summary line --

    // -- After the run: checks and verification --

    return report;
}

} // namespace korvex::job
