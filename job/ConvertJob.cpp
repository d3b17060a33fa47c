#include "job/ConvertJob.h"

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/RunObserver.h"
#include "excellon/BoardJob.h"
#include "excellon/BoardSide.h"
#include "excellon/DrillRack.h"
#include "excellon/DrillWork.h"
#include "excellon/ExcellonReading.h"
#include "excellon/Reader.h"
#include "gcode/GcodeReader.h"
#include "gcode/MachineTime.h"
#include "gcode/ProgramText.h"
#include "gcode/RunChecks.h"
#include "job/PlacementCheck.h"
#include "job/PlainReadingHazards.h"
#include "job/RunSummary.h"
#include "job/SplitProgram.h"
#include "order/ShortOrderObserver.h"
#include "platform/AtomicFile.h"
#include "platform/DecimalText.h"
#include "platform/TextFile.h"
#include "preview/ProgramPreview.h"
#include "preview/SvgWriter.h"

namespace korvex::job {

namespace {

// The observer and the reading belong to this run only: a later plain run must not see them.
class RunHooks {
public:
    RunHooks(conversion::ConversionState& state, conversion::RunObserver* observer, conversion::BodyReading* reading,
             conversion::LineWatcher* watcher, conversion::HoleOrder* order, const conversion::DrillCycle& cycle)
        : state_(state) {
        state_.Cycle = cycle;
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
        state_.Cycle = conversion::DrillCycle{};
    }
    RunHooks(const RunHooks&) = delete;
    RunHooks& operator=(const RunHooks&) = delete;

private:
    conversion::ConversionState& state_;
};

// Hands every line written on to a scan as well (the controller's checks, the machine-time estimate).
template <typename Scan>
class ScanningWriter : public platform::TextLineWriter {
public:
    ScanningWriter(std::unique_ptr<platform::TextLineWriter> inner, Scan& scan)
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
    Scan& scan_;
};

// The front end's host with something between the run and the output; everything else passes through.
class WrappingHost : public conversion::ConversionHost {
public:
    using Wrap =
        std::function<std::unique_ptr<platform::TextLineWriter>(std::unique_ptr<platform::TextLineWriter> output)>;
    WrappingHost(conversion::ConversionHost& host, Wrap wrap) : host_(host), wrap_(std::move(wrap)) {}

