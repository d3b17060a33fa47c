// Temporary stand-ins for the engine's reading, order and controller interfaces, until those libraries are
// part of this tree. Same names and shapes as theirs, so replacing this file changes only include lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::excellon {

enum class UnitsChoice { FromFile, Inch, Millimetre };
enum class ZerosChoice { FromFile, LZ, TZ };

struct ReadingChoice {
    bool excellon = false;
    UnitsChoice units = UnitsChoice::FromFile;
    int integerDigits = 0;
    int decimalDigits = 0;
    ZerosChoice zeros = ZerosChoice::FromFile;
};

struct ToolReport {
    std::int32_t number = 0;
    double diameterMm = 0.0;
};

struct DrillFileReport {
    bool readable = false;
    std::string error;
    std::string units;
    std::string unitsSource;
    std::string digits;
    std::string digitsSource;
    std::string zeros;
    std::string zerosSource;
    bool incremental = false;
    bool decimalNumbers = false;
    std::vector<ToolReport> tools;
    std::size_t holes = 0;
    std::size_t slots = 0;
    std::size_t routes = 0;
    double minX = 0.0;
    double maxX = 0.0;
    double minY = 0.0;
    double maxY = 0.0;
    std::string description;
};

DrillFileReport InspectDrillFile(const std::string& path, const ReadingChoice& choice);

} // namespace korvex::excellon

namespace korvex::order {
enum class DrillOrder { File, Short };
}

namespace korvex::gcode {

enum class Controller { None, LinuxCnc, Grbl, Generic };

struct PresetOptions {
    Controller controller = Controller::None;
    double feedMmPerMin = 100.0;
    double spindleRpm = 10000.0;
    bool toolChanger = false;
};

struct ToolChangeBlocks {
    std::vector<std::string> before;
    std::vector<std::string> after;
};

std::string_view ControllerTitle(Controller controller);
ToolChangeBlocks PresetBlocks(const PresetOptions& options);
std::string BlockText(const std::vector<std::string>& lines);

} // namespace korvex::gcode
