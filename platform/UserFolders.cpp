#include "platform/UserFolders.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex::platform {

namespace {

constexpr char kProgramFolder[] = "korvex/";

} // namespace

std::string InstalledDataFolder(const std::string& executablePath) {
    const auto slash = executablePath.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    return executablePath.substr(0, slash + 1) + "../share/" + kProgramFolder;
}

bool IsWritableFolder(const std::string& folder) {
    const std::string path = folder.empty() ? std::string(".") : folder;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::error_code CreateFolders(const std::string& folder) {
    std::string path;
    std::size_t start = 0;
    while (start < folder.size()) {
        const auto slash = folder.find('/', start);
        const std::size_t end = slash == std::string::npos ? folder.size() : slash + 1;
        path = folder.substr(0, end);
        start = end;
        if (path == "/" || path.empty()) {
            continue;
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return {errno, std::generic_category()};
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return {errno, std::generic_category()};
    }
    return S_ISDIR(info.st_mode) ? std::error_code() : std::make_error_code(std::errc::not_a_directory);
}

} // namespace korvex::platform
