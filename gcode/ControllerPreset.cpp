#include "gcode/ControllerPreset.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/DecimalText.h"

namespace korvex::gcode {

namespace {

struct ControllerInfo {
    Controller controller;
    std::string_view name;
    std::string_view title;
};

constexpr std::array<ControllerInfo, 4> kControllers{{
    {Controller::None, "", "None"},
    {Controller::LinuxCnc, "linuxcnc", "LinuxCNC"},
    {Controller::Grbl, "grbl", "GRBL 1.1"},
    {Controller::Generic, "generic", "Generic RS-274 (Mach3-like)"},
}};

// The codes each controller documents, times ten so that G91.1 and G38.2 are whole numbers too.
constexpr int kGrblG[] = {0,   10,  20,  30,  40,  100, 170, 180, 190, 200, 210, 280, 281,
                          300, 301, 382, 383, 384, 385, 400, 431, 490, 530, 540, 550, 560,
                          570, 580, 590, 610, 800, 900, 910, 911, 920, 921, 930, 940};
constexpr int kGrblM[] = {0, 10, 20, 30, 40, 50, 70, 80, 90, 300, 560};
constexpr std::string_view kGrblLetters = "FGIJKLMNPRSTXYZ";

constexpr int kLinuxCncG[] = {0,   10,  20,  30,  40,  50,  51,  52,  53,  70,  80,  100, 170, 171, 180, 181,
                              190, 191, 200, 210, 280, 281, 300, 301, 330, 331, 382, 383, 384, 385, 400, 410,
                              411, 420, 421, 430, 431, 432, 490, 530, 540, 550, 560, 570, 580, 590, 591, 592,
                              593, 610, 611, 640, 730, 740, 760, 800, 810, 820, 830, 840, 850, 860, 870, 880,
                              890, 900, 901, 910, 911, 920, 921, 922, 923, 930, 940, 950, 960, 970, 980, 990};
constexpr int kLinuxCncM[] = {0,   10,  20,  30,  40,  50,  60,  70,  80,  90,  300, 480, 490, 500, 510, 520,
                              530, 600, 610, 620, 630, 640, 650, 660, 670, 680, 700, 710, 720, 730, 980, 990};
constexpr std::string_view kLinuxCncLetters = "ABCDEFGHIJKLMNPQRSTUVWXYZ";

constexpr int kGenericG[] = {0,   10,  20,  30,  40,  100, 120, 130, 150, 160, 170, 180, 190, 200,
                             210, 280, 281, 300, 310, 400, 410, 420, 430, 490, 500, 510, 520, 530,
                             540, 550, 560, 570, 580, 590, 600, 610, 640, 730, 800, 810, 820, 830,
                             840, 850, 860, 870, 880, 890, 900, 910, 920, 930, 940, 950, 980, 990};
constexpr int kGenericM[] = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 300, 470, 480, 490, 980, 990};
constexpr std::string_view kGenericLetters = "ABCDFGHIJKLMNOPQRSTUVWXYZ";

template <std::size_t N>
bool Contains(const int (&codes)[N], int code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

// M100..M199 are LinuxCNC's user-defined codes.
bool Accepted(Controller controller, char letter, int code) {
    switch (controller) {
    case Controller::Grbl:
        return letter == 'G' ? Contains(kGrblG, code) : Contains(kGrblM, code);
    case Controller::LinuxCnc:
        return letter == 'G' ? Contains(kLinuxCncG, code)
                             : Contains(kLinuxCncM, code) || (code >= 1000 && code <= 1990 && code % 10 == 0);
    case Controller::Generic:
        return letter == 'G' ? Contains(kGenericG, code) : Contains(kGenericM, code);
    case Controller::None:
        break;
    }
    return true;
}

std::string_view Letters(Controller controller) {
    switch (controller) {
    case Controller::Grbl:
        return kGrblLetters;
    case Controller::LinuxCnc:
        return kLinuxCncLetters;
    case Controller::Generic:
        return kGenericLetters;
    case Controller::None:
        break;
    }
    return {};
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string_view ControllerName(Controller controller) {
    for (const ControllerInfo& info : kControllers) {
        if (info.controller == controller) {
            return info.name;
        }
    }
    return {};
}

std::string_view ControllerTitle(Controller controller) {
    for (const ControllerInfo& info : kControllers) {
        if (info.controller == controller) {
            return info.title;
        }
    }
    return {};
}

std::optional<Controller> ControllerFromName(std::string_view name) {
    for (const ControllerInfo& info : kControllers) {
        if (info.controller != Controller::None && name.size() == info.name.size() &&
            std::equal(name.begin(), name.end(), info.name.begin(),
                       [](char a, char b) { return Upper(a) == Upper(b); })) {
            return info.controller;
        }
    }
    return std::nullopt;
}

std::string_view GrblToolChangeName(GrblToolChange toolChange) {
    switch (toolChange) {
    case GrblToolChange::Sender:
        return "sender";
    case GrblToolChange::Split:
        return "split";
    case GrblToolChange::Pause:
        break;
    }
    return "pause";
}

std::optional<GrblToolChange> GrblToolChangeFromName(std::string_view name) {
    for (const GrblToolChange toolChange : {GrblToolChange::Pause, GrblToolChange::Sender, GrblToolChange::Split}) {
        if (name == GrblToolChangeName(toolChange)) {
            return toolChange;
        }
    }
    return std::nullopt;
}

ToolChangeBlocks PresetBlocks(const PresetOptions& options) {
    ToolChangeBlocks blocks;
    if (options.controller == Controller::None) {
        blocks.before = {"G00 Z30"};
        blocks.after = {"M06", "G00 Z20"};
        return blocks;
    }
    // Every tool change repeats units and absolute mode: the first one is also the program's preamble.
    blocks.before = {"G21 G90", "M05", "G00 Z30"};
    // GRBL has no M06 at all; the others change tools with it when the machine can.
    const bool toolChanger = options.toolChanger && options.controller != Controller::Grbl;
    if (toolChanger) {
        blocks.after.push_back("M06");
    } else if (options.controller == Controller::Grbl && options.grblToolChange == GrblToolChange::Sender) {
        blocks.after.emplace_back(kGrblSenderLine);
    } else if (options.controller == Controller::Grbl) {
        blocks.after.emplace_back(kGrblPauseLine);
    } else {
        // The converter's "Tn" line stands right above, so the operator sees which tool to put in.
        blocks.after.push_back("M00 (change to the tool named above, then resume)");
    }
    blocks.after.push_back("M03 S" + platform::ShortText(options.spindleRpm));
    // LinuxCNC and GRBL both read G04's P in seconds; Mach3 may be set up for milliseconds.
    if (options.controller != Controller::Generic) {
        blocks.after.push_back("G04 P2");
    }
    blocks.after.push_back("F" + platform::ShortText(options.feedMmPerMin));
    blocks.after.push_back("G00 Z20");
    return blocks;
}

std::string BlockText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::size_t MaxLineLength(Controller controller) {
    return controller == Controller::Grbl ? 80 : 0;
}

std::vector<std::string> CodesNotAccepted(Controller controller, std::string_view line) {
    if (controller == Controller::None) {
        return {};
    }
    LineWords words;
    TokenizeLine(line, words);
    return CodesNotAccepted(controller, words);
}

std::vector<std::string> CodesNotAccepted(Controller controller, const LineWords& words) {
    std::vector<std::string> codes;
    if (controller == Controller::None) {
        return codes;
    }
    const std::string_view letters = Letters(controller);
    for (const Word& word : words.words) {
        const char letter = word.Letter();
        if (letters.find(letter) == std::string_view::npos) {
            codes.push_back("word " + word.Text());
            continue;
        }
        if (letter != 'G' && letter != 'M') {
            continue;
        }
        const double tenths = word.value ? *word.value * 10.0 : 0.5;
        const bool readable = word.value && std::fabs(tenths - std::round(tenths)) < 1e-6 && std::fabs(tenths) < 1e6;
        if (!readable || !Accepted(controller, letter, static_cast<int>(std::lround(tenths)))) {
            codes.push_back(letter + word.Digits());
        }
    }
    if (words.unclosedComment != 0) {
        codes.push_back("unclosed comment");
    }
    return codes;
}

} // namespace korvex::gcode
