#include "conversion/FileNames.h"

namespace korvex::conversion {

namespace {
std::size_t FileNameStart(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? 0 : separator + 1;
}
} // namespace

std::string FolderPart(const std::string& path) {
    return path.substr(0, FileNameStart(path));
}

std::string BaseName(const std::string& path) {
    const std::string fileName = path.substr(FileNameStart(path));
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string ProposedOutputName(const std::string& input) {
    return FolderPart(input) + BaseName(input) + ".CNC";
}

} // namespace korvex::conversion
