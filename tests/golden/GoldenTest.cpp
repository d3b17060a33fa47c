// Golden files: every folder of tests/data with an input.drl is one conversion by the built korvex-cli, started
// in a temporary copy of the folder, and compared byte for byte with the expected program (or the expected
// error). The program's own option parsing is what reads args.txt, controller rules and all.
//
// Folder contents:
//   input.drl           the drill file
//   args.txt            optional; one korvex-cli option per line ("--z-down 1.5", "--no-line-numbers"): the
//                       option's value is everything after the first blank. A line that does not begin with
//                       "-" names a further input file of the folder, given after input.drl.
//   expected.cnc        the program; banner lines 4 and 5 hold placeholders
//   expected-error.txt  instead of expected.cnc when the run must fail: the message, word for word. The program
//                       reports it as "korvex-cli: MESSAGE", a drill-file error located as "input.drl:LINE: "
//                       in place of the message's " in line LINE of the drill file"
//   expected-status.txt optional; the exit status (default: 0 with expected.cnc, 1 with expected-error.txt)
//   expected-stderr.txt optional; the whole of standard error
//   expected-log.txt    optional; the log (standard error) without the "Summary: ", "Machine time: " and
//                       "Warning: " lines the job adds after the run and without the program's own
//                       "korvex-cli: " lines
//   expected-summary.txt   optional; the log's "Summary: " line
//   expected-machine-time.txt  optional; the log's "Machine time: " line
//   expected-warnings.txt  optional; the log's "Warning: " lines (an empty file: none)
//   in-process.txt      optional; why the folder's expected-error.txt and expected-log.txt can only come from
//                       the run in this process. korvex-cli refuses a field value the run would stop on, so
//                       such a folder's args.txt sets window fields only (--x-offset ... --divisor), and its
//                       expected-stderr.txt and expected-status.txt pin what the program says instead.
//
// UPDATE_GOLDEN=1 rewrites the expected files from what the program writes now. Read every rewritten file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionState.h"
#include "job/ConvertJob.h"
#include "platform/DecimalSeparator.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"

