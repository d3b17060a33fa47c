// korvex-cli: converts an Excellon drill file into a G-code program with the same run as the window.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionState.h"
#include "conversion/FileNames.h"
#include "conversion/Numbers.h"
#include "conversion/RunConversion.h"
#include "excellon/BoardSide.h"
#include "excellon/DrillFileReport.h"
#include "excellon/RackFile.h"
#include "gcode/ControllerPreset.h"
#include "gcode/DrillCycle.h"
#include "job/ConvertJob.h"
#include "order/DrillOrder.h"
#include "platform/DecimalSeparator.h"
#include "platform/DecimalText.h"
#include "platform/ExecutablePath.h"
#include "platform/TextFile.h"
#include "settings/Settings.h"
#include "version/VersionInfo.h"
#include "version/VersionInfoFormat.h"

namespace {

using korvex::conversion::ConsoleHost;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;

constexpr int kExitFinished = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage = R"(Usage: korvex-cli [options] INPUT
   or: korvex-cli --excellon [options] INPUT MORE_INPUT...

Converts the Excellon drill file INPUT into a G-code program. INPUT "-" reads the drill file from
standard input; the output must then be named with -o. Further drill files of the same board
(MORE_INPUT) are drilled in the same program, each read in its own format, their tools gathered.

Options:
  -o, --output=PATH        output file (default: INPUT's folder and base name + ".CNC");
                           "-" writes the program to standard output
      --x-offset=MM        X offset in mm (default "0")
      --y-offset=MM        Y offset in mm (default "0")
      --z-offset=MM        Z offset in mm (default "0")
      --z-up=MM            retract height above the work piece in mm (default "1")
      --z-down=MM          drilling depth in mm (default "2")
      --divisor=NUMBER     X and Y are divided by this value (default "1")
      --line-numbers       number the lines with "N" (default)
      --no-line-numbers    write no line numbers
      --increment=N        line number increment: 1, 5, 10 or 50 (default 5)
      --before=FILE        G-code lines written before each tool change (default "G00 Z30")
      --after=FILE         G-code lines written after each tool change (default "M06", "G00 Z20")
      --settings=INI       take these settings from a settings file and the two macro files
                           beside it, as the window loads them; options given here win
      --controller=NAME    write for this controller: linuxcnc, grbl or generic (RS-274, Mach3-like);
                           fills the tool-change blocks (--before/--after win) and checks the program
      --feed=MM_PER_MIN    drilling feed rate for --controller (default 100)
      --spindle=RPM        spindle speed for --controller (default 10000)
      --tool-changer       the machine changes tools itself (M06; GRBL always pauses with M00)
      --tool-change=HOW    GRBL only: "pause" with M00 naming the tool (default), "sender" writes
                           M6 T<n> for a G-code sender's tool-change helper, "split" writes one
                           program per tool beside the output (OUTPUT-T01-0.800mm.nc ...)
      --cycle=CYCLE        how holes are drilled: "plain" moves (default), or the canned cycle "g81"
                           or "g83" (pecking) with --controller linuxcnc or generic; F is the --feed
      --peck=MM            g83's peck depth Q in mm (default 0.5)
      --retract-plane=MM   the cycles' retract plane R in mm (default: the z up height)
      --verify             read the written program back and compare it with the drill file; a
                           difference is an error (exit status 1, the program stays)
      --order=ORDER        drill order within each tool: "file" as the drill file lists the holes
                           (default), "short" reordered for shorter rapid moves
      --rapid-xy=MM_PER_MIN   machine time: rapid speed in X and Y (default 2000)
      --rapid-z=MM_PER_MIN    machine time: rapid speed in Z (default 1000)
      --tool-change-time=SECONDS  machine time: seconds per tool change (default 30)
  -q, --quiet              write only failures and warnings to standard error
  -h, --help               show this help and exit
      --version            show the program's version and exit
      --version-info=FILE  show what FILE's version resource says (Windows executables and DLLs too)
      --excellon           read the drill file in the Excellon format it declares (units, digits,
                           zeros, slots, routes, repeats) instead of dividing by the divisor
      --units=inch|mm      the file's units, whatever it says (implies --excellon)
      --number-format=I:D  integer and decimal digits of numbers without a point, e.g. 2:4
                           (implies --excellon)
      --zeros=LZ|TZ        LZ: leading zeros written, trailing ones left out; TZ: the reverse
                           (implies --excellon)
      --tool-order=ORDER   gather all the work of a tool into one tool change, tools of equal
                           diameter together, in the order "file" (of first selection) or
                           "diameter" (ascending; implies --excellon)
      --keep-tools         gather, but tools of equal diameter keep their own tool change (plated
                           and non-plated holes, for instance; implies --excellon)
      --mirror=x|y         drill from the back: mirror X about a vertical line (x) or Y about a
                           horizontal one (y), by default the board's middle (needs --excellon)
      --mirror-at=MM       the mirror line's X (or Y) in mm instead of the board's middle
      --alignment-holes=DIAMETER  with --mirror: two holes of DIAMETER mm on the mirror line, 5 mm
                           beyond the board, the same on both sides for the pins it flips onto
      --origin=WHERE       move the board's "lower-left" corner or its "center" to 0,0 before the
                           offsets apply; "file" leaves it where it is (default; needs --excellon)
      --svg=FILE           also draw the written program as an SVG picture: holes to scale in one
                           colour per tool, cuts, rapid moves, rulers in mm, extents and legend
      --drills=MM,MM,...   the drills you own, in mm (e.g. 0.3,0.4,0.5,0.8,1.0): each tool is drilled
                           with the nearest one within --drill-tolerance (implies --excellon)
      --rack=FILE          the drills you own from a file: one diameter in mm a line, optionally a
                           name after it; "#" starts a comment (implies --excellon)
      --drill-tolerance=MM how far a hole may be from its drill's diameter (default 0.05)
      --mill=DIAMETER      the end mill (mm) that mills holes larger than the largest drill +
                           tolerance: a helix down, then a circle (implies --excellon)

Long options may be abbreviated while they stay unambiguous; "--" ends the options.
The log goes to standard error. Exit status: 0 when the conversion finished, 1 when it
ended early or failed, 2 on a usage error (also when a --before, --after or --settings file
is missing, is not a regular file or is larger than 1 MiB).
)";

// Where to report bugs and read more: set when the program is built (see KORVEX_HOMEPAGE in CMake).
#ifndef KORVEX_HOMEPAGE
#define KORVEX_HOMEPAGE "https://korvex.example/"
#endif
#ifndef KORVEX_BUG_REPORT_URL
#define KORVEX_BUG_REPORT_URL KORVEX_HOMEPAGE
#endif

// Unset options take the window's design values, or those of the settings file with --settings.
struct Options {
    std::string input;
    std::optional<std::string> output;
    std::optional<std::string> xOffset;
    std::optional<std::string> yOffset;
    std::optional<std::string> zOffset;
    std::optional<std::string> zUp;
    std::optional<std::string> zDown;
    std::optional<std::string> divisor;
    std::optional<bool> lineNumbers;
    std::optional<int> increment;
    std::optional<std::string> before;
    std::optional<std::string> after;
    std::optional<std::string> settings;
    bool quiet = false;
    korvex::job::JobOptions job;
    // -- Controller and verification --
    std::optional<korvex::gcode::PresetOptions> preset;
    std::optional<double> feed;
    std::optional<double> spindle;
    bool toolChanger = false;
    std::optional<korvex::gcode::GrblToolChange> toolChange;
    std::optional<korvex::conversion::CycleKind> cycle;
    std::optional<double> peck;
    std::optional<double> retractPlane;
    // -- Board side: the first of its options given, for the message when the reading cannot take it --
    int boardOption = 0;
    // -- Drill rack --
    bool rackGiven = false; // --drills or --rack
    bool toleranceGiven = false;
};

class UsageError {
public:
    // `hint`: the command line itself is wrong, so the help is worth pointing to.
    explicit UsageError(std::string message, bool hint = true) : message_(std::move(message)), hint_(hint) {}
    const std::string& Message() const { return message_; }
    bool Hint() const { return hint_; }

private:
    std::string message_;
    bool hint_;
};

// The system's reason for a failed call, as the C library words it.
std::string Reason(int error) {
    return std::strerror(error);
}

// Tool-change blocks and settings are a few lines; anything near this size is the wrong file.
constexpr off_t kMostOptionFileBytes = off_t{1} << 20;

// Why a file named by --before, --after or --settings cannot be one, or "". Decided from stat alone, before
// anything opens it: a FIFO would wait for a writer and a device such as /dev/zero never ends.
std::string OptionFileProblem(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        return Reason(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return "not a regular file";
    }
    if (st.st_size > kMostOptionFileBytes) {
        return "larger than 1 MiB";
    }
    return std::string();
}

// Refuses, as "FILE: reason", what cannot be an option's file.
void CheckOptionFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw UsageError(path + ": " + Reason(errno), false);
    }
    if (const std::string problem = OptionFileProblem(st); !problem.empty()) {
        throw UsageError(path + ": " + problem, false);
    }
}

