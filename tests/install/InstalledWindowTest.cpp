// The window of an installed, read-only Korvex, started by a user without root's privileges: it opens
// without an error box, keeps the user's settings in the configuration folder (seeded from the installed
// defaults on the first start), closes, and finds them again on the next start. korvex-cli runs from there
// too. The prefix comes from the install fixture (KORVEX_INSTALL_PREFIX).
#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ExecutablePath.h"
#include "platform/MessageBox.h"
#include "tests/faults/FaultSupport.h"
#include "ui/TfrmKorvex.h"

namespace {

namespace fs = std::filesystem;
using korvex::faults::ChildOptions;
using korvex::faults::FaultTest;
using korvex::faults::ReadFile;
using korvex::faults::RunInChild;

std::string Prefix() {
    const char* prefix = std::getenv("KORVEX_INSTALL_PREFIX");
    return prefix != nullptr ? prefix : "";
}

// One start of the installed window as "nobody": types `xOffset` (unless empty) and closes. Returns the
// boxes shown, the X offset found on opening and whether the window closed.
std::string StartAndClose(const fs::path& configHome, const std::string& xOffset) {
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "korvex";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    korvex::platform::SetExecutablePathForTesting(Prefix() + "/bin/korvex");
    korvex::platform::SetApplicationTitle(QStringLiteral("Korvex"));
    korvex::platform::MessageBoxRecorder boxes;
    std::string report;
    {
        korvex::ui::TfrmKorvex window;
        window.show();
        report = "opened with " + window.edXOffsett->text().toStdString();
        if (!xOffset.empty()) {
            window.edXOffsett->setText(QString::fromStdString(xOffset));
        }
        window.close();
        report += window.isVisible() ? ", still open" : ", closed";
    }
    for (const auto& box : boxes.Shown()) {
        report += "; box: " + box.text.toStdString();
    }
    return report;
}

class InstalledWindowTest : public FaultTest {};

TEST_F(InstalledWindowTest, ReadOnlyInstallKeepsSettingsPerUser) {
    if (Prefix().empty() || !fs::exists(Prefix() + "/bin/korvex")) {
        GTEST_SKIP() << "no installed prefix (KORVEX_INSTALL_PREFIX)";
    }
    const fs::path configHome = folder / "config";
    ChildOptions asNobody;
    asNobody.asNobody = true;

    const auto first = RunInChild([&] { return StartAndClose(configHome, "7.5"); }, asNobody);
    if (first.skipped) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(first.text, "opened with 0, closed");
    const fs::path settings = configHome / "korvex";
    EXPECT_NE(ReadFile(settings / "korvex.INI").find("XOffsett=7.5\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(settings / "TxMacroBefore.txt"), ReadFile(Prefix() + "/share/korvex/TxMacroBefore.txt"));
    EXPECT_EQ(ReadFile(settings / "TxMacroAfter.txt"), ReadFile(Prefix() + "/share/korvex/TxMacroAfter.txt"));
    struct stat info {};
    ASSERT_EQ(::stat(settings.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "a user's own folder";
    EXPECT_FALSE(fs::exists(Prefix() + "/bin/korvex.INI"));

    const auto second = RunInChild([&] { return StartAndClose(configHome, ""); }, asNobody);
    EXPECT_EQ(second.text, "opened with 7.5, closed");
}

TEST_F(InstalledWindowTest, CommandLineConverterRunsFromTheInstall) {
    if (Prefix().empty()) {
        GTEST_SKIP() << "no installed prefix (KORVEX_INSTALL_PREFIX)";
    }
    const std::string command = "'" + Prefix() + "/bin/korvex-cli' --version";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    EXPECT_EQ(::pclose(pipe), 0);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(line).rfind("korvex-cli ", 0), 0u) << line;
}

} // namespace
