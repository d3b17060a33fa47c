// Golden files: every folder of tests/data with an input.drl is one conversion, run through the engine with
// the console host and compared byte for byte with the expected program (or the expected error).
//
// Folder contents:
//   input.drl           the drill file
//   args.txt            optional; one korvex-cli option per line ("--z-down 1.5", "--no-line-numbers")
//   expected.cnc        the program; banner lines 4 and 5 hold placeholders, line 1 names ":input.drl"
//   expected-error.txt  instead of expected.cnc when the run must fail: the message, word for word
//   expected-log.txt    optional; the log, with the input named "input.drl" and the output "output.cnc",
//                       without the "Summary: ", "Machine time: " and "Warning: " lines the job adds after
//                       the run
//   expected-summary.txt   optional; the log's "Summary: " line
//   expected-machine-time.txt  optional; the log's "Machine time: " line
//   expected-warnings.txt  optional; the log's "Warning: " lines (an empty file: none)
//
// The run goes through the job step both front ends use, so the reading options of args.txt apply.
//
// UPDATE_GOLDEN=1 rewrites the expected files from what the engine writes now. Read every rewritten file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunConversion.h"
#include "excellon/DrillFileReport.h"
#include "gcode/ControllerPreset.h"
#include "gcode/DrillCycle.h"
#include "job/ConvertJob.h"
#include "order/DrillOrder.h"
#include "platform/DecimalSeparator.h"
#include "tests/support/Files.h"

