// The order in which the holes of each tool are drilled. File keeps the drill file's order (the default, and
// what every program before this choice was written in); Short reorders each tool's holes to cut the rapid moves.
#pragma once

#include <optional>
#include <string_view>

namespace korvex::order {

enum class DrillOrder { File, Short };

// "file" or "short": the word the command line and the settings file use.
std::string_view DrillOrderName(DrillOrder order);
// The order a word names (exactly as DrillOrderName writes it), or nothing.
std::optional<DrillOrder> ParseDrillOrder(std::string_view word);

} // namespace korvex::order