// The whole of an option's file. Opened without blocking and checked once more through the open descriptor,
// so a file replaced after the first check cannot make the converter wait or read without end.
std::string ReadOptionFile(const std::string& path) {
    CheckOptionFile(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        throw UsageError(path + ": " + Reason(errno), false);
    }
    struct stat st {};
    std::string problem = ::fstat(fd, &st) != 0 ? Reason(errno) : OptionFileProblem(st);
    std::string text;
    char block[8192];
    while (problem.empty()) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = Reason(errno);
        } else if (got == 0) {
            break;
        } else if (text.size() + static_cast<std::size_t>(got) > static_cast<std::size_t>(kMostOptionFileBytes)) {
            problem = "larger than 1 MiB";
        } else {
            text.append(block, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    if (!problem.empty()) {
        throw UsageError(path + ": " + problem, false);
    }
    return text;
}

// What went to standard output must have arrived there: a full disk fails the command.
int StandardOutputChecked(int status) {
    errno = 0;
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout) {
        // Taken before anything is written to standard error, whose first use may set errno itself.
        const int error = errno != 0 ? errno : EIO;
        std::cerr << "korvex-cli: standard output: " << Reason(error) << '\n';
        return 1;
    }
    return status;
}

// The values only options take; plain characters are the short options.
enum OptionId : int {
    kOutput = 'o',
    kQuiet = 'q',
    kHelp = 'h',
    kXOffset = 1000,
    kYOffset,
    kZOffset,
    kZUp,
    kZDown,
    kDivisor,
    kLineNumbers,
    kNoLineNumbers,
    kIncrement,
    kBefore,
    kAfter,
    kSettings,
    kVersion,
    kVersionInfo,

