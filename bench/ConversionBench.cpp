// How fast a large drill file converts, measured in one run against two floors for the same bytes: what
// `cat program > new-file` does (read and write in 128 KiB blocks, no fsync) and the project's file layer
// (temporary file, fsync, rename). Peak memory is measured per benchmark, so a 100k and a 1M hole file show whether
// memory stays flat in the file size. A second benchmark starts korvex-cli as a process: `-h` alone, and a
// small file of 2,704 holes, against starting /bin/true (true_ms, x_true = best / true_ms).
//
// Counters (each the best of the iterations, as the machine may be shared): conversion_ms, cat_ms,
// layer_ms, x_cat = conversion / cat, x_layer = conversion / layer, peak_rss_kb (VmHWM while the benchmark
// first converted; the peak is reset before it starts where the kernel allows) and rss_growth_kb (peak minus the
// resident size at its start). Every write goes to a file that did not exist, so no run pays for freeing
// the blocks of an older one.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversion/ConsoleHost.h"
#include "conversion/ConversionState.h"
#include "conversion/RunConversion.h"
#include "platform/DecimalSeparator.h"
#include "platform/TextFile.h"

namespace {

namespace fs = std::filesystem;
using korvex::conversion::ConsoleHost;
using korvex::conversion::ConversionState;
using korvex::conversion::Field;
using korvex::conversion::HostMacro;

constexpr int kTools = 20;

enum class Units { Metric, Inch };

// The generated files live as long as the process, in one temporary folder.
class Workspace {
public:
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "korvex-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        folder_ = pattern;
    }
    ~Workspace() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const fs::path& Folder() const { return folder_; }

    // A drill file with `holes` holes spread evenly over 20 tools; written on first use.
    fs::path DrillFile(Units units, std::int64_t holes) {
        const std::string name =
            std::string(units == Units::Metric ? "metric-" : "inch-") + std::to_string(holes) + ".drl";
        const fs::path path = folder_ / name;
        if (!fs::exists(path)) {
            Generate(path, units, holes);
        }
        return path;
    }

private:
    // Coordinates from a fixed pseudo-random sequence over a 300 x 200 mm board: every run converts the
    // same file. Metric files carry decimal points; inch files are written the way most CAM tools write
    // them, six digits with implied decimals (read with the divisor 10) and a few modal X-only or Y-only
    // lines.
    static void Generate(const fs::path& path, Units units, std::int64_t holes) {
        std::ofstream out(path, std::ios::binary);
        std::vector<char> buffer(1 << 20);
        out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        out << "M48\r\n" << (units == Units::Metric ? "METRIC,TZ\r\n" : "INCH,LZ\r\n");
        for (int tool = 1; tool <= kTools; ++tool) {
            char line[64];
            std::snprintf(line, sizeof line, "T%02dC%.3f\r\n", tool,
                          units == Units::Metric ? 0.3 + 0.1 * tool : 0.012 + 0.004 * tool);
            out << line;
        }
        out << "%\r\n";
        std::uint64_t seed = 0x9E3779B97F4A7C15ull;
        auto next = [&seed](std::uint32_t range) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<std::uint32_t>((seed >> 33) % range);
        };
        for (int tool = 1; tool <= kTools; ++tool) {
            const std::int64_t count = holes / kTools + (tool <= holes % kTools ? 1 : 0);
            char line[64];
            std::snprintf(line, sizeof line, "T%02d\r\n", tool);
            out << line;
            for (std::int64_t i = 0; i < count; ++i) {
                if (units == Units::Metric) {
                    std::snprintf(line, sizeof line, "X%u.%03uY%u.%03u\r\n", next(300), next(1000), next(200),
                                  next(1000));
                } else {
                    const std::uint32_t kind = next(10);
                    const std::uint32_t x = next(118000); // ten-thousandths of an inch
                    const std::uint32_t y = next(78000);
                    if (kind == 0) {
                        std::snprintf(line, sizeof line, "X%06u\r\n", x);
                    } else if (kind == 1) {
                        std::snprintf(line, sizeof line, "Y%06u\r\n", y);
                    } else {
                        std::snprintf(line, sizeof line, "X%06uY%06u\r\n", x, y);
                    }
                }
                out << line;
            }
        }
        out << "M30\r\n";
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }

    fs::path folder_;
};

Workspace& TheWorkspace() {
    static Workspace workspace;
    return workspace;
}

long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

// Resets VmHWM to the current resident size; false where the kernel does not allow it.
bool ResetPeakRss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

constexpr std::size_t kBlock = std::size_t{1} << 20;

// What `cat converted.cnc > cat.cnc` does: reads the program (from the page cache) in cat's 128 KiB blocks
// and writes them to a new file, closed without fsync.
void WriteLikeCat(const fs::path& from, const fs::path& path) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (in < 0 || fd < 0) {
        throw std::runtime_error("cannot copy to " + path.string());
    }
    std::vector<char> block(128 * 1024);
    for (;;) {
        const ssize_t got = ::read(in, block.data(), block.size());
        if (got <= 0) {
            break;
        }
        if (::write(fd, block.data(), static_cast<std::size_t>(got)) != got) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    ::close(in);
    ::close(fd);
}

// The file layer's floor: the same bytes through the writer the conversion uses, fsync and rename included.
void WriteThroughLayer(const fs::path& path, const std::string& bytes) {
    auto writer = korvex::platform::CreateTextOutputFile(path.string(), nullptr);
    if (!writer) {
        throw std::runtime_error("cannot create " + path.string());
    }
    for (std::size_t done = 0; done < bytes.size(); done += kBlock) {
        writer->WriteLines(std::string_view(bytes).substr(done, kBlock));
    }
    writer->Close();
}

