// Numbers outside the engine under a comma-decimal locale, as the window runs when the user's regional
// settings write "3,5": the summary, the warnings, the preview's scene and its SVG must still use a point.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "conversion/ConversionState.h"
#include "gcode/RunChecks.h"
#include "job/ConvertJob.h"
#include "preview/ProgramPreview.h"
#include "preview/SvgWriter.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/support/Files.h"

namespace korvex {
namespace {

// LC_ALL set to German for the test's lifetime: first the locale the build compiled, then the system's.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        ::setenv("LOCPATH", KORVEX_TEST_LOCALE_DIR, 1);
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        ::unsetenv("LOCPATH");
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
            active_ = active_ || std::setlocale(LC_ALL, name) != nullptr;
        }
    }
    ~CommaDecimalLocale() { std::setlocale(LC_ALL, "C"); }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool Active() const { return active_; }

private:
    bool active_ = false;
};

TEST(CommaDecimalLocaleTest, SummaryWarningsAndPreviewKeepThePoint) {
    const CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << "no German locale: neither localedef's nor the system's";
    }
    // The locale really writes a comma, so what follows would catch any number that follows it.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 3.5);
    ASSERT_STREQ(probe, "3,5");

    testing::TempFolder folder("korvex-locale");
    testing::WriteFile(folder.Path() / "board.drl",
                       "M48\r\nM71\r\nT1C0.8\r\n%\r\nT1\r\nX3.5Y2.25\r\nX46.5Y20.0\r\nM30\r\n");
    testing::RecordingHost host;
    host.fields[conversion::Field::InputFileName] = (folder.Path() / "board.drl").string();
    host.fields[conversion::Field::OutputFileName] = (folder.Path() / "board.cnc").string();
    job::JobOptions options;
    options.svgPath = (folder.Path() / "board.svg").string();
    options.verify = true;
    conversion::ConversionState state;
    const job::JobReport report = job::ConvertJob(state, host, options);

    EXPECT_NE(host.log.find("Summary: 2 holes, 0 slots, 0 routes; X 3.500 to 46.500 mm, Y 2.250 to 20.000 mm\n"),
              std::string::npos)
        << host.log;
    EXPECT_TRUE(report.verification.Passed());
    EXPECT_EQ(report.svgError, "");
    const std::string svg = testing::ReadFile(folder.Path() / "board.svg");
    EXPECT_NE(svg.find("X 3.500 .. 46.500 mm (43.000)  Y 2.250 .. 20.000 mm (17.750)"), std::string::npos);

    std::error_code error;
    const preview::Scene scene =
        preview::LoadProgramScene((folder.Path() / "board.cnc").string(), report.toolDiameters, {}, error);
    ASSERT_FALSE(error);
    ASSERT_EQ(scene.model.Holes().size(), 2u);
    EXPECT_EQ(std::make_pair(scene.model.Holes()[0].at.x, scene.model.Holes()[0].at.y), std::make_pair(3.5, 2.25));
    EXPECT_EQ(std::make_pair(scene.model.Holes()[1].at.x, scene.model.Holes()[1].at.y), std::make_pair(46.5, 20.0));
    EXPECT_EQ(scene.legend.at(0).text, "T1  0.800 mm  2 holes");

    gcode::CheckInput checks;
    checks.zUp = 0.5;
    checks.zDown = 0.25;
    EXPECT_EQ(gcode::RunChecks(checks).at(0), "Warning: the run drills to Z0.25, which does not go below the work "
                                              "surface (Z0): nothing is drilled");
}

} // namespace
} // namespace korvex
