// korvex-cli: converts an Excellon drill file into a G-code program with the same run as the window.
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionState.h"
#include "conversion/FileNames.h"
#include "conversion/RunConversion.h"
#include "job/ConvertJob.h"
#include "platform/DecimalSeparator.h"
#include "platform/ExecutablePath.h"
#include "ui/Settings.h"
#include "version/VersionInfo.h"
#include "version/VersionInfoFormat.h"

namespace {

using korvex::conversion::ConsoleHost;
using korvex::conversion::HostField;
using korvex::conversion::HostMacro;

constexpr int kExitFinished = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage = R"(Usage: korvex-cli [options] INPUT

Converts the Excellon drill file INPUT into a G-code program.

Options:
  -o, --output PATH     output file (default: INPUT's folder and base name + ".CNC");
                        "-" writes the program to standard output
      --x-offset TEXT   X offset in mm (default "0")
      --y-offset TEXT   Y offset in mm (default "0")
      --z-offset TEXT   Z offset in mm (default "0")
      --z-up TEXT       retract height above the work piece in mm (default "1")
      --z-down TEXT     drilling depth in mm (default "2")
      --divisor TEXT    X and Y are divided by this value (default "1")
      --line-numbers    number the lines with "N" (default)
      --no-line-numbers
      --increment N     line number increment: 1, 5, 10 or 50 (default 5)
      --before FILE     G-code lines written before each tool change (default "G00 Z30")
      --after FILE      G-code lines written after each tool change (default "M06", "G00 Z20")
      --settings INI    take these settings from a settings file and the two macro files
                        beside it, as the window loads them; options given here win
  -q, --quiet           write only failures and warnings to standard error
  -h, --help            show this help
      --version         show the program's version
      --version-info FILE show what FILE's version resource says (Windows executables and DLLs too)

The log goes to standard error. Exit status: 0 when the conversion finished, 1 when it
ended early or failed, 2 on a usage error.
)";

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
};

