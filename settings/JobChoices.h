// The window's choices as the engine takes them: the run's options for "Convert", the reading for a look
// at the input file, and the controller's tool-change blocks for the main window's two text boxes.
// Of the engine's headers only those of the choices themselves come in (through JobSettings.h): the windows
// include this one, and Qt's keywords ("slots") must not meet the engine's field names.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/BoardSettings.h"
#include "settings/JobSettings.h"

namespace korvex::gcode {
struct PresetOptions;
} // namespace korvex::gcode
namespace korvex::job {
struct JobOptions;
struct JobReport;
} // namespace korvex::job
namespace korvex::preview {
struct Point;
}

namespace korvex::settings {

class SettingsControls;

excellon::ReadingChoice ToReadingChoice(const DrillFileFormatSettings& format);
gcode::PresetOptions ToPresetOptions(const ControllerSettings& controller);

// What "Convert" runs with; the defaults give the plain run.
job::JobOptions MakeJobOptions(const JobSettings& settings);
// The same with the board's choices, which act in the Excellon reading only: with the plain reading they are
// left out and `boardWarning` (where given) gets the log line that says so.
job::JobOptions MakeJobOptions(const JobSettings& settings, const BoardSettings& board,
                               std::string* boardWarning = nullptr);
// Where the verification found the program and the drill file apart, for the preview to mark.
std::vector<preview::Point> DifferencePositions(const job::JobReport& report);

// The controller's two blocks (before and after the tool change), lines ended by CR LF as the window's
// boxes hold them.
std::pair<std::string, std::string> ToolChangeBlockTexts(const ControllerSettings& controller);
// The blocks into the window's two tool-change boxes. Without a controller the boxes keep what they hold:
// they may be the user's own program.
void FillToolChangeBlocks(SettingsControls& controls, const ControllerSettings& controller);

// What the Excellon reading with `format`'s fixed parts finds in the drill file, one line per fact.
std::vector<std::string> DescribeDrillFile(const excellon::DrillFileReport& report);
std::vector<std::string> InspectInputFile(const std::string& path, const DrillFileFormatSettings& format);

} // namespace korvex::settings
