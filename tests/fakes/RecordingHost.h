// A conversion host that records what the run shows the user.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionHost.h"

namespace korvex::testing {

class RecordingHost : public conversion::ConversionHost {
public:
    RecordingHost() {
        fields[conversion::Field::InputFileName] = "please specify";
        fields[conversion::Field::OutputFileName] = "please specify";
        fields[conversion::Field::XOffset] = "0";
        fields[conversion::Field::YOffset] = "0";
        fields[conversion::Field::ZOffset] = "0";
        fields[conversion::Field::ZUp] = "1";
        fields[conversion::Field::ZDown] = "2";
        fields[conversion::Field::Divisor] = "1";
        macros[conversion::HostMacro::Before] = {"G00 Z30"};
        macros[conversion::HostMacro::After] = {"M06", "G00 Z20"};
    }

    std::string FieldText(conversion::Field field) const override { return fields.at(field); }
    void SetDividerText(const std::string& text) override { fields[conversion::Field::Divisor] = text; }
    bool SuppressLeadingZerosChecked() const override { return suppressLeadingZeros; }
    std::vector<std::string> MacroLines(conversion::HostMacro macro) const override { return macros.at(macro); }
    void AppendLogLine(const std::string& line) override {
        log += line;
        log += "\n";
    }
    std::string LogText() const override { return log; }
    void SetLogText(const std::string& text) override { log = text; }
    void ShowNumericalError(const std::string& message) override { boxes.push_back(message); }

    std::map<conversion::Field, std::string> fields;
    std::map<conversion::HostMacro, std::vector<std::string>> macros;
    bool suppressLeadingZeros = false;
    std::string log;
    std::vector<std::string> boxes;
};

} // namespace korvex::testing
