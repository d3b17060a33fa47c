#include "settings/RecentFiles.h"

#include <algorithm>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace korvex::settings {

namespace {

constexpr std::string_view kSection = "RecentFiles";

std::string Key(std::size_t index) {
    return "File" + std::to_string(index + 1);
}

} // namespace

void RecentFiles::Add(const std::string& path) {
    if (path.empty()) {
        return;
    }
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kMax) {
        paths_.resize(kMax);
    }
}

void RecentFiles::Read(const platform::IniDocument& ini) {
    paths_.clear();
    for (std::size_t i = 0; i < kMax; ++i) {
        const std::string path = ini.ReadString(kSection, Key(i), "");
        // A hand-edited list may hold gaps or a path twice; the first place counts.
        if (!path.empty() && std::find(paths_.begin(), paths_.end(), path) == paths_.end()) {
            paths_.push_back(path);
        }
    }
}

void RecentFiles::Write(platform::IniDocument& ini) const {
    for (std::size_t i = 0; i < kMax; ++i) {
        ini.WriteString(kSection, Key(i), i < paths_.size() ? paths_[i] : std::string());
    }
}

void RecentFiles::Load(const std::string& settingsFile) {
    std::string bytes;
    if (platform::ReadWholeFile(settingsFile, bytes)) {
        paths_.clear();
        return;
    }
    Read(platform::IniDocument(std::move(bytes)));
}

std::error_code RecentFiles::Save(const std::string& settingsFile) const {
    std::string bytes;
    // Only a missing file may be started afresh: writing without an unreadable file's lines would lose them.
    if (const std::error_code error = platform::ReadWholeFile(settingsFile, bytes);
        error && !platform::IsMissingFileError(error)) {
        return error;
    }
    platform::IniDocument ini(std::move(bytes));
    Write(ini);
    return platform::WriteFileAtomically(settingsFile, ini.Text());
}

} // namespace korvex::settings
