// Where a font file lies on this system. The window's bitmap face is one that fontconfig knows the folders
// of but will not offer (Debian turns bitmap faces off), so it is looked up by its file name.
#pragma once

#include <string>
#include <vector>

namespace korvex::platform {

// The folders searched for font files: the colon-separated list in KORVEX_FONT_DIRS when that is set (an
// empty folder there hides every face, which is how the fallback is tried), else the places Wine's font package uses
// followed by fontconfig's font folders.
std::vector<std::string> FontFolders();

// Loads fontconfig's configuration and its cache of the installed fonts, which the first text drawn needs. Safe on
// any thread and before the application object exists, so that a start can do it beside other work.
void LoadFontConfiguration();

// The first file named `fileName` in FontFolders() (their subfolders included), or "".
std::string FindFontFile(const std::string& fileName);

} // namespace korvex::platform
