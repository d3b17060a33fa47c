// What a controller may be sent: program text is plain printable ASCII for every chosen controller, and a GRBL
// program holds none of the bytes GRBL acts on the moment it receives them ('!' feed hold, '~' cycle start,
// '?' status, Ctrl-X reset, and every byte from 0x80 up), wherever they stand, comments included.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "gcode/ControllerPreset.h"
#include "platform/TextFile.h"

namespace korvex::gcode {

// What stands in for a byte the controller must not see. '_' means nothing to any controller we write for.
constexpr char kStandIn = '_';

// `line` (no line end) as `controller` may receive it: each UTF-8 character beyond ASCII, each other byte from
// 0x80 up and each control byte but TAB becomes one kStandIn, and for GRBL so do '!', '~' and '?'. Without a
// controller the text stays as it is. Returns whether anything was replaced.
bool MakeProgramTextSafe(std::string& line, Controller controller);

// Whether MakeProgramTextSafe would leave `text` (several lines with CR LF allowed) as it is.
bool IsProgramTextSafe(std::string_view text, Controller controller);

// A writer that hands every line to `inner` as MakeProgramTextSafe leaves it. It has no room of its own
// (Room() gives none), so callers write through WriteLines, which it passes on whole when nothing needs
// replacing.
std::unique_ptr<platform::TextLineWriter> SafeProgramTextWriter(std::unique_ptr<platform::TextLineWriter> inner,
                                                                Controller controller);

} // namespace korvex::gcode
