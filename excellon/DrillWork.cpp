#include "excellon/DrillWork.h"

#include <algorithm>
#include <exception>

#include "excellon/Reader.h"

namespace korvex::excellon {

namespace {

class CollectingSink : public ReaderSink {
public:
    explicit CollectingSink(DrillWork& work) : work_(work) {}

    void Comment(std::string_view) override {}
    void DefineTool(std::int32_t tool, std::optional<double>, std::string_view, std::string_view,
                    std::string_view) override {
        Count(tool);
    }
    void SelectTool(std::int32_t tool, std::string_view) override {
        Count(tool);
        tool_ = tool;
    }
    void UnloadTool() override { tool_ = -1; }
    void Hole(double xMm, double yMm) override { work_.holes.push_back({tool_, xMm, yMm}); }
    void Path(const conversion::PathEvent& path) override {
        work_.paths.push_back(path);
        work_.paths.back().tool = tool_;
    }
    void EndOfProgram() override {}

private:
    void Count(std::int32_t tool) {
        if (std::find(seen_.begin(), seen_.end(), tool) == seen_.end()) {
            seen_.push_back(tool);
            work_.tools = seen_.size();
        }
    }

    DrillWork& work_;
    std::int32_t tool_ = -1;
    std::vector<std::int32_t> seen_;
};

} // namespace

DrillWork ReadDrillWork(const std::vector<std::string>& lines, const ReadingChoice& choice,
                        const std::string& drillPath) {
    DrillWork work;
    try {
        work.format = DetectFormat(lines, choice, drillPath);
        // Most lines of a large file are holes: one allocation instead of a doubling series.
        work.holes.reserve(lines.size());
        CollectingSink sink(work);
        ReadExcellon(lines, 1, work.format, sink);
        work.readable = true;
    } catch (const std::exception& error) {
        work.error = error.what();
        // As the Excellon reading itself says it: a Gerber file fails on its first line, which tells less.
        if (work.tools == 0 && work.holes.empty() && work.paths.empty() && LooksLikeGerber(lines)) {
            work.error = NoDrillDataMessage(lines, drillPath);
        }
        work.holes.clear();
        work.holes.shrink_to_fit();
        work.paths.clear();
    }
    return work;
}

std::string ReadAs(const Format& format) {
    std::string text = format.units.value == Units::Millimetre ? "mm" : "inch";
    if (format.digits.value) {
        text += " " + std::to_string(format.digits.value->integer) + ":" + std::to_string(format.digits.value->decimal);
    }
    text += format.zeros.value == Zeros::LZ ? " LZ" : " TZ";
    if (format.incremental.value.value_or(false)) {
        text += " incremental";
    }
    std::vector<Source> sources;
    for (const Source source : {format.units.source, format.digits.source, format.zeros.source}) {
        if (source != Source::None && std::find(sources.begin(), sources.end(), source) == sources.end()) {
            sources.push_back(source);
        }
    }
    if (!sources.empty()) {
        text += " (";
        for (std::size_t k = 0; k < sources.size(); ++k) {
            text += (k == 0 ? "" : ", ");
            text += SourceName(sources[k]);
        }
        text += ")";
    }
    return text;
}

} // namespace korvex::excellon