    // -- Reading options --
    kExcellon,
    kUnits,
    kNumberFormat,
    kZeros,

    // -- Drill order options --
    kOrder,

    // -- Machine time options --
    kRapidXy,
    kRapidZ,
    kToolChangeTime,

    // -- Controller and verification options --
    kController,
    kFeed,
    kSpindle,
    kToolChanger,
    kToolChange,
    kVerify,
    kCycle,
    kPeck,
    kRetractPlane,

    // -- Preview options --
    kSvg,

    // -- Board options --
    kToolOrder,
    kKeepTools,
    // -- Board side options --
    kMirror,
    kMirrorAt,
    kAlignmentHoles,
    kOrigin,
    // -- Drill rack options --
    kDrills,
    kRack,
    kDrillTolerance,
    kMill,
};

const option kLongOptions[] = {
    {"output", required_argument, nullptr, kOutput},
    {"x-offset", required_argument, nullptr, kXOffset},
    {"y-offset", required_argument, nullptr, kYOffset},
    {"z-offset", required_argument, nullptr, kZOffset},
    {"z-up", required_argument, nullptr, kZUp},
    {"z-down", required_argument, nullptr, kZDown},
    {"divisor", required_argument, nullptr, kDivisor},
    {"line-numbers", no_argument, nullptr, kLineNumbers},
    {"no-line-numbers", no_argument, nullptr, kNoLineNumbers},
    {"increment", required_argument, nullptr, kIncrement},
    {"before", required_argument, nullptr, kBefore},
    {"after", required_argument, nullptr, kAfter},
    {"settings", required_argument, nullptr, kSettings},
    {"quiet", no_argument, nullptr, kQuiet},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"version-info", required_argument, nullptr, kVersionInfo},

    // -- Reading options --
    {"excellon", no_argument, nullptr, kExcellon},
    {"units", required_argument, nullptr, kUnits},
    {"number-format", required_argument, nullptr, kNumberFormat},
    {"zeros", required_argument, nullptr, kZeros},

    // -- Drill order options --
    {"order", required_argument, nullptr, kOrder},

    // -- Machine time options --
    {"rapid-xy", required_argument, nullptr, kRapidXy},
    {"rapid-z", required_argument, nullptr, kRapidZ},
    {"tool-change-time", required_argument, nullptr, kToolChangeTime},

    // -- Controller and verification options --
    {"controller", required_argument, nullptr, kController},
    {"feed", required_argument, nullptr, kFeed},
    {"spindle", required_argument, nullptr, kSpindle},
    {"tool-changer", no_argument, nullptr, kToolChanger},
    {"tool-change", required_argument, nullptr, kToolChange},
    {"verify", no_argument, nullptr, kVerify},
    {"cycle", required_argument, nullptr, kCycle},
    {"peck", required_argument, nullptr, kPeck},
    {"retract-plane", required_argument, nullptr, kRetractPlane},

    // -- Preview options --
    {"svg", required_argument, nullptr, kSvg},

    // -- Board options --
    {"tool-order", required_argument, nullptr, kToolOrder},
    {"keep-tools", no_argument, nullptr, kKeepTools},
    // -- Board side options --
    {"mirror", required_argument, nullptr, kMirror},
    {"mirror-at", required_argument, nullptr, kMirrorAt},
    {"alignment-holes", required_argument, nullptr, kAlignmentHoles},
    {"origin", required_argument, nullptr, kOrigin},
    // -- Drill rack options --
    {"drills", required_argument, nullptr, kDrills},
    {"rack", required_argument, nullptr, kRack},
    {"drill-tolerance", required_argument, nullptr, kDrillTolerance},
    {"mill", required_argument, nullptr, kMill},

    {nullptr, 0, nullptr, 0},
};

// "--z-down" for a long option, "-o" for a short one: how messages name the option the user gave.
std::string OptionName(int id) {
    for (const option& entry : kLongOptions) {
        if (entry.name != nullptr && entry.val == id) {
            return std::string("--") + entry.name;
        }
    }
    return std::string("-") + static_cast<char>(id);
}

// A number option must hold what the run's own parser reads; otherwise the run would go on with 0 or stop
// without naming the option.
std::string NumberValue(int id, const char* text) {
    if (!korvex::conversion::ReadReal(text).value) {
        throw UsageError(OptionName(id) + ": '" + text + "' is not a number");
    }
    return text;
}

void ShowVersion() {
    // One source of truth: the version resource embedded in this very executable.
    korvex::version::TFileVersionInfo info;
    korvex::version::ReadFileVersionInfo(korvex::platform::ExecutablePath(), info);
    std::cout << "korvex-cli " << info.ProductVersion << " (build " << info.FileVersion << ")\n";
    if (!info.LegalCopyRight.empty()) {
        std::cout << info.LegalCopyRight << '\n';
    }
    std::cout << "License: MIT <https://opensource.org/licenses/MIT>\n"
                 "There is NO WARRANTY, to the extent permitted by law.\n";
}

