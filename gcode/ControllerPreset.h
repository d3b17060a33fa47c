// Tool-change blocks that a given controller accepts, and the codes it does not. The blocks surround the "Tn"
// line the converter writes at each tool change; every tool change repeats them, so they also carry what
// the program needs before its first plunge (units, absolute mode, spindle, feed rate).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gcode/GcodeReader.h"

namespace korvex::gcode {

enum class Controller { None, LinuxCnc, Grbl, Generic };

// How a GRBL program changes tools: GRBL 1.1 has no M6 and takes nothing but resume or stop during an M00
// pause, so the operator cannot zero Z for the new drill there. Pause: M00 naming the tool. Sender: M6 for a
// sender's tool-change helper, which holds it back from GRBL. Split: one program per tool.
enum class GrblToolChange { Pause, Sender, Split };

// "pause", "sender", "split" (the command line's and the settings file's words).
std::string_view GrblToolChangeName(GrblToolChange toolChange);
std::optional<GrblToolChange> GrblToolChangeFromName(std::string_view name);

// The preset's GRBL lines that the writer replaces with each tool's own line (ConversionState::PauseMark and
// SenderMark); a line the user edited stays as written.
constexpr std::string_view kGrblPauseLine = "M00 (change to the tool named above, then resume)";
constexpr std::string_view kGrblSenderLine = "M6 (tool named above, for the sender)";

struct PresetOptions {
    Controller controller = Controller::None;
    double feedMmPerMin = 100.0;
    double spindleRpm = 10000.0;
    bool toolChanger = false; // the machine changes tools itself (M06); otherwise it pauses for the operator
    GrblToolChange grblToolChange = GrblToolChange::Pause; // GRBL only
};

// "linuxcnc", "grbl", "generic" (the command line's and the settings file's words); "" for None.
std::string_view ControllerName(Controller controller);
// "LinuxCNC", "GRBL 1.1", "Generic RS-274 (Mach3-like)"; "None" for None.
std::string_view ControllerTitle(Controller controller);
// The controller of a name as ControllerName gives it (any letter case); nothing for an unknown name.
std::optional<Controller> ControllerFromName(std::string_view name);

struct ToolChangeBlocks {
    std::vector<std::string> before; // written before the "Tn" line
    std::vector<std::string> after;  // written after it
};

// The blocks for `options.controller`; for None the window's design values ("G00 Z30"; "M06", "G00 Z20").
ToolChangeBlocks PresetBlocks(const PresetOptions& options);

// The lines as the window's text boxes and the macro files hold them: each line followed by CR LF.
std::string BlockText(const std::vector<std::string>& lines);

// The longest line the controller reads, 0 when it has no limit (GRBL 1.1: 80 characters).
std::size_t MaxLineLength(Controller controller);

// The G and M codes and the word letters of `line` that the controller does not accept ("M06", "G81",
// "word Q"), in the order they appear; comments are skipped. Empty for None and for a line it accepts.
std::vector<std::string> CodesNotAccepted(Controller controller, std::string_view line);
// The same for a line already split into words.
std::vector<std::string> CodesNotAccepted(Controller controller, const LineWords& words);

} // namespace korvex::gcode
