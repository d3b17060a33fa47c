#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex::platform {

namespace {

constexpr char kProgramFolder[] = "korvex/";

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    // Started without an environment (a service, a test harness): the account still knows it.
    if (const passwd* account = ::getpwuid(::geteuid()); account != nullptr && account->pw_dir != nullptr) {
        home = account->pw_dir;
    }
    return home;
}

} // namespace

std::string UserConfigurationFolder() {
    // A relative XDG_CONFIG_HOME is invalid by the rules and ignored.
    const std::string configHome = Environment("XDG_CONFIG_HOME");
    if (!configHome.empty() && configHome.front() == '/') {
        return WithSlash(configHome) + kProgramFolder;
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : WithSlash(home) + ".config/" + kProgramFolder;
}

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