    std::string FieldText(conversion::Field field) const override { return host_.FieldText(field); }
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
        return wrap_(std::move(output));
    }
    std::unique_ptr<platform::TextLineReader> OpenInput(const std::string& name) override {
        return host_.OpenInput(name);
    }

private:
    conversion::ConversionHost& host_;
    Wrap wrap_;
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
void WriteProgramPicture(const std::string& programPath, const std::string& svgPath, std::optional<double> endMillMm,
                         JobReport& report) {
    if (programPath == "-") {
        report.svgError = "the picture needs the program in a file, not on standard output";
        return;
    }
    std::error_code error;
    const preview::Scene scene = preview::LoadProgramScene(programPath, report.toolDiameters, {}, error, endMillMm);
    if (error) {
        report.svgError = "cannot read back " + programPath + ": " + platform::SystemReason(error);
        return;
    }
    error = preview::WriteSvgFile(svgPath, scene);
    if (error) {
        report.svgError = "cannot write " + svgPath + ": " + platform::SystemReason(error);
    }
}

// The drill file as the Excellon reading reads it, with `choice`'s fixed values; `reason` says why not when
// it cannot be read. Standard input is read once, by the run.
std::optional<excellon::DrillWork> LoadDrillWork(const std::string& name, const excellon::ReadingChoice& choice,
                                                 std::string& reason) {
    if (name == "-") {
        reason = "the drill file comes from standard input, which is read only once";
        return std::nullopt;
    }
    std::vector<std::string> lines;
    try {
        std::unique_ptr<platform::TextLineReader> input = platform::TextLineReader::Open(name);
        if (!input) {
            reason = "can not open " + name;
            return std::nullopt;
        }
        lines = excellon::ReadDrillLines(*input);
    } catch (const platform::IoError& error) {
        reason = error.what();
        return std::nullopt;
    }
    excellon::DrillWork work = excellon::ReadDrillWork(lines, choice, name);
    if (!work.readable) {
        reason = work.error;
        return std::nullopt;
    }
    return work;
}

// The board's map as the reading applies it: the same extents over every file, the same placement.
excellon::BoardMap MapOfBoard(const std::vector<excellon::DrillWork>& works, const excellon::BoardPlacement& placement,
                              excellon::BoardExtents& extents) {
    excellon::BoardExtentsBuilder builder;
    for (const excellon::DrillWork& work : works) {
        for (const excellon::DrillWork::Hole& hole : work.holes) {
            builder.Add(hole.x, hole.y);
        }
        for (const conversion::PathEvent& path : work.paths) {
            builder.Add(path);
        }
    }
    extents = builder.Result();
    return placement.Identity() ? excellon::BoardMap() : excellon::BoardMap(extents, placement);
}

// What the verification compares the program with: each drill file's work where the run put it, with the tool
// the reading drilled it with (gathered, renumbered, on a bit) and the board's map.
void ExpectWork(const std::vector<excellon::DrillWork>& works, const excellon::ExcellonReading* reading,
                const excellon::BoardPlacement& placement, const conversion::ConversionState& state,
                gcode::ExpectedWork& expected) {
    conversion::ConversionState scratch;
    auto toolOf = [&](std::size_t file, std::int32_t tool) {
        if (reading != nullptr) {
            tool = reading->ProgramTool(file, tool);
        }
        const auto number = state.GrblToolNumbers.find(tool);
        return number == state.GrblToolNumbers.end() ? tool : number->second;
    };
    auto expectHole = [&](std::int32_t tool, conversion::HolePosition at) {
        conversion::HoleEvent event;
        event.tool = tool;
        event.x = at.x + state.XOffset;
        event.y = at.y + state.YOffset;
        expected.OnHole(scratch, event);
    };
    excellon::BoardExtents extents;
    const excellon::BoardMap map = MapOfBoard(works, placement, extents);
    if (reading != nullptr && reading->AlignmentTool() >= 0) {
        for (const conversion::HolePosition& hole : excellon::AlignmentHoles(extents, placement)) {
            expectHole(toolOf(0, reading->AlignmentTool()), hole);
        }
    }
    for (std::size_t file = 0; file < works.size(); ++file) {
        for (const excellon::DrillWork::Hole& hole : works[file].holes) {
            expectHole(toolOf(file, hole.tool), map.Apply(hole.x, hole.y));
        }
    }
    for (std::size_t file = 0; file < works.size(); ++file) {
        for (conversion::PathEvent path : works[file].paths) {
            path.tool = toolOf(file, path.tool);
            map.Apply(path);
            path.startX += state.XOffset;
            path.startY += state.YOffset;
            for (conversion::PathSegment& segment : path.segments) {
                segment.x += state.XOffset;
                segment.y += state.YOffset;
                segment.centerX += state.XOffset;
                segment.centerY += state.YOffset;
            }
            expected.OnPath(path);
        }
    }
}

// What the verification takes for one tool when the user's drills make the holes: each tool of the drill file,
// by the number the program gives it, goes to the bit or the end mill the rack chooses for its diameter.
gcode::DrillMapping RackMapping(const excellon::DrillRack& rack, const std::map<std::int32_t, double>& diameters,
                                const std::map<std::int32_t, std::int32_t>& programNumbers) {
    gcode::DrillMapping mapping;
    mapping.endMillMm = rack.endMillMm;
    for (const auto& [tool, diameter] : diameters) {
        const auto number = programNumbers.find(tool);
        const std::int32_t programTool = number == programNumbers.end() ? tool : number->second;
        const excellon::BitChoice choice = excellon::ChooseBit(rack, diameter);
        if (choice.kind == excellon::BitChoice::Kind::Mill) {
            mapping.milled[programTool] = diameter;
        } else {
            mapping.bitOf[programTool] = choice.bit;
        }
    }
    return mapping;
}

// GRBL keeps a tool number in one byte (error:38 above 255): a file that uses larger numbers has all its
// tools numbered 1..n in ascending order, so the program's numbers keep the file's order.
std::map<std::int32_t, std::int32_t> GrblToolNumbers(const std::vector<excellon::DrillWork>& works) {
    std::set<std::int32_t> tools;
    for (const excellon::DrillWork& work : works) {
        for (const excellon::DrillWork::Hole& hole : work.holes) {
            tools.insert(hole.tool);
        }
        for (const conversion::PathEvent& path : work.paths) {
            tools.insert(path.tool);
        }
    }
    std::map<std::int32_t, std::int32_t> numbers;
    // -1 stands for work before any tool selection: no tool number to write.
    if (tools.empty() || *tools.rbegin() <= 255) {
        return numbers;
    }
    std::int32_t next = 1;
    for (const std::int32_t tool : tools) {
        if (tool >= 0) {
            numbers.emplace(tool, next++);
        }
    }
    return numbers;
}

} // namespace

JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options) {
    // The plain reading writes one file as it comes; leaving the others out silently would drill half a board.
    if (!options.reading.excellon && !options.board.moreFiles.empty()) {
        throw conversion::ConversionError("further drill files (" + options.board.moreFiles.front() +
                                          ") are drilled with the Excellon reading only");
    }
    JobReport report;
    conversion::ObserverList observers;
    conversion::BodyReading* reading = nullptr;
    conversion::LineWatcher* watcher = nullptr;

    // -- Preview: the tool diameters --
    ToolDiameters diameters(report.toolDiameters);
    if (options.collectToolDiameters || !options.svgPath.empty() || !options.board.rack.Empty()) {
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
        excellonReading = std::make_unique<excellon::ExcellonReading>(options.reading, options.board);
        reading = excellonReading.get();
    } else {
        watcher = &hazards;
    }

    // -- Cross-check and verification: the drill file as the Excellon reading reads it --
    // The default reading is checked against the file's own format; the verification compares any program
    // with that reading, never with the run's own.
    std::optional<excellon::DrillWork> drillWork;
    std::string unreadReason;
    const bool grbl = options.controller == gcode::Controller::Grbl;
    // The input file's work first, then each further drill file's: the board the program drills.
    std::vector<excellon::DrillWork> boardWork;
    if (watcher != nullptr || options.verify || grbl) {
        excellon::ReadingChoice choice = options.reading.excellon ? options.reading : excellon::ReadingChoice{};
        choice.excellon = true;
        drillWork = LoadDrillWork(host.FieldText(conversion::Field::InputFileName), choice, unreadReason);
        if (drillWork) {
            boardWork.push_back(*drillWork);
        }
        for (const std::string& more : excellonReading ? options.board.moreFiles : std::vector<std::string>{}) {
            std::optional<excellon::DrillWork> work = LoadDrillWork(more, choice, unreadReason);
            if (!work) {
                drillWork.reset();
                boardWork.clear();
                break;
            }
            boardWork.push_back(std::move(*work));
        }
    }
    std::unique_ptr<PlacementCheck> placement;
    if (watcher != nullptr && drillWork) {
        placement = std::make_unique<PlacementCheck>(*drillWork);
        observers.Add(placement.get());
    }
    auto logWarnings = [&]() {
        if (excellonReading) {
            report.warnings = excellonReading->Warnings();
            for (const std::string& warning : report.warnings) {
                host.AppendLogLine(warning);
            }
        }
        if (watcher == nullptr) {
            return;
        }
        const std::vector<std::string> causes = hazards.Causes(state);
        const std::string warning =
            placement ? placement->Warning(state, causes) : UncheckedWarning(unreadReason, causes);
        if (!warning.empty()) {
            report.warnings.push_back(warning);
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
    // Only a chosen controller has lines to refuse; without one the output goes straight to the file.
    const std::vector<std::string> macroBefore = host.MacroLines(conversion::HostMacro::Before);
    const std::vector<std::string> macroAfter = host.MacroLines(conversion::HostMacro::After);
    std::vector<std::string> blockLines = macroBefore;
    blockLines.insert(blockLines.end(), macroAfter.begin(), macroAfter.end());
    gcode::ProgramScan scan(options.controller, std::move(blockLines));
    const bool sender = grbl && options.grblToolChange == gcode::GrblToolChange::Sender;
    const bool split = grbl && options.grblToolChange == gcode::GrblToolChange::Split;
    state.GrblTools = grbl;
    state.PauseMark = grbl ? std::string(gcode::kGrblPauseLine) : std::string();
    state.SenderMark = grbl ? std::string(gcode::kGrblSenderLine) : std::string();
    state.SplitMarks = split;
    state.GrblToolNumbers = grbl && drillWork ? GrblToolNumbers(boardWork) : std::map<std::int32_t, std::int32_t>{};
    if (sender) {
        scan.LeaveM6ToSender();
    }
    gcode::MachineTimeScan machineTime(options.machine);
    // The program may go to standard output, so it is timed while it is written rather than read back.
    WrappingHost timingHost(host, [&machineTime](std::unique_ptr<platform::TextLineWriter> output) {
        return std::make_unique<ScanningWriter<gcode::MachineTimeScan>>(std::move(output), machineTime);
    });
    // The controller's scan sees the program as the controller will receive it.
    WrappingHost scanningHost(timingHost, [&scan, &options](std::unique_ptr<platform::TextLineWriter> output) {
        return gcode::SafeProgramTextWriter(
            std::make_unique<ScanningWriter<gcode::ProgramScan>>(std::move(output), scan), options.controller);
    });
    conversion::ConversionHost& runHost = options.controller == gcode::Controller::None
                                              ? static_cast<conversion::ConversionHost&>(timingHost)
                                              : static_cast<conversion::ConversionHost&>(scanningHost);

    // A run that fails writes no program: where its holes would have landed no longer matters.
    {
        RunHooks hooks(state, observers.Empty() ? nullptr : &observers, reading, watcher, shortOrder.get(),
                       options.cycle);
        report.outcome = conversion::RunConversion(state, runHost);
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
    report.machineTime = machineTime.Result();
    host.AppendLogLine(gcode::MachineTimeLine(report.machineTime));

    // -- After the run: checks and verification --
    gcode::CheckInput checks;
    gcode::ReadZWords(state, shape, checks);
    checks.divisor = state.Divisor;
    checks.excellonReading = options.reading.excellon;
    if (placement && !placement->Agrees()) {
        checks.confirmedDivisor = placement->ReproducingDivisor();
    }
    checks.shape = &shape;
    checks.controller = options.controller;
    checks.macroBefore = macroBefore;
    checks.macroAfter = macroAfter;
    checks.lineNumbers = state.LineNumbersOn;
    checks.scan = options.controller == gcode::Controller::None ? nullptr : &scan;
    checks.m6ToSender = sender;
    for (const std::string& line : gcode::RunChecks(checks)) {
        host.AppendLogLine(line);
        report.warnings.push_back(line);
    }
    if (sender) {
        host.AppendLogLine("Tool changes: M6 T<n> for the G-code sender's tool-change helper; GRBL itself refuses "
                           "M6, so send the program through a sender that handles it");
    }
    const std::string outputName = host.FieldText(conversion::Field::OutputFileName);
    std::string partsProgram; // the parts one after the other, for the verification
    if (split) {
        std::string program;
        std::string reason;
        if (!ReadBack(outputName, program, reason)) {
            throw conversion::ConversionError("cannot split the program: " + reason);
        }
        const std::vector<std::string> endLines{"M05", "G00 " + state.RunZ.ZUp, "M30"};
        for (const ProgramPart& part : SplitProgram(program, endLines)) {
            const std::string path = PartPath(outputName, part.tool);
            const std::error_code error = platform::WriteFileAtomically(path, part.text);
            if (error) {
                throw conversion::ConversionError("cannot write " + path + ": " + platform::SystemReason(error));
            }
            report.partPaths.push_back(path);
            partsProgram += part.text;
            host.AppendLogLine("Program for " + part.tool + ": " + path);
        }
    }
    if (options.verify) {
        std::string program;
        std::string reason;
        if (!drillWork) {
            report.verification.skipReason =
                "the drill file could not be read as Excellon to compare with: " + unreadReason;
        } else if (split || ReadBack(outputName, program, reason)) {
            if (split) {
                program = partsProgram;
            }
            gcode::ReadOptions readOptions;
            readOptions.keepMoves = false;
            gcode::ExpectedWork expected;
            ExpectWork(boardWork, excellonReading.get(), options.board.placement, state, expected);
            // The rack's mapping comes from the run's own tool diameters: the independent reading knows positions.
            const std::optional<gcode::DrillMapping> mapping =
                options.board.rack.Empty()
                    ? std::nullopt
                    : std::optional(RackMapping(options.board.rack, report.toolDiameters, state.GrblToolNumbers));
            report.verification =
                gcode::Verify(expected, gcode::ReadProgram(program, readOptions), mapping ? &*mapping : nullptr);
            report.verification.readAs = excellon::ReadAs(drillWork->format);
            for (std::size_t file = 1; file < boardWork.size(); ++file) {
                report.verification.readAs +=
                    ", " + options.board.moreFiles[file - 1] + " as " + excellon::ReadAs(boardWork[file].format);
            }
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
        // Holes are reached by rapids in X and Y alone, so the orders differ by their travel at rapid XY speed.
        report.fileOrderMachineSeconds =
            report.machineTime.TotalSeconds() +
            (report.fileOrderTravel - report.drillOrderTravel) / options.machine.rapidXyMmPerMin * 60.0;
        host.AppendLogLine("Drill order: short, rapid travel " + platform::FixedText(report.drillOrderTravel, 1) +
                           " mm (file order " + platform::FixedText(report.fileOrderTravel, 1) + " mm) in " +
                           platform::FixedText(report.drillOrderSeconds, 2) + " s; machine time " +
                           gcode::DurationText(report.machineTime.TotalSeconds()) + " (file order " +
                           gcode::DurationText(report.fileOrderMachineSeconds) + ")");
    }

    // -- After the run: the picture --
    if (!options.svgPath.empty()) {
        WriteProgramPicture(host.FieldText(conversion::Field::OutputFileName), options.svgPath,
                            options.board.rack.endMillMm, report);
    }

    return report;
}

} // namespace korvex::job
