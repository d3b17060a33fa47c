#include "platform/ExecutablePath.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace korvex::platform {

namespace {
std::string& TestPath() {
    static std::string path;
    return path;
}
} // namespace

std::string ExecutablePath() {
    if (!TestPath().empty()) {
        return TestPath();
    }
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath("/proc/self/exe", nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

void SetExecutablePathForTesting(const std::string& path) {
    TestPath() = path;
}

} // namespace korvex::platform
