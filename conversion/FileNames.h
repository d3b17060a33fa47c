// The output name that choosing a drill file proposes: the drill file's folder and base name with ".CNC".
#pragma once

#include <string>

namespace korvex::conversion {

// The text up to and including its last "/", "\" or ":"; empty when it has none. "\" and ":" keep names
// typed the Windows way working.
std::string FolderPart(const std::string& path);
// The file-name part less its extension (from the last "." of the file-name part).
std::string BaseName(const std::string& path);
// FolderPart + BaseName + ".CNC".
std::string ProposedOutputName(const std::string& input);

} // namespace korvex::conversion
