// The drills the user owns as the command line and the window give them: a list of diameters ("0.3,0.4,0.5"),
// a rack file, the tolerance and the end mill. Every reader checks the same way and words its errors alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "excellon/BoardOptions.h"

namespace korvex::excellon {

// The largest diameter a bit, an end mill or the tolerance may have: anything above is a typing error.
constexpr double kLargestRackMm = 100.0;

// A drill's or end mill's diameter in mm: a plain decimal above 0 and at most kLargestRackMm.
std::optional<double> ParseRackDiameter(std::string_view text);
// The tolerance in mm: a plain decimal from 0 to kLargestRackMm.
std::optional<double> ParseRackTolerance(std::string_view text);

// Each function fills `bits` and returns "" or leaves them and returns the error, one line without a full stop.

// "0.3,0.4,0.5" (--drills): "--drills: item 2 ('x') is no diameter in mm".
std::string ParseDrillList(std::string_view text, std::vector<RackBit>& bits);
// A rack file's text: one diameter in mm a line, optionally a name after it; "#" starts a comment; blank lines
// are left out. `name` is what errors begin with: "rack.txt:3: 'x' is no diameter in mm".
std::string ParseRackText(std::string_view text, std::string_view name, std::vector<RackBit>& bits);
// The file at `path`, read whole and parsed as above; a read error as "PATH: the system's reason".
std::string ReadRackFile(const std::string& path, std::vector<RackBit>& bits);

// The rack's bits as a rack file holds them ("0.8 carbide\n"), for the window's own copy and for tests.
std::string RackText(const std::vector<RackBit>& bits);

} // namespace korvex::excellon
