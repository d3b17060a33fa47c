#include "job/ConvertJob.h"

#include <sys/stat.h>

#include <charconv>
#include <fstream>
#include <memory>
#include <sstream>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunObserver.h"
#include "excellon/ExcellonReading.h"
#include "gcode/GcodeReader.h"
#include "gcode/RunChecks.h"
#include "job/PlainReadingHazards.h"
#include "job/RunSummary.h"
#include "order/ShortOrderObserver.h"
#include "platform/AtomicFile.h"
#include "platform/TextFile.h"
#include "preview/ProgramPreview.h"
#include "preview/SvgWriter.h"

namespace korvex::job {

namespace {

// The observer and the reading belong to this run only: a later plain run must not see them.
class RunHooks {
public:
    RunHooks(conversion::ConversionState& state, conversion::RunObserver* observer, conversion::BodyReading* reading,
             conversion::LineWatcher* watcher, conversion::HoleOrder* order)
        : state_(state) {
        state_.Observer = observer;
        state_.Reading = reading;
        state_.Watcher = watcher;
        state_.Order = order;
    }
    ~RunHooks() {
        state_.Observer = nullptr;
        state_.Reading = nullptr;
        state_.Watcher = nullptr;
        state_.Order = nullptr;
    }
    RunHooks(const RunHooks&) = delete;
    RunHooks& operator=(const RunHooks&) = delete;

private:
    conversion::ConversionState& state_;
};

// Hands every line written on to the program scan as well.
class ScanningWriter : public platform::TextLineWriter {
public:
    ScanningWriter(std::unique_ptr<platform::TextLineWriter> inner, gcode::ProgramScan& scan)
        : inner_(std::move(inner)), scan_(scan) {}
    void WriteLine(std::string_view text) override {
        scan_.Line(text);
        inner_->WriteLine(text);
    }
    void WriteLines(std::string_view linesWithCrLf) override {
        for (std::size_t start = 0; start < linesWithCrLf.size();) {
            std::size_t end = linesWithCrLf.find("\r\n", start);
            if (end == std::string_view::npos) {
                end = linesWithCrLf.size();
            }
            scan_.Line(linesWithCrLf.substr(start, end - start));
            start = end + 2;
        }
        inner_->WriteLines(linesWithCrLf);
    }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<platform::TextLineWriter> inner_;
    gcode::ProgramScan& scan_;
};

// The front end's host with the program scan between the run and the output; everything else passes through.
class ScanningHost : public conversion::ConversionHost {
public:
    ScanningHost(conversion::ConversionHost& host, gcode::ProgramScan& scan) : host_(host), scan_(scan) {}

    std::string FieldText(conversion::HostField field) const override { return host_.FieldText(field); }
    void SetDividerText(const std::string& text) override { host_.SetDividerText(text); }
    bool SuppressLeadingZerosChecked() const override { return host_.SuppressLeadingZerosChecked(); }
    std::vector<std::string> MacroLines(conversion::HostMacro macro) const override { return host_.MacroLines(macro); }
    void AppendLogLine(const std::string& line) override { host_.AppendLogLine(line); }
    std::string LogText() const override { return host_.LogText(); }
    void SetLogText(const std::string& text) override { host_.SetLogText(text); }
    void ShowNumericalError(const std::string& message) override { host_.ShowNumericalError(message); }
    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                           const platform::TextLineReader& input) override {
        std::unique_ptr<platform::TextLineWriter> output = host_.CreateOutput(name, input);
        if (!output) {
            return output;
        }
        return std::make_unique<ScanningWriter>(std::move(output), scan_);
    }
    std::unique_ptr<platform::TextLineReader> OpenInput(const std::string& name) override {
        return host_.OpenInput(name);
    }

private:
    conversion::ConversionHost& host_;
    gcode::ProgramScan& scan_;
};

// The program as written, for the verification; a reason instead when it cannot be read back.
bool ReadBack(const std::string& name, std::string& text, std::string& reason) {
    if (name == "-") {
        reason = "the program went to standard output, which cannot be read back";
        return false;
    }
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = name + " is no regular file that can be read back";
        return false;
    }
    std::ifstream file(name, std::ios::binary);
    std::ostringstream content;
    if (file.is_open()) {
        content << file.rdbuf();
    }
    if (!file.is_open() || file.bad()) {
        reason = "cannot read " + name + " back";
        return false;
    }
    text = content.str();
    return true;
}

// Independent of the locale the window may have set.
std::string Fixed(double value, int decimals) {
    char text[64];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("?");
}

// Keeps the diameters the drill file gives; the picture draws holes and cuts with them.
class ToolDiameters : public conversion::RunObserver {
public:
    explicit ToolDiameters(std::map<std::int32_t, double>& diameters) : diameters_(diameters) {}
    void OnToolDiameter(std::int32_t tool, double diameterMm) override { diameters_[tool] = diameterMm; }
    void WatchHoles(conversion::ConversionState&, const conversion::HoleEvent*, std::size_t) override {}

private:
    std::map<std::int32_t, double>& diameters_;
};

