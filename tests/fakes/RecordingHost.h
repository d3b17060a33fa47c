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
        fields[conversion::HostField::InputFileName] = "please specify";
        fields[conversion::HostField::OutputFileName] = "please specify";
        fields[conversion::HostField::XOffsett] = "0";
        fields[conversion::HostField::YOffsett] = "0";
        fields[conversion::HostField::ZOffsett] = "0";
        fields[conversion::HostField::Zauf] = "1";
        fields[conversion::HostField::Zab] = "2";
        fields[conversion::HostField::Divider] = "1";
        macros[conversion::HostMacro::Before] = {"G00 Z30"};
        macros[conversion::HostMacro::After] = {"M06", "G00 Z20"};
    }

    std::string FieldText(conversion::HostField field) const override { return fields.at(field); }
    void SetDividerText(const std::string& text) override { fields[conversion::HostField::Divider] = text; }
    bool SuppressLeadingZerosChecked() const override { return suppressLeadingZeros; }
    std::vector<std::string> MacroLines(conversion::HostMacro macro) const override { return macros.at(macro); }
    void AppendLogLine(const std::string& line) override {
        log += line;
        log += "\n";
    }
    std::string LogText() const override { return log; }
    void SetLogText(const std::string& text) override { log = text; }
    void ShowNumericalError(const std::string& message) override { boxes.push_back(message); }

    std::map<conversion::HostField, std::string> fields;
    std::map<conversion::HostMacro, std::vector<std::string>> macros;
    bool suppressLeadingZeros = false;
    std::string log;
    std::vector<std::string> boxes;
};

} // namespace korvex::testing
