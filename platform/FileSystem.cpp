#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex::platform {

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Whether the rename could not be tried at all (a kernel or file system without the no-replace flag), as
// opposed to a refused rename.
bool IsUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::error_code DeleteFile(const std::string& path) {
    // unlink refuses a folder on its own; on Linux with EISDIR, elsewhere with EPERM. Say which it was.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    return ::unlink(path.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code RenameFile(const std::string& from, const std::string& to) {
    // A plain rename() would silently replace a file under the new name; the kernel's no-replace rename
    // checks and moves in one step.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (!IsUnsupported(errno)) {
        return LastError();
    }
    // No such rename on this file system: a hard link fails just as well when the name is taken, and the
    // old name goes only once the new one holds the file.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            const std::error_code error = LastError();
            ::unlink(to.c_str());
            return error;
        }
        return {};
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) {
        return LastError();
    }
    // Neither (a file system without hard links): look, then move. Another program could slip a file in
    // between, which is the best such a file system allows.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        return std::make_error_code(std::errc::file_exists);
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : LastError();
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::error_code SetWorkingDirectory(const std::string& folder) {
    return ::chdir(folder.c_str()) == 0 ? std::error_code() : LastError();
}

} // namespace korvex::platform
