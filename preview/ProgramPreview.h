// The preview of a program file as written, read back from the disk.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "preview/Scene.h"

namespace korvex::preview {

// Reads the program at `path` and describes its picture; on a read error `error` is set and the scene is empty.
Scene LoadProgramScene(const std::string& path, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences, std::error_code& error);

// The picture of a program held in memory (one that was converted for the preview only, never written).
Scene ProgramTextScene(std::string_view program, const std::map<std::int32_t, double>& toolDiameters,
                       std::vector<Point> differences);

} // namespace korvex::preview
