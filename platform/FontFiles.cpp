#include "platform/FontFiles.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace korvex::platform {

namespace {

// fonts-wine on Debian and Ubuntu, and the trees of Wine builds installed by hand.
constexpr const char* kWineFontFolders[] = {
    "/usr/share/wine/fonts",
    "/usr/lib/wine/fonts",
    "/usr/local/share/wine/fonts",
    "/opt/wine-stable/share/wine/fonts",
};

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto colon = list.find(':', start);
        const std::size_t end = colon == std::string::npos ? list.size() : colon;
        if (end > start) {
            parts.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::vector<std::string> FontconfigFolders() {
    std::vector<std::string> folders;
    FcConfig* config = FcInitLoadConfig(); // the folders only: no scan of the fonts themselves
    if (config == nullptr) {
        return folders;
    }
    if (FcStrList* list = FcConfigGetFontDirs(config); list != nullptr) {
        while (const FcChar8* folder = FcStrListNext(list)) {
            folders.emplace_back(reinterpret_cast<const char*>(folder));
        }
        FcStrListDone(list);
    }
    FcConfigDestroy(config);
    return folders;
}

} // namespace

std::vector<std::string> FontFolders() {
    if (const char* chosen = std::getenv("KORVEX_FONT_DIRS"); chosen != nullptr) {
        return Split(chosen);
    }
    std::vector<std::string> folders(std::begin(kWineFontFolders), std::end(kWineFontFolders));
    for (std::string& folder : FontconfigFolders()) {
        folders.push_back(std::move(folder));
    }
    return folders;
}

namespace {

std::string FindIn(const std::vector<std::string>& folders, const std::string& fileName) {
    namespace fs = std::filesystem;
    for (const std::string& folder : folders) {
        std::error_code error;
        const fs::path direct = fs::path(folder) / fileName;
        if (fs::is_regular_file(direct, error)) {
            return direct.string();
        }
        // Font folders nest (truetype/<family>/); unreadable parts are skipped, not fatal.
        for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            if (it->path().filename() == fileName && it->is_regular_file(error)) {
                return it->path().string();
            }
        }
    }
    return std::string();
}

} // namespace

void LoadFontConfiguration() {
    static_cast<void>(FcInit());
}

std::string FindFontFile(const std::string& fileName) {
    if (std::getenv("KORVEX_FONT_DIRS") != nullptr) {
        return FindIn(FontFolders(), fileName);
    }
    // Loading fontconfig's configuration costs the window's start more than the rest of the search: it is asked
    // only when Wine's folders, which come first anyway, do not hold the file.
    const std::vector<std::string> wine(std::begin(kWineFontFolders), std::end(kWineFontFolders));
    std::string found = FindIn(wine, fileName);
    return found.empty() ? FindIn(FontconfigFolders(), fileName) : found;
}

} // namespace korvex::platform
