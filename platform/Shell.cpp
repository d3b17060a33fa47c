#include "platform/Shell.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/ExecutableImage.h"
#include "platform/ExecutablePath.h"
#include "platform/MimeTypePlugin.h"

namespace korvex::platform {

namespace {

// Enough of a file to tell the executable formats apart: headers and, for PE, the optional header.
constexpr std::size_t kHeaderBytes = 4096;

bool ReadFileStart(const std::string& path, std::vector<std::uint8_t>& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    bytes.resize(kHeaderBytes);
    std::size_t used = 0;
    while (used < kHeaderBytes) {
        const ssize_t got = ::read(fd, bytes.data() + used, kHeaderBytes - used);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(used);
    return true;
}

// Copies `text` into a zero-terminated field, cut at a UTF-8 character boundary.
void CopyCut(const std::string& text, char* field, std::size_t fieldSize) {
    std::size_t length = text.size();
    if (length > fieldSize - 1) {
        length = fieldSize - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length; // the byte after the cut continues a character: drop that character whole
        }
    }
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Loaded on the first request for a type name and kept: reading the MIME database needs Qt, which nothing
// else in the command-line converter does.
MimeTypeCommentFunction MimeTypeComment() {
    static const MimeTypeCommentFunction function = [] {
        const std::string folder = FolderOf(ExecutablePath());
        std::vector<std::string> candidates = {folder + "/" + kMimeTypePlugin,
                                               folder + "/../lib/korvex/" + kMimeTypePlugin};
#ifdef KORVEX_MIME_PLUGIN_BUILD_PATH
        candidates.emplace_back(KORVEX_MIME_PLUGIN_BUILD_PATH);
#endif
        for (const std::string& candidate : candidates) {
            if (void* library = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                if (void* symbol = ::dlsym(library, kMimeTypeCommentSymbol)) {
                    return reinterpret_cast<MimeTypeCommentFunction>(symbol);
                }
                ::dlclose(library);
            }
        }
        return MimeTypeCommentFunction{nullptr};
    }();
    return function;
}

} // namespace

std::uintptr_t SHGetFileInfoA(const std::string& path, std::uint32_t /*fileAttributes*/, SHFILEINFOA* psfi,
                              std::uint32_t cbFileInfo, std::uint32_t flags) {
    if (flags & SHGFI_EXETYPE) {
        std::vector<std::uint8_t> start;
        if (flags != SHGFI_EXETYPE || !ReadFileStart(path, start)) {
            return 0;
        }
        return ExecutableType(ByteView(start));
    }
    if (flags & SHGFI_TYPENAME) {
        struct stat st {};
        if (psfi == nullptr || cbFileInfo < sizeof(SHFILEINFOA) || ::stat(path.c_str(), &st) != 0) {
            return 0;
        }
        const MimeTypeCommentFunction comment = MimeTypeComment();
        if (comment == nullptr) {
            return 0; // no MIME database reader installed: no type name, as for a file the shell does not know
        }
        char text[256];
        const std::size_t length = comment(path.c_str(), text, sizeof text);
        CopyCut(std::string(text, length < sizeof text ? length : sizeof text - 1), psfi->szTypeName,
                sizeof psfi->szTypeName);
        return 1;
    }
    return 0;
}

} // namespace korvex::platform
