// Reads the VERSIONINFO statement of a resource script: the subset that describes one version resource.
//
//   1 VERSIONINFO                       (or VS_VERSION_INFO VERSIONINFO)
//   FILEVERSION 1,1,0,1                 also PRODUCTVERSION; FILEFLAGSMASK, FILEFLAGS, FILEOS, FILETYPE,
//   ...                                 FILESUBTYPE take one number
//   BEGIN                               ({ and } work too)
//     BLOCK "StringFileInfo" BEGIN BLOCK "080704E4" BEGIN VALUE "Key", "Text" ... END END
//     BLOCK "VarFileInfo" BEGIN VALUE "Translation", 0x0807, 0x04E4 END
//   END
//
// Numbers are decimal or 0x-hexadecimal with an optional L or U suffix. Texts are UTF-8 in double quotes,
// with "" or \" for a quote and the escapes \\ \n \r \t. Comments (// and /* */) and preprocessor lines (#)
// are skipped.
#pragma once

#include <stdexcept>
#include <string>

#include "tools/versiongen/VersionBlockWriter.h"

namespace korvex::tools {

// A script that does not fit the subset. The message starts with "<name>:<line>: ".
class RcScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses `text`; `name` is used in messages. Throws RcScriptError.
VersionDescription ParseRcScript(const std::string& text, const std::string& name);

} // namespace korvex::tools
