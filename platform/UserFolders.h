// Where a program installed for everybody keeps each user's files, and where it finds what was installed
// beside it. The folders follow the XDG base-directory rules; the installed data lies in "share/korvex/"
// next to the "bin/" folder of the executable, so an install moved as a whole keeps finding it.
#pragma once

#include <string>
#include <system_error>

namespace korvex::platform {

// "$XDG_CONFIG_HOME/korvex/" (an absolute XDG_CONFIG_HOME only), else "$HOME/.config/korvex/", else the
// home folder of the user's account + ".config/korvex/"; "" when none of these is known.
std::string UserConfigurationFolder();

// "<folder of the executable>/../share/korvex/" for the given executable's path, "" when it has no folder.
std::string InstalledDataFolder(const std::string& executablePath);

// True when this process may create and replace files in `folder` ("" is the working directory).
bool IsWritableFolder(const std::string& folder);

// Creates `folder` and the folders above it that are missing (new ones only for this user, 0700).
[[nodiscard]] std::error_code CreateFolders(const std::string& folder);

} // namespace korvex::platform
