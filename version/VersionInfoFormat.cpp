#include "version/VersionInfoFormat.h"

#include <utility>

namespace korvex::version {

std::string FormatFileVersionInfo(const TFileVersionInfo& info) {
    const std::pair<const char*, const std::string*> texts[] = {
        {"ShellTypeName", &info.ShellTypeName},
        {"CompanyName", &info.CompanyName},
        {"FileDescription", &info.FileDescription},
        {"FileVersion", &info.FileVersion},
        {"InternalName", &info.InternalName},
        {"LegalCopyRight", &info.LegalCopyRight},
        {"LegalTradeMarks", &info.LegalTradeMarks},
        {"OriginalFileName", &info.OriginalFileName},
        {"ProductName", &info.ProductName},
        {"ProductVersion", &info.ProductVersion},
        {"Comments", &info.Comments},
        {"SpecialBuild", &info.SpecialBuild},
        {"PrivateBuild", &info.PrivateBuild},
        {"FileTypeText", &info.FileTypeText},
    };
    const std::pair<const char*, bool> flags[] = {
        {"IsDebug", info.IsDebug},
        {"IsPreRelease", info.IsPreRelease},
        {"IsSpecialBuild", info.IsSpecialBuild},
        {"IsPrivateBuild", info.IsPrivateBuild},
        {"IsPatched", info.IsPatched},
        {"IsInfoInferred", info.IsInfoInferred},
    };
    std::string out;
    for (const auto& [name, text] : texts) {
        out.append(name).append(": ").append(*text).append("\n");
    }
    for (const auto& [name, flag] : flags) {
        out.append(name).append(": ").append(flag ? "true" : "false").append("\n");
    }
    return out;
}

} // namespace korvex::version