class UsageError {
public:
    explicit UsageError(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return !file.bad();
}

Options ParseOptions(const std::vector<std::string>& args, bool& exitNow, int& exitCode) {
    Options options;
    bool haveInput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            const std::size_t eq = arg.find('=');
            if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
                return arg.substr(eq + 1);
            }
            if (i + 1 >= args.size()) {
                throw UsageError("option " + arg + " needs a value");
            }
            return args[++i];
        };
        const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, arg.find('=')) : arg;
        if (name == "-h" || name == "--help") {
            std::cout << kUsage;
            exitNow = true;
            exitCode = kExitFinished;
            return options;
        }
        if (name == "--version") {
            // One source of truth: the version resource embedded in this very executable.
            korvex::version::TFileVersionInfo info;
            korvex::version::ReadFileVersionInfo(korvex::platform::ExecutablePath(), info);
            std::cout << "korvex-cli " << info.ProductVersion << " (build " << info.FileVersion << ")\n";
            exitNow = true;
            exitCode = kExitFinished;
            return options;
        }
        if (name == "--version-info") {
            korvex::version::TFileVersionInfo info;
            korvex::version::ReadFileVersionInfo(value(), info);
            std::cout << korvex::version::FormatFileVersionInfo(info);
            exitNow = true;
            exitCode = kExitFinished;
            return options;
        }
        if (name == "-o" || name == "--output") {
            options.output = value();
        } else if (name == "--x-offset") {
            options.xOffset = value();
        } else if (name == "--y-offset") {
            options.yOffset = value();
        } else if (name == "--z-offset") {
            options.zOffset = value();
        } else if (name == "--z-up") {
            options.zUp = value();
        } else if (name == "--z-down") {
            options.zDown = value();
        } else if (name == "--divisor") {
            options.divisor = value();
        } else if (name == "--line-numbers") {
            options.lineNumbers = true;
        } else if (name == "--no-line-numbers") {
            options.lineNumbers = false;
        } else if (name == "--increment") {
            const std::string text = value();
            if (text != "1" && text != "5" && text != "10" && text != "50") {
                throw UsageError("--increment must be 1, 5, 10 or 50, not '" + text + "'");
            }
            options.increment = std::stoi(text);
        } else if (name == "--before" || name == "--after") {
            const std::string path = value();
            std::string block;
            if (!ReadWholeFile(path, block)) {
                throw UsageError("cannot read " + path);
            }
            (name == "--before" ? options.before : options.after) = block;
        } else if (name == "--settings") {
            options.settings = value();
            struct stat st {};
            if (::stat(options.settings->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
                throw UsageError("cannot read settings file " + *options.settings);
            }
        } else if (name == "-q" || name == "--quiet") {
            options.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (haveInput) {
            throw UsageError("only one INPUT file can be converted at a time");
        } else {
            options.input = arg;
            haveInput = true;
        }
    }
    if (!haveInput) {
        throw UsageError("no INPUT file given");
    }
    if (!options.output) {
        options.output = korvex::conversion::ProposedOutputName(options.input);
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    try {
        bool exitNow = false;
        int exitCode = kExitFinished;
        options = ParseOptions(args, exitNow, exitCode);
        if (exitNow) {
            return exitCode;
        }
    } catch (const UsageError& error) {
        std::cerr << "korvex-cli: " << error.Message() << "\nTry 'korvex-cli --help'.\n";
        return kExitUsage;
    }

    korvex::platform::SetDecimalSeparator('.');
    auto& state = korvex::conversion::TheConversionState();
    korvex::ui::SettingsValues values; // the window's design values
    values.includeLineNumber = true;
    state.LineNumbersOn = true;
    state.LineNumberIncrement = 5;
    if (options.settings) {
        try {
            korvex::ui::LoadSettingsFile(*options.settings, values, state);
        } catch (const korvex::ui::SettingsError& error) {
            // The window reports a settings failure and goes on with what loaded; so does the converter.
            std::cerr << "korvex-cli: " << error.what() << '\n';
        }
    }
    state.LineNumbersOn = options.lineNumbers.value_or(state.LineNumbersOn);
    state.LineNumberIncrement = options.increment.value_or(state.LineNumberIncrement);

    using korvex::ui::SettingsText;
    ConsoleHost host(std::cerr, options.quiet);
    host.SetField(HostField::InputFileName, options.input);
    host.SetField(HostField::OutputFileName, *options.output);
    host.SetField(HostField::XOffsett, options.xOffset.value_or(values.Text(SettingsText::XOffsett)));
    host.SetField(HostField::YOffsett, options.yOffset.value_or(values.Text(SettingsText::YOffsett)));
    host.SetField(HostField::ZOffsett, options.zOffset.value_or(values.Text(SettingsText::ZOffsett)));
    host.SetField(HostField::Zauf, options.zUp.value_or(values.Text(SettingsText::ZAuf)));
    host.SetField(HostField::Zab, options.zDown.value_or(values.Text(SettingsText::Zab)));
    host.SetField(HostField::Divider, options.divisor.value_or(values.Text(SettingsText::Divisor)));
    host.SetSuppressLeadingZeros(values.suppressLeadingZeros);
    host.SetMacroText(HostMacro::Before, options.before.value_or(values.macroBefore));
    host.SetMacroText(HostMacro::After, options.after.value_or(values.macroAfter));
    try {
        const korvex::job::JobReport report = korvex::job::ConvertJob(state, host, korvex::job::JobOptions{});
        if (report.outcome == korvex::conversion::RunOutcome::Finished) {
            return kExitFinished;
        }
        if (!host.ReportedProblem()) {
            std::cerr << "korvex-cli: nothing was converted\n";
        }
    } catch (const std::exception& error) {
        std::cerr << "korvex-cli: " << error.what() << '\n';
    }
    return kExitFailed;
}
