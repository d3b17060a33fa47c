// Apart from the rest of the settings code so that korvex-cli, which names its settings file itself, does not
// link the user-folder lookup (and with it the account database a static program cannot use).
#include <string>

#include "platform/ExecutablePath.h"
#include "platform/UserFolders.h"
#include "settings/Settings.h"

namespace korvex::settings {

SettingsFiles ProgramSettingsFiles() {
    const std::string executable = platform::ExecutablePath();
    return SettingsFilesFor(executable, platform::UserConfigurationFolder(), platform::InstalledDataFolder(executable));
}

} // namespace korvex::settings
