// In a file of its own: the account lookup it falls back on is one a statically linked program cannot make
// safely, and korvex-cli, which is linked so, never needs this folder.
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "platform/UserFolders.h"

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

} // namespace korvex::platform
