// korvex-cli as a user runs it: the built program is started in a temporary folder and judged by its exit
// status, its standard output and error, and the files it leaves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunConversion.h"
#include "platform/DecimalSeparator.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"

namespace {

namespace fs = std::filesystem;
using korvex::conversion::ConsoleHost;
using korvex::conversion::ConversionState;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;
using korvex::testing::EntryNames;
using korvex::testing::MakeTempFolder;
using korvex::testing::ProcessResult;
using korvex::testing::ReadFile;
using korvex::testing::WriteFile;

constexpr int kExitFinished = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The worked example of a small board: header with two tools, two tool changes, three holes, M30.
// The worked example with "Y7.0" for its "Y7", which the Excellon reading would take as 0.007 mm: the same
// program, and both readings agree on it.
const char* const kDrillFile = "M48\r\nM71\r\nT1C0.8\r\nT2C1.0Z-1.5B3\r\n%\r\nT1\r\nX10.0Y20.0\r\nX15.5Y20.0\r\n"
                               "T2\r\nX-3.25Y7.0\r\nM30\r\n";

// Lines 4 and 5 of the banner are free text that changes with every release.
std::string WithoutFreeBannerLines(const std::string& program) {
    std::istringstream lines(program);
    std::string result;
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (number == 4 || number == 5) {
            EXPECT_EQ(line.rfind("; ", 0), 0u) << "banner line " << number << ": " << line;
            line = number == 4 ? "; <maker, release and version>\r" : "; <updates>\r";
        }
        result += line + "\n";
    }
    if (!program.empty() && program.back() != '\n') {
        result.pop_back();
    }
    return result;
}

// Names the rows of a parameterised test after their `name` field.
template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("korvex-cli-test");
        streams_ = MakeTempFolder("korvex-cli-streams");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        fs::remove_all(streams_, ignored);
    }

    // Runs korvex-cli with the work folder as its working directory; stdin is empty.
    ProcessResult Run(const std::vector<std::string>& args) const { return RunWithInput(args, "/dev/null"); }

    // The same with standard input read from `stdinPath`, and standard output written to `stdoutPath` (then
    // not read back) when one is given.
    ProcessResult RunWithInput(const std::vector<std::string>& args, const fs::path& stdinPath,
                               const fs::path& stdoutPath = {}) const {
        const fs::path outPath = stdoutPath.empty() ? streams_ / "stdout" : stdoutPath;
        return korvex::testing::RunProgram(KORVEX_CLI_PATH, args, folder_, stdinPath, outPath, streams_ / "stderr",
                                           !stdoutPath.empty());
    }

    fs::path folder_;
    fs::path streams_;
};

// What the engine writes for `input` with the window's design values, run in this process.
std::string EngineProgram(const std::string& input, const std::vector<std::pair<Field, std::string>>& changes,
                          bool lineNumbers = true, int increment = 5) {
    korvex::platform::SetDecimalSeparator('.');
    ConversionState state;
    state.LineNumbersOn = lineNumbers;
    state.LineNumberIncrement = increment;
    std::ostringstream log;
    ConsoleHost host(log, true);
    const fs::path outputFolder = MakeTempFolder("korvex-cli-engine");
    const fs::path output = outputFolder / "engine.cnc";
    korvex::testing::SetDesignValues(host, input, output.string());
    for (const auto& [field, text] : changes) {
        host.SetField(field, text);
    }
    std::string program;
    if (korvex::conversion::RunConversion(state, host) == korvex::conversion::RunOutcome::Finished) {
        program = ReadFile(output);
    }
    fs::remove_all(outputFolder);
    return program;
}

// ---------------------------------------------------------------------------------------------------------
// A finished conversion

TEST_F(CliTest, DefaultsAreTheWindowsDesignValues) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult result = Run({"input.drl"});
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(EntryNames(folder_), (std::vector<std::string>{"input.CNC", "input.drl"}));

    const fs::path golden = fs::path(KORVEX_GOLDEN_DATA_DIR) / "worked-example-numbered";
    EXPECT_EQ(WithoutFreeBannerLines(ReadFile(folder_ / "input.CNC")), ReadFile(golden / "expected.cnc"));
    EXPECT_EQ(result.err, "do conversion with the following parameters:\n"
                          "convert file: input.drl to file: input.CNC\n"
                          "xoffsett...0\n"
                          "yOffsett 0\n"
                          "zauf...1\n"
                          "zab...2\n"
                          "Start processing of input.CNC ...\n"
                          "Conversion finished\n"
                          "Summary: 3 holes, 0 slots, 0 routes; X -3.250 to 15.500 mm, Y 7.000 to 20.000 mm\n"
                          "Machine time: 1 min 15 s (rapids 0:09, plunges 0:06, milling 0:00, 2 tool changes 1:00)\n");
}

struct SameAsEngineRow {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<Field, std::string>> fields;
    bool lineNumbers;
    int increment;
};

void PrintTo(const SameAsEngineRow& row, std::ostream* out) {
    *out << row.name;
}

class CliSameAsEngineTest : public CliTest, public testing::WithParamInterface<SameAsEngineRow> {};

