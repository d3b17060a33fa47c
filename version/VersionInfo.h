// What a file says about itself: the shell's name for its type and, for executables, the texts, flags and
// file type of its version resource.
#pragma once

#include <cstdint>
#include <string>

#include "platform/VersionResource.h"

namespace korvex::version {

// Fourteen texts and six flags, in this order. Texts are 8-bit (UTF-8).
struct TFileVersionInfo {
    std::string ShellTypeName;
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyRight;
    std::string LegalTradeMarks;
    std::string OriginalFileName;
    std::string ProductName;
    std::string ProductVersion;
    std::string Comments;
    std::string SpecialBuild;
    std::string PrivateBuild;
    std::string FileTypeText;
    bool IsDebug = false;
    bool IsPreRelease = false;
    bool IsSpecialBuild = false;
    bool IsPrivateBuild = false;
    bool IsPatched = false;
    bool IsInfoInferred = false;
};

inline constexpr std::uint32_t VS_FF_DEBUG = 0x01;
inline constexpr std::uint32_t VS_FF_PRERELEASE = 0x02;
inline constexpr std::uint32_t VS_FF_PATCHED = 0x04;
inline constexpr std::uint32_t VS_FF_PRIVATEBUILD = 0x08;
inline constexpr std::uint32_t VS_FF_INFOINFERRED = 0x10;
inline constexpr std::uint32_t VS_FF_SPECIALBUILD = 0x20;

// Fills `info` for the file at `fileName`, after resetting it. Never fails: whatever cannot be found stays
// empty or false.
void ReadFileVersionInfo(const std::string& fileName, TFileVersionInfo& info);

// The steps of ReadFileVersionInfo, open to the tests.
namespace detail {

// The text under `key` in the string table of the block's first translation; empty when anything is
// missing. `block` is a buffer filled by GetFileVersionInfoA, or null when the block could not be read.
std::string QueryVersionString(void* block, const std::string& key);

// The fixed part of the block; false when it has none.
bool QueryFixedFileInfo(void* block, platform::VS_FIXEDFILEINFO& fixed);

// True when `flag` is set both in dwFileFlagsMask and in dwFileFlags.
bool HasFileFlag(const platform::VS_FIXEDFILEINFO& fixed, std::uint32_t flag);

// The readable text for dwFileType and dwFileSubtype; empty for combinations without one.
std::string DescribeFileType(const platform::VS_FIXEDFILEINFO& fixed);

} // namespace detail

} // namespace korvex::version
