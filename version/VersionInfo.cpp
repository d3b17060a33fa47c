#include "version/VersionInfo.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "platform/Shell.h"

namespace korvex::version {

namespace detail {

std::string QueryVersionString(void* block, const std::string& key) {
    std::string result;
    void* translation = nullptr;
    std::uint32_t length = 0;
    if (block == nullptr || !platform::VerQueryValueA(block, "\\VarFileInfo\\Translation", &translation, &length) ||
        length < 4) {
        return result;
    }
    const auto* pair = static_cast<const unsigned char*>(translation);
    const unsigned language = pair[0] | pair[1] << 8;
    const unsigned codePage = pair[2] | pair[3] << 8;
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%.4X%.4X\\", language, codePage);
    void* text = nullptr;
    if (platform::VerQueryValueA(block, path + key, &text, &length)) {
        result = static_cast<const char*>(text);
    }
    return result;
}

bool QueryFixedFileInfo(void* block, platform::VS_FIXEDFILEINFO& fixed) {
    void* value = nullptr;
    std::uint32_t length = 0;
    return block != nullptr && platform::VerQueryValueA(block, "", &value, &length) &&
           platform::DecodeFixedFileInfo(platform::ByteView(static_cast<const std::uint8_t*>(value), length), fixed);
}

bool HasFileFlag(const platform::VS_FIXEDFILEINFO& fixed, std::uint32_t flag) {
    return (flag & fixed.dwFileFlagsMask & fixed.dwFileFlags) == flag;
}

std::string DescribeFileType(const platform::VS_FIXEDFILEINFO& fixed) {
    static const char* const kDrivers[] = {"Unknown Driver",  "Printer Driver",       "Keyboard Driver",
                                           "Language Driver", "Display Driver",       "Mouse Driver",
                                           "Network Driver",  "System Driver",        "InstallableDriver",
                                           "Sound Driver",    "Communications Driver"};
    static const char* const kFonts[] = {"Unknown Font", "Raster Font", "Vector Font", "Truetype Font"};
    const std::uint32_t subtype = fixed.dwFileSubtype;
    switch (fixed.dwFileType) {
    case 0:
        return "Unknown";
    case 1:
        return "Application";
    case 2:
        return "DLL";
    case 3:
        return subtype < std::size(kDrivers) ? kDrivers[subtype] : "";
    case 4:
        return subtype < std::size(kFonts) ? kFonts[subtype] : "";
    case 5: {
        char text[48];
        std::snprintf(text, sizeof text, "Virtual Defice Identifier = %.8X", static_cast<unsigned>(subtype));
        return text;
    }
    case 7:
        return "Static-link Library";
    default:
        return "";
    }
}

} // namespace detail

void ReadFileVersionInfo(const std::string& fileName, TFileVersionInfo& info) {
    info = TFileVersionInfo();

    platform::SHFILEINFOA shellInfo;
    if (platform::SHGetFileInfoA(fileName, 0, &shellInfo, sizeof shellInfo, platform::SHGFI_TYPENAME) != 0) {
        info.ShellTypeName.assign(shellInfo.szTypeName, strnlen(shellInfo.szTypeName, sizeof shellInfo.szTypeName));
    }
    if (platform::SHGetFileInfoA(fileName, 0, &shellInfo, sizeof shellInfo, platform::SHGFI_EXETYPE) == 0) {
        return;
    }

    std::uint32_t handle = 0;
    const std::uint32_t size = platform::GetFileVersionInfoSizeA(fileName, &handle);
    if (size == 0) {
        return;
    }
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]());
    void* block = platform::GetFileVersionInfoA(fileName, handle, size, buffer.get()) ? buffer.get() : nullptr;

    struct Text {
        const char* key;
        std::string TFileVersionInfo::*field;
    };
    static const Text kTexts[] = {
        {"CompanyName", &TFileVersionInfo::CompanyName},
        {"FileDescription", &TFileVersionInfo::FileDescription},
        {"FileVersion", &TFileVersionInfo::FileVersion},
        {"InternalName", &TFileVersionInfo::InternalName},
        {"LegalCopyRight", &TFileVersionInfo::LegalCopyRight},
        {"LegalTradeMarks", &TFileVersionInfo::LegalTradeMarks},
        {"OriginalFileName", &TFileVersionInfo::OriginalFileName},
        {"ProductName", &TFileVersionInfo::ProductName},
        {"ProductVersion", &TFileVersionInfo::ProductVersion},
        {"Comments", &TFileVersionInfo::Comments},
        {"SpecialBuild", &TFileVersionInfo::SpecialBuild},
        {"PrivateBuild", &TFileVersionInfo::PrivateBuild},
    };
    for (const Text& text : kTexts) {
        info.*text.field = detail::QueryVersionString(block, text.key);
    }

    platform::VS_FIXEDFILEINFO fixed;
    if (!detail::QueryFixedFileInfo(block, fixed)) {
        return; // no fixed part: file type and flags stay empty and false
    }
    info.IsDebug = detail::HasFileFlag(fixed, VS_FF_DEBUG);
    info.IsPreRelease = detail::HasFileFlag(fixed, VS_FF_PRERELEASE);
    info.IsSpecialBuild = detail::HasFileFlag(fixed, VS_FF_SPECIALBUILD);
    info.IsPrivateBuild = detail::HasFileFlag(fixed, VS_FF_PRIVATEBUILD);
    info.IsPatched = detail::HasFileFlag(fixed, VS_FF_PATCHED);
    info.IsInfoInferred = detail::HasFileFlag(fixed, VS_FF_INFOINFERRED);
    info.FileTypeText = detail::DescribeFileType(fixed);
}

} // namespace korvex::version
