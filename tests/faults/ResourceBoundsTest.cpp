// Huge inputs: a drill line of many megabytes, a settings file of tens of megabytes. Their cost must grow in
// proportion to their size. Each case runs at two sizes, eight times apart, in a child process of its own; the
// larger may take at most three times its share of processor time (a quadratic cost would take eight times)
// and its memory must stay within a small multiple of the input. The numbers are printed for the record.
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sys/resource.h>

#include "conversion/ConversionHost.h"
#include "conversion/ConversionState.h"
#include "conversion/Numbers.h"
#include "conversion/RunConversion.h"
#include "platform/TextFile.h"
#include "settings/Settings.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/faults/FaultSupport.h"

namespace korvex::faults {
namespace {

// AddressSanitizer keeps freed memory in quarantine and adds its own: the memory bound says nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Counts the program instead of storing it, so that only the run's own memory is measured.
class CountingWriter : public platform::TextLineWriter {
public:
    void WriteLine(std::string_view text) override { bytes += text.size() + 2; }
    void Close() override {}
    std::size_t bytes = 0;
};

class CountingHost : public testing::RecordingHost {
public:
    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string&,
                                                           const platform::TextLineReader&) override {
        return std::make_unique<CountingWriter>();
    }
};

struct Cost {
    double seconds = 0;       // processor time of the work
    double peakMegabytes = 0; // growth of the peak resident memory during the work
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A line of /proc/self/status, in kilobytes.
double StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::strtod(line.c_str() + key.size() + 1, nullptr);
        }
    }
    return 0;
}

// Runs `work` in a child process and measures it there. The peak is the growth of the resident memory's high
// mark, which the child resets first so that the parent's history does not count.
Cost Measure(const std::function<void()>& work) {
    const ChildReport report = RunInChild([&] {
        std::ofstream("/proc/self/clear_refs") << "5";
        const double residentBefore = StatusKilobytes("VmRSS");
        const double secondsBefore = CpuSeconds();
        work();
        const double seconds = CpuSeconds() - secondsBefore;
        const double peak = StatusKilobytes("VmHWM") - residentBefore;
        char text[64];
        std::snprintf(text, sizeof text, "%.6f %.3f", seconds, peak / 1024.0);
        return std::string(text);
    });
    Cost cost;
    if (std::sscanf(report.text.c_str(), "%lf %lf", &cost.seconds, &cost.peakMegabytes) != 2) {
        ADD_FAILURE() << "the measured work failed: " << report.text;
    }
    return cost;
}

struct BoundCase {
    const char* name;
    // A file of `prefix`, then `unit` repeated to the size asked for, then `suffix`.
    const char* prefix;
    const char* unit;
    const char* suffix;
    bool settingsFile;     // read as the settings file instead of converted as a drill file
    double memoryPerInput; // the peak memory allowed, per byte of input
};

// Test names show the case by name.
void PrintTo(const BoundCase& c, std::ostream* out) {
    *out << c.name;
}

class ResourceBoundsTest : public FaultTest, public ::testing::WithParamInterface<BoundCase> {
protected:
    // Written piece by piece: a copy of the content in this process would be reused by the child and hide
    // its memory.
    void WriteInput(const fs::path& path, std::size_t size) {
        const BoundCase& c = GetParam();
        std::ofstream file(path, std::ios::binary);
        file << c.prefix;
        const std::string block = [&] {
            std::string text;
            while (text.size() < 4096) {
                text += c.unit;
            }
            return text;
        }();
        for (std::size_t written = 0; written < size; written += block.size()) {
            file << block;
        }
        file << c.suffix;
    }

    Cost Run(std::size_t size) {
        const BoundCase& c = GetParam();
        const fs::path path = folder / (c.settingsFile ? "korvex.INI" : "big.drl");
        WriteInput(path, size);
        const Cost cost = Measure([&] {
            if (c.settingsFile) {
                settings::SettingsStore store(settings::SettingsFiles::ForSettingsFile(path.string()));
                settings::SettingsValues window;
                conversion::ConversionState state;
                try {
                    store.LoadSettings(window, state);
                } catch (const settings::SettingsError&) {
                    // The macro files are missing: not what is measured here.
                }
                return;
            }
            CountingHost host;
            host.fields[conversion::Field::InputFileName] = path.string();
            host.fields[conversion::Field::OutputFileName] = (folder / "big.CNC").string();
            conversion::ConversionState state;
            try {
                conversion::RunConversion(state, host);
            } catch (const conversion::ConversionError&) {
                // A number too large for a double ends the run after it was read whole.
            }
        });
        fs::remove(path);
        return cost;
    }
};

TEST_P(ResourceBoundsTest, CostGrowsInProportionToTheInput) {
    constexpr std::size_t kSmall = 2u << 20;
    constexpr std::size_t kLarge = 16u << 20;
    const Cost small = Run(kSmall);
    const Cost large = Run(kLarge);
    std::printf("%s: %zu MB in %.3f s, peak +%.1f MB; %zu MB in %.3f s, peak +%.1f MB\n", GetParam().name, kSmall >> 20,
                small.seconds, small.peakMegabytes, kLarge >> 20, large.seconds, large.peakMegabytes);
    RecordProperty("SmallSeconds", std::to_string(small.seconds));
    RecordProperty("LargeSeconds", std::to_string(large.seconds));
    RecordProperty("LargePeakMegabytes", std::to_string(large.peakMegabytes));
    // Below a fiftieth of a second the clock says little.
    EXPECT_LE(large.seconds, 3 * 8 * std::max(small.seconds, 0.02)) << "time grows faster than the input";
    if (!kSanitized) {
        EXPECT_LE(large.peakMegabytes, GetParam().memoryPerInput * (kLarge >> 20) + 16) << "memory beyond the bound";
    }
}

// A line is held whole while it is converted; its words are read one at a time.
INSTANTIATE_TEST_SUITE_P(Faults, ResourceBoundsTest,
                         ::testing::Values(BoundCase{"OneLineOfCoordinates", "", "X1.5Y-2.25", "\r\n", false, 20},
                                           BoundCase{"OneLineOfCommentWords", "", "G1 ", "\r\n", false, 20},
                                           // Every comma is an empty word of its own.
                                           BoundCase{"OneLineOfEmptyWords", "X1", ",", "\r\n", false, 20},
                                           BoundCase{"OneNumberOfMegabytes", "X", "1234567890", ".5\r\n", false, 20},
                                           BoundCase{"ManyShortLines", "", "X1.5Y2.5\r\n", "", false, 1},
                                           BoundCase{"SettingsFileOfManyLines", "[Settings]\r\n", "Unknown=1\r\n",
                                                     "Divisor=5\r\n", true, 3},
                                           BoundCase{"SettingsFileWithOneLongLine", "[Settings]\r\nComment=", "x",
                                                     "\r\nDivisor=5\r\n", true, 3}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvex::faults
