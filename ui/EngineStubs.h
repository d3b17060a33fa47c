// Temporary stand-ins for the engine's order and controller interfaces, until those libraries are
// part of this tree. Same names and shapes as theirs, so replacing this file changes only include lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
