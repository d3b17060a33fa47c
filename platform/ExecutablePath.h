// The full path of the running executable: the settings, the macro files and the version resource are
// found from it.
#pragma once

#include <string>

namespace korvex::platform {

// The real path of the running executable (symbolic links resolved), or "" when the system cannot tell.
std::string ExecutablePath();

// Tests point the program at a temporary folder; an empty path restores the real one.
void SetExecutablePathForTesting(const std::string& path);

} // namespace korvex::platform
