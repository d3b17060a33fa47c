// The preview of a written program: read back with the one G-code reader, so that the picture shows what
// the verification checks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "preview/Scene.h"

namespace korvex::preview {

// The holes and sideways moves of `program`. Holes and cuts are what goes below Z0; positions stay unknown
// until the program names X and Y, so nothing is drawn from an assumed origin. With `endMillMm` (the drill
// rack's end mill), a milled circle (gcode::CircleOf) is the hole it makes: its circle + the end mill wide.
ProgramMoves ReadProgramMoves(std::string_view program, std::optional<double> endMillMm = std::nullopt);

// The picture of a program's text, also of one converted into memory for the preview only, never written.
Scene ProgramTextScene(std::string_view program, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences, std::optional<double> endMillMm = std::nullopt);

// Reads the program at `path` and describes its picture; on a read error `error` is set and the scene is empty.
Scene LoadProgramScene(const std::string& path, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences, std::error_code& error,
                       std::optional<double> endMillMm = std::nullopt);

} // namespace korvex::preview
