#include "job/SplitProgram.h"

#include <algorithm>

#include "conversion/ProgramEmitter.h"

namespace korvex::job {

namespace {

std::string_view WithoutNumber(std::string_view line) {
    if (line.size() > 1 && (line[0] == 'N' || line[0] == 'n')) {
        const std::size_t blank = line.find(' ');
        return blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    }
    return line;
}

bool EndsProgram(std::string_view line) {
    std::string_view code = WithoutNumber(line);
    code = code.substr(0, code.find(' '));
    return code == "M30" || code == "M02" || code == "M2";
}

} // namespace

std::vector<ProgramPart> SplitProgram(std::string_view program, const std::vector<std::string>& endLines) {
    const std::string mark = "; " + std::string(conversion::ProgramEmitter::kPartMark);
    std::string header;
    std::vector<ProgramPart> parts;
    ProgramPart* current = nullptr;
    std::vector<bool> endedParts; // whether the part's last program line ends the program
    std::size_t currentIndex = 0;
    std::size_t start = 0;
    while (start < program.size()) {
        std::size_t end = program.find('\n', start);
        end = end == std::string_view::npos ? program.size() : end + 1;
        const std::string_view line = program.substr(start, end - start);
        start = end;
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) {
            bare.remove_suffix(1);
        }
        if (bare.rfind(mark, 0) == 0) {
            const std::string tool(bare.substr(mark.size()));
            const auto found =
                std::find_if(parts.begin(), parts.end(), [&](const ProgramPart& part) { return part.tool == tool; });
            currentIndex = static_cast<std::size_t>(found - parts.begin());
            if (found == parts.end()) {
                parts.push_back({tool, {}});
                endedParts.push_back(false);
            }
            current = &parts[currentIndex];
            continue;
        }
        if (current == nullptr) {
            if (!bare.empty() && bare.front() == ';') {
                header.append(line);
                continue;
            }
            parts.push_back({"T00", {}});
            endedParts.push_back(false);
            currentIndex = parts.size() - 1;
            current = &parts.back();
        }
        current->text.append(line);
        if (!bare.empty() && bare.front() != ';') {
            endedParts[currentIndex] = EndsProgram(bare);
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string text = "; Put in the drill " + parts[i].tool + ", zero Z on the work surface, then start\r\n";
        text += header;
        text += parts[i].text;
        if (!endedParts[i]) {
            for (const std::string& line : endLines) {
                text += line + "\r\n";
            }
        }
        parts[i].text = std::move(text);
    }
    return parts;
}

std::string PartPath(const std::string& output, const std::string& tool) {
    const std::size_t slash = output.find_last_of('/');
    const std::size_t dot = output.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    std::string path = hasExtension ? output.substr(0, dot) : output;
    path += '-';
    // "T01 0.800 mm" becomes "T01-0.800mm".
    const std::size_t blank = tool.find(' ');
    path += tool.substr(0, blank);
    if (blank != std::string::npos) {
        path += '-';
        for (const char c : tool.substr(blank + 1)) {
            if (c != ' ') {
                path += c;
            }
        }
    }
    path += hasExtension ? output.substr(dot) : std::string(".nc");
    return path;
}

} // namespace korvex::job
