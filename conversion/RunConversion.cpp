#include "conversion/RunConversion.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/ConvertLine.h"
#include "conversion/Numbers.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/fast/FastPaths.h"
#include "platform/TextFile.h"

#ifndef KORVEX_PRODUCT_VERSION
#error "KORVEX_PRODUCT_VERSION comes from resources/version.rc through the build"
#endif

namespace korvex::conversion {

namespace {

constexpr const char* kNotSpecified = "not specified!!!";

// Detaches the output and the writer from the state however the run ends, so no later line can reach a closed
// file.
class OutputBinding {
public:
    OutputBinding(ConversionState& state, platform::TextLineWriter* output) : state_(state) {
        state_.OutputFile = output;
    }
    ~OutputBinding() {
        state_.OutputFile = nullptr;
        state_.Emitter = nullptr;
    }
    OutputBinding(const OutputBinding&) = delete;
    OutputBinding& operator=(const OutputBinding&) = delete;

private:
    ConversionState& state_;
};

void WriteBanner(platform::TextLineWriter& output, const std::string& inputName) {
    output.WriteLine("; Conversion of file :" + inputName + " to CNC-code");
    output.WriteLine("; Conversion done by KORVEX_WIN");
    output.WriteLine("; The file can be run with a CNC-Machine");
    output.WriteLine("; Korvex " KORVEX_PRODUCT_VERSION " by the Korvex developers, December 2026");
    output.WriteLine("; Updates: https://korvex.example/");
    output.WriteLine("; ----------------------------------------------");
    output.WriteLine(";");
}

// The plain reading: line by line, an M30 line preceded by the retract, and a program end when none came.
void ConvertBody(ConversionState& state, platform::TextLineReader& input, ProgramEmitter& program,
                 const std::string& zUpWord) {
    bool sawM30 = false;
    std::string_view line;
    CoordinateLines coordinates(state);
    while (input.ReadLine(line)) {
        ++state.InputLine;
        if (coordinates.Take(line)) {
            continue;
        }
        coordinates.Flush();
        if (state.Watcher != nullptr) {
            state.Watcher->OnLine(line, state.InputLine);
        }
        if (line == "M30") {
            program.Numbered("G00 " + zUpWord);
            sawM30 = true;
        }
        ConvertLine(state, line);
    }
    coordinates.Flush();
    program.Flush();
    if (!sawM30) {
        program.Plain("G00 " + zUpWord);
        program.Plain("M30");
    }
}

// The settings fields read as numbers. A field that is no number has had its Numerical Error box; the run
// then goes on reading the other fields, so every bad one is named at once, and stops before the program is
// touched: converting with 0 in its place would replace a good program and report success.
class SettingsReading {
public:
    explicit SettingsReading(ConversionHost& host) : host_(host) {}

    double Read(Field field, const char* caption) {
        const std::string text = host_.FieldText(field);
        if (const std::optional<double> value = host_.TextToReal(text)) {
            return *value;
        }
        failures_.push_back(std::string(caption) + " \"" + text + "\"");
        return 0.0;
    }