namespace {

namespace fs = std::filesystem;
using korvex::conversion::ConsoleHost;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;
using korvex::testing::EntryNames;
using korvex::testing::ProcessResult;
using korvex::testing::ReadFile;
using korvex::testing::TempFolder;
using korvex::testing::WriteFile;

const char* const kInputName = "input.drl";
const char* const kOutputName = "output.cnc";
const std::string kProgramPrefix = "korvex-cli: ";

bool UpdateGolden() {
    const char* value = std::getenv("UPDATE_GOLDEN");
    return value != nullptr && std::string(value) == "1";
}

std::optional<std::string> ReadIfExists(const fs::path& path) {
    return fs::exists(path) ? std::optional<std::string>(ReadFile(path)) : std::nullopt;
}

std::string WithoutFinalLineEnd(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// args.txt as korvex-cli's arguments: the options, then input.drl and the further files.
std::vector<std::string> ReadArgs(const fs::path& folder) {
    std::vector<std::string> options;
    std::vector<std::string> files{kInputName};
    const std::optional<std::string> text = ReadIfExists(folder / "args.txt");
    std::istringstream lines(text.value_or(std::string()));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (line[0] != '-') {
            files.push_back(line);
            continue;
        }
        const std::size_t blank = line.find(' ');
        options.push_back(line.substr(0, blank));
        if (blank != std::string::npos) {
            options.push_back(line.substr(blank + 1));
        }
    }
    options.insert(options.end(), {"-o", kOutputName});
    options.insert(options.end(), files.begin(), files.end());
    return options;
}

// korvex-cli with `work` as its working directory and empty standard input; its output streams go to files in
// `streams`, so that `work` holds only what the program leaves.
ProcessResult RunProgram(const std::vector<std::string>& args, const fs::path& work, const fs::path& streams) {
    return korvex::testing::RunProgram(KORVEX_CLI_PATH, args, work, "/dev/null", streams / "stdout",
                                       streams / "stderr");
}

// The window fields an in-process folder's args.txt may set; the run starts from korvex-cli's design values.
struct InProcessRun {
    std::optional<std::string> error;
    std::string log;
};

InProcessRun RunInProcess(const fs::path& folder, const fs::path& work) {
    const std::pair<const char*, Field> kFields[] = {
        {"--x-offset", Field::XOffset}, {"--y-offset", Field::YOffset}, {"--z-offset", Field::ZOffset},
        {"--z-up", Field::ZUp},         {"--z-down", Field::ZDown},     {"--divisor", Field::Divisor},
    };
    korvex::platform::SetDecimalSeparator('.');
    korvex::conversion::ConversionState state; // every case starts from a freshly started program
    state.LineNumbersOn = true;
    state.LineNumberIncrement = 5;
    std::ostringstream log;
    ConsoleHost host(log, false);
    const std::string input = (work / kInputName).string();
    const std::string output = (work / kOutputName).string();
    korvex::testing::SetDesignValues(host, input, output);
    const std::vector<std::string> args = ReadArgs(folder);
    for (std::size_t i = 0; i + 1 < args.size() && args[i] != "-o"; i += 2) {
        const auto* known = std::find_if(std::begin(kFields), std::end(kFields),
                                         [&](const auto& entry) { return args[i] == entry.first; });
        if (known == std::end(kFields)) {
            ADD_FAILURE() << "an in-process folder sets window fields only, not " << args[i];
            return {};
        }
        host.SetField(known->second, args[i + 1]);
    }

    InProcessRun result;
    try {
        korvex::job::ConvertJob(state, host, korvex::job::JobOptions());
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    // The log names the files as the program, started in `work`, would.
    result.log = log.str();
    const std::string folderPrefix = work.string() + "/";
    for (std::size_t at = result.log.find(folderPrefix); at != std::string::npos;
         at = result.log.find(folderPrefix, at)) {
        result.log.erase(at, folderPrefix.size());
    }
    return result;
}

// Lines 4 and 5 of the banner are free text that changes with every release.
std::string NormaliseProgram(std::string program) {
    std::size_t begin = 0;
    for (int line = 1; line <= 5 && begin < program.size(); ++line) {
        const std::size_t end = program.find("\r\n", begin);
        if (end == std::string::npos) {
            break;
        }
        if ((line == 4 || line == 5) && program.compare(begin, 2, "; ") == 0) {
            const std::string placeholder = line == 4 ? "; <maker, release and version>" : "; <updates>";
            program.replace(begin, end - begin, placeholder);
            begin += placeholder.size() + 2;
        } else {
            begin = end + 2;
        }
    }
    return program;
}

// Standard error taken apart: the job's lines after the run and the program's own lines are compared only
// where a folder expects them.
struct SplitLog {
    std::string log;
    std::string summary;
    std::string machineTime;
    std::string warnings;
    std::vector<std::string> programLines; // without "korvex-cli: "
};

SplitLog SplitStandardError(const std::string& text) {
    SplitLog split;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(kProgramPrefix, 0) == 0) {
            split.programLines.push_back(line.substr(kProgramPrefix.size()));
            continue;
        }
        std::string& target = line.rfind("Summary: ", 0) == 0        ? split.summary
                              : line.rfind("Machine time: ", 0) == 0 ? split.machineTime
                              : line.rfind("Warning: ", 0) == 0      ? split.warnings
                                                                     : split.log;
        target += line + "\n";
    }
    return split;
}