namespace {

namespace fs = std::filesystem;
using korvex::conversion::ConsoleHost;
using korvex::conversion::ConversionState;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;
using korvex::conversion::RunOutcome;
using korvex::testing::ReadFile;
using korvex::testing::TempFolder;
using korvex::testing::WriteFile;

const char* const kPlaceholderLine4 = "; <maker, release and version>";
const char* const kPlaceholderLine5 = "; <updates>";
const char* const kInputName = "input.drl";
const char* const kOutputName = "output.cnc";

bool UpdateGolden() {
    const char* value = std::getenv("UPDATE_GOLDEN");
    return value != nullptr && std::string(value) == "1";
}

// The window's design values, which korvex-cli also starts from.
struct Settings {
    std::string xOffset = "0";
    std::string yOffset = "0";
    std::string zOffset = "0";
    std::string zUp = "1";
    std::string zDown = "2";
    std::string divisor = "1";
    bool lineNumbers = true;
    int increment = 5;
    std::string before = "G00 Z30\r\n";
    std::string after = "M06\r\nG00 Z20\r\n";
    korvex::job::JobOptions job;
    // -- Controller and verification --
    std::optional<korvex::gcode::PresetOptions> preset;
    bool explicitBefore = false;
    bool explicitAfter = false;
    korvex::conversion::CycleKind cycle = korvex::conversion::CycleKind::Plain;
    double peck = korvex::gcode::kDefaultPeckMm;
    std::optional<double> retractPlane;
};

// --controller NAME, --feed, --spindle, --tool-changer, --tool-change, --verify, --cycle, --peck, --retract-plane;
// false for any other option. A controller's blocks replace the design values unless --before or --after name
// others, as in korvex-cli.
bool ReadControllerArg(const std::string& name, const std::string& value, Settings& settings) {
    if (name == "--controller") {
        settings.preset.emplace();
        settings.preset->controller = korvex::gcode::ControllerFromName(value).value();
        settings.job.controller = settings.preset->controller;
    } else if (name == "--feed") {
        settings.preset.value().feedMmPerMin = std::stod(value);
    } else if (name == "--spindle") {
        settings.preset.value().spindleRpm = std::stod(value);
    } else if (name == "--tool-changer") {
        settings.preset.value().toolChanger = true;
    } else if (name == "--tool-change") {
        settings.preset.value().grblToolChange = korvex::gcode::GrblToolChangeFromName(value).value();
        settings.job.grblToolChange = settings.preset->grblToolChange;
    } else if (name == "--verify") {
        settings.job.verify = true;
    } else if (name == "--cycle") {
        settings.cycle = korvex::gcode::CycleFromName(value).value();
    } else if (name == "--peck") {
        settings.peck = std::stod(value);
    } else if (name == "--retract-plane") {
        settings.retractPlane = std::stod(value);
    } else {
        return false;
    }
    return true;
}

void ApplyController(Settings& settings) {
    if (!settings.preset) {
        return;
    }
    settings.job.machine.feedMmPerMin = settings.preset->feedMmPerMin;
    const korvex::gcode::ToolChangeBlocks blocks = korvex::gcode::PresetBlocks(*settings.preset);
    if (!settings.explicitBefore) {
        settings.before = korvex::gcode::BlockText(blocks.before);
    }
    if (!settings.explicitAfter) {
        settings.after = korvex::gcode::BlockText(blocks.after);
    }
    settings.job.cycle =
        korvex::gcode::CycleWords(settings.cycle, *settings.preset, settings.peck, settings.retractPlane);
}

// "--order file|short".
bool ReadOrderOption(const std::string& name, const std::string& value, korvex::job::JobOptions& job) {
    if (name != "--order") {
        return false;
    }
    job.order = korvex::order::ParseDrillOrder(value).value();
    return true;
}

// "--rapid-xy", "--rapid-z", "--tool-change-time", each with its number.
bool ReadMachineOption(const std::string& name, const std::string& value, korvex::gcode::MachineModel& machine) {
    double* target = name == "--rapid-xy"           ? &machine.rapidXyMmPerMin
                     : name == "--rapid-z"          ? &machine.rapidZMmPerMin
                     : name == "--tool-change-time" ? &machine.toolChangeSeconds
                                                    : nullptr;
    if (target != nullptr) {
        *target = std::stod(value);
    }
    return target != nullptr;
}

// One option per line: "--name value" (the value is everything after the first blank) or "--name".
Settings ReadArgs(const fs::path& folder) {
    Settings settings;
    const fs::path path = folder / "args.txt";
    if (!fs::exists(path)) {
        return settings;
    }
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const std::size_t blank = line.find(' ');
        const std::string name = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (name == "--x-offset") {
            settings.xOffset = value;
        } else if (name == "--y-offset") {
            settings.yOffset = value;
        } else if (name == "--z-offset") {
            settings.zOffset = value;
        } else if (name == "--z-up") {
            settings.zUp = value;
        } else if (name == "--z-down") {
            settings.zDown = value;
        } else if (name == "--divisor") {
            settings.divisor = value;
        } else if (name == "--line-numbers") {
            settings.lineNumbers = true;
        } else if (name == "--no-line-numbers") {
            settings.lineNumbers = false;
        } else if (name == "--increment") {
            settings.increment = std::stoi(value);
        } else if (name == "--before") {
            settings.before = ReadFile(folder / value);
            settings.explicitBefore = true;
        } else if (name == "--after") {
            settings.after = ReadFile(folder / value);
            settings.explicitAfter = true;
        } else if (ReadControllerArg(name, value, settings)) {
        } else if (name == "--excellon") {
            settings.job.reading.excellon = true;
        } else if (name == "--units") {
            settings.job.reading.excellon = true;
            settings.job.reading.units = korvex::excellon::ParseUnits(value).value();
        } else if (name == "--number-format") {
            const korvex::excellon::NumberFormat format = korvex::excellon::ParseNumberFormat(value).value();
            settings.job.reading.excellon = true;
            settings.job.reading.integerDigits = format.integerDigits;
            settings.job.reading.decimalDigits = format.decimalDigits;
        } else if (name == "--zeros") {
            settings.job.reading.excellon = true;
            settings.job.reading.zeros = korvex::excellon::ParseZeros(value).value();
        } else if (ReadOrderOption(name, value, settings.job)) {
        } else if (ReadMachineOption(name, value, settings.job.machine)) {
        } else {
            throw std::runtime_error(path.string() + ": unknown option " + line);
        }
    }
    ApplyController(settings);
    return settings;
}

struct RunResult {
    bool finished = false;
    std::optional<std::string> error;
    std::string log;
};

std::string NormaliseLog(std::string log, const std::string& input, const std::string& output);

