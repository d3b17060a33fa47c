#include "excellon/DrillFileReport.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <sstream>

#include "conversion/Numbers.h"
#include "excellon/BoardJob.h"
#include "excellon/Format.h"
#include "excellon/Reader.h"
#include "platform/TextFile.h"

namespace korvex::excellon {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

} // namespace

std::optional<NumberFormat> ParseNumberFormat(std::string_view text) {
    if (text.size() != 3 || text[1] != ':' || !std::isdigit(static_cast<unsigned char>(text[0])) ||
        !std::isdigit(static_cast<unsigned char>(text[2]))) {
        return std::nullopt;
    }
    NumberFormat format{text[0] - '0', text[2] - '0'};
    if (format.integerDigits == 0 && format.decimalDigits == 0) {
        return std::nullopt;
    }
    return format;
}

std::optional<UnitsChoice> ParseUnits(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "inch") {
        return UnitsChoice::Inch;
    }
    if (lower == "mm" || lower == "metric") {
        return UnitsChoice::Millimetre;
    }
    return std::nullopt;
}

std::optional<ZerosChoice> ParseZeros(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "lz") {
        return ZerosChoice::LZ;
    }
    if (lower == "tz") {
        return ZerosChoice::TZ;
    }
    return std::nullopt;
}

namespace {

// Counts what a run would write, without writing it.
class CountingSink : public ReaderSink {
public:
    explicit CountingSink(DrillFileReport& report) : report_(report) {}

    void Comment(std::string_view) override {}
    void DefineTool(std::int32_t tool, std::optional<double> diameterMm, std::string_view, std::string_view,
                    std::string_view) override {
        ToolReport& entry = Tool(tool);
        if (diameterMm) {
            entry.diameterMm = *diameterMm;
        }
    }
    void SelectTool(std::int32_t tool, std::string_view) override { Tool(tool); }
    void UnloadTool() override {}
    void Hole(double xMm, double yMm) override {
        ++report_.holes;
        extents_.Add(xMm, yMm);
        CopyExtents();
    }
    void Path(const conversion::PathEvent& path) override {
        ++(path.kind == conversion::PathKind::Slot ? report_.slotCount : report_.routes);
        extents_.Add(path);
        CopyExtents();
    }
    void EndOfProgram() override {}

private:
    ToolReport& Tool(std::int32_t tool) {
        const auto found = std::find_if(report_.tools.begin(), report_.tools.end(),
                                        [tool](const ToolReport& entry) { return entry.number == tool; });
        if (found != report_.tools.end()) {
            return *found;
        }
        report_.tools.push_back(ToolReport{tool, 0.0});
        return report_.tools.back();
    }
    // The report's extents follow every point, so a file that fails halfway reports how far it got.
    void CopyExtents() {
        const BoardExtents& grown = extents_.Result();
        report_.minX = grown.minX;
        report_.maxX = grown.maxX;
        report_.minY = grown.minY;
        report_.maxY = grown.maxY;
    }

    DrillFileReport& report_;
    BoardExtentsBuilder extents_;
};

} // namespace

DrillFileReport InspectDrillFile(const std::string& path, const ReadingChoice& choice) {
    DrillFileReport report;
    try {
        std::unique_ptr<platform::TextLineReader> input = platform::TextLineReader::Open(path);
        if (!input) {
            report.error = "can not open " + path;
            return report;
        }
        const std::vector<std::string> lines = ReadDrillLines(*input);
        DigitCounts counts;
        for (const std::string& line : lines) {
            CountDigits(line, counts);
        }
        const Format format = DetectFormat(lines, choice, path);
        report.units = format.units.value == Units::Millimetre ? "mm" : "inch";
        report.unitsSource = SourceName(format.units.source);
        report.digits =
            std::to_string(format.digits.value->integer) + ":" + std::to_string(format.digits.value->decimal);
        report.digitsSource = SourceName(format.digits.source);
        report.zeros = format.zeros.value == Zeros::LZ ? "LZ" : "TZ";
        report.zerosSource = SourceName(format.zeros.source);
        report.incremental = format.incremental.value.value_or(false);
        report.decimalNumbers = counts.decimalPoint;

        CountingSink sink(report);
        // As the run does: a file without drill data is no drill file, and a Gerber file says so first.
        const auto nothing = [&report]() {
            return report.tools.empty() && report.holes == 0 && report.slotCount == 0 && report.routes == 0;
        };
        try {
            ReadExcellon(lines, 1, format, sink);
        } catch (const conversion::ConversionError&) {
            if (nothing() && LooksLikeGerber(lines)) {
                throw conversion::ConversionError(NoDrillDataMessage(lines, path));
            }
            throw;
        }
        if (nothing()) {
            throw conversion::ConversionError(NoDrillDataMessage(lines, path));
        }
        std::ostringstream text;
        text << report.units << ", " << report.digits << ' ' << report.zeros << " (units " << report.unitsSource
             << ", digits " << report.digitsSource << ", zeros " << report.zerosSource << "), " << report.tools.size()
             << " tools, " << report.holes << " holes, " << report.slotCount << " slots, " << report.routes
             << " routes";
        report.description = text.str();
        report.readable = true;
    } catch (const std::exception& error) {
        report.error = error.what();
        report.readable = false;
    }
    return report;
}

} // namespace korvex::excellon
