#include "settings/JobChoices.h"

#include "excellon/DrillFileReport.h"
#include "gcode/ControllerPreset.h"
#include "gcode/DrillCycle.h"
#include "job/ConvertJob.h"
#include "order/DrillOrder.h"
#include "platform/DecimalText.h"
#include "preview/PreviewModel.h"
#include "settings/SettingsControls.h"

namespace korvex::settings {

namespace {

// "3:3 (header)"; a value without a source is shown bare.
std::string WithSource(const std::string& value, const std::string& source) {
    return source.empty() ? value : value + " (" + source + ")";
}

} // namespace

excellon::ReadingChoice ToReadingChoice(const DrillFileFormatSettings& format) {
    excellon::ReadingChoice choice;
    choice.excellon = format.excellon;
    choice.units = format.units;
    if (!format.digitsFromFile) {
        choice.integerDigits = format.integerDigits;
        choice.decimalDigits = format.decimalDigits;
    }
    choice.zeros = format.zeros;
    return choice;
}

gcode::PresetOptions ToPresetOptions(const ControllerSettings& controller) {
    gcode::PresetOptions options;
    options.controller = controller.controller;
    options.feedMmPerMin = controller.feed;
    options.spindleRpm = controller.spindle;
    options.toolChanger = controller.toolChanger;
    options.grblToolChange = controller.toolChange;
    return options;
}

job::JobOptions MakeJobOptions(const JobSettings& settings) {
    job::JobOptions options;
    options.reading = ToReadingChoice(settings.format);
    options.order = settings.order;
    options.controller = settings.controller.controller;
    options.grblToolChange = settings.controller.toolChange;
    options.verify = settings.verify;
    options.machine.rapidXyMmPerMin = settings.controller.rapidXy;
    options.machine.rapidZMmPerMin = settings.controller.rapidZ;
    options.machine.toolChangeSeconds = settings.controller.toolChangeSeconds;
    if (settings.controller.controller != gcode::Controller::None) {
        options.machine.feedMmPerMin = settings.controller.feed;
    }
    // A cycle kept for a controller that has none (a hand-edited file) drills with plain moves.
    const ControllerSettings& controller = settings.controller;
    if (controller.cycle != conversion::CycleKind::Plain && gcode::HasDrillCycles(options.controller)) {
        options.cycle =
            gcode::CycleWords(controller.cycle, ToPresetOptions(controller), controller.peck, controller.retractPlane);
    }
    return options;
}

job::JobOptions MakeJobOptions(const JobSettings& settings, const BoardSettings& board, std::string* boardWarning) {
    job::JobOptions options = MakeJobOptions(settings);
    const std::string warning = ApplyBoardSettings(board, options);
    if (boardWarning != nullptr) {
        *boardWarning = warning;
    }
    return options;
}

std::vector<preview::Point> DifferencePositions(const job::JobReport& report) {
    std::vector<preview::Point> positions;
    for (const gcode::Difference& difference : report.verification.differences) {
        positions.push_back({difference.x, difference.y});
    }
    return positions;
}

std::pair<std::string, std::string> ToolChangeBlockTexts(const ControllerSettings& controller) {
    const gcode::ToolChangeBlocks blocks = gcode::PresetBlocks(ToPresetOptions(controller));
    return {gcode::BlockText(blocks.before), gcode::BlockText(blocks.after)};
}

void FillToolChangeBlocks(SettingsControls& controls, const ControllerSettings& controller) {
    if (controller.controller == gcode::Controller::None) {
        return;
    }
    const auto [before, after] = ToolChangeBlockTexts(controller);
    controls.SetMacroText(MacroBlock::Before, before);
    controls.SetMacroText(MacroBlock::After, after);
}

std::vector<std::string> DescribeDrillFile(const excellon::DrillFileReport& report) {
    if (!report.readable) {
        return {"Not readable: " + report.error};
    }
    std::vector<std::string> lines;
    lines.push_back("Units: " + WithSource(report.units, report.unitsSource));
    lines.push_back("Format: " + WithSource(report.digits, report.digitsSource) + ", " +
                    WithSource(report.zeros, report.zerosSource) +
                    (report.incremental ? ", incremental" : ", absolute") +
                    (report.decimalNumbers ? ", some numbers with a decimal point" : ""));
    std::string tools = "Tools: " + std::to_string(report.tools.size());
    // A long list would push the counts out of the dialog.
    constexpr std::size_t kToolsShown = 12;
    for (std::size_t i = 0; i < report.tools.size() && i < kToolsShown; ++i) {
        const excellon::ToolReport& tool = report.tools[i];
        tools += (i == 0 ? " (" : ", ") + std::string("T") + std::to_string(tool.number);
        if (tool.diameterMm > 0) {
            tools += " " + platform::FixedText(tool.diameterMm) + " mm";
        }
    }
    if (report.tools.size() > kToolsShown) {
        tools += " and " + std::to_string(report.tools.size() - kToolsShown) + " more";
    }
    if (!report.tools.empty()) {
        tools += ")";
    }
    lines.push_back(tools);
    lines.push_back("Holes: " + std::to_string(report.holes) + ", slots: " + std::to_string(report.slotCount) +
                    ", routes: " + std::to_string(report.routes));
    if (report.holes + report.slotCount + report.routes > 0) {
        lines.push_back("Extents: X " + platform::FixedText(report.minX) + " to " + platform::FixedText(report.maxX) +
                        " mm, Y " + platform::FixedText(report.minY) + " to " + platform::FixedText(report.maxY) +
                        " mm");
    }
    return lines;
}

std::vector<std::string> InspectInputFile(const std::string& path, const DrillFileFormatSettings& format) {
    return DescribeDrillFile(excellon::InspectDrillFile(path, ToReadingChoice(format)));
}

} // namespace korvex::settings