RunResult Convert(const Settings& settings, const std::string& input, const std::string& output) {
    korvex::platform::SetDecimalSeparator('.');
    ConversionState state; // every case starts from a freshly started program
    state.LineNumbersOn = settings.lineNumbers;
    state.LineNumberIncrement = settings.increment;

    std::ostringstream log;
    ConsoleHost host(log, false);
    host.SetField(Field::InputFileName, input);
    host.SetField(Field::OutputFileName, output);
    host.SetField(Field::XOffset, settings.xOffset);
    host.SetField(Field::YOffset, settings.yOffset);
    host.SetField(Field::ZOffset, settings.zOffset);
    host.SetField(Field::ZUp, settings.zUp);
    host.SetField(Field::ZDown, settings.zDown);
    host.SetField(Field::Divisor, settings.divisor);
    host.SetMacroText(HostMacro::Before, settings.before);
    host.SetMacroText(HostMacro::After, settings.after);

    RunResult result;
    try {
        result.finished = korvex::job::ConvertJob(state, host, settings.job).outcome == RunOutcome::Finished;
    } catch (const std::exception& error) {
        // Some messages name the input ("no drill data in FILE").
        result.error = NormaliseLog(error.what(), input, output);
    }
    result.log = log.str();
    return result;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Banner line 1 names the input as it was given; lines 4 and 5 are free text that changes with every
// release. Both are brought into the form the expected files hold.
std::string NormaliseProgram(std::string program, const std::string& input) {
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < program.size() && starts.size() < 6; ++i) {
        if (program[i] == '\n') {
            starts.push_back(i + 1);
        }
    }
    if (starts.size() < 6) {
        return program;
    }
    auto replaceLine = [&](std::size_t index, const std::string& text) {
        const std::size_t begin = starts[index];
        const std::size_t end = starts[index + 1] - 2; // before CR LF
        if (program.compare(end, 2, "\r\n") != 0) {
            return;
        }
        const std::size_t oldLength = end - begin;
        program.replace(begin, oldLength, text);
        for (std::size_t i = index + 1; i < starts.size(); ++i) {
            starts[i] = starts[i] - oldLength + text.size();
        }
    };
    const std::string line1 = "; Conversion of file :" + input + " to CNC-code";
    if (program.compare(0, line1.size() + 2, line1 + "\r\n") == 0) {
        replaceLine(0, std::string("; Conversion of file :") + kInputName + " to CNC-code");
    }
    if (program.compare(starts[3], 2, "; ") == 0) {
        replaceLine(3, kPlaceholderLine4);
    }
    if (program.compare(starts[4], 2, "; ") == 0) {
        replaceLine(4, kPlaceholderLine5);
    }
    return program;
}

std::string NormaliseLog(std::string log, const std::string& input, const std::string& output) {
    ReplaceAll(log, output, kOutputName);
    ReplaceAll(log, input, kInputName);
    return log;
}

// The job's lines after the run, taken out of the log: they are compared only where a folder expects them.
struct SplitLog {
    std::string log;
    std::string summary;
    std::string machineTime;
    std::string warnings;
};

SplitLog SplitJobLines(const std::string& log) {
    SplitLog split;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        std::string& target = line.rfind("Summary: ", 0) == 0        ? split.summary
                              : line.rfind("Machine time: ", 0) == 0 ? split.machineTime
                              : line.rfind("Warning: ", 0) == 0      ? split.warnings
                                                                     : split.log;
        target += line + "\n";
    }
    return split;
}

