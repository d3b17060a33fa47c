#include "gcode/DrillCycle.h"

#include <algorithm>
#include <array>
#include <string>

#include "conversion/ProgramEmitter.h"
#include "platform/DecimalText.h"

namespace korvex::gcode {

namespace {

struct CycleInfo {
    conversion::CycleKind kind;
    std::string_view name;
};

constexpr std::array<CycleInfo, 3> kCycles{{
    {conversion::CycleKind::Plain, "plain"},
    {conversion::CycleKind::G81, "g81"},
    {conversion::CycleKind::G83, "g83"},
}};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::optional<conversion::CycleKind> CycleFromName(std::string_view name) {
    for (const CycleInfo& info : kCycles) {
        if (name.size() == info.name.size() &&
            std::equal(name.begin(), name.end(), info.name.begin(), [](char a, char b) { return Lower(a) == b; })) {
            return info.kind;
        }
    }
    return std::nullopt;
}

std::string_view CycleName(conversion::CycleKind kind) {
    for (const CycleInfo& info : kCycles) {
        if (info.kind == kind) {
            return info.name;
        }
    }
    return {};
}

bool HasDrillCycles(Controller controller) {
    return controller == Controller::LinuxCnc || controller == Controller::Generic;
}

conversion::DrillCycle CycleWords(conversion::CycleKind kind, const PresetOptions& preset, double peckMm,
                                  std::optional<double> retractPlaneMm) {
    conversion::DrillCycle cycle;
    cycle.kind = kind;
    if (kind == conversion::CycleKind::Plain) {
        return cycle;
    }
    if (kind == conversion::CycleKind::G83) {
        conversion::ProgramEmitter::AppendWord(cycle.peckWord, 'Q', peckMm);
    }
    if (retractPlaneMm) {
        conversion::ProgramEmitter::AppendWord(cycle.retractWord, 'R', *retractPlaneMm);
    }
    cycle.feedWord = "F" + platform::ShortText(preset.feedMmPerMin);
    return cycle;
}

} // namespace korvex::gcode
