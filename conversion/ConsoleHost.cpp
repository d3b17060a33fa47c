#include "conversion/ConsoleHost.h"

#include <unistd.h>

namespace korvex::conversion {

std::vector<std::string> SplitBlockLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    bool pending = false; // a line has begun that no line break has ended yet
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            lines.push_back(std::move(current));
            current.clear();
            pending = false;
        } else {
            current.push_back(c);
            pending = true;
        }
    }
    if (pending) {
        lines.push_back(std::move(current));
    }
    return lines;
}

ConsoleHost::ConsoleHost(std::ostream& log, bool quiet) : stream_(log), quiet_(quiet) {}

std::string ConsoleHost::FieldText(Field field) const {
    const auto found = fields_.find(field);
    return found == fields_.end() ? std::string() : found->second;
}

std::vector<std::string> ConsoleHost::MacroLines(HostMacro macro) const {
    const auto found = macros_.find(macro);
    return found == macros_.end() ? std::vector<std::string>() : SplitBlockLines(found->second);
}

void ConsoleHost::AppendLogLine(const std::string& line) {
    log_.append(line).append("\n");
    const bool warning = line.rfind("Warning: ", 0) == 0;
    if (!quiet_ || warning) {
        stream_ << line << '\n' << std::flush;
    }
    reportedProblem_ = reportedProblem_ || warning;
}

void ConsoleHost::SetLogText(const std::string& text) {
    // The run puts a failure in front of the earlier log; on a console that is a new line to show.
    std::string added = text;
    if (added.size() >= log_.size() && added.compare(added.size() - log_.size(), log_.size(), log_) == 0) {
        added.resize(added.size() - log_.size());
    }
    while (!added.empty() && (added.back() == '\n' || added.back() == '\r')) {
        added.pop_back();
    }
    log_ = text;
    stream_ << added << '\n' << std::flush;
    reportedProblem_ = true;
}

void ConsoleHost::ShowNumericalError(const std::string& message) {
    stream_ << "Numerical Error: " << message << '\n' << std::flush;
    reportedProblem_ = true;
}

std::unique_ptr<platform::TextLineWriter> ConsoleHost::CreateOutput(const std::string& name,
                                                                    const platform::TextLineReader& input) {
    if (name == "-") {
        return platform::DescriptorTextWriter(STDOUT_FILENO, "standard output");
    }
    return ConversionHost::CreateOutput(name, input);
}

} // namespace korvex::conversion
