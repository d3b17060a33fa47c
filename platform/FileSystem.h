// The few file-system services that choosing files needs: whether a file is there, deleting it, renaming it
// without replacing anything, and the process's working directory, against which bare names resolve.
#pragma once

#include <string>
#include <system_error>

namespace korvex::platform {

// True when something other than a folder exists under `path` (a symbolic link counts as what it leads to).
bool FileExists(const std::string& path);

// Deletes the file `path`. A folder is never deleted (EISDIR). Returns the system's error, or an empty
// error_code on success.
[[nodiscard]] std::error_code DeleteFile(const std::string& path);

// Gives the file `from` the name `to`. Never replaces what is already under `to`, be it a file or a folder:
// then the rename fails with EEXIST and nothing changes. Returns the system's error, or an empty error_code.
[[nodiscard]] std::error_code RenameFile(const std::string& from, const std::string& to);

// True when both names lead to one and the same existing file, whatever names reached it (links, "..").
bool IsSameFile(const std::string& a, const std::string& b);

// The folder against which bare names resolve from now on.
[[nodiscard]] std::error_code SetWorkingDirectory(const std::string& folder);

} // namespace korvex::platform
