#include "ui/EngineStubs.h"

namespace korvex::gcode {

std::string_view ControllerTitle(Controller controller) {
    switch (controller) {
    case Controller::LinuxCnc:
        return "LinuxCNC";
    case Controller::Grbl:
        return "GRBL 1.1";
    case Controller::Generic:
        return "Generic RS-274 (Mach3-like)";
    case Controller::None:
        break;
    }
    return "None";
}

ToolChangeBlocks PresetBlocks(const PresetOptions& /*options*/) {
    return {{"G00 Z30"}, {"M06", "G00 Z20"}};
}

std::string BlockText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

} // namespace korvex::gcode