void ShowHelp() {
    std::cout << kUsage << "\nReport bugs to: " << KORVEX_BUG_REPORT_URL << "\nKorvex home page: <" << KORVEX_HOMEPAGE
              << ">\n";
}

// The canned cycle's words. A cycle's F is the controller's feed, so it needs a controller that has cycles.
void ApplyCycle(Options& options) {
    using korvex::conversion::CycleKind;
    const CycleKind kind = options.cycle.value_or(CycleKind::Plain);
    if (kind != CycleKind::G83 && options.peck) {
        throw UsageError("--peck needs --cycle g83");
    }
    if (kind == CycleKind::Plain) {
        if (options.retractPlane) {
            throw UsageError("--retract-plane needs --cycle g81 or g83");
        }
        return;
    }
    if (!options.preset) {
        throw UsageError("--cycle g81 and g83 need --controller linuxcnc or generic (the cycle's F is its --feed)");
    }
    if (!korvex::gcode::HasDrillCycles(options.preset->controller)) {
        throw UsageError("--cycle " + std::string(korvex::gcode::CycleName(kind)) + ": " +
                         std::string(korvex::gcode::ControllerTitle(options.preset->controller)) +
                         " has no canned drilling cycles; use --cycle plain");
    }
    options.job.cycle = korvex::gcode::CycleWords(
        kind, *options.preset, options.peck.value_or(korvex::gcode::kDefaultPeckMm), options.retractPlane);
}

// The preset's tool-change blocks, where --before and --after do not name others.
void ApplyController(Options& options) {
    if (!options.preset) {
        if (options.feed || options.spindle || options.toolChanger) {
            throw UsageError("--feed, --spindle and --tool-changer need --controller");
        }
        if (options.toolChange) {
            throw UsageError("--tool-change needs --controller grbl");
        }
    } else {
        options.preset->feedMmPerMin = options.feed.value_or(options.preset->feedMmPerMin);
        options.job.machine.feedMmPerMin = options.preset->feedMmPerMin;
        options.preset->spindleRpm = options.spindle.value_or(options.preset->spindleRpm);
        options.preset->toolChanger = options.toolChanger;
        if (options.toolChange) {
            if (options.preset->controller != korvex::gcode::Controller::Grbl) {
                throw UsageError("--tool-change is for --controller grbl; the other controllers change tools with "
                                 "M06 or pause");
            }
            options.preset->grblToolChange = *options.toolChange;
            options.job.grblToolChange = *options.toolChange;
        }
        const korvex::gcode::ToolChangeBlocks blocks = korvex::gcode::PresetBlocks(*options.preset);
        if (!options.before) {
            options.before = korvex::gcode::BlockText(blocks.before);
        }
        if (!options.after) {
            options.after = korvex::gcode::BlockText(blocks.after);
        }
    }
    if (options.job.grblToolChange == korvex::gcode::GrblToolChange::Split && options.output == "-") {
        throw UsageError("--tool-change split writes one program per tool beside the output: name it with -o");
    }
    ApplyCycle(options);
    if (options.job.verify && options.output == "-") {
        throw UsageError("--verify reads the program back: it needs an output file, not standard output");
    }
}

// The board's side and origin act in the Excellon reading only; the alignment holes and the mirror line
// belong to a mirror.
void ApplyBoardSide(const Options& options) {
    const korvex::excellon::BoardPlacement& placement = options.job.board.placement;
    if (options.boardOption != 0 && !options.job.reading.excellon) {
        throw UsageError(OptionName(options.boardOption) + " needs --excellon");
    }
    if (placement.mirror == korvex::excellon::MirrorAxis::None) {
        if (placement.mirrorAt) {
            throw UsageError("--mirror-at needs --mirror");
        }
        if (placement.alignmentHoleMm) {
            throw UsageError("--alignment-holes needs --mirror: the holes lie on the mirror line");
        }
    }
}