// Whether the program's line `said` reports `message`: the same words, or those words located as
// "input.drl:LINE: " in place of " in line LINE of the drill file", where the program also quotes the file's
// own decimal point that the message shows retried as a comma.
bool Reports(const std::string& said, const std::string& message) {
    if (said == message) {
        return true;
    }
    const std::string prefix = std::string(kInputName) + ":";
    if (said.rfind(prefix, 0) != 0) {
        return false;
    }
    const std::size_t colon = said.find(": ", prefix.size());
    const std::string line = said.substr(prefix.size(), colon - prefix.size());
    if (colon == std::string::npos || line.empty() || !std::all_of(line.begin(), line.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return false;
    }
    std::string expected = message;
    const std::string phrase = " in line " + line + " of the drill file";
    if (const std::size_t at = expected.find(phrase); at != std::string::npos) {
        expected.erase(at, phrase.size());
    }
    std::string actual = said.substr(colon + 2);
    std::replace(expected.begin(), expected.end(), ',', '.');
    std::replace(actual.begin(), actual.end(), ',', '.');
    return actual == expected;
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

// Compares `actual` with the folder's file `name` where it exists; UPDATE_GOLDEN rewrites it instead.
void CheckOptionalFile(const fs::path& folder, const char* name, const std::string& actual, const std::string& what) {
    const fs::path path = folder / name;
    if (!fs::exists(path)) {
        return;
    }
    if (UpdateGolden()) {
        WriteFile(path, actual);
    } else {
        ExpectSameText(ReadFile(path), actual, what);
    }
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
        if (entry.is_directory() && fs::exists(entry.path() / kInputName)) {
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
    const fs::path expectedProgramPath = folder / "expected.cnc";
    const fs::path expectedErrorPath = folder / "expected-error.txt";
    const bool inProcess = fs::exists(folder / "in-process.txt");

    TempFolder temp("korvex-golden");
    const fs::path work = temp.Path() / "work";
    const fs::path streams = temp.Path() / "streams";
    fs::create_directories(streams);
    fs::copy(folder, work, fs::copy_options::recursive);
    const std::vector<std::string> folderEntries = EntryNames(work);
    std::vector<std::string> withProgram = folderEntries;
    withProgram.push_back(kOutputName);
    std::sort(withProgram.begin(), withProgram.end());

    const std::vector<std::string> args = ReadArgs(folder);
    const ProcessResult result = RunProgram(args, work, streams);
    // Rewriting, the run itself says whether it fails.
    const bool fails = UpdateGolden() ? !fs::exists(work / kOutputName) : fs::exists(expectedErrorPath);
    EXPECT_EQ(result.out, "") << "standard output";
    const std::optional<std::string> expectedStatus = ReadIfExists(folder / "expected-status.txt");
    const int status = fails ? 1 : 0;
    if (UpdateGolden()) {
        if (expectedStatus) {
            WriteFile(folder / "expected-status.txt", std::to_string(result.exitCode) + "\n");
        }
    } else {
        EXPECT_EQ(std::to_string(result.exitCode),
                  expectedStatus ? WithoutFinalLineEnd(*expectedStatus) : std::to_string(status))
            << "exit status; standard error:\n"
            << result.err;
    }
    CheckOptionalFile(folder, "expected-stderr.txt", result.err, "standard error");

    SplitLog split;
    std::optional<std::string> error;
    if (inProcess) {
        const InProcessRun run = RunInProcess(folder, work);
        split = SplitStandardError(run.log);
        error = run.error;
        EXPECT_EQ(EntryNames(work), folderEntries) << "an unfinished program was left behind";
    } else {
        split = SplitStandardError(result.err);
        if (!split.programLines.empty()) {
            error = split.programLines.back();
        }
    }

    if (fails) {
        ASSERT_TRUE(error.has_value()) << "the run did not fail; standard error:\n" << result.err;
        const std::optional<std::string> expectedError = ReadIfExists(expectedErrorPath);
        const bool reported = expectedError && (inProcess ? *error == WithoutFinalLineEnd(*expectedError)
                                                          : Reports(*error, WithoutFinalLineEnd(*expectedError)));
        if (UpdateGolden()) {
            if (!reported) {
                WriteFile(expectedErrorPath, *error + "\n");
            }
            fs::remove(expectedProgramPath);
        } else {
            EXPECT_TRUE(reported) << "the message\n  " << *error << "\ndoes not report\n  "
                                  << WithoutFinalLineEnd(expectedError.value_or(""));
        }
        EXPECT_EQ(EntryNames(work), folderEntries) << "an unfinished program was left behind";

        // An older program of the same name is kept whole when the new one fails.
        const std::string older = "; an older program\r\nM30\r\n";
        WriteFile(work / kOutputName, older);
        const ProcessResult again = RunProgram(args, work, streams);
        EXPECT_EQ(again.exitCode, result.exitCode);
        EXPECT_EQ(again.err, result.err);
        if (inProcess) {
            EXPECT_EQ(RunInProcess(folder, work).error, error);
        }
        EXPECT_EQ(ReadFile(work / kOutputName), older);
        EXPECT_EQ(EntryNames(work), withProgram);
    } else {
        ASSERT_TRUE(fs::exists(work / kOutputName)) << "no program written; standard error:\n" << result.err;
        EXPECT_EQ(EntryNames(work), withProgram);
        const std::string program = NormaliseProgram(ReadFile(work / kOutputName));
        if (UpdateGolden()) {
            WriteFile(expectedProgramPath, program);
            fs::remove(expectedErrorPath);
        } else {
            ExpectSameText(ReadFile(expectedProgramPath), program, "the program");
        }
        if (!fs::exists(folder / "expected-status.txt") && !fs::exists(folder / "expected-stderr.txt")) {
            EXPECT_TRUE(split.programLines.empty()) << "korvex-cli said: " << split.programLines.front();
        }
    }
    CheckOptionalFile(folder, "expected-log.txt", split.log, "the log");
    CheckOptionalFile(folder, "expected-summary.txt", split.summary, "the summary line");
    CheckOptionalFile(folder, "expected-machine-time.txt", split.machineTime, "the machine time");
    CheckOptionalFile(folder, "expected-warnings.txt", split.warnings, "the warnings");
    if (UpdateGolden()) {
        std::cout << "rewritten: " << folder.string() << '\n';
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, testing::ValuesIn(ListCases()), TestName);

} // namespace