    void StopOnFailure() const {
        if (failures_.empty()) {
            return;
        }
        std::string message = "Numerical Error in ";
        for (std::size_t i = 0; i < failures_.size(); ++i) {
            message += (i == 0 ? "" : ", ") + failures_[i];
        }
        message += ": conversion stopped, no program written";
        host_.AppendLogLine(message);
        throw ConversionError(message);
    }

private:
    ConversionHost& host_;
    std::vector<std::string> failures_;
};

} // namespace

RunOutcome RunConversion(ConversionState& state, ConversionHost& host) {
    // Settings
    state.SuppressLeadingZeros = host.SuppressLeadingZerosChecked();
    SettingsReading settings(host);
    double divisor = settings.Read(Field::Divisor, "Divisor");
    // A divisor of 0 (typed, or a Numerical Error's) is taken as 1 and shown so.
    if (divisor == 0) {
        host.SetDividerText("1");
        divisor = 1.0;
    }
    state.Divisor = divisor;

    const std::string inputName = host.FieldText(Field::InputFileName);
    if (inputName.empty()) {
        return RunOutcome::EndedEarly;
    }
    const std::string outputName = host.FieldText(Field::OutputFileName);
    if (outputName.empty()) {
        return RunOutcome::EndedEarly;
    }

    const Extended zOffsetForUp = StrToReal(host.FieldText(Field::ZOffset));
    const Extended zUp = StrToReal(host.FieldText(Field::ZUp));
    const Extended zOffsetForDown = StrToReal(host.FieldText(Field::ZOffset));
    const Extended zDown = StrToReal(host.FieldText(Field::ZDown));
    const Extended zUpValue = zOffsetForUp + zUp;
    const Extended zDownValue = zOffsetForDown - zDown;
    const std::string zUpWord = "Z" + RealToStr(5, 3, zUpValue);
    const std::string zDownWord = "Z" + RealToStr(5, 3, zDownValue);
    // Depths beyond the range of a double, or without a plain decimal text, are no depths a machine can go
    // to: the run ends before any change.
    if (!std::isfinite(static_cast<double>(zUpValue)) || !IsPlainDecimal(zUpWord.substr(1))) {
        throw ConversionError(
            OutOfRangeMessage("z offset " + host.FieldText(Field::ZOffset) + " + z up " + host.FieldText(Field::ZUp)));
    }
    if (!std::isfinite(static_cast<double>(zDownValue)) || !IsPlainDecimal(zDownWord.substr(1))) {
        throw ConversionError(OutOfRangeMessage("z offset " + host.FieldText(Field::ZOffset) + " - z down " +
                                                host.FieldText(Field::ZDown)));
    }

    state.RunZ = ToolZEntry{StoreZWord(zUpWord), StoreZWord(zDownWord)};
    state.ToolTable.Fill(state.RunZ);
    // Holes before the first tool selection drill with this run's settings, not with whatever the previous
    // run selected last: the same file with the same settings always gives the same program.
    state.CurrentZUp = state.RunZ.ZUp;
    state.CurrentZDown = state.RunZ.ZDown;
    state.InchMode = true;
    state.InHeader = false;
    state.XOffset = settings.Read(Field::XOffset, "xOffsett");
    state.YOffset = settings.Read(Field::YOffset, "yOffsett");
    settings.StopOnFailure();
    state.MacroBefore = host.MacroLines(HostMacro::Before);
    state.MacroAfter = host.MacroLines(HostMacro::After);

    // Log
    if (inputName == kNotSpecified) {
        host.AppendLogLine("specify input file,  for more information press KORVEX -h");
        return RunOutcome::EndedEarly;
    }
    host.AppendLogLine("do conversion with the following parameters:");
    host.AppendLogLine("convert file: " + inputName + " to file: " + outputName);
    host.AppendLogLine("xoffsett..." + host.FieldText(Field::XOffset));
    host.AppendLogLine("yOffsett " + host.FieldText(Field::YOffset));
    host.AppendLogLine("zauf..." + host.FieldText(Field::ZUp));
    host.AppendLogLine("zab..." + host.FieldText(Field::ZDown));
    host.AppendLogLine("Start processing of " + outputName + " ...");

    // Open
    std::unique_ptr<platform::TextLineReader> input = host.OpenInput(inputName);
    if (!input) {
        host.SetLogText("can not open " + inputName + "\n\r" + host.LogText());
        return RunOutcome::EndedEarly;
    }
    std::unique_ptr<platform::TextLineWriter> output = host.CreateOutput(outputName, *input);
    if (!output) {
        host.SetLogText("error on creating " + outputName + "\n\r" + host.LogText());
        return RunOutcome::EndedEarly;
    }
    // From here on an error leaves through the destructors: the input is closed and the unfinished program is
    // discarded, so no truncated G-code is left for a machine to run.
    OutputBinding binding(state, output.get());

    WriteBanner(*output, inputName);

    // Body
    state.LineNumber = 0;
    state.CurrentTool = -1;
    state.LastX = 0.0;
    state.LastY = 0.0;
    state.InputLine = 0;
    state.FirstInchDecimalLine = 0;
    ProgramEmitter program(state);
    state.Emitter = &program;
    if (state.Reading != nullptr) {
        state.Reading->Convert(state, host, *input, *output, zUpWord);
    } else {
        ConvertBody(state, *input, program, zUpWord);
    }
    program.Flush();

    // The program is complete only once it is closed: a failure there must not follow a reported success.
    output->Close();
    host.AppendLogLine("Conversion finished");
    return RunOutcome::Finished;
}

} // namespace korvex::conversion
