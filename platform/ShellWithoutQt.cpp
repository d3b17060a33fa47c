// The shell services for a build without Qt (the arm64 cross build): the executable type is read from the
// file as with Qt, but no MIME database is at hand, so no type has a name.
#include "platform/Shell.h"

#include <fstream>
#include <sys/stat.h>
#include <vector>

#include "platform/ExecutableImage.h"

namespace korvex::platform {

namespace {

// Enough of a file to tell the executable formats apart: headers and, for PE, the optional header.
constexpr std::size_t kHeaderBytes = 4096;

bool ReadFileStart(const std::string& path, std::vector<std::uint8_t>& bytes) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.resize(kHeaderBytes);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return true;
}

} // namespace

std::uintptr_t SHGetFileInfoA(const std::string& path, std::uint32_t /*fileAttributes*/, SHFILEINFOA* /*psfi*/,
                              std::uint32_t /*cbFileInfo*/, std::uint32_t flags) {
    std::vector<std::uint8_t> start;
    if (flags != SHGFI_EXETYPE || !ReadFileStart(path, start)) {
        return 0;
    }
    return ExecutableType(ByteView(start));
}

} // namespace korvex::platform