// The written program read back and drawn as SVG; the reason in report.svgError when that fails.
void WriteProgramPicture(const std::string& programPath, const std::string& svgPath, JobReport& report) {
    if (programPath == "-") {
        report.svgError = "the picture needs the program in a file, not on standard output";
        return;
    }
    std::error_code error;
    const preview::Scene scene = preview::LoadProgramScene(programPath, report.toolDiameters, {}, error);
    if (error) {
        report.svgError = "cannot read back " + programPath + ": " + platform::SystemReason(error);
        return;
    }
    error = preview::WriteSvgFile(svgPath, scene);
    if (error) {
        report.svgError = "cannot write " + svgPath + ": " + platform::SystemReason(error);
    }
}

} // namespace

JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options) {
    JobReport report;
    conversion::ObserverList observers;
    conversion::BodyReading* reading = nullptr;
    conversion::LineWatcher* watcher = nullptr;

    // -- Preview: the tool diameters --
    ToolDiameters diameters(report.toolDiameters);
    if (options.collectToolDiameters || !options.svgPath.empty()) {
        observers.Add(&diameters);
    }

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

    // -- Drill order: the run's writer holds each run of holes and writes it in the short order --
    std::unique_ptr<order::ShortOrderObserver> shortOrder;
    if (options.order == order::DrillOrder::Short) {
        shortOrder = std::make_unique<order::ShortOrderObserver>();
        observers.Add(shortOrder.get());
    }

    // -- Verification: collect what the drill file asked for --
    gcode::RunShape shape;
    observers.Add(&shape);
    gcode::ExpectedWork expected;
    if (options.verify) {
        observers.Add(&expected);
    }
    // Only a chosen controller has lines to refuse; without one the output goes straight to the file.
    const std::vector<std::string> macroBefore = host.MacroLines(conversion::HostMacro::Before);
    const std::vector<std::string> macroAfter = host.MacroLines(conversion::HostMacro::After);
    std::vector<std::string> blockLines = macroBefore;
    blockLines.insert(blockLines.end(), macroAfter.begin(), macroAfter.end());
    gcode::ProgramScan scan(options.controller, std::move(blockLines));
    ScanningHost scanningHost(host, scan);
    conversion::ConversionHost& runHost =
        options.controller == gcode::Controller::None ? host : static_cast<conversion::ConversionHost&>(scanningHost);

    try {
        RunHooks hooks(state, observers.Empty() ? nullptr : &observers, reading, watcher, shortOrder.get());
        report.outcome = conversion::RunConversion(state, runHost);
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
    report.slotCount = summary.Slots();
    report.routes = summary.Routes();
    host.AppendLogLine(summary.Line());

    // -- After the run: checks and verification --
    gcode::CheckInput checks;
    gcode::ReadZWords(state, shape, checks);
    checks.divisor = state.Divisor;
    checks.shape = &shape;
    checks.controller = options.controller;
    checks.macroBefore = macroBefore;
    checks.macroAfter = macroAfter;
    checks.lineNumbers = state.LineNumbersOn;
    checks.scan = options.controller == gcode::Controller::None ? nullptr : &scan;
    for (const std::string& line : gcode::RunChecks(checks)) {
        host.AppendLogLine(line);
        report.warnings.push_back(line);
    }
    if (options.verify) {
        std::string program;
        std::string reason;
        if (ReadBack(host.FieldText(conversion::HostField::OutputFileName), program, reason)) {
            gcode::ReadOptions readOptions;
            readOptions.keepMoves = false;
            report.verification = gcode::Verify(expected, gcode::ReadProgram(program, readOptions));
        } else {
            report.verification.skipReason = reason;
        }
        for (const std::string& line : gcode::VerificationLogLines(report.verification)) {
            host.AppendLogLine(line);
        }
    }

    // -- After the run: drill order --
    if (shortOrder) {
        report.fileOrderTravel = shortOrder->FileOrderTravel();
        report.drillOrderTravel = shortOrder->WrittenTravel();
        report.drillOrderSeconds = shortOrder->OrderingSeconds();
        host.AppendLogLine("Drill order: short, rapid travel " + Fixed(report.drillOrderTravel, 1) +
                           " mm (file order " + Fixed(report.fileOrderTravel, 1) + " mm) in " +
                           Fixed(report.drillOrderSeconds, 2) + " s");
    }

    // -- After the run: the picture --
    if (!options.svgPath.empty()) {
        WriteProgramPicture(host.FieldText(conversion::HostField::OutputFileName), options.svgPath, report);
    }

    return report;
}

} // namespace korvex::job