TEST_P(CliSameAsEngineTest, WritesTheEnginesProgram) {
    const SameAsEngineRow& row = GetParam();
    const fs::path input = folder_ / "board.drl";
    WriteFile(input, std::string(kDrillFile) + "M72\r\nX01000Y-2540\r\n");
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"-o", "board.nc", input.string()});
    const ProcessResult result = Run(args);
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_EQ(ReadFile(folder_ / "board.nc"),
              EngineProgram(input.string(), row.fields, row.lineNumbers, row.increment));
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliSameAsEngineTest,
    testing::Values(
        SameAsEngineRow{"defaults", {}, {}, true, 5},
        SameAsEngineRow{"no_line_numbers", {"--no-line-numbers"}, {}, false, 5},
        SameAsEngineRow{
            "line_numbers_increment_1", {"--no-line-numbers", "--line-numbers", "--increment", "1"}, {}, true, 1},
        SameAsEngineRow{"increment_50_with_equals", {"--increment=50"}, {}, true, 50},
        SameAsEngineRow{"z_words",
                        {"--z-offset", "0.5", "--z-up", "3", "--z-down", "1.25"},
                        {{Field::ZOffset, "0.5"}, {Field::ZUp, "3"}, {Field::ZDown, "1.25"}},
                        true,
                        5},
        SameAsEngineRow{"offsets_and_divisor",
                        {"--x-offset", "5", "--y-offset", "-2.5", "--divisor", "10"},
                        {{Field::XOffset, "5"}, {Field::YOffset, "-2.5"}, {Field::Divisor, "10"}},
                        true,
                        5}),
    RowName<SameAsEngineRow>);

TEST_F(CliTest, ToolChangeBlocksComeFromFiles) {
    WriteFile(folder_ / "input.drl", "M71\r\nT1\r\nX1.Y1.\r\n");
    WriteFile(folder_ / "before.txt", "M05\n\nG00 Z40\n");
    WriteFile(folder_ / "after.txt", "");
    const ProcessResult result = Run({"--before", "before.txt", "--after", "after.txt", "--quiet", "input.drl"});
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string program = ReadFile(folder_ / "input.CNC");
    EXPECT_NE(program.find("; M71\r\nN00000 M05\r\nN00005 \r\nN00010 G00 Z40\r\nN00015 T1\r\nN00020 G00 Z1.00\r\n"),
              std::string::npos)
        << program;
}

TEST_F(CliTest, DashOutputWritesOnlyTheProgramToStandardOutput) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult result = Run({"-o", "-", "input.drl"});
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_EQ(WithoutFreeBannerLines(result.out),
              ReadFile(fs::path(KORVEX_GOLDEN_DATA_DIR) / "worked-example-numbered" / "expected.cnc"));
    EXPECT_NE(result.err.find("Conversion finished\n"), std::string::npos) << result.err;
    EXPECT_EQ(EntryNames(folder_), std::vector<std::string>{"input.drl"});

    const ProcessResult toFile = Run({"-o", "file.cnc", "input.drl"});
    ASSERT_EQ(toFile.exitCode, kExitFinished) << toFile.err;
    EXPECT_EQ(result.out, ReadFile(folder_ / "file.cnc"));
}

struct OutputNameRow {
    const char* name;
    std::string input; // relative to the work folder
    std::string expectedOutput;
};

void PrintTo(const OutputNameRow& row, std::ostream* out) {
    *out << row.name;
}

class CliOutputNameTest : public CliTest, public testing::WithParamInterface<OutputNameRow> {};

TEST_P(CliOutputNameTest, DefaultsToTheInputsFolderAndBaseName) {
    const OutputNameRow& row = GetParam();
    fs::create_directories((folder_ / row.input).parent_path());
    WriteFile(folder_ / row.input, "M71\r\nX1Y1\r\n");
    const ProcessResult result = Run({"-q", row.input});
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_TRUE(fs::is_regular_file(folder_ / row.expectedOutput));
}

INSTANTIATE_TEST_SUITE_P(Names, CliOutputNameTest,
                         testing::Values(OutputNameRow{"bare", "board.drl", "board.CNC"},
                                         OutputNameRow{"folder", "cam/board.drl", "cam/board.CNC"},
                                         OutputNameRow{"no_extension", "cam/board", "cam/board.CNC"},
                                         OutputNameRow{"last_dot_only", "cam/board.v2.drl", "cam/board.v2.CNC"},
                                         OutputNameRow{"dot_in_folder", "cam.v1/board", "cam.v1/board.CNC"}),
                         RowName<OutputNameRow>);

// Accepted spellings of one command line: each must give the program the plain form gives.
struct SpellingRow {
    const char* name;
    std::vector<std::string> args; // converts input.drl (or standard input) to out.cnc
};

void PrintTo(const SpellingRow& row, std::ostream* out) {
    *out << row.name;
}

class CliSpellingTest : public CliTest, public testing::WithParamInterface<SpellingRow> {};

TEST_P(CliSpellingTest, GivesThePlainFormsProgram) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult plain = Run({"--quiet", "--z-down", "1.5", "--output", "plain.cnc", "input.drl"});
    ASSERT_EQ(plain.exitCode, kExitFinished) << plain.err;
    const ProcessResult result = Run(GetParam().args);
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string program = ReadFile(folder_ / "out.cnc");
    EXPECT_EQ(program.substr(program.find("\r\n;")), ReadFile(folder_ / "plain.cnc").substr(program.find("\r\n;")));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CliSpellingTest,
    testing::Values(SpellingRow{"bundled_short", {"-qoout.cnc", "--z-down=1.5", "input.drl"}},
                    SpellingRow{"short_value_apart", {"-q", "-o", "out.cnc", "--z-down", "1.5", "input.drl"}},
                    SpellingRow{"abbreviated", {"--qui", "--z-d", "1.5", "--out=out.cnc", "input.drl"}},
                    SpellingRow{"options_after_input", {"input.drl", "-q", "--z-down", "1.5", "-o", "out.cnc"}},
                    SpellingRow{"double_dash", {"-q", "--z-down", "1.5", "-o", "out.cnc", "--", "input.drl"}}),
    RowName<SpellingRow>);