// Reads the command line; returns an exit status when the program has nothing more to do.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    opterr = 0; // the messages are ours, with the usage hint
    optind = 0; // restart from the first argument (0 also resets GNU getopt's internal state)
    // "+" stops at the first non-option only where POSIXLY_CORRECT asks for it; options may follow INPUT.
    const char* const shortOptions = ":o:qh";
    for (;;) {
        const int id = getopt_long(argc, argv, shortOptions, kLongOptions, nullptr);
        if (id == -1) {
            break;
        }
        switch (id) {
        case kOutput:
            options.output = optarg;
            break;
        case kXOffset:
            options.xOffset = NumberValue(id, optarg);
            break;
        case kYOffset:
            options.yOffset = NumberValue(id, optarg);
            break;
        case kZOffset:
            options.zOffset = NumberValue(id, optarg);
            break;
        case kZUp:
            options.zUp = NumberValue(id, optarg);
            break;
        case kZDown:
            options.zDown = NumberValue(id, optarg);
            break;
        case kDivisor:
            options.divisor = NumberValue(id, optarg);
            break;
        case kLineNumbers:
            options.lineNumbers = true;
            break;
        case kNoLineNumbers:
            options.lineNumbers = false;
            break;
        case kIncrement: {
            const std::string text = optarg;
            if (text != "1" && text != "5" && text != "10" && text != "50") {
                throw UsageError("--increment must be 1, 5, 10 or 50, not '" + text + "'");
            }
            options.increment = std::stoi(text);
            break;
        }
        case kBefore:
        case kAfter:
            (id == kBefore ? options.before : options.after) = ReadOptionFile(optarg);
            break;
        case kSettings:
            CheckOptionFile(optarg);
            options.settings = optarg;
            break;
        case kQuiet:
            options.quiet = true;
            break;
        case kHelp:
            ShowHelp();
            return StandardOutputChecked(kExitFinished);
        case kVersion:
            ShowVersion();
            return StandardOutputChecked(kExitFinished);
        case kVersionInfo: {
            korvex::version::TFileVersionInfo info;
            korvex::version::ReadFileVersionInfo(optarg, info);
            std::cout << korvex::version::FormatFileVersionInfo(info);
            return StandardOutputChecked(kExitFinished);
        }

            // -- Reading options --
            // A fixed units, digits or zeros value only means something to the Excellon reading, so it asks
            // for it.
        case kExcellon:
            options.job.reading.excellon = true;
            break;
        case kUnits: {
            const std::optional<korvex::excellon::UnitsChoice> units = korvex::excellon::ParseUnits(optarg);
            if (!units) {
                throw UsageError(OptionName(id) + " must be inch or mm, not '" + optarg + "'");
            }
            options.job.reading.excellon = true;
            options.job.reading.units = *units;
            break;
        }
        case kNumberFormat: {
            const std::optional<korvex::excellon::NumberFormat> format = korvex::excellon::ParseNumberFormat(optarg);
            if (!format) {
                throw UsageError(OptionName(id) + " must be integer:decimal digits such as 2:4, not '" + optarg + "'");
            }
            options.job.reading.excellon = true;
            options.job.reading.integerDigits = format->integerDigits;
            options.job.reading.decimalDigits = format->decimalDigits;
            break;
        }
        case kZeros: {
            const std::optional<korvex::excellon::ZerosChoice> zeros = korvex::excellon::ParseZeros(optarg);
            if (!zeros) {
                throw UsageError(OptionName(id) + " must be LZ or TZ, not '" + optarg + "'");
            }
            options.job.reading.excellon = true;
            options.job.reading.zeros = *zeros;
            break;
        }

            // -- Drill order options --
        case kOrder: {
            const std::optional<korvex::order::DrillOrder> order = korvex::order::ParseDrillOrder(optarg);
            if (!order) {
                throw UsageError("--order must be file or short, not '" + std::string(optarg) + "'");
            }
            options.job.order = *order;
            break;
        }

            // -- Machine time options --
        case kRapidXy:
        case kRapidZ:
        case kToolChangeTime: {
            const std::optional<double> value = korvex::platform::ReadDecimal(optarg);
            if (!value || !(*value > 0.0)) {
                throw UsageError(OptionName(id) + ": '" + std::string(optarg) + "' is no positive number");
            }
            korvex::gcode::MachineModel& machine = options.job.machine;
            (id == kRapidXy  ? machine.rapidXyMmPerMin
             : id == kRapidZ ? machine.rapidZMmPerMin
                             : machine.toolChangeSeconds) = *value;
            break;
        }

            // -- Controller and verification options --
        case kController: {
            const std::optional<korvex::gcode::Controller> controller = korvex::gcode::ControllerFromName(optarg);
            if (!controller) {
                throw UsageError("--controller must be linuxcnc, grbl or generic, not '" + std::string(optarg) + "'");
            }
            options.preset.emplace();
            options.preset->controller = *controller;
            options.job.controller = *controller;
            break;
        }
        case kFeed:
        case kSpindle: {
            const std::optional<double> value = korvex::conversion::ReadReal(optarg).value;
            if (!value || !(*value > 0.0) || *value > 1e6) {
                throw UsageError(OptionName(id) + ": '" + std::string(optarg) + "' is no positive number");
            }
            (id == kFeed ? options.feed : options.spindle) = *value;
            break;
        }
        case kToolChanger:
            options.toolChanger = true;
            break;
        case kToolChange: {
            const std::optional<korvex::gcode::GrblToolChange> toolChange =
                korvex::gcode::GrblToolChangeFromName(optarg);
            if (!toolChange) {
                throw UsageError("--tool-change must be pause, sender or split, not '" + std::string(optarg) + "'");
            }
            options.toolChange = *toolChange;
            break;
        }
        case kVerify:
            options.job.verify = true;
            break;
        case kCycle: {
            options.cycle = korvex::gcode::CycleFromName(optarg);
            if (!options.cycle) {
                throw UsageError("--cycle must be plain, g81 or g83, not '" + std::string(optarg) + "'");
            }
            break;
        }
        case kPeck: {
            const std::optional<double> value = korvex::conversion::ReadReal(optarg).value;
            if (!value || !(*value > 0.0) || *value > 1000.0) {
                throw UsageError("--peck: '" + std::string(optarg) + "' is no positive number");
            }
            options.peck = *value;
            break;
        }
        case kRetractPlane: {
            const std::optional<double> value = korvex::conversion::ReadReal(optarg).value;
            if (!value || std::fabs(*value) > 1e6) {
                throw UsageError("--retract-plane: '" + std::string(optarg) + "' is not a number");
            }
            options.retractPlane = *value;
            break;
        }

            // -- Preview options --
        case kSvg:
            options.job.svgPath = optarg;
            if (options.job.svgPath.empty()) {
                throw UsageError("--svg needs a file name");
            }
            break;

            // -- Board options --
            // Gathering tools is the Excellon reading's, so asking for it asks for that reading.
        case kToolOrder: {
            const std::string text = optarg;
            if (text != "file" && text != "diameter") {
                throw UsageError("--tool-order must be file or diameter, not '" + text + "'");
            }
            options.job.board.toolOrder =
                text == "file" ? korvex::excellon::ToolOrder::File : korvex::excellon::ToolOrder::Diameter;
            options.job.board.gatherTools = true;
            options.job.reading.excellon = true;
            break;
        }
        case kKeepTools:
            options.job.board.keepTools = true;
            options.job.reading.excellon = true;
            break;
            // -- Board side options --
        case kMirror: {
            const std::optional<korvex::excellon::MirrorAxis> axis = korvex::excellon::MirrorAxisFromName(optarg);
            if (!axis) {
                throw UsageError("--mirror must be x or y, not '" + std::string(optarg) + "'");
            }
            options.job.board.placement.mirror = *axis;
            options.boardOption = options.boardOption != 0 ? options.boardOption : id;
            break;
        }
        case kMirrorAt: {
            const std::optional<double> value = korvex::platform::ReadDecimal(optarg);
            if (!value || std::fabs(*value) > 1e6) {
                throw UsageError("--mirror-at: '" + std::string(optarg) + "' is not a number");
            }
            options.job.board.placement.mirrorAt = *value;
            options.boardOption = options.boardOption != 0 ? options.boardOption : id;
            break;
        }
        case kAlignmentHoles: {
            const std::optional<double> value = korvex::platform::ReadDecimal(optarg);
            if (!value || !(*value > 0.0) || *value > 100.0) {
                throw UsageError("--alignment-holes: '" + std::string(optarg) +
                                 "' is no diameter in mm (above 0, at most 100)");
            }
            options.job.board.placement.alignmentHoleMm = *value;
            options.boardOption = options.boardOption != 0 ? options.boardOption : id;
            break;
        }
        case kOrigin: {
            const std::optional<korvex::excellon::BoardOrigin> origin = korvex::excellon::BoardOriginFromName(optarg);
            if (!origin) {
                throw UsageError("--origin must be file, lower-left or center, not '" + std::string(optarg) + "'");
            }
            options.job.board.placement.origin = *origin;
            options.boardOption = options.boardOption != 0 ? options.boardOption : id;
            break;
        }
            // -- Drill rack options --
            // The rack maps the Excellon reading's tools onto drills, so it asks for that reading.
        case kDrills:
        case kRack: {
            if (options.rackGiven) {
                throw UsageError("--drills and --rack name the drills once, not twice");
            }
            korvex::excellon::DrillRack& rack = options.job.board.rack;
            const std::string error = id == kDrills ? korvex::excellon::ParseDrillList(optarg, rack.bits)
                                                    : korvex::excellon::ReadRackFile(optarg, rack.bits);
            if (!error.empty()) {
                throw UsageError(id == kDrills ? error : "--rack: " + error, id == kDrills);
            }
            options.rackGiven = true;
            options.job.reading.excellon = true;
            break;
        }
        case kDrillTolerance: {
            const std::optional<double> value = korvex::excellon::ParseRackTolerance(optarg);
            if (!value) {
                throw UsageError("--drill-tolerance: '" + std::string(optarg) + "' is no distance in mm (0 to 100)");
            }
            options.job.board.rack.toleranceMm = *value;
            options.toleranceGiven = true;
            break;
        }
        case kMill: {
            options.job.board.rack.endMillMm = korvex::excellon::ParseRackDiameter(optarg);
            if (!options.job.board.rack.endMillMm) {
                throw UsageError("--mill: '" + std::string(optarg) + "' is no diameter in mm (0 to 100)");
            }
            options.job.reading.excellon = true;
            break;
        }

        case ':': {
            const std::string given = argv[optind - 1];
            const bool isLong = given.rfind("--", 0) == 0;
            throw UsageError("option " +
                             (isLong ? OptionName(optopt) : "-" + std::string(1, static_cast<char>(optopt))) +
                             " needs a value");
        }
        default: { // '?': unknown, ambiguous, or a value where the option takes none
            const std::string given = argv[optind - 1];
            if (given.rfind("--", 0) != 0) {
                throw UsageError("unknown option -" + std::string(1, static_cast<char>(optopt)));
            }
            const std::string name = given.substr(2, given.find('=') - 2);
            if (optopt != 0) {
                throw UsageError("option " + OptionName(optopt) + " takes no value");
            }
            std::string candidates;
            for (const option& entry : kLongOptions) {
                if (entry.name != nullptr && std::string(entry.name).rfind(name, 0) == 0) {
                    candidates += (candidates.empty() ? "--" : ", --") + std::string(entry.name);
                }
            }
            if (!candidates.empty()) {
                throw UsageError("option --" + name + " is ambiguous (" + candidates + ")");
            }
            throw UsageError("unknown option --" + name);
        }
        }
    }
    if (optind >= argc) {
        throw UsageError("no INPUT file given");
    }
    options.input = argv[optind];
    // Further drill files make one board program; only the Excellon reading reads each file's own format.
    for (int more = optind + 1; more < argc; ++more) {
        if (!options.job.reading.excellon) {
            throw UsageError("only one INPUT file can be converted at a time");
        }
        if (std::string(argv[more]) == "-" || options.input == "-") {
            throw UsageError("standard input cannot be one of several drill files");
        }
        options.job.board.moreFiles.emplace_back(argv[more]);
    }
    if (!options.output) {
        if (options.input == "-") {
            throw UsageError("the drill file comes from standard input: name the output with -o");
        }
        options.output = korvex::conversion::ProposedOutputName(options.input);
    }
    ApplyController(options);
    ApplyBoardSide(options);
    if (options.toleranceGiven && !options.rackGiven) {
        throw UsageError("--drill-tolerance needs --drills or --rack");
    }
    if (!options.job.svgPath.empty() && *options.output == "-") {
        throw UsageError("--svg draws the program from its file: name the output with -o");
    }
    return std::nullopt;
}

