#include "settings/JobSettings.h"

#include "platform/AsciiText.h"
#include "platform/IniFile.h"

#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>
#include <tuple>
#include <utility>

namespace korvex::settings {

namespace {

constexpr std::string_view kFormatSection = "DrillFileFormat";
constexpr std::string_view kOrderSection = "DrillOrder";
constexpr std::string_view kControllerSection = "Controller";
constexpr std::string_view kVerificationSection = "Verification";

template <typename Choice, std::size_t N>
using Words = std::array<std::pair<Choice, std::string_view>, N>;

using conversion::CycleKind;
using excellon::UnitsChoice;
using excellon::ZerosChoice;
using gcode::Controller;
using order::DrillOrder;

constexpr Words<bool, 2> kReadingWords{{{false, "divisor"}, {true, "excellon"}}};
constexpr Words<UnitsChoice, 3> kUnitsWords{
    {{UnitsChoice::FromFile, "file"}, {UnitsChoice::Inch, "inch"}, {UnitsChoice::Millimetre, "mm"}}};
constexpr Words<ZerosChoice, 3> kZerosWords{
    {{ZerosChoice::FromFile, "file"}, {ZerosChoice::LZ, "LZ"}, {ZerosChoice::TZ, "TZ"}}};
constexpr Words<DrillOrder, 2> kOrderWords{{{DrillOrder::File, "file"}, {DrillOrder::Short, "short"}}};
constexpr Words<Controller, 4> kControllerWords{{{Controller::None, "none"},
                                                 {Controller::LinuxCnc, "linuxcnc"},
                                                 {Controller::Grbl, "grbl"},
                                                 {Controller::Generic, "generic"}}};
constexpr Words<CycleKind, 3> kCycleWords{
    {{CycleKind::Plain, "plain"}, {CycleKind::G81, "g81"}, {CycleKind::G83, "g83"}}};

template <typename Choice, std::size_t N>
std::string_view WordOf(const Words<Choice, N>& words, Choice choice) {
    for (const auto& [value, word] : words) {
        if (value == choice) {
            return word;
        }
    }
    return words[0].second;
}

// People edit the file by hand: the words are taken without regard to case.
template <typename Choice, std::size_t N>
Choice ReadChoice(const platform::IniDocument& ini, std::string_view section, std::string_view key,
                  const Words<Choice, N>& words, Choice fallback) {
    const auto value = ini.Value(section, key);
    if (!value) {
        return fallback;
    }
    for (const auto& [choice, word] : words) {
        if (platform::EqualsIgnoringAsciiCase(*value, word)) {
            return choice;
        }
    }
    return fallback;
}

std::optional<double> ParseNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string NumberText(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

// "2:4" -> 2 and 4, each within the digit limits.
std::optional<std::pair<int, int>> ParseDigits(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto part = [](std::string_view digits) -> std::optional<int> {
        int value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc() || end != digits.data() + digits.size() || value < 0 || value > kMaxDigits) {
            return std::nullopt;
        }
        return value;
    };
    const auto integer = part(text.substr(0, colon));
    const auto decimals = part(text.substr(colon + 1));
    if (!integer || !decimals || *integer + *decimals == 0) {
        return std::nullopt;
    }
    return std::pair{*integer, *decimals};
}

} // namespace

bool DrillFileFormatSettings::operator==(const DrillFileFormatSettings& other) const {
    return excellon == other.excellon && units == other.units && digitsFromFile == other.digitsFromFile &&
           integerDigits == other.integerDigits && decimalDigits == other.decimalDigits && zeros == other.zeros;
}

bool ControllerSettings::operator==(const ControllerSettings& other) const {
    return controller == other.controller && feed == other.feed && spindle == other.spindle &&
           toolChanger == other.toolChanger && cycle == other.cycle && peck == other.peck &&
           retractPlane == other.retractPlane && toolChange == other.toolChange && rapidXy == other.rapidXy &&
           rapidZ == other.rapidZ && toolChangeSeconds == other.toolChangeSeconds;
}

std::string_view ReadingWord(bool excellon) {
    return WordOf(kReadingWords, excellon);
}
std::string_view SettingsWord(UnitsChoice choice) {
    return WordOf(kUnitsWords, choice);
}
std::string_view SettingsWord(ZerosChoice choice) {
    return WordOf(kZerosWords, choice);
}
std::string_view SettingsWord(DrillOrder choice) {
    return WordOf(kOrderWords, choice);
}
std::string_view SettingsWord(Controller choice) {
    return WordOf(kControllerWords, choice);
}
std::string_view SettingsWord(CycleKind choice) {
    return WordOf(kCycleWords, choice);
}

JobSettings ReadJobSettings(const platform::IniDocument& ini) {
    JobSettings settings;
    DrillFileFormatSettings& format = settings.format;
    format.excellon = ReadChoice(ini, kFormatSection, "Reading", kReadingWords, format.excellon);
    format.units = ReadChoice(ini, kFormatSection, "Units", kUnitsWords, format.units);
    if (const auto digits = ini.Value(kFormatSection, "Digits")) {
        if (const auto fixed = ParseDigits(*digits)) {
            format.digitsFromFile = false;
            std::tie(format.integerDigits, format.decimalDigits) = *fixed;
        }
    }
    format.zeros = ReadChoice(ini, kFormatSection, "Zeros", kZerosWords, format.zeros);

    settings.order = ReadChoice(ini, kOrderSection, "Order", kOrderWords, settings.order);

    ControllerSettings& controller = settings.controller;
    controller.controller = ReadChoice(ini, kControllerSection, "Controller", kControllerWords, controller.controller);
    if (const auto text = ini.Value(kControllerSection, "Feed")) {
        if (const auto feed = ParseNumber(*text); feed && *feed > 0 && *feed <= kMaxFeed) {
            controller.feed = *feed;
        }
    }
    const int spindle = ini.ReadInteger(kControllerSection, "Spindle", controller.spindle);
    if (spindle > 0 && spindle <= kMaxSpindle) {
        controller.spindle = spindle;
    }
    controller.toolChanger = ini.ReadBool(kControllerSection, "ToolChanger", controller.toolChanger);
    if (const auto text = ini.Value(kControllerSection, "ToolChange")) {
        controller.toolChange = gcode::GrblToolChangeFromName(*text).value_or(controller.toolChange);
    }
    const auto readMachine = [&ini](std::string_view key, double low, double high, double& value) {
        if (const auto text = ini.Value(kControllerSection, key)) {
            if (const auto number = ParseNumber(*text); number && *number >= low && *number <= high) {
                value = *number;
            }
        }
    };
    readMachine("RapidXY", kDialogMinRapid, kDialogMaxRapid, controller.rapidXy);
    readMachine("RapidZ", kDialogMinRapid, kDialogMaxRapid, controller.rapidZ);
    readMachine("ToolChangeTime", 0, kDialogMaxToolChangeSeconds, controller.toolChangeSeconds);
    controller.cycle = ReadChoice(ini, kControllerSection, "Cycle", kCycleWords, controller.cycle);
    if (const auto text = ini.Value(kControllerSection, "Peck")) {
        if (const auto peck = ParseNumber(*text); peck && *peck > 0 && *peck <= kDialogMaxPeck) {
            controller.peck = *peck;
        }
    }
    if (const auto text = ini.Value(kControllerSection, "RetractPlane")) {
        if (const auto plane = ParseNumber(*text); plane && std::fabs(*plane) <= kMaxRetractPlane) {
            controller.retractPlane = *plane;
        }
    }
    settings.verify = ini.ReadBool(kVerificationSection, "Verify", settings.verify);
    return settings;
}

namespace {

constexpr std::array<std::string_view, 4> kFormatKeys{"Reading", "Units", "Digits", "Zeros"};
constexpr std::array<std::string_view, 1> kOrderKeys{"Order"};
constexpr std::array<std::string_view, 8> kControllerKeys{"Controller", "Feed", "Spindle",      "ToolChanger",
                                                          "Cycle",      "Peck", "RetractPlane", "ToolChange"};
constexpr std::array<std::string_view, 3> kMachineKeys{"RapidXY", "RapidZ", "ToolChangeTime"};
constexpr std::array<std::string_view, 1> kVerificationKeys{"Verify"};

template <std::size_t N>
bool Present(const platform::IniDocument& ini, std::string_view section, const std::array<std::string_view, N>& keys) {
    for (const std::string_view key : keys) {
        if (ini.HasKey(section, key)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool HasJobSettings(const platform::IniDocument& ini) {
    return Present(ini, kFormatSection, kFormatKeys) || Present(ini, kOrderSection, kOrderKeys) ||
           Present(ini, kControllerSection, kControllerKeys) || Present(ini, kControllerSection, kMachineKeys) ||
           Present(ini, kVerificationSection, kVerificationKeys);
}

void WriteJobSettings(platform::IniDocument& ini, const JobSettings& settings) {
    // A section is kept up to date once it is there; a file that never had it stays as it is.
    const JobSettings defaults;

    const DrillFileFormatSettings& format = settings.format;
    if (format != defaults.format || Present(ini, kFormatSection, kFormatKeys)) {
        ini.WriteString(kFormatSection, "Reading", ReadingWord(format.excellon));
        ini.WriteString(kFormatSection, "Units", SettingsWord(format.units));
        ini.WriteString(kFormatSection, "Digits",
                        format.digitsFromFile
                            ? std::string("file")
                            : std::to_string(format.integerDigits) + ":" + std::to_string(format.decimalDigits));
        ini.WriteString(kFormatSection, "Zeros", SettingsWord(format.zeros));
    }
    if (settings.order != defaults.order || Present(ini, kOrderSection, kOrderKeys)) {
        ini.WriteString(kOrderSection, "Order", SettingsWord(settings.order));
    }
    const ControllerSettings& controller = settings.controller;
    // The machine-time keys stand alone: each is written once it differs from its default.
    ControllerSettings withoutMachine = controller;
    withoutMachine.rapidXy = defaults.controller.rapidXy;
    withoutMachine.rapidZ = defaults.controller.rapidZ;
    withoutMachine.toolChangeSeconds = defaults.controller.toolChangeSeconds;
    const std::pair<std::string_view, double> machine[] = {{"RapidXY", controller.rapidXy},
                                                           {"RapidZ", controller.rapidZ},
                                                           {"ToolChangeTime", controller.toolChangeSeconds}};
    const double machineDefaults[] = {defaults.controller.rapidXy, defaults.controller.rapidZ,
                                      defaults.controller.toolChangeSeconds};
    if (withoutMachine != defaults.controller || Present(ini, kControllerSection, kControllerKeys)) {
        ini.WriteString(kControllerSection, "Controller", SettingsWord(controller.controller));
        ini.WriteString(kControllerSection, "Feed", NumberText(controller.feed));
        ini.WriteInteger(kControllerSection, "Spindle", controller.spindle);
        ini.WriteBool(kControllerSection, "ToolChanger", controller.toolChanger);
        // The cycle's keys only once they were chosen, so that a section written before stays as it was.
        if (controller.cycle != defaults.controller.cycle || ini.HasKey(kControllerSection, "Cycle")) {
            ini.WriteString(kControllerSection, "Cycle", SettingsWord(controller.cycle));
        }
        if (controller.peck != defaults.controller.peck || ini.HasKey(kControllerSection, "Peck")) {
            ini.WriteString(kControllerSection, "Peck", NumberText(controller.peck));
        }
        if (controller.retractPlane || ini.HasKey(kControllerSection, "RetractPlane")) {
            // Empty: each hole's z up, as when the key is missing.
            ini.WriteString(kControllerSection, "RetractPlane",
                            controller.retractPlane ? NumberText(*controller.retractPlane) : std::string());
        }
        // A key of this round: files written before it stay as they were while it keeps its default.
        if (controller.toolChange != defaults.controller.toolChange || ini.HasKey(kControllerSection, "ToolChange")) {
            ini.WriteString(kControllerSection, "ToolChange",
                            std::string(gcode::GrblToolChangeName(controller.toolChange)));
        }
    }
    for (std::size_t i = 0; i < std::size(machine); ++i) {
        if (machine[i].second != machineDefaults[i] || ini.HasKey(kControllerSection, machine[i].first)) {
            ini.WriteString(kControllerSection, machine[i].first, NumberText(machine[i].second));
        }
    }
    if (settings.verify != defaults.verify || Present(ini, kVerificationSection, kVerificationKeys)) {
        ini.WriteBool(kVerificationSection, "Verify", settings.verify);
    }
}

} // namespace korvex::settings