TEST_F(CliTest, DashReadsTheDrillFileFromStandardInput) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult fromFile = Run({"-q", "-o", "file.cnc", "input.drl"});
    ASSERT_EQ(fromFile.exitCode, kExitFinished) << fromFile.err;
    const ProcessResult result = RunWithInput({"-q", "-o", "-", "-"}, folder_ / "input.drl");
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    const std::string program = ReadFile(folder_ / "file.cnc");
    EXPECT_EQ(result.out.substr(result.out.find("\r\n;")), program.substr(program.find("\r\n;")));
}

// ---------------------------------------------------------------------------------------------------------
// Failures: exit 1 with the reason on standard error, also when quiet

struct FailureRow {
    const char* name;
    std::string drillFile;          // written as input.drl unless empty
    std::vector<std::string> args;  // the input name is among them
    std::string expectedErrorLines; // whole lines of standard error
};

void PrintTo(const FailureRow& row, std::ostream* out) {
    *out << row.name;
}

std::string FailureRowName(const testing::TestParamInfo<std::tuple<FailureRow, bool>>& row) {
    return std::string(std::get<0>(row.param).name) + (std::get<1>(row.param) ? "_quiet" : "");
}

class CliFailureTest : public CliTest, public testing::WithParamInterface<std::tuple<FailureRow, bool>> {};