void Convert(const fs::path& input, const fs::path& output, Units units) {
    ConversionState state; // the window's design values: numbering on, increment 5
    state.LineNumbersOn = true;
    state.LineNumberIncrement = 5;
    std::ostringstream log;
    ConsoleHost host(log, true);
    host.SetField(Field::InputFileName, input.string());
    host.SetField(Field::OutputFileName, output.string());
    host.SetField(Field::XOffset, "0");
    host.SetField(Field::YOffset, "0");
    host.SetField(Field::ZOffset, "0");
    host.SetField(Field::ZUp, "1");
    host.SetField(Field::ZDown, "2");
    host.SetField(Field::Divisor, units == Units::Metric ? "1" : "10");
    host.SetMacroText(HostMacro::Before, "G00 Z30\r\n");
    host.SetMacroText(HostMacro::After, "M06\r\nG00 Z20\r\n");
    if (korvex::conversion::RunConversion(state, host) != korvex::conversion::RunOutcome::Finished) {
        throw std::runtime_error("the conversion ended early: " + log.str());
    }
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void BM_ConvertAgainstFloor(benchmark::State& state, Units units) {
    korvex::platform::SetDecimalSeparator('.');
    const std::int64_t holes = state.range(0);
    Workspace& workspace = TheWorkspace();
    const fs::path input = workspace.DrillFile(units, holes);
    const fs::path output = workspace.Folder() / "converted.cnc";
    const fs::path cat = workspace.Folder() / "cat.cnc";
    const fs::path layer = workspace.Folder() / "layer.cnc";

    const bool peakReset = ResetPeakRss();
    const long rssAtStart = StatusKb("VmRSS");
    std::string bytes;
    long peak = -1;
    double conversionSeconds = 1e9;
    double catSeconds = 1e9;
    double layerSeconds = 1e9;
    for (auto _ : state) {
        fs::remove(output);
        const auto start = std::chrono::steady_clock::now();
        Convert(input, output, units);
        const auto converted = std::chrono::steady_clock::now();
        if (bytes.empty()) {
            peak = peakReset ? StatusKb("VmHWM") : -1; // the conversion's peak, before the bench holds its bytes
            bytes = ReadAll(output);
        }
        fs::remove(cat);
        const auto catStart = std::chrono::steady_clock::now();
        WriteLikeCat(output, cat);
        const auto catEnd = std::chrono::steady_clock::now();
        fs::remove(layer);
        const auto layerStart = std::chrono::steady_clock::now();
        WriteThroughLayer(layer, bytes);
        const auto layerEnd = std::chrono::steady_clock::now();
        conversionSeconds = std::min(conversionSeconds, Seconds(converted - start));
        catSeconds = std::min(catSeconds, Seconds(catEnd - catStart));
        layerSeconds = std::min(layerSeconds, Seconds(layerEnd - layerStart));
        state.SetIterationTime(Seconds(converted - start));
    }

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["holes"] = static_cast<double>(holes);
    state.counters["input_mb"] = static_cast<double>(fs::file_size(input)) / 1e6;
    state.counters["output_mb"] = static_cast<double>(bytes.size()) / 1e6;
    state.counters["conversion_ms"] = conversionSeconds * 1e3;
    state.counters["cat_ms"] = catSeconds * 1e3;
    state.counters["layer_ms"] = layerSeconds * 1e3;
    state.counters["x_cat"] = conversionSeconds / catSeconds;
    state.counters["x_layer"] = conversionSeconds / layerSeconds;
    state.counters["peak_rss_kb"] = static_cast<double>(peak);
    state.counters["rss_growth_kb"] = peak >= 0 ? static_cast<double>(peak - rssAtStart) : -1.0;
    fs::remove(output);
    fs::remove(cat);
    fs::remove(layer);
}

// korvex-cli as a process, from start to exit: the time a user waits for it.
double RunProcessSeconds(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(args[0] + " failed");
    }
    return Seconds(end - start);
}

void BM_StartUp(benchmark::State& state, bool convert) {
    Workspace& workspace = TheWorkspace();
    std::vector<std::string> args = {KORVEX_CLI_PATH, "-h"};
    if (convert) {
        const fs::path input = workspace.DrillFile(Units::Inch, 2704);
        args = {KORVEX_CLI_PATH, "-q", "--divisor", "10", "-o", (workspace.Folder() / "small.cnc").string(),
                input.string()};
    }
    // The floor: starting a program that does nothing, /bin/true, in turn with korvex-cli.
    const std::vector<std::string> nothing = {"/bin/true"};
    std::vector<double> times;
    double trueBest = 1e9;
    for (auto _ : state) {
        const double seconds = RunProcessSeconds(args);
        times.push_back(seconds);
        state.SetIterationTime(seconds);
        trueBest = std::min(trueBest, RunProcessSeconds(nothing));
    }
    std::sort(times.begin(), times.end());
    state.counters["best_ms"] = times.front() * 1e3;
    state.counters["median_ms"] = times[times.size() / 2] * 1e3;
    state.counters["true_ms"] = trueBest * 1e3;
    state.counters["x_true"] = times.front() / trueBest;
}

BENCHMARK_CAPTURE(BM_ConvertAgainstFloor, metric, Units::Metric)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_ConvertAgainstFloor, inch, Units::Inch)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_StartUp, help, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_StartUp, holes_2704, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

BENCHMARK_MAIN();
