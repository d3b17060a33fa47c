// The version record as text, one "Field: value" line per field, for korvex-cli --version-info.
#pragma once

#include <string>

#include "version/VersionInfo.h"

namespace korvex::version {

// Twenty lines in field order, each ending in "\n"; flags read "true" or "false".
std::string FormatFileVersionInfo(const TFileVersionInfo& info);

} // namespace korvex::version