TEST_P(CliFailureTest, ExitsWithOneAndTheReason) {
    const auto& [row, quiet] = GetParam();
    if (!row.drillFile.empty()) {
        WriteFile(folder_ / "input.drl", row.drillFile);
    }
    const std::vector<std::string> before = EntryNames(folder_);
    std::vector<std::string> args = row.args;
    if (quiet) {
        args.insert(args.begin(), "--quiet");
    }
    const ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_NE(("\n" + result.err).find("\n" + row.expectedErrorLines + "\n"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(EntryNames(folder_), before) << "no output may be left behind";
    if (quiet) {
        EXPECT_EQ(result.err, row.expectedErrorLines + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, CliFailureTest,
    testing::Combine(
        testing::Values(
            FailureRow{"missing_input", "", {"missing.drl"}, "korvex-cli: missing.drl: No such file or directory"},
            FailureRow{"excellon_missing_input",
                       "",
                       {"--excellon", "missing.drl"},
                       "korvex-cli: missing.drl: No such file or directory"},
            FailureRow{"input_is_a_folder", "", {"-o", "x.cnc", "."}, "korvex-cli: .: Is a directory"},
            FailureRow{"output_folder_missing",
                       kDrillFile,
                       {"-o", "no/such/folder/out.cnc", "input.drl"},
                       "korvex-cli: no/such/folder/out.cnc: No such file or directory"},
            FailureRow{"output_is_a_folder", kDrillFile, {"-o", ".", "input.drl"}, "korvex-cli: .: Is a directory"},
            // The engine's message shows the value as last retried, with commas; the line quotes the file.
            FailureRow{"bad_coordinate",
                       "M71\r\nX1Y1\r\nX1.2.3\r\nM30\r\n",
                       {"input.drl"},
                       "korvex-cli: input.drl:3: Can not convert value 1.2.3"},
            FailureRow{"excellon_bad_coordinate",
                       "M48\r\nMETRIC,TZ\r\nT1C0.8\r\n%\r\nT1\r\nX1Y1\r\nX1.2.3Y1\r\nM30\r\n",
                       {"--excellon", "input.drl"},
                       "korvex-cli: input.drl:7: Can not read \"X1.2.3\": X1.2.3Y1"},
            FailureRow{
                "empty_coordinate", "M71\r\nX\r\n", {"input.drl"}, "korvex-cli: input.drl:2: Can not convert value "},
            FailureRow{"inch_x_overflow",
                       "X0Y0\r\nX1000000000000\r\n",
                       {"--divisor", "1e-300", "input.drl"},
                       "korvex-cli: input.drl:2: Value out of range: X1000000000000"},
            FailureRow{"metric_y_offset_overflow",
                       "M71\r\nX1Y1" + std::string(308, '0') + "\r\n",
                       {"--y-offset", "1e308", "input.drl"},
                       "korvex-cli: input.drl:2: Value out of range: Y1" + std::string(308, '0')},
            FailureRow{"exponent_coordinate",
                       "M71\r\nX1Y1\r\nX1" + std::string(36, '0') + "\r\n",
                       {"input.drl"},
                       "korvex-cli: input.drl:3: Value out of range: X1" + std::string(36, '0')},
            FailureRow{"excellon_exponent_coordinate",
                       "M48\r\nMETRIC\r\nT1C1.0\r\n%\r\nT1\r\nX1.0Y1.0\r\nX1" + std::string(36, '0') +
                           ".0Y1.0\r\nM30\r\n",
                       {"--excellon", "input.drl"},
                       "korvex-cli: Value out of range: X1.00000E+36"},
            FailureRow{"z_down_exponent",
                       kDrillFile,
                       {"--z-down", "1e36", "input.drl"},
                       "korvex-cli: Value out of range: z offset 0 - z down 1e36"},
            FailureRow{"z_up_overflow",
                       kDrillFile,
                       {"--z-offset", "1e308", "--z-up", "1e308", "input.drl"},
                       "korvex-cli: Value out of range: z offset 1e308 + z up 1e308"}),
        testing::Bool()),
    FailureRowName);

TEST_F(CliTest, FailedConversionKeepsAnOlderProgram) {
    WriteFile(folder_ / "input.drl", "M71\r\nX1Y1\r\nX1-2\r\n");
    const std::string older = "; the program of yesterday\r\nM30\r\n";
    WriteFile(folder_ / "input.CNC", older);
    const ProcessResult result = Run({"-q", "input.drl"});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_EQ(result.err, "korvex-cli: input.drl:3: Can not convert value 1-2\n");
    EXPECT_EQ(ReadFile(folder_ / "input.CNC"), older);
    EXPECT_EQ(EntryNames(folder_), (std::vector<std::string>{"input.CNC", "input.drl"}));
}

// The drill file must survive being named as its own output, whatever name reaches it.
struct SameFileRow {
    const char* name;
    const char* link; // "" for the drill file itself, "hard" or "symbolic"
};

void PrintTo(const SameFileRow& row, std::ostream* out) {
    *out << row.name;
}

class CliSameFileTest : public CliTest, public testing::WithParamInterface<SameFileRow> {};

TEST_P(CliSameFileTest, RefusesToOverwriteTheInput) {
    const SameFileRow& row = GetParam();
    const std::string drill = kDrillFile;
    WriteFile(folder_ / "board.drl", drill);
    std::string outputName = "board.drl";
    if (std::string(row.link) == "hard") {
        fs::create_hard_link(folder_ / "board.drl", folder_ / "alias.drl");
        outputName = "alias.drl";
    } else if (std::string(row.link) == "symbolic") {
        fs::create_symlink("board.drl", folder_ / "alias.drl");
        outputName = "alias.drl";
    }
    const std::vector<std::string> before = EntryNames(folder_);
    const ProcessResult result = Run({"-q", "-o", outputName, "board.drl"});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_EQ(result.err, "korvex-cli: " + outputName + ": it is the drill file being converted\n");
    EXPECT_EQ(ReadFile(folder_ / "board.drl"), drill);
    EXPECT_EQ(EntryNames(folder_), before);
}

INSTANTIATE_TEST_SUITE_P(Names, CliSameFileTest,
                         testing::Values(SameFileRow{"same_name", ""}, SameFileRow{"hard_link", "hard"},
                                         SameFileRow{"symbolic_link", "symbolic"}),
                         RowName<SameFileRow>);

// ---------------------------------------------------------------------------------------------------------
// Usage

struct UsageRow {
    const char* name;
    std::vector<std::string> args;
    std::string expectedMessage; // first line of standard error
};

void PrintTo(const UsageRow& row, std::ostream* out) {
    *out << row.name;
}

class CliUsageTest : public CliTest, public testing::WithParamInterface<UsageRow> {};

TEST_P(CliUsageTest, ExitsWithTwo) {
    const UsageRow& row = GetParam();
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult result = Run(row.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "korvex-cli: " + row.expectedMessage + "\nTry 'korvex-cli --help'.\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(EntryNames(folder_), std::vector<std::string>{"input.drl"});
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CliUsageTest,
    testing::Values(
        UsageRow{"unknown_option", {"--frobnicate", "input.drl"}, "unknown option --frobnicate"},
        UsageRow{"missing_input", {"--z-up", "2"}, "no INPUT file given"},
        UsageRow{"no_arguments", {}, "no INPUT file given"},
        UsageRow{"two_inputs", {"input.drl", "other.drl"}, "only one INPUT file can be converted at a time"},
        UsageRow{"increment_7", {"--increment", "7", "input.drl"}, "--increment must be 1, 5, 10 or 50, not '7'"},
        UsageRow{"bad_order", {"--order=fast", "input.drl"}, "--order must be file or short, not 'fast'"},
        UsageRow{"option_without_value", {"input.drl", "--z-down"}, "option --z-down needs a value"},
        UsageRow{"bad_divisor", {"--divisor", "abc", "input.drl"}, "--divisor: 'abc' is not a number"},
        UsageRow{"bad_z_up", {"--z-up=abc", "input.drl"}, "--z-up: 'abc' is not a number"},
        UsageRow{"bad_z_down", {"--z-down", "1,5", "input.drl"}, "--z-down: '1,5' is not a number"},
        UsageRow{"bad_x_offset", {"--x-off", "", "input.drl"}, "--x-offset: '' is not a number"},
        UsageRow{
            "ambiguous", {"--z", "1", "input.drl"}, "option --z is ambiguous (--z-offset, --z-up, --z-down, --zeros)"},
        UsageRow{"value_for_a_flag", {"--quiet=yes", "input.drl"}, "option --quiet takes no value"},
        UsageRow{"unknown_short", {"-x", "input.drl"}, "unknown option -x"},
        UsageRow{"short_without_value", {"input.drl", "-o"}, "option -o needs a value"},
        UsageRow{"standard_input_without_output",
                 {"-"},
                 "the drill file comes from standard input: name the output with -o"},
        UsageRow{"units_cm", {"--units", "cm", "input.drl"}, "--units must be inch or mm, not 'cm'"},
        UsageRow{"number_format_dot",
                 {"--number-format=2.4", "input.drl"},
                 "--number-format must be integer:decimal digits such as 2:4, not '2.4'"},
        UsageRow{"number_format_zero",
                 {"--number-format=0:0", "input.drl"},
                 "--number-format must be integer:decimal digits such as 2:4, not '0:0'"},
        UsageRow{"number_format_wide",
                 {"--number-format=10:4", "input.drl"},
                 "--number-format must be integer:decimal digits such as 2:4, not '10:4'"},
        UsageRow{"zeros_none", {"--zeros", "none", "input.drl"}, "--zeros must be LZ or TZ, not 'none'"},
        UsageRow{"excellon_with_value", {"--excellon=yes", "input.drl"}, "option --excellon takes no value"},
        UsageRow{"tool_change_unknown",
                 {"--controller", "grbl", "--tool-change", "m6", "input.drl"},
                 "--tool-change must be pause, sender or split, not 'm6'"},
        UsageRow{"tool_change_without_controller",
                 {"--tool-change", "sender", "input.drl"},
                 "--tool-change needs --controller grbl"},
        UsageRow{"tool_change_for_linuxcnc",
                 {"--controller", "linuxcnc", "--tool-change", "split", "input.drl"},
                 "--tool-change is for --controller grbl; the other controllers change tools with M06 or pause"},
        UsageRow{"split_to_standard_output",
                 {"--controller", "grbl", "--tool-change", "split", "-o", "-", "input.drl"},
                 "--tool-change split writes one program per tool beside the output: name it with -o"},
        UsageRow{"cycle_on_grbl",
                 {"--controller", "grbl", "--cycle", "g81", "input.drl"},
                 "--cycle g81: GRBL 1.1 has no canned drilling cycles; use --cycle plain"},
        UsageRow{"cycle_without_controller",
                 {"--cycle=g83", "input.drl"},
                 "--cycle g81 and g83 need --controller linuxcnc or generic (the cycle's F is its --feed)"},
        UsageRow{"cycle_g82", {"--cycle", "g82", "input.drl"}, "--cycle must be plain, g81 or g83, not 'g82'"},
        UsageRow{"peck_without_g83",
                 {"--controller", "linuxcnc", "--cycle", "g81", "--peck", "0.5", "input.drl"},
                 "--peck needs --cycle g83"},
        UsageRow{"picture_of_standard_output",
                 {"--svg", "pic.svg", "-o", "-", "input.drl"},
                 "--svg draws the program from its file: name the output with -o"},
        UsageRow{"drills_not_a_diameter",
                 {"--drills", "0.3,0.4mm", "input.drl"},
                 "--drills: item 2 ('0.4mm') is no diameter in mm"},
        UsageRow{"drills_twice",
                 {"--drills", "0.3", "--drills", "0.4", "input.drl"},
                 "--drills and --rack name the drills once, not twice"},
        UsageRow{"drill_tolerance_alone",
                 {"--drill-tolerance", "0.1", "--mill", "1", "input.drl"},
                 "--drill-tolerance needs --drills or --rack"},
        UsageRow{"mill_zero", {"--mill", "0", "input.drl"}, "--mill: '0' is no diameter in mm (0 to 100)"}),
    RowName<UsageRow>);

INSTANTIATE_TEST_SUITE_P(
    BoardSide, CliUsageTest,
    testing::Values(
        UsageRow{"mirror_z", {"--excellon", "--mirror", "z", "input.drl"}, "--mirror must be x or y, not 'z'"},
        UsageRow{"mirror_without_excellon", {"--mirror", "x", "input.drl"}, "--mirror needs --excellon"},
        UsageRow{"origin_first_named", {"--origin=center", "--mirror=y", "input.drl"}, "--origin needs --excellon"},
        UsageRow{"origin_middle",
                 {"--excellon", "--origin", "middle", "input.drl"},
                 "--origin must be file, lower-left or center, not 'middle'"},
        UsageRow{"mirror_at_comma",
                 {"--excellon", "--mirror=x", "--mirror-at", "1,5", "input.drl"},
                 "--mirror-at: '1,5' is not a number"},
        UsageRow{
            "mirror_at_without_mirror", {"--excellon", "--mirror-at", "50", "input.drl"}, "--mirror-at needs --mirror"},
        UsageRow{"alignment_holes_without_mirror",
                 {"--excellon", "--alignment-holes", "3", "input.drl"},
                 "--alignment-holes needs --mirror: the holes lie on the mirror line"},
        UsageRow{"alignment_holes_zero",
                 {"--excellon", "--mirror=y", "--alignment-holes=0", "input.drl"},
                 "--alignment-holes: '0' is no diameter in mm (above 0, at most 100)"}),
    RowName<UsageRow>);

// The reading options choose the Excellon reading and fix what they name; the log says what was used.

struct ReadingRow {
    const char* name;
    std::vector<std::string> args;
    std::string expectedFormatLine; // "" when the plain reading runs
};

void PrintTo(const ReadingRow& row, std::ostream* out) {
    *out << row.name;
}

class CliReadingTest : public CliTest, public testing::WithParamInterface<ReadingRow> {};

TEST_P(CliReadingTest, ChoosesTheReadingAndFormat) {
    const ReadingRow& row = GetParam();
    WriteFile(folder_ / "input.drl", "M48\r\nINCH,LZ\r\nT1C0.8\r\n%\r\nT1\r\nX01Y02\r\nM30\r\n");
    std::vector<std::string> args = row.args;
    args.push_back("input.drl");
    const ProcessResult result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::size_t at = result.err.find("Excellon reading: ");
    if (row.expectedFormatLine.empty()) {
        EXPECT_EQ(at, std::string::npos) << result.err;
        return;
    }
    ASSERT_NE(at, std::string::npos) << result.err;
    EXPECT_EQ(result.err.substr(at, result.err.find('\n', at) - at), row.expectedFormatLine);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliReadingTest,
    testing::Values(ReadingRow{"plain_by_default", {}, ""},
                    ReadingRow{"excellon_reads_the_file",
                               {"--excellon"},
                               "Excellon reading: inch, 2:4 LZ, absolute (units header, digits default, zeros header)"},
                    ReadingRow{"units_imply_excellon",
                               {"--units=MM"},
                               "Excellon reading: mm, 3:3 LZ, absolute (units user, digits default, zeros header)"},
                    ReadingRow{"number_format_implies_excellon",
                               {"--number-format", "3:5"},
                               "Excellon reading: inch, 3:5 LZ, absolute (units header, digits user, zeros header)"},
                    ReadingRow{"zeros_imply_excellon",
                               {"--zeros", "tz"},
                               "Excellon reading: inch, 2:4 TZ, absolute (units header, digits default, zeros user)"},
                    ReadingRow{"all_three",
                               {"--units", "inch", "--number-format", "2:3", "--zeros", "LZ"},
                               "Excellon reading: inch, 2:3 LZ, absolute (units user, digits user, zeros user)"}),
    RowName<ReadingRow>);

TEST_F(CliTest, QuietStillWritesThePlainReadingsWarnings) {
    WriteFile(folder_ / "input.drl", "M48\r\nINCH,LZ\r\nT1C0.8\r\n%\r\nT1\r\nX01Y02\r\nM30\r\n");
    const ProcessResult result = Run({"-q", "input.drl"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err,
              "Warning: this reading drills 1 hole at X 0.025 to 0.025, Y 0.051 to 0.051 mm, where the "
              "Excellon reading (inch, 2:4 LZ, absolute (units header, digits default, zeros header)) finds "
              "1 hole, 0 slots, 0 routes at X 25.400 to 25.400, Y 50.800 to 50.800 mm; hole 1 lands at "
              "X0.025 Y0.051 instead of X25.400 Y50.800; use the Excellon reading (File > Drill file "
              "format..., or --excellon), or divisor 0.001, which gives the same places\n");
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// The picture is drawn from the program as written; the program is the same with or without it, and a
// picture that cannot be written fails the run although the program stands.
TEST_F(CliTest, SvgDrawsTheWrittenProgram) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    ASSERT_EQ(Run({"-q", "-o", "plain.cnc", "input.drl"}).exitCode, kExitFinished);
    const ProcessResult drawn = Run({"-q", "--svg", "board.svg", "input.drl"});
    EXPECT_EQ(drawn.exitCode, kExitFinished);
    EXPECT_EQ(drawn.err, "");
    EXPECT_EQ(ReadFile(folder_ / "input.CNC"), ReadFile(folder_ / "plain.cnc"));
    const std::string svg = ReadFile(folder_ / "board.svg");
    EXPECT_EQ(Occurrences(svg, "<circle class=\"hole T1\" "), 2u);
    EXPECT_EQ(Occurrences(svg, "<circle class=\"hole T2\" "), 1u);
    EXPECT_EQ(Occurrences(svg, "cx=\"-3.2500\" cy=\"7.0000\" r=\"0.5000\""), 1u) << "T2 is 1.0 mm";

    const ProcessResult failed = Run({"-q", "--svg", "no/such/folder/board.svg", "-o", "again.cnc", "input.drl"});
    EXPECT_EQ(failed.exitCode, kExitFailed);
    EXPECT_EQ(failed.err, "korvex-cli: cannot write no/such/folder/board.svg: No such file or directory\n");
    EXPECT_EQ(ReadFile(folder_ / "again.cnc"), ReadFile(folder_ / "plain.cnc"));
}

TEST_F(CliTest, HelpShowsTheUsageAndExitsWithZero) {
    const ProcessResult result = Run({"--help"});
    EXPECT_EQ(result.exitCode, kExitFinished);
    EXPECT_EQ(result.out.rfind("Usage: korvex-cli [options] INPUT\n", 0), 0u) << result.out;
    const std::string ending =
        "\nReport bugs to: https://korvex.example/\nKorvex home page: <https://korvex.example/>\n";
    EXPECT_TRUE(result.out.size() > ending.size() &&
                result.out.compare(result.out.size() - ending.size(), ending.size(), ending) == 0)
        << result.out;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(EntryNames(folder_).empty());
}

// What only writes to standard output fails when that cannot be written.
TEST_F(CliTest, FullStandardOutputFailsTheCommand) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                                 {"--version"},
                                                 {"--version-info", KORVEX_CLI_FILE},
                                                 {"-q", "-o", "-", "input.drl"}}) {
        const ProcessResult result = RunWithInput(args, "/dev/null", "/dev/full");
        EXPECT_EQ(result.exitCode, kExitFailed) << args[0];
        EXPECT_EQ(result.err, "korvex-cli: standard output: No space left on device\n") << args[0];
    }
}

// --before, --after and --settings take small regular files; anything else is refused by name before it
// is opened (a FIFO would wait for a writer, /dev/zero never ends).

struct OptionFileRow {
    const char* name;
    std::vector<std::string> args;
    std::string expectedError; // the one line of standard error
};

void PrintTo(const OptionFileRow& row, std::ostream* out) {
    *out << row.name;
}

class CliOptionFileTest : public CliTest, public testing::WithParamInterface<OptionFileRow> {};

TEST_P(CliOptionFileTest, RefusesWhatIsNoSmallRegularFile) {
    const OptionFileRow& row = GetParam();
    WriteFile(folder_ / "input.drl", kDrillFile);
    WriteFile(folder_ / "large.txt", std::string((1u << 20) + 1, 'G'));
    fs::create_directory(folder_ / "folder");
    ASSERT_EQ(::mkfifo((folder_ / "fifo").c_str(), 0600), 0);
    std::vector<std::string> args = row.args;
    args.push_back("input.drl");
    const ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, kExitUsage);
    EXPECT_EQ(result.err, row.expectedError + "\n");
    EXPECT_FALSE(fs::exists(folder_ / "input.CNC"));
}

INSTANTIATE_TEST_SUITE_P(
    Refused, CliOptionFileTest,
    testing::Values(
        OptionFileRow{
            "missing_before", {"--before", "missing.txt"}, "korvex-cli: missing.txt: No such file or directory"},
        OptionFileRow{"zero_device_before", {"--before=/dev/zero"}, "korvex-cli: /dev/zero: not a regular file"},
        OptionFileRow{"fifo_before", {"--before", "fifo"}, "korvex-cli: fifo: not a regular file"},
        OptionFileRow{"fifo_after", {"--after", "fifo"}, "korvex-cli: fifo: not a regular file"},
        OptionFileRow{"large_after", {"--after", "large.txt"}, "korvex-cli: large.txt: larger than 1 MiB"},
        OptionFileRow{"folder_settings", {"--settings", "folder"}, "korvex-cli: folder: Is a directory"},
        OptionFileRow{"fifo_settings", {"--settings", "fifo"}, "korvex-cli: fifo: not a regular file"},
        OptionFileRow{"large_settings", {"--settings", "large.txt"}, "korvex-cli: large.txt: larger than 1 MiB"},
        OptionFileRow{
            "null_device_settings", {"--settings", "/dev/null"}, "korvex-cli: /dev/null: not a regular file"}),
    RowName<OptionFileRow>);

TEST_F(CliTest, SettingsFileAndMacroFilesAsTheWindowLoadsThem) {
    WriteFile(folder_ / "input.drl", "M71\r\nT1\r\nX1Y1\r\n");
    WriteFile(folder_ / "k.INI", "[Settings]\r\nIncludeLineNumber=0\r\nZAuf=3\r\nedZab=1.5\r\nDivisor=1\r\n"
                                 "DeltaLineNumberIndex=3\r\n");
    WriteFile(folder_ / "TxMacroBefore.txt", "G00 Z40\r\n");
    WriteFile(folder_ / "TxMacroAfter.txt", "M06");
    ProcessResult result = Run({"-q", "--settings", "k.INI", "-o", "-", "input.drl"});
    EXPECT_EQ(result.exitCode, kExitFinished) << result.err;
    const std::string body = "; M71\r\nG00 Z40\r\nT1\r\nM06\r\nG00 Z3.00\r\nG00 X1.000 Y1.000\r\nG01 Z-1.5\r\n";
    EXPECT_NE(result.out.find(body + "G00 Z3.000\r\nM30\r\n"), std::string::npos) << result.out;

    // Options on the command line win over the settings file, wherever they stand.
    result = Run({"-q", "--line-numbers", "--settings", "k.INI", "--z-up", "2", "-o", "-", "input.drl"});
    EXPECT_NE(result.out.find("N00150 G00 Z2.00\r\n"), std::string::npos) << result.out;

    result = Run({"-q", "--settings", "missing.INI", "input.drl"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "korvex-cli: missing.INI: No such file or directory\n");
}

TEST_F(CliTest, VersionComesFromTheEmbeddedVersionResource) {
    ProcessResult result = Run({"--version"});
    EXPECT_EQ(result.exitCode, kExitFinished);
    EXPECT_EQ(result.out, "korvex-cli 1.3 (build 1.3.0.1)\nCopyright (C) 2026 Korvex developers\n"
                          "License: MIT <https://opensource.org/licenses/MIT>\n"
                          "There is NO WARRANTY, to the extent permitted by law.\n");

    result = Run({"--version-info", KORVEX_CLI_FILE});
    EXPECT_EQ(result.exitCode, kExitFinished);
    EXPECT_NE(result.out.find("\nProductVersion: 1.3\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\nFileTypeText: Application\nIsDebug: false\n"), std::string::npos) << result.out;

    WriteFile(folder_ / "notes.txt", "text");
    result = Run({"--version-info", "notes.txt"});
    EXPECT_EQ(result.exitCode, kExitFinished);
    EXPECT_NE(result.out.find("\nFileVersion: \n"), std::string::npos) << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 20);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Controller and verification

namespace {

INSTANTIATE_TEST_SUITE_P(
    ControllerErrors, CliUsageTest,
    testing::Values(UsageRow{"unknown_controller",
                             {"--controller", "mach3", "input.drl"},
                             "--controller must be linuxcnc, grbl or generic, not 'mach3'"},
                    UsageRow{"feed_without_controller",
                             {"--feed", "100", "input.drl"},
                             "--feed, --spindle and --tool-changer need --controller"},
                    UsageRow{"feed_not_positive",
                             {"--controller", "grbl", "--feed", "0", "input.drl"},
                             "--feed: '0' is no positive number"},
                    UsageRow{"verify_standard_output",
                             {"--verify", "-o", "-", "input.drl"},
                             "--verify reads the program back: it needs an output file, not standard output"}),
    RowName<UsageRow>);

TEST_F(CliTest, VerifyFailsOnADifferenceAndKeepsTheProgram) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult passed = Run({"-q", "--verify", "input.drl"});
    EXPECT_EQ(passed.exitCode, kExitFinished);
    EXPECT_EQ(passed.err, "");

    // A depth that does not go below the surface drills none of tool 1's holes (tool 2 has its own depth).
    const ProcessResult failed = Run({"-q", "--verify", "--z-down", "0", "input.drl"});
    EXPECT_EQ(failed.exitCode, kExitFailed);
    EXPECT_EQ(failed.err,
              "Warning: the run drills to Z0, which does not go below the work surface (Z0): nothing is drilled\n"
              "Warning: hole T1 at X10.000 Y20.000 is missing from the program\n"
              "Warning: hole T1 at X15.500 Y20.000 is missing from the program\n"
              "korvex-cli: input.CNC differs from the drill file in 2 places\n");
    EXPECT_EQ(EntryNames(folder_), (std::vector<std::string>{"input.CNC", "input.drl"}));
}

TEST_F(CliTest, ControllerFillsTheBlocksUnlessTheyAreGiven) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    WriteFile(folder_ / "after.txt", "M06\r\n");
    ASSERT_EQ(Run({"-q", "--controller", "grbl", "--feed", "250", "-o", "preset.nc", "input.drl"}).exitCode, 0);
    const std::string preset = ReadFile(folder_ / "preset.nc");
    EXPECT_NE(preset.find("N00015 T1\r\nN00020 M00 (T1 0.800 mm: change tool, then cycle start)\r\n"),
              std::string::npos);
    EXPECT_NE(preset.find("N00035 F250\r\n"), std::string::npos);

    const ProcessResult given = Run({"-q", "--controller=grbl", "--after=after.txt", "-o", "given.nc", "input.drl"});
    EXPECT_EQ(given.exitCode, kExitFinished);
    EXPECT_NE(ReadFile(folder_ / "given.nc")
                  .find("N00000 G21 G90\r\nN00005 M05\r\nN00010 G00 Z30\r\nN00015 T1\r\n"
                        "N00020 M06\r\nN00025 G00 Z1.00\r\n"),
              std::string::npos);
    EXPECT_EQ(given.err, "Warning: line 20 of the program feeds before any F word; GRBL 1.1 refuses a feed move "
                         "without a feed rate\n"
                         "Warning: the tool-change block after holds M06, which GRBL 1.1 does not accept\n");
}

// Split: one whole program per tool beside the output, named from it, each starting with the request to change
// the drill and zero Z and ending the program; the verification reads the parts.
TEST_F(CliTest, SplitWritesOneProgramPerTool) {
    WriteFile(folder_ / "input.drl", kDrillFile);
    const ProcessResult result = Run(
        {"--excellon", "--controller", "grbl", "--tool-change", "split", "--verify", "-o", "board.nc", "input.drl"});
    ASSERT_EQ(result.exitCode, kExitFinished) << result.err;
    EXPECT_EQ(EntryNames(folder_),
              (std::vector<std::string>{"board-T01-0.800mm.nc", "board-T02-1.000mm.nc", "board.nc", "input.drl"}));
    struct Part {
        const char* file;
        const char* start;
        const char* block;
        const char* end;
    };
    for (const Part& part :
         {Part{"board-T01-0.800mm.nc", "; Put in the drill T01 0.800 mm, zero Z",
               "N00000 G21 G90\r\nN00005 M05\r\nN00010 G00 Z30\r\nN00015 T1\r\nN00020 M03 S10000\r\n",
               "N00065 G01 Z-2.0\r\nM05\r\nG00 Z1.00\r\nM30\r\n"},
          Part{"board-T02-1.000mm.nc", "; Put in the drill T02 1.000 mm, zero Z",
               "N00070 G21 G90\r\nN00075 M05\r\nN00080 G00 Z30\r\nN00085 T2\r\nN00090 M03 S10000\r\n",
               "N00125 G00 Z1.000\r\nN00130 M30\r\n"}}) {
        SCOPED_TRACE(part.file);
        const std::string text = ReadFile(folder_ / part.file);
        EXPECT_EQ(text.rfind(part.start, 0), 0u);
        EXPECT_NE(text.find("; T2C1.0Z-1.5B3 = 1.000 mm ; Tool-definition\r\n"), std::string::npos);
        EXPECT_NE(text.find(part.block), std::string::npos);
        EXPECT_EQ(text.find("M00"), std::string::npos);
        EXPECT_EQ(text.size() - text.rfind(part.end), std::string(part.end).size());
    }
    EXPECT_NE(result.err.find("Program for T02 1.000 mm: board-T02-1.000mm.nc\n"), std::string::npos);
    EXPECT_NE(result.err.find("Verified against the drill file"), std::string::npos);
}

} // namespace
