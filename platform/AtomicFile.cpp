#include "platform/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace korvex::platform {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kMaxFileSize = std::size_t{1} << 30;

std::error_code Error(int code) {
    return {code, std::generic_category()};
}
std::error_code LastError() {
    return Error(errno);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now, so that a failing close (delayed write errors on network file systems) is seen.
    std::error_code Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? std::error_code() : LastError();
    }

private:
    int fd_;
};

std::error_code WriteAll(int fd, std::string_view content, off_t offset, bool positioned) {
    std::size_t done = 0;
    while (done < content.size()) {
        const std::size_t left = content.size() - done;
        const ssize_t n = positioned ? ::pwrite(fd, content.data() + done, left, offset + static_cast<off_t>(done))
                                     : ::write(fd, content.data() + done, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        if (n == 0) {
            return Error(ENOSPC);
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // Best effort: the rename is already done, and some file systems refuse fsync on a folder.
        ::fsync(fd);
        ::close(fd);
    }
}

// The file itself is rewritten: used only where renaming cannot work (see the header).
std::error_code WriteInPlace(const std::string& target, std::string_view content, bool regular) {
    Descriptor file(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) {
        return LastError();
    }
    if (!regular) {
        // O_NONBLOCK only kept the open from waiting for a reader of a pipe; the writes may wait.
        const int flags = ::fcntl(file.Get(), F_GETFL);
        if (flags >= 0) {
            ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK);
        }
        if (auto error = WriteAll(file.Get(), content, 0, false)) {
            return error;
        }
        return file.Close();
    }
    // Reserving the space first turns a full disk into a failure before the old content is touched.
    if (!content.empty() && ::fallocate(file.Get(), 0, 0, static_cast<off_t>(content.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        return LastError();
    }
    if (auto error = WriteAll(file.Get(), content, 0, true)) {
        return error;
    }
    if (::ftruncate(file.Get(), static_cast<off_t>(content.size())) != 0 || ::fsync(file.Get()) != 0) {
        return LastError();
    }
    return file.Close();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

bool IsMissingFileError(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

std::error_code ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    // O_NONBLOCK: opening a pipe must not wait for a writer.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) {
        return LastError();
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        return LastError();
    }
    if (S_ISDIR(info.st_mode)) {
        return Error(EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        // A device such as /dev/zero never ends, and a pipe may never deliver: neither is a file people keep.
        return Error(EINVAL);
    }
    if (static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
        return Error(EFBIG);
    }
    // One byte more than the size, so the end is seen without growing the buffer.
    content.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() >= kMaxFileSize) {
                content.clear();
                return Error(EFBIG);
            }
            content.resize(std::min(kMaxFileSize, std::max(content.size() * 2, kReadChunk)));
        }
        const ssize_t n = ::read(file.Get(), content.data() + used, content.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const auto error = LastError();
            content.clear();
            return error;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    content.resize(used);
    return {};
}

std::error_code WriteFileAtomically(const std::string& path, std::string_view content) {
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
        if (resolved) {
            target = resolved.get();
        }
    }
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return LastError();
    }
    if (exists && S_ISDIR(info.st_mode)) {
        return Error(EISDIR);
    }
    if (exists && !S_ISREG(info.st_mode)) {
        return WriteInPlace(target, content, false);
    }
    // A file its owner made read-only (or one that belongs to somebody else) is not ours to replace, even
    // where the folder would let the rename through.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return LastError();
    }

    const std::string folder = FolderOf(target);
    // Hidden, and short enough for any file-name limit whatever the target's name.
    const std::string base = target.substr(folder.size()).substr(0, 160);
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        const auto error = LastError();
        if (exists && (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) &&
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) {
            // A folder we may not create files in, holding a file we may write: the only way to save.
            return WriteInPlace(target, content, true);
        }
        return error;
    }
    Descriptor file(fd);
    auto fail = [&temporary](std::error_code error) {
        ::unlink(temporary.c_str());
        return error;
    };
    if (exists) {
        if (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) {
            // Only root may give the file away; for anybody else the new file is simply theirs.
            [[maybe_unused]] const int ignored = ::fchown(fd, info.st_uid, info.st_gid);
        }
        if (::fchmod(fd, info.st_mode & 07777) != 0) {
            return fail(LastError());
        }
    }
    if (auto error = WriteAll(fd, content, 0, false)) {
        return fail(error);
    }
    if (::fsync(fd) != 0) {
        return fail(LastError());
    }
    if (auto error = file.Close()) {
        return fail(error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(LastError());
    }
    SyncFolder(folder);
    return {};
}

std::string SystemReason(const std::error_code& error) {
    if (error.category() != std::generic_category() && error.category() != std::system_category()) {
        return error.message();
    }
    char buffer[256];
    // GNU strerror_r: returns the text, which need not be in the buffer.
    return ::strerror_r(error.value(), buffer, sizeof buffer);
}

} // namespace korvex::platform
