// The window's board choices: the side drilled (the back mirrored about an axis, with alignment holes), where
// the board's origin lies, and further drill files drilled with the input file. They act in the Excellon
// reading only. Kept in korvex.INI in [BoardSide] and [BoardFiles], which a file that never had them does not
// gain until the user chooses something other than the defaults.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "excellon/BoardOptions.h"

namespace korvex::platform {
class IniDocument;
}
namespace korvex::job {
struct JobOptions;
}

namespace korvex::settings {

struct BoardSideSettings {
    bool bottom = false;
    // The bottom side's mirror: the axis, the line's coordinate in mm (none: the board's middle) and the
    // alignment holes' diameter in mm (none: no holes).
    excellon::MirrorAxis axis = excellon::MirrorAxis::X;
    std::optional<double> mirrorAt;
    std::optional<double> alignmentHoleMm;
    excellon::BoardOrigin origin = excellon::BoardOrigin::File;

    bool operator==(const BoardSideSettings& other) const;
    bool operator!=(const BoardSideSettings& other) const { return !(*this == other); }
};

struct BoardSettings {
    BoardSideSettings side;
    // Drilled in the same program after the input file, in this order.
    std::vector<std::string> moreFiles;

    bool operator==(const BoardSettings& other) const;
    bool operator!=(const BoardSettings& other) const { return !(*this == other); }
    // Whether the run would differ from drilling the input file alone, top side, where the file puts it (the
    // bottom side's values are kept while the top is chosen, but do nothing then).
    bool Active() const { return side.bottom || side.origin != excellon::BoardOrigin::File || !moreFiles.empty(); }
};

// What the dialog and the settings file accept: a mirror line within a metre and a half of 0, an alignment
// hole of a pin's size.
constexpr double kMaxMirrorAt = 1500;
constexpr double kMinAlignmentHole = 0.1;
constexpr double kMaxAlignmentHole = 10;

// Reads both sections; a missing or unreadable key keeps its default, so a hand-edited file never stops the
// window from starting.
BoardSettings ReadBoardSettings(const platform::IniDocument& ini);
// Whether the file holds either section's keys.
bool HasBoardSettings(const platform::IniDocument& ini);
// Writes each section that the file already holds or whose values differ from the defaults.
void WriteBoardSettings(platform::IniDocument& ini, const BoardSettings& settings);

excellon::BoardPlacement ToBoardPlacement(const BoardSideSettings& side);
// The board choices into a run's options. They act in the Excellon reading only: with the plain reading the
// options stay as they are and the result is the log's warning line that says so ("" when nothing is lost).
std::string ApplyBoardSettings(const BoardSettings& settings, job::JobOptions& options);

} // namespace korvex::settings