// The command line's host: standard input as a drill file, and the system's reason when a file fails.
class CliHost : public ConsoleHost {
public:
    using ConsoleHost::ConsoleHost;

    std::unique_ptr<korvex::platform::TextLineReader> OpenInput(const std::string& name) override {
        if (name == "-") {
            return korvex::platform::TextLineReader::FromDescriptor(STDIN_FILENO, "standard input");
        }
        errno = 0;
        std::unique_ptr<korvex::platform::TextLineReader> input = ConsoleHost::OpenInput(name);
        if (!input) {
            failure_ = name + ": " + InputReason(name, errno);
        }
        return input;
    }

    std::unique_ptr<korvex::platform::TextLineWriter>
    CreateOutput(const std::string& name, const korvex::platform::TextLineReader& input) override {
        errno = 0;
        std::unique_ptr<korvex::platform::TextLineWriter> output = ConsoleHost::CreateOutput(name, input);
        if (!output) {
            failure_ = name + ": " + OutputReason(name, input, errno);
        }
        return output;
    }

    // The run puts "can not open FILE" in front of its log; the window shows that line, but here the failure
    // is reported once, as "korvex-cli: FILE: reason" with the system's reason.
    void SetLogText(const std::string& text) override {
        if (failure_.empty()) {
            ConsoleHost::SetLogText(text);
        } else {
            KeepLogText(text);
        }
    }

