#include "job/ConvertJob.h"

#include <charconv>
#include <memory>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunObserver.h"
#include "order/ShortOrderObserver.h"

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

// Independent of the locale the window may have set.
std::string Fixed(double value, int decimals) {
    char text[64];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("?");
}

} // namespace

JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options) {
    (void)options;
    JobReport report;
    conversion::ObserverList observers;
    conversion::BodyReading* reading = nullptr;

    // -- Reading: choose the body reading and its observers --

    // -- Drill order: the observer that takes holes goes last --
    std::unique_ptr<order::ShortOrderObserver> shortOrder;
    if (options.order == order::DrillOrder::Short) {
        shortOrder = std::make_unique<order::ShortOrderObserver>();
        observers.Add(shortOrder.get());
    }

    // -- Verification: collect what the drill file asked for --

    {
        RunHooks hooks(state, observers.Empty() ? nullptr : &observers, reading);
        report.outcome = conversion::RunConversion(state, host);
    }
    if (report.outcome != conversion::RunOutcome::Finished) {
        return report;
    }

    // -- After the run: summary line --

    // -- After the run: drill order --
    if (shortOrder) {
        report.fileOrderTravel = shortOrder->FileOrderTravel();
        report.drillOrderTravel = shortOrder->WrittenTravel();
        report.drillOrderSeconds = shortOrder->OrderingSeconds();
        host.AppendLogLine("Drill order: short, rapid travel " + Fixed(report.drillOrderTravel, 1) +
                           " mm (file order " + Fixed(report.fileOrderTravel, 1) + " mm) in " +
                           Fixed(report.drillOrderSeconds, 2) + " s");
    }

    // -- After the run: checks and verification --

    return report;
}

} // namespace korvex::job
