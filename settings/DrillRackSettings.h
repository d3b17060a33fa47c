// The drill rack as the settings file keeps it, in a section of its own:
//   [DrillRack]
//   Drills=0.3, 0.4, 0.8 carbide
//   Tolerance=0.05
//   EndMill=none
// Each drill is its diameter in mm, optionally followed by its name, as a line of a rack file is.
#pragma once

#include <string_view>

#include "excellon/BoardOptions.h"

namespace korvex::platform {
class IniDocument;
}

namespace korvex::settings {

// A value that cannot be read leaves its default: no drills, the default tolerance, no end mill.
excellon::DrillRack ReadDrillRack(const platform::IniDocument& ini);
// Whether the file holds any key of the section.
bool HasDrillRack(const platform::IniDocument& ini);
// Writes the section when the file already holds it or the rack is not the default one, so a file that never
// had a rack gains none.
void WriteDrillRack(platform::IniDocument& ini, const excellon::DrillRack& rack);

// Whether a drill's name can be kept: "," ends a drill in the section and "#" starts a comment.
bool RackNameFits(std::string_view name);
bool SameRack(const excellon::DrillRack& a, const excellon::DrillRack& b);

} // namespace korvex::settings
