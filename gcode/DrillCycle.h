// The canned drilling cycles a controller offers, and the words a chosen cycle writes. The command line,
// the window and the golden tests build a run's cycle here, so all three write the same words.
#pragma once

#include <optional>
#include <string_view>

#include "conversion/ConversionState.h"
#include "gcode/ControllerPreset.h"

namespace korvex::gcode {

// G83's peck when none is given, in mm: about one diameter of the common PCB drills, so the chips leave
// before the flutes pack, and four pecks through a 1.6 mm board.
inline constexpr double kDefaultPeckMm = 0.5;

// "plain", "g81", "g83" (any letter case); nothing for another word.
std::optional<conversion::CycleKind> CycleFromName(std::string_view name);
std::string_view CycleName(conversion::CycleKind kind);

// Whether the controller reads G81 and G83. GRBL 1.1 has no canned cycles; without a controller there is no
// feed rate for the cycle's F.
bool HasDrillCycles(Controller controller);

// The words of `kind` for the preset's machine: F its feed, Q the peck (G83 only), R the retract plane or,
// without one, each hole's own retract height.
conversion::DrillCycle CycleWords(conversion::CycleKind kind, const PresetOptions& preset, double peckMm,
                                  std::optional<double> retractPlaneMm);

} // namespace korvex::gcode
