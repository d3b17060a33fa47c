// The window's choices for a run beyond its own fields: how the drill file is read, the drill order and the
// controller the tool-change blocks were written for. Kept in korvex.INI in sections of their own, which a
// file that never had them does not gain until the user chooses something other than the defaults.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "conversion/ConversionState.h"
#include "excellon/DrillFileReport.h"
#include "gcode/ControllerPreset.h"
#include "order/DrillOrder.h"

namespace korvex::platform {
class IniDocument;
}

namespace korvex::settings {

struct DrillFileFormatSettings {
    bool excellon = false; // false: the divisor reading
    excellon::UnitsChoice units = excellon::UnitsChoice::FromFile;
    bool digitsFromFile = true;
    int integerDigits = 2; // used when the digits are not taken from the file
    int decimalDigits = 4;
    excellon::ZerosChoice zeros = excellon::ZerosChoice::FromFile;

    bool operator==(const DrillFileFormatSettings& other) const;
    bool operator!=(const DrillFileFormatSettings& other) const { return !(*this == other); }
};

struct ControllerSettings {
    gcode::Controller controller = gcode::Controller::None;
    double feed = 100;   // mm/min for drilling
    int spindle = 10000; // rpm
    bool toolChanger = false;
    // How holes are drilled (the canned cycles only where the controller has them), G83's peck in mm, and
    // the cycles' retract plane in mm (none: each hole's z up).
    conversion::CycleKind cycle = conversion::CycleKind::Plain;
    double peck = 0.5;
    std::optional<double> retractPlane = std::nullopt;
    gcode::GrblToolChange toolChange = gcode::GrblToolChange::Pause; // GRBL only
    // The machine the "Machine time: " estimate assumes: rapid speeds in mm/min, seconds per tool change.
    double rapidXy = 2000;
    double rapidZ = 1000;
    double toolChangeSeconds = 30;

    bool operator==(const ControllerSettings& other) const;
    bool operator!=(const ControllerSettings& other) const { return !(*this == other); }
};

struct JobSettings {
    DrillFileFormatSettings format;
    order::DrillOrder order = order::DrillOrder::File;
    ControllerSettings controller;
    // Read the written program back after each conversion and compare it with the drill file.
    bool verify = false;
};

// The highest feed (mm/min) and spindle speed (rpm) accepted: beyond any drilling machine, and small enough
// that a mistyped extra digit is caught rather than sent to the machine.
constexpr double kMaxFeed = 100000;
constexpr int kMaxSpindle = 100000;

// Digits of a fixed number format: each part 0 to 9, not both 0.
constexpr int kMaxDigits = 9;

// What the dialogs accept where the values are typed: narrower than what a settings file may hold, so that a
// mistyped digit is caught at once.
constexpr double kDialogMinFeed = 1;
constexpr double kDialogMaxFeed = 10000;
constexpr int kDialogMinSpindle = 1;
constexpr int kDialogMaxSpindle = 100000;
constexpr double kDialogMinPeck = 0.01;
constexpr double kDialogMaxPeck = 10;
// A retract plane farther than this from the work is a typing slip, in the file as in the dialog.
constexpr double kMaxRetractPlane = 1000;
constexpr double kDialogMinRapid = 1;
constexpr double kDialogMaxRapid = 100000;
constexpr double kDialogMaxToolChangeSeconds = 3600;
constexpr int kDialogMinDigits = 1;
constexpr int kDialogMaxDigits = 6;

// The words the settings file uses; also what the dialogs and korvex-cli call the choices.
std::string_view ReadingWord(bool excellon);
std::string_view SettingsWord(excellon::UnitsChoice choice);
std::string_view SettingsWord(excellon::ZerosChoice choice);
std::string_view SettingsWord(order::DrillOrder choice);
std::string_view SettingsWord(gcode::Controller choice);
std::string_view SettingsWord(conversion::CycleKind choice);

// Reads the three sections; a missing key, or a value that is not one of the words above (or not a number
// in range), keeps the default, so a hand-edited file never stops the window from starting.
JobSettings ReadJobSettings(const platform::IniDocument& ini);
// Whether the file holds any key of the three sections.
bool HasJobSettings(const platform::IniDocument& ini);
// Writes each section that the file already holds or whose values differ from the defaults.
void WriteJobSettings(platform::IniDocument& ini, const JobSettings& settings);

} // namespace korvex::settings
