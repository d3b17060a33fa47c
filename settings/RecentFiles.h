// File › Recent files: the drill files last taken as input, newest first, kept in the settings file's
// [RecentFiles] section (File1 … File8) apart from the window's own settings.
#pragma once

#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

namespace korvex::platform {
class IniDocument;
}

namespace korvex::settings {

class RecentFiles {
public:
    static constexpr std::size_t kMax = 8;

    const std::vector<std::string>& Paths() const { return paths_; }

    // `path` becomes the newest entry; an older entry of the same path goes, and so does the oldest beyond kMax.
    void Add(const std::string& path);

    void Read(const platform::IniDocument& ini);
    // Writes every key, the unused ones empty, so a shorter list leaves no stale entries behind.
    void Write(platform::IniDocument& ini) const;

    // The list as `settingsFile` holds it; a file that is missing or unreadable holds none.
    void Load(const std::string& settingsFile);
    // Writes the section into `settingsFile`, whole and with every other line as it is.
    [[nodiscard]] std::error_code Save(const std::string& settingsFile) const;

private:
    std::vector<std::string> paths_;
};

} // namespace korvex::settings
