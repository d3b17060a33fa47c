#include "settings/DrillRackSettings.h"

#include <algorithm>
#include <string>

#include "excellon/RackFile.h"
#include "platform/DecimalText.h"
#include "platform/IniFile.h"

namespace korvex::settings {

namespace {

constexpr std::string_view kSection = "DrillRack";
constexpr std::string_view kKeys[] = {"Drills", "Tolerance", "EndMill"};
constexpr std::string_view kNoEndMill = "none";

// Diameters as the user typed them: the next read gives the same number.
std::string MmText(double value) {
    return platform::ExactText(value);
}

} // namespace

excellon::DrillRack ReadDrillRack(const platform::IniDocument& ini) {
    excellon::DrillRack rack;
    if (const auto drills = ini.Value(kSection, "Drills")) {
        // The drills are the lines of a rack file, one after the other on one line.
        std::string lines = *drills;
        std::replace(lines.begin(), lines.end(), ',', '\n');
        std::vector<excellon::RackBit> bits;
        if (excellon::ParseRackText(lines, kSection, bits).empty()) {
            rack.bits = std::move(bits);
        }
    }
    if (const auto text = ini.Value(kSection, "Tolerance")) {
        rack.toleranceMm = excellon::ParseRackTolerance(*text).value_or(rack.toleranceMm);
    }
    if (const auto text = ini.Value(kSection, "EndMill"); text && *text != kNoEndMill) {
        rack.endMillMm = excellon::ParseRackDiameter(*text);
    }
    return rack;
}

bool HasDrillRack(const platform::IniDocument& ini) {
    return std::any_of(std::begin(kKeys), std::end(kKeys),
                       [&ini](std::string_view key) { return ini.HasKey(kSection, key); });
}

void WriteDrillRack(platform::IniDocument& ini, const excellon::DrillRack& rack) {
    if (SameRack(rack, excellon::DrillRack{}) && !HasDrillRack(ini)) {
        return;
    }
    std::string drills;
    for (const excellon::RackBit& bit : rack.bits) {
        drills += (drills.empty() ? "" : ", ") + MmText(bit.diameterMm);
        if (!bit.name.empty()) {
            drills += ' ' + bit.name;
        }
    }
    ini.WriteString(kSection, "Drills", drills);
    ini.WriteString(kSection, "Tolerance", MmText(rack.toleranceMm));
    ini.WriteString(kSection, "EndMill", rack.endMillMm ? MmText(*rack.endMillMm) : std::string(kNoEndMill));
}

bool RackNameFits(std::string_view name) {
    return name.find_first_of(",#\r\n") == std::string_view::npos;
}

bool SameRack(const excellon::DrillRack& a, const excellon::DrillRack& b) {
    const auto sameBit = [](const excellon::RackBit& p, const excellon::RackBit& q) {
        return p.diameterMm == q.diameterMm && p.name == q.name;
    };
    return a.toleranceMm == b.toleranceMm && a.endMillMm == b.endMillMm &&
           std::equal(a.bits.begin(), a.bits.end(), b.bits.begin(), b.bits.end(), sameBit);
}

} // namespace korvex::settings
