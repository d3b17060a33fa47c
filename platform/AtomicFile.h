// Whole-file reads and whole-or-nothing writes for small files that people keep: the settings file and the
// two macro files. A crash, a full disk or a failed write never leaves such a file half written.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace korvex::platform {

// Reads the whole regular file into `content` (replacing it), at most 1 GiB (EFBIG beyond). A folder gives
// EISDIR, any other kind of file (device, pipe) EINVAL.
[[nodiscard]] std::error_code ReadWholeFile(const std::string& path, std::string& content);

// True for the errors that mean "there is no such file": the file or a folder on its path is missing,
// or a component of the path is not a folder.
bool IsMissingFileError(const std::error_code& error);

// Replaces the file's content with `content`, whole or not at all. The content goes to a temporary file in
// the same folder, is flushed to the disk and then renamed over the old file, which keeps its permissions
// (and its owner where allowed). A symbolic link is followed, so the link stays a link. A new file gets
// the usual permissions (0666 less the umask).
//
// Two cases cannot be written by renaming, and are written in place instead:
// - a folder that does not let us create a file although the existing file is writable: the space is
//   reserved first, so a full disk fails before any byte changes;
// - an existing target that is not a regular file (a device such as /dev/null).
// An existing file this process may not write (its mode or its owner) is left alone: EACCES, as an
// unwritable folder gives. A folder as target gives EISDIR. Returns the system's error, or an empty error_code on
// success.
[[nodiscard]] std::error_code WriteFileAtomically(const std::string& path, std::string_view content);

// The system's reason for `error` in the user's language.
std::string SystemReason(const std::error_code& error);

} // namespace korvex::platform