    // "FILE: reason" for the file the run could not open or create, or "".
    const std::string& Failure() const { return failure_; }

private:
    static std::string InputReason(const std::string& name, int error) {
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0) {
            return Reason(errno);
        }
        if (S_ISDIR(st.st_mode)) {
            return Reason(EISDIR);
        }
        if (!S_ISREG(st.st_mode)) {
            return "not a regular file";
        }
        return Reason(error != 0 ? error : EACCES);
    }

    static std::string OutputReason(const std::string& name, const korvex::platform::TextLineReader& input, int error) {
        struct stat st {};
        if (::stat(name.c_str(), &st) == 0) {
            if (static_cast<std::uint64_t>(st.st_dev) == input.Identity().device &&
                static_cast<std::uint64_t>(st.st_ino) == input.Identity().inode) {
                return "it is the drill file being converted";
            }
            if (S_ISDIR(st.st_mode)) {
                return Reason(EISDIR);
            }
        }
        if (error == EWOULDBLOCK) {
            return "another conversion is writing it";
        }
        return Reason(error != 0 ? error : EACCES);
    }

    std::string failure_;
};

// "in line 7 of the drill file" as some reading errors say it: the line, or 0 with `at` = npos.
std::size_t LinePhrase(const std::string& message, std::size_t& at, std::size_t& length) {
    static const std::string kStart = " in line ";
    static const std::string kEnd = " of the drill file";
    at = message.find(kStart);
    while (at != std::string::npos) {
        std::size_t end = at + kStart.size();
        std::size_t line = 0;
        while (end < message.size() && message[end] >= '0' && message[end] <= '9' && line < 100000000) {
            line = line * 10 + static_cast<std::size_t>(message[end] - '0');
            ++end;
        }
        if (end > at + kStart.size() && message.compare(end, kEnd.size(), kEnd) == 0) {
            length = end + kEnd.size() - at;
            return line;
        }
        at = message.find(kStart, at + 1);
    }
    return 0;
}

// A drill-file error as compilers say it, "FILE:LINE: message", quoting the file's own text where the message
// shows it as the reading last tried it (a dot retried as a comma stays a dot here). The line comes from the
// error, from its words, or from where the run stood; an error that is no line's (a z value out of range) is
// the message alone.
std::string ConversionErrorLine(const std::string& input, const korvex::conversion::ConversionError& error,
                                std::size_t runLine) {
    std::string message = error.what();
    std::size_t line = error.Line();
    std::size_t at = 0;
    std::size_t length = 0;
    const std::size_t said = LinePhrase(message, at, length);
    if (at != std::string::npos && (line == 0 || line == said)) {
        line = said;
        message.erase(at, length);
    }
    if (line == 0) {
        line = runLine;
    }
    const std::string& written = error.FileText();
    if (!written.empty()) {
        std::string retried = written;
        for (char& c : retried) {
            c = c == '.' ? ',' : c;
        }
        if (message.size() >= retried.size() &&
            message.compare(message.size() - retried.size(), retried.size(), retried) == 0) {
            message.replace(message.size() - retried.size(), retried.size(), written);
        }
    }
    if (line == 0) {
        return message;
    }
    return input + ':' + std::to_string(line) + ": " + message;
}

