#include "platform/Shell.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/ExecutableImage.h"
#include "platform/ExecutablePath.h"
#include "platform/MimeTypeName.h"

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

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Looked for once: reading the MIME database needs Qt, which nothing else in the command-line converter does,
// so it lives in a program of its own. Empty when none is installed. Only places fixed relative to the
// program itself are searched: a path remembered from the build would let whoever can write to the build
// folder choose what an installed korvex starts. Test programs, which live elsewhere in the build tree,
// name it through the environment.
const std::string& MimeTypeNameProgram() {
    static const std::string program = [] {
        std::vector<std::string> candidates;
        if (const char* named = std::getenv(kMimeTypeNameProgramVariable); named != nullptr && *named != '\0') {
            candidates.emplace_back(named);
        }
        const std::string folder = FolderOf(ExecutablePath());
        candidates.push_back(folder + "/" + kMimeTypeNameProgram);
        candidates.push_back(folder + "/../lib/korvex/" + kMimeTypeNameProgram);
        for (const std::string& candidate : candidates) {
            if (IsExecutable(candidate)) {
                return candidate;
            }
        }
        return std::string();
    }();
    return program;
}

// Runs the type-name program on `path`; false when it cannot be started or does not answer.
bool MimeTypeComment(const std::string& path, std::string& comment) {
    const std::string& program = MimeTypeNameProgram();
    if (program.empty()) {
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    const int started = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (started != 0) {
        ::close(pipeFds[0]);
        return false;
    }
    // A description is a line of text; more than this is no answer worth showing, but is still read to the
    // end so the program never blocks on a full pipe.
    constexpr std::size_t kMostKept = 4096;
    char block[512];
    for (;;) {
        const ssize_t got = ::read(pipeFds[0], block, sizeof block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        comment.append(block, std::min(static_cast<std::size_t>(got), kMostKept - std::min(kMostKept, comment.size())));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
        std::string comment;
        if (!MimeTypeComment(path, comment)) {
            return 0; // no MIME database reader installed: no type name, as for a file the shell does not know
        }
        CopyCut(comment, psfi->szTypeName, sizeof psfi->szTypeName);
        return 1;
    }
    return 0;
}

} // namespace korvex::platform
