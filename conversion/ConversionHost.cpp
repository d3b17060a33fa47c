#include "conversion/ConversionHost.h"

#include "conversion/Numbers.h"

namespace korvex::conversion {

ConversionHost::~ConversionHost() = default;

std::unique_ptr<platform::TextLineWriter> ConversionHost::CreateOutput(const std::string& name,
                                                                       const platform::TextLineReader& input) {
    return platform::CreateTextOutputFile(name, &input.Identity());
}

std::unique_ptr<platform::TextLineReader> ConversionHost::OpenInput(const std::string& name) {
    return platform::TextLineReader::Open(name);
}

std::optional<double> ConversionHost::TextToReal(const std::string& text) {
    RealReading reading = ReadReal(text);
    if (!reading.value) {
        ShowNumericalError("Cant convert " + reading.retried);
    }
    return reading.value;
}

} // namespace korvex::conversion