// The file layer says "Error writing FILE: reason" (the window's wording); here it is "FILE: reason" like
// every other file error.
std::string FileErrorLine(const std::string& message) {
    for (const std::string prefix : {"Error writing ", "Error reading "}) {
        if (message.rfind(prefix, 0) == 0 && message.find(": ", prefix.size()) != std::string::npos) {
            return message.substr(prefix.size());
        }
    }
    return message;
}

// With --verify a program that differs from the drill file, or one that could not be read back, fails the
// run; the program stays for the user to look at.
int VerifiedExit(const Options& options, const korvex::job::JobReport& report) {
    if (!options.job.verify || report.verification.Passed()) {
        return kExitFinished;
    }
    if (!report.verification.ran) {
        std::cerr << "korvex-cli: not verified: " << report.verification.skipReason << '\n';
    } else {
        std::cerr << "korvex-cli: " << *options.output << " differs from the drill file in "
                  << report.verification.differenceCount << " place"
                  << (report.verification.differenceCount == 1 ? "" : "s") << '\n';
    }
    return kExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    // Room for the whole help and version text: a full device then fails the final flush, where errno still
    // gives the reason, not a write in the middle whose errno is gone by then.
    // (The C library takes the size only together with a buffer of the caller's.)
    static char standardOutputBuffer[std::size_t{1} << 16];
    std::setvbuf(stdout, standardOutputBuffer, _IOFBF, sizeof standardOutputBuffer);
    Options options;
    try {
        if (const std::optional<int> exitNow = ParseOptions(argc, argv, options)) {
            return *exitNow;
        }
    } catch (const UsageError& error) {
        std::cerr << "korvex-cli: " << error.Message() << '\n';
        if (error.Hint()) {
            std::cerr << "Try 'korvex-cli --help'.\n";
        }
        return kExitUsage;
    }

    korvex::platform::SetDecimalSeparator('.');
    auto& state = korvex::conversion::TheConversionState();
    korvex::settings::SettingsValues values; // the window's design values
    values.includeLineNumber = true;
    state.LineNumbersOn = true;
    state.LineNumberIncrement = 5;
    if (options.settings) {
        try {
            korvex::settings::LoadSettingsFile(*options.settings, values, state);
        } catch (const korvex::settings::SettingsError& error) {
            // The window reports a settings failure and goes on with what loaded; so does the converter.
            std::cerr << "korvex-cli: " << error.what() << '\n';
        }
    }
    state.LineNumbersOn = options.lineNumbers.value_or(state.LineNumbersOn);
    state.LineNumberIncrement = options.increment.value_or(state.LineNumberIncrement);

    CliHost host(std::cerr, options.quiet);
    host.SetField(Field::InputFileName, options.input);
    host.SetField(Field::OutputFileName, *options.output);
    host.SetField(Field::XOffset, options.xOffset.value_or(values.Text(Field::XOffset)));
    host.SetField(Field::YOffset, options.yOffset.value_or(values.Text(Field::YOffset)));
    host.SetField(Field::ZOffset, options.zOffset.value_or(values.Text(Field::ZOffset)));
    host.SetField(Field::ZUp, options.zUp.value_or(values.Text(Field::ZUp)));
    host.SetField(Field::ZDown, options.zDown.value_or(values.Text(Field::ZDown)));
    host.SetField(Field::Divisor, options.divisor.value_or(values.Text(Field::Divisor)));
    host.SetSuppressLeadingZeros(values.suppressLeadingZeros);
    host.SetMacroText(HostMacro::Before, options.before.value_or(values.macroBefore));
    host.SetMacroText(HostMacro::After, options.after.value_or(values.macroAfter));
    try {
        const korvex::job::JobReport report = korvex::job::ConvertJob(state, host, options.job);
        // The program is written; a picture asked for and not written still fails the run.
        if (!report.svgError.empty()) {
            std::cerr << "korvex-cli: " << report.svgError << '\n';
            return kExitFailed;
        }
        if (report.outcome == korvex::conversion::RunOutcome::Finished) {
            return VerifiedExit(options, report);
        }
        if (!host.Failure().empty()) {
            std::cerr << "korvex-cli: " << host.Failure() << '\n';
        } else if (!host.ReportedProblem()) {
            std::cerr << "korvex-cli: nothing was converted\n";
        }
    } catch (const korvex::conversion::ConversionError& error) {
        std::cerr << "korvex-cli: " << ConversionErrorLine(options.input, error, state.InputLine) << '\n';
    } catch (const std::exception& error) {
        std::cerr << "korvex-cli: " << FileErrorLine(error.what()) << '\n';
    }
    return kExitFailed;
}