std::string Visible(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (byte < 0x20 || byte >= 0x7F) {
            static const char* const kHex = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

// Byte for byte; on a difference, names the first line that differs instead of printing both files.
void ExpectSameText(const std::string& expected, const std::string& actual, const std::string& what) {
    if (expected == actual) {
        return;
    }
    std::istringstream expectedLines(expected);
    std::istringstream actualLines(actual);
    std::string e;
    std::string a;
    for (int line = 1;; ++line) {
        const bool haveExpected = static_cast<bool>(std::getline(expectedLines, e));
        const bool haveActual = static_cast<bool>(std::getline(actualLines, a));
        if (!haveExpected && !haveActual) {
            ADD_FAILURE() << what << " differs in its last line end";
            return;
        }
        if (!haveExpected || !haveActual || e != a) {
            ADD_FAILURE() << what << " differs first in line " << line
                          << "\n  expected: " << (haveExpected ? "\"" + Visible(e) + "\"" : "(end of file)")
                          << "\n  actual:   " << (haveActual ? "\"" + Visible(a) + "\"" : "(end of file)");
            return;
        }
    }
}

std::string WithoutFinalLineEnd(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

struct GoldenCase {
    std::string name;
    fs::path folder;
};

// Test listings show the case by its folder name.
void PrintTo(const GoldenCase& goldenCase, std::ostream* out) {
    *out << goldenCase.name;
}

std::vector<GoldenCase> ListCases() {
    std::vector<GoldenCase> cases;
    for (const auto& entry : fs::directory_iterator(KORVEX_GOLDEN_DATA_DIR)) {
        if (entry.is_directory() && fs::exists(entry.path() / "input.drl")) {
            cases.push_back({entry.path().filename().string(), entry.path()});
        }
    }
    std::sort(cases.begin(), cases.end(), [](const GoldenCase& a, const GoldenCase& b) { return a.name < b.name; });
    return cases;
}

std::string TestName(const testing::TestParamInfo<GoldenCase>& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class GoldenTest : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, ConvertsAsExpected) {
    const fs::path& folder = GetParam().folder;
    const Settings settings = ReadArgs(folder);
    const std::string input = (folder / kInputName).string();
    const fs::path expectedProgramPath = folder / "expected.cnc";
    const fs::path expectedErrorPath = folder / "expected-error.txt";
    const fs::path expectedLogPath = folder / "expected-log.txt";

    TempFolder temp("korvex-golden");
    const std::string output = (temp.Path() / kOutputName).string();
    const RunResult result = Convert(settings, input, output);
    const SplitLog split = SplitJobLines(NormaliseLog(result.log, input, output));
    const std::string& log = split.log;
    const fs::path expectedSummaryPath = folder / "expected-summary.txt";
    const fs::path expectedMachineTimePath = folder / "expected-machine-time.txt";
    const fs::path expectedWarningsPath = folder / "expected-warnings.txt";

    if (UpdateGolden()) {
        if (result.error) {
            WriteFile(expectedErrorPath, *result.error + "\n");
            fs::remove(expectedProgramPath);
        } else {
            ASSERT_TRUE(result.finished) << "the run ended early; log:\n" << result.log;
            WriteFile(expectedProgramPath, NormaliseProgram(ReadFile(output), input));
            fs::remove(expectedErrorPath);
        }
        if (fs::exists(expectedLogPath)) {
            WriteFile(expectedLogPath, log);
        }
        if (fs::exists(expectedSummaryPath)) {
            WriteFile(expectedSummaryPath, split.summary);
        }
        if (fs::exists(expectedMachineTimePath)) {
            WriteFile(expectedMachineTimePath, split.machineTime);
        }
        if (fs::exists(expectedWarningsPath)) {
            WriteFile(expectedWarningsPath, split.warnings);
        }
        std::cout << "rewritten: " << folder.string() << '\n';
        return;
    }

    if (fs::exists(expectedErrorPath)) {
        ASSERT_TRUE(result.error.has_value()) << "the run did not fail";
        EXPECT_EQ(*result.error, WithoutFinalLineEnd(ReadFile(expectedErrorPath)));
        EXPECT_TRUE(temp.Entries().empty()) << "an unfinished program was left behind";

        // An older program of the same name is kept whole when the new one fails.
        const std::string older = "; an older program\r\nM30\r\n";
        WriteFile(output, older);
        const RunResult again = Convert(settings, input, output);
        EXPECT_EQ(again.error, result.error);
        EXPECT_EQ(ReadFile(output), older);
        EXPECT_EQ(temp.Entries(), std::vector<std::string>{kOutputName});
    } else {
        ASSERT_FALSE(result.error.has_value()) << *result.error;
        ASSERT_TRUE(result.finished) << "the run ended early; log:\n" << result.log;
        EXPECT_EQ(temp.Entries(), std::vector<std::string>{kOutputName});
        ExpectSameText(ReadFile(expectedProgramPath), NormaliseProgram(ReadFile(output), input), "the program");
    }
    if (fs::exists(expectedLogPath)) {
        ExpectSameText(ReadFile(expectedLogPath), log, "the log");
    }
    if (fs::exists(expectedSummaryPath)) {
        ExpectSameText(ReadFile(expectedSummaryPath), split.summary, "the summary line");
    }
    if (fs::exists(expectedMachineTimePath)) {
        ExpectSameText(ReadFile(expectedMachineTimePath), split.machineTime, "the machine time");
    }
    if (fs::exists(expectedWarningsPath)) {
        ExpectSameText(ReadFile(expectedWarningsPath), split.warnings, "the warnings");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, testing::ValuesIn(ListCases()), TestName);

} // namespace
